#include "host/host_data.h"
#include "host/raster.h"
#include "host/zonal.h"

#include "support/test_paths.h"

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

using namespace halvo::host;
using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

// A size × size grid of unit cells, x from 0, y from 0 at the bottom row; the
// cell in row r, column c holds the class 1 + r * size + c.
fs::path UnitGrid(const fs::path& path, int size, std::optional<double> nodataCell = std::nullopt)
{
    return WriteRaster(path, {size, size, {0, 1, 0, static_cast<double>(size), 0, -1}}, GDT_UInt16,
                       Numbered(size * size), nodataCell);
}

// Share of each cell (x, y of its lower-left corner) for one zone, from an
// exact tabulation over a UnitGrid.
std::map<std::pair<int, int>, double> SharesByCell(const AreaTabulation& t, int zone, int size)
{
    std::map<std::pair<int, int>, double> out;
    for (std::size_t k = 0; k < t.classes.size(); ++k)
        if (const double v = t.cells(zone, k); v != 0) {
            const auto i = static_cast<int>(t.classes[k] - 1);
            out[{i % size, size - 1 - i / size}] = v;
        }
    return out;
}

// Area of what `g` has inside the box.
double AreaInside(const OGRGeometry& g, double minx, double miny, double maxx, double maxy)
{
    char wkt[256];
    std::snprintf(wkt, sizeof wkt, "POLYGON ((%.17g %.17g,%.17g %.17g,%.17g %.17g,%.17g %.17g,%.17g %.17g))", minx,
                  miny, maxx, miny, maxx, maxy, minx, maxy, minx, miny);
    const std::unique_ptr<OGRGeometry> inside(g.Intersection(Geom(wkt).get()));
    return inside ? OGR_G_Area(OGRGeometry::ToHandle(inside.get())) : 0;
}

}  // namespace

// Shapes whose share of each unit cell is known by hand.
TEST(ExactCoverage, SharesOfHandDrawnShapesAreExactWhateverWayAHoleRuns)
{
    TempDir dir;
    const RasterInfo info = DescribeRaster(UnitGrid(dir / "grid.tif", 4));
    using Cells = std::map<std::pair<int, int>, double>;
    const std::vector<std::pair<std::string, Cells>> cases = {
        // a quarter of one cell: no centre inside, so the centre rule gives nothing
        {"POLYGON ((1 2,1.5 2,1.5 2.5,1 2.5,1 2))", {{{1, 2}, 0.25}}},
        // a triangle inside one cell
        {"POLYGON ((2.1 0.1,2.9 0.1,2.1 0.9,2.1 0.1))", {{{2, 0}, 0.32}}},
        // a right triangle over four cells, its hypotenuse through cell corners
        {"POLYGON ((0 0,2 0,0 2,0 0))", {{{0, 0}, 1.0}, {{1, 0}, 0.5}, {{0, 1}, 0.5}}},
        // a square a quarter cell off the grid: quarters, halves and one whole cell
        {"POLYGON ((0.5 0.5,2.5 0.5,2.5 2.5,0.5 2.5,0.5 0.5))",
         {{{0, 0}, 0.25},
          {{1, 0}, 0.5},
          {{2, 0}, 0.25},
          {{0, 1}, 0.5},
          {{1, 1}, 1.0},
          {{2, 1}, 0.5},
          {{0, 2}, 0.25},
          {{1, 2}, 0.5},
          {{2, 2}, 0.25}}},
        // the whole grid with a one-cell hole centred on a grid corner; the hole
        // runs the same way round as the shell, which must not matter
        {"POLYGON ((0 0,4 0,4 4,0 4,0 0),(1.5 1.5,2.5 1.5,2.5 2.5,1.5 2.5,1.5 1.5))",
         [] {
             Cells c;
             for (int x = 0; x < 4; ++x)
                 for (int y = 0; y < 4; ++y)
                     c[{x, y}] = (x == 1 || x == 2) && (y == 1 || y == 2) ? 0.75 : 1.0;
             return c;
         }()},
        // a triangle thousands of kilometres across: the grid is inside it,
        // and its far-away edges cost nothing
        {"POLYGON ((-1e7 -1e7,1e7 -1e7,0 1e7,-1e7 -1e7))",
         [] {
             Cells c;
             for (int x = 0; x < 4; ++x)
                 for (int y = 0; y < 4; ++y)
                     c[{x, y}] = 1.0;
             return c;
         }()},
        // two parts, one reaching past the grid: only the part inside counts
        {"MULTIPOLYGON (((0 3,0.5 3,0.5 4,0 4,0 3)),((3.5 3.5,5 3.5,5 5,3.5 5,3.5 3.5)))",
         {{{0, 3}, 0.5}, {{3, 3}, 0.25}}},
    };
    for (const auto& [wkt, expected] : cases) {
        SCOPED_TRACE(wkt);
        std::vector<ZoneShape> shapes;
        shapes.emplace_back(0, Geom(wkt));
        const AreaTabulation t = TabulateArea(info, shapes, 1, 1, {}, Coverage::Exact);
        const Cells got = SharesByCell(t, 0, 4);
        ASSERT_EQ(got.size(), expected.size());
        for (const auto& [cell, share] : expected) {
            ASSERT_TRUE(got.count(cell)) << cell.first << "," << cell.second;
            EXPECT_NEAR(got.at(cell), share, 1e-12) << cell.first << "," << cell.second;
        }
    }

    // Edges along grid lines: exact and centre agree cell for cell, whole cells only.
    std::vector<ZoneShape> aligned;
    aligned.emplace_back(0, Geom("POLYGON ((1 0,3 0,3 3,1 3,1 0),(2 1,3 1,3 2,2 2,2 1))"));
    aligned.emplace_back(1, Geom("POLYGON ((0 0,1 0,1 4,0 4,0 0))"));
    const AreaTabulation centre = TabulateArea(info, aligned, 2, 1);
    const AreaTabulation exact = TabulateArea(info, aligned, 2, 1, {}, Coverage::Exact);
    EXPECT_EQ(exact.classes, centre.classes);
    EXPECT_EQ(exact.counts, centre.counts);
    EXPECT_EQ(exact.zoneCells, centre.zoneCells);
    for (const double s : exact.shares)
        EXPECT_EQ(s, 0.0);
    EXPECT_EQ(exact.zoneCells, (std::vector<std::uint64_t>{5, 4}));
}

