// The support subsystem: the error reports' call-stack blocks, and which
// extension folder and help pages the program and the plugin use.

#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace halvo::test {
namespace {

void inner() { support::raise(5, "bad thing", "src"); }

void middle()
{
    const support::Procedure frame("C", "modC");
    inner();
}

void passOn()
{
    const support::Procedure frame("B", "modB");
    middle();
}

void shownHere()
{
    const support::Procedure frame("S", "modS", support::Shown::Here);
    passOn();
}

void outside()
{
    const support::Procedure frame("O", "modO");
    shownHere();
}

// What a face catching at "A modA" reports.
std::string FaceReport(void (*body)())
{
    try {
        body();
    } catch (...) {
        return support::ReportText(support::describe(std::current_exception()), "A", "modA");
    }
    return {};
}

// The report of an error raised through `where`, the procedures listed before the error block.
std::string Report(const std::string& where)
{
    return "Record Call Stack Sequence - Bottom line is error line.\r\n\r\n" + where +
           "\r\nError Number \r\n\t5\r\nDescription\r\n\tbad thing\r\n\r\n";
}

TEST(ErrorReporting, TheFaceListsTheChainOutermostFirstAndEachErrorStartsAfresh)
{
    try {
        passOn();
    } catch (const support::Error&) {
        // a caller that skips the failed step instead of reporting it: its trace must not leak
    }
    // Where a procedure shows its own report, the report starts there, whoever catches.
    EXPECT_EQ((std::vector<std::string>{FaceReport(inner), FaceReport(passOn), FaceReport(outside)}),
              (std::vector<std::string>{Report("\tA modA \r\n"), Report("\tA modA \r\n\tB modB \r\n\tC modC \r\n"),
                                        Report("\tS modS \r\n\tB modB \r\n\tC modC \r\n")}));
}

TEST(ErrorReporting, AnyFailureLeavingAProcedureIsReportedWithItsChain)
{
    try {
        const support::Procedure frame("B", "modB");
        throw std::runtime_error("disk gone");
    } catch (...) {
        const support::Caught c = support::describe(std::current_exception());
        EXPECT_EQ(c.kind, support::Failure::Failed);
        EXPECT_EQ(c.chain, std::vector<std::string>{"B modB "});
        EXPECT_EQ(c.description, "disk gone");
    }
}

namespace fs = std::filesystem;

struct ExtensionFolderRules : ::testing::Test {
    TempDir root{"halvo-places"};
    support::FolderPlaces places;

    void SetUp() override
    {
        fs::create_directories(root / "share/etc");
        std::ofstream(root / "share/etc/isprops.xml") << "<installed/>";
        fs::create_directories(root / "prog");
        fs::create_directories(root / "home");
        places.programFolder = root / "prog";
        places.home = (root / "home").string();
        places.sharedData = root / "share";
    }
};

TEST_F(ExtensionFolderRules, HalvoHomeWinsThenABuildTreeThenASeededPerUserFolder)
{
    fs::create_directories(root / "prog/etc");
    places.halvoHome = (root / "elsewhere").string();
    EXPECT_EQ(support::ResolveExtensionFolder(places), root / "elsewhere");
    EXPECT_FALSE(fs::exists(root / "elsewhere")) << "the folder HALVO_HOME names is the caller's to make";

    places.halvoHome.clear();
    EXPECT_EQ(support::ResolveExtensionFolder(places), root / "prog") << "a writable folder with etc/ is a build tree";
    EXPECT_FALSE(fs::exists(root / "home/.local"));

    // Installed programs sit beside no etc/.
    fs::remove_all(root / "prog/etc");
    const fs::path user = root / "home/.local/share/halvo";
    EXPECT_EQ(support::ResolveExtensionFolder(places), user);
    EXPECT_EQ(ReadFile(user / "etc/isprops.xml"), "<installed/>");
    EXPECT_EQ(std::distance(fs::directory_iterator(user / "etc"), fs::directory_iterator{}), 1) << "no seed leftovers";
}

TEST_F(ExtensionFolderRules, PerUserFolderFollowsXdgAndANewerReleaseNeverReplacesTheUsersStore)
{
    places.xdgDataHome = (root / "xdg").string();
    const fs::path user = root / "xdg/halvo";
    ASSERT_EQ(support::ResolveExtensionFolder(places), user);
    std::ofstream(user / "etc/isprops.xml") << "<edited/>";
    std::ofstream(root / "share/etc/isprops.xml") << "<newer release/>";
    EXPECT_EQ(support::ResolveExtensionFolder(places), user);
    EXPECT_EQ(ReadFile(user / "etc/isprops.xml"), "<edited/>") << "an edited store survives every later start";

    // A relative XDG_DATA_HOME is ignored, as the base directory rules ask.
    places.xdgDataHome = "relative/data";
    EXPECT_EQ(support::ResolveExtensionFolder(places), root / "home/.local/share/halvo");
}

TEST_F(ExtensionFolderRules, HelpComesFromTheFolderElseThePluginElseTheInstalledPages)
{
    const fs::path ext = root / "ext";
    EXPECT_EQ(support::HelpFolder(ext, places.sharedData), ext / "help") << "nothing installed: name the folder's own";
    fs::create_directories(root / "share/help");
    EXPECT_EQ(support::HelpFolder(ext, places.sharedData), root / "share/help");
    // A plugin installed in a profile keeps its pages beside the library, whatever HALVO_HOME says.
    fs::create_directories(root / "plugin/help");
    EXPECT_EQ(support::HelpFolder(ext, places.sharedData, root / "plugin"), root / "plugin/help");
    fs::create_directories(ext / "help");
    EXPECT_EQ(support::HelpFolder(ext, places.sharedData, root / "plugin"), ext / "help");
}

}  // namespace
}  // namespace halvo::test
