#include "host/raster.h"
#include "host/ogr_layer.h"
#include "host/vector_ops.h"

#include "host/gdal_env.h"
#include "host/raster_scan.h"
#include "host/raster_tally.h"
#include "host/threads.h"
#include "support/error_reporting.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <future>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <type_traits>

namespace halvo::host {

namespace fs = std::filesystem;
namespace err = support::err;
using support::raise;

double RasterInfo::cellArea() const
{
    return std::fabs(geoTransform[1] * geoTransform[5] - geoTransform[2] * geoTransform[4]);
}

void RasterInfo::extent(double& minx, double& miny, double& maxx, double& maxy) const
{
    const double* gt = geoTransform;
    minx = miny = std::numeric_limits<double>::infinity();
    maxx = maxy = -std::numeric_limits<double>::infinity();
    for (const double px : {0.0, static_cast<double>(width)}) {
        for (const double py : {0.0, static_cast<double>(height)}) {
            const double x = gt[0] + px * gt[1] + py * gt[2], y = gt[3] + px * gt[4] + py * gt[5];
            minx = std::min(minx, x);
            maxx = std::max(maxx, x);
            miny = std::min(miny, y);
            maxy = std::max(maxy, y);
        }
    }
}

ZoneShape::ZoneShape() = default;
ZoneShape::ZoneShape(int z, std::unique_ptr<OGRGeometry> g) : zone(z), geometry(std::move(g)) {}
ZoneShape::ZoneShape(ZoneShape&&) noexcept = default;
ZoneShape& ZoneShape::operator=(ZoneShape&&) noexcept = default;
ZoneShape::~ZoneShape() = default;

namespace {

// GDAL's message for the call that just failed (reset before each call).
std::string LastGdalMessage()
{
    const std::string m = LastGdalError();
    return m.empty() ? std::string("no further detail from GDAL") : m;
}

GDALDatasetUniquePtr OpenRaster(const fs::path& path)
{
    EnsureGdal();
    CPLErrorReset();
    GDALDatasetUniquePtr ds(GDALDataset::Open(path.string().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!ds) {
        std::error_code ec;
        if (!path.string().starts_with("/vsi") && !fs::exists(path, ec))
            raise(err::kFileNotFound, "Raster " + path.string() + " does not exist");
        raise(err::kFileAccess, "Cannot read " + path.string() + " as a raster: " + LastGdalMessage());
    }
    if (ds->GetRasterCount() < 1)
        raise(err::kFileAccess, "Raster " + path.string() + " has no bands");
    return ds;
}

std::string LinearUnitOf(const OGRSpatialReference& srs)
{
    if (!srs.IsProjected() && !srs.IsLocal())
        return {};
    const double metres = srs.GetLinearUnits(nullptr);
    if (std::fabs(metres - 1.0) < 1e-9)
        return "Meters";
    // International, US survey and the older national feet all round to 0.3048 m.
    if (std::fabs(metres - 0.3048) < 1e-5)
        return "Feet";
    return {};
}

bool SignedBytes(GDALRasterBand& band)
{
    const char* p = band.GetMetadataItem("PIXELTYPE", "IMAGE_STRUCTURE");
    return band.GetRasterDataType() == GDT_Byte && p && EQUAL(p, "SIGNEDBYTE");
}

// ---------------------------------------------------------------------------
// Grid set-up shared by the two passes

scan::PixelTransform PixelTransformOf(const RasterInfo& r)
{
    const double* gt = r.geoTransform;
    if (gt[2] != 0 || gt[4] != 0)
        raise(err::kInvalidCall,
              "Raster " + r.path.string() + " is rotated or sheared; zones can only be laid over a north-up grid");
    double inv[6];
    if (gt[1] == 0 || gt[5] == 0 || !GDALInvGeoTransform(const_cast<double*>(gt), inv))
        raise(err::kInvalidCall, "Raster " + r.path.string() + " has a zero cell size");
    return {inv[0], inv[1], inv[3], inv[5]};
}

// The zone shapes placed on the raster's grid.
struct Placed {
    scan::PixelTransform transform;
    std::vector<scan::PixelShape> shapes;
};

// A shape in the raster's cells reaching past its extent.
bool LeavesRaster(const scan::PixelShape& s, const RasterInfo& r)
{
    constexpr double slack = scan::kTouchSlack;
    return s.minx < -slack || s.miny < -slack || s.maxx > r.width + slack || s.maxy > r.height + slack;
}

Placed Place(const RasterInfo& r, const std::vector<ZoneShape>& shapes, int zoneCount)
{
    if (zoneCount < 0)
        raise(err::kInvalidCall, "Negative zone count for " + r.path.string());
    Placed out{PixelTransformOf(r), {}};
    out.shapes.reserve(shapes.size());
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const ZoneShape& s = shapes[i];
        if (s.zone < 0 || s.zone >= zoneCount)
            raise(err::kInvalidCall, "Shape " + std::to_string(i) + " laid over " + r.path.string() + " has zone " +
                                         std::to_string(s.zone) + ", outside 0.." + std::to_string(zoneCount - 1));
        out.shapes.push_back(scan::ToPixelShape(s.geometry.get(), s.zone, out.transform));
    }
    return out;
}

// A rectangle of cells: columns [col0, col1), rows [row0, row1).
struct Window {
    int col0 = std::numeric_limits<int>::max(), col1 = std::numeric_limits<int>::min();
    int row0 = std::numeric_limits<int>::max(), row1 = std::numeric_limits<int>::min();

