#pragma once
// Inside host/ only: the OGR side of the feature-layer services, for the
// host's own stages. Everything outside host/ goes through vector_ops.h.

#include "host/map.h"
#include "host/raster.h"
#include "host/table.h"
#include "host/vector_ops.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace halvo::host {

// A feature layer's data, open for reading: its own dataset, or one the
// thread's OpenInputs keeps open, lent until this is gone.
class FeatureSource {
public:
    static FeatureSource Open(const Layer& layer, bool update = false);
    OGRLayer* ogr() const { return layer_; }
    const OGRSpatialReference* srs() const { return layer_->GetSpatialRef(); }
    std::string driverName() const;

    struct Lent;
    struct GiveBack {
        void operator()(Lent* lent) const;
    };

private:
    GDALDatasetUniquePtr ds_;
    std::unique_ptr<Lent, GiveBack> lent_;
    OGRLayer* layer_ = nullptr;
};

std::string SpatialReferenceName(const OGRSpatialReference* srs);
// 3 feet, 9 metres, 11 decimal degrees (metres when unknown).
int MapUnitsOf(const OGRSpatialReference* srs);

struct FeatureRecord {
    long long fid = 0;
    Value value;
    OGRGeometryUniquePtr geometry;
};

// Features with their value of `field`; only the selected ones when asked.
// Geometries are transformed to `target` when it is given and differs. An
// invalid polygon is repaired (RepairPolygon) and counted (GeometryRepairs).
std::vector<FeatureRecord> ReadFeatures(const Layer& layer, const std::string& field, bool selectedOnly,
                                        const OGRSpatialReference* target = nullptr);

struct ZoneLayer::Features {
    FieldDef field;                            // the zone field, text as wide as its longest value
    std::unique_ptr<OGRSpatialReference> srs;  // the layer's, null when it has none
    std::vector<FeatureRecord> records;        // file order
    std::vector<Value> zones;                  // distinct values, ascending
    std::vector<int> zoneOf;                   // per record: index into zones, -1 without a value

    // Each zone's union of its shapes (null for a zone without any), made
    // on the first call from the records' shapes.
    std::vector<OGRGeometryUniquePtr>& unions();

private:
    std::vector<OGRGeometryUniquePtr> unions_;
    bool united_ = false;
};

// Invalid polygons, common in digitised data (parts that overlap, rings that
// cross themselves, holes that leave their shell), are filled as the union of
// their parts less their holes, as GEOS make-valid's "structure" method does;
// a loop a ring draws inside itself (a hole touching its shell, written as
// one ring) stays a hole. Whoever
// reads polygons for tabulation, dissolve, overlay or the NODATA test gets
// them repaired. Answers nothing when `g` is not polygonal or already valid.
OGRGeometryUniquePtr RepairPolygon(const OGRGeometry& g);

// The union of polygons, overlaps counted once; a single one comes back as given.
OGRGeometryUniquePtr UnionPolygons(std::vector<OGRGeometryUniquePtr> parts);

// Each zone's land (its union, null for none) cut by layers of labelled
// polygons, for exact cover. Within a layer a polygon gives up the land of the
// later ones, so the last polygon holding a point labels it, as the centre
// rule has it. Zone z's land in polygons labelled l0 of the first layer and l1
// of the second is shape (z * count0 + l0) * count1 + l1; label 0 stands for
// the land uncut by that layer, and is kept only where uncut[layer] says so.
// Shapes without area are left out.
std::vector<ZoneShape> CutZones(const std::vector<OGRGeometryUniquePtr>& unions, const std::vector<CellLabels>& layers,
                                const std::vector<bool>& uncut);

}  // namespace halvo::host
