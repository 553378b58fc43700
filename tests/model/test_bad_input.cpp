// Options the halvo program refuses before a run: each gets a message naming
// what is wrong, a non-zero exit, no output and an empty temporary workspace.
// What the engine itself refuses is checked on CheckRequest, in this process.

#include "model/run.h"
#include "scene.h"
#include "support/error_reporting.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

using namespace halvo;
using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

std::string Set(const std::string& name, const std::string& classes)
{
    return "<ISLCDef><LCType>" + name + "</LCType><LCClasses>" + classes + "</LCClasses></ISLCDef>";
}
std::string Class(int id, const std::string& name, double percent)
{
    const std::string h = std::to_string(percent);
    return "<LCClass ID='" + std::to_string(id) + "'><LCName>" + name + "</LCName><LCHigh>" + h + "</LCHigh><LCMed>" +
           h + "</LCMed><LCLow>" + h + "</LCLow></LCClass>";
}

struct Request : ::testing::Test {
    RunCase rc;
    params::RunRequest r;

    void SetUp() override
    {
        r.landCover =
            LayerOf(rc.raster("lc", 7, 1, X0, Y0, S, S, {21, 21, 41, 82, 11, 0, 0}, 0.0), host::LayerKind::Raster);
        r.analysis = LayerOf(rc.polygons("zones", "NAME", true, {{Box(0, 0, 2, 1), "A"}}));
        r.field = "NAME";
        r.setName = "Test";
        r.classes = {{11, "Water", 0, 0, 0}, {21, "Developed", 80, 55.5f, 30}, {41, "Forest", 2, 1, 0.5f}};
        r.density = params::DensityLevel::Medium;
        r.output = rc.data() / "out" / "result.shp";
        r.extensionFolder = rc.path();
        fs::create_directories(r.output.parent_path());
    }
    // The reason CheckRequest gives for refusing the request, or "" when it takes it.
    std::string refusal(const params::RunRequest& request)
    {
        try {
            model::CheckRequest(request);
            return "";
        } catch (const support::Error& e) {
            return e.description();
        }
    }
};

TEST_F(Request, TheEngineRefusesARequestItCannotHonourNamingWhatIsWrong)
{
    GDALDatasetUniquePtr lines(GetGDALDriverManager()
                                   ->GetDriverByName("ESRI Shapefile")
                                   ->Create((rc.data() / "roads.shp").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    lines->CreateLayer("roads", nullptr, wkbLineString, nullptr);
    lines.reset();
    const auto floatLc = rc.raster("float", 2, 1, X0, Y0, S, S, {21, 21}, {}, 5070, "Float32");
    const auto degrees = rc.raster("geo", 2, 1, -79, 36, 0.001, 0.001, {21, 21}, {}, 4326);

    const std::vector<std::pair<std::function<void(params::RunRequest&)>, std::string>> cases = {
        {[&](auto& q) { q.landCover = LayerOf(rc.data() / "none.tif"); }, "none.tif' does not exist"},
        {[&](auto& q) { q.landCover = LayerOf(floatLc); }, "must hold one band of integer class values"},
        {[&](auto& q) { q.landCover = LayerOf(degrees); }, "geographic coordinates"},
        {[&](auto& q) { q.analysis = LayerOf(rc.data() / "roads.shp"); }, "does not hold polygons"},
        {[&](auto& q) { q.field = "NOPE"; }, "has no field 'NOPE'"},
        {[&](auto& q) {
             q.classes.push_back({21, "Again", 1, 1, 1});
         },
         "gives the class 21 twice"},
        {[&](auto& q) { q.classes.back().low = -1; }, "the Low coefficient -1; coefficients are percentages"},
        {[&](auto& q) { q.density = params::DensityLayer{q.analysis, "NOPE", 5, 1, "5", "1"}; }, "no field 'NOPE'"},
        {[&](auto& q) { q.density = params::DensityLayer{q.analysis, "NAME", 100, 500, "100", "500"}; },
         "\"Low\" value must be less than the \"High\" value"},
        {[&](auto& q) { q.output = rc.data() / "out/"; }, "names no file"},
        {[&](auto& q) { q.output = rc.data() / "out"; }, "is a folder"},
        {[&](auto& q) { q.output = rc.data() / "a\\b.shp"; }, "backslash"},
        {[&](auto& q) { q.layerName = "../x"; }, "holds a path"},
        {[&](auto& q) { q.layerName = "a\nb"; }, "control character"},
    };
    for (const auto& [change, says] : cases) {
        params::RunRequest q = r;
        change(q);
        EXPECT_NE(refusal(q).find(says), std::string::npos) << says << ": " << refusal(q);
    }

    // Taken: the units from the raster, the extension written ".shp", the layer named after the file.
    r.output = rc.data() / "out" / "Result.SHP";
    const auto checked = model::CheckRequest(r);
    EXPECT_EQ(checked.units, params::Units::Meters);
    EXPECT_EQ(checked.output.filename(), "Result.shp");
    EXPECT_EQ(checked.layerName, "Result");
}

}  // namespace

TEST(BadInput, EachIsRefusedWithAMessageNamingIt)
{
    RunCase rc;
    const auto lc = rc.raster("lc", 2, 2, X0, Y0, S, S, {21, 21, 41, 41});
    const auto zones = rc.polygons("zones", "NAME", true, {{Box(0, 0, 2, 2), "A"}});
    const auto coef =
        rc.csv("coef.csv", "Value,ClassName,High,Medium,Low\r\n21,Developed,80,55.5,30\r\n41,Forest,2,1,0.5\r\n");
    std::ofstream(rc.path() / "etc/isprops.xml", std::ios::binary)
        << "<ISModelProperties><ISLCDefs>" << Set("Same", Class(21, "Developed", 50) + Class(41, "Forest", 0))
        << Set("Same", Class(21, "Developed", 100) + Class(41, "Forest", 100)) << "</ISLCDefs></ISModelProperties>";
    const std::string base = "run --landcover " + lc.string() + " --analysis " + zones.string() + " --field NAME ";
    const std::string csv = " --coefficients-csv " + coef.string();
    const std::string density = " --density-layer " + zones.string() + " --density-field NAME ";

    const std::pair<std::string, std::string> cases[] = {
        {"--select \"\\\"NAME\\\" = 'Z'\"" + csv, "selects no feature"},
        {"--coefficients Missing", "no coefficient set 'Missing'"},
        {density + "--high 5,000 --low 100" + csv, "5,000"},
        {density + "--high inf --low 1" + csv, "High density threshold 'inf' is not a number"},
    };
    for (const auto& [more, says] : cases) {
        const auto r = rc.cli(base + more + " --output " + (rc.data() / "out.shp").string());
        EXPECT_EQ(r.status, 1) << more;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(rc.data() / "out.shp")) << more;
        EXPECT_TRUE(rc.tempIsEmpty()) << more;
    }

    // The program itself says so in its exit status.
    const auto r = rc.halvo("run --landcover " + (rc.data() / "none.tif").string() + " --analysis " + zones.string() +
                            " --field NAME" + csv + " --output " + (rc.data() / "out.shp").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("halvo: error: The land-cover raster '" + (rc.data() / "none.tif").string() + "' does not exist"),
        std::string::npos)
        << r.err;

    // Of two sets of one name, the first: half the cells at 50 %, none mixed in from the second.
    const auto same = rc.cli(base + "--density high --coefficients Same --output " + (rc.data() / "same.shp").string());
    ASSERT_EQ(same.status, 0) << same.err;
    EXPECT_NEAR(rc.read(rc.data() / "same.shp", "NAME").at("A").pct, 25.0, 1e-6);
}
