// The coefficient set a run takes from the store: exactly the one named, and
// never one that holds a class ID twice.

#include "support/run_case.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {
constexpr double X0 = 1500000, Y0 = 1600000, S = 100;

std::string Set(const std::string& name, const std::string& classes)
{
    return "<ISLCDef><LCType>" + name + "</LCType><LCClasses>" + classes + "</LCClasses></ISLCDef>";
}
std::string Class(int id, const std::string& name, double high)
{
    const std::string h = std::to_string(high);
    return "<LCClass ID='" + std::to_string(id) + "'><LCName>" + name + "</LCName><LCHigh>" + h + "</LCHigh><LCMed>" +
           h + "</LCMed><LCLow>" + h + "</LCLow></LCClass>";
}
}  // namespace

TEST(RunSets, ASetWithAClassIdTwiceIsRefusedNamingSetAndId)
{
    RunCase rc;
    const auto lc = rc.raster("lc", 2, 2, X0, Y0, S, S, {21, 21, 41, 41});
    const auto zones = rc.polygons("zones", "NAME", true, {{CellBox(X0, Y0, S, 0, 0, 2, 2), "A"}});
    std::ofstream(rc.path() / "etc/isprops.xml", std::ios::binary)
        << "<ISModelProperties><ISLCDefs>"
        << Set("Twice", Class(21, "Developed", 80) + Class(41, "Forest", 2) + Class(21, "Developed again", 10))
        << Set("Same", Class(21, "Developed", 50) + Class(41, "Forest", 0))
        << Set("Same", Class(21, "Developed", 100) + Class(41, "Forest", 100)) << "</ISLCDefs></ISModelProperties>";
    const std::string args = "run --landcover " + lc.string() + " --analysis " + zones.string() +
                             " --field NAME --density high --output ";

    const auto twice = rc.halvo(args + (rc.data() / "twice.shp").string() + " --coefficients Twice");
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("The coefficient set 'Twice' holds the class ID 21 more than once"), std::string::npos)
        << twice.err;
    EXPECT_FALSE(fs::exists(rc.data() / "twice.shp"));

    // Of two sets of one name, the first: half the cells at 50 %, none mixed in from the second.
    const auto same = rc.halvo(args + (rc.data() / "same.shp").string() + " --coefficients Same");
    ASSERT_EQ(same.status, 0) << same.err;
    EXPECT_NEAR(rc.read(rc.data() / "same.shp", "NAME").at("A").pct, 25.0, 1e-6);
}
