#include "cli/report_command.h"

#include "model/legend.h"
#include "reports/report_files.h"
#include "support/error_reporting.h"

#include <iostream>

namespace halvo::cli {

namespace fs = std::filesystem;

void AddReportOptions(CLI::App& sub, ReportOptions& o)
{
    sub.description("Print the parameter report (prm) or metadata record (met) of a run's output.\n"
                    "The report is the file named after the output's layer name (--layer-name of the run,\n"
                    "as recorded in the style file beside the shapefile) in the shapefile's folder.\n\n"
                    "Example:\n  halvo report prm out/watersheds_is.shp");
    sub.add_option("kind", o.kind, "prm or met")->required()->check(CLI::IsMember({"prm", "met"}));
    sub.add_option("shapefile", o.shapefile, "The output shapefile of a run")->required();
}

int ReportCommand(const ReportOptions& o)
{
    // Reports are named after the output's layer name, which the run records
    // in the style file beside the shapefile; without that record, or with
    // one that is not a plain name, the layer is taken to be named after the file.
    const fs::path shp(o.shapefile);
    const fs::path report = reports::ReportOf(shp, model::RecordedLayerName(shp), o.kind);
    std::error_code ec;
    if (!fs::exists(report, ec)) {
        std::cerr << "halvo: error: " << shp.string() << " has no "
                  << (o.kind == "prm" ? "parameter report" : "metadata record") << " (" << report.string()
                  << " does not exist)\n";
        return 1;
    }
    try {
        std::cout << reports::ReadReport(report);
        return 0;
    } catch (...) {
        std::cerr << "halvo: error: " << support::describe(std::current_exception()).description << "\n";
        return 1;
    }
}

}  // namespace halvo::cli
