#pragma once
// A development scenario: land inside the scenario's polygons counts as one
// target class. Its land cover is tabulated apart, taken out of each zone's
// classes and added to the zone's target class.

#include "host/map.h"
#include "host/table.h"
#include "model/area_table.h"

#include <filesystem>
#include <string>

namespace halvo::model {

// What became of a scenario: applied, or skipped (told to the user) for a reason.
struct ScenarioOutcome {
    bool applied = true;
    std::string skipReason;
};

// Adjusts the area table in place, or skips the scenario. Throws Stopped
// when the run is to stop. `wholeScenario` is the scenario's own layer when
// `scenarioLayer` holds only what earlier scenarios left of it: it tells
// land already recast from no overlap.
ScenarioOutcome ApplyScenario(AreaRows& areaTable, const host::Layer& scenarioLayer, const host::Layer& analysisLayer,
                              const std::string& analysisField, long classId, const std::string& tableSuffix,
                              const std::filesystem::path& scratch, const host::Layer& landCover,
                              const AreaRules& rules, const host::Layer* wholeScenario = nullptr);

// Rounds to 3 decimals, halves to even.
double Round3(double v);

}  // namespace halvo::model
