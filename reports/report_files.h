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

// What keeps `name` from naming a layer's report files (a path, a control
// character, nothing at all), as a message naming the fix; "" when it can.
std::string LayerNameFault(const std::string& name);

// The `fileType` report ("prm" or "met") of a run's output shapefile: named
// after the layer name the run recorded when that is a plain name and the
// report exists, else after the shapefile itself. The file may not exist.
std::filesystem::path ReportOf(const std::filesystem::path& shapefile, const std::string& recordedLayerName,
                               const std::string& fileType);

// A report's text; older reports in an 8-bit code page are read as
// Windows-1252. Throws support::Error naming the file when it cannot be read
// or is not a regular file.
std::string ReadReport(const std::filesystem::path& path);

}  // namespace halvo::reports
