// Class IDs of every size a coefficient set can hold run through tabulation,
// scenarios, per-polygon density and percent impervious.

#include "scene.h"

#include <gtest/gtest.h>

#include <climits>

using namespace halvo;
using namespace halvo::test;
namespace fs = std::filesystem;

// Wide class IDs (16-bit, 32-bit, the largest an import takes) lose no
// digit on the way through tabulation, scenarios, density and the sums.
TEST(ClassIds, WideIdsKeepTheirCoefficientsThroughEveryStage)
{
    RunCase rc;
    // 4 ha of class 1000, 6 ha of class 65535; the scenario covers cells 3 and 4, one of each.
    const auto lc = rc.raster("lc", 10, 1, X0, Y0, S, S,
                              {1000, 1000, 1000, 1000, 65535, 65535, 65535, 65535, 65535, 65535}, {}, 5070, "UInt16");
    const auto wide = rc.raster("wide", 3, 1, X0, Y0, S, S, {0, INT_MAX, 123456789}, {}, 5070, "Int32");
    const auto zones = rc.polygons("zones", "NAME", true, {{Box(0, 0, 5, 1), "West"}, {Box(5, 0, 10, 1), "East"}});
    const auto dev = rc.polygons("dev", "ID", false, {{Box(3, 0, 5, 1), "", 1}});
    const auto dens = rc.polygons("dens", "DENS", false, {{Box(0, 0, 2, 1), "", 900}, {Box(2, 0, 10, 1), "", 50}});
    const auto coef =
        rc.csv("coef.csv", "Value,ClassName,High,Medium,Low\r\n1000,Paved,90,80,70\r\n65535,Meadow,10,5,2\r\n"
                           "0,Zero,10,10,10\r\n2147483647,Largest,50,50,50\r\n"
                           "123456789,Nine digits,100,100,100\r\n");
    const std::string scenario = " --scenario " + dev.string(),
                      layer = " --density-layer " + dens.string() + " --density-field DENS --high 500 --low 100";
    struct Case {
        fs::path raster;
        std::string more;
        const char* zone;
        double impervious;
    };
    const Case cases[] = {
        {lc, " --density medium", "West", 4 * 0.8 + 1 * 0.05},
        {lc, " --density medium", "East", 5 * 0.05},
        {lc, " --density medium" + scenario + "=65535", "West", 3 * 0.8 + 2 * 0.05},
        // High in the first two cells, Low in the rest; cells 3 and 4 become class 1000.
        {lc, layer + scenario + "=1000", "West", 2 * 0.9 + 3 * 0.7},
        {lc, layer + scenario + "=1000", "East", 5 * 0.02},
        {wide, " --density medium", "West", 0.1 + 0.5 + 1.0},
    };
    const auto out = rc.data() / "out.shp";
    for (const auto& c : cases) {
        const auto r = rc.cli("run --landcover " + c.raster.string() + " --analysis " + zones.string() +
                              " --field NAME --coefficients-csv " + coef.string() + " --output " + out.string() +
                              " --yes" + c.more);
        ASSERT_EQ(r.status, 0) << c.more << ": " << r.err;
        const auto z = rc.read(out, "NAME").at(c.zone);
        EXPECT_EQ(z.total, c.raster == lc ? 5 : 3) << c.more;
        EXPECT_EQ(z.impervious, Stored(c.impervious, 6)) << c.more << " " << c.zone;
    }
    EXPECT_TRUE(rc.tempIsEmpty());
}

TEST(ClassIds, AZoneFieldNamedLikeAClassFieldIsNotSummed)
{
    Scene s(2, 1, {21, 21}, "Value,ClassName,High,Medium,Low\r\n21,Developed,80,50,30\r\n");
    for (const std::string field : {"area_name", "IS2020"}) {
        const auto r = s.run(s.rc.polygons("zones_" + field, field, true, {{Box(0, 0, 2, 1), "Mill"}}), "", field);
        ASSERT_EQ(r.status, 0) << field << ": " << r.err;
        const auto z = s.result(field).at("Mill");
        EXPECT_EQ(z.total, 2) << field;
        EXPECT_EQ(z.impervious, 1) << field;
    }
}
