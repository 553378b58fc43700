#pragma once
// Small real datasets for the desktop tests, loaded into the QGIS project.

#include "support/test_paths.h"

#include <QString>

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

class QgsMapLayer;
class QgsRasterLayer;
class QgsVectorLayer;

namespace halvo::test {

struct TestField {
    std::string name;
    char type;  // 's' text, 'i' integer, 'd' double
};

struct Row {
    std::string wkt;
    std::vector<std::variant<long long, double, std::string>> values;
};

// A 20 x 20 grid of 30 m cells at (0, 600) in EPSG:5070; the left half is
// class 22, the right half 41, the bottom row NODATA.
std::filesystem::path LandCover(const std::filesystem::path& folder, const std::string& name = "landcover");

// A shapefile (or GeoPackage when the name ends in .gpkg) of the given geometries and fields, EPSG:5070.
std::filesystem::path Vector(const std::filesystem::path& folder, const std::string& file,
                             const std::vector<TestField>& fields, const std::vector<Row>& rows);

// Two zones side by side covering the grid: NAME "West"/"East", HUC 1/2, SHARE 0.5.
std::filesystem::path Zones(const std::filesystem::path& folder, const std::string& name = "zones");

QgsVectorLayer* AddVector(const std::filesystem::path& file, const QString& name);
QgsRasterLayer* AddRaster(const std::filesystem::path& file, const QString& name);

// Lets queued project signals reach the map.
void Settle();

// Empties the project and the queued events it leaves.
void ClearProject();

}  // namespace halvo::test
