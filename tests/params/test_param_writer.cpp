#include "params/param_writer.h"
#include "params/read_params.h"

#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

using namespace halvo::params;
using halvo::test::ReadFile;
using halvo::test::ScriptedUi;
using halvo::test::TempExtension;

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
    p.scenarios = {{1, true, "newdev", "Developed", "2"}, {2, false, "skip", "Forest", "11"}};
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
    p.scenarios = {{1, false, "a", "A", "1"}, {2, false, "b", "B", "2"}, {3, true, "c", "Forest", "11"}};
    p.classes = {{21, "Open", 1.0f / 3.0f, 0.1f, 0}};
    ASSERT_TRUE(WriteParamsToFile(p, (ext / "temp").string(), "model_params.txt"));
    const std::string text = ReadFile(ext / "temp/model_params.txt");
    EXPECT_EQ(text.find("POPDENSITYTHEME"), std::string::npos);
    EXPECT_NE(text.find("\r\nDS#3#c#Forest#11\r\nCLASS#21#Open#0.3333333#0.1#0\r\n"), std::string::npos);

    ScriptedUi ui;
    clsReadParams reader;
    reader.ReadParameters(ext.path().string(), "model_params.txt");
    EXPECT_TRUE(ui.reports.empty());
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

TEST(ParamWriter, ClassesComeFromTheFirstSetOfTheChosenNameOnly)
{
    halvo::coefficients::clsISModelProperties store;
    for (const char* n : {"A", "B", "A"}) {
        auto& set = store.ISLCDefs.Add();
        set.LCType = n;
        set.LCClasses.Add().ID = static_cast<std::int32_t>(store.ISLCDefs.Count());
    }
    const auto lines = ClassLinesOf(store, "A");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].id, 1);
    EXPECT_TRUE(ClassLinesOf(store, "a").empty());
}
