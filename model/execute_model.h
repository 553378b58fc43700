#pragma once
// One impervious-surface run: reads model_params.txt, finds the layers in the
// focus map, tabulates, dissolves into the output shapefile, fills the result
// fields, draws the legend, flags incomplete zones, writes the reports and
// empties the temporary workspace.

#include "host/map.h"
#include "host/table.h"
#include "model/get_lc_area.h"

#include <filesystem>
#include <optional>
#include <string>

namespace halvo::model {

class clsISExecuteModel {
public:
    void ExecuteModel(host::Application& pApp, const std::filesystem::path& pWorkPath, const std::string& pFileName,
                      const std::filesystem::path& shpPath, const std::string& shpName,
                      const std::string& LayerName);

    // True when the last run reached its reports with every stage succeeding.
    bool Succeeded() const { return succeeded_; }
    // The output layer of the last run, if one was made.
    host::LayerPtr OutputLayer() const { return lastOutput_; }

private:
    host::LayerPtr DissolveAnalysisLayer(const host::LayerPtr& analysisLayer, const std::filesystem::path& outputFolder,
                                         const std::string& outputShapefileName, const std::string& outputLayerName);
    void AddNewFields(host::Table& output);
    void isCalPctIS(const host::LayerPtr& outputLayer, host::Table& areaTable);
    void isUpdateLegend(const host::LayerPtr& outputLayer, const std::filesystem::path& outputFolder);
    void isSetCompleteArea(const host::LayerPtr& outputLayer);
    void isWriteMetadata(const std::filesystem::path& outputFolder, const std::string& outputLayerName);
    void isCleanUp(const std::filesystem::path& extensionFolder);
    void release();

    // Run state, released at the end of every run.
    host::Application* app_ = nullptr;
    host::Map* map_ = nullptr;
    host::LayerPtr analysisLayer_;
    host::LayerPtr landCoverLayer_;
    std::string landCoverUnits_;
    std::string popDensityOption_;
    ClassTable landClasses_;
    support::OrderedDict<std::vector<std::string>> devScenarios_;
    host::LayerPtr outputLayer_;
    std::string analysisField_;
    std::filesystem::path extensionFolder_;
    std::string outThemeName_;
    std::string lcThemeName_;
    std::string analysisThemeName_;
    std::string popDensityTheme_, popDensityField_, popDensityHigh_, popDensityLow_;
    std::string chosenAnalysisField_;
    std::string preDensityAnalysisField_;

    bool stageFailed_ = false;
    bool succeeded_ = false;
    host::LayerPtr lastOutput_;
};

}  // namespace halvo::model
