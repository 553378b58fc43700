#pragma once
// Finding and reading the reports of earlier runs.

#include "host/map.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace halvo::reports {

// (layer name, folder) of each top-level feature layer, in map order, whose
// folder holds "<layer name>.<fileType>" beside the layer's data.
std::vector<std::pair<std::string, std::filesystem::path>> GetReportLayers(const host::Map& map,
                                                                           const std::string& fileType);

// A report's text; older reports in an 8-bit code page are read as
// Windows-1252. Throws support::Error naming the file when it cannot be read
// or is not a regular file.
std::string ReadReport(const std::filesystem::path& path);

}  // namespace halvo::reports
