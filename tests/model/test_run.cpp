// Whole runs through the halvo program, checked against counts worked out
// independently from the raster values the test wrote.

#include "support/run_case.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <array>
#include <map>
#include <tuple>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

constexpr double X0 = 1500000, Y0 = 1600000, S = 100;  // 100 m cells: one hectare each

const char* kCoefficients = "Value,ClassName,High,Medium,Low\r\n"
                            "11,Water,0,0,0\r\n"
                            "21,Developed,80,55.5,30\r\n"
                            "41,Forest,2,1,0.5\r\n"
                            "82,Crops,7.25,3.5,1\r\n";
const std::map<int, std::array<double, 3>> kCoef = {
    {11, {0, 0, 0}}, {21, {80, 55.5, 30}}, {41, {2, 1, 0.5}}, {82, {7.25, 3.5, 1}}};

// 10 × 10 cells with a pattern that gives each zone a different mix.
std::vector<int> landCover()
{
    const int classes[] = {21, 41, 82, 11, 21, 21, 41};
    std::vector<int> v(100);
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 10; ++c)
            v[static_cast<std::size_t>(r * 10 + c)] = classes[(r * 3 + c * 5 + r * c) % 7];
    return v;
}

struct Expected {
    double total, impervious, pct;
};

// Cell counts → areas, each class's pair stored with 6 decimals, summed,
// the totals stored with 6 decimals and the percent with 2.
Expected expect(const std::vector<int>& values, int width, const std::vector<std::array<int, 4>>& boxes, int level,
                double cellArea, double factor)
{
    std::map<int, long> counts;
    std::vector<bool> seen(values.size());
    for (const auto& b : boxes)
        for (int r = b[1]; r < b[3]; ++r)
            for (int c = b[0]; c < b[2]; ++c) {
                const auto i = static_cast<std::size_t>(r * width + c);
                if (!seen[i] && values[i] != 0)
                    ++counts[values[i]];
                seen[i] = true;
            }
    double total = 0, is = 0;
    for (const auto& [cls, n] : counts) {
        const double value = static_cast<double>(n) * cellArea;
        total += Stored(value * factor, 6);
        is += Stored(((value * kCoef.at(cls)[static_cast<std::size_t>(level)]) / 100) * factor, 6);
    }
    return {Stored(total, 6), Stored(is, 6), total == 0 ? 0 : Stored(is / total * 100, 2)};
}

class Run : public ::testing::TestWithParam<std::pair<const char*, int>> {};

}  // namespace

