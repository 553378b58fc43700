// halvo._halvo: the engine as a Python extension. The package (halvo/) turns
// Python values into the raw choices a face hands to the request builder;
// here they become a RunRequest, run once, and the result or the failure
// comes back as Python values.

#include "cli/run_command.h"
#include "cli/stop_signals.h"
#include "cli/terminal_ui.h"
#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "host/gdal_env.h"
#include "host/threads.h"
#include "model/run.h"
#include "python/window_scan.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/folder_lock.h"
#include "support/text_file.h"

#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <mutex>
#include <optional>

namespace py = pybind11;
namespace fs = std::filesystem;

namespace halvo::python {

// The choices of one run as halvo.run got them: the command line's options.
using RunChoices = cli::RunOptions;

// Refusals name halvo.run's arguments, not the program's options.
const cli::OptionWords kPythonWords{
    "halvo.run needs landcover, analysis and field, or parameters (a saved parameter file)",
    "select",
    "density",
    "density",
    "scenario",
    "PATH=CLASS or (PATH, CLASS)",
    "halvo"};

namespace {

// What a failure raises in Python: halvo.HalvoError(message, kind, report).
[[noreturn]] void RaiseHalvoError(const std::string& message, const char* kind, const std::string& report = {})
{
    py::gil_scoped_acquire gil;
    const py::object type = py::module_::import("halvo._errors").attr("HalvoError");
    const py::object error = type(message, kind, report);
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}

const char* IconWord(support::Icon i)
{
    switch (i) {
    case support::Icon::Critical: return "error";
    case support::Icon::Exclamation: return "warning";
    case support::Icon::Question: return "question";
    default: return "note";
    }
}

// The engine's messages go to the logger "halvo" (and into the result),
// questions get the cautious answer unless yes=True, progress goes to the
// callback. Any thread may call it; Python is entered holding the GIL.
class PythonUi final : public support::Ui {
public:
    PythonUi(py::object progress, bool yes) : progress_(std::move(progress)), yes_(yes) {}

    support::Answer message(std::string_view text, std::string_view title, support::Icon icon,
                            support::Buttons buttons) override
    {
        support::Answer answer = support::Answer::OK;
        std::string said;
        if (buttons != support::Buttons::OK) {
            const bool yesNo = buttons == support::Buttons::YesNo || buttons == support::Buttons::YesNoCancel;
            answer = yes_ ? (yesNo ? support::Answer::Yes : support::Answer::OK)
                          : (yesNo ? support::Answer::No : support::Answer::Cancel);
            said = yes_ ? std::string(" (answered ") + (yesNo ? "Yes" : "OK") + ": yes=True)"
                        : std::string(" (answered ") + (yesNo ? "No" : "Cancel") + "; yes=True answers " +
                              (yesNo ? "Yes" : "OK") + ")";
        }
        const std::string line = cli::TerminalText(text) + said;
        std::lock_guard lock(mutex_);
        if (icon == support::Icon::Critical || icon == support::Icon::Exclamation)
            lastWarning_ = cli::TerminalText(text);
        py::gil_scoped_acquire gil;
        messages_.push_back(line);
        const int level = icon == support::Icon::Critical ? 40 : icon == support::Icon::Exclamation ? 30 : 20;
        try {
            py::module_::import("logging").attr("getLogger")("halvo").attr("log")(level, "%s: %s\n%s", IconWord(icon),
                                                                                  std::string(title), line);
        } catch (py::error_already_set& e) {
            e.discard_as_unraisable("halvo message");
        }
        return answer;
    }

    void showCallStack(std::string_view report) override
    {
        std::lock_guard lock(mutex_);
        report_ = cli::TerminalText(report);
    }

    void progress(std::string_view stage, double fraction) override
    {
        if (progress_.is_none() || failed_)
            return;
        const int permille = fraction < 0 ? -1 : static_cast<int>(fraction * 1000);
        std::lock_guard lock(mutex_);
        if (stage == lastStage_ && permille == lastPermille_)
            return;
        lastStage_ = stage;
        lastPermille_ = permille;
        py::gil_scoped_acquire gil;
        try {
            progress_(std::string(stage), fraction < 0 ? py::object(py::none()) : py::float_(fraction));
        } catch (py::error_already_set& e) {
            // The callback's own failure stops the run; it is raised after.
            callbackError_ = std::move(e);
            failed_ = true;
        }
    }

    bool canceled() const override { return cli::StopSignals::caught() != 0 || failed_; }

    // Call holding the GIL.
    std::optional<py::error_already_set>& callbackError() { return callbackError_; }
    const std::string& lastWarning() const { return lastWarning_; }
    const std::string& report() const { return report_; }
    const std::vector<std::string>& messages() const { return messages_; }

