// Invalid polygons are repaired before they are used, and the run says so.

#include "support/run_case.h"

#include <gtest/gtest.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {
constexpr double X0 = 1500000, Y0 = 1600000, S = 50;  // 50 m cells: a quarter hectare each
const char* kCoefficients = "Value,ClassName,High,Medium,Low\r\n21,Developed,80,50,30\r\n";

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

struct Overlap : ::testing::Test {
    RunCase rc;
    fs::path lc, coef;
    void SetUp() override
    {
        lc = rc.raster("landcover", 45, 30, X0, Y0, S, S, std::vector<int>(45 * 30, 21));
        coef = rc.csv("coef.csv", kCoefficients);
    }
    RunOutput run(const fs::path& zones, const std::string& more = "--density medium")
    {
        return rc.cli("run --landcover " + lc.string() + " --analysis " + zones.string() +
                      " --field NAME --coefficients-csv " + coef.string() + " --output " +
                      (rc.data() / "out.shp").string() + " --yes " + more);
    }
};
}  // namespace

TEST_F(Overlap, MultiPolygonWithOverlappingPartsCountsTheUnion)
{
    const auto zones = rc.polygons("zones", "NAME", true, {{kBoth, "Z"}});
    const auto shape = Shapes(zones, "NAME").at(0);
    ASSERT_EQ(shape.parts, 2);
    ASSERT_FALSE(shape.valid);
    const auto r = run(zones);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto z = rc.read(rc.data() / "out.shp", "NAME").at("Z");
    EXPECT_EQ(z.total, 337.5);  // not 225: the overlap counted as outside (even-odd)
    EXPECT_EQ(z.impervious, 168.75);
    EXPECT_EQ(z.complete, "Y");
    EXPECT_NE(r.err.find("1 feature of the layer 'zones' had an invalid geometry and was repaired"), std::string::npos)
        << r.err;
    EXPECT_TRUE(rc.tempIsEmpty());
}

TEST_F(Overlap, TheSameLandAsTwoFeaturesIsTheSameAndNothingIsRepaired)
{
    const auto zones = rc.polygons("zones", "NAME", true, {{"POLYGON" + kA, "Z"}, {"POLYGON" + kB, "Z"}});
    const auto r = run(zones);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(rc.read(rc.data() / "out.shp", "NAME").at("Z").total, 337.5);
    EXPECT_EQ(r.err.find("repaired"), std::string::npos) << r.err;
}

TEST_F(Overlap, InvalidDensityAndScenarioPolygonsAreRepairedToo)
{
    // Zone: both squares as two features. Density layer: one feature, the two
    // squares as one invalid multipolygon. Scenario: the same invalid shape.
    const auto zones = rc.polygons("zones", "NAME", true, {{"POLYGON" + kA, "Z"}, {"POLYGON" + kB, "Z"}});
    const auto dens = rc.polygons("dens", "DENS", false, {{kBoth, "", 600}});
    const auto dev = rc.polygons("dev", "ID", false, {{kBoth, "", 1}});
    const auto r = run(zones, "--density-layer " + dens.string() + " --density-field DENS --high 500 --low 100 " +
                                  "--scenario " + dev.string() + "=21");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto z = rc.read(rc.data() / "out.shp", "NAME").at("Z");
    EXPECT_EQ(z.total, 337.5);
    EXPECT_EQ(z.impervious, 337.5 * 0.8);  // High everywhere
    EXPECT_NE(r.err.find("1 feature of the layer 'dens' had an invalid geometry and was repaired"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("1 feature of the layer 'dev' had an invalid geometry and was repaired"), std::string::npos)
        << r.err;
}

TEST_F(Overlap, GeoPackageMultiPolygonCountsTheUnion)
{
    const auto zones = rc.polygons("zones", "NAME", true, {{kBoth, "Z"}}, 5070, "GPKG");
    const auto r = run(zones);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(rc.read(rc.data() / "out.shp", "NAME").at("Z").total, 337.5);
    EXPECT_NE(r.err.find("1 feature of the layer 'zones' had an invalid geometry and was repaired"), std::string::npos)
        << r.err;
}
