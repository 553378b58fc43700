#pragma once
// Writes model_params.txt from the values a run is started with.

#include "coefficients/coefficient_sets.h"
#include "params/run_parameters.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace halvo::params {

// Writes `file`, CR LF, as WriteParamsToFile does; throws when it cannot.
void SaveParameterFile(const RunParameters& params, const std::filesystem::path& file);

// Writes workingDirectory/fileName, CR LF: the plain keys, the density lines
// only for code 3, a DS line for each applied scenario row (under its own row
// number) and a CLASS line for each class; when a value holds what the
// format cannot ("#", a line break, non-UTF-8 text) the file starts with the
// escape line and every value is escaped (params/param_escape.h), so the
// reader gives back exactly what was written. False when the folder is missing
// (told in a message box); a failed write throws, and its report starts at
// WriteParamsToFile.
bool WriteParamsToFile(const RunParameters& params, const std::string& workingDirectory, const std::string& fileName);

// The classes of one set, in set order.
std::vector<ClassLine> ClassLinesOf(const coefficients::CoeffSet& set);

}  // namespace halvo::params
