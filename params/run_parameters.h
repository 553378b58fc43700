#pragma once
// The values a run is started with, as a parameter file holds them:
// WriteParamsToFile writes them, ParameterReader reads them back.

#include <string>
#include <vector>

namespace halvo::params {

struct ScenarioRow {
    int row = 0;            // 1-based row number in the dialog, gaps allowed
    bool apply = true;      // only ticked rows are written
    std::string layer;      // scenario polygon layer name
    std::string className;  // target class name
    std::string classId;    // target class ID as decimal text
    std::string source;     // where the layer's data is (a saved file only)
};

struct ClassLine {
    long id = 0;
    std::string name;
    float high = 0, medium = 0, low = 0;
};

struct RunParameters {
    std::string view;             // always empty in this system
    std::string landCoverLayer;   // LCTHEME
    std::string landCoverUnits;   // "Meters" or "Feet"
    std::string analysisLayer;    // ANALYSISTHEME
    std::string analysisField;    // ANALYSISUNIT
    int populationDensity = 4;    // 0..3; 4 = no option chosen
    std::string densityLayer;     // POPDENSITYTHEME (code 3 only)
    std::string densityField;     // POPDENSITYFLD
    std::string densityHigh;      // as typed
    std::string densityLow;       // as typed
    std::string outputTheme;      // OUTTHEME: output shapefile as typed
    std::string outputThemeName;  // OUTTHEMENAME: layer name as typed
    std::string coverage;         // COVERAGE: "exact", or empty for the cell-centre rule
    std::vector<ScenarioRow> scenarios;
    std::vector<ClassLine> classes;  // the chosen set's classes, in set order
    // A saved parameter file also says where each layer's data is (PATH or
    // PATH|layername=LAYER) and which set the classes came from, so the
    // command line can run it without the map it was set up in.
    std::string setName;          // COEFFSET
    std::string landCoverSource;  // LCSOURCE
    std::string analysisSource;   // ANALYSISSOURCE
    std::string densitySource;    // POPDENSITYSOURCE
};

}  // namespace halvo::params
