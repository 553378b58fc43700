// The result stages of a run: percent impervious and the completeness flags.

#include "host/raster.h"
#include "host/vector_ops.h"
#include "model/area_fields.h"
#include "model/execute_model.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <ogr_spatialref.h>

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

void clsISExecuteModel::isCalPctIS(const host::LayerPtr& outputLayer, host::Table& areaTable)
{
    const bool ok = support::Guarded("isCalPctIS", kModule, true, false, [&] {
        auto output = host::Table::Open(outputLayer->source, true);
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
        areaTable.search({}, [&](const host::Table::Row& row) {
            const std::string zone = host::ValueText(row.get(1));
            auto it = rowOf.find(text ? zone : host::ValueText(host::Value(host::ValueNumber(zone))));
            if (it == rowOf.end())
                it = rowOf.find(zone);
            if (it == rowOf.end())
                support::raise(91, "No output feature matches [" + zoneClause(analysisField_, zone, text) + "]");
            double total = 0, impervious = 0;
            // From position 2: the zone field is never a class's (its name may look like one).
            for (int j = 2; j < areaTable.fieldCount(); ++j) {
                const std::string& name = areaTable.field(j).name;
                if (IsAreaField(name))
                    total += host::ValueNumber(row.get(j));
                else if (IsISAreaField(name))
                    impervious += host::ValueNumber(row.get(j));
            }
            results.emplace(it->second, Result{total, impervious});
            return true;
        });

        output.update({}, [&](host::Table::Row& r) {
            auto it = results.find(r.oid());
            if (it != results.end()) {
                const auto [total, impervious] = it->second;
                r.set(kTotalArea, total);
                r.set(kTotalIS, impervious);
                r.set(kPctIS, total == 0 ? 0.0 : impervious / total * 100);
                r.set(kComplete, std::string("Y"));
            }
            return true;
        });
        output.finish();
        return true;
    });
    stageFailed_ |= !ok;
}

void clsISExecuteModel::isSetCompleteArea(const host::LayerPtr& outputLayer)
{
    const bool ok = support::Guarded("isSetCompleteArea", kModule, true, false, [&] {
        const host::RasterInfo raster = host::DescribeRaster(landCoverLayer_->source);
        OGRSpatialReference srs;
        const bool hasSrs = !raster.wkt.empty() && srs.importFromWkt(raster.wkt.c_str()) == OGRERR_NONE;
        auto features = host::ReadFeatures(*outputLayer, {}, false, hasSrs ? &srs : nullptr);
        std::vector<host::ZoneShape> shapes;
        std::vector<long long> fids;
        for (auto& f : features) {
            if (!f.geometry)
                continue;
            shapes.emplace_back(static_cast<int>(fids.size()), std::unique_ptr<OGRGeometry>(f.geometry.release()));
            fids.push_back(f.fid);
        }
        const auto touched = host::TouchesNodata(raster, shapes, static_cast<int>(fids.size()));
        for (std::size_t i = 0; i < fids.size(); ++i)
            if (touched[i])
                outputLayer->selection.insert(fids[i]);
        if (outputLayer->selection.empty())
            return true;

        auto output = host::Table::Open(outputLayer->source, true);
        output.update({}, [&](host::Table::Row& r) {
            if (outputLayer->selection.count(r.oid()))
                r.set(kComplete, std::string("N"));
            return true;
        });
        output.finish();
        support::MsgBox("Some of the (selected) polygons in the Analysis Layer \r"
                        "overlapped NODATA cells in the Land Cover Layer.  The \r"
                        "area calculations for these polygons excludes the area \r"
                        "of the NODATA cells.  These polygons may be identified \r"
                        "by a 'N' in the 'Complete' field of the newly created \r"
                        "Impervious Surface theme.",
                        support::Buttons::OK, support::Icon::Information, "NODATA Cells!");
        return true;
    });
    stageFailed_ |= !ok;
}

}  // namespace halvo::model
