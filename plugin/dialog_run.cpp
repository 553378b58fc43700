#include "plugin/dialog_run.h"

#include "host/gdal_env.h"
#include "model/run.h"
#include "params/qt/params_dialog.h"
#include "plugin/qgis_map.h"
#include "support/error_reporting.h"
#include "support/qt/processing.h"
#include "support/qt/qt_ui.h"

#include <QApplication>
#include <QPointer>

#include <unistd.h>

#include <optional>

namespace halvo::plugin {

namespace fs = std::filesystem;

namespace {

// Restores the arrow and closes the notice whatever way the run ends.
class BusyScope {
public:
    explicit BusyScope(QWidget* owner) : notice_(new support::ProcessingNotice(owner))
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        notice_->show();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    ~BusyScope()
    {
        delete notice_.data();
        QApplication::restoreOverrideCursor();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    QPointer<support::ProcessingNotice> notice_;
};

// A run's messages that ask nothing become notices. Warnings wait for the
// run's end: after a refusal they are its reason and shown as boxes.
class RunNoticeUi final : public support::Ui {
public:
    using Notice = std::function<void(const QString&, const QString&, support::Icon)>;
    RunNoticeUi(support::Ui& inner, Notice notice) : inner_(inner), notice_(std::move(notice)) {}

    support::Answer message(std::string_view text, std::string_view title, support::Icon icon,
                            support::Buttons buttons) override
    {
        if (!notice_ || buttons != support::Buttons::OK || icon == support::Icon::Critical)
            return inner_.message(text, title, icon, buttons);
        if (icon == support::Icon::Exclamation)
            held_.push_back({std::string(text), std::string(title)});
        else
            notice_(support::TranslatedText(text), support::TranslatedText(title), icon);
        return support::Answer::OK;
    }
    void showCallStack(std::string_view report) override { inner_.showCallStack(report); }
    void progress(std::string_view stage, double fraction) override { inner_.progress(stage, fraction); }
    bool canceled() const override { return inner_.canceled(); }

    // Held warnings: notices after a run that went through, boxes otherwise.
    void release(bool succeeded)
    {
        for (const auto& [text, title] : held_)
            if (succeeded)
                notice_(support::TranslatedText(text), support::TranslatedText(title), support::Icon::Exclamation);
            else
                inner_.message(text, title, support::Icon::Exclamation, support::Buttons::OK);
        held_.clear();
    }

private:
    support::Ui& inner_;
    Notice notice_;
    std::vector<std::pair<std::string, std::string>> held_;
};

// The one place the dialog's run turns a failure into what the user sees.
void showFailure(const support::Caught& c, support::Ui& ui)
{
    switch (c.kind) {
    case support::Failure::Stopped: break;  // the run has told the user why
    case support::Failure::Canceled:
        ui.message("The run was canceled; no output was written.", support::kDefaultCaption, support::Icon::Information,
                   support::Buttons::OK);
        break;
    case support::Failure::Failed: ui.showCallStack(support::ReportText(c, "ExecuteModel", "clsISExecuteModel")); break;
    case support::Failure::Refused: support::MsgBox(c.description, support::Buttons::OK, support::Icon::Exclamation);
    }
}

void runDialog(params::AnalysisDialog& dialog, QgsProjectMap& map, const fs::path& ext, const DialogRunHooks& hooks)
{
    const fs::path folder = dialog.outputFolder();
    if (::access(folder.c_str(), W_OK) != 0) {
        support::MsgBox("The output folder (" + folder.string() +
                            ") cannot be written. Please choose another location for the output shapefile.",
                        support::Buttons::OK, support::Icon::Exclamation, "Output Location");
        return;
    }
    BusyScope busy(&dialog);
    // Read the form before the map changes under it.
    const params::RunParameters parameters = dialog.toParameters();
    map.prepareRun(folder / dialog.shapefileName());
    std::optional<model::RunResult> result;
    RunNoticeUi ui(support::ui(), hooks.notice);
    const host::QuietGdal quiet;
    try {
        params::RunRequest request = params::RequestOf(parameters, map.focusMap());
        request.extensionFolder = ext;
        request.output = folder / dialog.shapefileName();
        request.layerName = dialog.layerName();
        request.htmlPage = dialog.htmlPage();
        result = model::Run(request, ui);
    } catch (...) {
        showFailure(support::describe(std::current_exception()), ui);
    }
    map.finishRun(result ? &*result : nullptr);
    ui.release(result.has_value());
    if (result && hooks.succeeded)
        hooks.succeeded(*result);
}

}  // namespace

void ConnectDialogRun(params::AnalysisDialog& dialog, QgsProjectMap& map, fs::path ext, DialogRunHooks hooks)
{
    QPointer<QgsProjectMap> target(&map);
    QObject::connect(&dialog, &params::AnalysisDialog::runRequested, &dialog, [&dialog, target, ext, hooks] {
        if (target)
            runDialog(dialog, *target, ext, hooks);
    });
}

}  // namespace halvo::plugin
