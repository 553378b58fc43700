// The coefficient store loader on any bytes. A store that loads, saved and
// loaded again, holds the same sets; a second save writes the same bytes.

#include "fuzz_support.h"

#include "coefficients/coefficient_sets.h"
#include "coefficients/model_store.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"

#include <cmath>

using namespace halvo;
using namespace halvo::coefficients;
namespace fs = std::filesystem;

namespace {

// Saved values are cut to 7 significant digits, so a value may move by that much once.
bool Close(float a, float b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return a == b || std::fabs(a - b) <= 1e-6f * std::max(std::fabs(a), std::fabs(b));
}

void SameSets(const CoeffStore& a, const CoeffStore& b, bool exact)
{
    fuzz::Check(a.ISLCDefs.Count() == b.ISLCDefs.Count(), "the number of sets survives a save");
    auto j = b.ISLCDefs.begin();
    for (const CoeffSet& s : a.ISLCDefs) {
        const CoeffSet& t = *j;
        ++j;
        fuzz::Check(s.LCType == t.LCType, "a set name survives a save");
        fuzz::Check(s.LCClasses.Count() == t.LCClasses.Count(), "the number of classes survives a save");
        auto k = t.LCClasses.begin();
        for (const CoverClass& c : s.LCClasses) {
            const CoverClass& d = *k;
            ++k;
            fuzz::Check(c.ID == d.ID && c.LCName == d.LCName, "a class ID and name survive a save");
            const bool same = exact ? (c.LCHigh == d.LCHigh || (std::isnan(c.LCHigh) && std::isnan(d.LCHigh))) &&
                                          (c.LCMed == d.LCMed || (std::isnan(c.LCMed) && std::isnan(d.LCMed))) &&
                                          (c.LCLow == d.LCLow || (std::isnan(c.LCLow) && std::isnan(d.LCLow)))
                                    : Close(c.LCHigh, d.LCHigh) && Close(c.LCMed, d.LCMed) && Close(c.LCLow, d.LCLow);
            fuzz::Check(same, "coefficients survive a save");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::AsText(data, size);
    fuzz::Ui().reset();

    // The XML property of each element class on the raw text: a faulty class
    // throws support::Error, anything else is taken or ignored.
    auto load = [&](auto element) {
        try {
            element.XML(text);
            (void)element.XML();
        } catch (const support::Error&) {
        }
    };
    load(CoverClass{});
    load(CoverClasses{});
    load(CoeffSet{});
    load(CoeffSets{});

    // The input once more as a set name nested up to the depth limit, so short
    // inputs reach it too: loading may fail but never run out of stack, and a
    // store that loads holds nothing deeper than the limit.
    {
        std::string wrapped = "<I><ISLCDefs><ISLCDef><LCType>";
        for (int i = 5; i < kMaxStoreDepth; ++i)
            wrapped += "<b>";
        wrapped.append(text);
        for (int i = 5; i < kMaxStoreDepth; ++i)
            wrapped += "</b>";
        wrapped += "</LCType></ISLCDef></ISLCDefs></I>";
        load(CoeffStore{});
        CoeffStore deep;
        try {
            deep.XML(wrapped);
        } catch (const support::Error&) {
        }
    }

    const fs::path store = support::StorePath(fuzz::Extension());
    fuzz::WriteBytes(store, text);
    CoeffStore first;
    if (!GetISModelProperties(first, store))
        return 0;
    fuzz::Check(fuzz::Ui().reports == 0, "a store that loads reports nothing");

    PutISModelProperties(first, fuzz::Extension());  // a loaded store saves, or throws
    CoeffStore second;
    fuzz::Check(GetISModelProperties(second, store), "a saved store loads");
    SameSets(first, second, false);

    // Cut values settle after one save: from then on saving is byte for byte stable.
    PutISModelProperties(second, fuzz::Extension());  // a reloaded store saves, or throws
    const std::string savedAgain = fuzz::ReadBytes(store);
    CoeffStore third;
    fuzz::Check(GetISModelProperties(third, store), "a store saved twice loads");
    SameSets(second, third, true);
    PutISModelProperties(third, fuzz::Extension());  // a store loaded twice saves, or throws
    fuzz::Check(fuzz::ReadBytes(store) == savedAgain, "saving a reloaded store writes the same bytes");
    return 0;
}
