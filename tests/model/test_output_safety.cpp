// Nothing of the user's is lost: an output never replaces an input, only its
// own files are replaced, and only by a run that finished.

#include "support/run_case.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

constexpr double X0 = TwoZones::X0, Y0 = TwoZones::Y0, S = TwoZones::S;

struct Case : TwoZones {
    fs::path scenario = rc.polygons("newdev", "ID", false, {{CellBox(X0, Y0, S, 0, 0, 2, 2), "", 1}});
    std::string args(const fs::path& out, const std::string& more = {}) const
    {
        return TwoZones::args(zones, out) + " " + more;
    }
};

}  // namespace

TEST(OutputSafety, AnOutputNamingAnInputIsRefusedAndTheInputStays)
{
    Case c;
    const auto before = Snapshot(c.rc.data());
    const std::pair<std::string, fs::path> cases[] = {
        {"", c.zones},                                              // the analysis layer itself
        {"", fs::path(c.zones).replace_extension(".SHP")},          // the same, in other case
        {"--scenario " + c.scenario.string() + "=21", c.scenario},  // a scenario layer
        {"--density-layer " + c.scenario.string() + " --density-field ID --high 5 --low 1", c.scenario},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [more, out] = cases[i];
        const auto r = c.rc.cli(c.args(out, more));
        EXPECT_NE(r.status, 0) << out;
        EXPECT_NE(r.err.find("would replace the input"), std::string::npos) << r.err;
        EXPECT_EQ(Snapshot(c.rc.data()), before) << "an input changed for " << out;
        EXPECT_TRUE(c.rc.tempIsEmpty());
    }

    // An output named like the raster is another dataset: the raster stays,
    // and so do files of other kinds that share the output's name.
    std::ofstream(c.rc.data() / "lc.aux.xml") << "<PAMDataset/>";
    const auto r = c.rc.cli(c.args(c.rc.data() / "lc.shp"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(c.lc), before.at("lc.tif"));
    EXPECT_TRUE(fs::exists(c.rc.data() / "lc.aux.xml"));
}

TEST(OutputSafety, AFailedRunLeavesTheEarlierOutputAsItWas)
{
    Case c;
    const fs::path out = c.rc.data() / "out" / "result.shp";
    fs::create_directories(out.parent_path());
    ASSERT_EQ(c.rc.cli(c.args(out)).status, 0);
    std::ofstream(out.parent_path() / "result.tif") << "not ours";
    const auto before = Snapshot(out.parent_path());

    // Class 41 has no coefficient here: the run stops at the tabulation.
    const auto partial = c.rc.csv("partial.csv", "Value,ClassName,High,Medium,Low\r\n21,Developed,80,55.5,30\r\n");
    const auto r = c.rc.cli("run --landcover " + c.lc.string() + " --analysis " + c.zones.string() +
                            " --field NAME --coefficients-csv " + partial.string() + " --output " + out.string());
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(Snapshot(out.parent_path()), before);
    EXPECT_EQ(fs::directory_iterator(out.parent_path()) == fs::directory_iterator(), false);
    for (const auto& e : fs::directory_iterator(out.parent_path()))
        EXPECT_TRUE(e.is_regular_file()) << "left behind: " << e.path();

    // A run that succeeds replaces the set, and only the set.
    ASSERT_EQ(c.rc.cli(c.args(out, "--density high")).status, 0);
    EXPECT_EQ(ReadFile(out.parent_path() / "result.tif"), "not ours");
    EXPECT_NE(ReadFile(fs::path(out).replace_extension(".dbf")), before.at("result.dbf"));
}

TEST(OutputSafety, LinksPlantedAtOutputNamesAreReplacedNotFollowed)
{
    Case c;
    const fs::path folder = c.rc.data() / "out";
    fs::create_directories(folder);
    const fs::path target = c.rc.data() / "precious.txt";
    std::ofstream(target) << "keep me";
    ASSERT_EQ(c.rc.cli(c.args(folder / "result.shp")).status, 0);
    for (const char* name : {"result.prm", "result.met", "result.qml"}) {
        fs::remove(folder / name);
        fs::create_symlink(target, folder / name);
    }
    ASSERT_EQ(c.rc.cli(c.args(folder / "result.shp")).status, 0);
    EXPECT_EQ(ReadFile(target), "keep me");
    for (const char* name : {"result.prm", "result.met", "result.qml"})
        EXPECT_FALSE(fs::is_symlink(folder / name)) << name;
}

TEST(OutputSafety, TheRunTouchesOnlyItsOwnScratchInTemp)
{
    Case c;
    // A user's files in the temp folder of the installation survive a run.
    std::ofstream(c.rc.path() / "temp" / "notes.txt") << "mine";
    fs::create_directories(c.rc.path() / "temp" / "project");
    std::ofstream(c.rc.path() / "temp" / "project" / "a.shp") << "mine too";
    ASSERT_EQ(c.rc.cli(c.args(c.rc.data() / "out.shp")).status, 0);
    EXPECT_EQ(ReadFile(c.rc.path() / "temp" / "notes.txt"), "mine");
    EXPECT_EQ(ReadFile(c.rc.path() / "temp" / "project" / "a.shp"), "mine too");

    // A temp folder that is a link is refused, and its target left alone.
    const fs::path elsewhere = c.rc.data() / "elsewhere";
    fs::create_directories(elsewhere);
    std::ofstream(elsewhere / "keep.txt") << "keep";
    fs::remove_all(c.rc.path() / "temp");
    fs::create_directory_symlink(elsewhere, c.rc.path() / "temp");
    const auto r = c.rc.cli(c.args(c.rc.data() / "out2.shp"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("symbolic link"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(elsewhere / "keep.txt"), "keep");
    EXPECT_FALSE(fs::exists(c.rc.data() / "out2.shp"));
}
