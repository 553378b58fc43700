#pragma once
// Builds small land-cover rasters and polygon layers with GDAL, runs the halvo
// program on them in a throwaway extension folder, and reads the output back.

#include "support/test_paths.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace halvo::test {

struct Feature {
    std::string wkt;
    std::string text;       // for text fields
    long long number = 0;   // for integer fields
};

struct ZoneResult {
    double total = 0, impervious = 0, pct = 0;
    std::string complete;
    bool hasResult = false;
};

struct RunOutput {
    int status = -1;
    std::string out, err;
};

class RunCase : public TempExtension {
public:
    RunCase();
    std::filesystem::path data() const { return path() / "data"; }

    // A one-band raster; row-major values, top row first.
    std::filesystem::path raster(const std::string& name, int width, int height, double originX, double originY,
                                 double cellW, double cellH, const std::vector<int>& values,
                                 std::optional<double> nodata = {}, int epsg = 5070,
                                 const char* type = "Byte");
    // A polygon layer with one field; `driver` "ESRI Shapefile" or "GPKG".
    std::filesystem::path polygons(const std::string& name, const std::string& field, bool textField,
                                   const std::vector<Feature>& features, int epsg = 5070,
                                   const std::string& driver = "ESRI Shapefile");
    std::filesystem::path csv(const std::string& name, const std::string& body);

    RunOutput halvo(const std::string& args);
    std::map<std::string, ZoneResult> read(const std::filesystem::path& shp, const std::string& field);
    bool tempIsEmpty() const;
};

// A square polygon covering cells [c0, c1) × [r0, r1) of a grid at (x0, y0) with cell size s
// (fractions of cells allowed).
std::string CellBox(double x0, double y0, double s, double c0, double r0, double c1, double r1);

// The dBASE storage of a double with `decimals` places.
double Stored(double v, int decimals);

}  // namespace halvo::test
