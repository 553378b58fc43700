#include "host/vector_ops.h"
#include "host/ogr_layer.h"

#include "host/feature_reader.h"
#include "host/gdal_env.h"
#include "host/geos_handles.h"
#include "host/threads.h"
#include "support/error_reporting.h"

#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace halvo::host {

namespace fs = std::filesystem;

struct FeatureSource::Lent {
    GDALDatasetUniquePtr ds;
    bool out = false;  // lent to a live FeatureSource
};

void FeatureSource::GiveBack::operator()(Lent* lent) const { lent->out = false; }

struct OpenInputs::Kept {
    std::map<std::string, FeatureSource::Lent> byFile;
};

namespace {
thread_local OpenInputs* openInputs = nullptr;
}  // namespace

OpenInputs::OpenInputs(const std::vector<std::filesystem::path>& files)
    : kept_(std::make_unique<Kept>()), outer_(openInputs)
{
    for (const auto& f : files)
        kept_->byFile.try_emplace(f.string());
    openInputs = this;
}

OpenInputs::~OpenInputs() { openInputs = outer_; }

namespace {

// The kept place of `path`'s dataset, or null when the file is not kept.
FeatureSource::Lent* keptDataset(const fs::path& path)
{
    for (OpenInputs* in = openInputs; in; in = in->outer())
        if (auto it = in->kept().byFile.find(path.string()); it != in->kept().byFile.end())
            return &it->second;
    return nullptr;
}

}  // namespace

FeatureSource FeatureSource::Open(const Layer& layer, bool update)
{
    EnsureGdal();
    FeatureSource s;
    GDALDataset* ds = nullptr;
    if (Lent* lent = update ? nullptr : keptDataset(layer.source); lent && !lent->out) {
        if (!lent->ds)
            lent->ds.reset(GDALDataset::Open(layer.source.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr,
                                             nullptr, nullptr));
        if (lent->ds) {
            lent->out = true;
            s.lent_.reset(lent);
            ds = lent->ds.get();
        }
    }
    if (!ds) {
        s.ds_.reset(GDALDataset::Open(layer.source.string().c_str(),
                                      GDAL_OF_VECTOR | (update ? GDAL_OF_UPDATE : GDAL_OF_READONLY), nullptr, nullptr,
                                      nullptr));
        ds = s.ds_.get();
    }
    if (!ds)
        RaiseGdal("Cannot open the layer '" + layer.name + "' (" + layer.source.string() + ")");
    s.layer_ = layer.sourceLayer.empty() ? ds->GetLayer(0) : ds->GetLayerByName(layer.sourceLayer.c_str());
    if (s.layer_ && s.lent_) {
        // An earlier reader may have left a filter or its place.
        s.layer_->SetAttributeFilter(nullptr);
        s.layer_->SetSpatialFilter(nullptr);
        s.layer_->ResetReading();
    }
    if (!s.layer_)
        RaiseGdal("The layer '" + layer.name + "' has no feature data in " + layer.source.string());
    return s;
}

std::string FeatureSource::driverName() const
{
    GDALDataset* ds = ds_ ? ds_.get() : lent_->ds.get();
    return ds->GetDriver() ? ds->GetDriver()->GetDescription() : "";
}

