// Faults from outside, through the halvo program: folders that cannot be
// written, a disk that fills up, a run killed part-way, broken shapefiles and
// rasters. Each must end with a message naming the file, a non-zero exit,
// an empty temp/, no output that looks like a result and the store as it was.

#include "fault_injection.h"
#include "support/run_case.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <map>
#include <numbers>

extern char** environ;

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

constexpr double X0 = TwoZones::X0, Y0 = TwoZones::Y0, S = TwoZones::S;

using Small = TwoZones;

// Files in `folder` named after the output, whatever their extension.
std::vector<std::string> Leftovers(const fs::path& folder, const std::string& stem)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(stem + ".", 0) == 0)
            found.push_back(name);
    }
    return found;
}

// What every refused run must show.
void ExpectRefused(const RunCase& rc, const RunOutput& r, const fs::path& out, const std::string& names)
{
    // Kept in the XML report (--gtest_output=xml), for the record of what users see.
    ::testing::Test::RecordProperty("stderr", r.err);
    EXPECT_NE(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(names), std::string::npos) << "expected a message naming " << names << ":\n" << r.err;
    EXPECT_TRUE(rc.tempIsEmpty());
    EXPECT_TRUE(Leftovers(out.parent_path(), out.stem().string()).empty()) << "a partial output was left";
    EXPECT_EQ(r.err.find("ERROR: AddressSanitizer"), std::string::npos) << r.err;
}

class Faults : public ::testing::TestWithParam<Injection> {
protected:
    void SetUp() override
    {
        injector_ = std::make_unique<FaultInjector>(GetParam());
        if (!injector_->unavailable().empty())
            GTEST_SKIP() << Name(GetParam()) << " injection unavailable here: " << injector_->unavailable();
    }
    FaultInjector& inject() { return *injector_; }

private:
    std::unique_ptr<FaultInjector> injector_;
};

}  // namespace

TEST_P(Faults, ReadOnlyOutputFolderIsRefusedNamingIt)
{
    Small s;
    const fs::path folder = s.rc.path() / "locked";
    fs::create_directories(folder);
    inject().readOnly(folder);
    const auto r = s.rc.halvo(s.args(s.zones, folder / "out.shp"));
    ExpectRefused(s.rc, r, folder / "out.shp", folder.string());
}

TEST_P(Faults, ReadOnlyEtcLeavesTheStoreWholeOnImportAndMerge)
{
    Small s;
    const fs::path store = s.rc.path() / "etc" / "isprops.xml";
    const std::string before = ReadFile(store);
    const fs::path other = s.rc.data() / "other.xml";
    fs::copy_file(store, other);
    inject().readOnly(s.rc.path() / "etc");

    for (const std::string& args :
         {"coefficients import " + s.coef.string() + " --name Mine", "coefficients merge " + other.string()}) {
        const auto r = s.rc.halvo(args);
        RecordProperty("stderr", r.err);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_NE(r.err.find("Failed To Save XML"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(store.string()), std::string::npos) << r.err;
        EXPECT_TRUE(ReadFile(store) == before) << "the store changed: " << args;
        EXPECT_EQ(std::distance(fs::directory_iterator(store.parent_path()), fs::directory_iterator()), 1);
    }
}

TEST_P(Faults, FullEtcLeavesTheStoreWholeOnImport)
{
    Small s;
    // A folder of its own for etc/, so the full filesystem holds the store and its scratch file only.
    const fs::path etc = s.rc.path() / "etc";
    const std::string before = ReadFile(etc / "isprops.xml");
    // Enough for the store as it is, not for a second copy beside it.
    fs::remove_all(etc);
    fs::create_directories(etc);
    inject().fullAfter(etc, before.size() + before.size() / 2);
    {
        std::ofstream(etc / "isprops.xml", std::ios::binary) << before;
    }
    ASSERT_TRUE(ReadFile(etc / "isprops.xml") == before);
    // A set as big as the store's own, so the new store cannot fit.
    std::string csv = "Value,ClassName,High,Medium,Low\r\n";
    for (int id = 0; id < 200; ++id)
        csv +=
            std::to_string(id) + ",A class with a long enough name to take room " + std::to_string(id) + ",1,2,3\r\n";
    const auto big = s.rc.csv("big.csv", csv);

    const auto r = s.rc.halvo("coefficients import " + big.string() + " --name Big");
    RecordProperty("stderr", r.err);
    EXPECT_NE(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("isprops.xml"), std::string::npos) << r.err;
    EXPECT_TRUE(ReadFile(etc / "isprops.xml") == before) << "the store changed";
    EXPECT_EQ(std::distance(fs::directory_iterator(etc), fs::directory_iterator()), 1);
    EXPECT_EQ(s.rc.halvo("coefficients list").status, 0);
}

TEST_P(Faults, ReadOnlyTempIsRefusedNamingIt)
{
    Small s;
    inject().readOnly(s.rc.path() / "temp");
    const auto out = s.rc.data() / "out.shp";
    const auto r = s.rc.halvo(s.args(s.zones, out));
    ExpectRefused(s.rc, r, out, (s.rc.path() / "temp").string());
}

TEST_P(Faults, DiskFullDuringTheOutputWriteLeavesNoOutput)
{
    Small s;
    // Many zones of many vertices: an output of several hundred kilobytes.
    std::vector<Feature> circles;
    for (int row = 0; row < 10; ++row)
        for (int col = 0; col < 10; ++col) {
            const double cx = X0 + (col + 0.5) * S, cy = Y0 - (row + 0.5) * S;
            std::string wkt = "POLYGON((";
            for (int k = 0; k <= 400; ++k) {
                const double a = 2 * std::numbers::pi * (k % 400) / 400;
                if (k > 0)
                    wkt += ',';
                wkt.append(std::to_string(cx + 0.49 * S * std::cos(a))).append(" ");
                wkt.append(std::to_string(cy + 0.49 * S * std::sin(a)));
            }
            wkt += "))";
            std::string zone(1, 'Z');
            zone += std::to_string(row * 10 + col);
            circles.push_back({wkt, zone});
        }
    const auto zones = s.rc.polygons("circles", "NAME", true, circles);
    const fs::path folder = s.rc.path() / "small-disk";
    fs::create_directories(folder);
    inject().fullAfter(folder, 64 * 1024);
    const auto r = s.rc.halvo(s.args(zones, folder / "out.shp"));
    ExpectRefused(s.rc, r, folder / "out.shp", "out.shp");
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(folder)) << "the staged files were left behind";
}