    void add(int c0, int c1, int r0, int r1)
    {
        col0 = std::min(col0, c0);
        col1 = std::max(col1, c1);
        row0 = std::min(row0, r0);
        row1 = std::max(row1, r1);
    }
    Window intersect(const Window& o) const
    {
        Window w;
        w.col0 = std::max(col0, o.col0);
        w.col1 = std::min(col1, o.col1);
        w.row0 = std::max(row0, o.row0);
        w.row1 = std::min(row1, o.row1);
        return w;
    }
    Window clipped(int width, int height) const { return intersect(Window{0, width, 0, height}); }
    bool empty() const { return col0 >= col1 || row0 >= row1; }
    std::size_t width() const { return static_cast<std::size_t>(col1 - col0); }
};

// Cells whose centre the shape's bounding box can hold.
Window CentreWindow(const scan::PixelShape& s)
{
    Window w;
    if (s.geometry)
        w.add(scan::ClampToInt(std::ceil(s.minx - 0.5)), scan::ClampToInt(std::ceil(s.maxx - 0.5)),
              scan::ClampToInt(std::ceil(s.miny - 0.5)), scan::ClampToInt(std::ceil(s.maxy - 0.5)));
    return w;
}

// Cells whose closed squares the shape's bounding box can meet.
Window TouchWindow(const scan::PixelShape& s)
{
    using scan::ClampToInt, scan::kTouchSlack;
    Window w;
    if (s.geometry)
        w.add(ClampToInt(std::ceil(s.minx - kTouchSlack)) - 1, ClampToInt(std::floor(s.maxx + kTouchSlack)) + 1,
              ClampToInt(std::ceil(s.miny - kTouchSlack)) - 1, ClampToInt(std::floor(s.maxy + kTouchSlack)) + 1);
    return w;
}

// Cells whose squares the shape's bounding box can overlap.
Window CoverWindow(const scan::PixelShape& s)
{
    using scan::ClampToInt;
    Window w;
    if (s.geometry)
        w.add(ClampToInt(std::floor(s.minx)), ClampToInt(std::ceil(s.maxx)), ClampToInt(std::floor(s.miny)),
              ClampToInt(std::ceil(s.maxy)));
    return w;
}

struct StripLayout {
    int rows = 256;
    bool dropCache = true;  // strips hold whole blocks, so none is needed twice
};

// Strips follow the block rows so that each block is decoded once. Blocks of
// a few rows are gathered into strips of about 256 rows; very tall blocks
// (whole-image strips) are read piecemeal and left to GDAL's cache.
StripLayout StripLayoutOf(GDALRasterBand& band)
{
    int bw = 0, bh = 0;
    band.GetBlockSize(&bw, &bh);
    bh = std::max(bh, 1);
    if (bh > 1024)
        return {256, false};
    return {bh * std::max(1, 256 / bh), true};
}

// Strips are read in windows of at most this many columns (whole blocks), so
// a worker's buffer does not grow with the raster's width.
std::atomic<int> chunkColumns{8192};

// [col0, col1) cut at multiples of the chunk width, rounded to whole blocks.
template <class Fn>
void ForEachChunk(const Window& read, int blockCols, Fn&& fn)
{
    const int bw = std::max(blockCols, 1);
    const int step = std::max(bw, chunkColumns.load() / bw * bw);
    for (int c = read.col0; c < read.col1;) {
        const int next = std::min(read.col1, (c / step + 1) * step);
        fn(Window{c, next, read.row0, read.row1});
        c = next;
    }
}

int BlockColumns(GDALRasterBand& band)
{
    int bw = 0, bh = 0;
    band.GetBlockSize(&bw, &bh);
    return bw;
}

int WorkerCount(int threads, int strips)
{
    if (threads <= 0)
        threads = DefaultThreads();
    return std::min(threads, strips);
}

// Runs work(worker, strip) over all strips, each worker on its own thread;
// the first failure stops the others.
template <class Work>
void RunStrips(int workers, int strips, const ProgressFn& progress, Work&& work)
{
    ParallelFor(
        static_cast<std::size_t>(strips), [](int w) { return w; },
        [&](int w, std::size_t k) { work(w, static_cast<int>(k)); }, workers, progress);
}

template <class T>
constexpr GDALDataType GdalTypeOf()
{
    if constexpr (std::is_same_v<T, std::uint8_t>)
        return GDT_Byte;
    else if constexpr (std::is_same_v<T, std::uint16_t>)
        return GDT_UInt16;
    else if constexpr (std::is_same_v<T, std::int16_t>)
        return GDT_Int16;
    else if constexpr (std::is_same_v<T, std::uint32_t>)
        return GDT_UInt32;
    else if constexpr (std::is_same_v<T, std::int32_t>)
        return GDT_Int32;
    else if constexpr (std::is_same_v<T, std::int64_t>)
        return GDT_Int64;
    else if constexpr (std::is_same_v<T, std::uint64_t>)
        return GDT_UInt64;
#if GDAL_VERSION_NUM >= GDAL_COMPUTE_VERSION(3, 7, 0)
    else if constexpr (std::is_same_v<T, std::int8_t>)
        return GDT_Int8;
#endif
}

// Calls fn(std::type_identity<T>{}) with the cell type T of an integer band.
template <class Fn>
decltype(auto) WithCellType(GDALDataType type, const RasterInfo& r, Fn&& fn)
{
    switch (type) {
    case GDT_Byte: return fn(std::type_identity<std::uint8_t>{});
    case GDT_UInt16: return fn(std::type_identity<std::uint16_t>{});
    case GDT_Int16: return fn(std::type_identity<std::int16_t>{});
    case GDT_UInt32: return fn(std::type_identity<std::uint32_t>{});
    case GDT_Int32: return fn(std::type_identity<std::int32_t>{});
    case GDT_Int64: return fn(std::type_identity<std::int64_t>{});
    case GDT_UInt64: return fn(std::type_identity<std::uint64_t>{});
#if GDAL_VERSION_NUM >= GDAL_COMPUTE_VERSION(3, 7, 0)
    case GDT_Int8: return fn(std::type_identity<std::int8_t>{});
#endif
    default:
        raise(err::kInvalidCall, "Raster " + r.path.string() + " holds " + GDALGetDataTypeName(type) +
                                     " cells; land-cover classes must be integers");
    }
}

// One worker's view of the raster: its own dataset handle and strip buffer.
template <class T>
struct StripSource {
    GDALDatasetUniquePtr ds;
    GDALRasterBand* band = nullptr;
    std::vector<T> values;

    explicit StripSource(GDALDatasetUniquePtr d) : ds(std::move(d)), band(ds->GetRasterBand(1)) {}

    const T* read(const fs::path& path, const Window& w, bool dropCache)
    {
        const int cols = w.col1 - w.col0, rows = w.row1 - w.row0;
        values.resize(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));
        CPLErrorReset();
        if (band->RasterIO(GF_Read, w.col0, w.row0, cols, rows, values.data(), cols, rows, GdalTypeOf<T>(), 0, 0,
                           nullptr) != CE_None)
            raise(err::kFileAccess, "Cannot read rows " + std::to_string(w.row0) + " to " + std::to_string(w.row1 - 1) +
                                        " of " + path.string() + ": " + LastGdalMessage());
        if (dropCache)
            band->FlushCache(false);
        return values.data();
    }
};

// The band's NODATA value as a raw cell value, if it is one.
template <class T>
std::optional<T> RawNodata(const std::optional<double>& nodata, bool signedBytes)
{
    if (!nodata || !std::isfinite(*nodata) || *nodata != std::floor(*nodata))
        return std::nullopt;
    const double v = *nodata;
    if constexpr (std::is_same_v<T, std::uint8_t>) {
        if (signedBytes)
            return v >= -128 && v <= 127 ? std::optional<T>(static_cast<T>(static_cast<std::int8_t>(v))) : std::nullopt;
    }
    // The upper bound is exclusive and exact also for 64-bit types.
    const double lo = static_cast<double>(std::numeric_limits<T>::lowest());
    // NOLINTNEXTLINE(bugprone-integer-division): halving first keeps max() + 1 exact as a double.
    const double hiExclusive = 2.0 * static_cast<double>(std::numeric_limits<T>::max() / 2 + 1);
    if (v < lo || v >= hiExclusive)
        return std::nullopt;
    return static_cast<T>(v);
}

template <class T>
bool AnyEqual(const T* p, std::size_t n, T value)
{
    if constexpr (sizeof(T) == 1)
        return n && std::memchr(p, static_cast<unsigned char>(value), n) != nullptr;
    else
        return std::find(p, p + n, value) != p + n;
}

// ---------------------------------------------------------------------------
// Tabulation

template <class T>
using TallyFor = std::conditional_t<std::is_same_v<T, std::uint8_t>, ByteTally, WideTally<T>>;

// Rows of a band, in strips: the edge table holds one band at a time.
constexpr int kStripsPerBand = 16;

// A cell whose covered share is no more than this (round-off where an edge
// runs along or through a cell's corner) is only touched, not covered.
constexpr double kShareOfContact = 1e-9;

// Exact cover of one strip, gathered per worker before the cells are read:
// runs of whole cells and the cut cells with their shares, each by zone.
struct CoverCells {
    struct Run {
        int row, c0, c1, zone;
    };
    struct Cut {
        int row, col, zone;
        double share;
    };
    std::vector<Run> runs;
    std::vector<Cut> cuts;
    scan::CoverScratch scratch;

