#pragma once
// Scan conversion of zone polygons in pixel space (x to the right, y down, one
// unit per cell). Three questions are answered per strip of rows: which cells
// have their centre inside a shape, which cells' closed squares an edge
// meets, and what share of each cell's area a shape covers. Shapes are cut
// into strips once, so each strip only sees its edges.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

class OGRGeometry;

namespace halvo::host::scan {

// Slack that keeps the touch test conservative against round-off, in cells.
constexpr double kTouchSlack = 1e-9;

// A polygon edge with its ends ordered so that ya <= yb. w is +1 or -1: the
// sign that makes the integral of x dy along (xa, ya) -> (xb, yb) count the
// polygon's interior as positive area (it folds in the ring's sense, whether
// the ring is a hole, and whether the ends were swapped).
struct Edge {
    double xa, ya, xb, yb;
    double w;
};

// Inverse of a north-up geotransform: world → pixel.
struct PixelTransform {
    double col0 = 0, colPerX = 1, row0 = 0, rowPerY = -1;
};

// A zone shape's place on the grid. Its edges are generated from the
// geometry when strips are cut, never held per shape.
struct PixelShape {
    int zone = 0;
    const OGRGeometry* geometry = nullptr;          // polygon or multipolygon, else null
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

// Rows whose band r <= y <= r + 1 the edge crosses over a non-zero height:
// [begin, end). Horizontal edges add no area and cross none.
inline int CoverRowBegin(const Edge& e) { return ClampToInt(std::floor(e.ya)); }
inline int CoverRowEnd(const Edge& e) { return e.yb > e.ya ? ClampToInt(std::ceil(e.yb)) : CoverRowBegin(e); }

// Rows whose closed cell squares the closed edge can meet: [begin, end).
inline int TouchRowBegin(const Edge& e) { return ClampToInt(std::ceil(e.ya - kTouchSlack)) - 1; }
inline int TouchRowEnd(const Edge& e) { return ClampToInt(std::floor(e.yb + kTouchSlack)) + 1; }

// Edges of all shapes cut into strips of rows aligned to multiples of
// stripRows. Within a strip the edges stay grouped by shape, in shape order.
class StripEdgeTable {
public:
    enum class Rows { Centre, Touch, Cover };
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

// The mean of clamp(u, 0, 1) as u runs evenly from u0 to u1: the share of a
// unit column [c, c + 1] left of a point moving from x = c + u0 to c + u1.
// Split at the kinks so that each piece is exact; no division by a
// difference unless it is the whole span.
inline double MeanClamp01(double u0, double u1)
{
    if (u0 > u1)
        std::swap(u0, u1);
    if (u1 <= 0)
        return 0;
    if (u0 >= 1)
        return 1;
    const double du = u1 - u0;
    if (du <= 0)
        return u0;
    const double lo = std::max(u0, 0.0), hi = std::min(u1, 1.0);
    return ((hi - lo) * (lo + hi) * 0.5 + std::max(u1 - 1.0, 0.0)) / du;
}

// Round-off of a sum of edge heights, in cells: a run of cells this close to
// whole cover is whole, this close to none is empty.
constexpr double kWhole = 1e-9;

// Reused between calls so that covering a strip allocates nothing.
struct CoverScratch {
    struct Event {
        int col;
        double step;   // leaves the running sum from this column on
        double share;  // the piece's own share of this cell
        bool cut;      // the piece passes through this cell
    };
    std::vector<std::uint32_t> rowStart;
    std::vector<Event> events;
};

// Exact cover of rows [r0, r1), columns [c0, c1), by the polygon whose edges
// (all of its rings, holes included) are `edges`: full(row, from, to) for
// each run of cells [from, to) lying wholly inside, part(row, c, share) for
// each cell the boundary passes through, with the share of its area inside
// (0 .. 1). Runs may reach past the columns asked for; cut cells do not.
//
// By Green's theorem the area of the polygon within column c of row r is the
// sum over its edges of the integral of w * clamp(x - c, 0, 1) dy over the
// part of the edge within the row. A piece of edge from x0 to x1 gives the
// cells it passes through, floor(min) .. ceil(max) - 1, their integral
// exactly, and every cell left of them its full height w * dy. Those full
// heights are carried as a running sum from the left; between the cells that
// edges pass through it is constant, so runs of whole cells are found without
// visiting them and counted exactly.
template <class Full, class Part>
void ForEachCoveredCell(std::span<const Edge> edges, int r0, int r1, int c0, int c1, CoverScratch& s, Full&& full,
                        Part&& part)
{
    if (r1 <= r0 || edges.empty())
        return;
    const auto rows = static_cast<std::size_t>(r1 - r0);
    auto xAt = [](const Edge& e, double y) {
        if (y <= e.ya)
            return e.xa;
        if (y >= e.yb)
            return e.xb;
        const double x = e.xa + (y - e.ya) * (e.xb - e.xa) / (e.yb - e.ya);
        return std::clamp(x, std::min(e.xa, e.xb), std::max(e.xa, e.xb));
    };
    // fn(row, piece ends) for each part of an edge inside one row's band.
    auto pieces = [&](auto&& fn) {
        for (const Edge& e : edges) {
            const int a = std::max(CoverRowBegin(e), r0), b = std::min(CoverRowEnd(e), r1);
            for (int r = a; r < b; ++r) {
                const double y0 = std::max(e.ya, static_cast<double>(r));
                const double y1 = std::min(e.yb, static_cast<double>(r) + 1);
                if (y1 > y0)
                    fn(r, xAt(e, y0), xAt(e, y1), e.w * (y1 - y0));
            }
        }
    };
    // The cells a piece passes through, cut to the columns asked for, and
    // the column its full height leaves the sum: outside them, one just
    // beyond does the same for every column inside.
    struct Span {
        int step, first, last;
    };
    auto span = [&](double x0, double x1) {
        const double lo = std::min(x0, x1), hi = std::max(x0, x1);
        const int k0 = ClampToInt(std::floor(lo));
        const int k1 = std::max(k0, ClampToInt(std::ceil(hi))) - 1;
        return Span{std::clamp(k0, c0 - 1, c1), std::max(k0, c0), std::min(k1, c1 - 1)};
    };
    s.rowStart.assign(rows + 2, 0);
    pieces([&](int r, double x0, double x1, double) {
        const Span k = span(x0, x1);
        s.rowStart[static_cast<std::size_t>(r - r0) + 2] +=
            static_cast<std::uint32_t>(1 + std::max(0, k.last - k.first + 1));
    });
    for (std::size_t i = 2; i < rows + 2; ++i)
        s.rowStart[i] += s.rowStart[i - 1];
    s.events.resize(s.rowStart[rows + 1]);
    pieces([&](int r, double x0, double x1, double h) {
        const Span k = span(x0, x1);
        std::uint32_t& at = s.rowStart[static_cast<std::size_t>(r - r0) + 1];
        s.events[at++] = {k.step, h, 0.0, false};
        for (int c = k.first; c <= k.last; ++c)
            s.events[at++] = {c, 0.0, h * MeanClamp01(x0 - c, x1 - c), true};
    });
    for (std::size_t i = 0; i < rows; ++i) {
        auto* first = s.events.data() + s.rowStart[i];
        auto* last = s.events.data() + s.rowStart[i + 1];
        std::sort(first, last,
                  [](const CoverScratch::Event& a, const CoverScratch::Event& b) { return a.col < b.col; });
        const int row = r0 + static_cast<int>(i);
        // The sum of all full heights is the cover far left of every piece,
        // outside the polygon: 0. Moving right, each piece's height leaves
        // the sum at its first column, so `sum` is the full heights of the
        // pieces right of c: the cover of every cell up to the next event.
        // That is whole (0 or 1, to round-off) unless a horizontal edge,
        // which adds no height, runs through those cells.
        double sum = 0;
        int runFrom = 0;
        auto run = [&](int from, int to) {
            if (from >= to || sum < kWhole)
                return;
            if (sum > 1 - kWhole)
                full(row, from, to);
            else
                for (int c = std::max(from, c0); c < std::min(to, c1); ++c)
                    part(row, c, sum);
        };
        for (auto* p = first; p != last;) {
            const int c = p->col;
            run(runFrom, c);
            double share = 0;
            bool cut = false;
            for (; p != last && p->col == c; ++p) {
                sum -= p->step;
                share += p->share;
                cut = cut || p->cut;
            }
            if (cut) {
                part(row, c, std::clamp(sum + share, 0.0, 1.0));
                runFrom = c + 1;
            } else {
                runFrom = c;
            }
        }
    }
}

// The zone spans of a strip, gathered in burn order and resolved so that
// where spans overlap the last one wins, as in a zone grid burnt shape after
// shape. They are resolved once per strip, however often they are read (once
// per chunk of columns), and only clusters of overlapping spans are painted
// cell by cell.
class ZoneRuns {
public:
    void reset(int rowBegin, int rowEnd)
    {
        rowBegin_ = rowBegin;
        rowEnd_ = rowEnd;
        spans_.clear();
        resolved_ = false;
    }
    void add(int row, int c0, int c1, int zone)
    {
        spans_.push_back({row, c0, c1, zone});
        resolved_ = false;
    }

