#pragma once
// The page of a run's output (`<layer>.html`), made from the output and its
// parameter report, by the run or afterwards.

#include <filesystem>
#include <string>

namespace halvo::model {

// Writes the page of the output `shapefile` to `page`, with the parameters
// of `parameterReport` when it exists. Throws support::Error naming the file
// that could not be read or written.
void WriteHtmlPage(const std::filesystem::path& shapefile, const std::string& layerName,
                   const std::filesystem::path& parameterReport, const std::filesystem::path& page);

}  // namespace halvo::model