    // The strip's groups covered within `read`; shares of at most `minShare` are left out.
    void gather(const scan::StripEdgeTable& table, const scan::StripEdgeTable::Strip& strip,
                const std::vector<scan::PixelShape>& shapes, const Window& read, double minShare,
                const std::function<bool(int shape)>& skip = {})
    {
        runs.clear();
        cuts.clear();
        for (const auto& g : strip.groups) {
            if (skip && skip(g.shape))
                continue;
            const int zone = shapes[static_cast<std::size_t>(g.shape)].zone;
            scan::ForEachCoveredCell(
                table.edges(strip, g), read.row0, read.row1, read.col0, read.col1, scratch,
                [&](int row, int c0, int c1) {
                    c0 = std::max(c0, read.col0);
                    c1 = std::min(c1, read.col1);
                    if (c0 < c1)
                        runs.push_back({row, c0, c1, zone});
                },
                [&](int row, int c, double share) {
                    if (share > minShare && c >= read.col0 && c < read.col1)
                        cuts.push_back({row, c, zone, share});
                });
        }
    }

    // Sorts the runs and cuts into the chunks of columns they lie in, cutting
    // runs at the chunks' edges, so that each chunk visits only its own; the
    // order within a chunk is kept, and so are the sums of shares.
    void sortIntoChunks(std::span<const Window> chunks)
    {
        auto chunkOf = [&](int col) {
            return static_cast<std::size_t>(
                std::partition_point(chunks.begin(), chunks.end(), [&](const Window& w) { return w.col1 <= col; }) -
                chunks.begin());
        };
        runStart.assign(chunks.size() + 2, 0);
        cutStart.assign(chunks.size() + 2, 0);
        for (const Run& r : runs)
            for (std::size_t k = chunkOf(r.c0), last = chunkOf(r.c1 - 1); k <= last; ++k)
                ++runStart[k + 2];
        for (const Cut& c : cuts)
            ++cutStart[chunkOf(c.col) + 2];
        for (std::size_t k = 2; k < runStart.size(); ++k) {
            runStart[k] += runStart[k - 1];
            cutStart[k] += cutStart[k - 1];
        }
        sortedRuns.resize(runStart.back());
        for (const Run& r : runs)
            for (std::size_t k = chunkOf(r.c0), last = chunkOf(r.c1 - 1); k <= last; ++k)
                sortedRuns[runStart[k + 1]++] = {r.row, std::max(r.c0, chunks[k].col0), std::min(r.c1, chunks[k].col1),
                                                 r.zone};
        sortedCuts.resize(cutStart.back());
        for (const Cut& c : cuts)
            sortedCuts[cutStart[chunkOf(c.col) + 1]++] = c;
        runs.swap(sortedRuns);
        cuts.swap(sortedCuts);
    }
    // After sortIntoChunks: the runs of chunk k.
    std::span<const Run> runsOf(std::size_t k) const
    {
        return {runs.data() + runStart[k], runs.data() + runStart[k + 1]};
    }
    std::span<const Cut> cutsOf(std::size_t k) const
    {
        return {cuts.data() + cutStart[k], cuts.data() + cutStart[k + 1]};
    }

private:
    std::vector<std::uint32_t> runStart, cutStart;
    std::vector<Run> sortedRuns;
    std::vector<Cut> sortedCuts;
};

// What one pass over the raster yields: the tallies, the NODATA contacts, or both.
struct ScanPlan {
    bool tally = true;
    bool contacts = false;
};

// Label shapes on the grid, and their edges for the band of rows in hand.
struct LabelBand {
    const std::vector<scan::PixelShape>* shapes;
    int count;
    scan::StripEdgeTable table;
};

// What a rule sees of a strip: its edge table and groups, the shapes, the
// columns read, and the label shapes' edges for the same rows.
struct StripView {
    const scan::StripEdgeTable& table;
    const scan::StripEdgeTable::Strip& strip;
    const std::vector<scan::PixelShape>& shapes;
    Window read;
    int index = 0;  // of the strip in its band
    const std::vector<LabelBand>* labels = nullptr;
    std::span<const Window> chunks;  // `read` cut into the windows read at once, left to right
};

// One chunk of a strip's cells as read.
template <class T>
struct ChunkCells {
    Window window;
    std::size_t index = 0;  // into StripView::chunks
    const T* values;
    const T* at(int row, int col) const
    {
        return values + static_cast<std::size_t>(row - window.row0) * window.width() +
               static_cast<std::size_t>(col - window.col0);
    }
};

// The coverage rules are siblings with one interface, chosen once per pass:
// which cells a shape's bounding box can reach, which rows its edges concern,
// which cells of a strip it takes (prepare), how they are counted, and which
// of them make it touch NODATA. Each worker holds its own rule object.

// The centre rule: a cell counts wholly for the last shape holding its
// centre; a shape touches every cell whose closed square it meets.
template <class T>
class CentreRule {
public:
    static Window window(const scan::PixelShape& s, bool contacts)
    {
        return contacts ? TouchWindow(s) : CentreWindow(s);
    }
    static scan::StripEdgeTable::Rows rows(bool contacts)
    {
        return contacts ? scan::StripEdgeTable::Rows::Touch : scan::StripEdgeTable::Rows::Centre;
    }

    CentreRule(int /*zoneCount*/, const ScanPlan& plan) : plan_(plan) {}