std::optional<std::vector<std::string>> VectorLayerNamesIfAny(const std::filesystem::path& dataset)
{
    EnsureGdal();
    GDALDatasetUniquePtr own;
    GDALDataset* ds = nullptr;
    if (FeatureSource::Lent* lent = keptDataset(dataset)) {
        if (!lent->ds)
            lent->ds.reset(GDALDataset::Open(dataset.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr,
                                             nullptr, nullptr));
        ds = lent->ds.get();
    }
    if (!ds) {
        own.reset(
            GDALDataset::Open(dataset.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
        ds = own.get();
    }
    if (!ds)
        return std::nullopt;
    std::vector<std::string> names;
    for (int i = 0; i < ds->GetLayerCount(); ++i)
        names.emplace_back(ds->GetLayer(i)->GetName());
    return names;
}

std::vector<std::string> VectorLayerNames(const std::filesystem::path& dataset)
{
    std::optional<std::vector<std::string>> names = VectorLayerNamesIfAny(dataset);
    if (!names)
        RaiseGdal("Cannot open '" + dataset.string() + "'");
    return std::move(*names);
}

std::string OtherVectorFormatOf(const std::string& ext)
{
    EnsureGdal();
    if (ext.size() < 2 || ext[0] != '.')
        return {};
    auto lower = [](std::string t) {
        std::transform(t.begin(), t.end(), t.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return t;
    };
    std::string wanted(1, ' ');
    wanted += lower(ext.substr(1));
    wanted += ' ';
    auto* manager = GetGDALDriverManager();
    for (int i = 0; i < manager->GetDriverCount(); ++i) {
        GDALDriver* d = manager->GetDriver(i);
        const char* exts = d->GetMetadataItem(GDAL_DMD_EXTENSIONS);
        if (!d->GetMetadataItem(GDAL_DCAP_VECTOR) || !exts || std::string(d->GetDescription()) == "ESRI Shapefile")
            continue;
        std::string all(1, ' ');
        all += lower(exts);
        all += ' ';
        if (all.find(wanted) != std::string::npos)
            return d->GetMetadataItem(GDAL_DMD_LONGNAME) ? d->GetMetadataItem(GDAL_DMD_LONGNAME) : d->GetDescription();
    }
    return {};
}

bool MustCopyFirst(const Layer& layer) { return FeatureSource::Open(layer).driverName() != "ESRI Shapefile"; }

int ShapeType(const Layer& layer)
{
    auto src = FeatureSource::Open(layer);
    switch (wkbFlatten(src.ogr()->GetGeomType())) {
    case wkbPolygon:
    case wkbMultiPolygon: return 4;
    case wkbLineString:
    case wkbMultiLineString: return 3;
    case wkbPoint:
    case wkbMultiPoint: return 1;
    case wkbUnknown: {
        // A layer declared as any geometry (GEOMETRY in a GeoPackage) is a
        // polygon layer when every shape it holds is one.
        bool any = false;
        src.ogr()->ResetReading();
        for (OGRFeatureUniquePtr f(src.ogr()->GetNextFeature()); f; f.reset(src.ogr()->GetNextFeature())) {
            const OGRGeometry* g = f->GetGeometryRef();
            if (!g)
                continue;
            const auto t = wkbFlatten(g->getGeometryType());
            if (t != wkbPolygon && t != wkbMultiPolygon)
                return 0;
            any = true;
        }
        return any ? 4 : 0;
    }
    default: return 0;
    }
}

std::string SpatialReferenceName(const OGRSpatialReference* srs)
{
    if (!srs)
        return "Unknown";
    const char* n = srs->GetName();
    return n ? n : "Unknown";
}

std::string SpatialReferenceName(const Layer& layer)
{
    if (!layer.srsName.empty())
        return layer.srsName;
    auto src = FeatureSource::Open(layer);
    return SpatialReferenceName(src.srs());
}

int MapUnitsOf(const OGRSpatialReference* srs)
{
    if (!srs)
        return kUnitsMeters;
    if (srs->IsGeographic())
        return kUnitsDegrees;
    const double toMetre = srs->GetLinearUnits();
    if (std::abs(toMetre - 0.3048) < 1e-4 || std::abs(toMetre - 1200.0 / 3937.0) < 1e-6)
        return kUnitsFeet;
    return kUnitsMeters;
}

Extent LayerExtent(const Layer& layer)
{
    auto src = FeatureSource::Open(layer);
    OGREnvelope env;
    if (src.ogr()->GetExtent(&env, TRUE) != OGRERR_NONE)
        return {};
    return {env.MinX, env.MinY, env.MaxX, env.MaxY};
}

std::optional<Extent> GeographicExtent(const Layer& layer)
{
    auto src = FeatureSource::Open(layer);
    OGREnvelope env;
    if (!src.srs() || src.ogr()->GetExtent(&env, TRUE) != OGRERR_NONE)
        return std::nullopt;
    OGRSpatialReference from(*src.srs()), wgs84;
    if (wgs84.importFromEPSG(4326) != OGRERR_NONE)
        return std::nullopt;
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&from, &wgs84));
    // A projected edge bends in degrees and may bulge past its corners; GDAL recommends 21 points an edge.
    constexpr int kPointsPerEdge = 21;
    Extent e;
    if (!ct || !ct->TransformBounds(env.MinX, env.MinY, env.MaxX, env.MaxY, &e.minX, &e.minY, &e.maxX, &e.maxY,
                                    kPointsPerEdge))
        return std::nullopt;
    return e;
}

std::vector<FieldDef> LayerFields(const Layer& layer)
{
    auto src = FeatureSource::Open(layer);
    OGRFeatureDefn* defn = src.ogr()->GetLayerDefn();
    std::vector<FieldDef> out;
    for (int i = 0; i < defn->GetFieldCount(); ++i)
        out.push_back(DescribeField(*defn->GetFieldDefn(i)));
    return out;
}

std::optional<FieldDef> FindLayerField(const Layer& layer, const std::string& name)
{
    auto src = FeatureSource::Open(layer);
    OGRFeatureDefn* defn = src.ogr()->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i)
        if (name == defn->GetFieldDefn(i)->GetNameRef())
            return DescribeField(*defn->GetFieldDefn(i));
    return std::nullopt;
}

void SelectByWhere(Layer& layer, const std::string& where, bool add)
{
    auto src = FeatureSource::Open(layer);
    if (src.ogr()->SetAttributeFilter(where.empty() ? nullptr : where.c_str()) != OGRERR_NONE)
        RaiseGdal("Invalid selection [" + where + "] on the layer '" + layer.name + "'");
    if (!add)
        layer.selection.clear();
    ForEachFeature(src.ogr(), layer.name, layer.source, [&](const OGRFeatureUniquePtr& f) {
        layer.selection.insert(f->GetFID());
        return true;
    });
}

namespace {

Value fieldValue(const OGRFeature& f, int i)
{
    if (i < 0 || !f.IsFieldSetAndNotNull(i))
        return {};
    switch (f.GetFieldDefnRef(i)->GetType()) {
    case OFTInteger: return static_cast<long long>(f.GetFieldAsInteger(i));
    case OFTInteger64: return static_cast<long long>(f.GetFieldAsInteger64(i));
    case OFTReal: return f.GetFieldAsDouble(i);
    default: return std::string(f.GetFieldAsString(i));
    }
}

int fieldIndexExact(OGRLayer* layer, const std::string& name, const std::string& layerName)
{
    OGRFeatureDefn* defn = layer->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i)
        if (name == defn->GetFieldDefn(i)->GetNameRef())
            return i;
    support::raise(support::err::kInvalidCall, "The layer '" + layerName + "' has no field '" + name + "'");
}

}  // namespace

