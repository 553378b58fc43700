#pragma once
// Zonal work on a feature layer over the land-cover raster: the tabulation of
// each zone's cells and the NODATA contact of each feature. Geometries stay
// inside host/; callers see zone values and counts.

#include "host/map.h"
#include "host/raster.h"
#include "host/table.h"

#include <string>
#include <vector>

namespace halvo::host {

struct LayerTabulation {
    std::vector<Value> zones;  // distinct zone values, ascending; index = zone of `counts`
    AreaTabulation counts;
};

// Cells per zone (features grouped by their value of `field`; only the
// selection when the layer has one) and class, by the given coverage rule.
// For exact coverage a zone's features are first merged, so that where they
// overlap the land counts once. Features without a value or a shape count
// for no zone.
LayerTabulation TabulateLayer(const Layer& zones, const std::string& field, const RasterInfo& raster,
                              const ProgressFn& progress = {}, Coverage coverage = Coverage::Centre);

// The IDs of the layer's features that touch (centre rule) or cover a share
// of (exact rule) a NODATA cell, or leave the raster.
std::vector<long long> FeaturesTouchingNodata(const Layer& layer, const RasterInfo& raster,
                                              Coverage coverage = Coverage::Centre);

// Selects in `copy` every feature whose `copyField` value is one of the values
// of `field` among `chosen`'s selected features.
void SelectSameValues(const Layer& chosen, const std::string& field, Layer& copy, const std::string& copyField);

// Sets a double "Area"/"AREA" field of a shapefile to each polygon's area.
void RefreshAreaField(const std::filesystem::path& shapefile);

}  // namespace halvo::host
