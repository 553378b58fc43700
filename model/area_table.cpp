#include "model/area_table.h"

#include "coefficients/number_text.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

namespace halvo::model {

namespace {
constexpr const char* kTablesModule = "clsISTableFunctions";
// dBASE text fields hold at most this many bytes.
constexpr int kMaxTextWidth = 254;

// The set's percentages as the run has always applied them: the value's
// shortest decimal text read as a double, not the float widened.
double asApplied(float percent)
{
    return coefficients::ParseNumber(coefficients::FormatSingle(percent)).value_or(percent);
}
}  // namespace

double UnitFactor(Units units)
{
    if (units == Units::Feet)
        return 2.2956e-05;  // truncated 1/43560, kept as the stored results use it
    return 0.0001;
}

CoefficientTable::CoefficientTable(const std::vector<params::ClassLine>& classes)
{
    for (const auto& c : classes)
        byId_.emplace(c.id, std::array<double, 3>{asApplied(c.high), asApplied(c.medium), asApplied(c.low)});
}

std::optional<double> CoefficientTable::percent(long classId, DensityLevel level) const
{
    const auto it = byId_.find(classId);
    if (it == byId_.end())
        return std::nullopt;
    return it->second[static_cast<std::size_t>(level)];
}

std::optional<double> CoefficientOf(const AreaRules& rules, long classId, const std::optional<DensityLevel>& level)
{
    if (!level || !rules.coefficients)
        return std::nullopt;
    return rules.coefficients->percent(classId, *level);
}

std::string StoredZoneText(std::string zone)
{
    if (zone.size() > static_cast<std::size_t>(kMaxTextWidth))
        zone.resize(static_cast<std::size_t>(kMaxTextWidth));
    const auto first = zone.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return zone.substr(first, zone.find_last_not_of(' ') - first + 1);
}

void FillAreas(AreaRow& row, const std::vector<std::int64_t>& classes, const std::vector<double>& areas,
               const AreaRules& rules)
{
    const double factor = UnitFactor(rules.units);
    for (std::size_t k = 0; k < classes.size(); ++k) {
        const auto coefficient = CoefficientOf(rules, static_cast<long>(classes[k]), row.level);
        if (!coefficient) {
            support::MsgBox("No coefficients defined in the selected Coefficient Set for the land cover class " +
                                std::to_string(classes[k]) + "!",
                            support::Buttons::OK, support::Icon::Critical, "Invalid Coefficient");
            throw support::Stopped("a class has no coefficient");
        }
        const double value = areas[k];
        row.land.push_back(RoundLikeStoredField(value * factor));
        row.impervious.push_back(RoundLikeStoredField(((value * *coefficient) / 100) * factor));
    }
}

double RoundLikeStoredField(double x)
{
    // What the field's text, "%18.6f", reads back as.
    char text[400];
    std::snprintf(text, sizeof text, "%18.6f", x);
    return std::strtod(text, nullptr);
}

std::optional<std::size_t> AreaRows::findColumn(long classId) const
{
    const auto it = std::find(classes.begin(), classes.end(), classId);
    if (it == classes.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - classes.begin());
}

std::size_t AreaRows::column(long classId)
{
    if (const auto k = findColumn(classId))
        return *k;
    classes.push_back(classId);
    for (auto& r : rows) {
        r.land.push_back(0.0);
        r.impervious.push_back(0.0);
    }
    return classes.size() - 1;
}

AreaRows SumByZone(const AreaRows& pieces)
{
    const support::Procedure procedure("SumTable", kTablesModule);
    // Sums per zone, in order of first appearance; a zone is matched
    // exactly, never as a pattern.
    AreaRows out;
    out.classes = pieces.classes;
    std::unordered_map<std::string, std::size_t> indexOf;
    const std::size_t n = pieces.classes.size();
    for (const auto& piece : pieces.rows) {
        auto [it, added] = indexOf.emplace(piece.zone, out.rows.size());
        if (added)
            out.rows.push_back(
                AreaRow{piece.zone, std::nullopt, std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)});
        auto& sum = out.rows[it->second];
        for (std::size_t k = 0; k < n; ++k) {
            sum.land[k] += piece.land[k];
            sum.impervious[k] += piece.impervious[k];
        }
    }
    for (auto& r : out.rows) {
        r.zone = StoredZoneText(r.zone);
        for (std::size_t k = 0; k < n; ++k) {
            r.land[k] = RoundLikeStoredField(r.land[k]);
            r.impervious[k] = RoundLikeStoredField(r.impervious[k]);
        }
    }
    return out;
}

}  // namespace halvo::model
