#pragma once
// The map the run works against: named layers in legend order (feature,
// raster, group), their selection sets and the map units. The CLI builds it
// from files; the plugin mirrors the QGIS project into it.

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace halvo::host {

enum class LayerKind { Feature, Raster, Group };

// Map unit codes.
inline constexpr int kUnitsFeet = 3;
inline constexpr int kUnitsMeters = 9;
inline constexpr int kUnitsDegrees = 11;

struct Layer {
    std::string name;
    LayerKind kind = LayerKind::Feature;
    std::filesystem::path source;                     // dataset path
    std::string sourceLayer;                          // layer inside the dataset; empty for the first
    std::set<long long> selection;                    // selected feature IDs
    std::map<std::string, std::string> fieldAliases;  // display aliases by field name
    std::string srsName;  // spatial reference name carried over from the data a copy was made of
    std::vector<std::shared_ptr<Layer>> members;  // group layers only
};

using LayerPtr = std::shared_ptr<Layer>;

struct Map {
    std::vector<LayerPtr> layers;  // top level, legend order
    int units = kUnitsMeters;
};

// The layer of that name, groups searched one level deep; the last match wins.
LayerPtr FindLayer(const std::string& name, const Map& map);

}  // namespace halvo::host
