#include "host/map.h"

#include <algorithm>

namespace halvo::host {

void Map::addLayer(LayerPtr layer)
{
    layers.insert(layers.begin(), layer);
    if (onAdded)
        onAdded(layer);
}

void Map::removeLayer(const LayerPtr& layer)
{
    auto it = std::find(layers.begin(), layers.end(), layer);
    if (it == layers.end())
        return;
    layers.erase(it);
    if (onRemoved)
        onRemoved(layer);
}

LayerPtr FindLayer(const std::string& name, const Map& map)
{
    LayerPtr found;
    for (const auto& l : map.layers) {
        if (l->kind == LayerKind::Group) {
            for (const auto& m : l->members)
                if (m->name == name)
                    found = m;
        } else if (l->name == name) {
            found = l;
        }
    }
    return found;
}

}  // namespace halvo::host
