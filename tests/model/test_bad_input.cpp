// Inputs a run must refuse: each gets a message naming what is wrong, a
// non-zero exit, no output and an empty temporary workspace.

#include "support/run_case.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {
constexpr double X0 = 1500000, Y0 = 1600000, S = 100;
const char* kCoefficients = "Value,ClassName,High,Medium,Low\r\n21,Developed,80,55.5,30\r\n41,Forest,2,1,0.5\r\n";

struct Refusal {
    int status;
    std::string err;
    bool outputExists;
    bool tempEmpty;
};

Refusal refuse(RunCase& rc, const std::string& args)
{
    const auto out = rc.data() / "out.shp";
    const auto r = rc.halvo("run " + args + " --output " + out.string());
    return {r.status, r.err, fs::exists(out), rc.tempIsEmpty()};
}
}  // namespace

TEST(BadInput, EachIsRefusedWithAMessageNamingIt)
{
    RunCase rc;
    const auto lc = rc.raster("lc", 4, 4, X0, Y0, S, S, std::vector<int>(16, 21));
    const auto floatLc = rc.raster("lcfloat", 4, 4, X0, Y0, S, S, std::vector<int>(16, 21), {}, 5070, "Float32");
    const auto zones = rc.polygons("zones", "NAME", true, {{CellBox(X0, Y0, S, 0, 0, 4, 4), "A"}});
    const auto far = rc.polygons("far", "NAME", true, {{CellBox(X0 + 1e5, Y0, S, 0, 0, 4, 4), "A"}});
    const auto coef = rc.csv("coef.csv", kCoefficients);
    const std::string c = " --coefficients-csv " + coef.string();

    struct Case {
        std::string args;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"--landcover " + (rc.data() / "none.tif").string() + " --analysis " + zones.string() + " --field NAME" + c,
         "none.tif' does not exist"},
        {"--landcover " + floatLc.string() + " --analysis " + zones.string() + " --field NAME" + c,
         "must hold one band of integer class values"},
        {"--landcover " + lc.string() + " --analysis " + zones.string() + " --field NOPE" + c,
         "has no field 'NOPE'"},
        {"--landcover " + lc.string() + " --analysis " + zones.string() +  " --field NAME --select \"\\\"NAME\\\" = 'Z'\"" +
             c,
         "selects no feature"},
        {"--landcover " + lc.string() + " --analysis " + far.string() + " --field NAME" + c,
         "None of the selected features within far\n intersect with the Land Cover layer lc"},
        {"--landcover " + lc.string() + " --analysis " + zones.string() + " --field NAME --coefficients Missing",
         "no coefficient set 'Missing'"},
    };
    for (const auto& k : cases) {
        const auto r = refuse(rc, k.args);
        EXPECT_NE(r.status, 0) << k.args;
        EXPECT_NE(r.err.find(k.says), std::string::npos) << r.err;
        EXPECT_FALSE(r.outputExists) << k.args;
        EXPECT_TRUE(r.tempEmpty) << k.args;
    }
}

TEST(BadInput, ClassMissingFromTheSetStopsWithInvalidCoefficient)
{
    RunCase rc;
    const auto lc = rc.raster("lc", 2, 1, X0, Y0, S, S, {21, 42});
    const auto zones = rc.polygons("zones", "NAME", true, {{CellBox(X0, Y0, S, 0, 0, 2, 1), "A"}});
    const auto coef = rc.csv("coef.csv", kCoefficients);
    const auto r = refuse(rc, "--landcover " + lc.string() + " --analysis " + zones.string() +
                                  " --field NAME --coefficients-csv " + coef.string());
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Invalid Coefficient\nNo coefficients defined in the selected Coefficient Set for the land "
                         "cover class 42!"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(r.outputExists);
    EXPECT_TRUE(r.tempEmpty);
}

TEST(BadInput, LinesAreNotAnAnalysisLayer)
{
    RunCase rc;
    const auto lc = rc.raster("lc", 2, 1, X0, Y0, S, S, {21, 41});
    GDALDatasetUniquePtr ds(GetGDALDriverManager()->GetDriverByName("ESRI Shapefile")
                                ->Create((rc.data() / "roads.shp").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ds->CreateLayer("roads", nullptr, wkbLineString, nullptr);
    ds.reset();
    const auto r = refuse(rc, "--landcover " + lc.string() + " --analysis " + (rc.data() / "roads.shp").string() +
                                  " --field NAME");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("does not hold polygons"), std::string::npos) << r.err;
}
