#pragma once
// The output's result stages: its fields, percent impervious per zone and
// the completeness flags.

#include "host/map.h"
#include "host/raster.h"
#include "host/table.h"
#include "model/area_table.h"
#include "params/run_request.h"

#include <set>
#include <string>
#include <vector>

namespace halvo::model {

struct ZoneFigures {
    std::string zone;
    double total = 0;       // hectares or acres
    double impervious = 0;  // same units
    double percent = 0;
    bool complete = true;
};

// TotHects/TotAcres, TotISHec/TotISAcr, pctIS and Complete.
void AddNewFields(host::Table& output, params::Units units);

// Fills the result fields of each output feature from its zone's row of the
// area table; answers each zone's figures in output order.
std::vector<ZoneFigures> FillResultFields(const host::Layer& outputLayer, const AreaRows& areaTable,
                                          const std::string& analysisField);

// Flags the zones that touch NODATA cells or leave the raster with "N",
// selects them in the layer and tells the user. Marks them in `zones`. The
// zones are `touching` (value texts) when the tabulation found them already,
// else the raster is read for them.
void FlagNodataZones(host::Layer& outputLayer, const host::RasterInfo& landCover, std::vector<ZoneFigures>& zones,
                     host::Coverage coverage = host::Coverage::Centre, const std::set<std::string>* touching = nullptr);

// Flags the zones of these values "N" and selects them, like zones on NODATA.
void FlagIncomplete(host::Layer& outputLayer, const std::set<std::string>& zoneValues, std::vector<ZoneFigures>& zones);

}  // namespace halvo::model
