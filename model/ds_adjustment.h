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
    // Adjusts pTable in place. True to go on (the table adjusted, or the
    // scenario skipped); false when the run is to stop.
    bool isDSAdjustment(host::Table& pTable, const host::Layer& DSTheme, const host::Layer& AnalysisTheme,
                        const std::string& analysisFldName, const std::string& dcID, const std::string& tZoneName,
                        const std::string& aTemp, const std::string& dsInt, host::Map& pMap,
                        const std::filesystem::path& pWKSP, const host::Layer& lcTheme, const ClassTable& dictClasses,
                        const std::string& popDS, const std::string& LCUnits);
};

// Rounds to 3 decimals, halves to even.
double Round3(double v);

}  // namespace halvo::model
