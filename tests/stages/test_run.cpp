// model::Run in this process: the request checked before anything is written,
// and a whole run's figures as the result reports them.

#include "model/run.h"
#include "stages/stage_data.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

using namespace halvo;
using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

struct Request : ::testing::Test {
    ScriptedUi ui;
    RunCase rc;
    params::RunRequest r;

    void SetUp() override
    {
        r.landCover =
            LayerOf(rc.raster("lc", 7, 1, X0, Y0, S, S, {21, 21, 41, 82, 11, 0, 0}, 0.0), host::LayerKind::Raster);
        r.analysis =
            LayerOf(rc.polygons("zones", "NAME", true, {{Cells(0, 2), "A"}, {Cells(2, 4), "B"}, {Cells(5, 7), "C"}}));
        r.field = "NAME";
        r.setName = "Test";
        r.classes = Classes();
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

}  // namespace

TEST_F(Request, RefusedNamingWhatIsWrong)
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

TEST_F(Request, RunWritesTheSetAndReportsEachZonesFigures)
{
    const auto result = model::Run(r, ui);
    ASSERT_EQ(result.zones.size(), 3u);
    EXPECT_EQ(result.zones[0].zone, "A");
    EXPECT_DOUBLE_EQ(result.zones[0].impervious, 1.11);
    EXPECT_EQ(result.zones[1].percent, 2.25) << "the figure as the file stores it";
    EXPECT_FALSE(result.zones[2].complete);
    EXPECT_TRUE(result.skipped.empty());
    for (const auto& p : {result.shapefile, result.style, result.parameterReport, result.metadataReport})
        EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_EQ(result.parameterReport, rc.data() / "out" / "result.prm");
    EXPECT_TRUE(rc.tempIsEmpty());

    // An output that would replace an input is refused and the input stays.
    const auto before = ReadFile(fs::path(r.analysis->source).replace_extension(".dbf"));
    r.output = fs::path(r.analysis->source).replace_extension(".SHP");
    EXPECT_THROW(model::Run(r, ui), support::Error);
    EXPECT_EQ(ReadFile(fs::path(r.analysis->source).replace_extension(".dbf")), before);
}
