// halvo: the engine without the desktop, for scripts, batches and servers.

#include "cli/run_command.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv)
{
    CLI::App app{"Halvo: impervious surface per zone from land cover and coefficients"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "halvo 0.1.0");

    halvo::cli::RunOptions run;
    auto* runCmd = app.add_subcommand("run", "Run an impervious surface analysis");
    halvo::cli::AddRunOptions(*runCmd, run);

    CLI11_PARSE(app, argc, argv);
    if (*runCmd)
        return halvo::cli::RunCommand(run);
    return 2;
}