    template <class Flagged>
    void prepare(const StripView& v, Flagged&& /*isFlagged*/)
    {
        if (!plan_.tally)
            return;
        gather(runs_, v.table, v.strip, v.shapes, v);
        // Each label layer resolved to disjoint runs, row by row, left to right.
        const std::size_t layers = v.labels ? v.labels->size() : 0;
        labels_.resize(layers);
        for (std::size_t j = 0; j < layers; ++j) {
            const LabelBand& band = (*v.labels)[j];
            LabelRows& out = labels_[j];
            out.count = band.count;
            out.rowBegin = v.strip.rowBegin;
            out.rowStart.assign(static_cast<std::size_t>(v.strip.rowEnd - v.strip.rowBegin) + 1, 0);
            out.runs.clear();
            gather(labelRuns_, band.table, band.table[v.index], *band.shapes, v);
            labelRuns_.forEach([&](int row, int c0, int c1, int label) {
                out.runs.push_back({c0, c1, label});
                ++out.rowStart[static_cast<std::size_t>(row - out.rowBegin) + 1];
            });
            for (std::size_t i = 1; i < out.rowStart.size(); ++i)
                out.rowStart[i] += out.rowStart[i - 1];
        }
    }

    template <class CountRun>
    void count(const ChunkCells<T>& chunk, CountRun&& countRun)
    {
        const int c0 = chunk.window.col0, c1 = chunk.window.col1;
        if (labels_.empty())
            runs_.forEachIn(c0, c1, countRun);
        else
            runs_.forEachIn(c0, c1, [&](int row, int a, int b, int zone) { split(row, a, b, zone, 0, countRun); });
    }

    // flag(zone) for each zone not yet flagged (zoneFlagged(zone)) with a
    // cell of the chunk `cells` for which hits(row, c0, c1) holds.
    template <class Hits, class ZoneFlagged, class Flag>
    void touch(const StripView& v, const ChunkCells<T>& chunk, Hits&& hits, ZoneFlagged&& zoneFlagged, Flag&& flag)
    {
        const Window& cells = chunk.window;
        for (const auto& g : v.strip.groups) {
            const scan::PixelShape& shape = v.shapes[static_cast<std::size_t>(g.shape)];
            if (zoneFlagged(shape.zone))
                continue;
            // A shape beside the chunk meets none of its cells.
            const Window reach = TouchWindow(shape);
            if (reach.col1 <= cells.col0 || reach.col0 >= cells.col1)
                continue;
            const auto edges = v.table.edges(v.strip, g);
            bool hit = false;
            for (const auto& e : edges) {
                scan::ForEachTouchedRun(e, v.read.row0, v.read.row1,
                                        [&](int row, int c0, int c1) { hit = hit || hits(row, c0, c1 + 1); });
                if (hit)
                    break;
            }
            if (!hit)
                scan::ForEachCentreSpan(edges, v.read.row0, v.read.row1, scratch_,
                                        [&](int row, int c0, int c1) { hit = hit || hits(row, c0, c1); });
            if (hit)
                flag(shape.zone);
        }
    }

    template <class Fn>
    void forEachShare(bool /*signedBytes*/, Fn&& /*fn*/) const
    {
    }
    static constexpr bool kShares = false;

private:
    // A label layer's runs in a strip: runs[rowStart[i] .. rowStart[i + 1]) in row rowBegin + i.
    struct LabelRun {
        int c0, c1, label;
    };
    struct LabelRows {
        int count = 1, rowBegin = 0;
        std::vector<std::uint32_t> rowStart;
        std::vector<LabelRun> runs;
    };

    void gather(scan::ZoneRuns& runs, const scan::StripEdgeTable& table, const scan::StripEdgeTable::Strip& strip,
                const std::vector<scan::PixelShape>& shapes, const StripView& v)
    {
        runs.reset(strip.rowBegin, strip.rowEnd);
        for (const auto& g : strip.groups) {
            const int zone = shapes[static_cast<std::size_t>(g.shape)].zone;
            scan::ForEachCentreSpan(table.edges(strip, g), strip.rowBegin, strip.rowEnd, scratch_,
                                    [&](int row, int c0, int c1) {
                                        c0 = std::max(c0, v.read.col0);
                                        c1 = std::min(c1, v.read.col1);
                                        if (c0 < c1)
                                            runs.add(row, c0, c1, zone);
                                    });
        }
    }

    // Cuts the run [c0, c1) of tally `key` by label layer j and those after
    // it; cells no label shape holds take label 0.
    template <class CountRun>
    void split(int row, int c0, int c1, int key, std::size_t j, CountRun& countRun)
    {
        if (j == labels_.size()) {
            countRun(row, c0, c1, key);
            return;
        }
        const LabelRows& l = labels_[j];
        const auto i = static_cast<std::size_t>(row - l.rowBegin);
        const LabelRun* first = l.runs.data() + l.rowStart[i];
        const LabelRun* last = l.runs.data() + l.rowStart[i + 1];
        const LabelRun* r = std::partition_point(first, last, [&](const LabelRun& x) { return x.c1 <= c0; });
        int at = c0;
        for (; at < c1 && r != last && r->c0 < c1; ++r) {
            if (r->c0 > at) {
                split(row, at, r->c0, key * l.count, j + 1, countRun);
                at = r->c0;
            }
            const int end = std::min(r->c1, c1);
            split(row, at, end, key * l.count + r->label, j + 1, countRun);
            at = end;
        }
        if (at < c1)
            split(row, at, c1, key * l.count, j + 1, countRun);
    }

    ScanPlan plan_;
    scan::ZoneRuns runs_;
    scan::SpanScratch scratch_;
    scan::ZoneRuns labelRuns_;
    std::vector<LabelRows> labels_;
};

// Exact cover: each shape counts every cell by the share of its area inside
// the shape; a shape touches NODATA where it covers some share of it.
template <class T>
class ExactRule {
public:
    static Window window(const scan::PixelShape& s, bool /*contacts*/) { return CoverWindow(s); }
    static scan::StripEdgeTable::Rows rows(bool /*contacts*/) { return scan::StripEdgeTable::Rows::Cover; }

    ExactRule(int zoneCount, const ScanPlan& plan) : plan_(plan), shares_(plan.tally ? zoneCount : 0) {}

    template <class Flagged>
    void prepare(const StripView& v, Flagged&& isFlagged)
    {
        if (plan_.tally)
            cover_.gather(v.table, v.strip, v.shapes, v.read, 0.0);
        else
            cover_.gather(v.table, v.strip, v.shapes, v.read, kShareOfContact, isFlagged);
        cover_.sortIntoChunks(v.chunks);
    }

    template <class CountRun>
    void count(const ChunkCells<T>& chunk, CountRun&& countRun)
    {
        for (const auto& r : cover_.runsOf(chunk.index))
            countRun(r.row, r.c0, r.c1, r.zone);
        for (const auto& c : cover_.cutsOf(chunk.index))
            shares_.add(c.zone, *chunk.at(c.row, c.col), c.share);
    }

