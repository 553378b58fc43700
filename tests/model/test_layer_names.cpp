// Layer names taken from file names that are not UTF-8 still find their
// layers after the trip through the parameter file.

#include "support/run_case.h"

#include <gtest/gtest.h>

using namespace halvo::test;
namespace fs = std::filesystem;

TEST(LayerNames, Latin1FileNamesRunThrough)
{
    RunCase rc;
    constexpr double X0 = 1500000, Y0 = 1600000, S = 100;
    const auto lc = rc.raster("lc", 2, 1, X0, Y0, S, S, {21, 41});
    const auto zones = rc.polygons("zones", "NAME", true, {{CellBox(X0, Y0, S, 0, 0, 2, 1), "A"}});
    const auto coef =
        rc.csv("coef.csv", "Value,ClassName,High,Medium,Low\r\n21,Developed,80,55.5,30\r\n41,Forest,2,1,0.5\r\n");
    // "café.tif" and "zonés.*" written in Latin-1.
    const fs::path latinLc = rc.data() / "caf\xe9.tif";
    fs::rename(lc, latinLc);
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj"})
        fs::rename(rc.data() / (std::string("zones") + ext), rc.data() / (std::string("zon\xe9s") + ext));
    const auto out = rc.data() / "out.shp";
    const auto r =
        rc.cli("run --landcover '" + latinLc.string() + "' --analysis '" + (rc.data() / "zon\xe9s.shp").string() +
               "' --field NAME --coefficients-csv " + coef.string() + " --output " + out.string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(rc.read(out, "NAME").size(), 1u);
    EXPECT_TRUE(rc.tempIsEmpty());
}
