#pragma once
// The one way from a face's raw choices (paths, names, texts as typed) to a
// RunRequest: one function per concept, each holding its checks and their
// words, so the command line, the dialog and Processing refuse a choice alike.
// What needs the data itself (readable layers, fields, projection, the output
// folder) is checked by the engine when the run starts (model::CheckRequest).

#include "params/run_request.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace halvo::params {

// Throws the plain error a face shows as it is.
[[noreturn]] void Refuse(const std::string& why);

// The layers of one request. A source given twice is one layer; names are made
// unique ("name_2", ...) because the reports find layers by name.
class LayerSet {
public:
    host::LayerPtr add(const std::string& name, const std::filesystem::path& path, const std::string& sourceLayer,
                       host::LayerKind kind);

private:
    std::vector<host::LayerPtr> layers_;
};

struct CoefficientSet {
    std::string name;
    std::vector<ClassLine> classes;
};

// The set `name` of the extension folder's store (empty: its first set).
CoefficientSet StoredSet(const std::filesystem::path& extensionFolder, const std::string& name);
// The set of a comma-separated coefficient file, named after the file. A file
// the reader refuses has been told to the user; this then throws Stopped.
CoefficientSet SetFromFile(const std::filesystem::path& file);
// Why the classes cannot be run (a class ID twice, a coefficient outside
// 0 to 100); empty when they can.
std::string ClassesFault(const std::string& setName, const std::vector<ClassLine>& classes);

// "high", "medium" or "low".
DensityLevel DensityLevelNamed(std::string_view name);
// Per-polygon density from thresholds as typed ("." decimals).
DensityLayer DensityFromText(host::LayerPtr layer, std::string field, const std::string& high, const std::string& low);
// Why the thresholds cannot be used; empty when they can.
std::string ThresholdsFault(double high, double low);

// A scenario row recasting the land inside `layer` as the class given by its
// ID or name in `set`.
Scenario ScenarioOf(int row, host::LayerPtr layer, const std::string& classText, const CoefficientSet& set);

// The coefficient set, density and scenario choices put into `request`.
void SetCoefficients(RunRequest& request, CoefficientSet set);

}  // namespace halvo::params