TEST(FailedRename, EarlierOutputIsPutBackWhole)
{
    Small s;
    const fs::path out = s.rc.data() / "out.shp";
    ASSERT_EQ(s.rc.halvo(s.args(s.zones, out)).status, 0);
    const auto before = Snapshot(s.rc.data(), "out");
    ASSERT_EQ(before.size(), 8u) << "shp, shx, dbf, prj, cpg, qml, prm, met";

    FaultInjector inject(Injection::Shim);
    inject.failRenameTo("/out.met");
    const auto r = s.rc.halvo(s.args(s.zones, out));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Cannot put"), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(s.rc.data(), "out"), before);
    EXPECT_TRUE(s.rc.tempIsEmpty());
}

// A run killed at any step of putting its output in place: the next run
// into the folder leaves one whole set, the earlier one or, once every new
// file was in place, the new one; never a mix.
TEST(KilledCommit, TheNextRunLeavesOneWholeSetAtEveryStep)
{
    Small s;
    const fs::path out = s.rc.data() / "out.shp";
    ASSERT_EQ(s.rc.halvo(s.args(s.zones, out)).status, 0);
    const auto before = Snapshot(s.rc.data(), "out");
    // Three zones: every file of the new set but .prj, .cpg and .qml differs.
    const auto three = s.rc.polygons("three", "NAME", true,
                                     {{CellBox(X0, Y0, S, 0, 0, 10, 3), "A"},
                                      {CellBox(X0, Y0, S, 0, 3, 10, 6), "B"},
                                      {CellBox(X0, Y0, S, 0, 6, 10, 10), "C"}});
    std::vector<int> completed;
    int step = 1;
    for (;; ++step) {
        RunOutput r;
        {
            FaultInjector inject(Injection::Shim);
            inject.killAfterRename(step);
            r = s.rc.halvo(s.args(three, out));
        }
        if (r.status == 0)
            break;
        ASSERT_EQ(s.rc.halvo(s.args(s.zones, s.rc.data() / "other.shp")).status, 0) << step;
        const auto now = Snapshot(s.rc.data(), "out");
        if (now == before)
            continue;
        completed.push_back(step);
        ASSERT_EQ(now.size(), before.size()) << step;
        EXPECT_EQ(s.rc.read(out, "NAME").size(), 3u) << step;
        for (const char* name : {"out.shp", "out.shx", "out.dbf", "out.prm", "out.met"})
            EXPECT_NE(now.at(name), before.at(name)) << "step " << step << ": the earlier " << name << " was left";
    }
    // Eight files moved aside, eight put in place; only the last step leaves the new set whole.
    EXPECT_EQ(step, 17);
    EXPECT_EQ(completed, std::vector<int>{16});
    EXPECT_TRUE(s.rc.tempIsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Injections, Faults, ::testing::Values(Injection::Mount, Injection::Shim),
                         [](const auto& p) { return Name(p.param); });

TEST(TempFolder, MissingIsMadeAgainAndLeftEmpty)
{
    Small s;
    fs::remove_all(s.rc.path() / "temp");
    const auto out = s.rc.data() / "out.shp";
    const auto r = s.rc.halvo(s.args(s.zones, out));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(out));
    EXPECT_TRUE(s.rc.tempIsEmpty());
}