    // fn(row, c0, c1, zone) for disjoint runs of cells [c0, c1), row by row.
    template <class Fn>
    void forEach(Fn&& fn)
    {
        forEachIn(std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), fn);
    }

    // The same, cut to columns [c0, c1): a chunk of columns finds its runs in
    // each row by bisection instead of passing over the whole strip's.
    template <class Fn>
    void forEachIn(int c0, int c1, Fn&& fn)
    {
        if (!resolved_)
            resolve();
        for (std::size_t i = 0; i + 1 < runStart_.size(); ++i) {
            const Span* last = runs_.data() + runStart_[i + 1];
            const Span* s = std::partition_point(static_cast<const Span*>(runs_.data() + runStart_[i]), last,
                                                 [&](const Span& r) { return r.c1 <= c0; });
            for (; s != last && s->c0 < c1; ++s)
                fn(s->row, std::max(s->c0, c0), std::min(s->c1, c1), s->zone);
        }
    }

private:
    struct Span {
        int row, c0, c1, zone;
    };

    void resolve()
    {
        runs_.clear();
        resolved_ = true;
        const auto rows = static_cast<std::size_t>(rowEnd_ - rowBegin_);
        rowStart_.assign(rows + 2, 0);
        for (const Span& s : spans_)
            ++rowStart_[static_cast<std::size_t>(s.row - rowBegin_) + 2];
        for (std::size_t i = 2; i < rows + 2; ++i)
            rowStart_[i] += rowStart_[i - 1];
        byRow_.resize(spans_.size());
        for (const Span& s : spans_)  // stable: burn order holds within a row
            byRow_[rowStart_[static_cast<std::size_t>(s.row - rowBegin_) + 1]++] = s;
        runStart_.assign(1, 0);
        for (std::size_t i = 0; i < rows; ++i) {
            const Span* first = byRow_.data() + rowStart_[i];
            const Span* last = byRow_.data() + rowStart_[i + 1];
            // Each span's place in burn order rides in `row` while sorted by column.
            sorted_.clear();
            for (const Span* s = first; s != last; ++s)
                sorted_.push_back({static_cast<int>(s - first), s->c0, s->c1, s->zone});
            std::sort(sorted_.begin(), sorted_.end(), [](const Span& a, const Span& b) { return a.c0 < b.c0; });
            const int row = rowBegin_ + static_cast<int>(i);
            for (std::size_t k = 0; k < sorted_.size();) {
                // A cluster: spans chained by overlap, so their union has no gap.
                std::size_t end = k + 1;
                int hi = sorted_[k].c1;
                for (; end < sorted_.size() && sorted_[end].c0 < hi; ++end)
                    hi = std::max(hi, sorted_[end].c1);
                if (end == k + 1)
                    runs_.push_back({row, sorted_[k].c0, sorted_[k].c1, sorted_[k].zone});
                else
                    paint(row, k, end, hi);
                k = end;
            }
            runStart_.push_back(static_cast<std::uint32_t>(runs_.size()));
        }
    }

