#include "model/result_fields.h"

#include "host/zonal.h"
#include "model/scratch_layers.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

namespace halvo::model {

namespace {
constexpr const char* kModule = "clsISExecuteModel";

// What a number field of this many decimals gives back for x.
double stored(double x, int decimals)
{
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", decimals, x);
    return std::strtod(text, nullptr);
}
}  // namespace

std::vector<host::FieldDef> ResultFields(params::Units units)
{
    const support::Procedure procedure("AddNewFields", kModule);
    const bool feet = units == params::Units::Feet;
    return {
        CreateFields(feet ? "TotAcres" : "TotHects", feet ? "TotalAcres" : "TotalHectares", host::kDouble, 0, 18, 6),
        CreateFields(feet ? "TotISAcr" : "TotISHec", feet ? "TotalISAcres" : "TotalISHectares", host::kDouble, 0, 18,
                     6),
        CreateFields("pctIS", "pctIS", host::kDouble, 0, 10, 2),
        CreateFields("Complete", "Complete", host::kString, 1, 0, 0)};
}

std::vector<ZoneFigures> ZoneResults(const std::vector<host::Value>& zones, const AreaRows& areaTable,
                                     const std::string& analysisField)
{
    const support::Procedure procedure("isCalPctIS", kModule);
    std::vector<ZoneFigures> figures(zones.size());
    // The area table names a zone as the zone field's text gives it back; the
    // first zone of each such name takes its row.
    std::unordered_map<std::string, std::size_t> zoneOf;
    for (std::size_t z = 0; z < zones.size(); ++z) {
        figures[z].zone = host::ValueText(zones[z]);
        zoneOf.emplace(StoredZoneText(figures[z].zone), z);
    }
    for (const AreaRow& row : areaTable.rows) {
        const auto it = zoneOf.find(row.zone);
        if (it == zoneOf.end())
            support::raise(91, "No output feature matches [\"" + analysisField + "\" = '" + row.zone + "']");
        ZoneFigures& f = figures[it->second];
        if (f.counted)
            continue;
        // Summed column by column, land before impervious, as the figures always were.
        double total = 0, impervious = 0;
        for (std::size_t k = 0; k < areaTable.classes.size(); ++k) {
            total += row.land[k];
            impervious += row.impervious[k];
        }
        f.counted = true;
        f.total = total;
        f.impervious = impervious;
        f.percent = total == 0 ? 0.0 : impervious / total * 100;
    }
    return figures;
}

void SetResultFields(host::Table::Row& row, int first, const ZoneFigures& figures)
{
    // A zone without figures leaves them empty.
    const auto number = [&](double v) { return figures.counted ? host::Value(v) : host::Value(); };
    row.set(first, number(figures.total));
    row.set(first + 1, number(figures.impervious));
    row.set(first + 2, number(figures.percent));
    row.set(first + 3, figures.counted || !figures.complete ? host::Value(std::string(figures.complete ? "Y" : "N"))
                                                            : host::Value());
}

void RoundAsStored(std::vector<ZoneFigures>& figures)
{
    for (ZoneFigures& f : figures) {
        f.total = stored(f.total, 6);
        f.impervious = stored(f.impervious, 6);
        f.percent = stored(f.percent, 2);
    }
}

void FlagIncomplete(const std::vector<host::Value>& zones, const std::set<std::string>& zoneValues,
                    std::vector<ZoneFigures>& figures, std::set<long long>& flagged)
{
    const support::Procedure procedure("FlagIncomplete", kModule);
    for (std::size_t z = 0; z < zones.size(); ++z)
        if (zoneValues.count(host::ValueText(zones[z]))) {
            figures[z].complete = false;
            flagged.insert(static_cast<long long>(z));
        }
}

void FlagNodataZones(host::ZoneLayer& zones, const host::RasterInfo& landCover, std::vector<ZoneFigures>& figures,
                     std::set<long long>& flagged, host::Coverage coverage, const std::set<std::string>* touching)
{
    const support::Procedure procedure("isSetCompleteArea", kModule);
    const std::vector<host::Value>& values = zones.values();
    std::vector<bool> met(values.size(), false);
    if (!touching)
        met = host::ZonesTouchingNodata(zones, landCover, coverage);
    else
        for (std::size_t z = 0; z < values.size(); ++z)
            met[z] = touching->count(host::ValueText(values[z])) != 0;
    std::size_t count = 0;
    for (std::size_t z = 0; z < values.size(); ++z)
        if (met[z]) {
            figures[z].complete = false;
            flagged.insert(static_cast<long long>(z));
            ++count;
        }
    if (count == 0)
        return;
    // Zones reaching past the grid are told as such; those within it met NODATA.
    const std::vector<bool> leaving = host::ZonesLeavingRaster(zones, landCover);
    std::size_t outside = 0;
    for (std::size_t z = 0; z < values.size(); ++z)
        outside += met[z] && leaving[z] ? 1 : 0;
    if (outside > 0)
        support::MsgBox("Some of the (selected) polygons in the Analysis Layer extend beyond the Land Cover Layer; "
                        "their areas exclude the part outside the grid. They are marked 'N' in the 'Complete' field.",
                        support::Buttons::OK, support::Icon::Information, "Outside the Land Cover Grid");
    if (outside < count)
        support::MsgBox("Some of the (selected) polygons in the Analysis Layer \r"
                        "overlapped NODATA cells in the Land Cover Layer.  The \r"
                        "area calculations for these polygons excludes the area \r"
                        "of the NODATA cells.  These polygons may be identified \r"
                        "by a 'N' in the 'Complete' field of the newly created \r"
                        "Impervious Surface theme.",
                        support::Buttons::OK, support::Icon::Information, "NODATA Cells!");
}

}  // namespace halvo::model