TEST_P(Run, FixedDensityAreasMatchIndependentCounts)
{
    const auto [density, level] = GetParam();
    RunCase rc;
    const auto values = landCover();
    const auto lc = rc.raster("landcover", 10, 10, X0, Y0, S, S, values);
    // Zone "Mill" is two polygons; "Oak's Run" has an apostrophe.
    const std::vector<std::array<int, 4>> mill = {{0, 0, 4, 5}, {6, 6, 10, 10}}, oak = {{4, 0, 10, 6}},
                                          pine = {{0, 6, 6, 10}};
    const auto shp = rc.polygons("zones", "NAME", true,
                                 {{CellBox(X0, Y0, S, 0, 0, 4, 5), "Mill"},
                                  {CellBox(X0, Y0, S, 4, 0, 10, 6), "Oak's Run"},
                                  {CellBox(X0, Y0, S, 0, 6, 6, 10), "Pine"},
                                  {CellBox(X0, Y0, S, 6, 6, 10, 10), "Mill"}});
    const auto coef = rc.csv("coef.csv", kCoefficients);
    const auto out = rc.data() / "out" / "result.shp";
    fs::create_directories(out.parent_path());
    const auto r =
        rc.cli("run --landcover " + lc.string() + " --analysis " + shp.string() + " --field NAME --coefficients-csv " +
               coef.string() + " --density " + density + " --output " + out.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(rc.tempIsEmpty());

    auto got = rc.read(out, "NAME");
    ASSERT_EQ(got.size(), 3u);
    for (const auto& [name, boxes] :
         std::map<std::string, std::vector<std::array<int, 4>>>{{"Mill", mill}, {"Oak's Run", oak}, {"Pine", pine}}) {
        const Expected e = expect(values, 10, boxes, level, S * S, 0.0001);
        const auto& z = got.at(name);
        EXPECT_EQ(z.total, e.total) << name;
        EXPECT_EQ(z.impervious, e.impervious) << name;
        EXPECT_EQ(z.pct, e.pct) << name;
        EXPECT_EQ(z.complete, "Y") << name;
    }
    for (const char* ext : {".qml", ".prm", ".met"})
        EXPECT_TRUE(fs::exists(out.parent_path() / (std::string("result") + ext))) << ext;
}

INSTANTIATE_TEST_SUITE_P(Levels, Run,
                         ::testing::Values(std::pair{"high", 0}, std::pair{"medium", 1}, std::pair{"low", 2}));

TEST(RunExamples, HectaresAndAcresComeFromTheGridsUnitAndAreLabelledSo)
{
    RunCase rc;
    const auto coef = rc.csv("coef.csv", kCoefficients);
    // One 100 m cell of class 21: 1.0 ha, of which 55.5 % impervious.
    const auto lcm = rc.raster("lcm", 1, 1, X0, Y0, S, S, {21});
    const auto zm = rc.polygons("zm", "ZID", false, {{CellBox(X0, Y0, S, 0, 0, 1, 1), "", 7}});
    // Through the program: its exit status and the files it names.
    auto r = rc.halvo("run --landcover " + lcm.string() + " --analysis " + zm.string() + " --field ZID " +
                      "--coefficients-csv " + coef.string() + " --density medium --output " +
                      (rc.data() / "m.shp").string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Output:            " + (rc.data() / "m.shp").string() + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Metadata report:   " + (rc.data() / "m.met").string() + "\n"), std::string::npos) << r.out;
    auto m = rc.read(rc.data() / "m.shp", "ZID").at("7");
    EXPECT_EQ(m.total, 1.0);
    EXPECT_EQ(m.impervious, 0.555);
    EXPECT_EQ(m.pct, 55.5);

    // One cell of 43560 ft² in a foot-based system (the units come from it): 0.99996336 acres.
    const auto lcf = rc.raster("lcf", 1, 1, 2000000, 800000, 43560, 1, {21}, {}, 2264);
    const auto zf = rc.polygons(
        "zf", "ZID", false,
        {{"POLYGON((2000000 800000,2043560 800000,2043560 799999,2000000 799999,2000000 800000))", "", 3}}, 2264);
    r = rc.cli("run --landcover " + lcf.string() + " --analysis " + zf.string() + " --field ZID " +
               "--coefficients-csv " + coef.string() + " --density high --output " + (rc.data() / "f.shp").string());
    ASSERT_EQ(r.status, 0) << r.err;
    auto f = rc.read(rc.data() / "f.shp", "ZID").at("3");
    EXPECT_EQ(f.total, Stored(0.99996336, 6));
    EXPECT_EQ(f.impervious, Stored(0.99996336 * 0.8, 6));
    // Fields, .met labels and .qml aliases say the unit the figures are in.
    for (const auto& [set, field, label, index] : {std::tuple{"m", "TotHects", "TotalHectares", 1},
                                                   {"m", "TotISHec", "TotalISHectares", 2},
                                                   {"f", "TotAcres", "TotalAcres", 1},
                                                   {"f", "TotISAcr", "TotalISAcres", 2}}) {
        const std::string met = ReadFile(rc.data() / (std::string(set) + ".met"));
        EXPECT_NE(met.find(std::string("    Attribute:\r\n      Attribute_Label: ") + label + "\r\n\r\n"),
                  std::string::npos)
            << label;
        EXPECT_EQ(met.find(std::string("Attribute_Label: ") + field + "\r\n"), std::string::npos) << field;
        EXPECT_NE(ReadFile(rc.data() / (std::string(set) + ".qml"))
                      .find(std::string("field=\"") + field + "\" index=\"" + std::to_string(index) + "\" name=\"" +
                            label + "\""),
                  std::string::npos)
            << label;
    }
}

TEST(RunSelection, ZonesOnNodataAndZonesLeavingTheGridAreFlaggedAndSaidApart)
{
    RunCase rc;
    auto values = landCover();
    values[0] = 0;  // NODATA inside zone 1, on the edge of zone 2's neighbour
    const auto lc = rc.raster("landcover", 10, 10, X0, Y0, S, S, values, 0.0);
    const auto shp = rc.polygons("zones", "HUC_ID", false,
                                 {{CellBox(X0, Y0, S, 0, 0, 5, 5), "", 1},
                                  {CellBox(X0, Y0, S, 5, 0, 10, 5), "", 2},
                                  {CellBox(X0, Y0, S, 0, 5, 10, 10), "", 3},
                                  // reaches past the raster's west edge
                                  {CellBox(X0, Y0, S, -3, 5, 1, 7), "", 4}});
    const auto coef = rc.csv("coef.csv", kCoefficients);
    const auto out = rc.data() / "sel.shp";
    const auto r = rc.cli("run --landcover " + lc.string() + " --analysis " + shp.string() +
                          " --field HUC_ID --select '\"HUC_ID\" <> 3' --coefficients-csv " + coef.string() +
                          " --density low --output " + out.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("NODATA Cells!"), std::string::npos);                // zone 1
    EXPECT_NE(r.err.find("Outside the Land Cover Grid"), std::string::npos);  // zone 4, not said as NODATA
    auto got = rc.read(out, "HUC_ID");
    ASSERT_EQ(got.size(), 3u);  // zone 3 was not selected
    const Expected e1 = expect(values, 10, {{0, 0, 5, 5}}, 2, S * S, 0.0001);
    EXPECT_EQ(got.at("1").total, e1.total);  // 24 valid cells
    EXPECT_EQ(got.at("1").total, 24 * 1.0);
    EXPECT_EQ(got.at("1").pct, e1.pct);
    EXPECT_EQ(got.at("1").complete, "N");
    EXPECT_EQ(got.at("2").complete, "Y");  // shares an edge with no NODATA cell
    EXPECT_EQ(got.at("4").complete, "N");  // outside the raster
    EXPECT_EQ(got.at("4").total, 2.0);
}

