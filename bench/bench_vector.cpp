// Times the vector stages of a run on the benchmark case: the dissolve of the
// 2142 zones into their 181 groups, the cutting of the groups by the overlay
// tessellation (exact cover by density level), and the NODATA contact test of
// the dissolved output.
//
//   bench_vector [--data DIR] [--repeat N]

#include "bench_util.h"
#include "host/map.h"
#include "host/ogr_layer.h"
#include "host/raster.h"
#include "host/vector_ops.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace halvo::host;
namespace fs = std::filesystem;
using halvo::bench::BestSeconds;
using halvo::bench::PeakRssMb;

namespace {

Layer layerOf(const fs::path& p)
{
    Layer l;
    l.name = p.stem().string();
    l.source = p;
    return l;
}

}  // namespace

int main(int argc, char** argv)
{
    fs::path data = "/tmp/halvo-bench";
    int repeat = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--data"))
            data = argv[i + 1];
        else if (!std::strcmp(argv[i], "--repeat"))
            repeat = std::atoi(argv[i + 1]);
    }
    const fs::path out = fs::temp_directory_path() / "halvo-bench-vector";
    fs::create_directories(out);
    const Layer zones = layerOf(data / "zones.shp"), overlay = layerOf(data / "overlay.shp");

    const double dissolve = BestSeconds(repeat, [&] { Dissolve(zones, "GRP", false, out / "groups.shp"); });
    // The overlay's polygons as one label layer, three labels in turn.
    ZoneLayer groups(zones, "GRP", false);
    const auto& unions = groups.features().unions();
    std::vector<CellLabels> labels(1);
    labels[0].count = 4;
    for (auto& f : ReadFeatures(overlay, {}, false))
        labels[0].shapes.emplace_back(static_cast<int>(labels[0].shapes.size() % 3) + 1,
                                      std::unique_ptr<OGRGeometry>(f.geometry.release()));
    std::size_t pieces = 0;
    const double cut = BestSeconds(repeat, [&] { pieces = CutZones(unions, labels, {false}).size(); });

    const RasterInfo raster = DescribeRaster(data / "landcover.tif");
    std::vector<ZoneShape> shapes;
    for (auto& f : ReadFeatures(layerOf(out / "groups.shp"), "GRP", false))
        shapes.emplace_back(static_cast<int>(shapes.size()), std::unique_ptr<OGRGeometry>(f.geometry.release()));
    int flagged = 0;
    const double touches = BestSeconds(repeat, [&] {
        const auto t = TouchesNodata(raster, shapes, static_cast<int>(shapes.size()));
        flagged = static_cast<int>(std::count(t.begin(), t.end(), true));
    });

    std::printf("| step | wall s (best of %d) |\n|---|---|\n", repeat);
    std::printf("| dissolve 2142 zones by GRP into %zu groups | %.3f |\n", shapes.size(), dissolve);
    std::printf("| cut the groups by the overlay: %zu pieces | %.3f |\n", pieces, cut);
    std::printf("| NODATA contact of the %zu groups: %d flagged | %.3f |\n", shapes.size(), flagged, touches);
    std::printf("\npeak RSS %.0f MB\n", PeakRssMb());
    fs::remove_all(out);
    return 0;
}
