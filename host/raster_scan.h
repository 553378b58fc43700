#pragma once
// Scan conversion of zone polygons in pixel space (x to the right, y down, one
// unit per cell). Two questions are answered per strip of rows: which cells
// have their centre inside a shape, and which cells' closed squares an edge
// meets. Shapes are cut into strips once, so each strip only sees its edges.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class OGRGeometry;

namespace halvo::host::scan {

// Slack that keeps the touch test conservative against round-off, in cells.
constexpr double kTouchSlack = 1e-9;

// A polygon edge with its ends ordered so that ya <= yb.
struct Edge {
    double xa, ya, xb, yb;
};

// Inverse of a north-up geotransform: world → pixel.
struct PixelTransform {
    double col0 = 0, colPerX = 1, row0 = 0, rowPerY = -1;
};

// A zone shape's place on the grid. Its edges are generated from the
// geometry when strips are cut, never held per shape.
struct PixelShape {
    int zone = 0;
    const OGRGeometry* geometry = nullptr;  // polygon or multipolygon, else null
    double minx = 0, miny = 0, maxx = 0, maxy = 0;  // bounding box when geometry is set
};

// Places a polygon or multipolygon on the grid; other geometry types give a
// shape without geometry, which covers nothing.
PixelShape ToPixelShape(const OGRGeometry* geometry, int zone, const PixelTransform& t);

// Cast to int with far-away coordinates pinned well inside int's range.
inline int ClampToInt(double v)
{
    constexpr double kLimit = 1 << 30;
    return static_cast<int>(std::clamp(v, -kLimit, kLimit));
}

// Rows whose centre line y = r + 0.5 the edge crosses, half-open at the bottom
// end so that a ring's crossings always pair up: [begin, end).
inline int CentreRowBegin(const Edge& e) { return ClampToInt(std::ceil(e.ya - 0.5)); }
inline int CentreRowEnd(const Edge& e) { return ClampToInt(std::ceil(e.yb - 0.5)); }

// Rows whose closed cell squares the closed edge can meet: [begin, end).
inline int TouchRowBegin(const Edge& e) { return ClampToInt(std::ceil(e.ya - kTouchSlack)) - 1; }
inline int TouchRowEnd(const Edge& e) { return ClampToInt(std::floor(e.yb + kTouchSlack)) + 1; }

// Edges of all shapes cut into strips of rows aligned to multiples of
// stripRows. Within a strip the edges stay grouped by shape, in shape order.
class StripEdgeTable {
public:
    enum class Rows { Centre, Touch };
    struct Group {
        int shape;
        std::uint32_t begin, end;  // into Strip::edges
    };
    struct Strip {
        int rowBegin = 0, rowEnd = 0;
        std::vector<Edge> edges;
        std::vector<Group> groups;
    };

    StripEdgeTable() = default;
    // Covers rows [rowBegin, rowEnd); shapes with skip[i] set are left out.
    StripEdgeTable(const std::vector<PixelShape>& shapes, const PixelTransform& t, int rowBegin, int rowEnd,
                   int stripRows, Rows rows, const std::vector<char>& skip = {});

