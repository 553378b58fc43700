// `halvo --version` names the extension folder in use; an installed program
// (a folder it cannot write) works in a per-user folder made on first use.

#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using halvo::test::ReadFile;
using halvo::test::SourceDir;
using halvo::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct Output {
    int status;
    std::string text;
};

Output Shell(const std::string& cmd)
{
    Output r{-1, {}};
    FILE* p = ::popen((cmd + " 2>&1 </dev/null").c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        r.text.append(buf, n);
    const int raw = ::pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::string Quoted(const fs::path& p)
{
    std::string q(1, '\'');
    q += p.string();
    q += '\'';
    return q;
}

TEST(Version, NamesTheExtensionFolder)
{
    TempDir ext("halvo-version");
    const Output r = Shell("HALVO_HOME=" + Quoted(ext.path()) + " '" + HALVO_BIN + "' --version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.text, "halvo " HALVO_VERSION "\nextension folder: " + ext.path().string() + "\n");
}

// A read-only copy of the program with its store, as a packaged or shared install is.
TEST(Version, ReadOnlyProgramFolderGivesEachUserTheirOwnSeededFolder)
{
    TempDir tree("halvo-readonly"), home("halvo-home");
    fs::create_directories(tree / "etc");
    fs::copy_file(HALVO_BIN, tree / "halvo");
    fs::copy_file(SourceDir() / "etc/isprops.xml", tree / "etc/isprops.xml");
    fs::permissions(tree.path(), fs::perms(0755));

    // Root writes everywhere: the program runs as nobody, who cannot write the tree.
    std::string as = "env";
    if (::getuid() == 0) {
        ASSERT_EQ(::chown(home.path().c_str(), 65534, 65534), 0);
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups env";
    } else {
        fs::permissions(tree.path(), fs::perms(0555));
    }
    const std::string env = as + " -u HALVO_HOME -u XDG_DATA_HOME HOME=" + Quoted(home.path()) + " ";
    const Output version = Shell(env + Quoted(tree / "halvo") + " --version");
    const Output list = Shell(env + Quoted(tree / "halvo") + " coefficients list");
    fs::permissions(tree.path(), fs::perms(0755));

    const fs::path user = home / ".local/share/halvo";
    EXPECT_EQ(version.status, 0) << version.text;
    EXPECT_EQ(version.text, "halvo " HALVO_VERSION "\nextension folder: " + user.string() + "\n");
    EXPECT_EQ(ReadFile(user / "etc/isprops.xml"), ReadFile(SourceDir() / "etc/isprops.xml"));
    EXPECT_TRUE(fs::is_directory(user / "temp"));
    EXPECT_TRUE(fs::is_directory(user / "output"));
    EXPECT_EQ(list.status, 0) << list.text;
    EXPECT_EQ(list.text, "NLCD\n");
}

}  // namespace
