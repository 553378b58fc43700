#include "host/host_data.h"
#include "host/raster.h"

#include "support/error_reporting.h"
#include "support/test_paths.h"

#include <gdal_alg.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using namespace halvo::host;
using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

// The counts a zone raster burnt shape by shape would give, from cell centres.
AreaTabulation BruteForce(const RasterInfo& info, const std::vector<double>& cells,
                          const std::vector<ZoneShape>& shapes, int zoneCount)
{
    std::vector<int> zoneOf(cells.size(), -1);
    for (const auto& s : shapes) {
        OGREnvelope e;
        s.geometry->getEnvelope(&e);
        for (int r = 0; r < info.height; ++r)
            for (int c = 0; c < info.width; ++c) {
                const OGRPoint p(info.geoTransform[0] + (c + 0.5) * info.geoTransform[1],
                                 info.geoTransform[3] + (r + 0.5) * info.geoTransform[5]);
                if (p.getX() >= e.MinX && p.getX() <= e.MaxX && p.getY() >= e.MinY && p.getY() <= e.MaxY &&
                    s.geometry->Contains(&p))
                    zoneOf[static_cast<std::size_t>(r * info.width + c)] = s.zone;
            }
    }
    std::map<std::int64_t, std::vector<std::uint64_t>> byClass;
    AreaTabulation t;
    t.zoneCells.assign(static_cast<std::size_t>(zoneCount), 0);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (zoneOf[i] < 0)
            continue;
        ++t.zoneCells[static_cast<std::size_t>(zoneOf[i])];
        if (info.nodata && cells[i] == *info.nodata)
            continue;
        auto& col = byClass[static_cast<std::int64_t>(cells[i])];
        col.resize(static_cast<std::size_t>(zoneCount));
        ++col[static_cast<std::size_t>(zoneOf[i])];
    }
    for (const auto& [v, col] : byClass)
        t.classes.push_back(v);
    for (int z = 0; z < zoneCount; ++z)
        for (const auto& [v, col] : byClass)
            t.counts.push_back(col[static_cast<std::size_t>(z)]);
    return t;
}

void ExpectSame(const AreaTabulation& a, const AreaTabulation& b)
{
    EXPECT_EQ(a.classes, b.classes);
    EXPECT_EQ(a.counts, b.counts);
    EXPECT_EQ(a.zoneCells, b.zoneCells);
}

}  // namespace

TEST(DescribeRaster, UnitsNodataAndCellTypeAreReadFromTheFileNotAssumed)
{
    HALVO_REQUIRE_SHARED_DATA("durham-thirdfork/NLCD.tif");
    const RasterInfo nlcd = DescribeRaster(SharedData() / "durham-thirdfork/NLCD.tif");
    EXPECT_EQ(nlcd.width, 368);
    EXPECT_EQ(nlcd.height, 405);
    EXPECT_EQ(nlcd.linearUnit, "Meters");
    EXPECT_EQ(nlcd.nodata, 255.0);
    EXPECT_TRUE(nlcd.integer);
    EXPECT_DOUBLE_EQ(nlcd.cellArea(), 900.0);

    TempDir dir;
    const Grid g{4, 4, {0, 10, 0, 40, 0, -10}};
    const RasterInfo feet =
        DescribeRaster(WriteRaster(dir / "ft.tif", g, GDT_Int16, std::vector<double>(16), {}, 2264));
    EXPECT_EQ(feet.linearUnit, "Feet");
    EXPECT_EQ(feet.srsName, "NAD83 / North Carolina (ftUS)");
    EXPECT_FALSE(feet.nodata);
    const RasterInfo geo =
        DescribeRaster(WriteRaster(dir / "geo.tif", g, GDT_Float32, std::vector<double>(16), {}, 4326));
    EXPECT_EQ(geo.linearUnit, "");
    EXPECT_FALSE(geo.integer);

    try {
        DescribeRaster(dir / "missing.tif");
        FAIL();
    } catch (const halvo::support::Error& e) {
        EXPECT_NE(e.description().find("missing.tif"), std::string::npos);
    }
}

