#include "plugin/qgis_map.h"

#include "host/vector_ops.h"
#include "model/legend.h"
#include "model/run.h"

#include <qgscoordinatereferencesystem.h>
#include <qgscoordinatetransformcontext.h>
#include <qgsfillsymbol.h>
#include <qgsgraduatedsymbolrenderer.h>
#include <qgslayertree.h>
#include <qgslayertreegroup.h>
#include <qgslayertreelayer.h>
#include <qgsproject.h>
#include <qgsproviderregistry.h>
#include <qgsrasterlayer.h>
#include <qgsrendererrange.h>
#include <qgsunittypes.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorfilewriter.h>
#include <qgsvectorlayer.h>

#include <QFileInfo>

#include <QTimer>
#include <algorithm>
#include <stdexcept>
#include <utility>

namespace halvo::plugin {

namespace fs = std::filesystem;

namespace {

int unitsOf(const QgsCoordinateReferenceSystem& crs)
{
    if (!crs.isValid())
        return 0;
    switch (crs.mapUnits()) {
    case QgsUnitTypes::DistanceFeet: return host::kUnitsFeet;
    case QgsUnitTypes::DistanceMeters: return host::kUnitsMeters;
    case QgsUnitTypes::DistanceDegrees: return host::kUnitsDegrees;
    default: return 0;
    }
}

int fieldType(const QgsField& f)
{
    switch (f.type()) {
    case QVariant::Int:
    case QVariant::UInt:
    case QVariant::LongLong:
    case QVariant::ULongLong: return f.length() > 0 && f.length() <= 4 ? host::kSmallInteger : host::kInteger;
    case QVariant::Double: return host::kDouble;
    case QVariant::Date:
    case QVariant::DateTime:
    case QVariant::Time: return host::kDate;
    default: return host::kString;
    }
}

QString absolutePath(const fs::path& p) { return QFileInfo(QString::fromStdString(p.string())).absoluteFilePath(); }

}  // namespace

QgsProjectMap::QgsProjectMap(QgsProject* project, fs::path tempFolder, QObject* parent)
    : MapSource(parent), project_(project), temp_(std::move(tempFolder))
{
    connect(project_, &QgsProject::layersAdded, this, &QgsProjectMap::schedule);
    connect(project_, &QgsProject::layersRemoved, this, &QgsProjectMap::schedule);
    connect(project_, &QgsProject::crsChanged, this, &QgsProjectMap::schedule);
    QgsLayerTree* root = project_->layerTreeRoot();
    connect(root, &QgsLayerTreeNode::addedChildren, this, &QgsProjectMap::schedule);
    connect(root, &QgsLayerTreeNode::removedChildren, this, &QgsProjectMap::schedule);
    connect(root, &QgsLayerTreeNode::nameChanged, this, &QgsProjectMap::schedule);
    connect(project_, &QgsProject::readProject, this, [this] {
        sync();
        emit openDocument();
    });
    sync();
}

QgsProjectMap::~QgsProjectMap() { removeExported(); }

void QgsProjectMap::schedule()
{
    if (scheduled_)
        return;
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        scheduled_ = false;
        if (!running_)
            sync();
    });
}

