#pragma once
// What the analysis dialogs need of the host beyond the engine's Map: layer
// validity, shape type and fields, the map's events, and the hooks around a
// run. The plugin answers from the QGIS project; FileMapSource from files.

#include "host/map.h"
#include "host/table.h"

#include <QObject>

#include <filesystem>
#include <vector>

namespace halvo::model {
struct RunResult;
}

namespace halvo::params {

class MapSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The focus map and its refresh, as the run driver takes them.
    virtual host::Application& application() = 0;
    host::Map& focusMap() { return *application().focusMap; }

    // False when the layer's data cannot be read (its files have gone, say).
    virtual bool isValid(const host::Layer& layer) const = 0;
    // 4 polygon, 3 polyline, 1 point, 0 other or unknown.
    virtual int shapeType(const host::Layer& layer) const = 0;
    // Attribute fields in table order, with the host's type codes.
    virtual std::vector<host::FieldDef> fields(const host::Layer& layer) const = 0;

    // Just before a run: layers the engine cannot read directly are made
    // readable, and whatever holds `outputShapefile` open lets go of it.
    virtual void prepareRun(const std::filesystem::path& outputShapefile) { (void)outputShapefile; }
    // Just after a run: its output shown in the host; null after a failed run.
    virtual void finishRun(const model::RunResult* result) { (void)result; }

signals:
    void itemAdded();
    void itemDeleted();
    void itemReordered();
    void openDocument();
};

// A map over files, as the CLI builds one; layers added or removed through
// the Map raise the matching events.
class FileMapSource final : public MapSource {
    Q_OBJECT
public:
    explicit FileMapSource(QObject* parent = nullptr);
    host::Application& application() override { return app_; }
    bool isValid(const host::Layer& layer) const override;
    int shapeType(const host::Layer& layer) const override;
    std::vector<host::FieldDef> fields(const host::Layer& layer) const override;

    // Moves the layer at `from` to `to` and raises itemReordered.
    void reorder(int from, int to);

private:
    host::Map map_;
    host::Application app_;
};

}  // namespace halvo::params
