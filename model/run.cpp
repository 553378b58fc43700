#include "model/run.h"

#include "coefficients/coefficient_sets.h"
#include "coefficients/number_text.h"
#include "host/vector_ops.h"
#include "host/zonal.h"
#include "model/area_table.h"
#include "model/density.h"
#include "model/html_page.h"
#include "model/labelled_areas.h"
#include "model/legend.h"
#include "model/output_files.h"
#include "model/scenario.h"
#include "model/scratch_layers.h"
#include "params/param_writer.h"
#include "params/request_builder.h"
#include "reports/run_reports.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <set>

namespace halvo::model {

namespace fs = std::filesystem;
using params::DensityLayer;
using params::DensityLevel;
using params::RunRequest;
using params::Units;

namespace {

constexpr const char* kModule = "clsISExecuteModel";

[[noreturn]] void refuse(const std::string& why) { support::raise(support::err::kInvalidCall, why); }

void requireReadable(const host::Layer& layer, const char* what)
{
    std::error_code ec;
    if (!fs::exists(layer.source, ec))
        refuse(std::string("The ") + what + " '" + layer.source.string() + "' does not exist");
    if (::access(layer.source.c_str(), R_OK) != 0)
        refuse(std::string("The ") + what + " '" + layer.source.string() + "' cannot be read");
}

void requirePolygons(const host::Layer& layer, const char* what)
{
    requireReadable(layer, what);
    if (layer.sourceLayer.empty()) {
        const auto names = host::VectorLayerNames(layer.source);
        if (names.size() > 1) {
            std::string list;
            for (const auto& n : names)
                list += (list.empty() ? "" : ", ") + n;
            refuse(std::string("The ") + what + " '" + layer.source.string() + "' holds " +
                   std::to_string(names.size()) + " layers (" + list + "): name one as '" + layer.source.string() +
                   "|layername=" + names.front() + "'");
        }
    }
    if (host::ShapeType(layer) != 4)
        refuse(std::string("The ") + what + " '" + layer.source.string() + "' does not hold polygons");
}

// Every file a layer reads from.
std::vector<fs::path> inputFiles(const RunRequest& r)
{
    std::vector<fs::path> files;
    for (const auto& layer : {r.landCover, r.analysis})
        if (layer)
            files.push_back(layer->source);
    if (const auto* d = std::get_if<DensityLayer>(&r.density); d && d->layer)
        files.push_back(d->layer->source);
    for (const auto& s : r.scenarios)
        if (s.layer)
            files.push_back(s.layer->source);
    return files;
}

// The class table as the reports print it: ID -> name, High, Medium, Low.
support::OrderedDict<std::vector<std::string>> classTexts(const std::vector<params::ClassLine>& classes)
{
    support::OrderedDict<std::vector<std::string>> t;
    for (const auto& c : classes) {
        const std::string id = std::to_string(c.id);
        if (!t.exists(id))
            t.add(id, {c.name, coefficients::FormatSingle(c.high), coefficients::FormatSingle(c.medium),
                       coefficients::FormatSingle(c.low)});
    }
    return t;
}

// The output, written once: each zone's union with its figures.
host::LayerPtr DissolveAnalysisLayer(host::ZoneLayer& zones, const std::string& chosenField, const fs::path& shapefile,
                                     const std::string& layerName, Units units, const std::vector<ZoneFigures>& figures)
{
    const host::Layer& analysis = zones.layer();
    const std::string& field = zones.field();
    const support::Procedure procedure("DissolveAnalysisLayer", kModule);
    if (!host::FindLayerField(analysis, field)) {
        support::MsgBox("Error reading analysis field name");
        throw support::Stopped("the analysis field is missing");
    }
    const std::vector<host::FieldDef> results = ResultFields(units);
    // Position 2 holds the zone, the results follow.
    host::Dissolve(zones, shapefile, results,
                   [&](std::size_t z, host::Table::Row& row) { SetResultFields(row, 3, figures[z]); });

    auto layer = std::make_shared<host::Layer>();
    layer->name = layerName;
    layer->kind = host::LayerKind::Feature;
    layer->source = shapefile;
    layer->fieldAliases[field] = chosenField;
    for (const auto& f : results)
        layer->fieldAliases[f.name] = f.alias;
    return layer;
}

struct ReportData {
    const RunRequest* request = nullptr;
    Units units = Units::Meters;
    std::string analysisField;
    int mapUnits = host::kUnitsMeters;
    std::vector<std::string> usage;
    std::vector<std::pair<std::string, std::string>> skippedScenarios;
    std::set<int> skippedRows;  // rows of the scenarios above: the reports list them as skipped only
};

std::string areaText(double area, Units units)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %s", area * UnitFactor(units), units == Units::Feet ? "acres" : "ha");
    return text;
}

// Zones that the density layer does not cover whole: their figures leave
// out land. Answers each such zone's value and the area left out, in square
// map units. Density polygons may overlap: a zone's cover is their union.
std::vector<std::pair<std::string, double>> zonesShortOfDensityCover(host::ZoneLayer& zones, const host::Layer& density)
{
    std::vector<std::pair<std::string, double>> short_;
    for (const auto& zone : host::CoverOfZones(zones, density))
        // A difference beyond rounding is land left out.
        if (zone.outside > zone.area * 1e-9)
            short_.emplace_back(host::ValueText(zone.value), zone.outside);
    return short_;
}

void writeReports(const ReportData& d, const host::Layer& output, const fs::path& folder)
{
    const RunRequest& r = *d.request;
    reports::ReportInputs in;
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &in.when);
    in.outputThemeName = r.layerName;
    in.madeFrom = r.face == params::Face::CommandLine ? "the command line" : "QGIS";
    in.landCoverTheme = r.landCover->name;
    in.landCoverUnits = params::UnitsName(d.units);
    in.exactCoverage = r.coverage == params::Coverage::Exact;
    in.analysisTheme = r.analysis->name;
    in.analysisField = d.analysisField;
    support::OrderedDict<std::vector<std::string>> scenarios;
    if (const auto* level = std::get_if<DensityLevel>(&r.density)) {
        in.populationDensity = std::to_string(static_cast<int>(*level));
    } else {
        const auto& density = std::get<DensityLayer>(r.density);
        in.populationDensity = "3";
        in.densityTheme = density.layer->name;
        in.densityField = density.field;
        in.densityHigh = density.highText;
        in.densityLow = density.lowText;
    }
    for (const auto& s : r.scenarios)
        if (!d.skippedRows.count(s.row) && !scenarios.exists(std::to_string(s.row)))
            scenarios.add(std::to_string(s.row), {s.layer->name, s.className, std::to_string(s.classId)});
    const auto classes = classTexts(r.classes);
    in.landClasses = &classes;
    in.devScenarios = &scenarios;
    if (const auto e = host::GeographicExtent(output))
        in.bounds = reports::GeographicBounds{e->minX, e->maxX, e->maxY, e->minY};
    in.mapUnits = d.mapUnits;
    in.usage = d.usage;
    in.skippedScenarios = d.skippedScenarios;
    auto table = host::Table::Open(output.source);
    for (int i = 0; i < table.fieldCount(); ++i) {
        const auto& f = table.field(i);
        auto alias = output.fieldAliases.find(f.name);
        in.outputFieldAliases.push_back(alias != output.fieldAliases.end() ? alias->second : f.alias);
    }
    table.search({}, [&](const host::Table::Row& row) {
        in.analysisValues.push_back(host::ValueText(row.get(2)));
        return true;
    });
    if (!reports::WriteRunReports(folder, r.layerName, in))
        throw support::Stopped("the reports could not be written");
}

}  // namespace

