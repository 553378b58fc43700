#pragma once
// Everything the two run reports need, gathered by the run driver at the end of a run.

#include "support/ordered_dict.h"

#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvo::reports {

using TextList = std::vector<std::string>;  // 0-based here; item 1 of the old lists is [0]

// A bounding box in decimal degrees of WGS 84.
struct GeographicBounds {
    double west = 0, east = 0, north = 0, south = 0;
};

struct ReportInputs {
    std::string outputThemeName;    // OutThemeName
    std::string madeFrom;           // the face that ran Halvo: "QGIS" or "the command line"
    std::string landCoverTheme;     // lcTheme
    std::string landCoverUnits;     // LCUnits
    bool exactCoverage = false;     // cells weighted by their share inside a zone, not counted by their centre
    std::string analysisTheme;      // AnalysisTheme
    std::string analysisField;      // the analysis field in force at the end of the run
    std::string populationDensity;  // "0".."3"
    std::string densityTheme, densityField, densityHigh, densityLow;
    const support::OrderedDict<TextList>* landClasses = nullptr;   // ID -> name, high, medium, low
    const support::OrderedDict<TextList>* devScenarios = nullptr;  // row -> layer, class name, class ID

    // The output layer's box in degrees, whatever its coordinate system;
    // none when it has no coordinate system to tell.
    std::optional<GeographicBounds> bounds;
    int mapUnits = 9;  // 3 feet, 9 metres, 11 decimal degrees

    std::vector<std::string> outputFieldAliases;  // by position, 0 = object ID, 1 = shape
    std::vector<std::string> analysisValues;      // each output row's value at position 2, as text

    // What the run used and left out, in words: "Features Used: 2 of 3",
    // "Left Out: …". Printed where given; an older run's layout is unchanged.
    std::vector<std::string> usage;
    // Scenarios that were not applied: layer name and why.
    std::vector<std::pair<std::string, std::string>> skippedScenarios;

    std::tm when{};  // local time, read once at the start of the reports
};

}  // namespace halvo::reports
