#include "cli/run_command.h"

#include "cli/stop_signals.h"

#include "cli/terminal_ui.h"
#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "coefficients/number_text.h"
#include "host/threads.h"
#include "host/vector_ops.h"
#include "model/run.h"
#include "params/read_params.h"
#include "params/request_builder.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/folder_lock.h"
#include "support/text_file.h"

#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace halvo::cli {

namespace fs = std::filesystem;

void AddRunOptions(CLI::App& sub, RunOptions& o)
{
    sub.description("Estimate impervious surface per zone from a land-cover raster and a coefficient set.\n"
                    "Tabulate the raster inside each zone of the analysis layer (zones = distinct values of\n"
                    "--field), apply the coefficient set, and write a shapefile with TotHects/TotAcres,\n"
                    "TotISHec/TotISAcr, pctIS and Complete, a QGIS style (.qml) and the .prm and .met reports\n"
                    "beside it.\n"
                    "Complete is Y when all of a zone was counted; N when it touches NODATA cells, leaves the\n"
                    "raster or the --density-layer (its areas leave that land out); empty, as are its figures,\n"
                    "when no cell counted (no cell centre in a small zone: try --coverage exact).\n\n"
                    "A layer is given as PATH (named after the file), NAME=PATH, or PATH|layername=LAYER for one\n"
                    "layer of a multi-layer source such as a GeoPackage.\n\n"
                    "Example:\n"
                    "  halvo run --landcover landcover.tif --analysis watersheds.shp --field NAME \\\n"
                    "            --coefficients NLCD --density medium --output out/watersheds_is.shp\n"
                    "  halvo run --landcover landcover.tif --analysis watersheds.shp --field NAME \\\n"
                    "            --density-layer blockgroups.shp --density-field DENSITY --high 500 --low 100 \\\n"
                    "            --scenario newdev.shp=23 --output out/with_scenario.shp");
    auto* file = sub.add_option("--parameters", o.parameters,
                                "Run a parameter file saved by the analysis dialog or the Processing\n"
                                "algorithm (\"Save parameters...\"): its layers, field, coefficients, density,\n"
                                "scenarios and output; --output replaces the output (and its layer\n"
                                "name, unless --layer-name gives one)");
    std::vector<CLI::Option*> choices;
    choices.push_back(sub.add_option("--landcover", o.landcover, "Land-cover raster (single band, integer classes)"));
    choices.push_back(
        sub.add_option("--units", o.units,
                       "Linear unit of the land-cover raster's coordinate system: Meters (areas in hectares) or\n"
                       "Feet (acres). It describes the raster and converts nothing: the other unit scales every\n"
                       "area wrongly. Default: read from the raster")
            ->check(CLI::IsMember({"Meters", "Feet"})));
    choices.push_back(sub.add_option("--analysis", o.analysis, "Polygon layer whose polygons are grouped into zones"));
    choices.push_back(sub.add_option("--field", o.field, "Field of the analysis layer whose values name the zones"));
    choices.push_back(sub.add_option("--select", o.select,
                                     "Where clause (OGR SQL) selecting the analysis features to use, e.g. "
                                     "\"HUC_ID\" < 5\n(default: all)"));
    auto* set = sub.add_option("--coefficients", o.coefficients,
                               "Coefficient set of the store etc/isprops.xml (default: its first set)");
    auto* csv =
        sub.add_option("--coefficients-csv", o.coefficientsCsv,
                       "Comma-separated coefficient file (Value,ClassName,High,Medium,Low) instead of a stored set");
    csv->excludes(set);
    auto* level = sub.add_option("--density", o.density,
                                 "Population density level applied everywhere: high, medium or low (default: "
                                 "medium);\nnot with --density-layer")
                      ->check(CLI::IsMember({"high", "medium", "low"}));
    auto* dl = sub.add_option("--density-layer", o.densityLayer,
                              "Population density polygons: choose High/Medium/Low per polygon piece\n"
                              "(needs --density-field, --high and --low); land outside it is left out");
    auto* df = sub.add_option("--density-field", o.densityField, "Numeric density field of --density-layer");
    auto* hi = sub.add_option("--high", o.high, "Density at or above which the High coefficient applies");
    auto* lo = sub.add_option("--low", o.low, "Density at or below which the Low coefficient applies");
    dl->needs(df, hi, lo);
    df->needs(dl);
    hi->needs(dl);
    lo->needs(dl);
    auto* scenario =
        sub.add_option("--scenario", o.scenarios,
                       "Development scenario PATH=CLASS: land inside PATH's polygons counts as CLASS (a class ID\n"
                       "or name of the coefficient set); repeat for several, applied in the order given (land in\n"
                       "several is recast by the first; one with no land left to recast is skipped)");
    auto* coverage =
        sub.add_option("--coverage", o.coverage,
                       "How a land-cover cell counts for a zone: centre (wholly, in the zone holding its centre)\n"
                       "or exact (by the share of its area inside the zone; for zones of a few cells);\n"
                       "default: centre")
            ->check(CLI::IsMember({"centre", "exact"}));
    for (CLI::Option* c : {set, csv, level, dl, df, hi, lo, scenario, coverage})
        choices.push_back(c);
    for (CLI::Option* c : choices)
        file->excludes(c);
    sub.add_option("--output", o.output,
                   "Output shapefile; \".shp\" is added when missing, another format's name (.gpkg ...)\n"
                   "is refused (default: halvo.shp in the extension folder's output folder). When its\n"
                   "folder does not exist, the run asks whether to write into that output folder\n"
                   "instead (--yes: it does)");
    sub.add_option("--layer-name", o.layerName,
                   "Name of the output layer and its reports <name>.prm and <name>.met (default: the\n"
                   "file's name); reports of that name that are not the earlier output's are refused");
    sub.add_flag("--html", o.html,
                 "Also write <name>.html beside the reports: a page with the zones on a map, their figures\n"
                 "in a table and a chart, for people without a GIS");
    sub.add_flag("--timings", o.timings, "Show how long each stage took");
    sub.add_option("--threads", o.threads,
                   "Worker threads for tabulation, dissolve and overlay (0 or default: all cores)")
        ->check(CLI::NonNegativeNumber);
    sub.add_option("--wait", o.wait,
                   "Seconds to wait for another run of this extension folder to finish before giving up\n"
                   "(default: until it finishes)")
        ->check(CLI::NonNegativeNumber);
    sub.add_option("--dask", o.dask,
                   "Count the land-cover raster on a Dask cluster: the scheduler's address (tcp://HOST:PORT),\n"
                   "or local for a cluster on this machine. Every worker reads the raster by the path given\n"
                   "(the same files on every machine, or a /vsis3/ or /vsicurl/ path); needs the Python\n"
                   "module halvo on the workers and here");
    sub.add_flag("--yes,-y", o.yes,
                 "Answer OK/Yes to every question (without it, questions asked with no\n"
                 "terminal get the cautious answer)");
}

