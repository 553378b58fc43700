// The parameter file: its exact lines, values that hold its separators, files
// of earlier versions, bad lines, and a run's request written and read back.

#include "params/param_writer.h"
#include "params/read_params.h"
#include "params/run_request.h"
#include "support/error_reporting.h"

#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace halvo;
using namespace halvo::params;
using test::ReadFile;
using test::ScriptedUi;
using test::TempExtension;

namespace {

RunParameters Example()
{
    RunParameters p;
    p.landCoverLayer = "landcover";
    p.landCoverUnits = "Meters";
    p.analysisLayer = "watersheds";
    p.analysisField = "NAME";
    p.populationDensity = 3;
    p.densityLayer = "tracts";
    p.densityField = "DENSITY";
    p.densityHigh = "500";
    p.densityLow = "100";
    p.outputTheme = "isresult";
    p.outputThemeName = "Impervious result";
    p.scenarios = {{1, true, "newdev", "Developed", "2", {}}, {2, false, "skip", "Forest", "11", {}}};
    p.classes = {{2, "Developed", 80, 55.5f, 30}, {11, "Forest", 2, 1, 0}};
    return p;
}

struct ParamFile : ::testing::Test {
    TempExtension ext;
    ScriptedUi ui;
    ParameterReader reader;

    std::string write(const RunParameters& p)
    {
        EXPECT_TRUE(WriteParamsToFile(p, (ext / "temp").string(), "model_params.txt"));
        return ReadFile(ext / "temp/model_params.txt");
    }
    void read(const std::string& text)
    {
        std::ofstream(ext / "temp/model_params.txt", std::ios::binary) << text;
        reader.read(ext / "temp/model_params.txt");
    }
};

}  // namespace

TEST_F(ParamFile, LinesKeepTheirKeysOrderAndTheMediumBoundsHighThenLow)
{
    EXPECT_EQ(write(Example()),
              "VIEW#\r\nLCTHEME#landcover\r\nLCUNITS#Meters\r\nANALYSISTHEME#watersheds\r\nANALYSISUNIT#NAME\r\n"
              "POPDENSITY#3\r\nPOPDENSITYTHEME#tracts\r\nPOPDENSITYFLD#DENSITY\r\nPOPDENSITYHIGH#500\r\n"
              "POPDENSITYMED#500#100\r\nPOPDENSITYLOW#100\r\nOUTTHEME#isresult\r\n"
              "OUTTHEMENAME#Impervious result\r\nDS#1#newdev#Developed#2\r\nCLASS#2#Developed#80#55.5#30\r\n"
              "CLASS#11#Forest#2#1#0\r\n");
}

TEST_F(ParamFile, AFixedDensityWritesNoDensityLayerAndSkippedScenarioRowsKeepTheirNumbers)
{
    RunParameters p = Example();
    p.populationDensity = 0;
    p.scenarios = {{1, false, "a", "A", "1", {}}, {2, false, "b", "B", "2", {}}, {3, true, "c", "Forest", "11", {}}};
    p.classes = {{21, "Open", 1.0f / 3.0f, 0.1f, 0}};
    const std::string text = write(p);
    EXPECT_EQ(text.find("POPDENSITYTHEME"), std::string::npos);
    EXPECT_NE(text.find("\r\nDS#3#c#Forest#11\r\nCLASS#21#Open#0.3333333#0.1#0\r\n"), std::string::npos);

    reader.read(ext / "temp/model_params.txt");
    EXPECT_EQ(reader.PopulationDensity(), "0");
    EXPECT_EQ(reader.PopDensityTheme() + reader.PopDensityHigh() + reader.PopDensityLow(), "");
    EXPECT_EQ(reader.DevScenarios().count(), 1u);
    EXPECT_EQ(reader.LandClasses().find("21")->at(1), "0.3333333");
}

