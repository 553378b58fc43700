// What the parameter file says reaches the run as it was given, or is refused.

#include "params/read_params.h"
#include "params/run_request.h"
#include "support/error_reporting.h"
#include "support/run_case.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace halvo::test;
namespace fs = std::filesystem;

TEST(ParamEscapes, HashInClassLayerFieldAndPathNamesRunsAsGiven)
{
    RunCase rc;
    constexpr double X0 = 1500000, Y0 = 1600000, S = 100;
    // 6 ha developed, 4 ha forest.
    const auto lc = rc.raster("lc", 10, 1, X0, Y0, S, S, {21, 21, 21, 21, 21, 21, 41, 41, 41, 41});
    const auto zones = rc.polygons("zones", "Z#ID", true, {{CellBox(X0, Y0, S, 0, 0, 10, 1), "A"}}, 5070, "GPKG");
    const auto dev = rc.polygons("dev", "ID", false, {{CellBox(X0, Y0, S, 8, 0, 10, 1), "", 1}});
    const auto coef = rc.csv("coef.csv", "Value,ClassName,High,Medium,Low\r\n"
                                         "21,Developed #1,80,55.5,30\r\n41,Forest # wet,2,1,0.5\r\n");
    const fs::path folder = rc.data() / "run #1";
    fs::create_directories(folder);
    const auto out = folder / "out #1.shp";
    const auto r = rc.cli("run --landcover 'land#cover=" + lc.string() + "' --analysis 'zones #1=" + zones.string() +
                          "' --field 'Z#ID' --coefficients-csv " + coef.string() +
                          " --density medium --scenario 'new #dev=" + dev.string() + "=Developed #1' --output '" +
                          out.string() + "' --layer-name 'Result #1'");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto a = rc.read(out, "analyfld").at("A");
    // 8 ha developed at 55.5 %, 2 ha forest at 1 %.
    EXPECT_EQ(a.total, 10);
    EXPECT_EQ(a.impervious, Stored(8 * 0.555 + 2 * 0.01, 6));
    const std::string prm = ReadFile(folder / "Result #1.prm");
    EXPECT_NE(prm.find("  Output Layer Name: Result #1\r\n"), std::string::npos) << prm;
    EXPECT_NE(prm.find("  Land Cover Layer: land#cover\r\n"), std::string::npos) << prm;
    EXPECT_NE(prm.find("  Analysis Layer: zones #1\r\n"), std::string::npos) << prm;
    EXPECT_NE(prm.find("      21,Developed #1,80,55.5,30\r\n      41,Forest # wet,2,1,0.5\r\n"), std::string::npos)
        << prm;
    EXPECT_NE(prm.find("  Changed land cover classes within new #dev layer to Developed #1"), std::string::npos) << prm;
    EXPECT_TRUE(rc.tempIsEmpty());
}

TEST(ParamFile, AFractionalClassIdIsRefusedNotTruncated)
{
    TempDir dir;
    std::ofstream(dir / "params.txt") << "CLASS#21.5#Developed#80#55.5#30\r\n";
    halvo::params::ParameterReader reader;
    reader.read(dir / "params.txt");
    EXPECT_THROW(halvo::params::ParametersOf(reader), halvo::support::Error);
}
