#pragma once
// `halvo report prm|met PATH.shp`: prints the report a run left beside its output;
// `halvo report html PATH.shp` writes its page.

#include <CLI/CLI.hpp>

#include <string>

namespace halvo::cli {

struct ReportOptions {
    std::string kind;  // "prm", "met" or "html"
    std::string shapefile;
};

void AddReportOptions(CLI::App& sub, ReportOptions& o);
int ReportCommand(const ReportOptions& o);

}  // namespace halvo::cli
