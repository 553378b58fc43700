#include "params/param_writer.h"
#include "params/read_params.h"
#include "support/error_reporting.h"

#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace halvo::params;
using halvo::test::ReadFile;
using halvo::test::ScriptedUi;
using halvo::test::TempExtension;
using TextList = std::vector<std::string>;

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
}  // namespace

TEST(ParamWriter, WritesTheExampleFile)
{
    TempExtension ext;
    ASSERT_TRUE(WriteParamsToFile(Example(), (ext / "temp").string(), "model_params.txt"));
    EXPECT_EQ(ReadFile(ext / "temp/model_params.txt"),
              "VIEW#\r\nLCTHEME#landcover\r\nLCUNITS#Meters\r\nANALYSISTHEME#watersheds\r\nANALYSISUNIT#NAME\r\n"
              "POPDENSITY#3\r\nPOPDENSITYTHEME#tracts\r\nPOPDENSITYFLD#DENSITY\r\nPOPDENSITYHIGH#500\r\n"
              "POPDENSITYMED#500#100\r\nPOPDENSITYLOW#100\r\nOUTTHEME#isresult\r\n"
              "OUTTHEMENAME#Impervious result\r\nDS#1#newdev#Developed#2\r\nCLASS#2#Developed#80#55.5#30\r\n"
              "CLASS#11#Forest#2#1#0\r\n");
}

TEST(ParamWriter, FixedDensityAndScenarioGapsReadBack)
{
    TempExtension ext;
    RunParameters p = Example();
    p.populationDensity = 0;
    p.scenarios = {{1, false, "a", "A", "1", {}}, {2, false, "b", "B", "2", {}}, {3, true, "c", "Forest", "11", {}}};
    p.classes = {{21, "Open", 1.0f / 3.0f, 0.1f, 0}};
    ASSERT_TRUE(WriteParamsToFile(p, (ext / "temp").string(), "model_params.txt"));
    const std::string text = ReadFile(ext / "temp/model_params.txt");
    EXPECT_EQ(text.find("POPDENSITYTHEME"), std::string::npos);
    EXPECT_NE(text.find("\r\nDS#3#c#Forest#11\r\nCLASS#21#Open#0.3333333#0.1#0\r\n"), std::string::npos);

    ScriptedUi ui;
    ParameterReader reader;
    reader.read(ext / "temp/model_params.txt");
    EXPECT_EQ(reader.PopulationDensity(), "0");
    EXPECT_EQ(reader.PopDensityTheme() + reader.PopDensityHigh() + reader.PopDensityLow(), "");
    EXPECT_EQ(reader.DevScenarios().count(), 1u);
    EXPECT_EQ(reader.LandClasses().find("21")->at(1), "0.3333333");
}

