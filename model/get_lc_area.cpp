#include "model/get_lc_area.h"

#include "coefficients/number_text.h"
#include "host/vector_ops.h"
#include "host/zonal.h"
#include "model/area_fields.h"
#include "model/bas_util.h"
#include "model/table_functions.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <algorithm>

namespace halvo::model {

namespace fs = std::filesystem;

namespace {
constexpr const char* kModule = "clsISGetLCArea";

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

std::optional<DensityLevel> LevelOf(const std::optional<DensityLevel>& fixedLevel, const std::string& zone)
{
    if (fixedLevel)
        return fixedLevel;
    if (zone.size() < 2 || zone[zone.size() - 2] != '#')
        return std::nullopt;
    switch (zone.back()) {
    case '1': return DensityLevel::High;
    case '2': return DensityLevel::Medium;
    case '3': return DensityLevel::Low;
    default: return std::nullopt;
    }
}

std::optional<double> clsISGetLCArea::CoefficientLookup(const AreaRules& rules, long classId,
                                                        const std::string& zoneName)
{
    const auto level = LevelOf(rules.fixedLevel, zoneName);
    if (!level || !rules.coefficients)
        return std::nullopt;
    return rules.coefficients->percent(classId, *level);
}

TabulationTable clsISGetLCArea::tabulate(const host::Layer& zones, const host::Layer& landCover,
                                         const std::string& zoneField, params::Coverage coverage,
                                         std::set<std::string>* touchingNodata, host::ZoneLayer* read)
{
    const host::RasterInfo raster = host::DescribeRaster(landCover.source);
    support::Progress("Tabulating land cover", 0);
    const auto progress = [](double f) { support::Progress("Tabulating land cover", f); };
    const auto tab = read
                         ? host::TabulateZones(*read, raster, progress, coverage, touchingNodata != nullptr)
                         : host::TabulateLayer(zones, zoneField, raster, progress, coverage, touchingNodata != nullptr);
    support::CheckCanceled();
    if (touchingNodata)
        for (std::size_t z = 0; z < tab.zones.size(); ++z)
            if (tab.touchesNodata[z])
                touchingNodata->insert(host::ValueText(tab.zones[z]));
    const auto& counts = tab.counts;

    TabulationTable t;
    t.classes = counts.classes;
    long id = 1;
    for (int z = 0; z < counts.zoneCount; ++z) {
        if (counts.zoneCover(z) <= 0)
            continue;
        TabulationTable::Row r;
        r.id = id++;
        r.zone = host::ValueText(tab.zones[static_cast<std::size_t>(z)]);
        for (std::size_t k = 0; k < counts.classes.size(); ++k)
            r.areas.push_back(counts.cells(z, k) * counts.cellArea);
        t.rows.push_back(std::move(r));
    }
    return t;
}

host::Table clsISGetLCArea::isGetLCArea(const fs::path& scratch, const host::Layer& zones, const host::Layer& landCover,
                                        const std::string& zoneField, const AreaRules& rules,
                                        const std::string& areaTableName, std::set<std::string>* touchingNodata,
                                        host::ZoneLayer* read)
{
    return support::Guarded("isGetLCArea", kModule, false, std::optional<host::Table>{},
                            [&]() -> std::optional<host::Table> {
                                std::string zoneName = zoneField;
                                if (zoneName.size() > 10) {
                                    auto t = host::Table::Open(zones.source);
                                    zoneName = SetFieldName(zoneField, t);
                                }
                                if (!host::FindLayerField(zones, zoneField)) {
                                    support::MsgBox("pField is Nothing");
                                    support::raise(support::err::kObjectRequired,
                                                   "The layer '" + zones.name + "' has no field '" + zoneField + "'");
                                }

                                const TabulationTable tab =
                                    tabulate(zones, landCover, zoneField, rules.coverage, touchingNodata, read);
                                if (tab.rows.empty()) {
                                    support::MsgBox("None of the selected features within " + zones.name + "\r" +
                                                        " intersect with the Land Cover layer " + landCover.name,
                                                    support::Buttons::OK, support::Icon::Exclamation,
                                                    "Error: Area Calculation");
                                    throw support::Stopped("no zone meets the land cover");
                                }
                                const int c = tab.fieldCount();
                                clsISTableFunctions tf;
                                auto table = tf.createDBF(areaTableName, zoneName, 2 * c - 2, tab, scratch);
                                CalculateAreas(*table, tab, rules);
                                const fs::path path = table->path();
                                table->finish();
                                return host::Table::Open(path, true);
                            })
        .value();
}

void clsISGetLCArea::CalculateAreas(host::Table& output, const TabulationTable& tab, const AreaRules& rules)
{
    support::GuardedVoid("CalculateAreas", kModule, false, [&] {
        auto ins = output.inserter();
        const double factor = UnitFactor(rules.units);
        for (const auto& row : tab.rows) {
            const std::string& zone = row.zone;
            std::vector<double> L, I;
            for (std::size_t k = 0; k < tab.classes.size(); ++k) {
                const auto coefficient = CoefficientLookup(rules, static_cast<long>(tab.classes[k]), zone);
                if (!coefficient) {
                    ins.finish();
                    support::MsgBox(
                        "No coefficients defined in the selected Coefficient Set for the land cover class " +
                            std::to_string(tab.classes[k]) + "!",
                        support::Buttons::OK, support::Icon::Critical, "Invalid Coefficient");
                    throw support::Stopped("a class has no coefficient");
                }
                const double value = row.areas[k];
                L.push_back(value * factor);
                I.push_back(((value * *coefficient) / 100) * factor);
            }
            auto& buf = ins.buffer();
            std::size_t li = 0, ii = 0;
            for (int j = 0; j < output.fieldCount(); ++j) {
                if (j == 0) {
                    buf.set(1, zone);
                    continue;
                }
                if (j == 1)
                    continue;
                const std::string& name = output.field(j).name;
                if (IsISAreaField(name))
                    buf.set(j, I.at(ii++));
                else if (IsAreaField(name))
                    buf.set(j, L.at(li++));
            }
            ins.insert();
        }
        ins.finish();
    });
}

}  // namespace halvo::model
