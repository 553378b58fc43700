// Which extension folder the program and the plugin use: HALVO_HOME, a build
// tree, or a per-user folder seeded from the installed store.

#include "support/ext_folder.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>

namespace halvo::test {
namespace {

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

TEST_F(ExtensionFolderRules, HalvoHomeThenABuildTreeThenThePerUserFolder)
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
    EXPECT_TRUE(fs::is_directory(user / "temp"));
    EXPECT_TRUE(fs::is_directory(user / "output"));
    EXPECT_EQ(std::distance(fs::directory_iterator(user / "etc"), fs::directory_iterator{}), 1) << "no seed leftovers";
}

TEST_F(ExtensionFolderRules, PerUserFolderFollowsXdgAndKeepsTheUsersStore)
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

TEST_F(ExtensionFolderRules, HelpPagesOfTheFolderElseTheInstalledOnes)
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
