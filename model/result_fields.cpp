#include "model/result_fields.h"

#include "host/zonal.h"
#include "model/scratch_layers.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <algorithm>
#include <unordered_map>

namespace halvo::model {

namespace {
constexpr const char* kModule = "clsISExecuteModel";
constexpr int kTotalArea = 3, kTotalIS = 4, kPctIS = 5, kComplete = 6;

// The where clause that finds an output row by its zone value.
std::string zoneClause(const std::string& field, const std::string& value, bool text)
{
    std::string quoted = "\"" + field + "\"";
    if (!text)
        return quoted + " = " + value;
    std::string escaped;
    for (char c : value) {
        escaped.push_back(c);
        if (c == '\'')
            escaped.push_back('\'');
    }
    return quoted + " = '" + escaped + "'";
}
}  // namespace

void AddNewFields(host::Table& output, params::Units units)
{
    const support::Procedure procedure("AddNewFields", kModule);
    const bool feet = units == params::Units::Feet;
    output.addField(
        CreateFields(feet ? "TotAcres" : "TotHects", feet ? "TotalAcres" : "TotalHectares", host::kDouble, 0, 18, 6));
    output.addField(CreateFields(feet ? "TotISAcr" : "TotISHec", feet ? "TotalISAcres" : "TotalISHectares",
                                 host::kDouble, 0, 18, 6));
    output.addField(CreateFields("pctIS", "pctIS", host::kDouble, 0, 10, 2));
    output.addField(CreateFields("Complete", "Complete", host::kString, 1, 0, 0));
}

std::vector<ZoneFigures> FillResultFields(const host::Layer& outputLayer, const AreaRows& areaTable,
                                          const std::string& analysisField)
{
    const support::Procedure procedure("isCalPctIS", kModule);
    auto output = host::Table::Open(outputLayer.source, true);
    const bool text = output.field(2).type == host::kString;

    // One walk of the output instead of a query per zone: the first row
    // holding each value, as the query's first match would be.
    std::unordered_map<std::string, long long> rowOf;
    output.search({}, [&](const host::Table::Row& r) {
        rowOf.emplace(host::ValueText(r.get(2)), r.oid());
        return true;
    });

    struct Result {
        double total, impervious;
    };
    std::unordered_map<long long, Result> results;
    for (const AreaRow& row : areaTable.rows) {
        const std::string& zone = row.zone;
        auto it = rowOf.find(text ? zone : host::ValueText(host::Value(host::ValueNumber(zone))));
        if (it == rowOf.end())
            it = rowOf.find(zone);
        if (it == rowOf.end())
            support::raise(91, "No output feature matches [" + zoneClause(analysisField, zone, text) + "]");
        // Summed column by column, land before impervious, as the figures always were.
        double total = 0, impervious = 0;
        for (std::size_t k = 0; k < areaTable.classes.size(); ++k) {
            total += row.land[k];
            impervious += row.impervious[k];
        }
        results.emplace(it->second, Result{total, impervious});
    }

    std::vector<ZoneFigures> figures;
    output.update({}, [&](host::Table::Row& r) {
        ZoneFigures z;
        z.zone = host::ValueText(r.get(2));
        auto it = results.find(r.oid());
        if (it != results.end()) {
            const auto [total, impervious] = it->second;
            r.set(kTotalArea, total);
            r.set(kTotalIS, impervious);
            r.set(kPctIS, total == 0 ? 0.0 : impervious / total * 100);
            r.set(kComplete, std::string("Y"));
        }
        figures.push_back(std::move(z));
        return true;
    });
    output.finish();
    // The figures as the file stores them, rounded to its decimals.
    std::size_t i = 0;
    host::Table::Open(outputLayer.source).search({}, [&](const host::Table::Row& r) {
        if (i < figures.size()) {
            figures[i].total = host::ValueNumber(r.get(kTotalArea));
            figures[i].impervious = host::ValueNumber(r.get(kTotalIS));
            figures[i].percent = host::ValueNumber(r.get(kPctIS));
        }
        ++i;
        return true;
    });
    return figures;
}

void FlagIncomplete(host::Layer& outputLayer, const std::set<std::string>& zoneValues, std::vector<ZoneFigures>& zones)
{
    const support::Procedure procedure("FlagIncomplete", kModule);
    auto output = host::Table::Open(outputLayer.source, true);
    std::size_t i = 0;
    output.update({}, [&](host::Table::Row& r) {
        if (zoneValues.count(host::ValueText(r.get(2)))) {
            r.set(kComplete, std::string("N"));
            outputLayer.selection.insert(r.oid());
            if (i < zones.size())
                zones[i].complete = false;
        }
        ++i;
        return true;
    });
    output.finish();
}

void FlagNodataZones(host::Layer& outputLayer, const host::RasterInfo& landCover, std::vector<ZoneFigures>& zones,
                     host::Coverage coverage, const std::set<std::string>* touching)
{
    const support::Procedure procedure("isSetCompleteArea", kModule);
    if (!touching) {
        for (long long fid : host::FeaturesTouchingNodata(outputLayer, landCover, coverage))
            outputLayer.selection.insert(fid);
    } else if (!touching->empty()) {
        host::Table::Open(outputLayer.source).search({}, [&](const host::Table::Row& r) {
            if (touching->count(host::ValueText(r.get(2))))
                outputLayer.selection.insert(r.oid());
            return true;
        });
    }
    if (outputLayer.selection.empty())
        return;

    auto output = host::Table::Open(outputLayer.source, true);
    std::size_t i = 0;
    output.update({}, [&](host::Table::Row& r) {
        if (outputLayer.selection.count(r.oid())) {
            r.set(kComplete, std::string("N"));
            if (i < zones.size())
                zones[i].complete = false;
        }
        ++i;
        return true;
    });
    output.finish();
    // Zones reaching past the grid are told as such; those within it met NODATA.
    const std::vector<long long> leaving = host::FeaturesLeavingRaster(outputLayer, landCover);
    const auto outside = static_cast<std::size_t>(std::count_if(
        leaving.begin(), leaving.end(), [&](long long fid) { return outputLayer.selection.count(fid) != 0; }));
    if (outside > 0)
        support::MsgBox("Some of the (selected) polygons in the Analysis Layer extend beyond the Land Cover Layer; "
                        "their areas exclude the part outside the grid. They are marked 'N' in the 'Complete' field.",
                        support::Buttons::OK, support::Icon::Information, "Outside the Land Cover Grid");
    if (outside < outputLayer.selection.size())
        support::MsgBox("Some of the (selected) polygons in the Analysis Layer \r"
                        "overlapped NODATA cells in the Land Cover Layer.  The \r"
                        "area calculations for these polygons excludes the area \r"
                        "of the NODATA cells.  These polygons may be identified \r"
                        "by a 'N' in the 'Complete' field of the newly created \r"
                        "Impervious Surface theme.",
                        support::Buttons::OK, support::Icon::Information, "NODATA Cells!");
}

}  // namespace halvo::model
