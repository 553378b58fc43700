// The comma-separated coefficient import on any bytes. A file that imports
// gives classes within the rules, and the new set survives the store's save
// and an export followed by a second import.

#include "fuzz_support.h"

#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "coefficients/number_text.h"
#include "support/ext_folder.h"

#include <cmath>

using namespace halvo;
using namespace halvo::coefficients;
namespace fs = std::filesystem;

namespace {

bool Close(float a, float b) { return a == b || std::fabs(a - b) <= 1e-6f * std::max(std::fabs(a), std::fabs(b)); }

bool InRange(float v) { return std::isfinite(v) && v >= 0 && v <= 100; }

// The name as the store gives it back: texts are read without surrounding white space.
std::string StoredName(const std::string& name) { return std::string(TrimSpace(name.c_str())); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fs::path csv = fuzz::Scratch() / "coefficients.csv";
    fuzz::WriteBytes(csv, fuzz::AsText(data, size));
    fuzz::Ui().reset();

    CoverClasses classes;
    const bool ok = ReadCoeffLines(csv.string(), classes);
    if (!ok) {
        fuzz::Check(fuzz::Ui().messages == 1 && fuzz::Ui().lastTitle == "Coefficient Import Unsuccessful",
                    "a bad line is told once, under the import title");
        fuzz::Check(fuzz::Ui().lastText.find(csv.string()) != std::string::npos, "the message names the file");
        return 0;
    }
    fuzz::Check(fuzz::Ui().messages == 0, "a good file shows nothing");
    for (const CoverClass& c : classes) {
        fuzz::Check(c.ID >= 0, "class IDs are not negative");
        fuzz::Check(InRange(c.LCHigh) && InRange(c.LCMed) && InRange(c.LCLow), "coefficients lie in 0..100");
    }

    // Import into a fresh store: saved, it loads back with the same classes.
    const fs::path store = support::StorePath(fuzz::Extension());
    fuzz::WriteBytes(store, "<ISModelProperties><ISLCDefs/></ISModelProperties>");
    CoeffStore model;
    fuzz::Check(GetISModelProperties(model, store), "the empty store loads");
    const std::string name = ImportCoeffsFromFile(
        model, csv.string(), fuzz::Extension(),
        [](std::string_view, std::string_view, std::string_view) { return std::string("Fuzzed"); });
    fuzz::Check(name == "Fuzzed" && fuzz::Ui().messages == 0 && fuzz::Ui().reports == 0,
                "a good file imports and saves without a message");
    CoeffStore reloaded;
    fuzz::Check(GetISModelProperties(reloaded, store), "the store an import saved loads again");
    const CoeffSet* set = FindSet(reloaded, "Fuzzed");
    fuzz::Check(set && set->LCClasses.Count() == classes.Count(), "the imported set keeps its classes");
    auto j = set->LCClasses.begin();
    for (const CoverClass& c : classes) {
        const CoverClass& d = *j;
        ++j;
        fuzz::Check(c.ID == d.ID && StoredName(c.LCName) == d.LCName, "IDs and names survive the store");
        fuzz::Check(Close(c.LCHigh, d.LCHigh) && Close(c.LCMed, d.LCMed) && Close(c.LCLow, d.LCLow),
                    "coefficients survive the store");
    }

    // Export and import again: the same classes.
    const fs::path exported = fuzz::Scratch() / "exported.csv";
    fuzz::Check(ExportCoeffsToFile(model, exported.string(), "Fuzzed"), "an imported set exports");
    CoverClasses again;
    fuzz::Check(ReadCoeffLines(exported.string(), again), "an exported set imports");
    fuzz::Check(again.Count() == classes.Count(), "export and import keep the number of classes");
    auto k = again.begin();
    for (const CoverClass& c : classes) {
        const CoverClass& d = *k;
        ++k;
        fuzz::Check(c.ID == d.ID && c.LCName == d.LCName, "export and import keep IDs and names");
        fuzz::Check(Close(c.LCHigh, d.LCHigh) && Close(c.LCMed, d.LCMed) && Close(c.LCLow, d.LCLow),
                    "export and import keep the coefficients");
    }
    return 0;
}