// Random star polygons with holes, overlapping, on a two-strip raster with
// NODATA cells: the counts equal a cell-by-cell point-in-polygon check, with
// any number of threads.
TEST(TabulateArea, CountsMatchPointInPolygonWithAnyThreadsStripsOrWindows)
{
    TempDir dir;
    const Grid g{70, 300, {1000, 30, 0, 20000, 0, -30}};
    std::mt19937 rng(7);
    std::vector<double> cells(70 * 300);
    for (auto& v : cells)
        v = static_cast<double>(rng() % 6 * 10 + 1);  // 1, 11, .., 51; 51 is NODATA
    const RasterInfo info = DescribeRaster(WriteRaster(dir / "lc.tif", g, GDT_Byte, cells, 51));
    for (int round = 0; round < 3; ++round) {
        std::vector<ZoneShape> shapes;
        for (int i = 0; i < 6; ++i) {
            const double cx = 1000 + 30.0 * static_cast<int>(rng() % 70),
                         cy = 20000 - 30.0 * static_cast<int>(rng() % 300);
            const std::string wkt = "POLYGON(" + Ring(rng, cx, cy, 400, 1300) + "," + Ring(rng, cx, cy, 60, 350) + ")";
            shapes.emplace_back(i % 4, Geom(wkt));
        }
        const AreaTabulation one = TabulateArea(info, shapes, 4, 1);
        ExpectSame(one, BruteForce(info, cells, shapes, 4));
        ExpectSame(TabulateArea(info, shapes, 4, 2), one);
        ExpectSame(TabulateArea(info, shapes, 4, 3), one);

        // Strips a block wide, and one pass for both, give the same tallies and contacts.
        const auto touched = TouchesNodata(info, shapes, 4, 1);
        SetReadChunkColumns(16);
        const ZoneScan both = ScanZones(info, shapes, 4, 2);
        ExpectSame(both.tabulation, one);
        EXPECT_EQ(both.touchesNodata, touched);
        SetReadChunkColumns(8192);

        // Row windows that split the raster (not on strip bounds) merge into the whole pass.
        ZoneScan merged;
        for (const RowWindow w : {RowWindow{0, 37}, RowWindow{37, 150}, RowWindow{187, -1}})
            merged += ScanRows(info, shapes, 4, Coverage::Centre, w);
        ExpectSame(merged.tabulation, one);
        EXPECT_EQ(merged.touchesNodata, touched);
    }
    // Three bands of strips, their edges cut while the band before is counted; zones across their bounds.
    const Grid tall{6, 9000, {1000, 30, 0, 20000, 0, -30}};
    std::vector<double> column(6 * 9000);
    for (auto& v : column)
        v = static_cast<double>(rng() % 6 * 10 + 1);
    const RasterInfo tallInfo = DescribeRaster(WriteRaster(dir / "tall.tif", tall, GDT_Byte, column, 51));
    const auto across = Shapes({{0, "POLYGON((1010 -99990,1170 -100500,1150 -106000,1020 -105000,1010 -99990))"},
                                {1, "POLYGON((1040 17000,1100 17000,1130 -247000,1060 -247000,1040 17000))"}});
    const AreaTabulation bands = TabulateArea(tallInfo, across, 2, 2);
    ExpectSame(bands, BruteForce(tallInfo, column, across, 2));
    ExpectSame(TabulateArea(tallInfo, across, 2, 1), bands);
}

TEST(TabulateArea, LastShapeWinsAndNodataCountsOnlyAsZoneCells)
{
    TempDir dir;
    const Grid g{10, 10, {0, 1, 0, 10, 0, -1}};
    std::vector<double> cells(100, 21);
    cells[0] = 99;            // row 0, col 0: outside every zone
    cells[5 * 10 + 5] = 255;  // NODATA inside zone 1
    cells[8 * 10 + 1] = 7;    // inside zone 0 only
    const RasterInfo info = DescribeRaster(WriteRaster(dir / "lc.tif", g, GDT_Byte, cells, 255));
    const auto shapes = Shapes({{0, "POLYGON((1 1,9 1,9 9,1 9,1 1))"},  // 64 cells
                                {1, "POLYGON((4 3,7 3,7 6,4 6,4 3))"},  // 9, over zone 0
                                {0, "MULTIPOLYGON(((6 3,7 3,7 4,6 4,6 3)),((20 20,21 20,21 21,20 20)))"},
                                {2, "LINESTRING(0 0,5 5)"}});
    const AreaTabulation t = TabulateArea(info, shapes, 3);
    EXPECT_EQ(t.classes, (std::vector<std::int64_t>{7, 21}));
    EXPECT_EQ(t.zoneCells, (std::vector<std::uint64_t>{64 - 9 + 1, 8, 0}));
    EXPECT_EQ(t.counts, (std::vector<std::uint64_t>{1, 55, 0, 7, 0, 0}));
    EXPECT_DOUBLE_EQ(t.cellArea, 1.0);
}

