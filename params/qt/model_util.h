#pragma once
// The list and output-name procedures shared by the analysis dialogs.

#include "coefficients/coefficient_sets.h"
#include "params/qt/map_source.h"
#include "support/qt/qt_ui.h"

#include <QString>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QComboBox;
class QLineEdit;
class QWidget;

namespace halvo::params {

inline constexpr std::string_view kRasterLayer = "RasterLayer";
inline constexpr std::string_view kFeatureLayer = "FeatureLayer";

// Field filters: 0 any field, 1 numeric, 2 groups polygons (integers, text;
// doubles qualify a layer but are not listed).
struct LayerEntry {
    std::string name;
    int position;  // in the map's top level
};

// True when a feature layer is a polygon layer with a field that passes `filter`.
bool GetFThemes(const host::Layer& layer, const MapSource& map, int filter);

// The qualifying top-level layers of `kind`, in map order.
std::vector<LayerEntry> GetLayerIndex(std::string_view kind, MapSource& map, int filter);

// Refills `list` with the qualifying layers (position as item data), the first
// selected; `run` is disabled when the map has no layers, enabled otherwise.
void CheckLayers(QComboBox& list, std::string_view kind, MapSource& map, int filter, QWidget* run);

// Whether a field of this type is listed under `filter`.
bool FieldListed(int type, int filter);

// Refills `list` with the listed fields of the named layer; nothing selected.
void LoadFldsCombobox(QComboBox& list, const std::string& layerName, MapSource& map, int filter);

// The coefficient set names, in store order.
void LoadLCTypeCombobox(QComboBox& list, const coefficients::CoeffStore& store);

// Preselects "Feet" or "Meters" after the map's units; other units select nothing.
void SetDefaultLCUnits(QComboBox& units, const host::Map& map);

// The layer name an output path gives: without ".shp", after the last "/".
QString ThemeNameOf(const QString& outputPath);
void SetThemeName(const QString& outputPath, QLineEdit& themeName);

// "roads" and "roads." become "roads.shp"; a name ending in "shp" in any case stays.
QString WithShpExtension(const QString& text);

using support::Handle;

// The item's text, or empty when nothing is selected.
std::string SelectedText(const QComboBox& list);
QString Qs(const std::string& s);
std::string Ss(const QString& s);

}  // namespace halvo::params
