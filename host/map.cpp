#include "host/map.h"

#include <algorithm>

namespace halvo::host {

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
