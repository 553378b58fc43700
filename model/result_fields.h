#pragma once
// The output's results per zone: its fields, percent impervious and the
// completeness flags, worked out in memory and written with the zones.

#include "host/map.h"
#include "host/raster.h"
#include "host/table.h"
#include "host/vector_ops.h"
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
    bool counted = false;  // has figures; else the fields stay empty
    bool complete = true;
};

// TotHects/TotAcres, TotISHec/TotISAcr, pctIS and Complete.
std::vector<host::FieldDef> ResultFields(params::Units units);

// Each zone's figures (zones in value order) from its row of the area table.
std::vector<ZoneFigures> ZoneResults(const std::vector<host::Value>& zones, const AreaRows& areaTable,
                                     const std::string& analysisField);

// Sets the result fields (those of ResultFields, from position `first`) of a
// zone's output row.
void SetResultFields(host::Table::Row& row, int first, const ZoneFigures& figures);

// The figures as the output's fields give them back, rounded to their decimals.
void RoundAsStored(std::vector<ZoneFigures>& figures);

// Marks "N" the zones that touch NODATA cells or leave the raster, adds them
// to `flagged` (zone indexes) and tells the user. The zones are `touching`
// (value texts) when the tabulation found them already, else the raster is
// read for them.
void FlagNodataZones(host::ZoneLayer& zones, const host::RasterInfo& landCover, std::vector<ZoneFigures>& figures,
                     std::set<long long>& flagged, host::Coverage coverage,
                     const std::set<std::string>* touching = nullptr);

// Marks "N" the zones of these values, like zones on NODATA.
void FlagIncomplete(const std::vector<host::Value>& zones, const std::set<std::string>& zoneValues,
                    std::vector<ZoneFigures>& figures, std::set<long long>& flagged);

}  // namespace halvo::model