    // Burns sorted_[k, end) in burn order over their columns and keeps the runs.
    void paint(int row, std::size_t k, std::size_t end, int hi)
    {
        const int lo = sorted_[k].c0;
        std::sort(sorted_.begin() + static_cast<std::ptrdiff_t>(k), sorted_.begin() + static_cast<std::ptrdiff_t>(end),
                  [](const Span& a, const Span& b) { return a.row < b.row; });
        paint_.assign(static_cast<std::size_t>(hi - lo), -1);
        for (std::size_t j = k; j < end; ++j)
            std::fill(paint_.begin() + (sorted_[j].c0 - lo), paint_.begin() + (sorted_[j].c1 - lo), sorted_[j].zone);
        for (int c = lo; c < hi;) {
            const std::int32_t z = paint_[static_cast<std::size_t>(c - lo)];
            int next = c + 1;
            while (next < hi && paint_[static_cast<std::size_t>(next - lo)] == z)
                ++next;
            if (z >= 0)
                runs_.push_back({row, c, next, z});
            c = next;
        }
    }

    int rowBegin_ = 0, rowEnd_ = 0;
    bool resolved_ = false;
    std::vector<Span> spans_, byRow_, sorted_, runs_;
    std::vector<std::uint32_t> rowStart_, runStart_;  // runs_[runStart_[i] .. runStart_[i + 1]) lie in row i
    std::vector<std::int32_t> paint_;
};

}  // namespace halvo::host::scan