    int size() const { return static_cast<int>(strips_.size()); }
    const Strip& operator[](int k) const { return strips_[static_cast<std::size_t>(k)]; }
    std::span<const Edge> edges(const Strip& s, const Group& g) const
    {
        return {s.edges.data() + g.begin, g.end - g.begin};
    }

private:
    std::vector<Strip> strips_;
};

// Reused between calls so that scanning a strip allocates nothing.
struct SpanScratch {
    std::vector<std::uint32_t> rowStart;
    std::vector<double> xs;
};

// Calls fn(row, c0, c1) for each run of cells [c0, c1) in rows [r0, r1) whose
// centres lie inside the rings made by `edges` (even-odd). A centre exactly on
// an edge belongs to the cell on the edge's right, or below it when the edge
// is horizontal, so shapes that share an edge never share a cell.
template <class Fn>
void ForEachCentreSpan(std::span<const Edge> edges, int r0, int r1, SpanScratch& s, Fn&& fn)
{
    if (r1 <= r0 || edges.empty())
        return;
    const auto rows = static_cast<std::size_t>(r1 - r0);
    s.rowStart.assign(rows + 2, 0);
    for (const Edge& e : edges) {
        const int a = std::max(CentreRowBegin(e), r0), b = std::min(CentreRowEnd(e), r1);
        for (int r = a; r < b; ++r)
            ++s.rowStart[static_cast<std::size_t>(r - r0) + 2];
    }
    for (std::size_t i = 2; i < rows + 2; ++i)
        s.rowStart[i] += s.rowStart[i - 1];
    s.xs.resize(s.rowStart[rows + 1]);
    for (const Edge& e : edges) {
        const int a = std::max(CentreRowBegin(e), r0), b = std::min(CentreRowEnd(e), r1);
        for (int r = a; r < b; ++r) {
            const double y = r + 0.5;
            s.xs[s.rowStart[static_cast<std::size_t>(r - r0) + 1]++] =
                (y - e.ya) * (e.xb - e.xa) / (e.yb - e.ya) + e.xa;
        }
    }
    for (std::size_t i = 0; i < rows; ++i) {
        double* first = s.xs.data() + s.rowStart[i];
        double* last = s.xs.data() + s.rowStart[i + 1];
        if (last - first < 2)
            continue;
        std::sort(first, last);
        const int row = r0 + static_cast<int>(i);
        for (double* p = first; p + 1 < last; p += 2) {
            const int c0 = ClampToInt(std::ceil(p[0] - 0.5));
            const int c1 = ClampToInt(std::ceil(p[1] - 0.5));
            if (c0 < c1)
                fn(row, c0, c1);
        }
    }
}

// Calls fn(row, c0, c1) with the inclusive column range of the cells in rows
// [r0, r1) whose closed squares the closed edge meets: an edge along a grid
// line touches the cells on both sides, an end on a cell corner all four.
template <class Fn>
void ForEachTouchedRun(const Edge& e, int r0, int r1, Fn&& fn)
{
    const int a = std::max(TouchRowBegin(e), r0), b = std::min(TouchRowEnd(e), r1);
    const double dy = e.yb - e.ya;
    auto xAt = [&](double y) {
        if (y <= e.ya)
            return e.xa;
        if (y >= e.yb)
            return e.xb;
        return e.xa + (y - e.ya) * (e.xb - e.xa) / dy;
    };
    for (int r = a; r < b; ++r) {
        const bool flat = dy <= 0;
        const double x0 = flat ? e.xa : xAt(std::clamp(static_cast<double>(r), e.ya, e.yb));
        const double x1 = flat ? e.xb : xAt(std::clamp(static_cast<double>(r) + 1, e.ya, e.yb));
        const double lo = std::min(x0, x1) - kTouchSlack, hi = std::max(x0, x1) + kTouchSlack;
        fn(r, ClampToInt(std::ceil(lo)) - 1, ClampToInt(std::floor(hi)));
    }
}

// The zone spans of a strip, gathered in burn order and resolved so that
// where spans overlap the last one wins, as in a zone grid burnt shape after
// shape. Only rows where spans overlap are painted cell by cell.
class ZoneRuns {
public:
    void reset(int rowBegin, int rowEnd)
    {
        rowBegin_ = rowBegin;
        rowEnd_ = rowEnd;
        spans_.clear();
    }
    void add(int row, int c0, int c1, int zone) { spans_.push_back({row, c0, c1, zone}); }

    // fn(row, c0, c1, zone) for disjoint runs of cells [c0, c1), row by row.
    template <class Fn>
    void forEach(Fn&& fn)
    {
        const auto rows = static_cast<std::size_t>(rowEnd_ - rowBegin_);
        rowStart_.assign(rows + 2, 0);
        for (const Span& s : spans_)
            ++rowStart_[static_cast<std::size_t>(s.row - rowBegin_) + 2];
        for (std::size_t i = 2; i < rows + 2; ++i)
            rowStart_[i] += rowStart_[i - 1];
        byRow_.resize(spans_.size());
        for (const Span& s : spans_)  // stable: burn order holds within a row
            byRow_[rowStart_[static_cast<std::size_t>(s.row - rowBegin_) + 1]++] = s;
        for (std::size_t i = 0; i < rows; ++i) {
            const Span* first = byRow_.data() + rowStart_[i];
            const Span* last = byRow_.data() + rowStart_[i + 1];
            sorted_.assign(first, last);
            std::sort(sorted_.begin(), sorted_.end(), [](const Span& a, const Span& b) { return a.c0 < b.c0; });
            bool disjoint = true;
            for (std::size_t k = 1; k < sorted_.size() && disjoint; ++k)
                disjoint = sorted_[k - 1].c1 <= sorted_[k].c0;
            if (disjoint) {
                for (const Span& s : sorted_)
                    fn(s.row, s.c0, s.c1, s.zone);
                continue;
            }
            const int lo = sorted_.front().c0;
            int hi = lo;
            for (const Span& s : sorted_)
                hi = std::max(hi, s.c1);
            paint_.assign(static_cast<std::size_t>(hi - lo), -1);
            for (const Span* s = first; s != last; ++s)
                std::fill(paint_.begin() + (s->c0 - lo), paint_.begin() + (s->c1 - lo), s->zone);
            for (int c = lo; c < hi;) {
                const std::int32_t z = paint_[static_cast<std::size_t>(c - lo)];
                int end = c + 1;
                while (end < hi && paint_[static_cast<std::size_t>(end - lo)] == z)
                    ++end;
                if (z >= 0)
                    fn(first->row, c, end, z);
                c = end;
            }
        }
    }

private:
    struct Span {
        int row, c0, c1, zone;
    };
    int rowBegin_ = 0, rowEnd_ = 0;
    std::vector<Span> spans_, byRow_, sorted_;
    std::vector<std::uint32_t> rowStart_;
    std::vector<std::int32_t> paint_;
};

}  // namespace halvo::host::scan
