// Per-polygon density and development scenarios, against figures worked out by hand.

#include "model/density.h"
#include "model/scenario.h"
#include "scene.h"

#include <gtest/gtest.h>

using namespace halvo;
using namespace halvo::test;
namespace fs = std::filesystem;

const std::vector<int> kDeveloped(100, 21), kForest(100, 41);  // 10 × 10 cells

TEST(DensityRules, ThresholdsAreInclusiveHighFirst)
{
    EXPECT_EQ(model::DensityDigit(500, 500, 100), '1');
    EXPECT_EQ(model::DensityDigit(499.9, 500, 100), '2');
    EXPECT_EQ(model::DensityDigit(100, 500, 100), '3');
    EXPECT_EQ(model::DensityDigit(0, 500, 100), '3');
    EXPECT_EQ(model::DensityDigit(300, 200, 400), '1');  // Low not below High: High still wins
    EXPECT_EQ(model::Round3(1.23456) - model::Round3(0.0004), 1.235);
    EXPECT_EQ(model::Round3(0.0125), 0.012);  // halves to even
}

TEST(Density, ZoneCrossingADensityBoundaryTakesEachSidesCoefficient)
{
    Scene s(10, 10, kDeveloped);
    const auto zones = s.rc.polygons("zones", "NAME", true, {{Box(0, 0, 10, 10), "A"}});
    const auto dens = s.rc.polygons("dens", "DENS", false, {{Box(0, 0, 5, 10), "", 600}, {Box(5, 0, 10, 10), "", 50}});
    const auto r = s.run(zones, "--density-layer " + dens.string() + " --density-field DENS --high 500 --low 100");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto a = s.result().at("A");
    EXPECT_EQ(a.total, 100.0);
    EXPECT_EQ(a.impervious, 50 * 0.8 + 50 * 0.3);
    EXPECT_EQ(a.pct, 55.0);
    EXPECT_NE(
        ReadFile(s.rc.data() / "out.prm").find("    High >= 500\r\n    Medium between 500 and 100\r\n    Low <= 100"),
        std::string::npos);
    EXPECT_TRUE(s.rc.tempIsEmpty());
}

TEST(Density, ZoneValuesWithQuotesAndWildcardsStayApart)
{
    Scene s(10, 10, kDeveloped);
    // "A_" would match "AB" as a pattern, "A%" would match everything starting with A.
    const std::vector<std::pair<std::string, int>> names = {{"A'b", 1}, {"A_", 2}, {"AB", 3}, {"A%", 4}};
    std::vector<Feature> f;
    for (const auto& [n, k] : names)
        f.push_back({Box(0, k, k, k + 1), n});  // k cells each, one row apiece
    const auto zones = s.rc.polygons("zones", "NAME", true, f);
    const auto dens = s.rc.polygons("dens", "DENS", false, {{Box(0, 0, 10, 10), "", 600}});
    const auto r = s.run(zones, "--density-layer " + dens.string() + " --density-field DENS --high 500 --low 100");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto got = s.result();
    ASSERT_EQ(got.size(), 4u);
    for (const auto& [n, k] : names) {
        EXPECT_EQ(got.at(n).total, k) << n;
        EXPECT_EQ(got.at(n).pct, 80.0) << n;
    }
}

