// The same answer whatever the format: a selection means the same features,
// zones outside the density layer are flagged and counted, a scenario moves
// no land, and each zone keeps its own shape.

#include "support/run_case.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {
const fs::path kDurham = SharedData() / "durham-thirdfork";
}  // namespace

TEST(SameAnswer, ASelectionMeansTheSameFeaturesInEveryFormat)
{
    HALVO_REQUIRE_SHARED_DATA("durham-thirdfork/derived/durham_blockgroups_pop_5070.gpkg");
    RunCase rc;
    const auto csv = rc.csv("coef.csv", kNlcdCoefficients);
    const fs::path gpkg = kDurham / "derived" / "durham_blockgroups_pop_5070.gpkg";
    const fs::path shp = ToShapefile(gpkg, rc.data() / "blockgroups.shp");
    std::map<std::string, ZoneResult> results[2];
    int i = 0;
    for (const fs::path& source : {shp, gpkg}) {
        const fs::path out = rc.data() / ("out" + std::to_string(i) + ".shp");
        const auto r = rc.cli("run --landcover " + (kDurham / "NLCD.tif").string() + " --analysis " + source.string() +
                              " --field tract_id --select \"bg_id = '370630006001'\"" + " --coefficients-csv " +
                              csv.string() + " --output " + out.string());
        ASSERT_EQ(r.status, 0) << r.err;
        results[i] = rc.read(out, "tract_id");
        EXPECT_NE(ReadFile(rc.data() / ("out" + std::to_string(i) + ".prm")).find("Features Used: 1 of 153"),
                  std::string::npos);
        ++i;
    }
    ASSERT_EQ(results[0].size(), 1u);
    ASSERT_EQ(results[1].size(), 1u);
    const auto& a = results[0].at("37063000600");
    const auto& b = results[1].at("37063000600");
    EXPECT_EQ(a.total, b.total) << "the GeoPackage run took in the tract's other block groups";
    EXPECT_EQ(a.impervious, b.impervious);
}

TEST(SameAnswer, ZonesOutsideTheDensityLayerAreFlaggedCountedOnceAndRecastLandKeepsItsArea)
{
    HALVO_REQUIRE_SHARED_DATA("durham-thirdfork/derived/thirdfork_catchments_5070.gpkg");
    RunCase rc;
    const auto csv = rc.csv("coef.csv", kNlcdCoefficients);
    const fs::path zones = kDurham / "derived" / "thirdfork_catchments_5070.gpkg";
    // One density polygon over the western half of the catchments.
    GDALDatasetUniquePtr z(GDALDataset::Open(zones.c_str(), GDAL_OF_VECTOR));
    OGREnvelope env;
    ASSERT_EQ(z->GetLayer(0)->GetExtent(&env), OGRERR_NONE);
    const double mid = (env.MinX + env.MaxX) / 2;
    const auto half =
        rc.polygons("west", "DENS", false,
                    {{"POLYGON((" + std::to_string(env.MinX - 100) + " " + std::to_string(env.MinY - 100) + "," +
                          std::to_string(mid) + " " + std::to_string(env.MinY - 100) + "," + std::to_string(mid) + " " +
                          std::to_string(env.MaxY + 100) + "," + std::to_string(env.MinX - 100) + " " +
                          std::to_string(env.MaxY + 100) + "," + std::to_string(env.MinX - 100) + " " +
                          std::to_string(env.MinY - 100) + "))",
                      "", 2000}});
    const std::string base = "run --landcover " + (kDurham / "NLCD.tif").string() + " --analysis " + zones.string() +
                             " --field FEATUREID --coefficients-csv " + csv.string();
    const auto plain = rc.data() / "plain.shp", split = rc.data() / "split.shp";
    ASSERT_EQ(rc.cli(base + " --density medium --output " + plain.string()).status, 0);
    const auto r = rc.cli(base + " --density-layer " + half.string() +
                          " --density-field DENS --high 5000 --low 100 --output " + split.string());
    ASSERT_EQ(r.status, 0) << r.err;
    // Developed, High Intensity recast over the density run: the same land, no less impervious.
    const auto recast = rc.data() / "recast.shp";
    ASSERT_EQ(rc.cli(base + " --density-layer " + half.string() + " --density-field DENS --high 5000 --low 100 --yes" +
                     " --scenario " + (kDurham / "derived" / "durham_selectgroups_5070.gpkg").string() +
                     "=24 --output " + recast.string())
                  .status,
              0);
    const auto all = rc.read(plain, "FEATUREID"), cut = rc.read(split, "FEATUREID"),
               more = rc.read(recast, "FEATUREID");
    ASSERT_EQ(cut.size(), all.size()) << "zones outside the density layer vanished";
    int flagged = 0;
    for (const auto& [zone, full] : all) {
        const auto& c = cut.at(zone);
        EXPECT_DOUBLE_EQ(more.at(zone).total, c.total) << zone;
        EXPECT_GE(more.at(zone).impervious + 1e-6, c.impervious) << zone;
        if (c.total < full.total - 1e-6) {
            EXPECT_EQ(c.complete, "N") << zone << " lost area but is flagged complete";
            ++flagged;
        } else {
            EXPECT_NEAR(c.total, full.total, 1e-6) << zone;
        }
    }
    EXPECT_GT(flagged, 0);
    EXPECT_LT(flagged, static_cast<int>(all.size()));
    const std::string prm = ReadFile(rc.data() / "split.prm");
    EXPECT_NE(prm.find("zone(s) partly or wholly outside the population density layer"), std::string::npos) << prm;

    // Each zone keeps its own shape: the same parts, valid, the same area.
    const auto a = Shapes(plain, "FEATUREID"), b = Shapes(split, "FEATUREID");
    ASSERT_EQ(b.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(b[i].value, a[i].value);
        EXPECT_EQ(b[i].parts, a[i].parts) << a[i].value;
        EXPECT_TRUE(b[i].valid) << a[i].value;
        EXPECT_NEAR(b[i].area, a[i].area, a[i].area * 1e-9) << a[i].value;
    }
}