namespace {

[[noreturn]] void cannotRepair()
{
    support::raise(support::err::kHostFailure, "An invalid polygon could not be repaired");
}

GeomPtr own(GEOSContextHandle_t c, GEOSGeometry* g)
{
    if (!g)
        cannotRepair();
    return GeomPtr(g, GeomDeleter{c});
}

// The polygons of `g` as one polygonal geometry; lines and points left out.
GeomPtr polygonalPart(GEOSContextHandle_t c, GeomPtr g)
{
    const int type = GEOSGeomTypeId_r(c, g.get());
    if (type == GEOS_POLYGON || type == GEOS_MULTIPOLYGON)
        return g;
    std::vector<GEOSGeometry*> polygons;
    auto take = [&](const GEOSGeometry* part) {
        const int t = GEOSGeomTypeId_r(c, part);
        if (t == GEOS_POLYGON)
            polygons.push_back(GEOSGeom_clone_r(c, part));
        else if (t == GEOS_MULTIPOLYGON)
            for (int i = 0; i < GEOSGetNumGeometries_r(c, part); ++i)
                polygons.push_back(GEOSGeom_clone_r(c, GEOSGetGeometryN_r(c, part, i)));
    };
    for (int i = 0; i < GEOSGetNumGeometries_r(c, g.get()); ++i)
        take(GEOSGetGeometryN_r(c, g.get(), i));
    GEOSGeometry* out =
        GEOSGeom_createCollection_r(c, GEOS_MULTIPOLYGON, polygons.data(), static_cast<unsigned>(polygons.size()));
    if (!out)
        for (auto* p : polygons)  // not taken over by a collection that failed
            GEOSGeom_destroy_r(c, p);
    return own(c, out);
}

// The area one ring encloses, by GEOS make-valid's "linework" method: where
// the ring runs round a patch twice, as when a shapefile draws a hole as a
// loop of its shell touching it at a point, the patch is a hole.
GeomPtr ringArea(GEOSContextHandle_t c, const GEOSGeometry* ring)
{
    GeomPtr polygon = own(c, GEOSGeom_createPolygon_r(c, GEOSGeom_clone_r(c, ring), nullptr, 0));
    if (GEOSisValid_r(c, polygon.get()) == 1)
        return polygon;
    GEOSMakeValidParams* params = GEOSMakeValidParams_create_r(c);
    GEOSMakeValidParams_setMethod_r(c, params, GEOS_MAKE_VALID_LINEWORK);
    GEOSMakeValidParams_setKeepCollapsed_r(c, params, 0);
    GEOSGeometry* valid = GEOSMakeValidWithParams_r(c, polygon.get(), params);
    GEOSMakeValidParams_destroy_r(c, params);
    return polygonalPart(c, own(c, valid));
}

GeomPtr unionOfAll(GEOSContextHandle_t c, std::vector<GeomPtr>& parts)
{
    std::vector<GEOSGeometry*> raw;
    for (auto& p : parts)
        raw.push_back(p.release());
    GEOSGeometry* coll =
        GEOSGeom_createCollection_r(c, GEOS_GEOMETRYCOLLECTION, raw.data(), static_cast<unsigned>(raw.size()));
    if (!coll)
        for (auto* p : raw)
            GEOSGeom_destroy_r(c, p);
    GeomPtr all = own(c, coll);
    return own(c, GEOSUnaryUnion_r(c, all.get()));
}

GeomPtr ringByRingRepair(GEOSContextHandle_t c, const GEOSGeometry* g)
{
    std::vector<GeomPtr> polygons;
    for (int i = 0; i < GEOSGetNumGeometries_r(c, g); ++i) {
        const GEOSGeometry* polygon = GEOSGetGeometryN_r(c, g, i);
        if (GEOSisEmpty_r(c, polygon) == 1)
            continue;
        GeomPtr shell = ringArea(c, GEOSGetExteriorRing_r(c, polygon));
        const int holeCount = GEOSGetNumInteriorRings_r(c, polygon);
        if (holeCount > 0) {
            std::vector<GeomPtr> holes;
            for (int h = 0; h < holeCount; ++h)
                holes.push_back(ringArea(c, GEOSGetInteriorRingN_r(c, polygon, h)));
            GeomPtr cut = unionOfAll(c, holes);
            shell = own(c, GEOSDifference_r(c, shell.get(), cut.get()));
        }
        polygons.push_back(std::move(shell));
    }
    return polygonalPart(c, unionOfAll(c, polygons));
}

GeomPtr structureRepair(GEOSContextHandle_t c, const GEOSGeometry* g)
{
    GEOSMakeValidParams* params = GEOSMakeValidParams_create_r(c);
    GEOSMakeValidParams_setMethod_r(c, params, GEOS_MAKE_VALID_STRUCTURE);
    GEOSMakeValidParams_setKeepCollapsed_r(c, params, 0);
    GEOSGeometry* valid = GEOSMakeValidWithParams_r(c, g, params);
    GEOSMakeValidParams_destroy_r(c, params);
    return polygonalPart(c, own(c, valid));
}

// A valid form of an invalid polygon: each ring's area as above, each
// polygon its shell less its holes, the polygons unioned, so parts that
// overlap count once; collapsed pieces (lines, points) dropped. This is GEOS
// make-valid's "structure" method, but for the loops a ring draws inside
// itself; that method alone decides when GEOS fails on the rings.
GeomPtr makeValidPolygon(GEOSContextHandle_t c, const GEOSGeometry* g)
{
    try {
        return ringByRingRepair(c, g);
    } catch (const support::Error&) {
        return structureRepair(c, g);
    }
}

bool isPolygonal(const OGRGeometry& g)
{
    const auto t = wkbFlatten(g.getGeometryType());
    return t == wkbPolygon || t == wkbMultiPolygon;
}

// A damaged file can hold a ring that does not end where it starts; GDAL hands
// it out as it is and GEOS refuses it. Closed here; true when one was open.
bool closeOpenRings(OGRGeometry& g)
{
    auto open = [](const OGRPolygon& p) {
        return std::any_of(p.begin(), p.end(), [](const OGRLinearRing* ring) { return !ring->get_IsClosed(); });
    };
    const auto t = wkbFlatten(g.getGeometryType());
    bool any = false;
    if (t == wkbPolygon)
        any = open(*g.toPolygon());
    else if (t == wkbMultiPolygon)
        any = std::any_of(g.toMultiPolygon()->begin(), g.toMultiPolygon()->end(),
                          [&](const OGRPolygon* p) { return open(*p); });
    if (any)
        g.closeRings();
    return any;
}

// The repaired form of `g`, or nothing when it is valid or not polygonal.
OGRGeometryUniquePtr repair(GEOSContextHandle_t c, const OGRGeometry& g)
{
    if (!isPolygonal(g) || g.IsEmpty())
        return nullptr;
    GeomPtr geos(g.exportToGEOS(c), GeomDeleter{c});
    if (!geos || GEOSisValid_r(c, geos.get()) == 1)
        return nullptr;
    GeomPtr valid = makeValidPolygon(c, geos.get());
    OGRGeometryUniquePtr out(OGRGeometryFactory::createFromGEOS(c, valid.get()));
    if (!out)
        support::raise(support::err::kHostFailure, "An invalid polygon could not be repaired");
    out->assignSpatialReference(g.getSpatialReference());
    return out;
}

struct RepairLog {
    std::mutex mutex;
    // by layer name and source: the IDs of the features repaired, and of those
    // whose rings GDAL closed
    std::map<std::pair<std::string, std::string>, std::set<long long>> repaired, closed;
};
RepairLog& repairLog()
{
    static RepairLog log;
    return log;
}

void noteRepairs(const Layer& layer, const std::vector<long long>& fids)
{
    if (fids.empty())
        return;
    auto& log = repairLog();
    std::lock_guard lock(log.mutex);
    auto& set = log.repaired[{layer.name, layer.source.string()}];
    set.insert(fids.begin(), fids.end());
}

}  // namespace

