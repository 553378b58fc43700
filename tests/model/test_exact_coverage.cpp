// Whole runs with --coverage exact: zones smaller than a cell, zones across
// cells, overlapping features of one zone, per-polygon density and a
// scenario, against figures worked out by hand.

#include "scene.h"

#include <gtest/gtest.h>

using namespace halvo;
using namespace halvo::test;
namespace fs = std::filesystem;

TEST(ExactRun, ZonesSmallerThanACellAndOverlapsCountTheirShareInEveryStage)
{
    std::vector<int> cells(100);  // forest in the left five columns, developed in the right five
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = i % 10 < 5 ? 41 : 21;
    Scene s(10, 10, cells);
    const auto zones =
        s.rc.polygons("zones", "NAME", true,
                      {
                          {Box(6.1, 0.1, 6.5, 0.6), "parcel"},  // 0.2 ha inside one developed cell, off its centre
                          {Box(4.5, 2, 5.5, 3), "across"},      // half forest, half developed
                          {Box(0, 4, 2, 5), "twice"},           // two features of one zone overlapping on one cell
                          {Box(1, 4, 3, 5), "twice"},
                      });
    const auto run = [&](const std::string& more) {
        const auto r = s.run(zones, more);
        EXPECT_EQ(r.status, 0) << r.err;
        return s.result();
    };
    const auto centre = run("--density medium");
    EXPECT_FALSE(centre.at("parcel").hasResult);  // no cell centre inside: no row at all

    const auto exact = run("--density medium --coverage exact");
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
    auto got = run("--density-layer " + density.string() +
                   " --density-field DENS --high 500 --low 100 "
                   "--coverage exact");
    EXPECT_NEAR(got.at("across").total, 1.0, 1e-6);
    EXPECT_NEAR(got.at("across").impervious, 0.25 * 0.02 + 0.25 * 0.005 + 0.5 * 0.30, 1e-6);

    // 0.2 ha of the zone's forest recast as developed (figures that the
    // scenario's rounding to three places leaves alone).
    const auto dev = s.rc.polygons("dev", "ID", false, {{Box(4.5, 2, 4.7, 3), "", 1}});
    got = run("--density medium --coverage exact --scenario " + dev.string() + "=Developed");
    EXPECT_NEAR(got.at("across").total, 1.0, 1e-6);
    EXPECT_NEAR(got.at("across").impervious, 0.3 * 0.01 + 0.7 * 0.555, 1e-6);
}
