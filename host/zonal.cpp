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

// The raster's coordinate system when the zones' differs from it.
std::unique_ptr<OGRSpatialReference> otherRasterSrs(const ZoneLayer::Features& f, const RasterInfo& raster)
{
    auto srs = rasterSrs(raster);
    return f.srs && srs && !f.srs->IsSame(srs.get()) ? std::move(srs) : nullptr;
}

// A zone's shape brought from the zones' coordinate system into the raster's.
void bringInto(OGRGeometry& g, const ZoneLayer::Features& f, OGRSpatialReference& srs, const Layer& layer)
{
    g.assignSpatialReference(f.srs.get());
    if (g.transformTo(&srs) != OGRERR_NONE)
        support::raise(support::err::kHostFailure,
                       "Cannot bring a zone of '" + layer.name + "' into the land cover's coordinates");
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
    if (otherRasterSrs(f, raster))
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

namespace {

// The label layers' polygons, read in the given coordinate system.
std::vector<CellLabels> readLabels(const std::vector<LabelLayer>& labels, const OGRSpatialReference* srs)
{
    std::vector<CellLabels> cellLabels;
    for (const LabelLayer& layer : labels) {
        CellLabels& cells = cellLabels.emplace_back();
        cells.count = layer.count;
        for (const LabelSource& source : layer.sources)
            for (auto& f : ReadFeatures(*source.layer, source.field, !source.layer->selection.empty(), srs))
                if (f.geometry)
                    if (const int label = source.labelOf(f.value); label > 0)
                        cells.shapes.emplace_back(label, std::unique_ptr<OGRGeometry>(f.geometry.release()));
    }
    return cellLabels;
}

}  // namespace

LayerTabulation TabulateCut(ZoneLayer& zones, const std::vector<LabelLayer>& labels, const std::vector<bool>& uncut,
                            const RasterInfo& raster, const ProgressFn& progress)
{
    auto& f = zones.features();
    const std::vector<CellLabels> layers = readLabels(labels, f.srs.get());
    std::vector<ZoneShape> shapes = CutZones(f.unions(), layers, uncut);
    // Cut where the zones lie, counted where the raster does.
    if (const auto srs = otherRasterSrs(f, raster))
        for (auto& s : shapes)
            bringInto(*s.geometry, f, *srs, zones.layer());
    LayerTabulation t;
    t.zones = f.zones;
    const int tallies = LabelledTallyCount(static_cast<int>(t.zones.size()), layers);
    if (std::find(uncut.begin(), uncut.end(), false) != uncut.end()) {
        t.counts = TabulateArea(raster, shapes, tallies, 0, progress, Coverage::Exact);
        return t;
    }
    // Every zone's whole land is a shape: the same pass tells which touch NODATA.
    auto scan = ScanZones(raster, shapes, tallies, 0, progress, Coverage::Exact);
    t.counts = std::move(scan.tabulation);
    const std::size_t stride = t.zones.empty() ? 1 : static_cast<std::size_t>(tallies) / t.zones.size();
    for (std::size_t z = 0; z < t.zones.size(); ++z)
        t.touchesNodata.push_back(scan.touchesNodata[z * stride]);
    return t;
}

LayerTabulation TabulateLabelled(ZoneLayer& zones, const std::vector<LabelLayer>& labels, const RasterInfo& raster,
                                 const ProgressFn& progress)
{
    const std::vector<CellLabels> cellLabels = readLabels(labels, rasterSrs(raster).get());
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
    if (otherRasterSrs(f, raster)) {
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

// Each zone's union as a shape in the raster's coordinates: lent when the
// zones are in them already, else copied and brought into them.
template <class Use>
auto withZoneUnions(ZoneLayer& zones, const RasterInfo& raster, Use&& use)
{
    auto& f = zones.features();
    auto& unions = f.unions();
    if (const auto srs = otherRasterSrs(f, raster)) {
        std::vector<ZoneShape> shapes;
        for (std::size_t z = 0; z < unions.size(); ++z)
            if (unions[z]) {
                std::unique_ptr<OGRGeometry> g(unions[z]->clone());
                bringInto(*g, f, *srs, zones.layer());
                shapes.emplace_back(static_cast<int>(z), std::move(g));
            }
        return use(shapes);
    }
    LentShapes lent;
    for (std::size_t z = 0; z < unions.size(); ++z)
        if (unions[z])
            lent.lend(static_cast<int>(z), unions[z]);
    return use(lent.shapes());
}

}  // namespace

std::vector<bool> ZonesTouchingNodata(ZoneLayer& zones, const RasterInfo& raster, Coverage coverage)
{
    const int count = static_cast<int>(zones.values().size());
    return withZoneUnions(zones, raster, [&](const std::vector<ZoneShape>& shapes) {
        return TouchesNodata(raster, shapes, count, 0, {}, coverage);
    });
}

std::vector<bool> ZonesLeavingRaster(ZoneLayer& zones, const RasterInfo& raster)
{
    const std::size_t count = zones.values().size();
    return withZoneUnions(zones, raster, [&](const std::vector<ZoneShape>& shapes) {
        std::vector<bool> leaving(count, false);
        const std::vector<bool> byShape = ShapesLeavingRaster(raster, shapes);
        for (std::size_t i = 0; i < shapes.size(); ++i)
            if (byShape[i])
                leaving[static_cast<std::size_t>(shapes[i].zone)] = true;
        return leaving;
    });
}

long FeatureCount(const Layer& layer)
{
    auto src = FeatureSource::Open(layer);
    return static_cast<long>(src.ogr()->GetFeatureCount(TRUE));
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

namespace {

struct Polygons {
    std::vector<OGRGeometryUniquePtr> shapes;
    std::vector<OGREnvelope> boxes;

    void add(OGRGeometryUniquePtr g)
    {
        if (!g || g->IsEmpty() || OGR_G_Area(OGRGeometry::ToHandle(g.get())) <= 0)
            return;
        OGREnvelope box;
        g->getEnvelope(&box);
        shapes.push_back(std::move(g));
        boxes.push_back(box);
    }
};

Polygons polygonsOf(const Layer& layer, const OGRSpatialReference* srs)
{
    Polygons out;
    for (auto& f : ReadFeatures(layer, {}, !layer.selection.empty(), srs))
        out.add(std::move(f.geometry));
    return out;
}

OGRGeometryUniquePtr checked(OGRGeometry* g, const Layer& layer)
{
    if (!g)
        support::raise(support::err::kHostFailure, "Cannot overlay the polygons of '" + layer.name + "'");
    return OGRGeometryUniquePtr(g);
}

}  // namespace

bool SharesLand(const Layer& layer, const std::vector<const Layer*>& earlier, const std::vector<const Layer*>& others)
{
    std::unique_ptr<OGRSpatialReference> srs;
    {
        auto src = FeatureSource::Open(layer);
        if (src.srs())
            srs = std::make_unique<OGRSpatialReference>(*src.srs());
    }
    Polygons current = polygonsOf(layer, srs.get());
    // Each polygon loses the earlier land near it.
    for (const Layer* e : earlier) {
        const Polygons taken = polygonsOf(*e, srs.get());
        Polygons rest;
        for (std::size_t i = 0; i < current.shapes.size(); ++i) {
            OGRGeometryUniquePtr g = std::move(current.shapes[i]);
            for (std::size_t t = 0; t < taken.shapes.size() && g; ++t)
                if (taken.boxes[t].Intersects(current.boxes[i]) && g->Intersects(taken.shapes[t].get()))
                    g = checked(g->Difference(taken.shapes[t].get()), layer);
            rest.add(std::move(g));
        }
        current = std::move(rest);
    }
    for (const Layer* other : others) {
        const Polygons with = polygonsOf(*other, srs.get());
        Polygons shared;
        for (std::size_t i = 0; i < current.shapes.size(); ++i)
            for (std::size_t w = 0; w < with.shapes.size(); ++w)
                if (with.boxes[w].Intersects(current.boxes[i]) && current.shapes[i]->Intersects(with.shapes[w].get()))
                    shared.add(checked(current.shapes[i]->Intersection(with.shapes[w].get()), *other));
        current = std::move(shared);
    }
    return !current.shapes.empty();
}

}  // namespace halvo::host