// A run stopped part-way leaves the earlier output byte for byte. SIGINT and
// SIGTERM end it cleanly (130, 143, its scratch removed); after SIGKILL the
// next run removes what it left and completes.
class Interrupted : public ::testing::TestWithParam<int> {};

namespace {

bool HasScratch(const fs::path& temp)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(temp, ec))
        if (fs::exists(e.path() / "tempAnalysis.shp"))
            return true;
    return false;
}

}  // namespace

TEST_P(Interrupted, EarlierOutputStaysAndTheNextRunStartsClean)
{
    Small s;
    const fs::path out = s.rc.data() / "out.shp";
    ASSERT_EQ(s.rc.halvo(s.args(s.zones, out)).status, 0);
    const std::string before = ReadFile(out), beforeDbf = ReadFile(fs::path(out).replace_extension(".dbf"));

    // Big enough that the run is still tabulating when it is stopped; a
    // GeoPackage is copied into the run's scratch folder first, the cue to stop it.
    const int n = 3000;
    const auto lc = s.rc.raster("big", n, n, X0, Y0, 10, 10, std::vector<int>(static_cast<std::size_t>(n) * n, 21));
    const auto zones = s.rc.polygons("zones", "NAME", true, {{CellBox(X0, Y0, 10, 0, 0, n, n), "All"}}, 5070, "GPKG");
    const std::string home = "HALVO_HOME=" + s.rc.path().string();
    const std::string bin = std::string(HALVO_EXT_DIR) + "/halvo";
    std::vector<std::string> args = {
        bin,         "run",  "--landcover",        lc.string(),     "--analysis", zones.string(),
        "--field",   "NAME", "--coefficients-csv", s.coef.string(), "--output",   out.string(),
        "--threads", "1"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {home};
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("HALVO_HOME=", 0) != 0)
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, bin.c_str(), &quiet, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&quiet);

    int status = 0;
    bool finished = false;
    while (!HasScratch(s.rc.path() / "temp")) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            finished = true;
            break;
        }
        usleep(200);
    }
    ASSERT_FALSE(finished) << "the run ended before it could be stopped";
    kill(pid, GetParam());
    waitpid(pid, &status, 0);
    if (GetParam() == SIGKILL) {
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_FALSE(s.rc.tempIsEmpty()) << "the killed run should have left its scratch behind";
    } else {
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), GetParam() == SIGINT ? 130 : 143);
        EXPECT_TRUE(s.rc.tempIsEmpty());
    }
    EXPECT_EQ(ReadFile(out), before) << "the earlier output changed";
    EXPECT_EQ(ReadFile(fs::path(out).replace_extension(".dbf")), beforeDbf);

    const auto r = s.rc.halvo(s.args(s.zones, out));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(s.rc.read(out, "NAME").size(), 2u);
    EXPECT_TRUE(s.rc.tempIsEmpty());
    for (const auto& e : fs::directory_iterator(out.parent_path()))
        EXPECT_EQ(e.path().filename().string().rfind(".halvo-staging-", 0), std::string::npos) << e.path();
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted, ::testing::Values(SIGINT, SIGTERM, SIGKILL), [](const auto& p) {
    return p.param == SIGINT ? "SIGINT" : p.param == SIGTERM ? "SIGTERM" : "SIGKILL";
});

// Broken inputs: each is refused with a message naming the file, or, where
// the data can still be read whole, the run completes.
namespace {

void Truncate(const fs::path& p, double keep)
{
    fs::resize_file(p, static_cast<std::uintmax_t>(static_cast<double>(fs::file_size(p)) * keep));
}

}  // namespace