RunRequest CheckRequest(const RunRequest& request)
{
    RunRequest r = request;
    if (!r.landCover || !r.analysis)
        refuse("The run needs a land-cover layer and an analysis layer");

    // Land cover: one band of integer classes, in a projected system.
    requireReadable(*r.landCover, "land-cover raster");
    const host::RasterInfo raster = host::DescribeRaster(r.landCover->source);
    if (raster.bands != 1 || !raster.integer)
        refuse("The land-cover raster '" + r.landCover->source.string() +
               "' must hold one band of integer class values (it has " + std::to_string(raster.bands) + " band(s)" +
               (raster.integer ? "" : " of non-integer values") + ")");
    if (raster.geographic)
        refuse("The land-cover raster '" + r.landCover->source.string() +
               "' is in geographic coordinates (degrees), where cell areas are not areas: project it to a "
               "projected coordinate system in metres or feet first");
    const auto rasterUnits = params::UnitsFromName(raster.linearUnit);
    if (!r.units) {
        if (!rasterUnits)
            refuse("The land-cover raster '" + r.landCover->source.string() +
                   "' has no linear unit in its coordinate system: choose Meters or Feet");
        r.units = rasterUnits;
    }

    // Analysis layer: polygons with the zone field.
    requirePolygons(*r.analysis, "analysis layer");
    if (!host::FindLayerField(*r.analysis, r.field))
        refuse("The analysis layer '" + r.analysis->source.string() + "' has no field '" + r.field + "'");
    if (const std::string fault = params::ClassesFault(r.setName, r.classes); !fault.empty())
        refuse(fault);

    if (auto* d = std::get_if<DensityLayer>(&r.density)) {
        if (!d->layer)
            refuse("Per-polygon density needs a population density layer");
        requirePolygons(*d->layer, "population density layer");
        if (!host::FindLayerField(*d->layer, d->field))
            refuse("The population density layer '" + d->layer->source.string() + "' has no field '" + d->field + "'");
        if (const std::string fault = params::ThresholdsFault(d->high, d->low); !fault.empty())
            refuse(fault);
    }
    for (const auto& s : r.scenarios) {
        if (!s.layer)
            refuse("A development scenario has no layer");
        requirePolygons(*s.layer, "development scenario layer");
    }

    // Output: a shapefile name, a layer name the reports can carry, a
    // writable folder, and no input overwritten.
    r.output = NormalOutputPath(r.output);
    if (r.layerName.empty())
        r.layerName = r.output.stem().string();
    CheckLayerName(r.layerName);
    return r;
}

