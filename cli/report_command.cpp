#include "cli/report_command.h"

#include "model/html_page.h"
#include "model/legend.h"
#include "reports/html_report.h"
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
                    "html writes the output's page, <layer name>.html, beside the reports and prints its path.\n\n"
                    "Example:\n  halvo report prm out/watersheds_is.shp");
    sub.add_option("kind", o.kind, "prm, met or html")->required()->check(CLI::IsMember({"prm", "met", "html"}));
    sub.add_option("shapefile", o.shapefile, "The output shapefile of a run")->required();
}

namespace {

int htmlPage(const fs::path& shp)
{
    std::error_code ec;
    if (!fs::is_regular_file(shp, ec)) {
        std::cerr << "halvo: error: the output '" << shp.string()
                  << "' does not exist: give a run's output shapefile\n";
        return 1;
    }
    const std::string recorded = model::RecordedLayerName(shp);
    const std::string layer =
        !recorded.empty() && reports::LayerNameFault(recorded).empty() ? recorded : shp.stem().string();
    const fs::path page = shp.parent_path() / (layer + ".html");
    if (fs::exists(page, ec) && !reports::IsHtmlReport(page)) {
        std::cerr << "halvo: error: '" << page.string()
                  << "' is not a page halvo wrote, and would be replaced: move it away first\n";
        return 1;
    }
    model::WriteHtmlPage(shp, layer, reports::ReportOf(shp, recorded, "prm"), page);
    std::cout << page.string() << "\n";
    return 0;
}

int Report(const ReportOptions& o)
{
    // Reports are named after the output's layer name, which the run records
    // in the style file beside the shapefile; without that record, or with
    // one that is not a plain name, the layer is taken to be named after the file.
    const fs::path shp(o.shapefile);
    if (o.kind == "html")
        return htmlPage(shp);
    const fs::path report = reports::ReportOf(shp, model::RecordedLayerName(shp), o.kind);
    std::error_code ec;
    if (!fs::exists(report, ec)) {
        std::cerr << "halvo: error: " << shp.string() << " has no "
                  << (o.kind == "prm" ? "parameter report" : "metadata record") << " (" << report.string()
                  << " does not exist)\n";
        return 1;
    }
    std::cout << reports::ReadReport(report);
    return 0;
}

}  // namespace

int ReportCommand(const ReportOptions& o)
{
    try {
        return Report(o);
    } catch (...) {
        std::cerr << "halvo: error: " << support::describe(std::current_exception()).description << "\n";
        return 1;
    }
}

}  // namespace halvo::cli
