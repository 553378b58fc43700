#pragma once
// One impervious-surface run: the engine's single entry point. A face builds
// a RunRequest, hands it to Run with its Feedback and shows the RunResult.

#include "host/map.h"
#include "model/result_fields.h"
#include "params/run_request.h"
#include "support/ui.h"

#include <filesystem>
#include <string>
#include <vector>

namespace halvo::model {

// Progress, messages, questions and cancellation, answered by the face.
using Feedback = support::Ui;

struct RunResult {
    host::LayerPtr outputLayer;  // its selection: the zones flagged incomplete
    std::filesystem::path shapefile, style, parameterReport, metadataReport;
    std::filesystem::path page;  // the HTML page, when asked for
    params::Units units = params::Units::Meters;
    std::vector<ZoneFigures> zones;    // in output order
    std::vector<std::string> skipped;  // what the run left out, in words
};

// Runs the request. Throws support::Stopped after telling the user why the run
// cannot go on, support::Canceled when the user stopped it, and support::Error
// for anything else: plain for input it refuses, with its chain of procedures
// (formatted) for a stage that failed, which the face reports under
// "ExecuteModel clsISExecuteModel". An earlier output is then left as it was
// and nothing of this run remains.
RunResult Run(const params::RunRequest& request, Feedback& feedback);

// The request checked and completed as Run would take it (units from the
// raster, the output's name, layer name); throws naming what is wrong.
params::RunRequest CheckRequest(const params::RunRequest& request);

}  // namespace halvo::model