host::LayerPtr QgsProjectMap::describe(QgsMapLayer* ml)
{
    host::LayerPtr& layer = byId_[ml->id()];
    if (!layer)
        layer = std::make_shared<host::Layer>();
    idOf_[layer.get()] = ml->id();
    layer->name = ml->name().toStdString();
    layer->members.clear();
    layer->source.clear();
    layer->sourceLayer.clear();
    layer->selection.clear();
    needsExport_.erase(layer.get());

    if (auto* vl = qobject_cast<QgsVectorLayer*>(ml)) {
        layer->kind = host::LayerKind::Feature;
        const QVariantMap uri = QgsProviderRegistry::instance()->decodeUri(vl->providerType(), vl->source());
        const QString path = uri.value(QStringLiteral("path")).toString();
        const QString layerName = uri.value(QStringLiteral("layerName")).toString();
        const QString layerId = uri.value(QStringLiteral("layerId")).toString();
        // A filtered layer, or one addressed by index alone, is not what the file holds.
        const bool plain = vl->providerType() == QLatin1String("ogr") && !path.isEmpty() &&
                           uri.value(QStringLiteral("subset")).toString().isEmpty() &&
                           (!layerName.isEmpty() || layerId.isEmpty() || layerId == QLatin1String("0")) &&
                           QFileInfo(path).isFile();
        if (plain) {
            layer->source = path.toStdString();
            layer->sourceLayer = layerName.toStdString();
        } else {
            needsExport_.insert(layer.get());
        }
        for (QgsFeatureId fid : vl->selectedFeatureIds())
            layer->selection.insert(fid);
    } else if (qobject_cast<QgsRasterLayer*>(ml)) {
        layer->kind = host::LayerKind::Raster;
        const QVariantMap uri = QgsProviderRegistry::instance()->decodeUri(ml->providerType(), ml->source());
        const QString path = uri.value(QStringLiteral("path")).toString();
        layer->source = (path.isEmpty() ? ml->source() : path).toStdString();
    } else {
        // Mesh, point cloud and plug-in layers: listed nowhere, found by name only.
        layer->kind = host::LayerKind::Raster;
    }
    return layer;
}

void QgsProjectMap::sync()
{
    if (!project_)
        return;
    std::vector<host::LayerPtr> layers;
    QStringList order;
    QStringList ids;
    for (QgsLayerTreeNode* node : project_->layerTreeRoot()->children()) {
        if (QgsLayerTree::isLayer(node)) {
            QgsMapLayer* ml = QgsLayerTree::toLayer(node)->layer();
            if (!ml)
                continue;
            layers.push_back(describe(ml));
            order << ml->id();
            ids << ml->id();
        } else if (QgsLayerTree::isGroup(node)) {
            auto* group = QgsLayerTree::toGroup(node);
            auto g = std::make_shared<host::Layer>();
            g->name = group->name().toStdString();
            g->kind = host::LayerKind::Group;
            QStringList members;
            for (QgsLayerTreeNode* child : group->children())
                if (QgsLayerTree::isLayer(child))
                    if (QgsMapLayer* ml = QgsLayerTree::toLayer(child)->layer()) {
                        g->members.push_back(describe(ml));
                        members << ml->id();
                        ids << ml->id();
                    }
            layers.push_back(g);
            order << QStringLiteral("group:%1[%2]").arg(group->name(), members.join(QLatin1Char(',')));
        }
    }
    map_.layers = std::move(layers);
    map_.units = unitsOf(project_->crs());

    // Forget QGIS layers that have left the project.
    for (auto it = byId_.begin(); it != byId_.end();) {
        if (!project_->mapLayer(it.key())) {
            idOf_.remove(it.value().get());
            needsExport_.erase(it.value().get());
            it = byId_.erase(it);
        } else {
            ++it;
        }
    }

    int added = 0, removed = 0;
    for (const QString& id : ids)
        added += ids_.contains(id) ? 0 : 1;
    for (const QString& id : ids_)
        removed += ids.contains(id) ? 0 : 1;
    const bool reordered = order != order_;
    order_ = order;
    ids_ = ids;
    for (int i = 0; i < removed; ++i)
        emit itemDeleted();
    for (int i = 0; i < added; ++i)
        emit itemAdded();
    if (!added && !removed && reordered)
        emit itemReordered();
}

QgsMapLayer* QgsProjectMap::qgisLayer(const host::Layer& layer) const
{
    const auto it = idOf_.find(&layer);
    return it == idOf_.end() || !project_ ? nullptr : project_->mapLayer(it.value());
}

bool QgsProjectMap::isValid(const host::Layer& layer) const
{
    if (layer.kind == host::LayerKind::Group)
        return true;
    if (QgsMapLayer* ml = qgisLayer(layer))
        return ml->isValid();
    std::error_code ec;
    return fs::exists(layer.source, ec);
}

