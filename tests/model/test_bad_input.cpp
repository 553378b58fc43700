// Options the halvo program refuses before a run: each gets a message naming
// what is wrong, a non-zero exit, no output and an empty temporary workspace.
// (What the engine itself refuses is checked on CheckRequest in tests/stages.)

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
std::string Class(int id, const std::string& name, double percent)
{
    const std::string h = std::to_string(percent);
    return "<LCClass ID='" + std::to_string(id) + "'><LCName>" + name + "</LCName><LCHigh>" + h + "</LCHigh><LCMed>" +
           h + "</LCMed><LCLow>" + h + "</LCLow></LCClass>";
}
}  // namespace

TEST(BadInput, EachIsRefusedWithAMessageNamingIt)
{
    RunCase rc;
    const auto lc = rc.raster("lc", 2, 2, X0, Y0, S, S, {21, 21, 41, 41});
    const auto zones = rc.polygons("zones", "NAME", true, {{CellBox(X0, Y0, S, 0, 0, 2, 2), "A"}});
    const auto coef =
        rc.csv("coef.csv", "Value,ClassName,High,Medium,Low\r\n21,Developed,80,55.5,30\r\n41,Forest,2,1,0.5\r\n");
    std::ofstream(rc.path() / "etc/isprops.xml", std::ios::binary)
        << "<ISModelProperties><ISLCDefs>" << Set("Same", Class(21, "Developed", 50) + Class(41, "Forest", 0))
        << Set("Same", Class(21, "Developed", 100) + Class(41, "Forest", 100)) << "</ISLCDefs></ISModelProperties>";
    const std::string base = "run --landcover " + lc.string() + " --analysis " + zones.string() + " --field NAME ";
    const std::string csv = " --coefficients-csv " + coef.string();
    const std::string density = " --density-layer " + zones.string() + " --density-field NAME ";

    const std::pair<std::string, std::string> cases[] = {
        {"--select \"\\\"NAME\\\" = 'Z'\"" + csv, "selects no feature"},
        {"--coefficients Missing", "no coefficient set 'Missing'"},
        {density + "--high 5,000 --low 100" + csv, "5,000"},
        {density + "--high inf --low 1" + csv, "High density threshold 'inf' is not a number"},
    };
    for (const auto& [more, says] : cases) {
        const auto r = rc.cli(base + more + " --output " + (rc.data() / "out.shp").string());
        EXPECT_EQ(r.status, 1) << more;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(rc.data() / "out.shp")) << more;
        EXPECT_TRUE(rc.tempIsEmpty()) << more;
    }

    // The program itself says so in its exit status.
    const auto r = rc.halvo("run --landcover " + (rc.data() / "none.tif").string() + " --analysis " + zones.string() +
                            " --field NAME" + csv + " --output " + (rc.data() / "out.shp").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("halvo: error: The land-cover raster '" + (rc.data() / "none.tif").string() + "' does not exist"),
        std::string::npos)
        << r.err;

    // Of two sets of one name, the first: half the cells at 50 %, none mixed in from the second.
    const auto same = rc.cli(base + "--density high --coefficients Same --output " + (rc.data() / "same.shp").string());
    ASSERT_EQ(same.status, 0) << same.err;
    EXPECT_NEAR(rc.read(rc.data() / "same.shp", "NAME").at("A").pct, 25.0, 1e-6);
}
