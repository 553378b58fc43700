#pragma once
// Land-cover raster services: description, zonal tabulation of area by the
// cell-centre rule or by exact cover, and the NODATA contact test. Zones are streamed over the
// raster block by block; no zone raster is ever materialised in full.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class OGRGeometry;

namespace halvo::host {

struct RasterInfo {
    std::filesystem::path path;
    int width = 0;
    int height = 0;
    double geoTransform[6] = {0, 1, 0, 0, 0, -1};
    std::string wkt;          // spatial reference as WKT, empty when none
    std::string srsName;      // its name (e.g. "NAD83 / Conus Albers"), empty when none
    std::string linearUnit;   // "Meters", "Feet" or empty when the CRS has no linear unit
    bool geographic = false;  // the CRS is in degrees: cell areas mean nothing
    int mapUnits = 9;         // 3 feet, 9 metres, 11 decimal degrees (metres when unknown)
    std::optional<double> nodata;
    bool integer = false;  // the band holds integer values
    int bands = 0;

    // |pixel width × pixel height| in the CRS's units.
    double cellArea() const;
    // minx, miny, maxx, maxy of the raster's extent
    void extent(double& minx, double& miny, double& maxx, double& maxy) const;
};

// Opens and describes a raster; throws support::Error naming the file when it
// cannot be read.
RasterInfo DescribeRaster(const std::filesystem::path& path);

// The linear unit of a raster's coordinates ("Meters", "Feet", ...), or empty
// when it does not open or has none: a quiet look, for a default.
std::string RasterLinearUnit(const std::filesystem::path& path);

// How a cell counts for a zone. Centre: wholly, in the zone holding its
// centre. Exact: with the share of its area inside the zone's polygons.
enum class Coverage { Centre, Exact };

// One polygon (or multipolygon) of a zone, in the raster's CRS.
struct ZoneShape {
    int zone = 0;                           // 0 .. zoneCount-1
    std::unique_ptr<OGRGeometry> geometry;  // owned
    ZoneShape();
    ZoneShape(int z, std::unique_ptr<OGRGeometry> g);
    ZoneShape(ZoneShape&&) noexcept;
    ZoneShape& operator=(ZoneShape&&) noexcept;
    ~ZoneShape();
};

// Cell counts per zone and class. Mergeable: tallies of disjoint row strips add up.
struct AreaTabulation {
    int zoneCount = 0;
    std::vector<std::int64_t> classes;     // ascending; classes seen in at least one zone cell
    std::vector<std::uint64_t> counts;     // zoneCount × classes.size(), row-major: whole cells
    std::vector<std::uint64_t> zoneCells;  // whole cells in each zone, NODATA included
    // Exact coverage only, else empty: the summed shares of the cells each
    // zone's boundary cuts, laid out as counts and zoneCells.
    std::vector<double> shares;
    std::vector<double> zoneShares;
    double cellArea = 0;  // as RasterInfo::cellArea