int QgsProjectMap::shapeType(const host::Layer& layer) const
{
    if (layer.kind != host::LayerKind::Feature)
        return 0;
    if (auto* vl = qobject_cast<QgsVectorLayer*>(qgisLayer(layer))) {
        switch (vl->geometryType()) {
        case QgsWkbTypes::PolygonGeometry: return 4;
        case QgsWkbTypes::LineGeometry: return 3;
        case QgsWkbTypes::PointGeometry: return 1;
        default: return 0;
        }
    }
    try {
        return host::ShapeType(layer);
    } catch (...) {
        return 0;
    }
}

std::vector<host::FieldDef> QgsProjectMap::fields(const host::Layer& layer) const
{
    auto* vl = qobject_cast<QgsVectorLayer*>(qgisLayer(layer));
    return vl ? LayerFields(*vl) : std::vector<host::FieldDef>();
}

std::vector<host::FieldDef> LayerFields(const QgsVectorLayer& vl)
{
    std::vector<host::FieldDef> out;
    if (!vl.dataProvider())
        return out;
    // The provider's fields: joined and virtual fields are not in the data the run reads.
    const QgsFields fs = vl.dataProvider()->fields();
    // The data source's own key (a GeoPackage's fid) names no zones: the run cannot read it as a field.
    const QgsAttributeList keys = vl.dataProvider()->pkAttributeIndexes();
    for (int i = 0; i < fs.count(); ++i) {
        if (keys.contains(i))
            continue;
        const QgsField& f = fs.at(i);
        host::FieldDef d;
        d.name = f.name().toStdString();
        d.alias = (f.alias().isEmpty() ? f.name() : f.alias()).toStdString();
        d.type = fieldType(f);
        d.length = f.length();
        d.precision = f.length();
        d.scale = f.precision();
        out.push_back(d);
    }
    return out;
}

void QgsProjectMap::exportForRun(const host::LayerPtr& layer, QgsVectorLayer& vl, int n)
{
    // The engine reads files: write the layer's features into a GeoPackage,
    // keeping the selection by feature order.
    std::vector<std::size_t> selectedOrdinals;
    {
        std::size_t i = 0;
        QgsFeature f;
        QgsFeatureIterator it =
            vl.getFeatures(QgsFeatureRequest().setNoAttributes().setFlags(QgsFeatureRequest::NoGeometry));
        while (it.nextFeature(f)) {
            if (layer->selection.count(f.id()))
                selectedOrdinals.push_back(i);
            ++i;
        }
    }
    const QString path = absolutePath(temp_ / ("qgislayer" + std::to_string(n) + ".gpkg"));
    exported_.push_back(path.toStdString());
    QgsVectorFileWriter::SaveVectorOptions options;
    options.driverName = QStringLiteral("GPKG");
    options.layerName = QStringLiteral("layer");
    options.fileEncoding = QStringLiteral("UTF-8");
    QString error;
    const auto rc =
        QgsVectorFileWriter::writeAsVectorFormatV3(&vl, path, project_->transformContext(), options, &error);
    if (rc != QgsVectorFileWriter::NoError)
        throw std::runtime_error("The layer '" + layer->name + "' could not be written to '" + path.toStdString() +
                                 "': " + error.toStdString());
    layer->source = path.toStdString();
    layer->sourceLayer = "layer";
    layer->selection.clear();
    if (selectedOrdinals.empty())
        return;
    QgsVectorLayer written(path + QStringLiteral("|layername=layer"), QStringLiteral("written"), QStringLiteral("ogr"));
    std::vector<QgsFeatureId> fids;
    QgsFeature f;
    QgsFeatureIterator it =
        written.getFeatures(QgsFeatureRequest().setNoAttributes().setFlags(QgsFeatureRequest::NoGeometry));
    while (it.nextFeature(f))
        fids.push_back(f.id());
    std::sort(fids.begin(), fids.end());
    for (std::size_t ord : selectedOrdinals)
        if (ord < fids.size())
            layer->selection.insert(fids[ord]);
}