namespace {

// The output's folder, made absolute; a missing one is asked about (the
// default folder instead) or refused, as is one that cannot be written.
fs::path outputFolder(const RunRequest& r)
{
    fs::path folder = r.output.parent_path().empty() ? fs::current_path() : r.output.parent_path();
    const fs::path defaultFolder = r.extensionFolder / "output";
    auto same = [](const fs::path& a, const fs::path& b) {
        return fs::absolute(a).lexically_normal() == fs::absolute(b).lexically_normal();
    };
    std::error_code ec;
    if (!fs::is_directory(folder, ec) && !same(folder, defaultFolder)) {
        // A mistyped folder must not send the output elsewhere unasked.
        if (support::MsgBox("Either no path was specified or the path does not exist. \rThe output layer will be "
                            "created in " +
                                defaultFolder.string() + ".",
                            support::Buttons::OKCancel, support::Icon::Question,
                            "Output Location") != support::Answer::OK)
            refuse("The output folder '" + folder.string() +
                   "' does not exist: make it, or choose a folder that exists");
        folder = defaultFolder;
    }
    // The default output folder is made on demand, as temp/ is.
    if (same(folder, defaultFolder))
        fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec))
        refuse("The output folder '" + folder.string() + "' does not exist: make it, or choose a folder that exists");
    if (::access(folder.c_str(), W_OK) != 0)
        refuse("The output folder '" + folder.string() + "' cannot be written: choose another location");
    return fs::absolute(folder);
}

// Each zone's land per class, by density level and scenario as asked, with
// the scenarios applied; which zones touch NODATA when the pass could tell.
struct CountedAreas {
    AreaRows table;
    std::set<std::string> touchingNodata;
    bool nodataKnown = true;
};

CountedAreas countAreas(const RunRequest& r, const host::LayerPtr& analysis, host::ZoneLayer& zones,
                        const AreaRules& rules,
                        const std::function<void(const params::Scenario&, const ScenarioOutcome&)>& skip)
{
    const auto* densityLayer = std::get_if<DensityLayer>(&r.density);
    std::optional<DensityRule> density;
    if (densityLayer) {
        if (host::SpatialReferenceName(*densityLayer->layer) != host::SpatialReferenceName(*analysis)) {
            support::MsgBox("Error calculting the Population Density:\r  1) Check that the Analysis Layer and the "
                            "Population Density Layer overlap.\r  2) Check that the Analysis Layer and the "
                            "Population Density Layer are in the same projection.",
                            support::Buttons::OK, support::Icon::Information, "Population Density Calculation Error");
            throw support::Stopped("the density layer could not be used");
        }
        density = DensityRule{densityLayer->layer.get(), densityLayer->field, densityLayer->high, densityLayer->low};
    }
    std::vector<std::optional<ScenarioOutcome>> refused;
    std::vector<const host::Layer*> counted;
    for (const auto& s : r.scenarios) {
        refused.push_back(SkipForProjection(*s.layer, *analysis));
        counted.push_back(refused.back() ? nullptr : s.layer.get());
    }
    // One pass counts each zone's land, by density level and scenario: cells
    // labelled by their centres, or the zones cut exactly in memory.
    LabelledAreas labelled =
        AreasByLabel(zones, *r.landCover, rules, density, counted, densityLayer ? "popIntersect" : analysis->name);
    CountedAreas out{std::move(labelled.zones), std::move(labelled.touchingNodata), labelled.nodataKnown};
    support::CheckCanceled();
    // Land inside several scenarios is recast once, by the first row that covers it.
    std::vector<const host::Layer*> earlier;
    int n = 2;
    for (std::size_t i = 0; i < r.scenarios.size(); ++i, ++n) {
        const auto& s = r.scenarios[i];
        if (refused[i]) {
            skip(s, *refused[i]);
            continue;
        }
        support::Progress("Applying the development scenario " + s.layer->name);
        CountedScenarioContext context{{analysis.get()}, earlier, r.landCover.get(), std::to_string(n)};
        if (densityLayer)
            context.zones.push_back(densityLayer->layer.get());
        const ScenarioOutcome outcome =
            ApplyCountedScenario(out.table, labelled.scenarios[i], *s.layer, s.classId, rules, context);
        if (outcome.applied)
            earlier.push_back(s.layer.get());
        else
            skip(s, outcome);
    }
    // Density levels folded back into their zones.
    if (densityLayer)
        out.table = SumByZone(out.table);
    return out;
}

