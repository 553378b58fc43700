// Damaged vector input stops the run with the layer named; it is never used in part.

#include "support/run_case.h"

#include <gdal_priv.h>
#include <gdal_utils.h>

#include <gtest/gtest.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

// The real layer as a shapefile in `dir`, then cut to `bytes` bytes of its .shp (or .dbf).
fs::path CutCopy(const fs::path& gpkg, const fs::path& dir, const std::string& name, std::uintmax_t bytes,
                 const char* part = ".shp")
{
    GDALAllRegister();
    const fs::path shp = dir / (name + ".shp");
    GDALDatasetH src = GDALOpenEx(gpkg.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    const char* args[] = {"-f", "ESRI Shapefile", nullptr};
    GDALVectorTranslateOptions* opts = GDALVectorTranslateOptionsNew(const_cast<char**>(args), nullptr);
    GDALDatasetH out = GDALVectorTranslate(shp.c_str(), nullptr, 1, &src, opts, nullptr);
    GDALVectorTranslateOptionsFree(opts);
    GDALClose(out);
    GDALClose(src);
    fs::path cut = shp;
    cut.replace_extension(part);
    if (bytes < fs::file_size(cut))
        fs::resize_file(cut, bytes);
    return shp;
}

struct Damaged : ::testing::Test {
    const fs::path dir = SharedData() / "durham-thirdfork";
    const fs::path derived = dir / "derived";
    RunCase rc;

    void SetUp() override
    {
        if (!fs::exists(derived / "durham_blockgroups_pop_5070.gpkg"))
            GTEST_SKIP() << "shared data not present";
    }
    RunOutput run(const std::string& more)
    {
        return rc.halvo("run --landcover " + (dir / "NLCD.tif").string() + " --analysis " +
                        (derived / "thirdfork_catchments_5070.gpkg").string() + " --field FEATUREID --coefficients NLCD --yes " +
                        more + " --output " + (rc.data() / "out.shp").string());
    }
    void expectRefused(const RunOutput& r, const std::string& layer, const fs::path& file)
    {
        EXPECT_NE(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("Cannot read the features of the layer '" + layer + "' (" + file.string() + ")"),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists(rc.data() / "out.shp")) << "a result was written from part of the layer";
        EXPECT_TRUE(rc.tempIsEmpty());
    }
};

}  // namespace

TEST_F(Damaged, CutDensityShapefileStopsTheRun)
{
    // 40 000 of its 89 772 bytes: read in part, 21 zones of 28 came out.
    const auto shp = CutCopy(derived / "durham_blockgroups_pop_5070.gpkg", rc.data(), "blockgroups", 40000);
    expectRefused(run("--density-layer " + shp.string() + " --density-field popdens_sq --high 5000 --low 1000"),
                  "blockgroups", shp);
}

TEST_F(Damaged, CutDensityTableStopsTheRun)
{
    const auto shp =
        CutCopy(derived / "durham_blockgroups_pop_5070.gpkg", rc.data(), "blockgroups", 20000, ".dbf");
    expectRefused(run("--density-layer " + shp.string() + " --density-field popdens_sq --high 5000 --low 1000"),
                  "blockgroups", shp);
}

TEST_F(Damaged, CutScenarioShapefileStopsTheRun)
{
    const auto shp = CutCopy(derived / "durham_selectgroups_5070.gpkg", rc.data(), "neighbourhoods", 100000);
    expectRefused(run("--density medium --scenario " + shp.string() + "=24"), "neighbourhoods", shp);
}

TEST_F(Damaged, CutAnalysisShapefileStopsTheRun)
{
    const auto shp = CutCopy(derived / "thirdfork_catchments_5070.gpkg", rc.data(), "catchments", 30000);
    const auto r = rc.halvo("run --landcover " + (dir / "NLCD.tif").string() + " --analysis " + shp.string() +
                            " --field FEATUREID --coefficients NLCD --density medium --output " +
                            (rc.data() / "out.shp").string());
    expectRefused(r, "catchments", shp);
}
