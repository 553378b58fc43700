// Whole runs with --coverage exact: zones smaller than a cell, zones across
// cells, overlapping features of one zone, per-polygon density and a
// scenario, against figures worked out by hand.

#include "support/run_case.h"

#include <gtest/gtest.h>

using namespace halvo;
using namespace halvo::test;
namespace fs = std::filesystem;

namespace {
constexpr double X0 = 1500000, Y0 = 1600000, S = 100;  // one hectare a cell
const char* const kCoefficients = kTwoClassCoefficients;

std::string Box(double c0, double r0, double c1, double r1) { return CellBox(X0, Y0, S, c0, r0, c1, r1); }

struct Scene {
    RunCase rc;
    fs::path lc, coef;
    Scene()
    {
        // Forest in the left five columns, developed in the right five.
        std::vector<int> v(100);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = i % 10 < 5 ? 41 : 21;
        lc = rc.raster("landcover", 10, 10, X0, Y0, S, S, v);
        coef = rc.csv("coef.csv", kCoefficients);
    }
    std::map<std::string, ZoneResult> run(const fs::path& zones, const std::string& more)
    {
        const auto r = rc.halvo("run --landcover " + lc.string() + " --analysis " + zones.string() +
                                " --field NAME --coefficients-csv " + coef.string() + " --output " +
                                (rc.data() / "out.shp").string() + " --yes " + more);
        EXPECT_EQ(r.status, 0) << r.err;
        return rc.read(rc.data() / "out.shp", "NAME");
    }
};
}  // namespace

TEST(ExactRun, SmallZonesOverlapsDensityPiecesAndScenarios)
{
    Scene s;
    const auto zones =
        s.rc.polygons("zones", "NAME", true,
                      {
                          {Box(6.1, 0.1, 6.5, 0.6), "parcel"},  // 0.2 ha inside one developed cell, off its centre
                          {Box(4.5, 2, 5.5, 3), "across"},      // half forest, half developed
                          {Box(0, 4, 2, 5), "twice"},           // two features of one zone overlapping on one cell
                          {Box(1, 4, 3, 5), "twice"},
                      });
    const auto centre = s.run(zones, "--density medium");
    EXPECT_FALSE(centre.at("parcel").hasResult);  // no cell centre inside: no row at all
    // The default rule leaves the reports' layout as it always was.
    EXPECT_EQ(ReadFile(s.rc.data() / "out.prm").find("Cell Coverage"), std::string::npos);
    EXPECT_EQ(ReadFile(s.rc.data() / "out.met").find("coverage)"), std::string::npos);

    const auto exact = s.run(zones, "--density medium --coverage exact");
    EXPECT_NEAR(exact.at("parcel").total, 0.2, 1e-6);
    EXPECT_NEAR(exact.at("parcel").impervious, 0.2 * 0.555, 1e-6);
    EXPECT_EQ(exact.at("parcel").pct, 55.5);
    EXPECT_EQ(exact.at("parcel").complete, "Y");
    EXPECT_NEAR(exact.at("across").total, 1.0, 1e-6);
    EXPECT_NEAR(exact.at("across").impervious, 0.5 * 0.01 + 0.5 * 0.555, 1e-6);
    EXPECT_NEAR(exact.at("twice").total, 3.0, 1e-6);
    EXPECT_NEAR(exact.at("twice").impervious, 3 * 0.01, 1e-6);
    EXPECT_NE(
        ReadFile(s.rc.data() / "out.prm").find("\r\n  Cell Coverage: exact share of each cell inside the zone\r\n"),
        std::string::npos);
    EXPECT_NE(ReadFile(s.rc.data() / "out.met").find("(exact coverage)"), std::string::npos);

    // Density pieces and scenarios are tabulated by the same rule. High
    // density over the left quarter of the zone, Low over the rest.
    const auto density =
        s.rc.polygons("density", "DENS", false, {{Box(0, 0, 4.75, 10), "", 900}, {Box(4.75, 0, 10, 10), "", 10}});
    auto got = s.run(zones, "--density-layer " + density.string() +
                                " --density-field DENS --high 500 --low 100 "
                                "--coverage exact");
    EXPECT_NEAR(got.at("across").total, 1.0, 1e-6);
    EXPECT_NEAR(got.at("across").impervious, 0.25 * 0.02 + 0.25 * 0.005 + 0.5 * 0.30, 1e-6);

    // 0.2 ha of the zone's forest recast as developed (figures that the
    // scenario's rounding to three places leaves alone).
    const auto dev = s.rc.polygons("dev", "ID", false, {{Box(4.5, 2, 4.7, 3), "", 1}});
    got = s.run(zones, "--density medium --coverage exact --scenario " + dev.string() + "=Developed");
    EXPECT_NEAR(got.at("across").total, 1.0, 1e-6);
    EXPECT_NEAR(got.at("across").impervious, 0.3 * 0.01 + 0.7 * 0.555, 1e-6);
}
