#include "model/execute_model.h"

#include "host/vector_ops.h"
#include "model/bas_util.h"
#include "model/ds_adjustment.h"
#include "model/population_density.h"
#include "model/table_functions.h"
#include "params/read_params.h"
#include "reports/run_reports.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <ctime>

namespace halvo::model {

namespace fs = std::filesystem;

namespace {
constexpr const char* kModule = "clsISExecuteModel";

host::LayerPtr requireLayer(const std::string& name, const host::Map& map, const char* what)
{
    auto layer = host::FindLayer(name, map);
    if (!layer)
        support::raise(91, std::string("The ") + what + " '" + name + "' is not in the map");
    return layer;
}
}  // namespace

void clsISExecuteModel::ExecuteModel(host::Application& pApp, const fs::path& pWorkPath, const std::string& pFileName,
                                     const fs::path& shpPath, const std::string& shpName, const std::string& LayerName)
{
    succeeded_ = false;
    stageFailed_ = false;
    lastOutput_.reset();
    try {
        // 1. The document's focus map and the extension folder.
        app_ = &pApp;
        map_ = pApp.focusMap;
        host::ResetGeometryRepairs();
        extensionFolder_ = pWorkPath;
        if (!map_)
            support::raise(91, "There is no focus map");

        // 2. The parameters and the layers they name.
        support::Progress("Reading the parameters");
        params::clsReadParams reader;
        reader.ReadParameters(pWorkPath.string(), pFileName);
        analysisThemeName_ = reader.AnalysisTheme();
        analysisLayer_ = requireLayer(analysisThemeName_, *map_, "analysis layer");
        analysisField_ = reader.AnalysisFieldName();
        lcThemeName_ = reader.lcTheme();
        landCoverLayer_ = requireLayer(lcThemeName_, *map_, "land cover layer");
        landCoverUnits_ = reader.LCUnits();
        popDensityOption_ = reader.PopulationDensity();
        outThemeName_ = reader.OutThemeName();
        chosenAnalysisField_ = analysisField_;
        preDensityAnalysisField_ = analysisField_;

        // 3. A layer whose data is not a plain shapefile is copied first.
        const host::LayerPtr chosenLayer = analysisLayer_;
        if (host::MustCopyFirst(*analysisLayer_)) {
            support::Progress("Copying the analysis layer");
            auto copy = CreateShapefile(extensionFolder_, analysisField_, *analysisLayer_);
            if (!copy)
                support::raise(91, "The analysis layer '" + analysisThemeName_ + "' could not be copied");
            analysisLayer_ = copy;
            analysisField_ = "analyfld";
            if (!chosenLayer->selection.empty()) {
                // Carry the selection over by value: every copy of a selected value is selected.
                auto chosen = host::ReadFeatures(*chosenLayer, chosenAnalysisField_, true);
                std::vector<host::Value> values;
                for (const auto& f : chosen)
                    values.push_back(f.value);
                std::sort(values.begin(), values.end(), host::ValueLess);
                for (const auto& f : host::ReadFeatures(*analysisLayer_, analysisField_, false))
                    if (std::binary_search(values.begin(), values.end(), f.value, host::ValueLess))
                        analysisLayer_->selection.insert(f.fid);
            }
        }

        // 4. The class table, and the tabulation object.
        landClasses_ = reader.LandClasses();
        clsISGetLCArea lcArea;
        lcArea.Application(app_);

        // 5. Per-polygon density: the zones are split by the density layer.
        if (popDensityOption_ == "3") {
            popDensityTheme_ = reader.PopDensityTheme();
            auto densityLayer = requireLayer(popDensityTheme_, *map_, "population density layer");
            popDensityField_ = reader.PopDensityFldName();
            popDensityHigh_ = reader.PopDensityHigh();
            popDensityLow_ = reader.PopDensityLow();
            support::Progress("Classifying population density");
            clsPopulationDensity density;
            if (!density.DensityCalculation(*densityLayer, popDensityField_, popDensityHigh_, popDensityLow_,
                                            *analysisLayer_, analysisField_, *map_, extensionFolder_)) {
                support::MsgBox("Error calculting the Population Density:\r  1) Check that the Analysis Layer and the "
                                "Population Density Layer overlap.\r  2) Check that the Analysis Layer and the "
                                "Population Density Layer are in the same projection.",
                                support::Buttons::OK, support::Icon::Information,
                                "Population Density Calculation Error");
                isCleanUp(extensionFolder_);
                release();
                return;
            }
            analysisLayer_ = density.NewAnalysisTheme();
            preDensityAnalysisField_ = analysisField_;
            analysisField_ = density.NewAnalysisFieldName();
        }

        // 6. Area tabulation.
        auto areaTable = lcArea.isGetLCArea(extensionFolder_, *analysisLayer_, *landCoverLayer_, "Value",
                                            analysisField_, popDensityOption_, landCoverUnits_, landClasses_,
                                            "tmpZone", "areaTemp");
        if (!areaTable) {
            isCleanUp(extensionFolder_);
            release();
            return;
        }

        // 7. Development scenarios, one after another.
        devScenarios_ = reader.DevScenarios();
        int n = 2;
        for (const auto& [row, scenario] : devScenarios_) {
            auto scenarioLayer = requireLayer(scenario.at(0), *map_, "development scenario layer");
            support::Progress("Applying the development scenario " + scenario.at(0));
            clsISDSAdjustment adjustment;
            const std::string k = std::to_string(n);
            if (!adjustment.isDSAdjustment(*areaTable, *scenarioLayer, *analysisLayer_, analysisField_, scenario.at(2),
                                           "dsZone" + k, "dsarea" + k, "dsInt" + k, *map_, extensionFolder_,
                                           *landCoverLayer_, landClasses_, popDensityOption_, landCoverUnits_)) {
                isCleanUp(extensionFolder_);
                release();
                return;
            }
            ++n;
        }

        // 8. Density-coded zones folded back into the analysis values.
        if (popDensityOption_ == "3") {
            clsISTableFunctions tf;
            auto summed = tf.SumTable(*areaTable, "areaTab", analysisField_, preDensityAnalysisField_, extensionFolder_);
            if (!summed) {
                isCleanUp(extensionFolder_);
                release();
                return;
            }
            areaTable = std::move(summed);
            analysisField_ = preDensityAnalysisField_;
        }

        // 9 to 14. Output, result fields, legend, completeness, reports.
        support::Progress("Dissolving the analysis layer");
        outputLayer_ = DissolveAnalysisLayer(analysisLayer_, shpPath, shpName, LayerName);
        if (outputLayer_) {
            lastOutput_ = outputLayer_;
            support::Progress("Computing percent impervious");
            isCalPctIS(outputLayer_, *areaTable);
            isUpdateLegend(outputLayer_, shpPath);
            support::Progress("Flagging zones with NODATA cells");
            isSetCompleteArea(outputLayer_);
            if (const std::string repaired = host::GeometryRepairsText(); !repaired.empty())
                support::MsgBox(repaired, support::Buttons::OK, support::Icon::Information, "Geometries Repaired");
            if (app_->refresh)
                app_->refresh();
            support::Progress("Writing the reports");
            isWriteMetadata(shpPath, LayerName);
            succeeded_ = !stageFailed_;
        }
        reader.FlushParameters();
        isCleanUp(extensionFolder_);
        release();
    } catch (...) {
        support::ReportCurrent(true, "ExecuteModel", kModule);
        isCleanUp(pWorkPath);
        release();
    }
}

void clsISExecuteModel::release()
{
    app_ = nullptr;
    map_ = nullptr;
    analysisLayer_.reset();
    landCoverLayer_.reset();
    outputLayer_.reset();
    landClasses_.clear();
    devScenarios_.clear();
}

host::LayerPtr clsISExecuteModel::DissolveAnalysisLayer(const host::LayerPtr& analysisLayer,
                                                        const fs::path& outputFolder,
                                                        const std::string& outputShapefileName,
                                                        const std::string& outputLayerName)
{
    auto result = support::Guarded("DissolveAnalysisLayer", kModule, true, host::LayerPtr{}, [&]() -> host::LayerPtr {
        const bool selectedOnly = !analysisLayer->selection.empty();
        if (!host::FindLayerField(*analysisLayer, analysisField_)) {
            support::MsgBox("Error reading analysis field name");
            return nullptr;
        }
        const fs::path out = outputFolder / outputShapefileName;
        host::Dissolve(*analysisLayer, analysisField_, selectedOnly, out);

        auto layer = std::make_shared<host::Layer>();
        layer->name = outputLayerName;
        layer->kind = host::LayerKind::Feature;
        layer->source = out;
        layer->fieldAliases[analysisField_] = chosenAnalysisField_;

        auto table = host::Table::Open(out, true);
        if (table.fieldCount() <= 3)
            AddNewFields(table);
        for (int i = 3; i < table.fieldCount(); ++i)
            layer->fieldAliases[table.field(i).name] = table.field(i).alias;
        table.finish();

        if (auto old = host::FindLayer(outputShapefileName, *map_))
            map_->removeLayer(old);
        map_->addLayer(layer);
        return layer;
    });
    if (!result)
        stageFailed_ = true;
    return result;
}

void clsISExecuteModel::AddNewFields(host::Table& output)
{
    const bool ok = support::Guarded("AddNewFields", kModule, true, false, [&] {
        const bool feet = landCoverUnits_ == "Feet";
        output.addField(CreateFields(feet ? "TotAcres" : "TotHects", feet ? "TotalAcres" : "TotalHectares",
                                     host::kDouble, 0, 18, 6));
        output.addField(CreateFields(feet ? "TotISAcr" : "TotISHec", feet ? "TotalISAcres" : "TotalISHectares",
                                     host::kDouble, 0, 18, 6));
        output.addField(CreateFields("pctIS", "pctIS", host::kDouble, 0, 10, 2));
        output.addField(CreateFields("Complete", "Complete", host::kString, 1, 0, 0));
        return true;
    });
    stageFailed_ |= !ok;
}

void clsISExecuteModel::isWriteMetadata(const fs::path& outputFolder, const std::string& outputLayerName)
{
    bool ok = support::Guarded("isWriteMetadata", kModule, true, false, [&] {
        reports::ReportInputs in;
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &in.when);
        in.outputThemeName = outThemeName_;
        in.landCoverTheme = lcThemeName_;
        in.landCoverUnits = landCoverUnits_;
        in.analysisTheme = analysisThemeName_;
        in.analysisField = analysisField_;
        in.populationDensity = popDensityOption_;
        in.densityTheme = popDensityTheme_;
        in.densityField = popDensityField_;
        in.densityHigh = popDensityHigh_;
        in.densityLow = popDensityLow_;
        in.landClasses = &landClasses_;
        in.devScenarios = &devScenarios_;
        const host::Extent e = host::LayerExtent(*analysisLayer_);
        in.minX = e.minX;
        in.maxX = e.maxX;
        in.minY = e.minY;
        in.maxY = e.maxY;
        in.mapUnits = map_->units;
        auto table = host::Table::Open(outputLayer_->source);
        for (int i = 0; i < table.fieldCount(); ++i) {
            const auto& f = table.field(i);
            auto alias = outputLayer_->fieldAliases.find(f.name);
            in.outputFieldAliases.push_back(alias != outputLayer_->fieldAliases.end() ? alias->second : f.alias);
        }
        table.search({}, [&](const host::Table::Row& r) {
            in.analysisValues.push_back(host::ValueText(r.get(2)));
            return true;
        });
        return reports::WriteRunReports(outputFolder, outputLayerName, in);
    });
    stageFailed_ |= !ok;
}

void clsISExecuteModel::isCleanUp(const fs::path& extensionFolder)
{
    support::GuardedVoid("isCleanUp", kModule, true, [&] { CleanTempFolder(extensionFolder / "temp"); });
}

}  // namespace halvo::model
