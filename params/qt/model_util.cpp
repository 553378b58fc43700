#include "params/qt/model_util.h"

#include "support/error_reporting.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace halvo::params {

namespace {
}

QString Qs(const std::string& s) { return QString::fromStdString(s); }
std::string Ss(const QString& s) { return s.toStdString(); }

std::string SelectedText(const QComboBox& list)
{
    return list.currentIndex() < 0 ? std::string() : Ss(list.currentText());
}

bool GetFThemes(const host::Layer& layer, const MapSource& map, int filter)
{
    if (layer.kind != host::LayerKind::Feature || map.shapeType(layer) != 4)
        return false;
    if (filter == 0)
        return true;
    if (filter != 1 && filter != 2)
        return false;
    for (const host::FieldDef& f : map.fields(layer)) {
        const int t = f.type;
        if (filter == 1 &&
            (t == host::kSmallInteger || t == host::kInteger || t == host::kSingle || t == host::kDouble))
            return true;
        if (filter == 2 &&
            (t == host::kSmallInteger || t == host::kInteger || t == host::kDouble || t == host::kString))
            return true;
    }
    return false;
}

std::vector<LayerEntry> GetLayerIndex(std::string_view kind, MapSource& map, int filter)
{
    std::vector<LayerEntry> out;
    const auto& layers = map.focusMap().layers;
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const host::Layer& l = *layers[i];
        bool take = false;
        if (kind == kRasterLayer)
            take = l.kind == host::LayerKind::Raster && map.isValid(l);
        else if (kind == kFeatureLayer)
            take = l.kind == host::LayerKind::Feature && map.isValid(l) && GetFThemes(l, map, filter);
        if (take)
            out.push_back({l.name, static_cast<int>(i)});
    }
    return out;
}

void CheckLayers(QComboBox& list, std::string_view kind, MapSource& map, int filter, QWidget* run)
{
    const QSignalBlocker quiet(list);
    list.clear();
    if (map.focusMap().layers.empty()) {
        if (run)
            run->setEnabled(false);
        return;
    }
    for (const LayerEntry& e : GetLayerIndex(kind, map, filter)) {
        list.addItem(Qs(e.name), e.position);
        list.setCurrentIndex(0);
    }
    if (run)
        run->setEnabled(true);
}

bool FieldListed(int type, int filter)
{
    switch (filter) {
    case 0: return true;
    case 1:
        return type == host::kSmallInteger || type == host::kInteger || type == host::kSingle || type == host::kDouble;
    case 2: return type == host::kSmallInteger || type == host::kInteger || type == host::kString;
    default: return type == host::kString;
    }
}

void LoadFldsCombobox(QComboBox& list, const std::string& layerName, MapSource& map, int filter)
{
    const QSignalBlocker quiet(list);
    list.clear();
    if (layerName.empty())
        return;
    const host::LayerPtr layer = host::FindLayer(layerName, map.focusMap());
    if (!layer)
        return;
    for (const host::FieldDef& f : map.fields(*layer))
        if (FieldListed(f.type, filter))
            list.addItem(Qs(f.name));
    list.setCurrentIndex(-1);
}

void LoadLCTypeCombobox(QComboBox& list, const coefficients::CoeffStore& store)
{
    list.clear();
    for (const coefficients::CoeffSet& set : store.ISLCDefs)
        list.addItem(Qs(set.LCType));
}

void SetDefaultLCUnits(QComboBox& units, const host::Map& map)
{
    QString want;
    if (map.units == host::kUnitsFeet)
        want = QStringLiteral("Feet");
    else if (map.units == host::kUnitsMeters)
        want = QStringLiteral("Meters");
    else
        return;
    for (int i = 0; i < units.count(); ++i)
        if (units.itemData(i).toString().compare(want, Qt::CaseInsensitive) == 0)
            units.setCurrentIndex(i);
}

QString ThemeNameOf(const QString& outputPath)
{
    QString s = outputPath;
    if (s.endsWith(QStringLiteral(".shp"), Qt::CaseSensitive))
        s.chop(4);
    const int slash = s.lastIndexOf(QLatin1Char('/'));
    return slash >= 0 ? s.mid(slash + 1) : s;
}

void SetThemeName(const QString& outputPath, QLineEdit& themeName) { themeName.setText(ThemeNameOf(outputPath)); }

QString WithShpExtension(const QString& text)
{
    if (text.right(3).toLower() == QStringLiteral("shp"))
        return text;
    return text + (text.endsWith(QLatin1Char('.')) ? QStringLiteral("shp") : QStringLiteral(".shp"));
}

}  // namespace halvo::params
