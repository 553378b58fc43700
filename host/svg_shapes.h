#pragma once
// A polygon layer's shapes as SVG path data, for a page that draws the zones
// without a GIS.

#include <filesystem>
#include <string>
#include <vector>

namespace halvo::host {

struct SvgShapes {
    // The layer's extent, in its own coordinates.
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    // Layer units per path unit: path point (i, j) is (minX + i*step, maxY - j*step).
    double step = 1;
    int mapUnits = 9;  // 3 feet, 9 metres, 11 decimal degrees
    // One path per feature, in feature order: its rings on the integer grid
    // of `step`, simplified to it, holes drawn by the even-odd rule. Each
    // starts with the one absolute "M" of the feature; its other rings start
    // with a relative "m". A feature smaller than a step is a one-step
    // square, so every zone shows; one without geometry has an empty path.
    std::vector<std::string> paths;
    // Each path's bounds on the grid, y down: left, top, right, bottom.
    struct Box {
        long left = 0, top = 0, right = 0, bottom = 0;
    };
    std::vector<Box> boxes;
};

// Reads the polygons of `shapefile` for a map `pixels` across its longer side.
// Throws support::Error naming the file when it cannot be read.
SvgShapes ReadSvgShapes(const std::filesystem::path& shapefile, int pixels);

}  // namespace halvo::host