    template <class Hits, class ZoneFlagged, class Flag>
    void touch(const StripView& /*v*/, const ChunkCells<T>& chunk, Hits&& hits, ZoneFlagged&& zoneFlagged, Flag&& flag)
    {
        for (const auto& r : cover_.runsOf(chunk.index))
            if (!zoneFlagged(r.zone) && hits(r.row, r.c0, r.c1))
                flag(r.zone);
        for (const auto& c : cover_.cutsOf(chunk.index))
            if (c.share > kShareOfContact && !zoneFlagged(c.zone) && hits(c.row, c.col, c.col + 1))
                flag(c.zone);
    }

    template <class Fn>
    void forEachShare(bool signedBytes, Fn&& fn) const
    {
        shares_.forEach(signedBytes, fn);
    }
    static constexpr bool kShares = true;

private:
    ScanPlan plan_;
    ShareTally<T> shares_;
    CoverCells cover_;
};
// Label shapes placed on the grid, with how many labels they give.
struct PlacedLabels {
    Placed placed;
    int count = 1;
};

template <class T, class Rule>
void Scan(const RasterInfo& raster, const Placed& placed, int zoneCount, int threads, const ProgressFn& progress,
          GDALDatasetUniquePtr first, ScanPlan plan, const std::vector<char>& settled, int firstRow, int endRow,
          AreaTabulation& out, std::vector<std::atomic<bool>>& flagged, const std::vector<PlacedLabels>& labels)
{
    // Tallies are kept per zone and label; contacts per zone.
    int tallyCount = zoneCount;
    for (const auto& l : labels)
        tallyCount *= l.count;
    const int keysPerZone = zoneCount > 0 ? tallyCount / zoneCount : 1;
    const auto& shapes = placed.shapes;
    GDALRasterBand& band0 = *first->GetRasterBand(1);
    const StripLayout layout = StripLayoutOf(band0);
    const int blockCols = BlockColumns(band0);
    const bool signedBytes = SignedBytes(band0);
    const std::optional<T> nodata = RawNodata<T>(raster.nodata, signedBytes);
    // Without a NODATA value only the extent flags a zone, and that is settled already.
    plan.contacts = plan.contacts && nodata.has_value();
    if (!plan.tally && !plan.contacts) {
        if (progress)
            progress(1.0);
        return;
    }
    auto windowOf = [&](const scan::PixelShape& s) { return Rule::window(s, plan.contacts); };
    // Shapes settled before the pass are only read for their tallies.
    const std::vector<char> noSkip;
    const std::vector<char>& skip = plan.tally ? noSkip : settled;

    Window all;
    for (std::size_t i = 0; i < shapes.size(); ++i)
        if (skip.empty() || !skip[i]) {
            const Window w = windowOf(shapes[i]);
            all.add(w.col0, w.col1, w.row0, w.row1);
        }
    Window window = all.clipped(raster.width, raster.height);
    window.row0 = std::max(window.row0, firstRow);
    window.row1 = std::min(window.row1, endRow);
    // The edges are cut into strips a band of rows at a time, so the tables
    // hold a few bands' edges, not the whole raster's.
    const int bandRows = layout.rows * kStripsPerBand;
    const int stripCount = window.empty() ? 0 : (window.row1 - 1) / layout.rows - window.row0 / layout.rows + 1;

    struct Worker {
        StripSource<T> source;
        TallyFor<T> tally;
        Rule rule;
        std::vector<Window> chunks;
    };
    const int workerCount = WorkerCount(threads, stripCount);
    std::vector<std::unique_ptr<Worker>> workers;
    for (int w = 0; w < workerCount; ++w)
        workers.push_back(
            std::unique_ptr<Worker>(new Worker{StripSource<T>(w == 0 ? std::move(first) : OpenRaster(raster.path)),
                                               TallyFor<T>(plan.tally ? tallyCount : 0),
                                               Rule(tallyCount, plan),
                                               {}}));
    auto zoneFlagged = [&](int zone) {
        return flagged[static_cast<std::size_t>(zone)].load(std::memory_order_relaxed);
    };
    auto isFlagged = [&](int shape) { return zoneFlagged(shapes[static_cast<std::size_t>(shape)].zone); };
    auto flag = [&](int zone) { flagged[static_cast<std::size_t>(zone)] = true; };

    // The row below each zone's last: a worker past it folds the zone's tallies.
    std::vector<int> zoneEndRow(static_cast<std::size_t>(tallyCount), std::numeric_limits<int>::min());
    for (const auto& s : shapes)
        if (s.geometry) {
            const auto key = static_cast<std::size_t>(s.zone) * static_cast<std::size_t>(keysPerZone);
            const int row1 = windowOf(s).row1;
            for (std::size_t k = key; k < key + static_cast<std::size_t>(keysPerZone); ++k)
                zoneEndRow[k] = std::max(zoneEndRow[k], row1);
        }
    // Each band's edge tables are made on a thread of their own while the
    // workers count the band before, and let go once its last strip is done,
    // so that the workers never wait for them and only a few bands' edges
    // are held at a time.
    struct Band {
        scan::StripEdgeTable table;
        std::vector<LabelBand> labels;
    };
    const int firstBand = window.row0 / bandRows;
    const int bandCount = window.empty() ? 0 : (window.row1 - 1) / bandRows - firstBand + 1;
    auto makeBand = [&](int b) {
        const int bandBegin = std::max(window.row0, (firstBand + b) * bandRows);
        const int bandEnd = std::min(window.row1, (firstBand + b + 1) * bandRows);
        std::vector<char> skipBand(shapes.size());
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            const Window w = windowOf(shapes[i]);
            skipBand[i] = (!skip.empty() && skip[i]) || w.row1 <= bandBegin || w.row0 >= bandEnd;
        }
        auto band = std::make_shared<Band>();
        band->table = scan::StripEdgeTable(shapes, placed.transform, bandBegin, bandEnd, layout.rows,
                                           Rule::rows(plan.contacts), skipBand);
        if (plan.tally)
            for (const auto& l : labels) {
                std::vector<char> skipLabel(l.placed.shapes.size());
                for (std::size_t i = 0; i < skipLabel.size(); ++i) {
                    const Window w = CentreWindow(l.placed.shapes[i]);
                    skipLabel[i] = w.row1 <= bandBegin || w.row0 >= bandEnd;
                }
                band->labels.push_back(
                    {&l.placed.shapes, l.count,
                     scan::StripEdgeTable(l.placed.shapes, placed.transform, bandBegin, bandEnd, layout.rows,
                                          scan::StripEdgeTable::Rows::Centre, skipLabel)});
            }
        return std::shared_ptr<const Band>(std::move(band));
    };
    // Strip g of the pass: its band, and its index in the band's table.
    const int firstStrip = window.row0 / layout.rows;
    auto bandOf = [&](int g) { return (firstStrip + g) * layout.rows / bandRows - firstBand; };
    auto indexInBand = [&](int g, int b) {
        return firstStrip + g - std::max(window.row0, (firstBand + b) * bandRows) / layout.rows;
    };
    std::mutex bandsMutex;
    std::vector<std::shared_future<std::shared_ptr<const Band>>> bands(static_cast<std::size_t>(bandCount));
    std::vector<char> started(bands.size(), 0);
    std::vector<int> stripsIn(bands.size(), 0), stripsLeft;
    for (int g = 0; g < stripCount; ++g)
        ++stripsIn[static_cast<std::size_t>(bandOf(g))];
    stripsLeft = stripsIn;
    // Band b for its strip k; the next band is started when the workers near
    // the end of this one, so that about two bands are held at a time.
    auto bandAt = [&](int b, int k) {
        std::shared_future<std::shared_ptr<const Band>> f;
        {
            const std::lock_guard lock(bandsMutex);
            auto start = [&](int n) {
                if (n < bandCount && !started[static_cast<std::size_t>(n)]) {
                    started[static_cast<std::size_t>(n)] = 1;
                    bands[static_cast<std::size_t>(n)] = std::async(std::launch::async, makeBand, n).share();
                }
            };
            start(b);
            if (k + 2 * workerCount >= stripsIn[static_cast<std::size_t>(b)])
                start(b + 1);
            f = bands[static_cast<std::size_t>(b)];
        }
        return f.get();
    };
    auto stripDone = [&](int b) {
        const std::lock_guard lock(bandsMutex);
        if (--stripsLeft[static_cast<std::size_t>(b)] == 0)
            bands[static_cast<std::size_t>(b)] = {};
    };
    RunStrips(workerCount, stripCount, progress, [&](int w, int g) {
        const int b = bandOf(g);
        const int k = indexInBand(g, b);
        const std::shared_ptr<const Band> band = bandAt(b, k);
        const scan::StripEdgeTable& table = band->table;
        const auto& strip = table[k];
        // Only the columns the strip's shapes can reach are read; for contact
        // alone, only those of zones not yet flagged.
        Window cols;
        for (const auto& grp : strip.groups)
            if (plan.tally || !isFlagged(grp.shape)) {
                const Window sw = windowOf(shapes[static_cast<std::size_t>(grp.shape)]);
                cols.add(sw.col0, sw.col1, strip.rowBegin, strip.rowEnd);
            }
        const Window read = cols.intersect(window);
        if (read.empty()) {
            stripDone(b);
            return;
        }
        Worker& wk = *workers[static_cast<std::size_t>(w)];
        wk.chunks.clear();
        ForEachChunk(read, blockCols, [&](const Window& cells) { wk.chunks.push_back(cells); });
        const StripView view{table, strip, shapes, read, k, &band->labels, wk.chunks};
        if (plan.tally)
            wk.tally.retire(strip.rowBegin, zoneEndRow);
        wk.rule.prepare(view, isFlagged);
        for (std::size_t i = 0; i < wk.chunks.size(); ++i) {
            const Window& cells = wk.chunks[i];
            const ChunkCells<T> chunk{cells, i, wk.source.read(raster.path, cells, layout.dropCache)};
            if (plan.tally)
                wk.rule.count(chunk, [&](int row, int c0, int c1, int zone) {
                    c0 = std::max(c0, cells.col0);
                    c1 = std::min(c1, cells.col1);
                    if (c0 < c1)
                        wk.tally.countRun(zone, chunk.at(row, c0), static_cast<std::size_t>(c1 - c0));
                });
            if (!plan.contacts ||
                !AnyEqual(chunk.values, cells.width() * static_cast<std::size_t>(cells.row1 - cells.row0), *nodata))
                continue;
            // Is any cell of row `row`, columns [c0, c1), NODATA?
            auto hits = [&](int row, int c0, int c1) {
                c0 = std::max(c0, cells.col0);
                c1 = std::min(c1, cells.col1);
                return c0 < c1 && AnyEqual(chunk.at(row, c0), static_cast<std::size_t>(c1 - c0), *nodata);
            };
            wk.rule.touch(view, chunk, hits, zoneFlagged, flag);
        }
        stripDone(b);
    });
    if (!plan.tally)
        return;

