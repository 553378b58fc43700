// Invalid polygons are repaired before they are used, and the run says so.

#include "scene.h"

#include <gtest/gtest.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

std::string Pt(double x, double y) { return std::to_string(X0 + x) + " " + std::to_string(Y0 - 1500 + y); }

// Squares of 1500 m (225 ha): A over x 0..1500 m, B over 750..2250 m, both
// y 0..1500 m; their union is 337.5 ha. Each ring starts so that the middle of
// its first edge lies outside the other square: the shapefile writer then
// keeps both as outer rings, and the file reads back as a two-part multipolygon.
const std::string kA =
    "((" + Pt(0, 0) + "," + Pt(0, 1500) + "," + Pt(1500, 1500) + "," + Pt(1500, 0) + "," + Pt(0, 0) + "))";
const std::string kB =
    "((" + Pt(2250, 1500) + "," + Pt(2250, 0) + "," + Pt(750, 0) + "," + Pt(750, 1500) + "," + Pt(2250, 1500) + "))";
const std::string kBoth = "MULTIPOLYGON(" + kA + "," + kB + ")";

// 50 m cells (a quarter hectare each), all developed.
struct Overlap : ::testing::Test {
    Scene s{45, 30, std::vector<int>(45 * 30, 21), "Value,ClassName,High,Medium,Low\r\n21,Developed,80,50,30\r\n", 50};
    RunCase& rc = s.rc;
    RunOutput run(const fs::path& zones, const std::string& more = "--density medium") { return s.run(zones, more); }
};
}  // namespace

TEST_F(Overlap, MultiPolygonWithOverlappingPartsCountsTheUnionInEveryFormat)
{
    for (const std::string driver : {"ESRI Shapefile", "GPKG"}) {
        const auto zones = rc.polygons("zones", "NAME", true, {{kBoth, "Z"}}, 5070, driver);
        const auto shape = Shapes(zones, "NAME").at(0);
        ASSERT_EQ(shape.parts, 2);
        ASSERT_FALSE(shape.valid);
        const auto r = run(zones);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto z = s.result().at("Z");
        EXPECT_EQ(z.total, 337.5) << driver;  // not 225: the overlap counted as outside (even-odd)
        EXPECT_EQ(z.impervious, 168.75);
        EXPECT_EQ(z.complete, "Y");
        EXPECT_NE(r.err.find("1 feature of the layer 'zones' had an invalid geometry and was repaired"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_TRUE(rc.tempIsEmpty());
}

TEST_F(Overlap, InvalidDensityAndScenarioPolygonsAreRepairedAndValidZonesLeftAlone)
{
    // Zone: both squares as two valid features, the same land. Density layer: one
    // feature, the two squares as one invalid multipolygon. Scenario: the same invalid shape.
    const auto zones = rc.polygons("zones", "NAME", true, {{"POLYGON" + kA, "Z"}, {"POLYGON" + kB, "Z"}});
    const auto dens = rc.polygons("dens", "DENS", false, {{kBoth, "", 600}});
    const auto dev = rc.polygons("dev", "ID", false, {{kBoth, "", 1}});
    const auto r = run(zones, "--density-layer " + dens.string() + " --density-field DENS --high 500 --low 100 " +
                                  "--scenario " + dev.string() + "=21");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto z = s.result().at("Z");
    EXPECT_EQ(z.total, 337.5);
    EXPECT_EQ(z.impervious, 337.5 * 0.8);  // High everywhere
    EXPECT_NE(r.err.find("1 feature of the layer 'dens' had an invalid geometry and was repaired"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("1 feature of the layer 'dev' had an invalid geometry and was repaired"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("layer 'zones' had an invalid"), std::string::npos) << r.err;
}