void QgsProjectMap::prepareRun(const fs::path& outputShapefile)
{
    sync();
    // Layers drawing the file a run may replace leave the project only once
    // the run has put its new output in place (the run writes beside them).
    const QString out = absolutePath(outputShapefile);
    replaced_.clear();
    for (auto it = byId_.cbegin(); it != byId_.cend(); ++it)
        if (!it.value()->source.empty() && absolutePath(it.value()->source) == out)
            replaced_ << it.key();
    // A failed export takes back the files exported before it.
    struct Undo {
        QgsProjectMap* map;
        ~Undo()
        {
            if (map)
                map->removeExported();
        }
    } undo{this};
    int n = 0;
    for (auto it = byId_.cbegin(); it != byId_.cend(); ++it)
        if (needsExport_.count(it.value().get()))
            if (auto* vl = qobject_cast<QgsVectorLayer*>(project_->mapLayer(it.key()));
                vl && vl->isValid() && vl->geometryType() == QgsWkbTypes::PolygonGeometry)
                exportForRun(it.value(), *vl, ++n);
    undo.map = nullptr;
    running_ = true;
}

void QgsProjectMap::removeExported()
{
    // The run has read them: temp/ keeps nothing but run folders.
    std::error_code ec;
    for (const fs::path& file : std::exchange(exported_, {}))
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            fs::remove(file.string() + suffix, ec);
}

void ApplyOutputRenderer(QgsVectorLayer& layer)
{
    QgsRangeList ranges;
    double lower = 0;
    for (const model::LegendClass& c : model::LegendClasses()) {
        QgsFillSymbol* symbol = QgsFillSymbol::createSimple(
            {{QStringLiteral("color"), QStringLiteral("%1,%2,%3,255").arg(c.r).arg(c.g).arg(c.b)}});
        ranges << QgsRendererRange(lower, c.upper, symbol, QString::fromUtf8(c.label));
        lower = c.upper;
    }
    layer.setRenderer(new QgsGraduatedSymbolRenderer(QStringLiteral("pctIS"), ranges));
}

QgsVectorLayer* QgsProjectMap::addOutput(const host::LayerPtr& out)
{
    const QString path = QString::fromStdString(out->source.string());
    auto* vl = new QgsVectorLayer(path, QString::fromStdString(out->name), QStringLiteral("ogr"));
    if (!vl->isValid()) {
        delete vl;
        return nullptr;
    }
    // The engine's style file normally arrives as the layer's default style.
    auto* graduated = dynamic_cast<QgsGraduatedSymbolRenderer*>(vl->renderer());
    if (!graduated || graduated->classAttribute() != QLatin1String("pctIS")) {
        ApplyOutputRenderer(*vl);
        bool ok = false;
        vl->saveNamedStyle(QString::fromStdString(fs::path(out->source).replace_extension(".qml").string()), ok);
    }
    for (const auto& [field, alias] : out->fieldAliases) {
        const int i = vl->fields().indexFromName(QString::fromStdString(field));
        if (i >= 0 && alias != field)
            vl->setFieldAlias(i, QString::fromStdString(alias));
    }
    QgsFeatureIds selected;
    for (long long fid : out->selection)
        selected.insert(fid);
    project_->addMapLayer(vl, false);
    project_->layerTreeRoot()->insertLayer(0, vl);
    vl->selectByIds(selected);
    byId_[vl->id()] = out;
    idOf_[out.get()] = vl->id();
    return vl;
}

void QgsProjectMap::finishRun(const model::RunResult* result)
{
    running_ = false;
    removeExported();
    QStringList gone;
    if (result)
        gone << replaced_;
    replaced_.clear();
    if (!gone.isEmpty())
        project_->removeMapLayers(gone);
    if (result && result->outputLayer && !idOf_.contains(result->outputLayer.get()))
        addOutput(result->outputLayer);
    sync();
    if (repaint)
        repaint();
}

}  // namespace halvo::plugin