void NoteUnclosedRing(const std::string& layerName, const fs::path& source, long long fid)
{
    auto& log = repairLog();
    std::lock_guard lock(log.mutex);
    log.closed[{layerName, source.string()}].insert(fid);
}

OGRGeometryUniquePtr RepairPolygon(const OGRGeometry& g)
{
    GeosContext geos;
    return repair(geos.get(), g);
}

void ResetGeometryRepairs()
{
    auto& log = repairLog();
    std::lock_guard lock(log.mutex);
    log.repaired.clear();
    log.closed.clear();
}

std::vector<LayerRepairs> GeometryRepairs()
{
    auto& log = repairLog();
    std::lock_guard lock(log.mutex);
    std::map<std::pair<std::string, std::string>, LayerRepairs> byLayer;
    for (const auto& [key, fids] : log.repaired)
        byLayer[key] = {key.first, key.second, fids.size(), 0};
    for (const auto& [key, fids] : log.closed) {
        auto& r = byLayer.try_emplace(key, LayerRepairs{key.first, key.second, 0, 0}).first->second;
        r.closedRings = fids.size();
    }
    std::vector<LayerRepairs> out;
    for (auto& [key, r] : byLayer)
        out.push_back(std::move(r));
    return out;
}

std::string GeometryRepairsText()
{
    std::string text;
    auto start = [&](std::size_t n, const std::string& layer) {
        if (!text.empty())
            text += '\r';
        text.append(std::to_string(n)).append(n == 1 ? " feature" : " features");
        text.append(" of the layer '").append(layer).append("' had ");
    };
    for (const auto& r : GeometryRepairs()) {
        if (r.closedRings > 0) {
            start(r.closedRings, r.layer);
            text.append("a polygon ring that did not end where it starts and was closed: the file ")
                .append(r.source.filename().string())
                .append(" may be damaged; check those shapes.");
        }
        if (r.features > 0) {
            start(r.features, r.layer);
            text.append("an invalid geometry and ")
                .append(r.features == 1 ? "was" : "were")
                .append(" repaired: overlapping parts count once, as their union.");
        }
    }
    return text;
}

std::vector<FeatureRecord> ReadFeatures(const Layer& layer, const std::string& field, bool selectedOnly,
                                        const OGRSpatialReference* target)
{
    auto src = FeatureSource::Open(layer);
    const int fi = field.empty() ? -1 : fieldIndexExact(src.ogr(), field, layer.name);
    std::unique_ptr<OGRCoordinateTransformation> ct;
    if (target && src.srs() && !src.srs()->IsSame(target)) {
        OGRSpatialReference from(*src.srs()), to(*target);
        from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        to.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        ct.reset(OGRCreateCoordinateTransformation(&from, &to));
        if (!ct)
            RaiseGdal("Cannot transform the layer '" + layer.name + "' to the land-cover raster's coordinates");
    }
    std::vector<FeatureRecord> out;
    FeatureReader reader(src.ogr(), layer.name, layer.source);
    for (OGRFeatureUniquePtr f = reader.next(); f; f = reader.next()) {
        if (selectedOnly && !layer.selection.count(f->GetFID()))
            continue;
        FeatureRecord r;
        r.fid = f->GetFID();
        r.value = fieldValue(*f, fi);
        r.geometry.reset(f->StealGeometry());
        if (r.geometry && closeOpenRings(*r.geometry))
            NoteUnclosedRing(layer.name, layer.source, r.fid);
        if (r.geometry && ct && r.geometry->transform(ct.get()) != OGRERR_NONE)
            RaiseGdal("Cannot transform a feature of the layer '" + layer.name + "'");
        out.push_back(std::move(r));
    }
    // Checked side by side: validity costs about as much as the reading.
    std::vector<char> repaired(out.size());
    ParallelFor(
        out.size(), [] { return std::make_unique<GeosContext>(); },
        [&](auto& geos, std::size_t i) {
            if (!out[i].geometry)
                return;
            if (auto fixed = repair(geos->get(), *out[i].geometry)) {
                out[i].geometry = std::move(fixed);
                repaired[i] = 1;
            }
        });
    std::vector<long long> fids;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (repaired[i])
            fids.push_back(out[i].fid);
    noteRepairs(layer, fids);
    return out;
}

