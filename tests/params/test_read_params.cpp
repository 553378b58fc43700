#include "params/read_params.h"

#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>

using halvo::params::ParameterReader;
using halvo::params::TextList;
using halvo::test::ScriptedUi;
using halvo::test::TempExtension;

namespace {
struct Reader : ::testing::Test {
    TempExtension ext;
    ScriptedUi ui;
    ParameterReader reader;

    void read(const std::string& text)
    {
        std::ofstream(ext / "temp/model_params.txt", std::ios::binary) << text;
        reader.read(ext / "temp/model_params.txt");
    }
};
}  // namespace

TEST_F(Reader, ReadsEveryKindOfLine)
{
    read("VIEW#\r\nLCTHEME#landcover\r\nLCUNITS#Meters\r\nANALYSISTHEME#water#sheds\r\nANALYSISUNIT#NAME\r\n"
         "POPDENSITY#3\r\nPOPDENSITYTHEME#tracts\r\nPOPDENSITYFLD#DENSITY\r\nPOPDENSITYHIGH#500\r\n"
         "POPDENSITYMED#500#100\r\nPOPDENSITYLOW#100\r\nOUTTHEME#isresult\r\nOUTTHEMENAME#Impervious result\r\n"
         "DS#1#newdev#Developed#2\r\nDS#3#a#b#Forest#11\r\nCLASS#2#Developed#80#55.5#30\r\nCLASS#11#Forest#2#1#0\r\n");
    EXPECT_TRUE(ui.reports.empty());
    EXPECT_EQ((TextList{reader.lcTheme(), reader.LCUnits(), reader.AnalysisTheme(), reader.AnalysisFieldName(),
                        reader.PopulationDensity(), reader.PopDensityTheme(), reader.PopDensityFldName(),
                        reader.PopDensityHigh(), reader.PopDensityLow(), reader.OutThemeName()}),
              (TextList{"landcover", "Meters", "water" /* cut at "#" */, "NAME", "3", "tracts", "DENSITY", "500", "100",
                        "Impervious result"}));
    EXPECT_EQ(reader.Value("POPDENSITYMED"), "500");

    std::vector<std::string> rows;
    for (const auto& [row, s] : reader.DevScenarios())
        rows.push_back(row);
    EXPECT_EQ(rows, (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(*reader.DevScenarios().find("1"), (TextList{"newdev", "Developed", "2"}));
    EXPECT_EQ(*reader.DevScenarios().find("3"), (TextList{"a", "b", "Forest", "11"}));  // fields shift
    EXPECT_EQ(*reader.LandClasses().find("2"), (TextList{"Developed", "80", "55.5", "30"}));
    EXPECT_EQ(reader.LandClasses().begin()->first, "2");
}

TEST_F(Reader, BadLineThrowsAndKeepsTheLinesBefore)
{
    for (const char* bad : {"LCTHEME#second", "NOHASH", "", "CLASS#2#again#1#1#1"}) {
        reader = ParameterReader();
        EXPECT_THROW(read(std::string("LCTHEME#first\r\nCLASS#2#x#1#1#1\r\n") + bad + "\r\nLCUNITS#Feet\r\n"),
                     std::exception)
            << bad;
        EXPECT_EQ(reader.lcTheme(), "first") << bad;
        EXPECT_EQ(reader.LandClasses().count(), 1u) << bad;
        EXPECT_EQ(reader.LCUnits(), "") << bad;
    }
    EXPECT_THROW(reader.read(ext / "temp/missing.txt"), std::exception);
}
