#pragma once
// Small land-cover rasters and polygon layers made with GDAL (on disk or under
// /vsimem/), and runs of `halvo` on them in a throwaway extension folder:
// in this process through the CLI's own code, or as the installed program.

#include "host/map.h"
#include "support/test_paths.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace halvo::test {

struct Feature {
    std::string wkt;
    std::string text;      // for text fields
    long long number = 0;  // for integer fields
    bool null = false;     // no value at all
};

// A one-band raster (GeoTIFF; a /vsimem/ path stays in memory); row-major
// values, top row first.
std::filesystem::path WriteRaster(const std::filesystem::path& p, int width, int height, double originX, double originY,
                                  double cellW, double cellH, const std::vector<int>& values,
                                  std::optional<double> nodata = {}, int epsg = 5070, const char* type = "Byte");

// A polygon layer with one field (or none when `field` is empty); `driver`
// "ESRI Shapefile" or "GPKG"; `anyGeometry` declares the layer as GEOMETRY.
std::filesystem::path WritePolygons(const std::filesystem::path& p, const std::string& field, bool textField,
                                    const std::vector<Feature>& features, int epsg = 5070,
                                    const std::string& driver = "ESRI Shapefile", bool anyGeometry = false);

// A shapefile copy of a dataset's first layer.
std::filesystem::path ToShapefile(const std::filesystem::path& source, const std::filesystem::path& shp);

// A map layer over a dataset, named after the file.
host::LayerPtr LayerOf(const std::filesystem::path& source, host::LayerKind kind = host::LayerKind::Feature);

struct ZoneResult {
    double total = 0, impervious = 0, pct = 0;
    std::string complete;
    bool hasResult = false;
};

// The result fields of an output shapefile by zone value.
std::map<std::string, ZoneResult> ReadResults(const std::filesystem::path& shp, const std::string& field);

struct Shape {
    std::string value;
    double area = 0;
    int parts = 0, holes = 0;
    bool valid = false;
};

// Features of a layer in file order: value of `field`, area, polygons, holes, validity.
std::vector<Shape> Shapes(const std::filesystem::path& path, const std::string& field);

struct RunOutput {
    int status = -1;
    std::string out, err;
};

class RunCase : public TempExtension {
public:
    RunCase();
    std::filesystem::path data() const { return path() / "data"; }

    std::filesystem::path raster(const std::string& name, int width, int height, double originX, double originY,
                                 double cellW, double cellH, const std::vector<int>& values,
                                 std::optional<double> nodata = {}, int epsg = 5070, const char* type = "Byte")
    {
        return WriteRaster(data() / (name + ".tif"), width, height, originX, originY, cellW, cellH, values, nodata,
                           epsg, type);
    }
    std::filesystem::path polygons(const std::string& name, const std::string& field, bool textField,
                                   const std::vector<Feature>& features, int epsg = 5070,
                                   const std::string& driver = "ESRI Shapefile")
    {
        return WritePolygons(data() / (name + (driver == "GPKG" ? ".gpkg" : ".shp")), field, textField, features, epsg,
                             driver);
    }
    std::filesystem::path csv(const std::string& name, const std::string& body);

    // `halvo ARGS` (words as a shell splits them) in this process: stdin
    // empty, stdout and stderr captured.
    RunOutput cli(const std::string& args);
    // The same through the installed program, in a process of its own.
    RunOutput halvo(const std::string& args);

    std::map<std::string, ZoneResult> read(const std::filesystem::path& shp, const std::string& field)
    {
        return ReadResults(shp, field);
    }
    bool tempIsEmpty() const;
};

// A square polygon covering cells [c0, c1) × [r0, r1) of a grid at (x0, y0) with cell size s
// (fractions of cells allowed).
std::string CellBox(double x0, double y0, double s, double c0, double r0, double c1, double r1);

// Short-named NLCD classes with their coefficients, as a coefficients CSV.
inline constexpr char kNlcdCoefficients[] = "Value,ClassName,High,Medium,Low\r\n11,W,0,0,0\r\n21,D1,19,10,5\r\n"
                                            "22,D2,49,35,20\r\n23,D3,79,65,50\r\n24,D4,100,90,80\r\n31,B,5,3,1\r\n"
                                            "41,F1,1,0.5,0\r\n42,F2,1,0.5,0\r\n43,F3,1,0.5,0\r\n52,S,1,0.5,0\r\n"
                                            "71,G,1,0.5,0\r\n81,P,2,1.5,1\r\n82,C,2,1.5,1\r\n90,WW,0,0,0\r\n"
                                            "95,EW,0,0,0\r\n";

// The dBASE storage of a double with `decimals` places.
double Stored(double v, int decimals);

// Coefficients for Developed (21) and Forest (41), as a CSV file holds them.
inline constexpr const char* kTwoClassCoefficients =
    "Value,ClassName,High,Medium,Low\r\n21,Developed,80,55.5,30\r\n41,Forest,2,1,0.5\r\n";

// A case that runs in a moment: zones West and East side by side over a
// 10 × 10 raster of one-hectare cells (class 41 in every third cell, 21
// elsewhere), with a coefficient file for both classes.
struct TwoZones {
    static constexpr double X0 = 1500000, Y0 = 1600000, S = 100;
    RunCase rc;
    std::filesystem::path lc, zones, coef;
    TwoZones();
    // `halvo run` arguments over these, writing `out`.
    std::string args(const std::filesystem::path& analysis, const std::filesystem::path& out) const;
};

}  // namespace halvo::test
