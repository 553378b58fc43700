#include "host/zonal.h"

#include "host/feature_reader.h"
#include "host/ogr_layer.h"
#include "host/threads.h"
#include "host/vector_ops.h"
#include "support/error_reporting.h"

#include <ogr_api.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <map>

namespace halvo::host {

namespace {

bool sameValue(const Value& a, const Value& b) { return !ValueLess(a, b) && !ValueLess(b, a); }

// The raster's coordinate system, null when it has none GDAL reads.
std::unique_ptr<OGRSpatialReference> rasterSrs(const RasterInfo& raster)
{
    auto srs = std::make_unique<OGRSpatialReference>();
    if (raster.wkt.empty() || srs->importFromWkt(raster.wkt.c_str()) != OGRERR_NONE)
        return nullptr;
    return srs;
}

std::vector<FeatureRecord> readInRasterSrs(const Layer& layer, const std::string& field, bool selectedOnly,
                                           const RasterInfo& raster)
{
    return ReadFeatures(layer, field, selectedOnly, rasterSrs(raster).get());
}

// One shape per zone: the union of the zone's shapes where it has several.
std::vector<ZoneShape> mergedByZone(std::vector<ZoneShape> shapes, std::size_t zoneCount)
{
    std::vector<std::vector<OGRGeometryUniquePtr>> parts(zoneCount);
    for (auto& s : shapes)
        parts[static_cast<std::size_t>(s.zone)].emplace_back(s.geometry.release());
    std::vector<OGRGeometryUniquePtr> merged(zoneCount);
    ParallelFor(
        zoneCount, [] { return 0; },
        [&](int, std::size_t z) {
            if (!parts[z].empty())
                merged[z] = UnionPolygons(std::move(parts[z]));
        });
    std::vector<ZoneShape> out;
    for (std::size_t z = 0; z < zoneCount; ++z)
        if (merged[z])
            out.emplace_back(static_cast<int>(z), std::unique_ptr<OGRGeometry>(merged[z].release()));
    return out;
}

}  // namespace

namespace {

LayerTabulation scanShapes(std::vector<Value> zones, const std::vector<ZoneShape>& shapes, const RasterInfo& raster,
                           const ProgressFn& progress, Coverage coverage, bool nodataContacts)
{
    LayerTabulation t;
    t.zones = std::move(zones);
    const int zoneCount = static_cast<int>(t.zones.size());
    if (nodataContacts) {
        auto scan = ScanZones(raster, shapes, zoneCount, 0, progress, coverage);
        t.counts = std::move(scan.tabulation);
        t.touchesNodata = std::move(scan.touchesNodata);
    } else {
        t.counts = TabulateArea(raster, shapes, zoneCount, 0, progress, coverage);
    }
    return t;
}

// Shapes lent to a scan, given back to their owners after it.
class LentShapes {
public:
    void lend(int zone, OGRGeometryUniquePtr& owner)
    {
        shapes_.emplace_back(zone, std::unique_ptr<OGRGeometry>(owner.release()));
        owners_.push_back(&owner);
    }
    const std::vector<ZoneShape>& shapes() const { return shapes_; }
    LentShapes() = default;
    LentShapes(const LentShapes&) = delete;
    LentShapes& operator=(const LentShapes&) = delete;
    ~LentShapes()
    {
        for (std::size_t i = 0; i < owners_.size(); ++i)
            owners_[i]->reset(shapes_[i].geometry.release());
    }

private:
    std::vector<ZoneShape> shapes_;
    std::vector<OGRGeometryUniquePtr*> owners_;
};

}  // namespace

LayerTabulation TabulateZones(ZoneLayer& zones, const RasterInfo& raster, const ProgressFn& progress, Coverage coverage,
                              bool nodataContacts)
{
    auto& f = zones.features();
    OGRSpatialReference srs;
    if (f.srs && !raster.wkt.empty() && srs.importFromWkt(raster.wkt.c_str()) == OGRERR_NONE && !f.srs->IsSame(&srs))
        return TabulateLayer(zones.layer(), zones.field(), raster, progress, coverage, nodataContacts);
    LentShapes lent;
    if (coverage == Coverage::Exact) {
        auto& unions = f.unions();
        for (std::size_t z = 0; z < unions.size(); ++z)
            if (unions[z])
                lent.lend(static_cast<int>(z), unions[z]);
    } else {
        for (std::size_t i = 0; i < f.records.size(); ++i)
            if (f.zoneOf[i] >= 0 && f.records[i].geometry)
                lent.lend(f.zoneOf[i], f.records[i].geometry);
    }
    return scanShapes(f.zones, lent.shapes(), raster, progress, coverage, nodataContacts);
}

LayerTabulation TabulateLabelled(ZoneLayer& zones, const std::vector<LabelLayer>& labels, const RasterInfo& raster,
                                 const ProgressFn& progress)
{
    std::vector<CellLabels> cellLabels;
    for (const LabelLayer& layer : labels) {
        CellLabels& cells = cellLabels.emplace_back();
        cells.count = layer.count;
        for (const LabelSource& source : layer.sources)
            for (auto& f : readInRasterSrs(*source.layer, source.field, !source.layer->selection.empty(), raster))
                if (f.geometry)
                    if (const int label = source.labelOf(f.value); label > 0)
                        cells.shapes.emplace_back(label, std::unique_ptr<OGRGeometry>(f.geometry.release()));
    }
    auto scan = [&](std::vector<Value> values, const std::vector<ZoneShape>& shapes) {
        LayerTabulation t;
        t.zones = std::move(values);
        const int zoneCount = static_cast<int>(t.zones.size());
        auto s = ScanRows(raster, shapes, zoneCount, Coverage::Centre, {}, Yield::Both, 0, progress, cellLabels);
        t.counts = std::move(s.tabulation);
        t.touchesNodata = std::move(s.touchesNodata);
        return t;
    };
    auto& f = zones.features();
    OGRSpatialReference srs;
    if (f.srs && !raster.wkt.empty() && srs.importFromWkt(raster.wkt.c_str()) == OGRERR_NONE && !f.srs->IsSame(&srs)) {
        // Zones in another coordinate system are read again in the raster's.
        std::vector<ZoneShape> shapes;
        for (auto& r : readInRasterSrs(zones.layer(), zones.field(), !zones.layer().selection.empty(), raster))
            if (!IsNull(r.value) && r.geometry) {
                const auto it = std::lower_bound(f.zones.begin(), f.zones.end(), r.value, ValueLess);
                if (it != f.zones.end() && sameValue(*it, r.value))
                    shapes.emplace_back(static_cast<int>(it - f.zones.begin()),
                                        std::unique_ptr<OGRGeometry>(r.geometry.release()));
            }
        return scan(f.zones, shapes);
    }
    LentShapes lent;
    for (std::size_t i = 0; i < f.records.size(); ++i)
        if (f.zoneOf[i] >= 0 && f.records[i].geometry)
            lent.lend(f.zoneOf[i], f.records[i].geometry);
    return scan(f.zones, lent.shapes());
}

LayerTabulation TabulateLayer(const Layer& zones, const std::string& field, const RasterInfo& raster,
                              const ProgressFn& progress, Coverage coverage, bool nodataContacts)
{
    auto features = readInRasterSrs(zones, field, !zones.selection.empty(), raster);
    LayerTabulation t;
    for (const auto& f : features)
        if (!IsNull(f.value))
            t.zones.push_back(f.value);
    std::sort(t.zones.begin(), t.zones.end(), ValueLess);
    t.zones.erase(std::unique(t.zones.begin(), t.zones.end(), sameValue), t.zones.end());
    std::vector<ZoneShape> shapes;
    shapes.reserve(features.size());
    for (auto& f : features) {
        if (IsNull(f.value) || !f.geometry)
            continue;
        auto it = std::lower_bound(t.zones.begin(), t.zones.end(), f.value, ValueLess);
        shapes.emplace_back(static_cast<int>(it - t.zones.begin()), std::unique_ptr<OGRGeometry>(f.geometry.release()));
    }
    if (coverage == Coverage::Exact)
        shapes = mergedByZone(std::move(shapes), t.zones.size());
    return scanShapes(std::move(t.zones), shapes, raster, progress, coverage, nodataContacts);
}

namespace {

// Each feature with a geometry as a shape of its own (zone = its index), in
// the raster's coordinates; fids gets their IDs.
std::vector<ZoneShape> featureShapes(const Layer& layer, const RasterInfo& raster, std::vector<long long>& fids)
{
    std::vector<ZoneShape> shapes;
    for (auto& f : readInRasterSrs(layer, {}, false, raster)) {
        if (!f.geometry)
            continue;
        shapes.emplace_back(static_cast<int>(fids.size()), std::unique_ptr<OGRGeometry>(f.geometry.release()));
        fids.push_back(f.fid);
    }
    return shapes;
}

std::vector<long long> fidsWhere(const std::vector<long long>& fids, const std::vector<bool>& flags)
{
    std::vector<long long> out;
    for (std::size_t i = 0; i < fids.size(); ++i)
        if (flags[i])
            out.push_back(fids[i]);
    return out;
}

}  // namespace

std::vector<long long> FeaturesTouchingNodata(const Layer& layer, const RasterInfo& raster, Coverage coverage)
{
    std::vector<long long> fids;
    const std::vector<ZoneShape> shapes = featureShapes(layer, raster, fids);
    return fidsWhere(fids, TouchesNodata(raster, shapes, static_cast<int>(fids.size()), 0, {}, coverage));
}

std::vector<long long> FeaturesLeavingRaster(const Layer& layer, const RasterInfo& raster)
{
    // Each shape is judged by itself, so the layer is read in batches, never held whole.
    constexpr std::size_t kBatch = 4096;
    std::vector<long long> out;
    ForEachFeatureBatch(layer, {}, false, rasterSrs(raster).get(), kBatch, [&](std::vector<FeatureRecord>& batch) {
        std::vector<long long> fids;
        std::vector<ZoneShape> shapes;
        for (auto& f : batch)
            if (f.geometry) {
                shapes.emplace_back(static_cast<int>(fids.size()), std::unique_ptr<OGRGeometry>(f.geometry.release()));
                fids.push_back(f.fid);
            }
        for (const long long fid : fidsWhere(fids, ShapesLeavingRaster(raster, shapes)))
            out.push_back(fid);
    });
    return out;
}

long FeatureCount(const Layer& layer)
{
    auto src = FeatureSource::Open(layer);
    return static_cast<long>(src.ogr()->GetFeatureCount(TRUE));
}

ValueAreas AreasByValue(const Layer& layer, const std::string& field, bool selectedOnly)
{
    ValueAreas out;
    std::map<Value, double, bool (*)(const Value&, const Value&)> sums(ValueLess);
    for (const auto& f : ReadFeatures(layer, field, selectedOnly)) {
        ++out.features;
        const double area = f.geometry ? OGR_G_Area(OGRGeometry::ToHandle(f.geometry.get())) : 0.0;
        if (IsNull(f.value)) {
            ++out.nullFeatures;
            out.nullArea += area;
        } else {
            sums[f.value] += area;
        }
    }
    out.byValue.assign(sums.begin(), sums.end());
    return out;
}

std::vector<std::pair<Value, double>> UnionAreasByValue(const Layer& layer, const std::string& field)
{
    std::map<Value, std::vector<OGRGeometryUniquePtr>, bool (*)(const Value&, const Value&)> groups(ValueLess);
    for (auto& f : ReadFeatures(layer, field, !layer.selection.empty()))
        if (!IsNull(f.value) && f.geometry)
            groups[f.value].push_back(std::move(f.geometry));
    std::vector<std::pair<Value, double>> out;
    std::vector<std::vector<OGRGeometryUniquePtr>*> parts;
    for (auto& [value, shapes] : groups) {
        out.emplace_back(value, 0.0);
        parts.push_back(&shapes);
    }
    ParallelFor(
        parts.size(), [] { return 0; },
        [&](int&, std::size_t i) {
            const auto u = UnionPolygons(std::move(*parts[i]));
            out[i].second = u ? OGR_G_Area(OGRGeometry::ToHandle(u.get())) : 0.0;
        });
    return out;
}

FieldUse ValuesInUse(const Layer& layer, const std::string& field)
{
    FieldUse use;
    const bool selected = !layer.selection.empty();
    use.features = selected ? static_cast<long>(layer.selection.size()) : FeatureCount(layer);
    auto src = FeatureSource::Open(layer);
    const std::string where = "\"" + field + "\" IS NULL";
    if (src.ogr()->SetAttributeFilter(where.c_str()) != OGRERR_NONE)
        support::raise(support::err::kInvalidCall,
                       "Cannot look for empty values of '" + field + "' in '" + layer.name + "'");
    ForEachFeature(src.ogr(), layer.name, layer.source, [&](const OGRFeatureUniquePtr& f) {
        if (selected && !layer.selection.count(f->GetFID()))
            return true;
        ++use.nullFeatures;
        if (const OGRGeometry* g = f->GetGeometryRef())
            use.nullArea += OGR_G_Area(OGRGeometry::ToHandle(const_cast<OGRGeometry*>(g)));
        return true;
    });
    return use;
}

long SubtractPolygons(const Layer& layer, const std::vector<const Layer*>& earlier, const std::filesystem::path& outShp)
{
    struct Taken {
        OGRGeometryUniquePtr geometry;
        OGREnvelope box;
        std::string layer;
    };
    std::vector<Taken> taken;
    for (const Layer* e : earlier)
        for (auto& f : ReadFeatures(*e, {}, !e->selection.empty()))
            if (f.geometry) {
                OGREnvelope box;
                f.geometry->getEnvelope(&box);
                taken.push_back({std::move(f.geometry), box, e->name});
            }
    auto features = ReadFeatures(layer, {}, !layer.selection.empty());
    // Each polygon loses only the earlier land near it: merging all of it
    // first, and cutting every polygon by the whole, cost most of the stage.
    std::vector<OGRGeometryUniquePtr> rests(features.size());
    ParallelFor(
        features.size(), [] { return 0; },
        [&](int&, std::size_t k) {
            auto& f = features[k];
            if (!f.geometry)
                return;
            OGREnvelope box;
            f.geometry->getEnvelope(&box);
            OGRGeometryUniquePtr near;
            for (const auto& t : taken) {
                if (!t.box.Intersects(box))
                    continue;
                near.reset(near ? near->Union(t.geometry.get()) : t.geometry->clone());
                if (!near)
                    support::raise(support::err::kHostFailure, "Cannot merge the polygons of '" + t.layer + "'");
            }
            rests[k].reset(near ? f.geometry->Difference(near.get()) : f.geometry.release());
            if (!rests[k])
                support::raise(support::err::kHostFailure,
                               "Cannot take earlier scenarios' land out of a polygon of '" + layer.name + "'");
        });
    auto src = FeatureSource::Open(layer);
    auto table =
        Table::CreateShapefile(outShp, ShapeKind::MultiPolygon, src.srs(), {{"ID", "ID", kInteger, 10, 10, 0}});
    auto ins = table.inserter();
    long kept = 0;
    for (std::size_t k = 0; k < features.size(); ++k) {
        auto& rest = rests[k];
        if (!rest || rest->IsEmpty() || OGR_G_Area(OGRGeometry::ToHandle(rest.get())) <= 0)
            continue;
        OGRGeometryUniquePtr poly(OGRGeometryFactory::forceToMultiPolygon(rest.release()));
        ins.buffer().setShape(poly.get());
        ins.buffer().set(2, static_cast<long long>(features[k].fid));
        ins.insert();
        ++kept;
    }
    ins.finish();
    table.finish();
    return kept;
}

}  // namespace halvo::host