    ~PythonUi() override
    {
        py::gil_scoped_acquire gil;
        progress_ = py::object();
        callbackError_.reset();
    }
    PythonUi(const PythonUi&) = delete;
    PythonUi& operator=(const PythonUi&) = delete;

private:
    py::object progress_;
    bool yes_;
    std::mutex mutex_;
    std::string lastStage_;
    int lastPermille_ = -2;
    std::atomic<bool> failed_{false};
    std::optional<py::error_already_set> callbackError_;
    std::string lastWarning_, report_;
    std::vector<std::string> messages_;
};

py::dict ResultDict(const model::RunResult& result, const PythonUi& ui)
{
    py::dict d;
    auto path = [](const fs::path& p) { return p.empty() ? py::object(py::none()) : py::str(p.string()); };
    d["shapefile"] = path(result.shapefile);
    d["style"] = path(result.style);
    d["parameter_report"] = path(result.parameterReport);
    d["metadata_report"] = path(result.metadataReport);
    d["page"] = path(result.page);
    d["units"] = params::UnitsName(result.units);
    py::list zones;
    for (const auto& z : result.zones)
        zones.append(py::make_tuple(z.zone, z.total, z.impervious, z.percent, z.complete));
    d["zones"] = zones;
    d["skipped"] = result.skipped;
    d["messages"] = ui.messages();
    return d;
}

py::dict Run(const RunChoices& o, py::object progress, py::object windowScan)
{
    const fs::path ext = support::ExtensionFolder();
    if (const std::string fault = support::ExtensionFolderFault(ext); !fault.empty())
        RaiseHalvoError(fault, "refused");
    PythonUi ui(std::move(progress), o.yes);
    const py::module_ threading = py::module_::import("threading");
    const bool mainThread = threading.attr("current_thread")().is(threading.attr("main_thread")());
    std::optional<model::RunResult> result;
    std::exception_ptr failure;
    {
        py::gil_scoped_release release;
        const host::QuietGdal quiet;
        host::SetDefaultThreads(o.threads);
        support::SetLockWaitSeconds(o.wait);
        // SIGINT (Ctrl-C, a notebook's interrupt) asks the run to stop at its
        // next check; Python's own handler is back after. Only the main thread
        // owns the process's handlers.
        const cli::StopSignals signals(mainThread ? std::initializer_list<int>{SIGINT} : std::initializer_list<int>{});
        try {
            support::UiScope scope(ui);
            WindowScanScope windows(windowScan);
            result = model::Run(cli::BuildRequest(o, ext, kPythonWords), ui);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (ui.callbackError()) {
        py::error_already_set e = std::move(*ui.callbackError());
        ui.callbackError().reset();
        throw e;
    }
    if (!failure)
        return ResultDict(*result, ui);
    const support::Caught c = support::describe(failure);
    switch (c.kind) {
    case support::Failure::Canceled:
        PyErr_SetString(PyExc_KeyboardInterrupt,
                        "the run was stopped; no output was written and any earlier output is unchanged");
        throw py::error_already_set();
    case support::Failure::Failed:
        RaiseHalvoError(c.description + "\nthe run did not complete; no output was written", "failed",
                        support::ReportText(c, "ExecuteModel", "clsISExecuteModel"));
    case support::Failure::Stopped:
        // The message the run showed says why; the short reason when it showed none.
        RaiseHalvoError((ui.lastWarning().empty() ? c.description : ui.lastWarning()) +
                            "\nthe run did not complete; no output was written",
                        "stopped");
    case support::Failure::Refused: break;
    }
    RaiseHalvoError(c.description, "refused");
}

// --- coefficient sets --------------------------------------------------------

// Keeps what the store procedures show: they tell failures only that way.
class StoreUi final : public support::Ui {
public:
    support::Answer message(std::string_view text, std::string_view, support::Icon icon, support::Buttons) override
    {
        if ((icon == support::Icon::Critical || icon == support::Icon::Exclamation) && failure.empty())
            failure = cli::TerminalText(text);
        return support::Answer::OK;
    }
    void showCallStack(std::string_view report) override
    {
        if (failure.empty())
            failure = cli::TerminalText(report);
    }
    std::string failure;
};

// Runs `body` on the extension folder's store as `halvo coefficients` does;
// a failure it tells becomes HalvoError.
template <class Body>
auto WithStore(bool makesStore, double wait, Body&& body)
{
    const fs::path ext = support::ExtensionFolder();
    if (const std::string fault = support::ExtensionFolderFault(ext); !fault.empty())
        RaiseHalvoError(fault, "refused");
    StoreUi ui;
    support::UiScope scope(ui);
    support::SetLockWaitSeconds(wait);
    coefficients::CoeffStore model;
    std::error_code ec;
    if (!(makesStore && !fs::exists(support::StorePath(ext), ec)) &&
        !coefficients::GetISModelProperties(model, support::StorePath(ext)))
        RaiseHalvoError(coefficients::StoreLoadFailedText(ext), "refused");
    auto out = body(model, ext);
    if (!ui.failure.empty())
        RaiseHalvoError(ui.failure, "refused");
    return out;
}

const coefficients::CoeffSet& NamedSet(const coefficients::CoeffStore& model, const std::string& name)
{
    const coefficients::CoeffSet* set = coefficients::FindSet(model, name);
    if (!set)
        RaiseHalvoError("Coefficient Set '" + name + "' is not defined.", "refused");
    return *set;
}

void CheckReadable(const std::string& file)
{
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || !std::ifstream(file, std::ios::binary))
        RaiseHalvoError("The file '" + file + "' cannot be read.", "refused");
}

}  // namespace

}  // namespace halvo::python

PYBIND11_MODULE(_halvo, m)
{
    using namespace halvo;
    using namespace halvo::python;
    m.doc() = "The Halvo engine; use the halvo package, not this module.";
    host::EnsureGdal();

    py::class_<RunChoices>(m, "RunChoices")
        .def(py::init<>())
        .def_readwrite("parameters", &RunChoices::parameters)
        .def_readwrite("landcover", &RunChoices::landcover)
        .def_readwrite("units", &RunChoices::units)
        .def_readwrite("analysis", &RunChoices::analysis)
        .def_readwrite("field", &RunChoices::field)
        .def_readwrite("select", &RunChoices::select)
        .def_readwrite("coefficients", &RunChoices::coefficients)
        .def_readwrite("coefficients_csv", &RunChoices::coefficientsCsv)
        .def_readwrite("density", &RunChoices::density)
        .def_readwrite("density_layer", &RunChoices::densityLayer)
        .def_readwrite("density_field", &RunChoices::densityField)
        .def_readwrite("high", &RunChoices::high)
        .def_readwrite("low", &RunChoices::low)
        .def_readwrite("scenarios", &RunChoices::scenarios)
        .def_readwrite("coverage", &RunChoices::coverage)
        .def_readwrite("output", &RunChoices::output)
        .def_readwrite("layer_name", &RunChoices::layerName)
        .def_readwrite("html", &RunChoices::html)
        .def_readwrite("yes", &RunChoices::yes)
        .def_readwrite("threads", &RunChoices::threads)
        .def_readwrite("wait", &RunChoices::wait);

    m.def("run", &python::Run, py::arg("choices"), py::arg("progress") = py::none(),
          py::arg("window_scan") = py::none());

    m.def("extension_folder", [] { return support::ExtensionFolder().string(); });

    m.def(
        "coefficient_sets",
        [](double wait) {
            return WithStore(false, wait, [](coefficients::CoeffStore& model, const fs::path&) {
                std::vector<std::string> names;
                for (const coefficients::CoeffSet& set : model.ISLCDefs)
                    names.push_back(set.LCType);
                return names;
            });
        },
        py::arg("wait") = -1.0);
    m.def(
        "coefficient_csv",
        [](const std::string& name, double wait) {
            return WithStore(false, wait, [&](coefficients::CoeffStore& model, const fs::path&) {
                std::string text(coefficients::kCoeffHeader);
                text += "\n";
                for (const coefficients::CoverClass& c : NamedSet(model, name).LCClasses)
                    text += coefficients::CsvLine(c) + "\n";
                return text;
            });
        },
        py::arg("name"), py::arg("wait") = -1.0);
    m.def(
        "import_coefficients",
        [](const std::string& file, const std::string& name, double wait) {
            CheckReadable(file);
            return WithStore(true, wait, [&](coefficients::CoeffStore& model, const fs::path& ext) {
                bool asked = false;
                const coefficients::TextPrompt byArgument = [&](std::string_view, std::string_view, std::string_view) {
                    const bool first = !asked;
                    asked = true;
                    return first ? name : std::string();
                };
                return coefficients::ImportCoeffsFromFile(model, file, ext, byArgument);
            });
        },
        py::arg("file"), py::arg("name"), py::arg("wait") = -1.0);
    m.def(
        "export_coefficients",
        [](const std::string& name, const std::string& file, double wait) {
            WithStore(false, wait, [&](coefficients::CoeffStore& model, const fs::path&) {
                NamedSet(model, name);
                return coefficients::ExportCoeffsToFile(model, file, name);
            });
        },
        py::arg("name"), py::arg("file"), py::arg("wait") = -1.0);

    // `halvo run ... --dask`: the command line's own options and output, its
    // scans sent to `executor`.
    m.def(
        "command_line",
        [](const std::vector<std::string>& args, const py::object& executor) {
            CLI::App app{"Halvo: impervious surface per zone from land cover and coefficients", "halvo"};
            cli::RunOptions o;
            cli::AddRunOptions(*app.add_subcommand("run", "Run an impervious surface analysis"), o);
            app.require_subcommand(1);
            std::vector<const char*> argv{"halvo"};
            for (const std::string& a : args)
                argv.push_back(a.c_str());
            CLI11_PARSE(app, static_cast<int>(argv.size()), argv.data());
            const host::QuietGdal quiet;
            py::gil_scoped_release release;
            WindowScanScope windows(executor);
            return cli::RunCommand(o);
        },
        py::arg("args"), py::arg("executor"));

    BindWindowScan(m);
}