bool ValueLess(const Value& a, const Value& b)
{
    if (a.index() != b.index()) {
        const bool an = std::holds_alternative<long long>(a) || std::holds_alternative<double>(a);
        const bool bn = std::holds_alternative<long long>(b) || std::holds_alternative<double>(b);
        if (an && bn)
            return ValueNumber(a) < ValueNumber(b);
        return a.index() < b.index();
    }
    if (std::holds_alternative<long long>(a))
        return std::get<long long>(a) < std::get<long long>(b);
    if (std::holds_alternative<double>(a))
        return std::get<double>(a) < std::get<double>(b);
    if (std::holds_alternative<std::string>(a))
        return std::get<std::string>(a) < std::get<std::string>(b);
    return false;
}

namespace {

std::size_t longestText(const std::vector<FeatureRecord>& recs)
{
    std::size_t n = 0;
    for (const auto& r : recs)
        if (std::holds_alternative<std::string>(r.value))
            n = std::max(n, std::get<std::string>(r.value).size());
    return n;
}

// The union of a collection of polygons.
GeomPtr unionOfCollection(GEOSContextHandle_t c, const GEOSGeometry* coll)
{
    // Zones usually tile the land, and merging a tiling only drops its shared
    // edges: far cheaper than a general union. The result must keep the parts'
    // total area and be valid, or the general union decides.
    GeomPtr u(GEOSCoverageUnion_r(c, coll), GeomDeleter{c});
    if (u) {
        double partsArea = 0, unionArea = 0;
        for (int i = 0; i < GEOSGetNumGeometries_r(c, coll); ++i) {
            double a = 0;
            GEOSArea_r(c, GEOSGetGeometryN_r(c, coll, i), &a);
            partsArea += a;
        }
        GEOSArea_r(c, u.get(), &unionArea);
        if (std::abs(unionArea - partsArea) > 1e-9 * std::max(1.0, partsArea) || GEOSisValid_r(c, u.get()) != 1)
            u.reset();
    }
    if (!u)
        u.reset(GEOSUnaryUnion_r(c, coll));
    if (!u) {
        GeomPtr valid(GEOSMakeValid_r(c, coll), GeomDeleter{c});
        if (valid)
            u.reset(GEOSUnaryUnion_r(c, valid.get()));
    }
    return u;
}

OGRGeometryUniquePtr unionOf(GeosContext& geos, std::vector<OGRGeometryUniquePtr>& parts)
{
    if (parts.size() == 1)
        return std::move(parts.front());
    std::vector<GEOSGeometry*> gs;
    gs.reserve(parts.size());
    for (auto& p : parts) {
        if (!p)
            continue;
        if (GEOSGeometry* g = p->exportToGEOS(geos.get()))
            gs.push_back(g);
    }
    GeomPtr coll(
        GEOSGeom_createCollection_r(geos.get(), GEOS_GEOMETRYCOLLECTION, gs.data(), static_cast<unsigned>(gs.size())),
        GeomDeleter{geos.get()});
    if (!coll) {
        for (auto* g : gs)
            GEOSGeom_destroy_r(geos.get(), g);
        support::raise(support::err::kHostFailure, "Dissolve failed to collect the polygons");
    }
    GeomPtr u = unionOfCollection(geos.get(), coll.get());
    if (!u)
        support::raise(support::err::kHostFailure, "Dissolve failed to merge the polygons of one value");
    OGRGeometryUniquePtr out(OGRGeometryFactory::createFromGEOS(geos.get(), u.get()));
    if (!out)
        support::raise(support::err::kHostFailure, "Dissolve produced no geometry");
    // A union may leave slivers of lower dimension; a polygon shapefile keeps the polygons.
    if (wkbFlatten(out->getGeometryType()) == wkbGeometryCollection) {
        auto mp = std::make_unique<OGRMultiPolygon>();
        for (const auto* g : *out->toGeometryCollection()) {
            if (wkbFlatten(g->getGeometryType()) == wkbPolygon)
                mp->addGeometry(g);
            else if (wkbFlatten(g->getGeometryType()) == wkbMultiPolygon)
                for (const auto* p : *g->toMultiPolygon())
                    mp->addGeometry(p);
        }
        out.reset(mp.release());
    }
    return out;
}

}  // namespace

void CopyFeatures(const Layer& source, const std::string& field, const fs::path& outShp, const std::string& newName,
                  int minWidth)
{
    auto src = FeatureSource::Open(source);
    const int fi = fieldIndexExact(src.ogr(), field, source.name);
    FieldDef def = DescribeField(*src.ogr()->GetLayerDefn()->GetFieldDefn(fi));
    auto recs = ReadFeatures(source, field, !source.selection.empty());
    def.name = newName;
    if (def.type == kString)
        def.length = std::max<int>(minWidth, static_cast<int>(longestText(recs)));
    auto out = Table::CreateShapefile(outShp, ShapeKind::Polygon, src.srs(), {def});
    auto ins = out.inserter();
    for (auto& r : recs) {
        ins.buffer().setShape(r.geometry.get());
        ins.buffer().set(2, r.value);
        ins.insert();
    }
    ins.finish();
    out.finish();
}

ZoneLayer::ZoneLayer(const Layer& layer, std::string field, bool selectedOnly)
    : layer_(layer), field_(std::move(field)), selectedOnly_(selectedOnly)
{
}
ZoneLayer::ZoneLayer(ZoneLayer&&) noexcept = default;
ZoneLayer& ZoneLayer::operator=(ZoneLayer&&) noexcept = default;
ZoneLayer::~ZoneLayer() = default;

