#pragma once
// Land area and impervious area per zone and land-cover class.

#include "host/map.h"
#include "host/raster.h"
#include "host/table.h"
#include "model/tabulation.h"
#include "support/ordered_dict.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace halvo::model {

using ClassTable = support::OrderedDict<std::vector<std::string>>;  // ID -> name, high, medium, low

// Square map units to acres ("Feet") or hectares ("Meters"); 0 otherwise.
double UnitFactor(const std::string& lcUnits);

class clsISGetLCArea {
public:
    void Application(host::Application* app) { app_ = app; }

    // The area table areaTemp in the temporary workspace, or nothing after a failure.
    std::optional<host::Table> isGetLCArea(const std::filesystem::path& pWorkspace, const host::Layer& AnalysisTheme,
                                           const host::Layer& lcTheme, const std::string& ValueField,
                                           const std::string& ZoneField, const std::string& popDS,
                                           const std::string& LCUnits, const ClassTable& dictCL,
                                           const std::string& tmpZone, const std::string& areaTemp);

    // Sets the density code and class table the lookup uses, without a tabulation.
    void RememberLookup(const std::string& popDS, const ClassTable& dictCL)
    {
        popDS_ = popDS;
        dictCL_ = &dictCL;
    }

    // The coefficient (a percentage) for a class and zone, or -9999 when there is none.
    double CoefficientLookup(const std::string& classId, const std::string& zoneName) const;

    // The tabulation of the last call, kept for the callers that adjust it.
    const TabulationTable& tabulation() const { return tab_; }

private:
    TabulationTable tabulate(const host::Layer& zones, const host::Layer& landCover, const std::string& zoneField);
    bool CalculateAreas(host::Table& output, const TabulationTable& tab, const std::string& LCUnits);

    host::Application* app_ = nullptr;
    std::string popDS_;
    const ClassTable* dictCL_ = nullptr;
    TabulationTable tab_;
    bool noIntersection_ = false;
};

}  // namespace halvo::model
