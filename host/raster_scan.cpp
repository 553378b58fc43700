#include "host/raster_scan.h"

#include <ogr_geometry.h>

namespace halvo::host::scan {

namespace {

template <class Fn>
void ForEachRingEdge(const OGRLinearRing* ring, bool hole, const PixelTransform& t, Fn& fn)
{
    const int n = ring ? ring->getNumPoints() : 0;
    if (n < 2)
        return;
    auto at = [&](int i) { return std::pair{t.col0 + ring->getX(i) * t.colPerX, t.row0 + ring->getY(i) * t.rowPerY}; };
    // The ring's integral of x dy (the shoelace sum, closed even when the ring
    // is not) tells its sense in pixel space.
    double twiceArea = 0;
    for (int i = 0; i < n; ++i) {
        const auto p = at(i), q = at(i + 1 < n ? i + 1 : 0);
        twiceArea += (p.first + q.first) * (q.second - p.second);
    }
    const double sense = (twiceArea < 0) != hole ? -1.0 : 1.0;
    auto emit = [&](std::pair<double, double> p, std::pair<double, double> q) {
        double w = sense;
        if (q.second < p.second) {
            std::swap(p, q);
            w = -w;
        }
        fn(Edge{p.first, p.second, q.first, q.second, w});
    };
    const auto first = at(0);
    auto prev = first;
    for (int i = 1; i < n; ++i) {
        const auto p = at(i);
        emit(prev, p);
        prev = p;
    }
    // Rings are meant to be closed; an open one is closed here rather than refused.
    if (prev != first)
        emit(prev, first);
}

// fn(edge) for every ring edge of a polygon or multipolygon, in pixel space.
template <class Fn>
void ForEachEdge(const OGRGeometry& g, const PixelTransform& t, Fn&& fn)
{
    auto polygon = [&](const OGRPolygon& p) {
        ForEachRingEdge(p.getExteriorRing(), false, t, fn);
        for (int i = 0; i < p.getNumInteriorRings(); ++i)
            ForEachRingEdge(p.getInteriorRing(i), true, t, fn);
    };
    if (wkbFlatten(g.getGeometryType()) == wkbPolygon)
        polygon(*g.toPolygon());
    else
        for (const OGRPolygon* part : *g.toMultiPolygon())
            polygon(*part);
}

}  // namespace

PixelShape ToPixelShape(const OGRGeometry* geometry, int zone, const PixelTransform& t)
{
    PixelShape shape;
    shape.zone = zone;
    if (!geometry)
        return shape;
    const auto type = wkbFlatten(geometry->getGeometryType());
    if (type != wkbPolygon && type != wkbMultiPolygon)
        return shape;
    bool any = false;
    ForEachEdge(*geometry, t, [&](const Edge& e) {
        if (!any) {
            shape.minx = shape.maxx = e.xa;
            shape.miny = e.ya;
            shape.maxy = e.yb;
            any = true;
        }
        shape.minx = std::min({shape.minx, e.xa, e.xb});
        shape.maxx = std::max({shape.maxx, e.xa, e.xb});
        shape.miny = std::min(shape.miny, e.ya);
        shape.maxy = std::max(shape.maxy, e.yb);
    });
    if (any)
        shape.geometry = geometry;
    return shape;
}

StripEdgeTable::StripEdgeTable(const std::vector<PixelShape>& shapes, const PixelTransform& t, int rowBegin, int rowEnd,
                               int stripRows, Rows rows, const std::vector<char>& skip)
{
    if (rowEnd <= rowBegin)
        return;
    const int firstStrip = rowBegin / stripRows;
    const int count = (rowEnd - 1) / stripRows - firstStrip + 1;
    strips_.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        Strip& s = strips_[static_cast<std::size_t>(k)];
        s.rowBegin = std::max(rowBegin, (firstStrip + k) * stripRows);
        s.rowEnd = std::min(rowEnd, (firstStrip + k + 1) * stripRows);
    }
    // fn(strip) for each strip whose rows the edge concerns.
    auto forStrips = [&](const Edge& e, auto&& fn) {
        const int a = std::max(rows == Rows::Centre  ? CentreRowBegin(e)
                               : rows == Rows::Touch ? TouchRowBegin(e)
                                                     : CoverRowBegin(e),
                               rowBegin);
        const int b = std::min(rows == Rows::Centre  ? CentreRowEnd(e)
                               : rows == Rows::Touch ? TouchRowEnd(e)
                                                     : CoverRowEnd(e),
                               rowEnd);
        if (a < b)
            for (int k = a / stripRows - firstStrip; k <= (b - 1) / stripRows - firstStrip; ++k)
                fn(strips_[static_cast<std::size_t>(k)]);
    };
    // Two passes over the geometry, counting then filling, so that the table
    // holds exactly its edges.
    std::vector<std::size_t> edgeCount(strips_.size()), groupCount(strips_.size());
    std::vector<int> lastShape(strips_.size(), -1);
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if ((i < skip.size() && skip[i]) || !shapes[i].geometry)
            continue;
        ForEachEdge(*shapes[i].geometry, t, [&](const Edge& e) {
            forStrips(e, [&](Strip& s) {
                const auto k = static_cast<std::size_t>(&s - strips_.data());
                ++edgeCount[k];
                if (lastShape[k] != static_cast<int>(i)) {
                    lastShape[k] = static_cast<int>(i);
                    ++groupCount[k];
                }
            });
        });
    }
    for (std::size_t k = 0; k < strips_.size(); ++k) {
        strips_[k].edges.reserve(edgeCount[k]);
        strips_[k].groups.reserve(groupCount[k]);
    }
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if ((i < skip.size() && skip[i]) || !shapes[i].geometry)
            continue;
        ForEachEdge(*shapes[i].geometry, t, [&](const Edge& e) {
            forStrips(e, [&](Strip& s) {
                if (s.groups.empty() || s.groups.back().shape != static_cast<int>(i)) {
                    const auto at = static_cast<std::uint32_t>(s.edges.size());
                    s.groups.push_back({static_cast<int>(i), at, at});
                }
                s.edges.push_back(e);
                ++s.groups.back().end;
            });
        });
    }
}

}  // namespace halvo::host::scan
