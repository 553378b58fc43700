#pragma once
// The analysis dialog's run: the dialog is a form that asks for a run; the
// plugin checks the output folder, shows the please-wait notice, prepares the
// map, builds the request, runs it, reports a failure once and shows the
// output in the project.

#include "support/ui.h"

#include <QString>

#include <filesystem>
#include <functional>

namespace halvo::params {
class AnalysisDialog;
}
namespace halvo::model {
struct RunResult;
}

namespace halvo::plugin {

class QgsProjectMap;

struct DialogRunHooks {
    // Where a run's notices go (the message bar and log) instead of message
    // boxes; questions and error reports stay boxes. Unset: boxes.
    std::function<void(const QString& text, const QString& title, support::Icon icon)> notice;
    // After a run that wrote its output.
    std::function<void(const model::RunResult& result)> succeeded;
};

// Runs whenever `dialog` asks, over `map`, until the dialog goes.
void ConnectDialogRun(params::AnalysisDialog& dialog, QgsProjectMap& map, std::filesystem::path extensionFolder,
                      DialogRunHooks hooks = {});

}  // namespace halvo::plugin