// Random star polygons with holes, overlapping between zones, on a grid of
// several strips and chunks: each zone's cells add up to its area inside the
// raster, and any number of threads and any chunk width give the same tally.
TEST(ExactCoverage, SharesAddUpToTheAreaWithAnyThreadsOrChunks)
{
    TempDir dir;
    const int size = 300;
    const RasterInfo info = DescribeRaster(UnitGrid(dir / "grid.tif", size, 77.0));
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> centre(-20, size + 20);
    std::vector<ZoneShape> shapes;
    const int zones = 12;
    for (int z = 0; z < zones; ++z) {
        const double cx = centre(rng), cy = centre(rng);
        shapes.emplace_back(z, Geom("POLYGON(" + Ring(rng, cx, cy, 30, 90) + "," + Ring(rng, cx, cy, 10, 25) + ")"));
    }
    const AreaTabulation one = TabulateArea(info, shapes, zones, 1, {}, Coverage::Exact);
    for (int z = 0; z < zones; ++z) {
        const double area = AreaInside(*shapes[static_cast<std::size_t>(z)].geometry, 0, 0, size, size);
        EXPECT_NEAR(one.zoneCover(z), area, 1e-9 * std::max(1.0, area)) << "zone " << z;
    }
    for (const int threads : {2, 3, 0}) {
        for (const int chunk : {8192, 16}) {
            SetReadChunkColumns(chunk);
            AreaTabulation t = TabulateArea(info, shapes, zones, threads, {}, Coverage::Exact);
            if (threads == 0) {  // row windows, merged
                t = {};
                for (const RowWindow w : {RowWindow{0, size / 3}, RowWindow{size / 3, -1}})
                    t += ScanRows(info, shapes, zones, Coverage::Exact, w, Yield::Tallies).tabulation;
            }
            SetReadChunkColumns(8192);
            EXPECT_EQ(t.classes, one.classes);
            EXPECT_EQ(t.counts, one.counts);
            EXPECT_EQ(t.zoneCells, one.zoneCells);
            ASSERT_EQ(t.shares.size(), one.shares.size());
            for (std::size_t i = 0; i < t.shares.size(); ++i)
                EXPECT_NEAR(t.shares[i], one.shares[i], 1e-9);
        }
    }
}