TEST_F(ParamFile, WhateverAValueHoldsComesBackExactly)
{
    // The separator, line breaks, the escape character and look-alike escapes,
    // backslashes, control characters, UTF-8 letters and Latin-1 bytes.
    RunParameters p = Example();
    p.landCoverLayer = "land#cover %23 100%";
    p.analysisLayer = "Parcels #3\r\nVIEW#";
    p.analysisField = "ZONE#ID";
    p.densityLayer = "tracts\n#2010";
    p.densityField = "D\tENS\x01";
    p.densityHigh = "5#00";
    p.densityLow = "1%0";
    p.outputTheme = "C:\\out\\run #1\\result.shp";
    p.outputThemeName = "caf\xe9 #1";
    p.scenarios = {{1, true, "new#dev", "Developed #2", "2", {}}, {3, true, "m\xc3\xa9tro\r", "Forest", "11", {}}};
    p.classes = {{2, "Developed #2", 80, 55.5f, 30}, {11, "Forest%20\nWet", 2, 1, 0}};
    const std::string text = write(p);
    EXPECT_EQ(text.rfind("ESCAPE#%\r\nVIEW#\r\nLCTHEME#land%23cover %2523 100%25\r\n", 0), 0u) << text;

    reader.read(ext / "temp/model_params.txt");
    EXPECT_EQ(
        (TextList{reader.lcTheme(), reader.LCUnits(), reader.AnalysisTheme(), reader.AnalysisFieldName(),
                  reader.PopulationDensity(), reader.PopDensityTheme(), reader.PopDensityFldName(),
                  reader.PopDensityHigh(), reader.PopDensityLow(), reader.Value("POPDENSITYMED"),
                  reader.Value("OUTTHEME"), reader.OutThemeName(), reader.Value("VIEW")}),
        (TextList{p.landCoverLayer, "Meters", p.analysisLayer, p.analysisField, "3", p.densityLayer, p.densityField,
                  p.densityHigh, p.densityLow, p.densityHigh, p.outputTheme, p.outputThemeName, ""}));
    ASSERT_EQ(reader.DevScenarios().count(), 2u);
    EXPECT_EQ(*reader.DevScenarios().find("1"), (TextList{"new#dev", "Developed #2", "2"}));
    EXPECT_EQ(*reader.DevScenarios().find("3"), (TextList{"m\xc3\xa9tro\r", "Forest", "11"}));
    EXPECT_EQ(*reader.LandClasses().find("11"), (TextList{"Forest%20\nWet", "2", "1", "0"}));
}

TEST_F(ParamFile, PlainValuesAreWrittenUnescapedAndEarlierFilesReadAsBefore)
{
    RunParameters p = Example();
    p.outputThemeName = "50% built";  // "%" alone does not make a file escape its values
    const std::string text = write(p);
    EXPECT_EQ(text.rfind("VIEW#\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\nOUTTHEMENAME#50% built\r\n"), std::string::npos);

    // An earlier version's file: "%23" is text, "#" cuts a value, extra scenario fields shift.
    read("VIEW#\r\nLCTHEME#lc%23\r\nANALYSISTHEME#water#sheds\r\nDS#3#a#b#Forest#11\r\nCLASS#2#Dev#1#2#3\r\n");
    EXPECT_EQ(reader.lcTheme(), "lc%23");
    EXPECT_EQ(reader.AnalysisTheme(), "water");
    EXPECT_EQ(*reader.DevScenarios().find("3"), (TextList{"a", "b", "Forest", "11"}));
    EXPECT_EQ(*reader.LandClasses().find("2"), (TextList{"Dev", "1", "2", "3"}));
}

TEST_F(ParamFile, ABadLineThrowsAndKeepsOnlyTheLinesBefore)
{
    std::string why;
    for (const char* bad : {"LCTHEME#second", "NOHASH", "", "CLASS#2#again#1#1#1", "LCUNITS#Me%2"}) {
        reader = ParameterReader();
        const bool escaped = std::string(bad).find('%') != std::string::npos;
        try {
            read(std::string(escaped ? "ESCAPE#%\r\n" : "") + "LCTHEME#first\r\nCLASS#2#x#1#1#1\r\n" + bad +
                 "\r\nLCUNITS#Feet\r\n");
            ADD_FAILURE() << "read " << bad;
        } catch (const support::Error& e) {
            why = e.description();
        }
        EXPECT_EQ(reader.lcTheme(), "first") << bad;
        EXPECT_EQ(reader.LandClasses().count(), 1u) << bad;
        EXPECT_EQ(reader.LCUnits(), "") << bad;
    }
    EXPECT_NE(why.find("Invalid escape"), std::string::npos) << why;
}

TEST_F(ParamFile, AMissingFileThrowsAndAMissingFolderIsTold)
{
    EXPECT_THROW(reader.read(ext / "temp/missing.txt"), std::exception);
    const std::string dir = (ext / "nowhere").string();
    EXPECT_FALSE(WriteParamsToFile(Example(), dir, "model_params.txt"));
    EXPECT_EQ(ui.messages.back().text, "Working directory (" + dir + ") defined in ArcView project does not exist.");
    EXPECT_FALSE(std::filesystem::exists(dir));
    EXPECT_TRUE(ui.reports.empty());
}

