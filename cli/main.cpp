// halvo: the engine without the desktop, for scripts, batches and servers.

#include "cli/coefficients_command.h"
#include "cli/report_command.h"
#include "cli/run_command.h"
#include "host/gdal_env.h"
#include "support/ext_folder.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <sstream>

namespace {

// A list of subcommands shows the first line of each description; the
// subcommand's own --help has the rest, examples included.
class FirstLineFormatter : public CLI::Formatter {
public:
    std::string make_subcommand(const CLI::App* sub) const override
    {
        const std::string& description = sub->get_description();
        std::stringstream out;
        CLI::detail::format_help(out, sub->get_display_name(true), description.substr(0, description.find('\n')),
                                 get_column_width());
        return out.str();
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const halvo::host::QuietGdal quiet;  // failures are told with their cause, once
    CLI::App app{"Halvo: impervious surface per zone from land cover and coefficients"};
    app.formatter(std::make_shared<FirstLineFormatter>());
    app.require_subcommand(1);
    // Which folder a run would use matters as much as the version: installed, it is per user.
    app.set_version_flag("--version", [] {
        return std::string("halvo ") + HALVO_VERSION +
               "\nextension folder: " + halvo::support::ExtensionFolder().string();
    });

    halvo::cli::RunOptions run;
    auto* runCmd = app.add_subcommand("run", "Run an impervious surface analysis");
    halvo::cli::AddRunOptions(*runCmd, run);

    halvo::cli::CoefficientsOptions coefficients;
    auto* coefficientsCmd = app.add_subcommand("coefficients", "List, show, import, export and merge coefficient sets");
    halvo::cli::AddCoefficientsOptions(*coefficientsCmd, coefficients);

    halvo::cli::ReportOptions report;
    auto* reportCmd = app.add_subcommand(
        "report", "Print the parameter report or metadata record of a run's output, or write its page");
    halvo::cli::AddReportOptions(*reportCmd, report);

    CLI11_PARSE(app, argc, argv);
    if (*runCmd) {
        // Said here, before the missing store it would otherwise look like.
        const std::string fault = halvo::support::ExtensionFolderFault(halvo::support::ExtensionFolder());
        if (!fault.empty()) {
            std::cerr << "halvo: error: " << fault << "\n";
            return 1;
        }
        return halvo::cli::RunCommand(run);
    }
    if (*coefficientsCmd)
        return halvo::cli::CoefficientsCommand(*coefficientsCmd, coefficients);
    if (*reportCmd)
        return halvo::cli::ReportCommand(report);
    return 2;
}
