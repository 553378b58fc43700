#include "host/svg_shapes.h"

#include "host/feature_reader.h"
#include "host/gdal_env.h"
#include "host/ogr_layer.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace halvo::host {

namespace {

// Appends one ring on the grid, moving by relative steps; nothing when it
// shrinks below a triangle. A feature's first ring starts with an absolute
// "M", its others with an "m" from the ring before, so the page can tell
// features apart inside one path. `start` is the last ring's first point.
void appendRing(std::string& out, const OGRLinearRing& ring, const SvgShapes& s,
                std::optional<std::pair<long, long>>& start)
{
    std::vector<std::pair<long, long>> points;
    points.reserve(static_cast<std::size_t>(ring.getNumPoints()));
    for (int i = 0; i < ring.getNumPoints(); ++i) {
        const std::pair<long, long> p{std::lround((ring.getX(i) - s.minX) / s.step),
                                      std::lround((s.maxY - ring.getY(i)) / s.step)};
        if (points.empty() || points.back() != p)
            points.push_back(p);
    }
    if (points.size() > 1 && points.front() == points.back())
        points.pop_back();
    if (points.size() < 3)
        return;
    if (start)
        out += 'm' + std::to_string(points[0].first - start->first) + ' ' +
               std::to_string(points[0].second - start->second) + 'l';
    else
        out += 'M' + std::to_string(points[0].first) + ' ' + std::to_string(points[0].second) + 'l';
    start = points[0];
    for (std::size_t i = 1; i < points.size(); ++i) {
        const long dx = points[i].first - points[i - 1].first, dy = points[i].second - points[i - 1].second;
        if (i > 1 && dx >= 0)
            out += ' ';
        out += std::to_string(dx);
        if (dy >= 0)
            out += ' ';
        out += std::to_string(dy);
    }
    out += 'z';
}

void appendPolygon(std::string& out, const OGRPolygon& polygon, const SvgShapes& s,
                   std::optional<std::pair<long, long>>& start)
{
    for (const OGRLinearRing* ring : polygon)
        appendRing(out, *ring, s, start);
}

}  // namespace

SvgShapes ReadSvgShapes(const std::filesystem::path& shapefile, int pixels)
{
    Layer layer;
    layer.name = shapefile.stem().string();
    layer.source = shapefile;
    const FeatureSource source = FeatureSource::Open(layer);
    SvgShapes s;
    s.mapUnits = MapUnitsOf(source.srs());
    OGREnvelope extent;
    if (source.ogr()->GetExtent(&extent, TRUE) == OGRERR_NONE) {
        s.minX = extent.MinX, s.minY = extent.MinY, s.maxX = extent.MaxX, s.maxY = extent.MaxY;
        const double span = std::max(s.maxX - s.minX, s.maxY - s.minY);
        s.step = span > 0 ? span / std::max(pixels, 1) : 1;
    }
    ForEachFeature(source.ogr(), layer.name, shapefile, [&](const OGRFeatureUniquePtr& f) {
        std::string path;
        std::optional<std::pair<long, long>> start;
        SvgShapes::Box bounds;
        if (const OGRGeometry* g = f->GetGeometryRef(); g && !g->IsEmpty()) {
            OGREnvelope box;
            g->getEnvelope(&box);
            bounds = {std::lround((box.MinX - s.minX) / s.step), std::lround((s.maxY - box.MaxY) / s.step),
                      std::lround((box.MaxX - s.minX) / s.step), std::lround((s.maxY - box.MinY) / s.step)};
            // Detail finer than the grid cannot show; leaving it out keeps a large layer small.
            const OGRGeometryUniquePtr simple(g->Simplify(s.step));
            const OGRGeometry* shape = simple && !simple->IsEmpty() ? simple.get() : g;
            const auto type = wkbFlatten(shape->getGeometryType());
            if (type == wkbPolygon)
                appendPolygon(path, *shape->toPolygon(), s, start);
            else if (type == wkbMultiPolygon)
                for (const OGRPolygon* part : *shape->toMultiPolygon())
                    appendPolygon(path, *part, s, start);
            if (path.empty())
                path = 'M' + std::to_string(std::lround(((box.MinX + box.MaxX) / 2 - s.minX) / s.step)) + ' ' +
                       std::to_string(std::lround((s.maxY - (box.MinY + box.MaxY) / 2) / s.step)) + "h1v1h-1z";
        }
        s.paths.push_back(std::move(path));
        s.boxes.push_back(bounds);
        return true;
    });
    return s;
}

}  // namespace halvo::host
