#pragma once
// Splits the analysis zones by population density: each piece of the
// intersection with the density layer gets its analysis value followed by "#"
// and a digit, 1 High, 2 Medium, 3 Low.

#include "host/map.h"

#include <filesystem>
#include <optional>
#include <string>

namespace halvo::model {

// The zones cut by the density layer, each piece coded in `field`.
struct DensityPieces {
    host::LayerPtr layer;
    std::string field;
};

// Nothing for layers in differently named spatial references. Other
// failures throw with their cause.
std::optional<DensityPieces> SplitByDensity(const host::Layer& densityLayer, const std::string& densityField,
                                            double high, double low, const host::Layer& analysisLayer,
                                            const std::string& analysisField, const std::filesystem::path& scratch);

// The density digit for a density value and the two thresholds; both bounds inclusive, High first.
char DensityDigit(double density, double high, double low);

}  // namespace halvo::model
