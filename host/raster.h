#pragma once
// Land-cover raster services: description, zonal tabulation of area by the
// cell-centre rule, and the NODATA contact test. Zones are streamed over the
// raster block by block; no zone raster is ever materialised in full.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class OGRGeometry;

namespace halvo::host {

struct RasterInfo {
    std::filesystem::path path;
    int width = 0;
    int height = 0;
    double geoTransform[6] = {0, 1, 0, 0, 0, -1};
    std::string wkt;            // spatial reference as WKT, empty when none
    std::string srsName;        // its name (e.g. "NAD83 / Conus Albers"), empty when none
    std::string linearUnit;     // "Meters", "Feet" or empty when the CRS has no linear unit
    bool geographic = false;    // the CRS is in degrees: cell areas mean nothing
    int mapUnits = 9;           // 3 feet, 9 metres, 11 decimal degrees (metres when unknown)
    std::optional<double> nodata;
    bool integer = false;       // the band holds integer values
    int bands = 0;

    // |pixel width × pixel height| in the CRS's units.
    double cellArea() const;
    // minx, miny, maxx, maxy of the raster's extent
    void extent(double& minx, double& miny, double& maxx, double& maxy) const;
};

// Opens and describes a raster; throws support::Error naming the file when it
// cannot be read.
RasterInfo DescribeRaster(const std::filesystem::path& path);

// One polygon (or multipolygon) of a zone, in the raster's CRS.
struct ZoneShape {
    int zone = 0;                          // 0 .. zoneCount-1
    std::unique_ptr<OGRGeometry> geometry; // owned
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
    std::vector<std::uint64_t> counts;     // zoneCount × classes.size(), row-major
    std::vector<std::uint64_t> zoneCells;  // cells whose centre lies in each zone, NODATA included
    double cellArea = 0;                   // as RasterInfo::cellArea

    std::uint64_t count(int zone, std::size_t classIndex) const
    {
        return counts[static_cast<std::size_t>(zone) * classes.size() + classIndex];
    }
};

using ProgressFn = std::function<void(double fraction)>;

// Each cell belongs to the zone of the last shape (in the order given) whose
// interior holds the cell's centre; NODATA cells count for no class.
// threads <= 0 picks the hardware's count.
AreaTabulation TabulateArea(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount,
                            int threads = 0, const ProgressFn& progress = {});

// For each zone: true when one of its shapes touches a NODATA cell (the cell's
// closed square meets the polygon, boundary contact included) or reaches
// outside the raster's extent.
std::vector<bool> TouchesNodata(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount,
                                int threads = 0, const ProgressFn& progress = {});

// Columns read at a time within a strip (rounded to whole blocks), so memory
// does not grow with the raster's width; a tuning knob, also for tests.
void SetReadChunkColumns(int columns);

}  // namespace halvo::host
