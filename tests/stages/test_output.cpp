// The output's stages: result fields from the area table, the completeness
// flags, the legend, and how the staged set replaces the earlier one.

#include "host/raster.h"
#include "model/get_lc_area.h"
#include "model/legend.h"
#include "model/output_files.h"
#include "model/result_fields.h"
#include "stages/stage_data.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace halvo;
using namespace halvo::test;
namespace fs = std::filesystem;

TEST(ResultFields, PercentImperviousAndCompleteFromTheAreaTable)
{
    StageData d;
    const model::CoefficientTable coefficients(Classes());
    const model::AreaRules rules{&coefficients, params::DensityLevel::Medium, params::Units::Meters};
    auto table = model::clsISGetLCArea().isGetLCArea(d.scratch.path(), *d.abc(), *d.landCover, "NAME", rules, "t");

    const auto out = LayerOf(WritePolygons(d.scratch / "out.shp", "NAME", true,
                                           {{Cells(0, 2), "A"}, {Cells(2, 4), "B"}, {Cells(5, 7), "C"}}));
    auto t = host::Table::Open(out->source, true);
    model::AddNewFields(t, params::Units::Meters);
    t.finish();
    auto zones = model::isCalPctIS(*out, table, "NAME");
    ASSERT_EQ(zones.size(), 3u);
    EXPECT_EQ(zones[0].zone, "A");
    EXPECT_DOUBLE_EQ(zones[0].total, 2);
    EXPECT_DOUBLE_EQ(zones[0].impervious, 1.11);
    EXPECT_DOUBLE_EQ(zones[0].percent, 55.5);
    EXPECT_DOUBLE_EQ(zones[1].impervious, 0.045);
    EXPECT_DOUBLE_EQ(zones[1].percent, 2.25);
    EXPECT_EQ(zones[2].total, 0);
    EXPECT_EQ(zones[2].percent, 0) << "a zone of NODATA only";

    // C lies on NODATA; B ends where the water cell begins and stays complete.
    model::isSetCompleteArea(*out, host::DescribeRaster(d.landCover->source), zones);
    EXPECT_TRUE(zones[0].complete && zones[1].complete);
    EXPECT_FALSE(zones[2].complete);
    EXPECT_EQ(out->selection.size(), 1u);
    EXPECT_EQ(d.ui.messages.back().title, "NODATA Cells!");
    const auto stored = ReadResults(out->source, "NAME");
    EXPECT_EQ(stored.at("A").complete, "Y");
    EXPECT_EQ(stored.at("C").complete, "N");
    EXPECT_EQ(stored.at("B").pct, 2.25);
}

TEST(Legend, ThreeClassesWithTheirBreaksColoursAndTheLayerName)
{
    TempDir dir;
    model::WriteLegendStyle(dir / "l.qml", {{"NAME", "Zone"}, {"pctIS", "pctIS"}}, "Results");
    const std::string qml = ReadFile(dir / "l.qml");
    for (const char* part :
         {"attr=\"pctIS\"", "upper=\"9.990000000000000\" symbol=\"0\" label=\"&lt; 10%\"",
          "lower=\"9.990000000000000\" upper=\"25.000000000000000\" symbol=\"1\" label=\"10% - 25%\"",
          "upper=\"100.000000000000000\" symbol=\"2\" label=\"> 25%\"", "value=\"170,255,0,255\"",
          "value=\"255,255,190,255\"", "value=\"255,0,0,255\"", "name=\"Zone\""})
        EXPECT_NE(qml.find(part), std::string::npos) << part;
    EXPECT_EQ(model::RecordedLayerName(dir / "l.shp"), "Results");
    EXPECT_EQ(model::RecordedLayerName(dir / "none.shp"), "");
}

namespace {
std::string Bytes(const fs::path& p) { return fs::exists(p) ? ReadFile(p) : "<none>"; }
bool HasStaging(const fs::path& dir)
{
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(".halvo-staging-", 0) == 0)
            return true;
    return false;
}
}  // namespace

TEST(OutputStaging, CommitReplacesOnlyTheSetAndAFailedRunLeavesTheOldOne)
{
    TempDir dir;
    for (const char* name : {"out.shp", "out.dbf", "out.qml", "Results.prm", "out.tif", "notes.prm"})
        std::ofstream(dir / name) << "old " << name;
    const fs::path shp = dir / "out.shp";
    {
        // A run that fails before its commit leaves nothing of itself.
        model::OutputStaging staging(shp, "Results");
        std::ofstream(staging.folder() / "out.shp") << "half";
    }
    EXPECT_EQ(Bytes(shp), "old out.shp");
    EXPECT_FALSE(HasStaging(dir.path()));
    {
        model::OutputStaging staging(shp, "Results");
        for (const char* name : {"out.shp", "out.dbf", "Results.prm"})
            std::ofstream(staging.folder() / name) << "new " << name;
        staging.commit();
    }
    EXPECT_EQ(Bytes(shp), "new out.shp");
    EXPECT_EQ(Bytes(dir / "Results.prm"), "new Results.prm");
    EXPECT_EQ(Bytes(dir / "out.qml"), "<none>") << "a file of the old set the new one lacks stayed";
    EXPECT_EQ(Bytes(dir / "out.tif"), "old out.tif");
    EXPECT_EQ(Bytes(dir / "notes.prm"), "old notes.prm");
    EXPECT_FALSE(HasStaging(dir.path()));
}