    // Merge: every tally reports (class value, zone, cells or shares); NODATA
    // only adds to the zone's cells.
    out.zoneCount = tallyCount;
    out.cellArea = raster.cellArea();
    out.zoneCells.assign(static_cast<std::size_t>(tallyCount), 0);
    if (Rule::kShares)
        out.zoneShares.assign(static_cast<std::size_t>(tallyCount), 0.0);
    std::map<std::int64_t, std::vector<std::uint64_t>> byClass;
    std::map<std::int64_t, std::vector<double>> sharesByClass;
    auto isNodata = [&](std::int64_t v) { return raster.nodata && static_cast<double>(v) == *raster.nodata; };
    for (const auto& wk : workers) {
        wk->tally.forEach(signedBytes, [&](std::int64_t value, int zone, std::uint64_t n) {
            out.zoneCells[static_cast<std::size_t>(zone)] += n;
            if (isNodata(value))
                return;
            auto& column = byClass[value];
            column.resize(static_cast<std::size_t>(tallyCount));
            column[static_cast<std::size_t>(zone)] += n;
        });
        wk->rule.forEachShare(signedBytes, [&](std::int64_t value, int zone, double share) {
            out.zoneShares[static_cast<std::size_t>(zone)] += share;
            if (isNodata(value))
                return;
            byClass[value].resize(static_cast<std::size_t>(tallyCount));
            auto& column = sharesByClass[value];
            column.resize(static_cast<std::size_t>(tallyCount));
            column[static_cast<std::size_t>(zone)] += share;
        });
    }
    const std::size_t classCount = byClass.size();
    out.counts.assign(static_cast<std::size_t>(tallyCount) * classCount, 0);
    if (Rule::kShares)
        out.shares.assign(static_cast<std::size_t>(tallyCount) * classCount, 0.0);
    for (const auto& [value, column] : byClass) {
        const std::size_t ci = out.classes.size();
        out.classes.push_back(value);
        for (std::size_t z = 0; z < column.size(); ++z)
            out.counts[z * classCount + ci] = column[z];
        if (const auto it = sharesByClass.find(value); it != sharesByClass.end())
            for (std::size_t z = 0; z < it->second.size(); ++z)
                out.shares[z * classCount + ci] = it->second[z];
    }
}

}  // namespace

void SetReadChunkColumns(int columns) { chunkColumns = std::max(columns, 1); }