namespace {

host::LayerPtr Layer(host::Map& map, const std::string& name, host::LayerKind kind)
{
    auto l = std::make_shared<host::Layer>();
    l->name = name;
    l->kind = kind;
    l->source = "/data/" + name;
    map.layers.push_back(l);
    return l;
}

RunRequest RoundTrip(const RunRequest& r)
{
    test::TempDir dir("halvo-saved");
    SaveParameterFile(SavedParametersOf(r, r.units.value_or(Units::Meters)), dir / "run.txt");
    ParameterReader reader;
    reader.read(dir / "run.txt");
    const RunParameters p = ParametersOf(reader);
    return RequestOf(p, MapOfSources(p));
}

}  // namespace

TEST(SavedRequest, ComesBackWithItsLayersSourcesSetAndSinglePrecisionCoefficients)
{
    ScriptedUi ui;
    host::Map map;
    RunRequest r;
    r.landCover = Layer(map, "landcover", host::LayerKind::Raster);
    r.analysis = Layer(map, "watersheds", host::LayerKind::Feature);
    r.analysis->sourceLayer = "zones|2";
    r.units = Units::Feet;
    r.field = "NAME";
    r.setName = "Set #2";
    r.classes = {{21, "Developed - Open Space", 80, 55.5f, 0.1f}, {1000, "Custom", 12.25f, 3, 1}};
    r.density = DensityLayer{Layer(map, "tracts", host::LayerKind::Feature), "DENSITY", 500.5, 100, "500.5", "100"};
    r.scenarios = {{1, Layer(map, "newdev", host::LayerKind::Feature), 21, "Developed - Open Space"},
                   {3, map.layers[1], 1000, "Custom"}};
    r.output = "/out/result.shp";
    r.layerName = "Result with spaces";
    r.coverage = Coverage::Exact;

    const RunRequest back = RoundTrip(r);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(back.landCover->source, r.landCover->source);
    EXPECT_EQ(back.analysis->sourceLayer, "zones|2");
    EXPECT_EQ(back.setName, "Set #2");
    EXPECT_EQ(back.units, Units::Feet);
    EXPECT_EQ(back.field, "NAME");
    ASSERT_EQ(back.classes.size(), 2u);
    EXPECT_EQ(back.classes[1].id, 1000);
    EXPECT_EQ(back.classes[0].low, 0.1f) << "a single-precision coefficient comes back as the same float";
    const auto* density = std::get_if<DensityLayer>(&back.density);
    ASSERT_NE(density, nullptr);
    EXPECT_EQ(density->layer->name, "tracts");
    EXPECT_EQ(density->high, 500.5);
    EXPECT_EQ(density->lowText, "100");
    ASSERT_EQ(back.scenarios.size(), 2u);
    EXPECT_EQ(back.scenarios[1].row, 3);
    EXPECT_EQ(back.scenarios[1].layer->source, r.analysis->source);
    EXPECT_EQ(back.scenarios[1].classId, 1000);
    EXPECT_EQ(back.output, r.output);
    EXPECT_EQ(back.layerName, r.layerName);
    EXPECT_EQ(back.coverage, Coverage::Exact);

    r.density = DensityLevel::Low;
    EXPECT_EQ(std::get<DensityLevel>(RoundTrip(r).density), DensityLevel::Low) << "a Low run replays as Medium";
}

TEST(SavedRequest, ALayerNotInTheMapOrAnUnknownDensityOptionIsRefused)
{
    ScriptedUi ui;
    host::Map map;
    Layer(map, "landcover", host::LayerKind::Raster);
    Layer(map, "zones", host::LayerKind::Feature);
    RunParameters p;
    p.landCoverLayer = "landcover";
    p.analysisLayer = "zones";
    p.populationDensity = 1;
    p.classes = {{21, "Developed", 50, 40, 30}};
    EXPECT_NO_THROW(RequestOf(p, map));
    for (const auto& [change, why] : std::vector<std::pair<std::function<void(RunParameters&)>, std::string>>{
             {[](RunParameters& q) { q.analysisLayer = "gone"; }, "'gone' is not in the map"},
             {[](RunParameters& q) { q.populationDensity = 4; }, "Population Density option not defined"}}) {
        RunParameters q = p;
        change(q);
        try {
            RequestOf(q, map);
            ADD_FAILURE() << "accepted; expected: " << why;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
        }
    }
}
