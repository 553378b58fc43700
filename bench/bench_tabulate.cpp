// Times the zonal tabulation and the NODATA contact test on the synthetic
// benchmark case (landcover.tif + zones.shp), with one and two threads.
//
//   bench_tabulate [--data DIR] [--repeat N] [--csv OUT] [--coverage centre|exact]
//
// --csv writes ZONE,class,cells,area_m2 with NODATA as its own class, the same
// layout as the numpy baseline's --out, so the two can be compared with cmp.

#include "bench_util.h"
#include "host/raster.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numeric>
#include <string>

using namespace halvo::host;
namespace fs = std::filesystem;
using halvo::bench::BestSeconds;
using halvo::bench::PeakRssMb;

namespace {

// One zone per feature, numbered in ZONE order.
std::vector<ZoneShape> LoadZones(const fs::path& shp, std::vector<std::string>& names)
{
    GDALDatasetUniquePtr ds(GDALDataset::Open(shp.c_str(), GDAL_OF_VECTOR));
    if (!ds) {
        std::fprintf(stderr, "cannot open %s\n", shp.c_str());
        std::exit(1);
    }
    std::vector<std::pair<std::string, std::unique_ptr<OGRGeometry>>> rows;
    for (auto& f : ds->GetLayer(0))
        rows.emplace_back(f->GetFieldAsString("ZONE"), std::unique_ptr<OGRGeometry>(f->StealGeometry()));
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ZoneShape> shapes;
    for (auto& [name, g] : rows) {
        shapes.emplace_back(static_cast<int>(names.size()), std::move(g));
        names.push_back(name);
    }
    return shapes;
}

void WriteCsv(const fs::path& out, const AreaTabulation& t, const std::vector<std::string>& names,
              const RasterInfo& info)
{
    std::FILE* f = std::fopen(out.c_str(), "w");
    std::fprintf(f, "ZONE,class,cells,area_m2\n");
    for (int z = 0; z < t.zoneCount; ++z) {
        std::map<std::int64_t, std::uint64_t> row;
        std::uint64_t classified = 0;
        for (std::size_t c = 0; c < t.classes.size(); ++c)
            if (const auto n = t.count(z, c)) {
                row[t.classes[c]] = n;
                classified += n;
            }
        if (info.nodata && t.zoneCells[static_cast<std::size_t>(z)] > classified)
            row[static_cast<std::int64_t>(*info.nodata)] = t.zoneCells[static_cast<std::size_t>(z)] - classified;
        for (const auto& [cls, n] : row)
            std::fprintf(f, "%s,%lld,%llu,%.1f\n", names[static_cast<std::size_t>(z)].c_str(),
                         static_cast<long long>(cls), static_cast<unsigned long long>(n),
                         static_cast<double>(n) * t.cellArea);
    }
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv)
{
    fs::path data = std::getenv("DATA_DIR") ? std::getenv("DATA_DIR") : "/tmp/halvo-bench";
    fs::path csv;
    int repeat = 3;
    Coverage coverage = Coverage::Centre;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--data")
            data = argv[i + 1];
        else if (a == "--repeat")
            repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--csv")
            csv = argv[i + 1];
        else if (a == "--coverage")
            coverage = std::string(argv[i + 1]) == "exact" ? Coverage::Exact : Coverage::Centre;
    }
    GDALAllRegister();

    const auto t0 = std::chrono::steady_clock::now();
    std::vector<std::string> names;
    const auto shapes = LoadZones(data / "zones.shp", names);
    const RasterInfo info = DescribeRaster(data / "landcover.tif");
    const double load = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const int zones = static_cast<int>(names.size());
    std::printf("case: %dx%d cells, %d zones, %s coverage; loading zones %.2fs, peak RSS %.0f MB\n", info.width,
                info.height, zones, coverage == Coverage::Exact ? "exact" : "centre", load, PeakRssMb());

    AreaTabulation t;
    for (const int threads : {1, 2}) {
        const double s = BestSeconds(repeat, [&] { t = TabulateArea(info, shapes, zones, threads, {}, coverage); });
        std::printf("TabulateArea   threads=%d  %.3fs  (%.0f Mcell/s)  peak RSS %.0f MB\n", threads, s,
                    static_cast<double>(info.width) * info.height / s / 1e6, PeakRssMb());
    }
    const std::uint64_t inZones = std::accumulate(t.zoneCells.begin(), t.zoneCells.end(), std::uint64_t{0});
    const std::uint64_t classified = std::accumulate(t.counts.begin(), t.counts.end(), std::uint64_t{0});
    std::printf("  %llu cells in zones, %llu of them NODATA, %zu classes\n", static_cast<unsigned long long>(inZones),
                static_cast<unsigned long long>(inZones - classified), t.classes.size());
    if (coverage == Coverage::Exact)
        std::printf("  plus %.1f cells' worth of shares of cut cells\n",
                    std::accumulate(t.zoneShares.begin(), t.zoneShares.end(), 0.0));

    std::vector<bool> touched;
    for (const int threads : {1, 2}) {
        const double s =
            BestSeconds(repeat, [&] { touched = TouchesNodata(info, shapes, zones, threads, {}, coverage); });
        std::printf("TouchesNodata  threads=%d  %.3fs  peak RSS %.0f MB\n", threads, s, PeakRssMb());
    }
    std::printf("  %lld of %d zones touch NODATA or the raster's edge\n",
                static_cast<long long>(std::count(touched.begin(), touched.end(), true)), zones);

    if (!csv.empty())
        WriteCsv(csv, t, names, info);
    return 0;
}