std::string RasterLinearUnit(const fs::path& path)
{
    EnsureGdal();
    const GDALDatasetUniquePtr ds(
        GDALDataset::Open(path.string().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    const OGRSpatialReference* srs = ds ? ds->GetSpatialRef() : nullptr;
    return srs ? LinearUnitOf(*srs) : std::string();
}

RasterInfo DescribeRaster(const fs::path& path)
{
    const GDALDatasetUniquePtr ds = OpenRaster(path);
    RasterInfo info;
    info.path = path;
    info.width = ds->GetRasterXSize();
    info.height = ds->GetRasterYSize();
    info.bands = ds->GetRasterCount();
    ds->GetGeoTransform(info.geoTransform);  // GDAL's pixel-space default when none is set
    if (const OGRSpatialReference* srs = ds->GetSpatialRef()) {
        char* wkt = nullptr;
        if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt)
            info.wkt = wkt;
        CPLFree(wkt);
        if (const char* name = srs->GetName())
            info.srsName = name;
        info.linearUnit = LinearUnitOf(*srs);
        info.geographic = srs->IsGeographic() != 0;
        info.mapUnits = MapUnitsOf(srs);
    }
    GDALRasterBand& band = *ds->GetRasterBand(1);
    const GDALDataType type = band.GetRasterDataType();
    info.integer = GDALDataTypeIsInteger(type) && !GDALDataTypeIsComplex(type);
    int has = 0;
    double nodata = 0;
    if (type == GDT_Int64)
        nodata = static_cast<double>(band.GetNoDataValueAsInt64(&has));
    else if (type == GDT_UInt64)
        nodata = static_cast<double>(band.GetNoDataValueAsUInt64(&has));
    else
        nodata = band.GetNoDataValue(&has);
    if (has)
        info.nodata = nodata;
    return info;
}

namespace {

// GDAL's block cache, bounded while a pass runs unless the user set
// GDAL_CACHEMAX: each block is needed once, but the sources of a mosaic keep
// theirs, so the cache would otherwise grow with the raster up to its default.
// Passes may overlap (Processing runs side by side on threads): the first to
// start lowers the cap, the last to end puts back what the first found, and
// a cap it did not lower is left alone.
class BoundedBlockCache {
public:
    BoundedBlockCache()
    {
        const std::lock_guard lock(mutex_);
        if (users_++ > 0)
            return;
        constexpr GIntBig kCap = 256LL << 20;
        saved_ = GDALGetCacheMax64();
        lowered_ = !CPLGetConfigOption("GDAL_CACHEMAX", nullptr) && saved_ > kCap;
        if (lowered_)
            GDALSetCacheMax64(kCap);
    }
    BoundedBlockCache(const BoundedBlockCache&) = delete;
    BoundedBlockCache& operator=(const BoundedBlockCache&) = delete;
    ~BoundedBlockCache()
    {
        const std::lock_guard lock(mutex_);
        if (--users_ == 0 && lowered_)
            GDALSetCacheMax64(saved_);
    }

private:
    static inline std::mutex mutex_;
    static inline int users_ = 0;
    static inline GIntBig saved_ = 0;
    static inline bool lowered_ = false;
};

std::mutex scannerMutex;
std::shared_ptr<WindowScanner> windowScanner;

ZoneScan ScanHere(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount, Coverage coverage,
                  RowWindow rows, Yield yield, int threads, const ProgressFn& progress,
                  const std::vector<CellLabels>& labels)
{
    if (!labels.empty() && coverage != Coverage::Centre)
        raise(err::kInvalidCall, "Cells are labelled by the centre rule only");
    std::vector<PlacedLabels> placedLabels;
    for (const auto& l : labels)
        placedLabels.push_back({Place(raster, l.shapes, l.count), l.count});
    ScanPlan plan{yield != Yield::Contacts, yield != Yield::Tallies};
    const bool contacts = plan.contacts;
    const int first = std::clamp(rows.first, 0, raster.height);
    const int last = rows.count < 0 ? raster.height : std::clamp(first + rows.count, first, raster.height);
    const Placed placed = Place(raster, shapes, zoneCount);
    const BoundedBlockCache cache;
    std::vector<std::atomic<bool>> flagged(static_cast<std::size_t>(zoneCount));
    // A shape reaching past the extent needs no cells read for its contact;
    // those are settled first.
    std::vector<char> settled(placed.shapes.size(), 0);
    if (plan.contacts) {
        for (std::size_t i = 0; i < placed.shapes.size(); ++i) {
            const auto& s = placed.shapes[i];
            if (!s.geometry)
                settled[i] = 1;
            else if (LeavesRaster(s, raster)) {
                flagged[static_cast<std::size_t>(s.zone)] = true;
                settled[i] = 1;
            }
        }
        plan.contacts = raster.nodata.has_value();
    }
    ZoneScan out;
    if (plan.tally || plan.contacts) {
        GDALDatasetUniquePtr ds = OpenRaster(raster.path);
        const GDALDataType type = ds->GetRasterBand(1)->GetRasterDataType();
        // The rule is chosen once for the pass.
        WithCellType(type, raster, [&]<class T>(std::type_identity<T>) {
            if (coverage == Coverage::Exact)
                Scan<T, ExactRule<T>>(raster, placed, zoneCount, threads, progress, std::move(ds), plan, settled, first,
                                      last, out.tabulation, flagged, placedLabels);
            else
                Scan<T, CentreRule<T>>(raster, placed, zoneCount, threads, progress, std::move(ds), plan, settled,
                                       first, last, out.tabulation, flagged, placedLabels);
        });
    } else if (progress) {
        progress(1.0);
    }
    if (contacts) {
        out.touchesNodata.resize(flagged.size());
        for (std::size_t z = 0; z < flagged.size(); ++z)
            out.touchesNodata[z] = flagged[z].load();
    }
    return out;
}

}  // namespace

int LabelledTallyCount(int zoneCount, const std::vector<CellLabels>& labels)
{
    long long n = zoneCount;
    for (const auto& l : labels) {
        if (l.count < 1)
            raise(err::kInvalidCall, "A label layer gives no labels");
        n *= l.count;
    }
    if (n > std::numeric_limits<int>::max())
        raise(err::kInvalidCall, "Too many zones and labels to tally: " + std::to_string(n));
    return static_cast<int>(n);
}

ZoneScan ScanRows(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount, Coverage coverage,
                  RowWindow rows, Yield yield, int threads, const ProgressFn& progress,
                  const std::vector<CellLabels>& labels)
{
    LabelledTallyCount(zoneCount, labels);
    // A whole pass goes to the window scanner when one is set (a cluster);
    // a window asked for is counted here.
    if (rows.first == 0 && rows.count < 0) {
        std::shared_ptr<WindowScanner> scanner;
        {
            const std::lock_guard lock(scannerMutex);
            scanner = windowScanner;
        }
        if (scanner)
            return scanner->scan(ScanJob{raster, shapes, zoneCount, coverage, yield, &labels}, progress);
    }
    return ScanHere(raster, shapes, zoneCount, coverage, rows, yield, threads, progress, labels);
}

AreaTabulation& AreaTabulation::operator+=(const AreaTabulation& other)
{
    if (other.zoneCells.empty())
        return *this;
    if (zoneCells.empty())
        return *this = other;
    if (other.zoneCount != zoneCount)
        support::raise(support::err::kInvalidCall, "Tallies of different zones cannot be added");
    std::vector<std::int64_t> merged;
    std::set_union(classes.begin(), classes.end(), other.classes.begin(), other.classes.end(),
                   std::back_inserter(merged));
    const bool exact = !shares.empty() || !other.shares.empty();
    std::vector<std::uint64_t> c(static_cast<std::size_t>(zoneCount) * merged.size(), 0);
    std::vector<double> s(exact ? c.size() : 0, 0.0);
    for (const AreaTabulation* t : {static_cast<const AreaTabulation*>(this), &other}) {
        for (std::size_t k = 0; k < t->classes.size(); ++k) {
            const auto m = static_cast<std::size_t>(std::lower_bound(merged.begin(), merged.end(), t->classes[k]) -
                                                    merged.begin());
            for (std::size_t z = 0; z < static_cast<std::size_t>(zoneCount); ++z) {
                const std::size_t from = z * t->classes.size() + k, to = z * merged.size() + m;
                c[to] += t->counts[from];
                if (!t->shares.empty())
                    s[to] += t->shares[from];
            }
        }
    }
    for (std::size_t z = 0; z < zoneCells.size(); ++z)
        zoneCells[z] += other.zoneCells[z];
    if (exact) {
        zoneShares.resize(zoneCells.size(), 0.0);
        for (std::size_t z = 0; z < other.zoneShares.size(); ++z)
            zoneShares[z] += other.zoneShares[z];
    }
    classes = std::move(merged);
    counts = std::move(c);
    shares = std::move(s);
    return *this;
}

ZoneScan& ZoneScan::operator+=(const ZoneScan& other)
{
    tabulation += other.tabulation;
    if (touchesNodata.empty())
        touchesNodata = other.touchesNodata;
    else
        for (std::size_t z = 0; z < other.touchesNodata.size() && z < touchesNodata.size(); ++z)
            touchesNodata[z] = touchesNodata[z] || other.touchesNodata[z];
    return *this;
}

void SetWindowScanner(std::shared_ptr<WindowScanner> scanner)
{
    const std::lock_guard lock(scannerMutex);
    windowScanner = std::move(scanner);
}

std::vector<std::pair<int, int>> RowWindows(const RasterInfo& raster, int rows)
{
    const GDALDatasetUniquePtr ds = OpenRaster(raster.path);
    const int strip = StripLayoutOf(*ds->GetRasterBand(1)).rows;
    const int step = std::max(1, (std::max(rows, 1) + strip - 1) / strip) * strip;
    std::vector<std::pair<int, int>> windows;
    for (int r = 0; r < raster.height; r += step)
        windows.emplace_back(r, std::min(raster.height, r + step));
    return windows;
}

std::vector<std::vector<std::size_t>> ShapesOfWindows(const RasterInfo& raster, const std::vector<ZoneShape>& shapes,
                                                      int zoneCount, const std::vector<std::pair<int, int>>& windows)
{
    const Placed placed = Place(raster, shapes, zoneCount);
    std::vector<std::vector<std::size_t>> out(windows.size());
    for (std::size_t i = 0; i < placed.shapes.size(); ++i) {
        const scan::PixelShape& s = placed.shapes[i];
        bool met = false;
        if (s.geometry) {
            // A row of margin: the contact test reaches the cells the border touches.
            const int r0 = scan::ClampToInt(std::floor(s.miny)) - 1, r1 = scan::ClampToInt(std::ceil(s.maxy)) + 1;
            for (std::size_t w = 0; w < windows.size(); ++w)
                if (r0 < windows[w].second && r1 > windows[w].first) {
                    out[w].push_back(i);
                    met = true;
                }
        }
        if (!met && !out.empty())
            out.front().push_back(i);
    }
    return out;
}

std::vector<std::vector<std::size_t>> ShapesOfWindows(const ScanJob& job,
                                                      const std::vector<std::pair<int, int>>& windows)
{
    return ShapesOfWindows(job.raster, job.shapes, job.zoneCount, windows);
}

std::string WkbOf(const ZoneShape& shape)
{
    if (!shape.geometry)
        return {};
    std::string wkb(shape.geometry->WkbSize(), '\0');
    shape.geometry->exportToWkb(wkbNDR, reinterpret_cast<unsigned char*>(wkb.data()), wkbVariantIso);
    return wkb;
}

ZoneShape ShapeFromWkb(int zone, const std::string& wkb)
{
    if (wkb.empty())
        return ZoneShape(zone, nullptr);
    OGRGeometry* g = nullptr;
    if (OGRGeometryFactory::createFromWkb(wkb.data(), nullptr, &g, wkb.size(), wkbVariantIso) != OGRERR_NONE)
        raise(err::kInvalidCall, "A zone shape sent for a window scan cannot be read back");
    return ZoneShape(zone, std::unique_ptr<OGRGeometry>(g));
}

AreaTabulation TabulateArea(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount, int threads,
                            const ProgressFn& progress, Coverage coverage)
{
    return ScanRows(raster, shapes, zoneCount, coverage, {}, Yield::Tallies, threads, progress).tabulation;
}

std::vector<bool> TouchesNodata(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount,
                                int threads, const ProgressFn& progress, Coverage coverage)
{
    return ScanRows(raster, shapes, zoneCount, coverage, {}, Yield::Contacts, threads, progress).touchesNodata;
}

ZoneScan ScanZones(const RasterInfo& raster, const std::vector<ZoneShape>& shapes, int zoneCount, int threads,
                   const ProgressFn& progress, Coverage coverage)
{
    return ScanRows(raster, shapes, zoneCount, coverage, {}, Yield::Both, threads, progress);
}

std::vector<bool> ShapesLeavingRaster(const RasterInfo& raster, const std::vector<ZoneShape>& shapes)
{
    int zoneCount = 0;
    for (const ZoneShape& s : shapes)
        zoneCount = std::max(zoneCount, s.zone + 1);
    const Placed placed = Place(raster, shapes, zoneCount);
    std::vector<bool> out(shapes.size(), false);
    for (std::size_t i = 0; i < placed.shapes.size(); ++i)
        out[i] = placed.shapes[i].geometry && LeavesRaster(placed.shapes[i], raster);
    return out;
}

}  // namespace halvo::host
