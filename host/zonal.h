#pragma once
// Zonal work on a feature layer over the land-cover raster: the tabulation of
// each zone's cells and the NODATA contact of each feature. Geometries stay
// inside host/; callers see zone values and counts.

#include "host/map.h"
#include "host/raster.h"
#include "host/table.h"
#include "host/vector_ops.h"

#include <functional>
#include <string>
#include <vector>

namespace halvo::host {

struct LayerTabulation {
    std::vector<Value> zones;  // distinct zone values, ascending; index = zone of `counts`
    AreaTabulation counts;
    std::vector<bool> touchesNodata;  // by zone, as TouchesNodata tells it; only when asked
};

// Cells per zone (features grouped by their value of `field`; only the
// selection when the layer has one) and class, by the given coverage rule.
// For exact coverage a zone's features are first merged, so that where they
// overlap the land counts once. Features without a value or a shape count
// for no zone. With `nodataContacts`, the same read of the raster also tells
// which zones touch NODATA or leave the raster.
LayerTabulation TabulateLayer(const Layer& zones, const std::string& field, const RasterInfo& raster,
                              const ProgressFn& progress = {}, Coverage coverage = Coverage::Centre,
                              bool nodataContacts = false);

// The same for zones read already: the centre rule takes their features,
// the exact rule their unions (made once, shared with the dissolve). Zones
// in another coordinate system than the raster's are read again, as above.
LayerTabulation TabulateZones(ZoneLayer& zones, const RasterInfo& raster, const ProgressFn& progress = {},
                              Coverage coverage = Coverage::Centre, bool nodataContacts = false);

// Polygons that label the cells holding their centres: each feature (the
// selection only, when the layer has one) with its value of `field` gets
// labelOf(value); 0 labels nothing.
struct LabelSource {
    const Layer* layer = nullptr;
    std::string field;
    std::function<int(const Value&)> labelOf;
};
// Sources laid down in order as one label layer: of the polygons holding a
// cell's centre, the last one labels it. Labels run 0 .. count - 1.
struct LabelLayer {
    std::vector<LabelSource> sources;
    int count = 1;
};

// The zones' cells by the centre rule, in one pass over the raster with the
// NODATA contacts, their tallies split by the labels of each label layer as
// ScanRows keeps them: zone z with labels l0, l1 at (z * count0 + l0) * count1 + l1.
LayerTabulation TabulateLabelled(ZoneLayer& zones, const std::vector<LabelLayer>& labels, const RasterInfo& raster,
                                 const ProgressFn& progress = {});

// The zones' land by exact cover, cut in memory by the label layers'
// polygons, tallied as TabulateLabelled keeps them: the shares of zone z's
// land in polygons labelled l0 of the first layer and l1 of the second. Label
// 0 stands for the land the layer does not cut (tallied only where
// uncut[layer]). Within a layer the last polygon holding a point labels it,
// as with the centre rule. No NODATA contacts.
LayerTabulation TabulateCut(ZoneLayer& zones, const std::vector<LabelLayer>& labels, const std::vector<bool>& uncut,
                            const RasterInfo& raster, const ProgressFn& progress = {});

// By zone (value order), by each zone's union: whether it touches (centre
// rule) or covers a share of (exact rule) a NODATA cell, or leaves the raster;
// and whether it reaches past the raster's extent.
std::vector<bool> ZonesTouchingNodata(ZoneLayer& zones, const RasterInfo& raster, Coverage coverage);
std::vector<bool> ZonesLeavingRaster(ZoneLayer& zones, const RasterInfo& raster);

// How many features the layer holds.
long FeatureCount(const Layer& layer);

// The features used (the selection, or all) and those among them without a
// value of `field`, with their polygon area; only the latter's shapes are read.
struct FieldUse {
    long features = 0;
    long nullFeatures = 0;
    double nullArea = 0;
};
FieldUse ValuesInUse(const Layer& layer, const std::string& field);

// Whether the polygons of `layer`, less the land of every polygon of the
// `earlier` layers, share land (some area) with a polygon of each of `others`
// at once. Only the selected features of a layer with a selection count.
bool SharesLand(const Layer& layer, const std::vector<const Layer*>& earlier, const std::vector<const Layer*>& others);

}  // namespace halvo::host
