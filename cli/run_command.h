#pragma once
// `halvo run`: hands the files and choices it is given (or a saved parameter
// file) to the request builder and runs the request.

#include "params/run_request.h"

#include <CLI/CLI.hpp>

#include <filesystem>

#include <string>
#include <vector>

namespace halvo::cli {

struct RunOptions {
    std::string landcover;  // PATH or NAME=PATH
    std::string units;      // Meters | Feet; default from the raster
    std::string analysis;   // PATH or NAME=PATH
    std::string field;
    std::string select;           // where clause: the analysis layer's selection
    std::string coefficients;     // a set of the store
    std::string coefficientsCsv;  // or a comma-separated file
    std::string density;          // high | medium | low; empty: medium (or the density layer)
    std::string densityLayer;     // per-polygon density: PATH or NAME=PATH
    std::string densityField;
    std::string high, low;               // thresholds, passed on as typed
    std::vector<std::string> scenarios;  // PATH=CLASS, in row order
    std::string coverage = "centre";     // centre | exact
    std::string parameters;              // a saved parameter file instead of the options above
    std::string output;
    std::string layerName;
    bool html = false;
    bool yes = false;
    bool timings = false;
    int threads = 0;   // 0: all cores
    double wait = -1;  // seconds to wait for another run of the installation; below 0: without end
    std::string dask;  // a Dask scheduler's address, or "local": the raster is counted on that cluster
};

// How a face writes its options in the words of a refusal: the program's
// --options, or the Python module's arguments.
struct OptionWords {
    std::string needsInputs;  // no land cover, analysis or field
    std::string select, density, densityLayer, scenario;
    std::string scenarioForm;  // how a scenario is written
    std::string writer;        // who writes shapefiles
};
extern const OptionWords kCommandLineWords;

// The request the options describe (layers are read by the engine): the
// request builder's checks, with the face's words for its own options.
params::RunRequest BuildRequest(const RunOptions& o, const std::filesystem::path& ext,
                                const OptionWords& words = kCommandLineWords);

// Declares the options on `sub`; returns the values they fill.
void AddRunOptions(CLI::App& sub, RunOptions& o);

// Runs; the process exit status (0 only when the output was written).
int RunCommand(const RunOptions& o);

}  // namespace halvo::cli