// These need no process of their own: the CLI runs in this one.
TEST(BrokenShapefile, AMissingPartOrACutShpIsRefusedNamingTheLayer)
{
    const std::pair<const char*, void (*)(const fs::path&)> breaks[] = {
        {".dbf", [](const fs::path& p) { fs::remove(p); }},
        {".shx", [](const fs::path& p) { fs::remove(p); }},
        {".shp", [](const fs::path& p) { Truncate(p, 0.6); }},
    };
    for (const auto& [part, breakIt] : breaks) {
        Small s;
        breakIt(fs::path(s.zones).replace_extension(part));
        const auto out = s.rc.data() / "out.shp";
        ExpectRefused(s.rc, s.rc.cli(s.args(s.zones, out)), out, s.zones.string());
    }
}

TEST(BrokenShapefile, InvalidAndEmptyGeometriesDoNotStopTheRun)
{
    Small s;
    // Beside a good zone in the north half: a bow tie (self-intersecting) in
    // the south half, an empty polygon and a feature without a shape.
    auto at = [](double col, double row) { return std::to_string(X0 + col * S) + " " + std::to_string(Y0 - row * S); };
    const std::string bowTie =
        "POLYGON((" + at(0, 5) + "," + at(10, 10) + "," + at(10, 5) + "," + at(0, 10) + "," + at(0, 5) + "))";
    const auto zones = s.rc.polygons(
        "odd", "NAME", true,
        {{CellBox(X0, Y0, S, 0, 0, 10, 5), "Good"}, {bowTie, "BowTie"}, {"POLYGON EMPTY", "Empty"}, {"", "NoShape"}});
    const auto out = s.rc.data() / "out.shp";
    const auto r = s.rc.cli(s.args(zones, out));
    EXPECT_EQ(r.status, 0) << r.err;
    const auto result = s.rc.read(out, "NAME");
    std::string seen;
    for (const auto& [zone, z] : result)
        seen += zone + "=" + std::to_string(z.total) + "/" + z.complete + " ";
    RecordProperty("zones", seen);
    ASSERT_TRUE(result.count("Good"));
    EXPECT_DOUBLE_EQ(result.at("Good").total, 50 * S * S / 10000);
    EXPECT_TRUE(s.rc.tempIsEmpty());
    EXPECT_EQ(r.err.find("ERROR: AddressSanitizer"), std::string::npos) << r.err;
}

TEST(BrokenRaster, CorruptTileIsRefusedNamingTheRaster)
{
    Small s;
    // A tiled, compressed raster whose second tile is overwritten with noise.
    const fs::path lc = s.rc.data() / "tiled.tif";
    {
        const char* options[] = {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", "COMPRESS=DEFLATE", nullptr};
        GDALDatasetUniquePtr ds(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            lc.c_str(), 64, 64, 1, GDT_Byte, const_cast<char**>(options)));
        double gt[6] = {X0, S, 0, Y0, 0, -S};
        ds->SetGeoTransform(gt);
        OGRSpatialReference srs;
        srs.importFromEPSG(5070);
        ds->SetSpatialRef(&srs);
        std::vector<std::uint8_t> v(64 * 64);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = i % 5 == 0 ? 41 : 21;
        ASSERT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 64, 64, v.data(), 64, 64, GDT_Byte, 0, 0), CE_None);
    }
    std::uintmax_t offset = 0, size = 0;
    {
        GDALDatasetUniquePtr ds(GDALDataset::Open(lc.c_str(), GDAL_OF_RASTER));
        const char* o = ds->GetRasterBand(1)->GetMetadataItem("BLOCK_OFFSET_1_0", "TIFF");
        const char* n = ds->GetRasterBand(1)->GetMetadataItem("BLOCK_SIZE_1_0", "TIFF");
        ASSERT_TRUE(o && n);
        offset = std::stoull(o);
        size = std::stoull(n);
    }
    {
        std::fstream f(lc, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(offset));
        for (std::uintmax_t i = 0; i < size; ++i)
            f.put(static_cast<char>(0xA5 ^ (i * 37)));
    }
    const auto zones = s.rc.polygons("wide", "NAME", true, {{CellBox(X0, Y0, S, 0, 0, 64, 64), "All"}});
    const auto out = s.rc.data() / "out.shp";
    const auto r = s.rc.cli("run --landcover " + lc.string() + " --analysis " + zones.string() +
                            " --field NAME --coefficients-csv " + s.coef.string() + " --output " + out.string());
    ExpectRefused(s.rc, r, out, lc.string());
}
