// The cell rule of docs/cell-rule.md on a grid offset by half a cell, so that
// cell centres lie exactly on the zones' edges.

#include "host/host_data.h"
#include "host/raster.h"

#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

using namespace halvo::host;
using namespace halvo::test;
namespace fs = std::filesystem;

namespace {

constexpr double X0 = 1500000, Y0 = 1600000, S = 100;
constexpr int N = 5;  // 5 × 5 cells; cell (col, row) holds class 1 + row * 5 + col

RasterInfo NumberedRaster(const fs::path& path)
{
    return DescribeRaster(WriteRaster(path, {N, N, {X0, S, 0, Y0, 0, -S}}, GDT_Byte, Numbered(N * N)));
}

// A point in metres from the raster's north-west corner, x east, y south.
std::string P(double x, double y)
{
    std::ostringstream o;
    o.precision(17);
    o << X0 + x << " " << Y0 - y;
    return o.str();
}

// The axis-parallel box x0..x1 east, y0..y1 south of the corner.
std::string Box(double x0, double y0, double x1, double y1)
{
    return "POLYGON((" + P(x0, y0) + "," + P(x1, y0) + "," + P(x1, y1) + "," + P(x0, y1) + "," + P(x0, y0) + "))";
}

// Cells of each zone as "col,row" strings.
std::map<int, std::set<std::string>> CellsOf(const RasterInfo& info, std::vector<ZoneShape> shapes, int zones)
{
    const AreaTabulation t = TabulateArea(info, shapes, zones, 1);
    std::map<int, std::set<std::string>> out;
    for (int z = 0; z < zones; ++z)
        for (std::size_t k = 0; k < t.classes.size(); ++k)
            if (t.count(z, k) != 0) {
                EXPECT_EQ(t.count(z, k), 1u);
                const auto i = static_cast<int>(t.classes[k] - 1);
                out[z].insert(std::to_string(i % N) + "," + std::to_string(i / N));
            }
    return out;
}

}  // namespace

TEST(CellRule, ZonesTilingAHalfCellGridShareNoCellAndMissNone)
{
    TempDir dir;
    const RasterInfo info = NumberedRaster(dir / "lc.tif");
    // Four 200 m squares tile 50..450 m both ways; the grid's centres lie on all their edges, so
    // each square takes the cells whose centres are on its west and north edges, not east or south.
    std::vector<ZoneShape> shapes;
    for (int z = 0; z < 4; ++z) {
        const double x = 50 + 200 * (z % 2), y = 50 + 200 * (z / 2);
        shapes.emplace_back(z, Geom(Box(x, y, x + 200, y + 200)));
    }
    const auto cells = CellsOf(info, std::move(shapes), 4);
    EXPECT_EQ(cells.at(0), (std::set<std::string>{"0,0", "1,0", "0,1", "1,1"}));
    EXPECT_EQ(cells.at(1), (std::set<std::string>{"2,0", "3,0", "2,1", "3,1"}));
    EXPECT_EQ(cells.at(2), (std::set<std::string>{"0,2", "1,2", "0,3", "1,3"}));
    EXPECT_EQ(cells.at(3), (std::set<std::string>{"2,2", "3,2", "2,3", "3,3"}));
    // Column 4 and row 4 have their centres on the tiling's east and south edges: in no zone.

    // Edges a hair off the centres take the cells on the side the centres are.
    for (const double d : {-1e-4, 1e-4}) {
        std::vector<ZoneShape> shifted;
        shifted.emplace_back(0, Geom(Box(50 + d, 50 + d, 250 + d, 250 + d)));
        const auto got = CellsOf(info, std::move(shifted), 1).at(0);
        const std::set<std::string> west{"0,0", "1,0", "0,1", "1,1"}, east{"1,1", "2,1", "1,2", "2,2"};
        EXPECT_EQ(got, d < 0 ? west : east) << d;
    }
}

TEST(CellRule, AHoleTakesTheCentresOnItsWestAndNorthEdges)
{
    TempDir dir;
    const RasterInfo info = NumberedRaster(dir / "lc.tif");
    // A 400 m square with a 200 m hole whose edges run through the centres of columns 1, 3 and rows 1, 3.
    std::vector<ZoneShape> shapes;
    shapes.emplace_back(0, Geom("POLYGON((" + P(50, 50) + "," + P(450, 50) + "," + P(450, 450) + "," + P(50, 450) +
                                "," + P(50, 50) + "),(" + P(150, 150) + "," + P(150, 350) + "," + P(350, 350) + "," +
                                P(350, 150) + "," + P(150, 150) + "))"));
    const auto cells = CellsOf(info, std::move(shapes), 1);
    std::set<std::string> expected;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!(c >= 1 && c < 3 && r >= 1 && r < 3))
                expected.insert(std::to_string(c) + "," + std::to_string(r));
    EXPECT_EQ(cells.at(0), expected);
}

TEST(CellRule, ACentreOnASlantedEdgeGoesToTheZoneEastOfIt)
{
    TempDir dir;
    const RasterInfo info = NumberedRaster(dir / "lc.tif");
    // The diagonal from the corner (0, 0) to (500, 500) runs through the centres of the
    // cells (0,0) .. (4,4). West of it zone 0, east of it zone 1; they share the diagonal.
    std::vector<ZoneShape> shapes;
    shapes.emplace_back(0, Geom("POLYGON((" + P(0, 0) + "," + P(500, 500) + "," + P(0, 500) + "," + P(0, 0) + "))"));
    shapes.emplace_back(1, Geom("POLYGON((" + P(0, 0) + "," + P(500, 0) + "," + P(500, 500) + "," + P(0, 0) + "))"));
    const auto cells = CellsOf(info, std::move(shapes), 2);
    for (int i = 0; i < N; ++i) {
        const std::string diagonal = std::to_string(i) + "," + std::to_string(i);
        EXPECT_TRUE(cells.at(1).count(diagonal)) << diagonal;
        EXPECT_FALSE(cells.at(0).count(diagonal)) << diagonal;
    }
    EXPECT_EQ(cells.at(0).size() + cells.at(1).size(), static_cast<std::size_t>(N * N));
}
