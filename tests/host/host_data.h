#pragma once
// Rasters and shapes the host tests build by hand.

#include "host/raster.h"

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <optional>
#include <random>

namespace halvo::test {

struct Grid {
    int width, height;
    double gt[6];
};

// A 16×16-tiled GeoTIFF, so rasters over 16 rows or columns span several blocks.
inline std::filesystem::path WriteRaster(const std::filesystem::path& path, const Grid& g, GDALDataType type,
                                         std::vector<double> cells, std::optional<double> nodata = std::nullopt,
                                         int epsg = 5070)
{
    GDALAllRegister();
    const char* options[] = {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", nullptr};
    GDALDatasetUniquePtr ds(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.c_str(), g.width, g.height, 1, type, const_cast<char**>(options)));
    ds->SetGeoTransform(const_cast<double*>(g.gt));
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    ds->SetSpatialRef(&srs);
    auto* band = ds->GetRasterBand(1);
    if (nodata)
        band->SetNoDataValue(*nodata);
    EXPECT_EQ(
        band->RasterIO(GF_Write, 0, 0, g.width, g.height, cells.data(), g.width, g.height, GDT_Float64, 0, 0, nullptr),
        CE_None);
    return path;
}

// Cells numbered 1, 2, .. row by row, so each class names one cell.
inline std::vector<double> Numbered(int count)
{
    std::vector<double> cells(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = static_cast<double>(i + 1);
    return cells;
}

inline std::unique_ptr<OGRGeometry> Geom(const std::string& wkt)
{
    OGRGeometry* g = nullptr;
    OGRGeometryFactory::createFromWkt(wkt.c_str(), nullptr, &g);
    return std::unique_ptr<OGRGeometry>(g);
}

inline std::vector<host::ZoneShape> Shapes(std::initializer_list<std::pair<int, std::string>> list)
{
    std::vector<host::ZoneShape> out;
    for (const auto& [zone, wkt] : list)
        out.emplace_back(zone, Geom(wkt));
    return out;
}

// A star-shaped ring around (cx, cy): simple by construction.
inline std::string Ring(std::mt19937& rng, double cx, double cy, double r0, double r1)
{
    std::uniform_real_distribution<double> radius(r0, r1);
    const int n = 7 + static_cast<int>(rng() % 20);
    std::string s = "(", first;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n, r = radius(rng);
        const std::string p = std::to_string(cx + r * std::cos(a)) + " " + std::to_string(cy + r * std::sin(a));
        if (i == 0)
            first = p;
        s += p + ",";
    }
    return s + first + ")";
}

}  // namespace halvo::test
