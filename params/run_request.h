#pragma once
// A run as the engine takes it: typed layers, field, coefficients, density
// choice, scenarios and output. The faces build one through
// params/request_builder.h; a saved parameter file is its record, written from
// it and read back into it.

#include "host/map.h"
#include "host/raster.h"
#include "params/run_parameters.h"

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace halvo::params {

enum class Units { Meters, Feet };
enum class DensityLevel { High = 0, Medium = 1, Low = 2 };
// How land-cover cells count for a zone: by their centre, or by the share of
// their area inside the zone.
using Coverage = host::Coverage;

// Per-polygon density: each piece of a zone inside a density polygon takes
// High at or above `high`, Low at or below `low`, Medium between.
struct DensityLayer {
    host::LayerPtr layer;
    std::string field;
    double high = 0;
    double low = 0;
    // The thresholds as the user typed them; the reports quote them.
    std::string highText, lowText;
};

using DensityChoice = std::variant<DensityLevel, DensityLayer>;

struct Scenario {
    int row = 0;  // the dialog's row number; the reports and the file keep it
    host::LayerPtr layer;
    long classId = 0;
    std::string className;
};

// Who runs Halvo; the metadata record names it.
enum class Face { Qgis, CommandLine };

struct RunRequest {
    host::LayerPtr landCover;
    // The raster's linear unit when not given.
    std::optional<Units> units;
    // Its selection is the set of features to use; empty: all.
    host::LayerPtr analysis;
    std::string field;
    std::string setName;
    std::vector<ClassLine> classes;
    DensityChoice density = DensityLevel::Medium;
    std::vector<Scenario> scenarios;
    Coverage coverage = Coverage::Centre;
    // The output shapefile and the name of its layer and reports.
    std::filesystem::path output;
    std::string layerName;
    // Also write the output's page, <layer name>.html, beside the reports.
    bool htmlPage = false;
    std::filesystem::path extensionFolder;
    // The dialog and Processing are QGIS; the command line says so.
    Face face = Face::Qgis;
};

inline const char* UnitsName(Units u) { return u == Units::Feet ? "Feet" : "Meters"; }
std::optional<Units> UnitsFromName(std::string_view name);
// "centre" or "exact", as the command line takes them.
inline const char* CoverageName(Coverage c) { return c == Coverage::Exact ? "exact" : "centre"; }

// The parameter file's record of a request (layers by name).
RunParameters ParametersOf(const RunRequest& request, Units units);

// The record as a saved parameter file holds it: also where each layer's data
// is and the coefficient set's name.
RunParameters SavedParametersOf(const RunRequest& request, Units units);

// A map of the layers a saved parameter file names, read from where it says
// they are; throws naming a layer it does not place.
host::Map MapOfSources(const RunParameters& parameters);

// A request from a parameter file's record, its layers found by name in `map`;
// throws naming the first layer or value it cannot use.
RunRequest RequestOf(const RunParameters& parameters, const host::Map& map);

// The record as a parameter file holds it, read back by the file's reader.
class ParameterReader;
RunParameters ParametersOf(const ParameterReader& reader);

}  // namespace halvo::params