ZoneLayer::Features& ZoneLayer::features()
{
    if (features_)
        return *features_;
    auto f = std::make_unique<Features>();
    {
        auto src = FeatureSource::Open(layer_);
        f->field =
            DescribeField(*src.ogr()->GetLayerDefn()->GetFieldDefn(fieldIndexExact(src.ogr(), field_, layer_.name)));
        if (src.srs())
            f->srs = std::make_unique<OGRSpatialReference>(*src.srs());
    }
    f->records = ReadFeatures(layer_, field_, selectedOnly_);
    if (f->field.type == kString)
        f->field.length = std::max<int>(f->field.length, static_cast<int>(longestText(f->records)));
    for (const auto& r : f->records)
        if (!IsNull(r.value))
            f->zones.push_back(r.value);
    std::sort(f->zones.begin(), f->zones.end(), ValueLess);
    f->zones.erase(std::unique(f->zones.begin(), f->zones.end(),
                               [](const Value& a, const Value& b) { return !ValueLess(a, b) && !ValueLess(b, a); }),
                   f->zones.end());
    f->zoneOf.reserve(f->records.size());
    for (const auto& r : f->records)
        f->zoneOf.push_back(
            IsNull(r.value) ? -1
                            : static_cast<int>(std::lower_bound(f->zones.begin(), f->zones.end(), r.value, ValueLess) -
                                               f->zones.begin()));
    features_ = std::move(f);
    return *features_;
}

const std::vector<Value>& ZoneLayer::values() { return features().zones; }

