#include "params/qt/map_source.h"

#include "host/vector_ops.h"

namespace halvo::params {

FileMapSource::FileMapSource(QObject* parent) : MapSource(parent)
{
    app_.focusMap = &map_;
    map_.onAdded = [this](const host::LayerPtr&) { emit itemAdded(); };
    map_.onRemoved = [this](const host::LayerPtr&) { emit itemDeleted(); };
}

bool FileMapSource::isValid(const host::Layer& layer) const
{
    if (layer.kind == host::LayerKind::Group)
        return true;
    std::error_code ec;
    return std::filesystem::exists(layer.source, ec);
}

int FileMapSource::shapeType(const host::Layer& layer) const
{
    if (layer.kind != host::LayerKind::Feature || !isValid(layer))
        return 0;
    try {
        return host::ShapeType(layer);
    } catch (...) {
        return 0;
    }
}

std::vector<host::FieldDef> FileMapSource::fields(const host::Layer& layer) const
{
    std::vector<host::FieldDef> out;
    if (layer.kind != host::LayerKind::Feature || !isValid(layer))
        return out;
    try {
        out = host::LayerFields(layer);
    } catch (...) {
        out.clear();
    }
    return out;
}

void FileMapSource::reorder(int from, int to)
{
    auto& l = map_.layers;
    if (from < 0 || to < 0 || from >= static_cast<int>(l.size()) || to >= static_cast<int>(l.size()))
        return;
    auto layer = l[static_cast<std::size_t>(from)];
    l.erase(l.begin() + from);
    l.insert(l.begin() + to, layer);
    emit itemReordered();
}

}  // namespace halvo::params
