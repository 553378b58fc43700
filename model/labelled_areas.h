#pragma once
// Each zone's land per class, by density level and development scenario when
// asked, from one pass over the raster.
// Centre rule: the zones' pass labels each cell with the level of the density
// polygon and the scenario holding its centre, so no overlay is cut. Exact
// cover: each zone's land is cut in memory by the density and scenario
// polygons, and the pieces' shares are tallied in the same pass.

#include "host/map.h"
#include "host/vector_ops.h"
#include "model/area_table.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace halvo::model {

// Per-polygon density: the layer, its field and the two thresholds.
struct DensityRule {
    const host::Layer* layer = nullptr;
    std::string field;
    double high = 0, low = 0;
};

struct LabelledAreas {
    AreaRows zones;  // per zone and level: all its land, scenarios' included
    // Per scenario given: its land per zone and level, nothing when it holds
    // no cell or was left out.
    std::vector<std::optional<AreaRows>> scenarios;
    std::set<std::string> touchingNodata;  // zone value texts
    bool nodataKnown = false;              // whether the pass told which zones touch NODATA
};

// Scenarios are given in order, null for those left out: where several hold
// a cell, the first takes it. `zonesName` names the zones when none meets the
// raster. Throws Stopped after telling the user when no zone holds a cell or
// a class has no coefficient.
LabelledAreas AreasByLabel(host::ZoneLayer& zones, const host::Layer& landCover, const AreaRules& rules,
                           const std::optional<DensityRule>& density, const std::vector<const host::Layer*>& scenarios,
                           const std::string& zonesName);

}  // namespace halvo::model
