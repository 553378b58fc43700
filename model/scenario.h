#pragma once
// A development scenario: land inside the scenario's polygons counts as one
// target class. Its land cover, counted in the zones' pass, is taken out of
// each zone's classes and added to the zone's target class.

#include "host/map.h"
#include "host/table.h"
#include "model/area_table.h"

#include <optional>
#include <string>
#include <vector>

namespace halvo::model {

// What became of a scenario: applied, or skipped (told to the user) for a reason.
struct ScenarioOutcome {
    bool applied = true;
    std::string skipReason;
};

// Asks whether to go on without a scenario whose layer is in another
// projection than the analysis layer's: nothing when they agree, else a
// skip. Throws Stopped when the user stops the run.
std::optional<ScenarioOutcome> SkipForProjection(const host::Layer& scenarioLayer, const host::Layer& analysisLayer);

// What a scenario counted in the zones' own pass needs when its land holds no
// cell, to tell the user why.
struct CountedScenarioContext {
    std::vector<const host::Layer*> zones;    // the analysis layer, and the density layer when it sets the levels
    std::vector<const host::Layer*> earlier;  // the scenarios applied before this one
    const host::Layer* landCover = nullptr;
    std::string tableSuffix;  // names the scenario's land in the message
};

// Adjusts the area table in place with the scenario's land per zone and
// level, counted already (nothing when it holds no cell), or skips it.
ScenarioOutcome ApplyCountedScenario(AreaRows& areaTable, const std::optional<AreaRows>& land,
                                     const host::Layer& scenarioLayer, long classId, const AreaRules& rules,
                                     const CountedScenarioContext& context);

// Rounds to 3 decimals, halves to even.
double Round3(double v);

}  // namespace halvo::model
