#include "cli/run_command.h"

#include "cli/terminal_ui.h"
#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "host/raster.h"
#include "host/threads.h"
#include "host/vector_ops.h"
#include "model/execute_model.h"
#include "params/param_writer.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/text_file.h"

#include <ogr_spatialref.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>

namespace halvo::cli {

namespace fs = std::filesystem;

void AddRunOptions(CLI::App& sub, RunOptions& o)
{
    sub.description(
        "Estimate impervious surface per zone: tabulate the land-cover raster inside each zone of the\n"
        "analysis layer (zones = distinct values of --field), apply the coefficient set, and write a\n"
        "shapefile with TotHects/TotAcres, TotISHec/TotISAcr, pctIS and Complete, a QGIS style (.qml)\n"
        "and the .prm and .met reports beside it.\n\n"
        "A layer is given as PATH (named after the file) or NAME=PATH.\n\n"
        "Example:\n"
        "  halvo run --landcover landcover.tif --analysis watersheds.shp --field NAME \\\n"
        "            --coefficients NLCD --density medium --output out/watersheds_is.shp\n"
        "  halvo run --landcover landcover.tif --analysis watersheds.shp --field NAME \\\n"
        "            --density-layer blockgroups.shp --density-field DENSITY --high 500 --low 100 \\\n"
        "            --scenario newdev.shp=23 --output out/with_scenario.shp");
    sub.add_option("--landcover", o.landcover, "Land-cover raster (single band, integer classes)")->required();
    sub.add_option("--units", o.units,
                   "Linear units of the land-cover raster: Meters (areas in hectares) or Feet (acres);\n"
                   "default: the unit of the raster's coordinate system")
        ->check(CLI::IsMember({"Meters", "Feet"}));
    sub.add_option("--analysis", o.analysis, "Polygon layer whose polygons are grouped into zones")->required();
    sub.add_option("--field", o.field, "Field of the analysis layer whose values name the zones")->required();
    sub.add_option("--select", o.select,
                   "Where clause selecting the analysis features to use, e.g. \"HUC_ID\" < 5 (default: all)");
    auto* set = sub.add_option("--coefficients", o.coefficients,
                               "Coefficient set of the store etc/isprops.xml (default: its first set)");
    sub.add_option("--coefficients-csv", o.coefficientsCsv,
                   "Comma-separated coefficient file (Value,ClassName,High,Medium,Low) instead of a stored set")
        ->excludes(set);
    sub.add_option("--density", o.density,
                   "Population density level applied everywhere: high, medium or low (default: medium)")
        ->check(CLI::IsMember({"high", "medium", "low"}));
    auto* dl = sub.add_option("--density-layer", o.densityLayer,
                              "Population density polygons: choose High/Medium/Low per polygon piece\n"
                              "(needs --density-field, --high and --low)");
    auto* df = sub.add_option("--density-field", o.densityField, "Numeric density field of --density-layer");
    auto* hi = sub.add_option("--high", o.high, "Density at or above which the High coefficient applies");
    auto* lo = sub.add_option("--low", o.low, "Density at or below which the Low coefficient applies");
    dl->needs(df, hi, lo);
    df->needs(dl);
    hi->needs(dl);
    lo->needs(dl);
    sub.add_option("--scenario", o.scenarios,
                   "Development scenario PATH=CLASS: land inside PATH's polygons counts as CLASS (a class ID\n"
                   "or name of the coefficient set); repeat for several, applied in the order given");
    sub.add_option("--output", o.output,
                   "Output shapefile; \".shp\" is added when missing (default: halvo.shp in the\n"
                   "extension folder's output folder)");
    sub.add_option("--layer-name", o.layerName, "Name of the output layer and its reports (default: the file's name)");
    sub.add_flag("--timings", o.timings, "Show how long each stage took");
    sub.add_option("--threads", o.threads, "Worker threads for tabulation, dissolve and overlay (default: all cores)")
        ->check(CLI::NonNegativeNumber);
    sub.add_flag("--yes,-y", o.yes, "Answer OK/Yes to every question (without it, questions asked with no\n"
                                    "terminal get the cautious answer)");
}

namespace {

struct LayerSpec {
    std::string name;
    fs::path path;
};

// Layer names reach the run through the parameter file, whose reader takes
// text that is not UTF-8 as Latin-1; names are made UTF-8 here so that the
// names read back are the names in the map.
LayerSpec parseLayer(const std::string& text)
{
    const auto eq = text.find('=');
    if (eq != std::string::npos && eq > 0 && text.substr(0, eq).find('/') == std::string::npos &&
        !fs::exists(text))
        return {support::ToUtf8(text.substr(0, eq)), fs::path(text.substr(eq + 1))};
    fs::path p(text);
    return {support::ToUtf8(p.stem().string()), p};
}

[[noreturn]] void fail(const std::string& message) { support::raise(support::err::kInvalidCall, message); }

void requireReadable(const fs::path& p, const char* what)
{
    std::error_code ec;
    if (!fs::exists(p, ec))
        fail(std::string("The ") + what + " '" + p.string() + "' does not exist");
    if (::access(p.c_str(), R_OK) != 0)
        fail(std::string("The ") + what + " '" + p.string() + "' cannot be read");
}

// A failed run leaves nothing that looks like a result: the output dataset
// goes, and so do reports this run wrote for it. Reports older than the run
// belong to earlier outputs and stay.
void RemovePartialOutput(const fs::path& folder, const std::string& shpName, const std::string& layerName,
                         fs::file_time_type started)
{
    host::DeleteDataset(folder, fs::path(shpName).stem().string());
    // File times come from a coarser clock than now(): allow for it.
    const auto since = started - std::chrono::seconds(2);
    for (const char* ext : {".prm", ".met"}) {
        const fs::path report = folder / (layerName + ext);
        std::error_code ec;
        if (fs::exists(report, ec) && fs::last_write_time(report, ec) >= since && !ec)
            fs::remove(report, ec);
    }
}

int densityCode(const std::string& d) { return d == "high" ? 0 : d == "low" ? 2 : 1; }

}  // namespace

int RunCommand(const RunOptions& o)
{
    TerminalUi ui(o.yes);
    ui.setTimings(o.timings);
    host::SetDefaultThreads(o.threads);
    support::UiScope scope(ui);
    try {
        const fs::path ext = support::ExtensionFolder();
        support::EnsureWorkingFolders(ext);

        // Land cover: a single-band integer raster.
        const LayerSpec lc = parseLayer(o.landcover);
        requireReadable(lc.path, "land-cover raster");
        const host::RasterInfo raster = host::DescribeRaster(lc.path);
        if (raster.bands != 1 || !raster.integer)
            fail("The land-cover raster '" + lc.path.string() +
                 "' must hold one band of integer class values (it has " + std::to_string(raster.bands) +
                 " band(s)" + (raster.integer ? "" : " of non-integer values") + ")");
        std::string units = o.units;
        if (units.empty()) {
            units = raster.linearUnit;
            if (units.empty())
                fail("The land-cover raster '" + lc.path.string() +
                     "' has no linear unit in its coordinate system: give --units Meters or --units Feet");
        } else if (!raster.linearUnit.empty() && raster.linearUnit != units) {
            support::MsgBox("--units " + units + " differs from the unit of the raster's coordinate system (" +
                                raster.linearUnit + "); areas follow --units.",
                            support::Buttons::OK, support::Icon::Exclamation, "Land Cover Units");
        }

        // Analysis layer: polygons with the zone field.
        const LayerSpec an = parseLayer(o.analysis);
        requireReadable(an.path, "analysis layer");
        auto analysis = std::make_shared<host::Layer>();
        analysis->name = an.name;
        analysis->kind = host::LayerKind::Feature;
        analysis->source = an.path;
        if (host::ShapeType(*analysis) != 4)
            fail("The analysis layer '" + an.path.string() + "' does not hold polygons");
        if (!host::FindLayerField(*analysis, o.field))
            fail("The analysis layer '" + an.path.string() + "' has no field '" + o.field + "'");
        if (!o.select.empty()) {
            host::SelectByWhere(*analysis, o.select, false);
            if (analysis->selection.empty())
                fail("--select " + o.select + " selects no feature of '" + an.path.string() + "'");
        }
        if (an.name == lc.name)
            fail("The land-cover and analysis layers are both named '" + an.name + "': name them with NAME=PATH");

        // Coefficients.
        params::RunParameters p;
        if (!o.coefficientsCsv.empty()) {
            requireReadable(o.coefficientsCsv, "coefficient file");
            auto set = coefficients::ReadCoeffsFile(o.coefficientsCsv, fs::path(o.coefficientsCsv).stem().string());
            if (!set)
                return 1;
            p.classes = params::ClassLinesOf(*set);
        } else {
            coefficients::clsISModelProperties store;
            const fs::path storePath = support::StorePath(ext);
            if (!coefficients::GetISModelProperties(store, storePath))
                fail("Failed To Load XML - verify the file 'isprops.xml' is located in the '" + ext.string() +
                     "/etc/isprops.xml'.");
            if (store.ISLCDefs.Count() == 0)
                fail("The coefficient store '" + storePath.string() + "' holds no coefficient set");
            const std::string name = o.coefficients.empty() ? store.ISLCDefs.Item(1).LCType : o.coefficients;
            const auto* set = coefficients::FindSet(store, name);
            if (!set) {
                std::string names;
                for (const auto& s : store.ISLCDefs)
                    names += (names.empty() ? "" : ", ") + s.LCType;
                fail("There is no coefficient set '" + name + "' in '" + storePath.string() + "' (sets: " + names +
                     ")");
            }
            if (const std::string fault = coefficients::SetFault(*set); !fault.empty())
                fail(fault);
            p.classes = params::ClassLinesOf(*set);
        }

        // Per-polygon density and scenarios: more layers in the map.
        std::vector<host::LayerPtr> extra;
        auto layerFor = [&](const LayerSpec& spec, const char* what) {
            requireReadable(spec.path, what);
            for (const auto& l : extra)
                if (fs::equivalent(l->source, spec.path))
                    return l;
            if (fs::equivalent(analysis->source, spec.path))
                return analysis;
            auto l = std::make_shared<host::Layer>();
            l->name = spec.name;
            for (int k = 2; l->name == an.name || l->name == lc.name ||
                            std::any_of(extra.begin(), extra.end(), [&](auto& e) { return e->name == l->name; });
                 ++k)
                l->name = spec.name + "_" + std::to_string(k);
            l->kind = host::LayerKind::Feature;
            l->source = spec.path;
            if (host::ShapeType(*l) != 4)
                fail(std::string("The ") + what + " '" + spec.path.string() + "' does not hold polygons");
            extra.push_back(l);
            return l;
        };
        if (!o.densityLayer.empty()) {
            auto d = layerFor(parseLayer(o.densityLayer), "population density layer");
            if (!host::FindLayerField(*d, o.densityField))
                fail("The population density layer '" + d->source.string() + "' has no field '" + o.densityField +
                     "'");
            p.densityLayer = d->name;
            p.densityField = o.densityField;
            p.densityHigh = o.high;
            p.densityLow = o.low;
        }
        int row = 1;
        for (const auto& text : o.scenarios) {
            const auto eq = text.rfind('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == text.size())
                fail("--scenario " + text + ": write it as PATH=CLASS");
            const std::string cls = text.substr(eq + 1);
            auto l = layerFor(parseLayer(text.substr(0, eq)), "development scenario layer");
            const params::ClassLine* found = nullptr;
            for (const auto& c : p.classes)
                if (std::to_string(c.id) == cls || c.name == cls) {
                    found = &c;
                    break;
                }
            if (!found)
                fail("--scenario " + text + ": the coefficient set has no class '" + cls + "'");
            p.scenarios.push_back({row++, true, l->name, found->name, std::to_string(found->id)});
        }

        // Output: ".shp" added as the dialog does; the layer is named after the file.
        std::string out = o.output.empty() ? (ext / "output" / "halvo.shp").string() : o.output;
        std::string tail = out.size() >= 3 ? out.substr(out.size() - 3) : out;
        std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
        if (tail != "shp")
            out += out.back() == '.' ? "shp" : ".shp";
        fs::path outPath(out);
        fs::path folder = outPath.parent_path().empty() ? fs::current_path() : outPath.parent_path();
        const std::string shpName = outPath.filename().string();
        if (!fs::is_directory(folder)) {
            const fs::path fallback = ext / "output";
            support::MsgBox("Either no path was specified or the path does not exist. \rThe output layer will be "
                            "created in " + fallback.string() + ".",
                            support::Buttons::OK, support::Icon::Information, "Output Location");
            folder = fallback;
        }
        if (::access(folder.c_str(), W_OK) != 0)
            fail("The output folder '" + folder.string() + "' cannot be written");
        std::string layerName = o.layerName;
        if (layerName.empty()) {
            layerName = shpName;
            if (layerName.size() >= 4 && layerName.compare(layerName.size() - 4, 4, ".shp") == 0)
                layerName.resize(layerName.size() - 4);
        }

        // The map: the analysis layer over the land cover, in the raster's units.
        host::Map map;
        auto landCover = std::make_shared<host::Layer>();
        landCover->name = lc.name;
        landCover->kind = host::LayerKind::Raster;
        landCover->source = lc.path;
        map.layers = {analysis, landCover};
        map.layers.insert(map.layers.end(), extra.begin(), extra.end());
        OGRSpatialReference srs;
        if (!raster.wkt.empty() && srs.importFromWkt(raster.wkt.c_str()) == OGRERR_NONE)
            map.units = host::MapUnitsOf(&srs);

        // One run at a time per extension folder: they share temp/.
        support::TempLock lock(ext, [] {
            support::Progress("Waiting for another run of this installation to finish");
        });

        p.landCoverLayer = lc.name;
        p.landCoverUnits = units;
        p.analysisLayer = an.name;
        p.analysisField = o.field;
        p.populationDensity = o.densityLayer.empty() ? densityCode(o.density) : 3;
        p.outputTheme = (folder / shpName).string();
        p.outputThemeName = layerName;
        if (!params::WriteParamsToFile(p, (ext / "temp").string(), "model_params.txt")) {
            ui.endLine();
            return 1;  // the writer has told why
        }

        for (const auto& name : host::ListDatasets(folder))
            if (name + ".shp" == shpName)
                host::DeleteDataset(folder, name);

        host::Application app;
        app.focusMap = &map;
        model::clsISExecuteModel run;
        const auto started = fs::file_time_type::clock::now();
        run.ExecuteModel(app, ext, "model_params.txt", folder, shpName, layerName);
        ui.endLine();
        if (!run.Succeeded() || !fs::exists(folder / shpName)) {
            const bool began = fs::exists(folder / shpName);
            RemovePartialOutput(folder, shpName, layerName, started);
            std::cerr << "halvo: the run did not complete; "
                      << (!began                           ? "no output was written"
                          : fs::exists(folder / shpName) ? "the incomplete output " + (folder / shpName).string() +
                                                                " could not be removed"
                                                          : "the incomplete output " + (folder / shpName).string() +
                                                                " was removed")
                      << "\n";
            return 1;
        }
        folder = fs::absolute(folder);
        std::cout << "Output:            " << (folder / shpName).string() << "\n"
                  << "Style:             " << (folder / (outPath.stem().string() + ".qml")).string() << "\n"
                  << "Parameter report:  " << (folder / (layerName + ".prm")).string() << "\n"
                  << "Metadata report:   " << (folder / (layerName + ".met")).string() << "\n";
        return 0;
    } catch (const std::exception& e) {
        ui.endLine();
        const auto c = support::describe(std::current_exception());
        std::cerr << "halvo: error: " << c.description << "\n";
        return 1;
    }
}

}  // namespace halvo::cli
