#include "reports/run_reports.h"
#include "support/error_reporting.h"
#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace halvo::reports {
namespace {

namespace fs = std::filesystem;
using support::OrderedDict;
using test::ReadFile;
using test::TempDir;

fs::path Golden(const std::string& name) { return test::SourceDir() / "tests/reports/golden" / name; }

// Byte comparison; HALVO_UPDATE_GOLDEN=1 rewrites the golden file instead.
void ExpectGolden(const fs::path& written, const std::string& name)
{
    const std::string actual = ReadFile(written);
    if (std::getenv("HALVO_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(Golden(name), std::ios::binary) << actual;
        return;
    }
    EXPECT_EQ(actual, ReadFile(Golden(name))) << "differs from golden " << name;
}

std::vector<std::string> Lines(const fs::path& p)
{
    const std::string all = ReadFile(p);
    std::vector<std::string> lines;
    for (std::size_t at = 0, next; (next = all.find("\r\n", at)) != std::string::npos; at = next + 2)
        lines.push_back(all.substr(at, next - at));
    return lines;
}

void SetClock(std::tm& t, int year, int month, int day, int hour, int minute)
{
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = 5;
}

struct SampleRun {
    OrderedDict<TextList> classes, scenarios;
    ReportInputs in;

    SampleRun()
    {
        classes.add("11", {"Open Water", "0", "0", "0"});
        classes.add("21", {"Developed, Open Space", "75", "50", "25"});
        classes.add("24", {"Developed High Intensity", "95.5", "90", "85.25"});
        in.outputThemeName = "mill_creek_is";
        in.landCoverTheme = "landcover.tif";
        in.landCoverUnits = "Meters";
        in.analysisTheme = "watersheds";
        in.analysisField = "NAME";
        in.populationDensity = "0";
        in.landClasses = &classes;
        in.devScenarios = &scenarios;
        in.madeFrom = "the command line";
        in.bounds = GeographicBounds{-84.21234567890123, -84.0, 39.85, 39.7};
        in.mapUnits = 9;
        in.outputFieldAliases = {"FID", "Shape", "NAME", "TotalArea", "ISArea", "pctIS", "Complete"};
        in.analysisValues = {"Mill Creek", "Stony Run"};
        in.usage = {"Features Used: 2 of 3", "Left Out: 1 feature(s) without a value in NAME (4.00 ha)"};
        SetClock(in.when, 2026, 12, 5, 13, 37);
    }

    // Per-polygon density, change scenarios, exact cell coverage, a map in
    // decimal degrees, an output of unknown extent and two fields beyond the
    // standard seven.
    void perPolygon()
    {
        in.exactCoverage = true;
        in.populationDensity = "3";
        in.densityTheme = "blockgroups";
        in.densityField = "POP_DENS";
        in.densityHigh = "1000";
        in.densityLow = "250.5";
        scenarios.add("2", {"new_subdivision", "Developed High Intensity", "24"});
        scenarios.add("3", {"riparian buffer", "Open Water", "11"});
        in.analysisField = "analyfld";
        in.mapUnits = 11;
        in.madeFrom = "QGIS";
        in.bounds.reset();  // a layer without a coordinate system
        in.outputFieldAliases.push_back("Notes");
        in.outputFieldAliases.push_back("Owner");
        in.analysisValues = {"1", "2", "3"};
        SetClock(in.when, 2027, 1, 9, 0, 4);
    }
};

TEST(RunReports, SingleDensityPlanarRunIsReportedAsSuchAndLeavesNoTailOfAnEarlierReport)
{
    test::ScriptedUi ui;
    TempDir dir("reports");
    // A longer report of the same name must not leave a tail behind.
    SampleRun earlier;
    earlier.perPolygon();
    WriteRunReports(dir.path(), "mill_creek_is", earlier.in);
    SampleRun run;
    WriteRunReports(dir.path(), "mill_creek_is", run.in);
    EXPECT_TRUE(ui.reports.empty());
    // The reports share their text with the per-polygon goldens; only the lines this run changes are checked.
    const auto prm = Lines(dir / "mill_creek_is.prm");
    ASSERT_EQ(prm.size(), 19u);
    EXPECT_EQ(prm[0], "Impervious surface analysis run: Saturday December 5, 2026 01:37:05 PM");
    EXPECT_EQ(prm[8], "  Analysis Field: NAME");
    EXPECT_EQ(prm[13], "  High population coefficient applied to all analysis");
    EXPECT_EQ(prm[18], "      24,Developed High Intensity,95.5,90,85.25");
    const auto met = Lines(dir / "mill_creek_is.met");
    auto at = [&](const std::string& line) { return std::find(met.begin(), met.end(), line) - met.begin(); };
    EXPECT_EQ(met.size(), 178u);
    EXPECT_EQ(at("        Calendar_Date: 20261205") + 1, at("        Time_of_Day: 1337"));
    EXPECT_EQ(at("      West_Bounding_Coordinate: -84.2123456789012") + 3, at("      South_Bounding_Coordinate: 39.7"));
    EXPECT_EQ(at("        This data set was created using Halvo 0.1.0, run from the command line.") + 4,
              at("        Then analysis field (NAME) within the analysis theme (watersheds) defined the grouping of "
                 "the polygons for aggregating impervious surfave values."));
    EXPECT_LT(at("         This analysis applied the high population coefficient to all calculations of impervious "
                 "surface area."),
              met.size());
    EXPECT_EQ(at("    Planar:") + 6, at("          Ordinate_Resolution: <enter value>"));
    EXPECT_EQ(at("          Enumerated_Domain_Value: Mill Creek") + 4,
              at("          Enumerated_Domain_Value: Stony Run"));
    EXPECT_LT(at("  Metadata_Date: 20261205"), met.size());
}

TEST(RunReports, PerPolygonGeographicRunWithScenariosMatchesGoldenByteForByte)
{
    test::ScriptedUi ui;
    TempDir dir("reports");
    SampleRun run;
    run.perPolygon();
    WriteRunReports(dir.path(), "per_polygon", run.in);
    EXPECT_TRUE(ui.reports.empty());
    ExpectGolden(dir / "per_polygon.prm", "per_polygon.prm");
    ExpectGolden(dir / "per_polygon.met", "per_polygon.met");
}

TEST(RunReports, EmptyOrMissingTablesLeaveOnlyHeadings)
{
    TempDir dir("reports");
    SampleRun run;
    run.classes.clear();
    for (const bool missing : {false, true}) {
        if (missing)
            run.in.landClasses = run.in.devScenarios = nullptr;
        WriteParameterReport(dir / "a.prm", run.in);
        WriteMetadataReport(dir / "a.met", run.in);
        const auto prm = Lines(dir / "a.prm");
        ASSERT_FALSE(prm.empty());
        EXPECT_EQ(prm.back(), "  Coefficients:(Value,ClassName,High,Medium,Low)");
        const auto met = Lines(dir / "a.met");
        const auto header = std::find(met.begin(), met.end(), "           Values,ClassName,High,Medium.Low");
        ASSERT_NE(header, met.end());
        EXPECT_EQ(*(header + 1), "    ");
    }
}

TEST(RunReports, FailureIsReportedOnceAndKeepsWhatWasWritten)
{
    TempDir dir("reports");
    SampleRun run;
    // What the run's face reports: the report starts at the driver's stage.
    auto report = [&](const fs::path& folder) {
        try {
            WriteRunReports(folder, "out", run.in);
        } catch (...) {
            return support::ReportText(support::describe(std::current_exception()), "ExecuteModel",
                                       "clsISExecuteModel");
        }
        return std::string();
    };
    EXPECT_EQ(report(dir / "no such folder").find("\r\n\r\n\tisWriteMetadata clsISExecuteModel \r\n\r\n"), 55u);

    // A class entry short of its coefficients stops the parameter report at
    // that line, and the metadata report is then not attempted.
    run.classes.add("90", {"Woody Wetlands", "0"});
    EXPECT_NE(report(dir.path()).find("Subscript out of range"), std::string::npos);
    const auto prm = Lines(dir / "out.prm");
    ASSERT_FALSE(prm.empty());
    EXPECT_EQ(prm.back(), "      24,Developed High Intensity,95.5,90,85.25");
    EXPECT_FALSE(fs::exists(dir / "out.met"));
}

}  // namespace
}  // namespace halvo::reports