std::vector<OGRGeometryUniquePtr>& ZoneLayer::Features::unions()
{
    if (united_)
        return unions_;
    // A feature without a value belongs to no zone; the run counts it as left out.
    std::vector<std::vector<OGRGeometryUniquePtr>> parts(zones.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        if (zoneOf[i] >= 0 && records[i].geometry)
            parts[static_cast<std::size_t>(zoneOf[i])].push_back(std::move(records[i].geometry));
    // Zones are merged side by side, each worker with its own GEOS context.
    unions_.resize(zones.size());
    ParallelFor(
        zones.size(), [] { return std::make_unique<GeosContext>(); },
        [&](auto& geos, std::size_t z) {
            if (!parts[z].empty())
                unions_[z] = unionOf(*geos, parts[z]);
        });
    united_ = true;
    return unions_;
}

void Dissolve(ZoneLayer& zones, const fs::path& outShp, const std::vector<FieldDef>& fields, const ZoneFiller& fill)
{
    auto& f = zones.features();
    const auto& merged = f.unions();
    // The output keeps the value order.
    std::vector<FieldDef> all{f.field};
    all.insert(all.end(), fields.begin(), fields.end());
    auto out = Table::CreateShapefile(outShp, ShapeKind::Polygon, f.srs.get(), all);
    auto ins = out.inserter();
    for (std::size_t z = 0; z < f.zones.size(); ++z) {
        ins.buffer().setShape(merged[z].get());
        ins.buffer().set(2, f.zones[z]);
        if (fill)
            fill(z, ins.buffer());
        ins.insert();
    }
    ins.finish();
    out.finish();
}

void Dissolve(const Layer& source, const std::string& field, bool selectedOnly, const fs::path& outShp)
{
    ZoneLayer zones(source, field, selectedOnly);
    Dissolve(zones, outShp);
}

namespace {

std::vector<std::size_t> treeHits(GEOSContextHandle_t c, GEOSSTRtree* tree, const GEOSGeometry* g)
{
    std::vector<std::size_t> hits;
    GEOSSTRtree_query_r(
        c, tree, g,
        [](void* item, void* user) {
            static_cast<std::vector<std::size_t>*>(user)->push_back(reinterpret_cast<std::size_t>(item));
        },
        &hits);
    std::sort(hits.begin(), hits.end());
    return hits;
}

TreePtr treeOf(GEOSContextHandle_t c, const std::vector<GeomPtr>& geometries)
{
    TreePtr tree(GEOSSTRtree_create_r(c, 10), TreeDeleter{c});
    const GEOSGeometry* any = nullptr;
    for (std::size_t i = 0; i < geometries.size(); ++i)
        if (geometries[i]) {
            GEOSSTRtree_insert_r(c, tree.get(), geometries[i].get(), reinterpret_cast<void*>(i));
            any = geometries[i].get();
        }
    // The tree is built on its first query: here, before workers share it.
    if (any)
        GEOSSTRtree_query_r(
            c, tree.get(), any, [](void*, void*) {}, nullptr);
    return tree;
}

double areaOf(GEOSContextHandle_t c, const GEOSGeometry* g)
{
    double a = 0;
    return g && GEOSArea_r(c, g, &a) ? a : 0.0;
}

// a ∩ b or a − b, polygons only; odd input GEOS refuses is retried made valid.
GeomPtr overlay(GEOSContextHandle_t c, const GEOSGeometry* a, const GEOSGeometry* b, bool intersection)
{
    const auto op = intersection ? GEOSIntersection_r : GEOSDifference_r;
    GeomPtr r(op(c, a, b), GeomDeleter{c});
    if (!r) {
        const GeomPtr va(GEOSMakeValid_r(c, a), GeomDeleter{c}), vb(GEOSMakeValid_r(c, b), GeomDeleter{c});
        if (va && vb)
            r.reset(op(c, va.get(), vb.get()));
    }
    if (!r)
        support::raise(support::err::kHostFailure, intersection ? "Cannot cut a zone by a polygon"
                                                                : "Cannot take a later polygon's land out of another");
    return polygonalPart(c, std::move(r));
}

// Contexts of workers kept past them, with the geometries they made.
class ContextPool {
public:
    GEOSContextHandle_t make()
    {
        const std::lock_guard lock(mutex_);
        return pool_.emplace_back(std::make_unique<GeosContext>())->get();
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<GeosContext>> pool_;
};

// A label layer's polygons, each less the land of later ones that overlap it.
struct OwnLand {
    std::vector<GeomPtr> parts;  // null where nothing is left
    TreePtr tree{nullptr, TreeDeleter{nullptr}};
};

OwnLand ownLand(ContextPool& pool, GEOSContextHandle_t ctx, const CellLabels& layer)
{
    std::vector<GeomPtr> whole;
    for (const auto& s : layer.shapes)
        whole.emplace_back(s.geometry ? s.geometry->exportToGEOS(ctx) : nullptr, GeomDeleter{ctx});
    const TreePtr all = treeOf(ctx, whole);
    OwnLand out;
    out.parts.resize(whole.size());
    ParallelFor(
        whole.size(), [&] { return pool.make(); },
        [&](GEOSContextHandle_t c, std::size_t i) {
            if (!whole[i])
                return;
            const PreparedPtr prepared(GEOSPrepare_r(c, whole[i].get()), PreparedDeleter{c});
            GeomPtr rest(GEOSGeom_clone_r(c, whole[i].get()), GeomDeleter{c});
            for (const std::size_t j : treeHits(c, all.get(), whole[i].get()))
                if (j > i && GEOSPreparedIntersects_r(c, prepared.get(), whole[j].get()) == 1 &&
                    GEOSPreparedTouches_r(c, prepared.get(), whole[j].get()) != 1)
                    rest = overlay(c, rest.get(), whole[j].get(), false);
            if (areaOf(c, rest.get()) > 0)
                out.parts[i] = std::move(rest);
        });
    out.tree = treeOf(ctx, out.parts);
    return out;
}

}  // namespace

std::vector<ZoneShape> CutZones(const std::vector<OGRGeometryUniquePtr>& unions, const std::vector<CellLabels>& layers,
                                const std::vector<bool>& uncut)
{
    ContextPool pool;
    GeosContext geos;
    std::vector<OwnLand> land;
    for (const CellLabels& layer : layers)
        land.push_back(ownLand(pool, geos.get(), layer));

    std::vector<std::vector<ZoneShape>> byZone(unions.size());
    ParallelFor(
        unions.size(), [] { return std::make_unique<GeosContext>(); },
        [&](auto& local, std::size_t z) {
            if (!unions[z])
                return;
            GEOSContextHandle_t c = local->get();
            struct Piece {
                std::size_t key = 0;
                GeomPtr geometry;
            };
            std::vector<Piece> pieces;
            pieces.push_back({z, GeomPtr(unions[z]->exportToGEOS(c), GeomDeleter{c})});
            if (!pieces.back().geometry)
                support::raise(support::err::kHostFailure, "A zone's shape cannot be handed to GEOS");
            for (std::size_t l = 0; l < layers.size(); ++l) {
                const auto count = static_cast<std::size_t>(layers[l].count);
                std::vector<Piece> next;
                for (Piece& piece : pieces) {
                    std::map<int, std::vector<GeomPtr>> byLabel;
                    const PreparedPtr prepared(GEOSPrepare_r(c, piece.geometry.get()), PreparedDeleter{c});
                    for (const std::size_t h : treeHits(c, land[l].tree.get(), piece.geometry.get())) {
                        const GEOSGeometry* part = land[l].parts[h].get();
                        if (GEOSPreparedIntersects_r(c, prepared.get(), part) != 1)
                            continue;
                        GeomPtr cut = GEOSPreparedContains_r(c, prepared.get(), part) == 1
                                          ? GeomPtr(GEOSGeom_clone_r(c, part), GeomDeleter{c})
                                          : overlay(c, piece.geometry.get(), part, true);
                        if (areaOf(c, cut.get()) > 0)
                            byLabel[layers[l].shapes[h].zone].push_back(std::move(cut));
                    }
                    const std::size_t base = piece.key * count;
                    for (auto& [label, cuts] : byLabel) {
                        GeomPtr merged = cuts.size() == 1 ? std::move(cuts.front()) : unionOfAll(c, cuts);
                        if (areaOf(c, merged.get()) > 0)
                            next.push_back({base + static_cast<std::size_t>(label), std::move(merged)});
                    }
                    if (uncut[l])
                        next.push_back({base, std::move(piece.geometry)});
                }
                pieces = std::move(next);
            }
            for (Piece& piece : pieces) {
                std::unique_ptr<OGRGeometry> g(OGRGeometryFactory::createFromGEOS(c, piece.geometry.get()));
                if (!g)
                    support::raise(support::err::kHostFailure, "A cut zone cannot be handed back from GEOS");
                byZone[z].emplace_back(static_cast<int>(piece.key), std::move(g));
            }
        });
    std::vector<ZoneShape> out;
    for (auto& shapes : byZone)
        for (auto& s : shapes)
            out.push_back(std::move(s));
    return out;
}

std::vector<ZoneCover> CoverOfZones(ZoneLayer& zones, const Layer& cover)
{
    auto& f = zones.features();
    auto& unions = f.unions();
    GeosContext geos;
    GEOSContextHandle_t ctx = geos.get();
    // The cover's union, once: where its polygons overlap, land counts once.
    std::vector<GEOSGeometry*> parts;
    for (auto& r : ReadFeatures(cover, {}, !cover.selection.empty(), f.srs.get()))
        if (r.geometry && !r.geometry->IsEmpty())
            if (GEOSGeometry* g = r.geometry->exportToGEOS(ctx))
                parts.push_back(g);
    const GeomPtr coll(
        GEOSGeom_createCollection_r(ctx, GEOS_GEOMETRYCOLLECTION, parts.data(), static_cast<unsigned>(parts.size())),
        GeomDeleter{ctx});
    if (!coll) {
        for (auto* p : parts)
            GEOSGeom_destroy_r(ctx, p);
        support::raise(support::err::kHostFailure, "Cannot collect the polygons of '" + cover.name + "'");
    }
    const GeomPtr covered = parts.empty() ? GeomPtr(nullptr, GeomDeleter{ctx}) : unionOfCollection(ctx, coll.get());
    if (!parts.empty() && !covered)
        support::raise(support::err::kHostFailure, "Cannot merge the polygons of '" + cover.name + "'");

    struct Worker {
        GeosContext geos;
        PreparedPtr prepared{nullptr, PreparedDeleter{geos.get()}};
    };
    std::vector<ZoneCover> out(f.zones.size());
    ParallelFor(
        f.zones.size(),
        [&] {
            auto w = std::make_unique<Worker>();
            if (covered)
                w->prepared.reset(GEOSPrepare_r(w->geos.get(), covered.get()));
            return w;
        },
        [&](auto& w, std::size_t z) {
            out[z].value = f.zones[z];
            if (!unions[z])
                return;
            GEOSContextHandle_t c = w->geos.get();
            const GeomPtr zone(unions[z]->exportToGEOS(c), GeomDeleter{c});
            if (!zone)
                support::raise(support::err::kHostFailure, "A zone's shape cannot be handed to GEOS");
            GEOSArea_r(c, zone.get(), &out[z].area);
            if (!covered) {
                out[z].outside = out[z].area;
                return;
            }
            if (w->prepared && GEOSPreparedCovers_r(c, w->prepared.get(), zone.get()) == 1)
                return;
            // Only the cover near the zone takes part.
            double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            GeomPtr rest(nullptr, GeomDeleter{c});
            if (GEOSGeom_getXMin_r(c, zone.get(), &x0) && GEOSGeom_getYMin_r(c, zone.get(), &y0) &&
                GEOSGeom_getXMax_r(c, zone.get(), &x1) && GEOSGeom_getYMax_r(c, zone.get(), &y1)) {
                const double m = 1e-6 * std::max({1.0, x1 - x0, y1 - y0});
                const GeomPtr near(GEOSClipByRect_r(c, covered.get(), x0 - m, y0 - m, x1 + m, y1 + m), GeomDeleter{c});
                if (near)
                    rest.reset(GEOSDifference_r(c, zone.get(), near.get()));
            }
            if (!rest)
                rest.reset(GEOSDifference_r(c, zone.get(), covered.get()));
            if (!rest)
                support::raise(support::err::kHostFailure,
                               "Cannot take the polygons of '" + cover.name + "' out of a zone");
            GEOSArea_r(c, rest.get(), &out[z].outside);
        });
    return out;
}

OGRGeometryUniquePtr UnionPolygons(std::vector<OGRGeometryUniquePtr> parts)
{
    GeosContext geos;
    return unionOf(geos, parts);
}

void WriteGeoPackageLayer(const fs::path& shapefile, const fs::path& geoPackage, const std::string& layerName,
                          bool create)
{
    EnsureGdal();
    Layer source;
    source.name = layerName;
    source.source = shapefile;
    auto in = FeatureSource::Open(source);
    const std::string path = geoPackage.string();
    GDALDatasetUniquePtr ds;
    if (create) {
        GDALDriver* drv = GetGDALDriverManager()->GetDriverByName("GPKG");
        if (drv)
            ds.reset(drv->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    } else {
        const char* const drivers[] = {"GPKG", nullptr};
        ds.reset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers, nullptr, nullptr));
    }
    if (!ds)
        RaiseGdal("Cannot open the GeoPackage '" + path + "' for writing");
    if (ds->StartTransaction() != OGRERR_NONE)
        RaiseGdal("Cannot start a transaction in the GeoPackage '" + path + "'");
    // Until the commit, every change is SQLite's to undo.
    struct Rollback {
        GDALDataset* ds = nullptr;
        bool committed = false;
        ~Rollback()
        {
            if (!committed)
                ds->RollbackTransaction();
        }
    } rollback{ds.get()};
    auto fail = [&](const std::string& what) {
        RaiseGdal(what + " in the GeoPackage '" + path + "'; the GeoPackage is unchanged");
    };

    for (int i = 0; i < ds->GetLayerCount(); ++i)
        if (EQUAL(ds->GetLayer(i)->GetName(), layerName.c_str())) {
            if (ds->DeleteLayer(i) != OGRERR_NONE)
                fail("Cannot replace the layer '" + layerName + "'");
            break;
        }
    OGRSpatialReference srs;
    if (in.srs())
        srs = *in.srs();
    // Shapefile polygons may hold several parts: the layer is declared multi-part.
    OGRLayer* out = ds->CreateLayer(layerName.c_str(), in.srs() ? &srs : nullptr, wkbMultiPolygon, nullptr);
    if (!out)
        fail("Cannot create the layer '" + layerName + "'");
    OGRFeatureDefn* defn = in.ogr()->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i)
        if (out->CreateField(defn->GetFieldDefn(i)) != OGRERR_NONE)
            fail("Cannot add the field '" + std::string(defn->GetFieldDefn(i)->GetNameRef()) + "'");
    in.ogr()->ResetReading();
    for (OGRFeatureUniquePtr f(in.ogr()->GetNextFeature()); f; f.reset(in.ogr()->GetNextFeature())) {
        OGRFeature copy(out->GetLayerDefn());
        copy.SetFrom(f.get(), TRUE);
        if (OGRGeometry* g = f->StealGeometry())
            copy.SetGeometryDirectly(OGRGeometryFactory::forceToMultiPolygon(g));
        if (out->CreateFeature(&copy) != OGRERR_NONE)
            fail("Cannot write a feature of the layer '" + layerName + "'");
    }
    if (out->SyncToDisk() != OGRERR_NONE)
        fail("Cannot write the layer '" + layerName + "'");
    if (ds->CommitTransaction() != OGRERR_NONE)
        fail("Cannot commit the layer '" + layerName + "'");
    rollback.committed = true;
}

}  // namespace halvo::host