namespace {

struct LayerSpec {
    std::string name;
    fs::path path;
    std::string sourceLayer;
};

// PATH, NAME=PATH, and either with QGIS's "|layername=LAYER" for one layer of
// a multi-layer source. Names are carried in UTF-8 (other bytes read as
// Windows-1252).
LayerSpec parseLayer(const std::string& given)
{
    std::string text = given, sourceLayer;
    if (const auto bar = text.find("|layername="); bar != std::string::npos && !fs::exists(text)) {
        sourceLayer = text.substr(bar + 11);
        text.resize(bar);
    }
    const auto eq = text.find('=');
    if (eq != std::string::npos && eq > 0 && text.substr(0, eq).find('/') == std::string::npos && !fs::exists(text))
        return {support::ToUtf8(text.substr(0, eq)), fs::path(text.substr(eq + 1)), sourceLayer};
    fs::path p(text);
    return {support::ToUtf8(sourceLayer.empty() ? p.stem().string() : sourceLayer), p, sourceLayer};
}

using params::Refuse;

// The output as given: this face writes shapefiles.
fs::path outputOf(const std::string& given, const fs::path& ext, const OptionWords& words)
{
    if (given.find('|') != std::string::npos)
        Refuse("The output '" + given + "' holds '|' options: " + words.writer +
               " writes shapefiles; give a file name ending in .shp");
    if (const std::string format = host::OtherVectorFormatOf(fs::path(given).extension().string()); !format.empty())
        Refuse("The output '" + given + "' names a file of another format (" + format + "): " + words.writer +
               " writes shapefiles; give a file name ending in .shp");
    return given.empty() ? ext / "output" / "halvo.shp" : fs::path(given);
}

}  // namespace

const OptionWords kCommandLineWords{"halvo run needs --landcover, --analysis and --field, or --parameters FILE",
                                    "--select",
                                    "--density",
                                    "--density-layer",
                                    "--scenario",
                                    "PATH=CLASS",
                                    "the CLI"};

