#include "model/area_table.h"

#include "coefficients/number_text.h"
#include "host/vector_ops.h"
#include "host/zonal.h"
#include "model/area_fields.h"
#include "model/scratch_layers.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <algorithm>
#include <unordered_map>

namespace halvo::model {

namespace fs = std::filesystem;

namespace {
constexpr const char* kModule = "clsISGetLCArea";
constexpr const char* kTablesModule = "clsISTableFunctions";
constexpr int kZoneWidth = 18;
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

std::optional<double> CoefficientOf(const AreaRules& rules, long classId, const std::string& zoneName)
{
    const auto level = LevelOf(rules.fixedLevel, zoneName);
    if (!level || !rules.coefficients)
        return std::nullopt;
    return rules.coefficients->percent(classId, *level);
}

namespace {

TabulationTable tabulate(const host::Layer& zones, const host::Layer& landCover, const std::string& zoneField,
                         params::Coverage coverage, std::set<std::string>* touchingNodata, host::ZoneLayer* read)
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

void calculateAreas(host::Table& output, const TabulationTable& tab, const AreaRules& rules)
{
    const support::Procedure procedure("CalculateAreas", kModule);
    {
        auto ins = output.inserter();
        const double factor = UnitFactor(rules.units);
        for (const auto& row : tab.rows) {
            const std::string& zone = row.zone;
            std::vector<double> L, I;
            for (std::size_t k = 0; k < tab.classes.size(); ++k) {
                const auto coefficient = CoefficientOf(rules, static_cast<long>(tab.classes[k]), zone);
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
    }
}

// The empty area table: "OID", the zone field, then the pair of fields of
// each class column (model/area_fields.h).
host::Table createAreaTable(const std::string& tableName, const std::string& zoneField, int fieldCount,
                            const TabulationTable& tabulation, const fs::path& scratch)
{
    const support::Procedure procedure("createDBF", kTablesModule);
    std::vector<std::string> areaNames, isNames;
    for (const auto c : tabulation.classes) {
        const std::string id = std::to_string(c);
        areaNames.push_back(AreaFieldName(id));
        isNames.push_back(ISAreaFieldName(id));
    }
    if (!fs::is_directory(scratch)) {
        support::MsgBox("Folder does not exist: \r" + scratch.string());
        throw support::Stopped("the scratch folder is missing");
    }
    std::vector<host::FieldDef> fields;
    fields.push_back(CreateFields("OID", "OID", host::kOID, 4, 0, 0));
    fields.push_back(CreateFields(zoneField, zoneField, host::kString, ZoneFieldWidth(tabulation), 0, 0));
    std::size_t a = 0, s = 0;
    for (int i = 2; i < fieldCount; ++i) {
        const bool isArea = (i % 2) == 0;
        const std::string& name = isArea ? areaNames.at(a++) : isNames.at(s++);
        fields.push_back(CreateFields(name, name, host::kDouble, 18, 18, 6));
    }
    return host::Table::CreateDbf(scratch / (tableName + ".dbf"), fields);
}

std::optional<host::Table> areaTable(const fs::path& scratch, const host::Layer& zones, const host::Layer& landCover,
                                     const std::string& zoneField, const AreaRules& rules, const std::string& tableName,
                                     std::set<std::string>* touchingNodata, host::ZoneLayer* read, bool noZoneIsFault)
{
    const support::Procedure procedure("isGetLCArea", kModule);
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

    const TabulationTable tab = tabulate(zones, landCover, zoneField, rules.coverage, touchingNodata, read);
    if (tab.rows.empty()) {
        if (!noZoneIsFault)
            return std::nullopt;
        support::MsgBox("None of the selected features within " + zones.name + "\r" +
                            " intersect with the Land Cover layer " + landCover.name,
                        support::Buttons::OK, support::Icon::Exclamation, "Error: Area Calculation");
        throw support::Stopped("no zone meets the land cover");
    }
    auto table = createAreaTable(tableName, zoneName, 2 * tab.fieldCount() - 2, tab, scratch);
    calculateAreas(table, tab, rules);
    const fs::path path = table.path();
    table.finish();
    return host::Table::Open(path, true);
}

}  // namespace

host::Table AreaTable(const fs::path& scratch, const host::Layer& zones, const host::Layer& landCover,
                      const std::string& zoneField, const AreaRules& rules, const std::string& tableName,
                      std::set<std::string>* touchingNodata, host::ZoneLayer* read)
{
    return *areaTable(scratch, zones, landCover, zoneField, rules, tableName, touchingNodata, read, true);
}

std::optional<host::Table> AreaTableIfAny(const fs::path& scratch, const host::Layer& zones,
                                          const host::Layer& landCover, const std::string& zoneField,
                                          const AreaRules& rules, const std::string& tableName)
{
    return areaTable(scratch, zones, landCover, zoneField, rules, tableName, nullptr, nullptr, false);
}

int ZoneFieldWidth(const TabulationTable& t)
{
    std::size_t longest = 0;
    for (const auto& r : t.rows)
        longest = std::max(longest, r.zone.size());
    return std::clamp(static_cast<int>(longest), kZoneWidth, kMaxTextWidth);
}

host::Table SumByZone(host::Table& table, const std::string& tableName, const std::string& codedField,
                      const std::string& zoneField, const fs::path& scratch)
{
    const support::Procedure procedure("SumTable", kTablesModule);
    if (table.findField(codedField) < 0 && table.field(1).name != codedField)
        support::raise(5, "The area table has no field '" + codedField + "'");

    // Sums per base value (the zone without its "#" and digit), in order of
    // first appearance; a base is matched exactly, never as a pattern.
    std::vector<std::string> bases;
    std::unordered_map<std::string, std::size_t> indexOf;
    std::vector<std::vector<double>> sums;
    const int n = table.fieldCount();
    table.search({}, [&](const host::Table::Row& r) {
        const std::string zone = host::ValueText(r.get(1));
        const std::string base = zone.size() >= 2 ? zone.substr(0, zone.size() - 2) : std::string{};
        auto [it, added] = indexOf.emplace(base, bases.size());
        if (added) {
            bases.push_back(base);
            sums.emplace_back(static_cast<std::size_t>(n), 0.0);
        }
        auto& s = sums[it->second];
        for (int j = 2; j < n; ++j)
            s[static_cast<std::size_t>(j)] += host::ValueNumber(r.get(j));
        return true;
    });

    // The same format, the zone field renamed.
    auto out = [&] {
        const support::Procedure copying("CopyTableFormat", kTablesModule);
        std::vector<host::FieldDef> fields;
        for (int i = 0; i < table.fieldCount(); ++i) {
            host::FieldDef f = table.field(i);
            if (i == 1) {
                f.name = zoneField;
                f.alias = zoneField;
            }
            fields.push_back(f);
        }
        return host::Table::CreateDbf(scratch / (tableName + ".dbf"), fields);
    }();
    auto ins = out.inserter();
    for (std::size_t b = 0; b < bases.size(); ++b) {
        ins.buffer().set(1, bases[b]);
        for (int j = 2; j < n; ++j)
            ins.buffer().set(j, sums[b][static_cast<std::size_t>(j)]);
        ins.insert();
    }
    ins.finish();
    const fs::path path = out.path();
    out.finish();
    return host::Table::Open(path, true);
}

}  // namespace halvo::model