// NODATA: a zone is incomplete when it covers some share of a NODATA cell;
// running along the cell's side is contact, not cover.
TEST(ExactCoverage, NodataNeedsACoveredShare)
{
    TempDir dir;
    // Cell x 1..2, y 2..3 (class 6 on a 4 × 4 grid) is NODATA.
    const RasterInfo info = DescribeRaster(UnitGrid(dir / "grid.tif", 4, 6.0));
    std::vector<ZoneShape> shapes;
    shapes.emplace_back(0, Geom("POLYGON ((0 2,1 2,1 3,0 3,0 2))"));              // shares its side
    shapes.emplace_back(1, Geom("POLYGON ((2 3,3 3,3 4,2 4,2 3))"));              // meets its corner
    shapes.emplace_back(2, Geom("POLYGON ((0 2,1.01 2,1.01 3,0 3,0 2))"));        // takes a sliver
    shapes.emplace_back(3, Geom("POLYGON ((1.2 2.2,1.4 2.2,1.4 2.4,1.2 2.2))"));  // inside it
    shapes.emplace_back(4, Geom("POLYGON ((3.5 0,4.5 0,4.5 1,3.5 1,3.5 0))"));    // leaves the raster
    const ZoneScan exact = ScanZones(info, shapes, 5, 1, {}, Coverage::Exact);
    EXPECT_EQ(exact.touchesNodata, (std::vector<bool>{false, false, true, true, true}));
    EXPECT_EQ(TouchesNodata(info, shapes, 5, 1, {}, Coverage::Exact), exact.touchesNodata);
    EXPECT_EQ(TouchesNodata(info, shapes, 5, 1), (std::vector<bool>{true, true, true, true, true}));

    // The NODATA share is in the zone's cover but in no class.
    const AreaTabulation& t = exact.tabulation;
    EXPECT_NEAR(t.zoneCover(2), 1.01, 1e-12);
    double classified = 0;
    for (std::size_t k = 0; k < t.classes.size(); ++k)
        classified += t.cells(2, k);
    EXPECT_NEAR(classified, 1.0, 1e-12);
    EXPECT_NEAR(t.zoneCover(3), 0.02, 1e-12);
}

// The real NHDPlus catchments were cut along the 30 m cells of this NLCD grid
// and only reprojected since: exact cover equals the centre count, up to the
// round-off the reprojection left in their vertices.
TEST(ExactCoverage, EqualsCentreOnRealCatchments)
{
    const fs::path nlcd = SharedData() / "durham-thirdfork/NLCD.tif";
    const fs::path gpkg = SharedData() / "durham-thirdfork/derived/thirdfork_catchments_5070.gpkg";
    ASSERT_TRUE(fs::exists(nlcd) && fs::exists(gpkg)) << "shared data missing: " << gpkg.parent_path();
    const RasterInfo info = DescribeRaster(nlcd);
    const Layer layer{"catchments", LayerKind::Feature, gpkg, {}, {}, {}, {}, {}};
    const LayerTabulation centre = TabulateLayer(layer, "FEATUREID", info);
    const LayerTabulation exact = TabulateLayer(layer, "FEATUREID", info, {}, Coverage::Exact);
    ASSERT_EQ(exact.zones.size(), 28u);
    ASSERT_EQ(exact.counts.classes, centre.counts.classes);
    for (int z = 0; z < exact.counts.zoneCount; ++z)
        for (std::size_t k = 0; k < exact.counts.classes.size(); ++k)
            EXPECT_NEAR(exact.counts.cells(z, k), static_cast<double>(centre.counts.count(z, k)), 1e-6)
                << "zone " << z << " class " << exact.counts.classes[k];
}

// Real block groups grouped by tract (several features per zone, some past
// the raster): each tract's class areas plus its NODATA area are the area of
// the union of its block groups inside the raster's extent.
TEST(ExactCoverage, RealTractsAddUpToTheirAreaInsideTheRaster)
{
    const fs::path nlcd = SharedData() / "durham-thirdfork/NLCD.tif";
    const fs::path gpkg = SharedData() / "durham-thirdfork/derived/durham_blockgroups_pop_5070.gpkg";
    ASSERT_TRUE(fs::exists(nlcd) && fs::exists(gpkg)) << "shared data missing: " << gpkg.parent_path();
    const RasterInfo info = DescribeRaster(nlcd);
    const Layer layer{"blockgroups", LayerKind::Feature, gpkg, {}, {}, {}, {}, {}};
    const LayerTabulation t = TabulateLayer(layer, "tract_id", info, {}, Coverage::Exact);

    double minx, miny, maxx, maxy;
    info.extent(minx, miny, maxx, maxy);
    std::map<std::string, std::unique_ptr<OGRGeometry>> tracts;
    GDALDatasetUniquePtr ds(GDALDataset::Open(gpkg.c_str(), GDAL_OF_VECTOR));
    for (auto& f : ds->GetLayer(0)) {
        auto& u = tracts[f->GetFieldAsString("tract_id")];
        u.reset(u ? u->Union(f->GetGeometryRef()) : f->GetGeometryRef()->clone());
    }
    ASSERT_EQ(t.zones.size(), tracts.size());
    int inside = 0;
    for (int z = 0; z < t.counts.zoneCount; ++z) {
        const std::string tract = std::get<std::string>(t.zones[static_cast<std::size_t>(z)]);
        const double expected = AreaInside(*tracts.at(tract), minx, miny, maxx, maxy);
        const double got = t.counts.zoneCover(z) * t.counts.cellArea;
        EXPECT_NEAR(got, expected, 1e-6 * std::max(expected, info.cellArea())) << "tract " << tract;
        inside += expected > 0;
    }
    EXPECT_GT(inside, 20);
}