TEST(RunCopyFirst, GeoPackageWithLongFieldNameIsCopiedAndKeepsItsName)
{
    RunCase rc;
    const auto values = landCover();
    const auto lc = rc.raster("landcover", 10, 10, X0, Y0, S, S, values);
    const auto gpkg =
        rc.polygons("basins", "WATERSHED_NAME", true,
                    {{CellBox(X0, Y0, S, 0, 0, 10, 4), "A very long watershed name, longer than 30 chars"},
                     {CellBox(X0, Y0, S, 0, 4, 10, 10), "South"}},
                    5070, "GPKG");
    const auto coef = rc.csv("coef.csv", kCoefficients);
    const auto out = rc.data() / "gp.shp";
    const auto r = rc.cli("run --landcover " + lc.string() + " --analysis " + gpkg.string() +
                          " --field WATERSHED_NAME --coefficients-csv " + coef.string() + " --density high --output " +
                          out.string());
    ASSERT_EQ(r.status, 0) << r.err;
    auto got = rc.read(out, "analyfld");
    ASSERT_EQ(got.size(), 2u);
    const Expected e = expect(values, 10, {{0, 0, 10, 4}}, 0, S * S, 0.0001);
    EXPECT_EQ(got.at("A very long watershed name, longer than 30 chars").total, e.total);
    EXPECT_EQ(got.at("South").pct, expect(values, 10, {{0, 4, 10, 10}}, 0, S * S, 0.0001).pct);
    const std::string qml = ReadFile(rc.data() / "gp.qml");
    EXPECT_NE(qml.find("field=\"analyfld\""), std::string::npos);
    EXPECT_NE(qml.find("name=\"WATERSHED_NAME\""), std::string::npos);
    EXPECT_NE(ReadFile(rc.data() / "gp.prm").find("  Analysis Field: WATERSHED_NAME"), std::string::npos);
}

TEST(RunConcurrency, TwoRunsOnOneInstallationDoNotTreadOnEachOther)
{
    RunCase rc;
    const auto values = landCover();
    const auto lc = rc.raster("landcover", 10, 10, X0, Y0, S, S, values);
    const auto shp = rc.polygons("zones", "NAME", true, {{CellBox(X0, Y0, S, 0, 0, 10, 10), "All"}});
    const auto coef = rc.csv("coef.csv", kCoefficients);
    const std::string common = "HALVO_HOME='" + rc.path().string() + "' '" + HALVO_EXT_DIR +
                               "/halvo' run --landcover " + lc.string() + " --analysis " + shp.string() +
                               " --field NAME --coefficients-csv " + coef.string() + " --output ";
    const std::string cmd = "(" + common + (rc.data() / "a.shp").string() + " >/dev/null 2>&1 & " + common +
                            (rc.data() / "b.shp").string() + " >/dev/null 2>&1 & wait)";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const Expected e = expect(values, 10, {{0, 0, 10, 10}}, 1, S * S, 0.0001);
    EXPECT_EQ(rc.read(rc.data() / "a.shp", "NAME").at("All").total, e.total);
    EXPECT_EQ(rc.read(rc.data() / "b.shp", "NAME").at("All").impervious, e.impervious);
    EXPECT_TRUE(rc.tempIsEmpty());
}

TEST(RunReportCommand, FindsTheReportsByTheLayerNameOfTheRun)
{
    RunCase rc;
    const auto lc = rc.raster("lc", 1, 1, X0, Y0, S, S, {21});
    const auto z = rc.polygons("z", "ZID", false, {{CellBox(X0, Y0, S, 0, 0, 1, 1), "", 1}});
    const auto coef = rc.csv("coef.csv", kCoefficients);
    const auto out = rc.data() / "r.shp";
    ASSERT_EQ(rc.cli("run --landcover " + lc.string() + " --analysis " + z.string() + " --field ZID --output " +
                     out.string() + " --layer-name Results --coefficients-csv " + coef.string())
                  .status,
              0);
    // Reports are named after the layer name the run was given, and found by it.
    EXPECT_TRUE(fs::exists(rc.data() / "Results.prm"));
    auto r = rc.halvo("report prm " + out.string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  Output Layer Name: Results\r\n"), std::string::npos) << r.out;
    r = rc.halvo("report met " + out.string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Identification_Information:\r\n", 0), 0u);

    // Without the record (no style file) a layer named after its file is looked for.
    fs::remove(rc.data() / "r.qml");
    r = rc.halvo("report prm " + out.string());
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("has no parameter report"), std::string::npos);
    r = rc.halvo("report met " + (rc.data() / "Results.shp").string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Identification_Information:\r\n", 0), 0u);
}
