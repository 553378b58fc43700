#pragma once
// Splits the analysis zones by population density: each piece of the
// intersection with the density layer gets its analysis value followed by "#"
// and a digit, 1 High, 2 Medium, 3 Low.

#include "host/map.h"

#include <filesystem>
#include <string>

namespace halvo::model {

class clsPopulationDensity {
public:
    // True on success; false (after a report, or silently for layers in
    // differently named spatial references) otherwise.
    bool DensityCalculation(const host::Layer& PopDensityTheme, const std::string& popDSFldName,
                            const std::string& popDHigh, const std::string& popDLow, const host::Layer& Analysis_Theme,
                            const std::string& Analysis_FieldName, host::Map& pMap,
                            const std::filesystem::path& pWKSP);

    host::LayerPtr NewAnalysisTheme() const { return newTheme_; }
    std::string NewAnalysisFieldName() const { return newFieldName_; }

private:
    host::LayerPtr newTheme_;
    std::string newFieldName_;
};

// The density digit for a density value and the two thresholds; both bounds inclusive, High first.
char DensityDigit(double density, double high, double low);

}  // namespace halvo::model
