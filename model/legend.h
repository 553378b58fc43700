#pragma once
// The output's three-class legend on "pctIS", kept as a QGIS style file beside
// the shapefile so the layer opens drawn the same way wherever it is loaded.

#include "host/map.h"

#include <filesystem>
#include <map>
#include <string>

namespace halvo::model {

struct LegendClass {
    double upper;        // inclusive upper break
    const char* label;
    int r, g, b;
};

// The breaks, labels and colours of the legend, lowest class first.
const LegendClass (&LegendClasses())[3];

// Writes the style to `qmlPath`, with display aliases for the fields.
void WriteLegendStyle(const std::filesystem::path& qmlPath, const std::map<std::string, std::string>& aliases);

// The output layer's style file, "<shapefile>.qml".
void isUpdateLegend(const host::Layer& outputLayer);

}  // namespace halvo::model