TEST(ParamWriter, MissingFolderIsToldAndWritesNothing)
{
    TempExtension ext;
    ScriptedUi ui;
    const std::string dir = (ext / "nowhere").string();
    EXPECT_FALSE(WriteParamsToFile(Example(), dir, "model_params.txt"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Working directory (" + dir + ") defined in ArcView project does not exist.");
    EXPECT_FALSE(std::filesystem::exists(dir));
}

namespace {
// Everything a parameter value can hold: the separator, line breaks, the
// escape character and look-alike escapes, backslashes, control characters,
// UTF-8 letters and Latin-1 bytes.
RunParameters Awkward()
{
    RunParameters p = Example();
    p.landCoverLayer = "land#cover %23 100%";
    p.landCoverUnits = "Meters";
    p.analysisLayer = "Parcels #3\r\nVIEW#";
    p.analysisField = "ZONE#ID";
    p.densityLayer = "tracts\n#2010";
    p.densityField = "D\tENS\x01";
    p.densityHigh = "5#00";
    p.densityLow = "1%0";
    p.outputTheme = "C:\\out\\run #1\\result.shp";
    p.outputThemeName = "caf\xe9 #1";  // Latin-1, not UTF-8
    p.scenarios = {{1, true, "new#dev", "Developed #2", "2", {}}, {3, true, "m\xc3\xa9tro\r", "Forest", "11", {}}};
    p.classes = {{2, "Developed #2", 80, 55.5f, 30}, {11, "Forest%20\nWet", 2, 1, 0}};
    return p;
}
}  // namespace

TEST(ParamFile, WhateverIsWrittenComesBackExactly)
{
    TempExtension ext;
    ScriptedUi ui;
    const RunParameters p = Awkward();
    ASSERT_TRUE(WriteParamsToFile(p, (ext / "temp").string(), "model_params.txt"));
    const std::string text = ReadFile(ext / "temp/model_params.txt");
    EXPECT_EQ(text.rfind("ESCAPE#%\r\nVIEW#\r\nLCTHEME#land%23cover %2523 100%25\r\n", 0), 0u) << text;

    ParameterReader r;
    r.read(ext / "temp/model_params.txt");
    EXPECT_EQ(r.lcTheme(), p.landCoverLayer);
    EXPECT_EQ(r.LCUnits(), "Meters");
    EXPECT_EQ(r.AnalysisTheme(), p.analysisLayer);
    EXPECT_EQ(r.AnalysisFieldName(), p.analysisField);
    EXPECT_EQ(r.PopulationDensity(), "3");
    EXPECT_EQ(r.PopDensityTheme(), p.densityLayer);
    EXPECT_EQ(r.PopDensityFldName(), p.densityField);
    EXPECT_EQ(r.PopDensityHigh(), p.densityHigh);
    EXPECT_EQ(r.PopDensityLow(), p.densityLow);
    EXPECT_EQ(r.Value("POPDENSITYMED"), p.densityHigh);
    EXPECT_EQ(r.Value("OUTTHEME"), p.outputTheme);
    EXPECT_EQ(r.OutThemeName(), p.outputThemeName);
    EXPECT_EQ(r.Value("VIEW"), "");
    ASSERT_EQ(r.DevScenarios().count(), 2u);
    EXPECT_EQ(*r.DevScenarios().find("1"), (TextList{"new#dev", "Developed #2", "2"}));
    EXPECT_EQ(*r.DevScenarios().find("3"), (TextList{"m\xc3\xa9tro\r", "Forest", "11"}));
    ASSERT_EQ(r.LandClasses().count(), 2u);
    EXPECT_EQ(*r.LandClasses().find("2"), (TextList{"Developed #2", "80", "55.5", "30"}));
    EXPECT_EQ(*r.LandClasses().find("11"), (TextList{"Forest%20\nWet", "2", "1", "0"}));
}

TEST(ParamFile, PlainValuesAreWrittenAsBeforeAndOldFilesReadAsBefore)
{
    TempExtension ext;
    ScriptedUi ui;
    // "%" alone does not make a file escape its values.
    RunParameters p = Example();
    p.outputThemeName = "50% built";
    ASSERT_TRUE(WriteParamsToFile(p, (ext / "temp").string(), "model_params.txt"));
    const std::string text = ReadFile(ext / "temp/model_params.txt");
    EXPECT_EQ(text.rfind("VIEW#\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\nOUTTHEMENAME#50% built\r\n"), std::string::npos);

    // A file of an earlier version: "%23" is text, "#" still separates.
    std::ofstream(ext / "temp/old.txt", std::ios::binary)
        << "VIEW#\r\nLCTHEME#lc%23\r\nOUTTHEMENAME#a%2\r\nCLASS#2#Dev#1#2#3\r\n";
    ParameterReader r;
    r.read(ext / "temp/old.txt");
    EXPECT_EQ(r.lcTheme(), "lc%23");
    EXPECT_EQ(r.OutThemeName(), "a%2");
    EXPECT_EQ(*r.LandClasses().find("2"), (TextList{"Dev", "1", "2", "3"}));
}

TEST(ParamFile, ABrokenEscapeIsABadLine)
{
    TempExtension ext;
    ScriptedUi ui;
    std::ofstream(ext / "temp/model_params.txt", std::ios::binary)
        << "ESCAPE#%\r\nLCTHEME#a%23b\r\nLCUNITS#Me%2\r\nANALYSISTHEME#x\r\n";
    ParameterReader r;
    try {
        r.read(ext / "temp/model_params.txt");
        ADD_FAILURE() << "read a broken escape";
    } catch (const halvo::support::Error& e) {
        EXPECT_NE(e.description().find("Invalid escape"), std::string::npos) << e.description();
    }
    EXPECT_EQ(r.lcTheme(), "a#b");
    EXPECT_EQ(r.AnalysisTheme(), "");
}
