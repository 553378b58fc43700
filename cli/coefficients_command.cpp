#include "cli/coefficients_command.h"

#include "cli/terminal_ui.h"
#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/folder_lock.h"
#include "support/ui.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace halvo::cli {

namespace fs = std::filesystem;
using namespace coefficients;

void AddCoefficientsOptions(CLI::App& sub, CoefficientsOptions& o)
{
    sub.description("Manage the coefficient sets of the store etc/isprops.xml in the extension folder\n"
                    "(halvo --version names it).\n"
                    "Comma-separated files hold one class a line: Value,ClassName,High,Medium,Low.");
    sub.require_subcommand(1);
    // --wait may follow the subcommand too.
    sub.fallthrough();
    sub.add_option("--wait", o.wait,
                   "Seconds to wait for another change to the store to finish before giving up\n"
                   "(default: until it finishes)")
        ->check(CLI::NonNegativeNumber);
    sub.add_subcommand("list", "Print the names of the coefficient sets, one a line");
    sub.add_subcommand("show", "Print a coefficient set as comma-separated lines")
        ->add_option("NAME", o.name, "Coefficient set")
        ->required();
    auto* import = sub.add_subcommand("import", "Read a comma-separated file into a new coefficient set");
    import->add_option("FILE", o.file, "Comma-separated coefficient file")->required();
    import->add_option("--name", o.name, "Name of the new set; must not be taken")->required();
    auto* exp = sub.add_subcommand("export", "Write a coefficient set to a comma-separated file");
    exp->add_option("NAME", o.name, "Coefficient set")->required();
    exp->add_option("FILE", o.file, "File to write; an existing one is replaced")->required();
    sub.add_subcommand("merge", "Add every set of another store file; a taken name gets \"2\" appended")
        ->add_option("FILE", o.file, "Store file (isprops.xml layout)")
        ->required();
}

namespace {

void Fail(const std::string& text) { support::MsgBox(text, support::Buttons::OK, support::Icon::Critical); }

bool LoadStore(CoeffStore& model, const fs::path& ext)
{
    if (GetISModelProperties(model, support::StorePath(ext)))
        return true;
    Fail(StoreLoadFailedText(ext));
    return false;
}

bool Readable(const std::string& file)
{
    // A regular file only: opening a FIFO would wait for a writer.
    std::error_code ec;
    if (fs::is_regular_file(file, ec) && std::ifstream(file, std::ios::binary))
        return true;
    Fail("The file '" + file + "' cannot be read.");
    return false;
}

const CoeffSet* NamedSet(const CoeffStore& model, const std::string& name)
{
    const CoeffSet* set = FindSet(model, name);
    if (!set)
        Fail("Coefficient Set '" + name + "' is not defined.");
    return set;
}

int Run(const CLI::App& sub, const CoefficientsOptions& o)
{
    const fs::path ext = support::ExtensionFolder();
    if (const std::string fault = support::ExtensionFolderFault(ext); !fault.empty()) {
        Fail(fault);
        return 1;
    }
    CoeffStore model;
    // Import and merge make the first store; the rest need one.
    std::error_code ec;
    const bool makesStore = sub.got_subcommand("import") || sub.got_subcommand("merge");
    if (!(makesStore && !fs::exists(support::StorePath(ext), ec)) && !LoadStore(model, ext))
        return 1;

    if (sub.got_subcommand("list")) {
        for (const CoeffSet& set : model.ISLCDefs)
            std::cout << set.LCType << "\n";
        return 0;
    }
    if (sub.got_subcommand("show")) {
        const CoeffSet* set = NamedSet(model, o.name);
        if (!set)
            return 1;
        std::cout << kCoeffHeader << "\n";
        for (const CoverClass& c : set->LCClasses)
            std::cout << CsvLine(c) << "\n";
        return 0;
    }
    if (sub.got_subcommand("import")) {
        if (!Readable(o.file))
            return 1;
        // The prompt is asked again after a taken name; the second answer is Cancel.
        bool asked = false;
        const TextPrompt byOption = [&](std::string_view, std::string_view, std::string_view) {
            const bool first = !asked;
            asked = true;
            return first ? o.name : std::string();
        };
        return ImportCoeffsFromFile(model, o.file, ext, byOption).empty() ? 1 : 0;
    }
    if (sub.got_subcommand("export")) {
        if (!NamedSet(model, o.name))
            return 1;
        return ExportCoeffsToFile(model, o.file, o.name) ? 0 : 1;
    }
    if (sub.got_subcommand("merge")) {
        if (!Readable(o.file))
            return 1;
        const MergeResult merged = MergeStoreFile(model, o.file, ext);
        for (const std::string& name : merged.added)
            std::cout << name << "\n";
        return merged.refused ? 1 : 0;
    }
    return 2;
}

}  // namespace

int CoefficientsCommand(const CLI::App& sub, const CoefficientsOptions& o)
{
    TerminalUi terminal(false);
    support::UiScope scope(terminal);
    support::SetLockWaitSeconds(o.wait);
    try {
        const int status = Run(sub, o);
        terminal.endLine();
        return status;
    } catch (...) {
        // The one place this command turns a failure into what it says: the
        // report of the procedure that failed, or the plain cause.
        terminal.endLine();
        const support::Caught c = support::describe(std::current_exception());
        if (c.kind == support::Failure::Failed)
            terminal.showCallStack(support::ReportText(c, "CoefficientsCommand", "halvo"));
        else
            std::cerr << "halvo: error: " << c.description << "\n";
        return 1;
    }
}

}  // namespace halvo::cli
