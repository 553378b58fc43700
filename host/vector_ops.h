#pragma once
// Feature-layer services over OGR and GEOS: opening a map layer's data,
// selections, extents and spatial references, the shapefile copy, and the
// dissolve by one field.

#include "host/map.h"
#include "host/table.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvo::host {

// The names of the vector layers a dataset holds, in its order.
std::vector<std::string> VectorLayerNames(const std::filesystem::path& dataset);
// The same, or nothing when no vector dataset opens there.
std::optional<std::vector<std::string>> VectorLayerNamesIfAny(const std::filesystem::path& dataset);

// While it lives, the vector datasets of these files are opened once, on
// first use, and lent to every read of them on this thread: a run opens each
// input once however many stages read it. Only for files nothing writes
// meanwhile. A read that starts while the same dataset is lent opens its own.
class OpenInputs {
public:
    explicit OpenInputs(const std::vector<std::filesystem::path>& files);
    OpenInputs(const OpenInputs&) = delete;
    OpenInputs& operator=(const OpenInputs&) = delete;
    ~OpenInputs();

    struct Kept;
    Kept& kept() { return *kept_; }
    OpenInputs* outer() const { return outer_; }

private:
    std::unique_ptr<Kept> kept_;
    OpenInputs* outer_;
};

// The long name of the vector format other than the shapefile whose files
// carry the extension `ext` (".gpkg", any case); empty when there is none.
std::string OtherVectorFormatOf(const std::string& ext);

// True when the layer's data is not a plain shapefile, so the run copies it first.
bool MustCopyFirst(const Layer& layer);

// 4 polygon, 3 polyline, 1 point, 0 anything else.
int ShapeType(const Layer& layer);

// The layer's spatial reference name; a copy keeps the name of its source's.
std::string SpatialReferenceName(const Layer& layer);

struct Extent {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};
Extent LayerExtent(const Layer& layer);

// The layer's extent in decimal degrees of WGS 84 (x longitude, y latitude).
// Its edges are followed point by point, so the box holds the whole layer
// however the projection bends them. None when the layer has no coordinate
// system, no features, or no way into degrees.
std::optional<Extent> GeographicExtent(const Layer& layer);

// The attribute fields of the layer's data, in table order.
std::vector<FieldDef> LayerFields(const Layer& layer);

// A field of the layer's data, by exact name.
std::optional<FieldDef> FindLayerField(const Layer& layer, const std::string& name);

// Sets (or adds to) the selection from a where clause.
void SelectByWhere(Layer& layer, const std::string& where, bool add);

// The features whose geometry was repaired on reading since the last reset,
// counted once per feature of each layer however often it was read.
struct LayerRepairs {
    std::string layer;             // the layer's name in the map
    std::filesystem::path source;  // its data
    std::size_t features = 0;
    std::size_t closedRings = 0;  // features whose ring GDAL had to close while reading
};
void ResetGeometryRepairs();
std::vector<LayerRepairs> GeometryRepairs();
// What the run tells the user about them, or "" when none was repaired.
std::string GeometryRepairsText();

// Orders analysis values: numbers by value, text by its bytes.
bool ValueLess(const Value& a, const Value& b);

// Copies each feature's shape (the selected ones when the layer has a
// selection) and its value of `field` into a new shapefile
// whose only field is `newName` of the source field's type, at least `minWidth` wide.
void CopyFeatures(const Layer& source, const std::string& field, const std::filesystem::path& outShp,
                  const std::string& newName, int minWidth);

// A layer's zones, read once for a run: the features (only the selected
// ones when asked) with their value of `field` and their shape, repaired, in
// file order. Each zone's union is made once, when a stage first needs it;
// the features give up their shapes to it. The features are read on first
// use, so that a read error belongs to the stage that needed them.
class ZoneLayer {
public:
    ZoneLayer(const Layer& layer, std::string field, bool selectedOnly);
    ZoneLayer(ZoneLayer&&) noexcept;
    ZoneLayer& operator=(ZoneLayer&&) noexcept;
    ~ZoneLayer();

    const Layer& layer() const { return layer_; }
    const std::string& field() const { return field_; }

    struct Features;  // host/ogr_layer.h
    Features& features();
    // The distinct zone values, ascending: zone z is values()[z].
    const std::vector<Value>& values();

private:
    Layer layer_;
    std::string field_;
    bool selectedOnly_;
    std::unique_ptr<Features> features_;
};

// One feature per distinct value of `field`, in ascending value order, each the
// union of that value's polygons; features without a value are left out. The
// output's fields are `field`, then `fields`, which fill(zone, row) sets.
using ZoneFiller = std::function<void(std::size_t zone, Table::Row& row)>;
void Dissolve(ZoneLayer& zones, const std::filesystem::path& outShp, const std::vector<FieldDef>& fields = {},
              const ZoneFiller& fill = {});
void Dissolve(const Layer& source, const std::string& field, bool selectedOnly, const std::filesystem::path& outShp);

// Each zone's area and the part of it outside every polygon of `cover`, in
// square map units, zones in ascending value order (as Dissolve writes them).
struct ZoneCover {
    Value value;
    double area = 0, outside = 0;
};
std::vector<ZoneCover> CoverOfZones(ZoneLayer& zones, const Layer& cover);

// Writes the shapefile's features and fields as the layer `layerName` of a
// GeoPackage, in one transaction of that GeoPackage: a layer of that name
// (in any case) is replaced, every other layer is kept, and a failure leaves
// the file as it was. `create` makes a new GeoPackage at that path instead.
void WriteGeoPackageLayer(const std::filesystem::path& shapefile, const std::filesystem::path& geoPackage,
                          const std::string& layerName, bool create);

}  // namespace halvo::host
