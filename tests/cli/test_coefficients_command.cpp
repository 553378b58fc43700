#include "coefficients/model_store.h"

#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using halvo::test::ReadFile;
using halvo::test::TempExtension;
namespace fs = std::filesystem;

namespace {
struct Result {
    int status;
    std::string out;
    std::string err;
};

// `halvo coefficients ARGS` on a throwaway extension folder.
struct CoefficientsCli : ::testing::Test {
    TempExtension ext;

    // `as` goes before the program: another user, for instance.
    Result run(const std::string& args, const std::string& as = "")
    {
        const fs::path out = ext / "stdout.txt";
        const fs::path err = ext / "stderr.txt";
        const std::string cmd = "HALVO_HOME='" + ext.path().string() + "' " + as + "'" + HALVO_BIN + "' coefficients " +
                                args + " >'" + out.string() + "' 2>'" + err.string() + "' </dev/null";
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
    }
    std::string file(const std::string& name, const std::string& text)
    {
        std::ofstream(ext / name, std::ios::binary) << text;
        return (ext / name).string();
    }
};
}  // namespace

TEST_F(CoefficientsCli, ListShowImportExportMergeRoundTrip)
{
    EXPECT_EQ(run("list").out, "NLCD\n");
    const Result shown = run("show NLCD");
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out.rfind("Value,ClassName,High,Medium,Low\n11,Open Water,0,0,0\n", 0), 0u);

    // The shipped names hold commas, so the round trip starts from a file of ours.
    ASSERT_EQ(
        run("import '" + file("a.csv", "value,ClassName,High,Medium,Low\n5,Pasture/Hay,1.5,1,0.5\n") + "' --name A")
            .status,
        0);
    ASSERT_EQ(run("export A '" + (ext / "a2.csv").string() + "'").status, 0);
    EXPECT_EQ(ReadFile(ext / "a2.csv"), "Value,ClassName,High,Medium,Low\r\n5,Pasture/Hay,1.5,1,0.5\r\n");
    ASSERT_EQ(run("import '" + (ext / "a2.csv").string() + "' --name Copy").status, 0);
    EXPECT_EQ(run("show Copy").out, run("show A").out);

    const Result merged = run("merge '" + (ext / "etc/isprops.xml").string() + "'");
    EXPECT_EQ(merged.status, 0);
    EXPECT_EQ(merged.out, "NLCD2\nA2\nCopy2\n");
    EXPECT_NE(merged.err.find("A '2' was appended"), std::string::npos);
    EXPECT_EQ(run("list").out, "NLCD\nA\nCopy\nNLCD2\nA2\nCopy2\n");
}

TEST_F(CoefficientsCli, FailuresSayWhyAndExitNonZero)
{
    const std::string store = ReadFile(ext / "etc/isprops.xml");
    const std::string bad = file("bad.csv", "11,Water,0,0,0\r\na,Water,200,0,0\r\n");
    const Result badLine = run("import '" + bad + "' --name Bad");
    EXPECT_NE(badLine.status, 0);
    EXPECT_NE(badLine.err.find("Invalid or incorrectly formated data in import file " + bad), std::string::npos);

    const Result taken = run("import '" + file("ok.csv", "1,A,1,1,1") + "' --name NLCD");
    EXPECT_NE(taken.status, 0);
    EXPECT_NE(taken.err.find("Coefficient Set name must be unique. Please reenter."), std::string::npos);

    EXPECT_NE(run("show Nope").status, 0);
    EXPECT_NE(run("export Nope '" + (ext / "x.csv").string() + "'").status, 0);
    EXPECT_FALSE(fs::exists(ext / "x.csv"));
    const Result notXml = run("merge '" + bad + "'");
    EXPECT_NE(notXml.status, 0);
    EXPECT_NE(notXml.err.find("Failed To Load XML - Invalid file format."), std::string::npos);
    EXPECT_NE(run("import '" + (ext / "missing.csv").string() + "' --name M").status, 0);
    EXPECT_EQ(ReadFile(ext / "etc/isprops.xml"), store);

    file("etc/isprops.xml", "not xml");
    const Result broken = run("list");
    EXPECT_NE(broken.status, 0);
    EXPECT_NE(broken.err.find("Failed To Load XML - verify the file 'isprops.xml'"), std::string::npos);
}

