#pragma once
// Reads model_params.txt, the keyed file through which a run receives its
// settings: "KEY#value" lines, with CLASS and DS lines collected in tables.

#include "support/ordered_dict.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace halvo::params {

// 0-based: a class is [0] name, [1] High, [2] Medium, [3] Low; a scenario is
// [0] layer, [1] class name, [2] class ID. All as text, as written.
using TextList = std::vector<std::string>;
using TextTable = support::OrderedDict<TextList>;

class ParameterReader {
public:
    // Values of the plain keys; "" for a key the file did not hold.
    std::string AnalysisTheme() const { return Value("ANALYSISTHEME"); }
    std::string AnalysisFieldName() const { return Value("ANALYSISUNIT"); }
    std::string lcTheme() const { return Value("LCTHEME"); }
    std::string LCUnits() const { return Value("LCUNITS"); }
    std::string PopulationDensity() const { return Value("POPDENSITY"); }
    std::string PopDensityTheme() const { return Value("POPDENSITYTHEME"); }
    std::string PopDensityFldName() const { return Value("POPDENSITYFLD"); }
    std::string PopDensityHigh() const { return Value("POPDENSITYHIGH"); }
    std::string PopDensityLow() const { return Value("POPDENSITYLOW"); }
    // Class ID text -> class; the tables themselves, not copies.
    TextTable& LandClasses() { return landClasses_; }
    const TextTable& LandClasses() const { return landClasses_; }
    // Scenario row number text -> scenario.
    TextTable& DevScenarios() { return devScenarios_; }
    const TextTable& DevScenarios() const { return devScenarios_; }
    std::string OutThemeName() const { return Value("OUTTHEMENAME"); }

    // Reads `file` (any path) on top of what is loaded; throws at a bad line or
    // an unreadable file, keeping the lines before it.
    void read(const std::filesystem::path& file);

    // Any plain key, including those without an accessor (VIEW, OUTTHEME,
    // POPDENSITYMED).
    std::string Value(std::string_view key) const;

private:
    static TextList ParamCol(const std::vector<std::string>& fields);

    support::OrderedDict<std::string> plain_;
    TextTable landClasses_;
    TextTable devScenarios_;
};

}  // namespace halvo::params
