// The area table's stages on the seven-cell row: tabulation with one level or
// density codes, the fold of coded zones, and scenarios, against hand counts.

#include "model/ds_adjustment.h"
#include "model/get_lc_area.h"
#include "model/table_functions.h"
#include "stages/stage_data.h"

#include <gtest/gtest.h>

using namespace halvo;
using namespace halvo::test;
using model::DensityLevel;

namespace {

struct AreaTable : ::testing::Test {
    StageData d;
    model::CoefficientTable coefficients{Classes()};

    host::Table tabulate(const host::Layer& zones, std::optional<DensityLevel> level, const std::string& name = "t")
    {
        const model::AreaRules rules{&coefficients, level, params::Units::Meters};
        return model::clsISGetLCArea().isGetLCArea(d.scratch.path(), zones, *d.landCover, "NAME", rules, name);
    }
    std::string lastTitle() const { return d.ui.messages.empty() ? "" : d.ui.messages.back().title; }
};

}  // namespace

TEST_F(AreaTable, OneLevelGivesEachZoneItsClassesAreasInHectares)
{
    auto t = tabulate(*d.abc(), DensityLevel::Medium);
    auto rows = Rows(t);
    ASSERT_EQ(rows.size(), 3u);  // C holds only NODATA cells and still has its row
    EXPECT_DOUBLE_EQ(rows["A"]["area-21"], 2);
    EXPECT_DOUBLE_EQ(rows["A"]["ISarea-21"], 1.11);
    EXPECT_DOUBLE_EQ(rows["A"]["area-41"], 0);
    EXPECT_DOUBLE_EQ(rows["B"]["area-41"], 1);
    EXPECT_DOUBLE_EQ(rows["B"]["ISarea-41"], 0.01);
    EXPECT_DOUBLE_EQ(rows["B"]["ISarea-82"], 0.035);
    for (const auto& [field, value] : rows["C"])
        EXPECT_EQ(value, 0) << field;
    EXPECT_EQ(rows["A"].count("area-11"), 0u) << "a class outside every zone has no column";

    // Density codes: "#1" High, "#2" Medium, "#3" Low, zone by zone.
    t = tabulate(*d.abc("A#1", "B#3", "C#2"), std::nullopt, "coded");
    rows = Rows(t);
    EXPECT_DOUBLE_EQ(rows["A#1"]["ISarea-21"], 1.6);
    EXPECT_DOUBLE_EQ(rows["B#3"]["ISarea-41"], 0.005);
    EXPECT_DOUBLE_EQ(rows["B#3"]["ISarea-82"], 0.01);
}

TEST_F(AreaTable, AClassWithoutCoefficientOrNoZoneOnTheRasterStops)
{
    coefficients = model::CoefficientTable({{21, "Developed", 80, 55.5f, 30}, {41, "Forest", 2, 1, 0.5f}});
    EXPECT_THROW(tabulate(*d.abc(), DensityLevel::Medium), support::Stopped);
    EXPECT_EQ(lastTitle(), "Invalid Coefficient");
    EXPECT_EQ(d.ui.messages.back().text,
              "No coefficients defined in the selected Coefficient Set for the land cover class 82!");

    EXPECT_THROW(tabulate(*d.zones("far", {{Cells(20, 22), "F"}}), DensityLevel::Medium, "far"), support::Stopped);
    EXPECT_EQ(lastTitle(), "Error: Area Calculation");
}

TEST_F(AreaTable, CodedZonesFoldIntoTheirValueMatchedExactly)
{
    // "A_" would match "AB" as a pattern.
    auto coded = tabulate(*d.zones("coded", {{Cells(0, 1), "A_#1"}, {Cells(1, 2), "A_#3"}, {Cells(2, 4), "AB#2"}}),
                          std::nullopt);
    auto folded = model::clsISTableFunctions().SumTable(coded, "folded", "NAME", "ZONE", d.scratch.path());
    ASSERT_TRUE(folded);
    EXPECT_EQ(folded->field(1).name, "ZONE");
    auto rows = Rows(*folded);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_DOUBLE_EQ(rows["A_"]["area-21"], 2);
    EXPECT_DOUBLE_EQ(rows["A_"]["ISarea-21"], 0.8 + 0.3);
    EXPECT_DOUBLE_EQ(rows["AB"]["area-82"], 1);
    EXPECT_DOUBLE_EQ(rows["AB"]["ISarea-82"], 0.035);
    EXPECT_DOUBLE_EQ(rows["AB"]["area-21"], 0);
}

TEST_F(AreaTable, AScenarioMovesItsLandToTheTargetClass)
{
    // Z: cells 0-4, 2 ha developed, 1 forest, 1 crops, 1 water.
    const auto z = d.zones("z", {{Cells(0, 5), "Z"}});
    auto t = tabulate(*z, DensityLevel::Medium);
    const model::AreaRules rules{&coefficients, DensityLevel::Medium, params::Units::Meters};
    auto apply = [&](const host::LayerPtr& scenario, long classId, const std::string& suffix) {
        return model::clsISDSAdjustment().isDSAdjustment(t, *scenario, *z, "NAME", classId, suffix, d.scratch.path(),
                                                         *d.landCover, rules);
    };
    using Outcome = model::clsISDSAdjustment::Outcome;

    // The forest and crops cell become developed.
    ASSERT_EQ(apply(d.zones("dev", {{Cells(2, 4), "1"}}, "ID"), 21, "2"), Outcome::Applied);
    auto row = Rows(t)["Z"];
    EXPECT_DOUBLE_EQ(row["area-21"], 4);
    EXPECT_DOUBLE_EQ(row["ISarea-21"], 4 * 0.555);
    EXPECT_DOUBLE_EQ(row["area-41"], 0);
    EXPECT_DOUBLE_EQ(row["ISarea-82"], 0);
    EXPECT_DOUBLE_EQ(row["area-11"], 1);

    // No overlap: skipped and told; another projection: skipped on OK, stopped on Cancel.
    model::clsISDSAdjustment away;
    EXPECT_EQ(away.isDSAdjustment(t, *d.zones("away", {{Cells(5, 7), "1"}}, "ID"), *z, "NAME", 41, "3",
                                  d.scratch.path(), *d.landCover, rules),
              Outcome::Skipped);
    EXPECT_EQ(away.skipReason(), "no overlap with the analysis layer");
    EXPECT_EQ(lastTitle(), "No Overlay");
    const auto geo = d.zones("geo", {{"POLYGON((-96 23,-95 23,-95 24,-96 24,-96 23))", "1"}}, "ID", 4326);
    EXPECT_EQ(apply(geo, 41, "4"), Outcome::Skipped);
    EXPECT_EQ(lastTitle(), "Projection");
    d.ui.answers.push_back(support::Answer::Cancel);
    EXPECT_THROW(apply(geo, 41, "5"), support::Stopped);
    EXPECT_EQ(Rows(t)["Z"], row) << "a skipped scenario changed the table";

    // A target class the set does not have stops the run.
    EXPECT_THROW(apply(d.zones("dev2", {{Cells(0, 1), "1"}}, "ID"), 99, "6"), support::Stopped);
    EXPECT_EQ(lastTitle(), "Invalid Coefficient");
}
