#pragma once
// A development scenario: land inside the scenario's polygons counts as one
// target class. Its land cover is tabulated apart, taken out of each zone's
// classes and added to the zone's target class.

#include "host/map.h"
#include "host/table.h"
#include "model/get_lc_area.h"

#include <filesystem>
#include <string>

namespace halvo::model {

class clsISDSAdjustment {
public:
    enum class Outcome { Applied, Skipped };
    // Adjusts the area table in place, or skips the scenario (told to the
    // user). Throws Stopped when the run is to stop. `wholeScenario` is the
    // scenario's own layer when `scenarioLayer` holds only what earlier
    // scenarios left of it: it tells land already recast from no overlap.
    Outcome isDSAdjustment(host::Table& areaTable, const host::Layer& scenarioLayer, const host::Layer& analysisLayer,
                           const std::string& analysisField, long classId, const std::string& tableSuffix,
                           const std::filesystem::path& scratch, const host::Layer& landCover, const AreaRules& rules,
                           const host::Layer* wholeScenario = nullptr);
    // Why the last scenario was skipped.
    const std::string& skipReason() const { return skipReason_; }

private:
    std::string skipReason_;
};

// Rounds to 3 decimals, halves to even.
double Round3(double v);

}  // namespace halvo::model