// Land outside the density layer has no level: those zones are incomplete.
void flagZonesOutsideDensity(const DensityLayer& density, host::ZoneLayer& zones, Units units,
                             std::vector<ZoneFigures>& figures, std::set<long long>& flagged,
                             std::vector<std::string>& usage)
{
    {
        const auto short_ = zonesShortOfDensityCover(zones, *density.layer);
        if (!short_.empty()) {
            double missing = 0;
            std::set<std::string> values;
            for (const auto& [value, area] : short_) {
                values.insert(value);
                missing += area;
            }
            FlagIncomplete(zones.values(), values, figures, flagged);
            usage.push_back("Left Out: " + std::to_string(short_.size()) +
                            " zone(s) partly or wholly outside the population density layer (" +
                            areaText(missing, units) + ")");
            support::MsgBox(std::to_string(short_.size()) +
                                " zone(s) lie partly or wholly outside the population "
                                "density layer " +
                                density.layer->name + ": their " + areaText(missing, units) +
                                " there have no density level and are left out. "
                                "These zones have 'N' in the 'Complete' field.",
                            support::Buttons::OK, support::Icon::Information, "Outside the Density Layer");
        }
    }
}

RunResult runStages(const RunRequest& request)
{
    host::ResetGeometryRepairs();
    // The run never writes its inputs, so each is opened once and kept open.
    const host::OpenInputs inputs(inputFiles(request));
    RunRequest r = CheckRequest(request);

    const fs::path folder = outputFolder(r);
    r.output = folder / r.output.filename();
    // Before anything is written: the output replaces no input, fits GDAL's
    // paths, and replaces only files of its own.
    const auto outputSet = OutputSet(r.output, r.layerName);
    CheckOutputIsNotAnInput(outputSet, inputFiles(r));
    CheckOutputPathLength(r.output);
    CheckOutputSetFiles(outputSet);
    CheckReportsBelongToOutput(r.output, r.layerName);

    const host::RasterInfo raster = host::DescribeRaster(r.landCover->source);
    if (raster.linearUnit != params::UnitsName(*r.units) && !raster.linearUnit.empty())
        support::MsgBox(std::string("The land cover units chosen (") + params::UnitsName(*r.units) +
                            ") differ from the unit of the raster's coordinate system (" + raster.linearUnit +
                            "); areas follow the units chosen.",
                        support::Buttons::OK, support::Icon::Exclamation, "Land Cover Units");

    // One run at a time per installation: runs share temp/.
    support::EnsureWorkingFolders(r.extensionFolder);
    support::TempLock lock(r.extensionFolder);
    support::ScratchFolder scratch(support::TempFolder(r.extensionFolder));
    for (const std::string& note : RemoveStaleStaging(folder))
        support::MsgBox(note, support::Buttons::OK, support::Icon::Information, "Output Location");
    OutputStaging staging(r.output, r.layerName);

    // The run's record, as the parameter file keeps it.
    support::Progress("Reading the parameters");
    if (!params::WriteParamsToFile(params::ParametersOf(r, *r.units), scratch.path().string(), "model_params.txt"))
        throw support::Stopped("the parameter file could not be written");
    support::CheckCanceled();

    // A layer whose data is not a plain shapefile is copied first.
    host::LayerPtr analysis = r.analysis;
    std::string field = r.field;
    if (host::MustCopyFirst(*analysis)) {
        support::Progress("Copying the analysis layer");
        // Only the selected features are copied: a selection means the same
        // features whatever the format.
        auto copy = CreateShapefile(scratch.path(), field, *analysis);
        copy->name = analysis->name;
        analysis = copy;
        field = CopyFieldName(field);
    }
    const std::string zoneField = field;

    // What the run uses of the analysis layer, and what it cannot place in a zone.
    // The reports name the field as the user chose it, whatever the copy calls it.
    ReportData report{&r, *r.units, r.field, raster.mapUnits, {}, {}, {}};
    const auto used = host::ValuesInUse(*analysis, zoneField);
    report.usage.push_back("Features Used: " + std::to_string(used.features) + " of " +
                           std::to_string(host::FeatureCount(*r.analysis)));
    if (used.nullFeatures > 0) {
        report.usage.push_back("Left Out: " + std::to_string(used.nullFeatures) + " feature(s) without a value in " +
                               r.field + " (" + areaText(used.nullArea, *r.units) + ")");
        support::MsgBox(std::to_string(used.nullFeatures) + " feature(s) of " + r.analysis->name +
                            " have no value in the field " + r.field + " and belong to no zone: their " +
                            areaText(used.nullArea, *r.units) + " are left out.",
                        support::Buttons::OK, support::Icon::Information, "Features Left Out");
    }

    const CoefficientTable coefficients(r.classes);
    AreaRules rules{&coefficients, std::nullopt, *r.units, r.coverage};
    if (const auto* level = std::get_if<DensityLevel>(&r.density))
        rules.fixedLevel = *level;

    // The analysis zones are read once: tabulated, then dissolved into the output.
    host::ZoneLayer analysisZones(*analysis, zoneField, !analysis->selection.empty());
    RunResult result;
    auto skip = [&](const params::Scenario& s, const ScenarioOutcome& outcome) {
        result.skipped.push_back("the development scenario " + s.layer->name + ": " + outcome.skipReason);
        report.skippedScenarios.emplace_back(s.layer->name, outcome.skipReason);
        report.skippedRows.insert(s.row);
    };
    CountedAreas counted = countAreas(r, analysis, analysisZones, rules, skip);

    // The output, its result fields, style, completeness and reports. Each
    // zone keeps its own shape, whatever pieces density cut it into.
    support::Progress("Computing percent impervious");
    result.zones = ZoneResults(analysisZones.values(), counted.table, zoneField);
    support::Progress("Flagging zones with NODATA cells");
    std::set<long long> flagged;  // zones marked "N", selected in the output
    FlagNodataZones(analysisZones, raster, result.zones, flagged, r.coverage,
                    counted.nodataKnown ? &counted.touchingNodata : nullptr);
    if (const auto* density = std::get_if<DensityLayer>(&r.density))
        flagZonesOutsideDensity(*density, analysisZones, *r.units, result.zones, flagged, report.usage);
    support::Progress("Dissolving the analysis layer");
    const fs::path staged = staging.folder() / r.output.filename();
    host::LayerPtr output = DissolveAnalysisLayer(analysisZones, r.field, staged, r.layerName, *r.units, result.zones);
    output->selection = std::move(flagged);
    RoundAsStored(result.zones);
    WriteLegend(*output);
    if (const std::string repaired = host::GeometryRepairsText(); !repaired.empty())
        support::MsgBox(repaired, support::Buttons::OK, support::Icon::Information, "Geometries Repaired");
    support::Progress("Writing the reports");
    writeReports(report, *output, staging.folder());
    if (r.htmlPage) {
        const support::Procedure procedure("isWriteHtmlPage", kModule);
        WriteHtmlPage(staged, r.layerName, staging.folder() / (r.layerName + ".prm"),
                      staging.folder() / (r.layerName + ".html"));
    }
    support::CheckCanceled();

    staging.commit();
    output->source = r.output;
    result.outputLayer = output;
    result.units = *r.units;
    result.shapefile = r.output;
    result.style = fs::path(r.output).replace_extension(".qml");
    result.parameterReport = folder / (r.layerName + ".prm");
    result.metadataReport = folder / (r.layerName + ".met");
    if (r.htmlPage)
        result.page = folder / (r.layerName + ".html");
    return result;
}

}  // namespace

RunResult Run(const RunRequest& request, Feedback& feedback)
{
    support::UiScope scope(feedback);
    return runStages(request);
}

}  // namespace halvo::model
