#pragma once
// `halvo coefficients`: the coefficient sets of the store etc/isprops.xml from
// the command line, on the same procedures and with the same messages as the
// coefficient editor:
//   list | show NAME | import FILE --name NAME | export NAME FILE | merge FILE

#include <CLI/CLI.hpp>

#include <string>

namespace halvo::cli {

struct CoefficientsOptions {
    std::string name;  // show, import (--name), export
    std::string file;  // import, export, merge
    double wait = -1;  // seconds to wait for another change to the store; below 0: without end
};

// Declares the five subcommands on `sub`.
void AddCoefficientsOptions(CLI::App& sub, CoefficientsOptions& o);

// Runs the subcommand `sub` got; the exit status, 0 only when it did all it was asked.
int CoefficientsCommand(const CLI::App& sub, const CoefficientsOptions& o);

}  // namespace halvo::cli