TEST(TabulateArea, WideIntegerClassesKeepTheirValuesAndOnlyRealNodataIsTouched)
{
    TempDir dir;
    const Grid g{4, 2, {0, 1, 0, 2, 0, -1}};
    const auto whole = Shapes({{0, "POLYGON((0 0,4 0,4 2,0 2,0 0))"}});
    const struct {
        GDALDataType type;
        std::vector<double> cells;
        double nodata;
        std::vector<std::int64_t> classes;
        std::vector<std::uint64_t> counts;
        bool touchesNodata;
    } cases[] = {
        {GDT_Int16, {-5, -5, 300, -32768, 300, 300, 7, -5}, -32768, {-5, 7, 300}, {3, 1, 3}, true},
        {GDT_UInt16, {65535, 40000, 40000, 0, 1, 1, 1, 0}, 0, {1, 40000, 65535}, {3, 2, 1}, true},
        {GDT_Int32, {-2e9, 2e9, 5, 5, 5, -1, -1, -1}, -1, {-2000000000, 5, 2000000000}, {1, 3, 1}, true},
        // A NODATA value the type cannot hold marks no cell (not class 0 by wrap-around).
        {GDT_UInt16, {0, 0, 7, 7, 7, 0, 1, 1}, 65536, {0, 1, 7}, {3, 2, 3}, false},
    };
    for (const auto& c : cases) {
        const RasterInfo info = DescribeRaster(WriteRaster(dir / "w.tif", g, c.type, c.cells, c.nodata));
        const ZoneScan scan = ScanZones(info, whole, 1, 2);
        EXPECT_EQ(scan.tabulation.classes, c.classes) << GDALGetDataTypeName(c.type);
        EXPECT_EQ(scan.tabulation.counts, c.counts) << GDALGetDataTypeName(c.type);
        EXPECT_EQ(scan.tabulation.zoneCells[0], 8u);
        EXPECT_EQ(scan.touchesNodata, std::vector<bool>{c.touchesNodata}) << c.nodata;
    }
}

// NODATA cells x 4..5, y 5..6 and x 8..9, y 7..8 on a 10×10 grid of unit cells.
TEST(TouchesNodata, ZonesMeetingANodataCellOrLeavingTheGridAreTouchedNearMissesNot)
{
    TempDir dir;
    const Grid g{10, 10, {0, 1, 0, 10, 0, -1}};
    std::vector<double> cells(100, 11);
    cells[4 * 10 + 4] = 0;
    cells[2 * 10 + 8] = 0;
    const auto shapes = Shapes({
        {0, "POLYGON((1 5,4 5,4 6,1 6,1 5))"},     // shares the cell's left edge
        {1, "POLYGON((2 6,4 6,4 8,2 8,2 6))"},     // meets its top-left corner only
        {2, "POLYGON((1 5,3 5,3 6,1 6,1 5))"},     // one cell away
        {3, "POLYGON((-1 1,2 1,2 2,-1 2,-1 1))"},  // crosses the raster's edge
        {4, "POLYGON((0 0,2 0,2 2,0 2,0 0))"},     // lies on the raster's edge
        {5, "POLYGON((6 2,9 2,9 3,6 3,6 2))"},
        {5, "POLYGON((5.5 3,8 3,8 4.9,5.5 4.9,5.5 3))"},  // 0.1 below the cell
        {6, "POLYGON((3.2 7,4.3 5.8,3.2 5.8,3.2 7))"},    // slanted edge entering the cell
        {7, "POLYGON((1 7,3 7,3.99 6.01,1 7))"},          // slanted edge stopping just short
        {8, "POLYGON((3 3,6 3,6 5,3 5,3 3))"},            // top edge runs along the cell's bottom
        {9, "POLYGON((7 6,10 6,10 9,7 9,7 6))"},          // holds NODATA cell x 8..9, y 7..8 inside
    });
    const RasterInfo info = DescribeRaster(WriteRaster(dir / "nd.tif", g, GDT_Byte, cells, 0));
    const std::vector<bool> expected{true, true, false, true, false, false, true, false, true, true};
    EXPECT_EQ(TouchesNodata(info, shapes, 10, 1), expected);
    EXPECT_EQ(TouchesNodata(info, shapes, 10, 2), expected);

    const RasterInfo plain = DescribeRaster(WriteRaster(dir / "plain.tif", g, GDT_Byte, cells));
    EXPECT_EQ(TouchesNodata(plain, shapes, 10),
              (std::vector<bool>{false, false, false, true, false, false, false, false, false, false}));
}

