#pragma once
// What the analysis dialogs need of the host beyond the engine's Map: layer
// validity, shape type and fields, and the map's events. The plugin answers
// from the QGIS project.

#include "host/map.h"
#include "host/table.h"

#include <QObject>

#include <vector>

namespace halvo::params {

class MapSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The layers of the map, as the lists and the request take them.
    virtual host::Map& focusMap() = 0;

    // False when the layer's data cannot be read (its files have gone, say).
    virtual bool isValid(const host::Layer& layer) const = 0;
    // 4 polygon, 3 polyline, 1 point, 0 other or unknown.
    virtual int shapeType(const host::Layer& layer) const = 0;
    // Attribute fields in table order, with the host's type codes.
    virtual std::vector<host::FieldDef> fields(const host::Layer& layer) const = 0;

signals:
    void itemAdded();
    void itemDeleted();
    void itemReordered();
    void openDocument();
};

}  // namespace halvo::params