TEST(Scenario, TwoInARowBothApplyAndTheAnalysisLayerItselfRecastsAllItsLand)
{
    Scene s(10, 10, kForest);
    const auto zones = s.rc.polygons("zones", "NAME", true, {{Box(0, 0, 10, 1), "Z"}, {Box(0, 1, 10, 2), "Y"}});
    const auto one = s.rc.polygons("one", "ID", false, {{Box(0, 0, 2, 2), "", 1}});
    const auto two = s.rc.polygons("two", "ID", false, {{Box(8, 0, 10, 1), "", 1}});
    auto r = s.run(zones, "--density high --scenario " + one.string() + "=21 --scenario " + two.string() + "=21");
    ASSERT_EQ(r.status, 0) << r.err;
    auto got = s.result();
    EXPECT_EQ(got.at("Z").impervious, Stored(6 * 0.02 + 4 * 0.8, 6));
    EXPECT_EQ(got.at("Y").impervious, Stored(8 * 0.02 + 2 * 0.8, 6));
    EXPECT_NE(ReadFile(s.rc.data() / "out.prm")
                  .find(" Change Scenarios\r\n  Changed land cover classes within one layer to Developed"),
              std::string::npos);

    r = s.run(zones, "--density low --scenario " + zones.string() + "=21");
    ASSERT_EQ(r.status, 0) << r.err;
    got = s.result();
    EXPECT_EQ(got.at("Z").pct, 30.0);
    EXPECT_EQ(got.at("Y").pct, 30.0);
}

TEST(Scenario, OverlappingScenariosRecastLandOnce)
{
    Scene s(10, 10, kForest);
    const auto zones = s.rc.polygons("zones", "NAME", true, {{Box(0, 0, 10, 1), "Z"}});
    const auto dev = s.rc.polygons("dev", "ID", false, {{Box(0, 0, 4, 1), "", 1}});
    const auto wide = s.rc.polygons("wide", "ID", false, {{Box(2, 0, 6, 1), "", 1}});
    // The same layer twice: the second row finds no land left, is skipped and
    // listed only as skipped.
    auto r = s.run(zones, "--density high --scenario " + dev.string() + "=21 --scenario " + dev.string() + "=21");
    ASSERT_EQ(r.status, 0) << r.err;
    auto z = s.result().at("Z");
    EXPECT_EQ(z.total, 10.0);
    EXPECT_EQ(z.impervious, Stored(6 * 0.02 + 4 * 0.8, 6));
    EXPECT_LE(z.pct, 100.0);
    const std::string prm = ReadFile(s.rc.data() / "out.prm");
    EXPECT_NE(prm.find("Skipped the scenario of the dev layer: all its land was already recast by an earlier"),
              std::string::npos)
        << prm;
    EXPECT_EQ(prm.find("within dev layer"), prm.rfind("within dev layer")) << prm;
    const std::string met = ReadFile(s.rc.data() / "out.met");
    EXPECT_EQ(met.find("within dev theme"), met.rfind("within dev theme")) << met;
    EXPECT_NE(met.find("were not applied"), std::string::npos);

    // Partly overlapping: cells 2-3 belong to the first row (Developed), 4-5
    // to the second (Water is not in the set: use Forest's ID, so no change).
    r = s.run(zones, "--density high --scenario " + dev.string() + "=21 --scenario " + wide.string() + "=41");
    ASSERT_EQ(r.status, 0) << r.err;
    z = s.result().at("Z");
    EXPECT_EQ(z.total, 10.0);
    EXPECT_EQ(z.impervious, Stored(6 * 0.02 + 4 * 0.8, 6)) << "the overlap was taken from Developed again";
}

TEST(Scenario, ASkippedScenarioIsSaidAndACancelledOneWritesNothing)
{
    Scene s(10, 10, kForest);
    const auto zones = s.rc.polygons("zones", "NAME", true, {{Box(0, 0, 10, 1), "Z"}});
    const auto away = s.rc.polygons("away", "ID", false, {{Box(0, 5, 2, 6), "", 1}});
    auto r = s.run(zones, "--density high --scenario " + away.string() + "=21");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("halvo: skipped the development scenario away: no overlap"), std::string::npos) << r.err;
    EXPECT_EQ(s.result().at("Z").pct, 2.0);

    // Another projection asks OK or Cancel; with nobody to answer, the run ends.
    fs::remove(s.out);
    const auto other =
        s.rc.polygons("other", "ID", false, {{"POLYGON((-96 23,-95 23,-95 24,-96 24,-96 23))", "", 1}}, 4326);
    r = s.run(zones, "--density high --scenario " + other.string() + "=21", "NAME", false);
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(fs::exists(s.out));
    EXPECT_TRUE(s.rc.tempIsEmpty());
}