// Random polygons over real land cover that is mostly NODATA: the answer
// equals an exact intersection test against the NODATA cells polygonised.
TEST(TouchesNodata, AgreesWithExactIntersectionOnRealNodata)
{
    HALVO_REQUIRE_SHARED_DATA("dukes-nlcd2019/nlcd_dukes.tif");
    const RasterInfo info = DescribeRaster(SharedData() / "dukes-nlcd2019/nlcd_dukes.tif");
    const int w = info.width, h = info.height;
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    GDALDatasetUniquePtr lc(GDALDataset::Open(info.path.c_str(), GDAL_OF_RASTER));
    ASSERT_EQ(lc->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, w, h, cells.data(), w, h, GDT_Byte, 0, 0, nullptr),
              CE_None);
    for (auto& v : cells)
        v = v == *info.nodata;
    GDALDatasetUniquePtr mask(GetGDALDriverManager()->GetDriverByName("MEM")->Create("", w, h, 1, GDT_Byte, nullptr));
    mask->SetGeoTransform(const_cast<double*>(info.geoTransform));
    GDALRasterBand* band = mask->GetRasterBand(1);
    ASSERT_EQ(band->RasterIO(GF_Write, 0, 0, w, h, cells.data(), w, h, GDT_Byte, 0, 0, nullptr), CE_None);
    GDALDatasetUniquePtr vec(
        GetGDALDriverManager()->GetDriverByName("Memory")->Create("", 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* nodata = vec->CreateLayer("nodata", nullptr, wkbPolygon, nullptr);
    OGRFieldDefn field("v", OFTInteger);
    nodata->CreateField(&field);
    ASSERT_EQ(GDALPolygonize(band, band, nodata, 0, nullptr, nullptr, nullptr), CE_None);

    double minx, miny, maxx, maxy;
    info.extent(minx, miny, maxx, maxy);
    std::mt19937 rng(11);
    std::vector<ZoneShape> shapes;
    std::vector<bool> expected;
    for (int i = 0; i < 80; ++i) {
        const double cx = minx + (maxx - minx) * (static_cast<double>(rng() % 1000) / 900 - 0.05);
        const double cy = miny + (maxy - miny) * (static_cast<double>(rng() % 1000) / 900 - 0.05);
        auto g = Geom("POLYGON(" + Ring(rng, cx, cy, 150, 1800) + ")");
        OGREnvelope e;
        g->getEnvelope(&e);
        bool hit = e.MinX < minx || e.MinY < miny || e.MaxX > maxx || e.MaxY > maxy;
        nodata->SetSpatialFilter(g.get());
        for (auto& f : *nodata)
            hit = hit || g->Intersects(f->GetGeometryRef());
        expected.push_back(hit);
        shapes.emplace_back(i, std::move(g));
    }
    EXPECT_EQ(TouchesNodata(info, shapes, 80, 2), expected);
    EXPECT_GT(std::count(expected.begin(), expected.end(), false), 10);
}
