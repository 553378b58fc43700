#pragma once
// The two text reports written beside a run's output: the parameter report
// (.prm) and the metadata record (.met).

#include "reports/report_inputs.h"

#include <filesystem>
#include <string>

namespace halvo::reports {

// Writes the parameter report to `path`, replacing any file there. Throws
// support::Error when the file cannot be written; lines already written stay.
void WriteParameterReport(const std::filesystem::path& path, const ReportInputs& inputs);

// Writes the metadata record to `path`, replacing any file there. Throws like
// WriteParameterReport.
void WriteMetadataReport(const std::filesystem::path& path, const ReportInputs& inputs);

// The run's last reporting stage: `<folder>/<layer>.prm`, then `<folder>/<layer>.met`.
// A failure throws, its report starting at the run driver's own stage
// (isWriteMetadata), and a .met is not attempted after a failed .prm.
// Returns true (the run still tests it).
bool WriteRunReports(const std::filesystem::path& outputFolder, const std::string& outputLayerName,
                     const ReportInputs& inputs);

}  // namespace halvo::reports
