// Damaged vector input stops the run with the layer named; it is never used in part.

#include "support/run_case.h"

#include <gtest/gtest.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

// The real layer as a shapefile in `dir`, then cut to `bytes` bytes of its .shp (or .dbf).
fs::path CutCopy(const fs::path& gpkg, const fs::path& dir, const std::string& name, std::uintmax_t bytes,
                 const char* part = ".shp")
{
    const fs::path shp = ToShapefile(gpkg, dir / (name + ".shp"));
    fs::path cut = shp;
    cut.replace_extension(part);
    if (bytes < fs::file_size(cut))
        fs::resize_file(cut, bytes);
    return shp;
}

}  // namespace

TEST(Damaged, ACutShapefileOrTableStopsTheRunNamingTheLayer)
{
    HALVO_REQUIRE_SHARED_DATA("durham-thirdfork/derived/durham_blockgroups_pop_5070.gpkg");
    const fs::path dir = SharedData() / "durham-thirdfork", derived = dir / "derived";
    const fs::path groups = derived / "durham_blockgroups_pop_5070.gpkg";
    const std::string density = " --density-field popdens_sq --high 5000 --low 1000 --density-layer ";
    struct Case {
        fs::path source;
        std::string name;
        std::uintmax_t bytes;
        const char* part;
        std::string option;  // how the cut layer enters the run
    };
    // 40 000 of the density shapefile's 89 772 bytes were once read in part: 21 zones of 28 came out.
    const Case cases[] = {
        {groups, "blockgroups", 40000, ".shp", density},
        {groups, "tablecut", 20000, ".dbf", density},
        {derived / "durham_selectgroups_5070.gpkg", "neighbourhoods", 100000, ".shp", " --scenario "},
        {derived / "thirdfork_catchments_5070.gpkg", "catchments", 30000, ".shp", ""},
    };
    for (const auto& c : cases) {
        RunCase rc;
        const auto shp = CutCopy(c.source, rc.data(), c.name, c.bytes, c.part);
        const std::string analysis =
            c.option.empty() ? shp.string() : (derived / "thirdfork_catchments_5070.gpkg").string();
        const std::string layer =
            c.option.empty() ? "" : c.option + shp.string() + (c.option == " --scenario " ? "=24" : "");
        const auto r = rc.cli("run --landcover " + (dir / "NLCD.tif").string() + " --analysis " + analysis +
                              " --field FEATUREID --coefficients NLCD --yes" + layer + " --output " +
                              (rc.data() / "out.shp").string());
        EXPECT_NE(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("Cannot read the features of the layer '" + c.name + "' (" + shp.string() + ")"),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists(rc.data() / "out.shp")) << c.name << ": a result was written from part of the layer";
        EXPECT_TRUE(rc.tempIsEmpty()) << c.name;
    }
}