TEST_F(CoefficientsCli, ConcurrentImportsKeepEverySetAndAFailedOneStoresNothing)
{
    // Each import reads, changes and saves the whole store: without the lock,
    // the last to save drops what the others added meanwhile.
    const std::string good = file("good.csv", "1,A,1,1,1\n2,B,2,2,2\n");
    const std::string bad = file("bad.csv", "1,A,1,1,1\n2,B,200,2,2\n");
    const fs::path bin = HALVO_BIN;
    std::string script;
    for (int i = 0; i < 8; ++i) {
        const std::string csv = i % 4 == 3 ? bad : good;
        // Two processes race for the name Same: exactly one may have it.
        const std::string name = i < 2 ? "Same" : "S" + std::to_string(i);
        script += "(HALVO_HOME='" + ext.path().string() + "' '" + bin.string() + "' coefficients import '" + csv +
                  "' --name " + name + " >/dev/null 2>&1; echo " + name + " $? >>'" + (ext / "status.txt").string() +
                  "') & ";
    }
    script += "wait";
    ASSERT_EQ(std::system(script.c_str()), 0);

    const std::string statuses = ReadFile(ext / "status.txt");
    int sameStored = 0;
    for (int i = 2; i < 8; ++i) {
        const std::string name = "S" + std::to_string(i);
        const bool ok = i % 4 != 3;
        EXPECT_NE(statuses.find(name + (ok ? " 0" : " 1")), std::string::npos) << statuses;
    }
    for (std::size_t p = statuses.find("Same 0"); p != std::string::npos; p = statuses.find("Same 0", p + 1))
        ++sameStored;
    EXPECT_EQ(sameStored, 1) << statuses;
    const std::string listed = run("list").out;
    for (const char* name : {"S2", "S4", "S5", "S6"})
        EXPECT_NE(listed.find(std::string(name) + "\n"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("S3\n"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("S7\n"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("Same\n"), listed.rfind("Same\n")) << listed;
    EXPECT_NE(listed.find("Same\n"), std::string::npos) << listed;
}

TEST_F(CoefficientsCli, ReadOnlyStoreIsRefusedAlsoForItsOwner)
{
    const fs::path store = ext / "etc/isprops.xml";
    const std::string csv = file("a.csv", "1,A,1,1,1\n");
    // Whoever runs the tests here (root ignores modes), then an ordinary user
    // who owns the folder: renaming over the store would need no write access
    // to it, so only the save's own check refuses.
    std::string as;
    for (int pass = 0; pass < 2; ++pass) {
        fs::permissions(store, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        const std::string before = ReadFile(store);
        const Result r = run("import '" + csv + "' --name A", as);
        EXPECT_EQ(r.status, 1) << as;
        EXPECT_NE(r.err.find("Failed To Save XML - verify the permissions to write to file '" + store.string() + "'"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(ReadFile(store), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(store.parent_path()), fs::directory_iterator()), 1);

        fs::permissions(store, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(run("import '" + csv + "' --name A" + std::to_string(pass), as).status, 0) << as;
        if (::geteuid() != 0)
            break;
        const std::string chown = "chown -R 65534:65534 '" + ext.path().string() + "'";
        ASSERT_EQ(std::system(chown.c_str()), 0);
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
}

TEST_F(CoefficientsCli, DeepOrHugeStoresAreNotStores)
{
    // Deep enough to overflow the stack of anything that walks it recursively.
    std::string deep = "<ISModelProperties><ISLCDefs><ISLCDef><LCType>";
    for (int i = 0; i < 50000; ++i)
        deep += "<a>";
    for (int i = 0; i < 50000; ++i)
        deep += "</a>";
    deep += "</LCType></ISLCDef></ISLCDefs></ISModelProperties>";
    const std::string deepFile = file("deep.xml", deep);
    const Result merged = run("merge '" + deepFile + "'");
    EXPECT_EQ(merged.status, 1);
    EXPECT_NE(merged.err.find("Failed To Load XML - Invalid file format."), std::string::npos) << merged.err;

    const std::string notAStore = "Failed To Load XML - verify the file 'isprops.xml' is located in the '" +
                                  (ext / "etc/isprops.xml").string() + "'.";
    fs::copy_file(deepFile, ext / "etc/isprops.xml", fs::copy_options::overwrite_existing);
    const Result listed = run("list");
    EXPECT_EQ(listed.status, 1);
    EXPECT_NE(listed.err.find(notAStore), std::string::npos) << listed.err;

    // Over the size limit: refused before it is read.
    fs::resize_file(ext / "etc/isprops.xml", (std::uintmax_t{64} << 20) + 1);
    const Result huge = run("list");
    EXPECT_EQ(huge.status, 1);
    EXPECT_NE(huge.err.find(notAStore), std::string::npos) << huge.err;
}

TEST_F(CoefficientsCli, WithoutAStoreImportAndMergeMakeTheFirst)
{
    const std::string shipped = ReadFile(ext / "etc/isprops.xml");
    fs::remove_all(ext / "etc");
    EXPECT_EQ(run("list").status, 1);
    ASSERT_EQ(run("import '" + file("a.csv", "1,A,1,1,1\n") + "' --name A").status, 0);
    EXPECT_EQ(run("list").out, "A\n");
    std::ofstream(ext / "other.xml", std::ios::binary) << shipped;
    fs::remove(ext / "etc/isprops.xml");
    const Result merged = run("merge '" + (ext / "other.xml").string() + "'");
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(run("list").out, "NLCD\n");
}

TEST_F(CoefficientsCli, ReportAndImportReadRegularFilesOnly)
{
    // Nobody ever writes to these FIFOs: opening one to read would wait for ever.
    const fs::path fifo = ext / "out.prm";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string cmd = "timeout 20 '" + std::string(HALVO_BIN) + "' report prm '" + (ext / "out.shp").string() +
                            "' >/dev/null 2>'" + (ext / "err.txt").string() + "'";
    const int raw = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_NE(ReadFile(ext / "err.txt").find("is not a regular file"), std::string::npos) << ReadFile(ext / "err.txt");

    const Result imported = run("import '" + fifo.string() + "' --name F", "timeout 20 ");
    EXPECT_EQ(imported.status, 1);
    EXPECT_NE(imported.err.find("cannot be read"), std::string::npos) << imported.err;
}