    std::uint64_t count(int zone, std::size_t classIndex) const
    {
        return counts[static_cast<std::size_t>(zone) * classes.size() + classIndex];
    }
    // Cells of a class in a zone, cut cells by their share.
    double cells(int zone, std::size_t classIndex) const
    {
        const std::size_t i = static_cast<std::size_t>(zone) * classes.size() + classIndex;
        return static_cast<double>(counts[i]) + (shares.empty() ? 0.0 : shares[i]);
    }
    // Cells in a zone, NODATA included, cut cells by their share.
    double zoneCover(int zone) const
    {
        const auto z = static_cast<std::size_t>(zone);
        return static_cast<double>(zoneCells[z]) + (zoneShares.empty() ? 0.0 : zoneShares[z]);
    }
    // Adds the tallies of other rows of the same zones (and raster).
    AreaTabulation& operator+=(const AreaTabulation& other);
};

using ProgressFn = std::function<void(double fraction)>;

// Rows [first, first + count) of the raster; a negative count runs through
// the last row. Windows that do not overlap split a pass: their tallies add up.
struct RowWindow {
    int first = 0;
    int count = -1;
};

// What one pass over the raster yields: the tallies, which zones touch
// NODATA or leave the raster, or both.
enum class Yield { Tallies, Contacts, Both };

// The tallies and the contacts of the zones; those of disjoint row windows
// merge with +=.
struct ZoneScan {
    AreaTabulation tabulation;
    std::vector<bool> touchesNodata;  // by zone; only when asked for
    ZoneScan& operator+=(const ZoneScan& other);
};

// Shapes that label cells, centre rule only: each cell takes the zone number
// of the last shape (in the order given) holding its centre as its label, 0
// when none does; zone numbers run 1 .. count - 1.
struct CellLabels {
    std::vector<ZoneShape> shapes;
    int count = 1;
};

// With labels, the tallies are kept per zone and label: the tally of zone z,
// labels l0, l1, ... is at ((z * count0 + l0) * count1 + l1) ...
int LabelledTallyCount(int zoneCount, const std::vector<CellLabels>& labels);

// The one pass over the raster, for the cells of the given rows; every
// raster read of a run goes through it.
// Tallies, centre rule: each cell belongs to the zone of the last shape (in
// the order given) whose interior holds the cell's centre. Exact: each shape
// counts every cell by the share of its area inside the shape; the shapes of
// one zone must not overlap (union them first), shapes of different zones
// each count their own. NODATA cells count for no class.
// Contacts: a zone is flagged when one of its shapes reaches outside the
// raster's extent or, centre rule, touches a NODATA cell of the rows (the
// cell's closed square meets the polygon, boundary contact included); exact
// rule, covers some share of such a cell (contact along the boundary alone
// is no share).
// threads <= 0 picks the hardware's count.
// Labels split the tallies as above; the contacts stay per zone.
ZoneScan ScanRows(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount, Coverage coverage,
                  RowWindow rows = {}, Yield yield = Yield::Both, int threads = 0, const ProgressFn& progress = {},
                  const std::vector<CellLabels>& labels = {});

// ScanRows over every row, for the tallies, the contacts or both.
AreaTabulation TabulateArea(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount,
                            int threads = 0, const ProgressFn& progress = {}, Coverage coverage = Coverage::Centre);
std::vector<bool> TouchesNodata(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount,
                                int threads = 0, const ProgressFn& progress = {}, Coverage coverage = Coverage::Centre);
ZoneScan ScanZones(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount, int threads = 0,
                   const ProgressFn& progress = {}, Coverage coverage = Coverage::Centre);

// For each shape, whether it reaches past the raster's extent: the rule the
// contacts use.
std::vector<bool> ShapesLeavingRaster(const RasterInfo& raster, const std::vector<ZoneShape>& shapes);

// A scan as asked: the zones' shapes over the raster, the rule, and whether
// the class tallies, the NODATA contacts or both are wanted.
struct ScanJob {
    const RasterInfo& raster;
    const std::vector<ZoneShape>& shapes;
    int zoneCount = 0;
    Coverage coverage = Coverage::Centre;
    Yield yield = Yield::Both;
    const std::vector<CellLabels>* labels = nullptr;  // none when null
};

// Counts a scan elsewhere (a cluster): cuts it into row windows, has each
// counted by ScanRows wherever the same files are, and adds their tallies
// up. While one is set, every scan of this process goes to it.
class WindowScanner {
public:
    virtual ~WindowScanner() = default;
    virtual ZoneScan scan(const ScanJob& job, const ProgressFn& progress) = 0;
};
void SetWindowScanner(std::shared_ptr<WindowScanner> scanner);

// The raster's rows in windows of whole read strips (its blocks), at least
// `rows` rows each: [begin, end) pairs.
std::vector<std::pair<int, int>> RowWindows(const RasterInfo& raster, int rows);

// For each window, the shapes (indexes into job.shapes) its scan needs: those
// whose rows it meets; shapes that meet none (off the raster, no geometry)
// go with the first, which flags their zones.
std::vector<std::vector<std::size_t>> ShapesOfWindows(const ScanJob& job,
                                                      const std::vector<std::pair<int, int>>& windows);
// The same for any shapes laid over the raster (labels: zones 0 .. count - 1).
std::vector<std::vector<std::size_t>> ShapesOfWindows(const RasterInfo& raster, const std::vector<ZoneShape>& shapes,
                                                      int zoneCount, const std::vector<std::pair<int, int>>& windows);

// A shape as well-known binary, and back, to send it to another process.
std::string WkbOf(const ZoneShape& shape);
ZoneShape ShapeFromWkb(int zone, const std::string& wkb);

// Columns read at a time within a strip (rounded to whole blocks), so memory
// does not grow with the raster's width; a tuning knob, also for tests.
void SetReadChunkColumns(int columns);

}  // namespace halvo::host
