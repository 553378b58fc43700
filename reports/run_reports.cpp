#include "reports/run_reports.h"

#include "support/error_reporting.h"

namespace halvo::reports {

bool WriteRunReports(const std::filesystem::path& outputFolder, const std::string& outputLayerName,
                     const ReportInputs& inputs)
{
    // Reported under the run driver's name: to the user this is one of its stages.
    const support::Procedure frame("isWriteMetadata", "clsISExecuteModel", support::Shown::Here);
    WriteParameterReport(outputFolder / (outputLayerName + ".prm"), inputs);
    WriteMetadataReport(outputFolder / (outputLayerName + ".met"), inputs);
    return true;
}

}  // namespace halvo::reports
