#pragma once
// The output's three-class legend on "pctIS", kept as a QGIS style file beside
// the shapefile so the layer opens drawn the same way wherever it is loaded.

#include "host/map.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace halvo::model {

struct LegendClass {
    double upper;  // inclusive upper break
    const char* label;
    int r, g, b;
};

// The breaks, labels and colours of the legend, lowest class first.
const LegendClass (&LegendClasses())[3];

// (field name, display alias) of the output's attribute fields, in field order.
using FieldAliases = std::vector<std::pair<std::string, std::string>>;

// Writes the style to `qmlPath`, with display aliases for the fields, and
// records `layerName` (the output layer's name, after which its reports are
// named) as a custom property that QGIS does not apply.
void WriteLegendStyle(const std::filesystem::path& qmlPath, const FieldAliases& aliases,
                      const std::string& layerName = {});

// The layer name a run recorded in the style file beside the output `shp`;
// empty when there is no style file or it records none.
std::string RecordedLayerName(const std::filesystem::path& shp);

// The output layer's style file, "<shapefile>.qml".
void WriteLegend(const host::Layer& outputLayer);

}  // namespace halvo::model
