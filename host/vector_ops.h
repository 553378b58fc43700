#pragma once
// Feature-layer services over OGR and GEOS: opening a map layer's data,
// selections, extents and spatial references, the shapefile copy, and the
// dissolve by one field.

#include "host/map.h"
#include "host/table.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace halvo::host {

// A feature layer's data, open for reading; owns the dataset.
class FeatureSource {
public:
    static FeatureSource Open(const Layer& layer, bool update = false);
    OGRLayer* ogr() const { return layer_; }
    const OGRSpatialReference* srs() const { return layer_->GetSpatialRef(); }
    std::string driverName() const;

private:
    GDALDatasetUniquePtr ds_;
    OGRLayer* layer_ = nullptr;
};

// The names of the vector layers a dataset holds, in its order.
std::vector<std::string> VectorLayerNames(const std::filesystem::path& dataset);

// True when the layer's data is not a plain shapefile, so the run copies it first.
bool MustCopyFirst(const Layer& layer);

// 4 polygon, 3 polyline, 1 point, 0 anything else.
int ShapeType(const Layer& layer);

std::string SpatialReferenceName(const OGRSpatialReference* srs);
// The layer's spatial reference name; a copy keeps the name of its source's.
std::string SpatialReferenceName(const Layer& layer);
// 3 feet, 9 metres, 11 decimal degrees (metres when unknown).
int MapUnitsOf(const OGRSpatialReference* srs);

struct Extent {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};
Extent LayerExtent(const Layer& layer);

// A field of the layer's data, by exact name.
std::optional<FieldDef> FindLayerField(const Layer& layer, const std::string& name);

// Sets (or adds to) the selection from a where clause.
void SelectByWhere(Layer& layer, const std::string& where, bool add);

struct FeatureRecord {
    long long fid = 0;
    Value value;
    OGRGeometryUniquePtr geometry;
};

// Features with their value of `field`; only the selected ones when asked.
// Geometries are transformed to `target` when it is given and differs.
std::vector<FeatureRecord> ReadFeatures(const Layer& layer, const std::string& field, bool selectedOnly,
                                        const OGRSpatialReference* target = nullptr);

// Orders analysis values: numbers by value, text by its bytes.
bool ValueLess(const Value& a, const Value& b);

// Copies every feature's shape and its value of `field` into a new shapefile
// whose only field is `newName` of the source field's type, at least `minWidth` wide.
void CopyFeatures(const Layer& source, const std::string& field, const std::filesystem::path& outShp,
                  const std::string& newName, int minWidth);

// One feature per distinct value of `field`, in ascending value order, each the
// union of that value's polygons; the output's only field is `field`.
void Dissolve(const Layer& source, const std::string& field, bool selectedOnly,
              const std::filesystem::path& outShp);

// The union of polygons, overlaps counted once; a single one comes back as given.
OGRGeometryUniquePtr UnionPolygons(std::vector<OGRGeometryUniquePtr> parts);

// Polygonal pieces of input ∩ overlay (only the overlay's selected features
// when it has a selection). The overlay's fields come first under their own
// names, the input's follow; a name already taken (or longer than a shapefile
// allows) is cut and numbered "_1", "_2". Answers output field name → source field name.
std::map<std::string, std::string> Intersect(const Layer& input, const Layer& overlay,
                                             const std::filesystem::path& outShp);

}  // namespace halvo::host