params::RunRequest BuildRequest(const RunOptions& o, const fs::path& ext, const OptionWords& words)
{
    params::RunRequest r;
    if (!o.parameters.empty()) {
        params::ParameterReader reader;
        reader.read(o.parameters);
        const params::RunParameters p = params::ParametersOf(reader);
        r = params::RequestOf(p, params::MapOfSources(p));
        // Another output takes its own layer name unless --layer-name gives one.
        if (!o.output.empty() || r.output.empty()) {
            r.output = outputOf(o.output, ext, words);
            r.layerName.clear();
        }
        if (!o.layerName.empty())
            r.layerName = o.layerName;
    } else {
        if (o.landcover.empty() || o.analysis.empty() || o.field.empty())
            Refuse(words.needsInputs);
        params::LayerSet layers;
        auto layerFor = [&](const LayerSpec& given, host::LayerKind kind) {
            return layers.add(given.name, given.path, given.sourceLayer, kind);
        };
        const LayerSpec an = parseLayer(o.analysis), lc = parseLayer(o.landcover);
        if (an.name == lc.name)
            Refuse("The land-cover and analysis layers are both named '" + an.name + "': name them with NAME=PATH");
        r.analysis = layerFor(an, host::LayerKind::Feature);
        r.landCover = layerFor(lc, host::LayerKind::Raster);
        r.field = o.field;
        if (!o.units.empty())
            r.units = params::UnitsFromName(o.units);
        if (!o.select.empty()) {
            if (!fs::exists(r.analysis->source))
                Refuse("The analysis layer '" + r.analysis->source.string() + "' does not exist");
            host::SelectByWhere(*r.analysis, o.select, false);
            if (r.analysis->selection.empty())
                Refuse(words.select + " " + o.select + " selects no feature of '" + an.path.string() + "'");
        }
        const params::CoefficientSet set =
            o.coefficientsCsv.empty() ? params::StoredSet(ext, o.coefficients) : params::SetFromFile(o.coefficientsCsv);
        params::SetCoefficients(r, set);
        if (!o.densityLayer.empty()) {
            if (!o.density.empty())
                Refuse(words.density + " " + o.density + " applies one level everywhere and " + words.densityLayer +
                       " chooses it per polygon: give one of them, not both");
            r.density = params::DensityFromText(layerFor(parseLayer(o.densityLayer), host::LayerKind::Feature),
                                                o.densityField, o.high, o.low);
        } else {
            r.density = params::DensityLevelNamed(o.density);
        }
        int row = 1;
        for (const auto& text : o.scenarios) {
            const auto eq = text.rfind('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == text.size())
                Refuse(words.scenario + " " + text + ": write it as " + words.scenarioForm);
            r.scenarios.push_back(params::ScenarioOf(
                row++, layerFor(parseLayer(text.substr(0, eq)), host::LayerKind::Feature), text.substr(eq + 1), set));
        }
        r.coverage = o.coverage == "exact" ? params::Coverage::Exact : params::Coverage::Centre;
        r.output = outputOf(o.output, ext, words);
        r.layerName = o.layerName;
    }
    r.htmlPage = o.html;
    r.extensionFolder = ext;
    r.face = params::Face::CommandLine;
    return r;
}

namespace {

class RunTerminalUi final : public TerminalUi {
public:
    using TerminalUi::TerminalUi;
    bool canceled() const override { return StopSignals::caught() != 0; }
};

}  // namespace

namespace {

// The run with --dask is the Python module's (halvo.dask), which drives the
// cluster: this process becomes that one, with the same arguments.
int DaskRun()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::vector<std::string> args;
    for (std::string arg; std::getline(in, arg, '\0');)
        args.push_back(arg);
    const char* python = std::getenv("HALVO_PYTHON");
    const std::string interpreter = python && *python ? python : "/usr/bin/python3";
    std::vector<char*> argv{const_cast<char*>(interpreter.c_str()), const_cast<char*>("-m"),
                            const_cast<char*>("halvo.dask")};
    for (std::size_t i = 1; i < args.size(); ++i)
        argv.push_back(args[i].data());
    argv.push_back(nullptr);
    std::cout.flush();
    ::execv(interpreter.c_str(), argv.data());
    std::cerr << "halvo: error: --dask runs through the Python module halvo, but " << interpreter
              << " cannot be started (" << std::strerror(errno) << "); install python3 or set HALVO_PYTHON\n";
    return 1;
}

}  // namespace

int RunCommand(const RunOptions& o)
{
    if (!o.dask.empty())
        return DaskRun();
    RunTerminalUi ui(o.yes);
    ui.setTimings(o.timings);
    host::SetDefaultThreads(o.threads);
    support::SetLockWaitSeconds(o.wait);
    // SIGINT and SIGTERM ask the run to stop; it does so at its next check.
    const StopSignals signals({SIGINT, SIGTERM});
    try {
        const fs::path ext = support::ExtensionFolder();
        support::UiScope scope(ui);
        const model::RunResult result = model::Run(BuildRequest(o, ext), ui);
        ui.endLine();
        std::cout << "Output:            " << result.shapefile.string() << "\n"
                  << "Style:             " << result.style.string() << "\n"
                  << "Parameter report:  " << result.parameterReport.string() << "\n"
                  << "Metadata report:   " << result.metadataReport.string() << "\n";
        if (!result.page.empty())
            std::cout << "Page:              " << result.page.string() << "\n";
        for (const auto& s : result.skipped)
            std::cerr << "halvo: skipped " << s << "\n";
        return 0;
    } catch (...) {
        // The one place the command line turns a failure into what it says.
        ui.endLine();
        const support::Caught c = support::describe(std::current_exception());
        switch (c.kind) {
        case support::Failure::Canceled:
            std::cerr << "halvo: the run was stopped by " << (StopSignals::caught() == SIGTERM ? "SIGTERM" : "SIGINT")
                      << "; no output was written and any earlier output is unchanged\n";
            return StopSignals::caught() == SIGTERM ? 143 : 130;
        case support::Failure::Failed:
            ui.showCallStack(support::ReportText(c, "ExecuteModel", "clsISExecuteModel"));
            [[fallthrough]];
        case support::Failure::Stopped:
            std::cerr << "halvo: the run did not complete; no output was written\n";
            return 1;
        case support::Failure::Refused: break;
        }
        std::cerr << "halvo: error: " << c.description << "\n";
        return 1;
    }
}

}  // namespace halvo::cli
