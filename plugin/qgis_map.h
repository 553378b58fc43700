#pragma once
// The QGIS project seen as the engine's Map: top-level legend entries in
// order (a group lists its direct layers), kinds, sources, selections and the
// project CRS's units. Project and layer-tree signals become the map events;
// the output of a run is added back to the project, drawn and selected.

#include "params/qt/map_source.h"

namespace halvo::model {
struct RunResult;
}

#include <QHash>
#include <QString>

#include <filesystem>
#include <functional>
#include <set>
#include <vector>

class QgsMapLayer;
class QgsProject;
class QgsVectorLayer;

namespace halvo::plugin {

class QgsProjectMap final : public params::MapSource {
    Q_OBJECT
public:
    // Layers QGIS cannot hand over as files are written into `tempFolder`.
    QgsProjectMap(QgsProject* project, std::filesystem::path tempFolder, QObject* parent = nullptr);
    ~QgsProjectMap() override;

    host::Map& focusMap() override { return map_; }
    bool isValid(const host::Layer& layer) const override;
    int shapeType(const host::Layer& layer) const override;
    std::vector<host::FieldDef> fields(const host::Layer& layer) const override;
    // Just before a run: layers the engine cannot read directly are written
    // out, and the layers showing `outputShapefile` let go of it.
    void prepareRun(const std::filesystem::path& outputShapefile);
    // Just after a run: its output added to the project, drawn and selected;
    // null after a failed run.
    void finishRun(const model::RunResult* result);

    // Rebuilds the map from the project now and raises the events the change
    // amounts to. Signals from the project call it on the next turn of the loop.
    void sync();

    // The QGIS layer behind a map layer, if it has one.
    QgsMapLayer* qgisLayer(const host::Layer& layer) const;
    // Repaints the map canvas; the plugin points it at QGIS's canvas.
    std::function<void()> repaint;

private:
    void schedule();
    host::LayerPtr describe(QgsMapLayer* ml);
    void exportForRun(const host::LayerPtr& layer, QgsVectorLayer& vl, int n);
    void removeExported();
    QgsVectorLayer* addOutput(const host::LayerPtr& out);

    QgsProject* project_;
    std::filesystem::path temp_;
    host::Map map_;
    QHash<QString, host::LayerPtr> byId_;  // one Map layer per QGIS layer, kept across rebuilds
    QHash<const host::Layer*, QString> idOf_;
    std::set<const host::Layer*> needsExport_;     // no plain file behind it
    std::vector<std::filesystem::path> exported_;  // written into temp/ for the run under way
    QStringList replaced_;                         // layer IDs showing the output a run may replace
    QStringList order_;                            // top-level entries at the last sync
    QStringList ids_;                              // every layer id at the last sync
    bool scheduled_ = false;
    bool running_ = false;
};

// A layer's fields as a run reads them: the provider's, without the data source's own key.
std::vector<host::FieldDef> LayerFields(const QgsVectorLayer& layer);

// Draws the layer in the three classes of the output legend on "pctIS".
void ApplyOutputRenderer(QgsVectorLayer& layer);

}  // namespace halvo::plugin
