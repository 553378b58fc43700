#include "python/window_scan.h"

#include "host/raster.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace py = pybind11;

namespace halvo::python {

namespace {

// A task and its tally travel as bytes: plain little-endian fields, written
// and read by the same build on every machine.
class Writer {
public:
    template <class T>
    void put(T v)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        text.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void put(const std::string& s)
    {
        put<std::uint64_t>(s.size());
        text += s;
    }
    template <class T>
    void put(const std::vector<T>& v)
    {
        put<std::uint64_t>(v.size());
        if constexpr (std::is_same_v<T, bool>)
            for (bool b : v)
                put<std::uint8_t>(b ? 1 : 0);
        else
            text.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
    }
    std::string text;
};

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}
    template <class T>
    T get()
    {
        T v{};
        need(sizeof v);
        std::memcpy(&v, text_.data() + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    std::string text()
    {
        const auto n = static_cast<std::size_t>(get<std::uint64_t>());
        need(n);
        std::string s(text_.substr(at_, n));
        at_ += n;
        return s;
    }
    template <class T>
    std::vector<T> vector()
    {
        const auto n = static_cast<std::size_t>(get<std::uint64_t>());
        std::vector<T> v(n);
        if constexpr (std::is_same_v<T, bool>) {
            for (std::size_t i = 0; i < n; ++i)
                v[i] = get<std::uint8_t>() != 0;
        } else {
            need(n * sizeof(T));
            std::memcpy(v.data(), text_.data() + at_, n * sizeof(T));
            at_ += n * sizeof(T);
        }
        return v;
    }

private:
    void need(std::size_t n) const
    {
        if (text_.size() - at_ < n)
            support::raise(support::err::kInvalidCall, "A window task or tally arrived cut short");
    }
    std::string_view text_;
    std::size_t at_ = 0;
};

constexpr std::uint32_t kTaskMark = 0x48574e32;  // "HWN2"

void PutShapes(Writer& w, const std::vector<host::ZoneShape>& all, const std::vector<std::size_t>& picked)
{
    w.put<std::uint64_t>(picked.size());
    for (std::size_t i : picked) {
        w.put<std::int32_t>(all[i].zone);
        w.put(host::WkbOf(all[i]));
    }
}

std::vector<host::ZoneShape> ShapesOf(Reader& r)
{
    std::vector<host::ZoneShape> shapes(static_cast<std::size_t>(r.get<std::uint64_t>()));
    for (auto& shape : shapes) {
        const int zone = r.get<std::int32_t>();
        shape = host::ShapeFromWkb(zone, r.text());
    }
    return shapes;
}

// labelShapes[layer]: the label shapes this window needs, in their order.
std::string TaskOf(const host::ScanJob& job, const std::vector<std::size_t>& shapes,
                   const std::vector<std::vector<std::size_t>>& labelShapes, std::pair<int, int> rows)
{
    Writer w;
    w.put(kTaskMark);
    w.put(job.raster.path.string());
    w.put<std::int32_t>(job.zoneCount);
    w.put<std::uint8_t>(job.coverage == host::Coverage::Exact ? 1 : 0);
    w.put<std::uint8_t>(static_cast<std::uint8_t>(job.yield));
    w.put<std::int32_t>(rows.first);
    w.put<std::int32_t>(rows.second);
    PutShapes(w, job.shapes, shapes);
    w.put<std::uint64_t>(labelShapes.size());
    for (std::size_t l = 0; l < labelShapes.size(); ++l) {
        w.put<std::int32_t>((*job.labels)[l].count);
        PutShapes(w, (*job.labels)[l].shapes, labelShapes[l]);
    }
    return std::move(w.text);
}

// Only the zones the window holds travel: a national run has many zones
// and each window a few of them.
std::string TallyText(const host::ZoneScan& s)
{
    const host::AreaTabulation& t = s.tabulation;
    const std::size_t classes = t.classes.size();
    std::vector<std::int32_t> zones;
    for (std::size_t z = 0; z < static_cast<std::size_t>(t.zoneCount); ++z)
        if ((z < t.zoneCells.size() && t.zoneCells[z]) || (z < t.zoneShares.size() && t.zoneShares[z] != 0))
            zones.push_back(static_cast<std::int32_t>(z));
    std::vector<std::uint64_t> counts, zoneCells;
    std::vector<double> shares, zoneShares;
    for (const std::int32_t z : zones) {
        const auto at = static_cast<std::size_t>(z) * classes;
        counts.insert(counts.end(), t.counts.begin() + static_cast<std::ptrdiff_t>(at),
                      t.counts.begin() + static_cast<std::ptrdiff_t>(at + classes));
        zoneCells.push_back(t.zoneCells[static_cast<std::size_t>(z)]);
        if (!t.shares.empty()) {
            shares.insert(shares.end(), t.shares.begin() + static_cast<std::ptrdiff_t>(at),
                          t.shares.begin() + static_cast<std::ptrdiff_t>(at + classes));
            zoneShares.push_back(t.zoneShares[static_cast<std::size_t>(z)]);
        }
    }
    std::vector<std::int32_t> touching;
    for (std::size_t z = 0; z < s.touchesNodata.size(); ++z)
        if (s.touchesNodata[z])
            touching.push_back(static_cast<std::int32_t>(z));
    Writer w;
    w.put<std::int32_t>(t.zoneCount);
    w.put<std::int32_t>(static_cast<std::int32_t>(s.touchesNodata.size()));
    w.put<std::uint8_t>(t.shares.empty() && t.zoneShares.empty() ? 0 : 1);
    w.put(t.cellArea);
    w.put(t.classes);
    w.put(zones);
    w.put(counts);
    w.put(zoneCells);
    w.put(shares);
    w.put(zoneShares);
    w.put(touching);
    return std::move(w.text);
}

// A window's tally as it travelled: its zones only.
struct SparseTally {
    std::int32_t zoneCount = 0, flags = 0;
    bool exact = false;
    double cellArea = 0;
    std::vector<std::int64_t> classes;
    std::vector<std::int32_t> zones;
    std::vector<std::uint64_t> counts, zoneCells;
    std::vector<double> shares, zoneShares;
    std::vector<std::int32_t> touching;
};

SparseTally TallyOf(std::string_view text)
{
    Reader r(text);
    SparseTally t;
    t.zoneCount = r.get<std::int32_t>();
    t.flags = r.get<std::int32_t>();
    t.exact = r.get<std::uint8_t>() != 0;
    t.cellArea = r.get<double>();
    t.classes = r.vector<std::int64_t>();
    t.zones = r.vector<std::int32_t>();
    t.counts = r.vector<std::uint64_t>();
    t.zoneCells = r.vector<std::uint64_t>();
    t.shares = r.vector<double>();
    t.zoneShares = r.vector<double>();
    t.touching = r.vector<std::int32_t>();
    const std::size_t n = t.zones.size();
    bool fits = t.counts.size() == n * t.classes.size() && t.zoneCells.size() == n &&
                (!t.exact || (t.shares.size() == t.counts.size() && t.zoneShares.size() == n));
    for (const std::int32_t z : t.zones)
        fits = fits && z >= 0 && z < t.zoneCount;
    for (const std::int32_t z : t.touching)
        fits = fits && z >= 0 && z < t.flags;
    if (!fits)
        support::raise(support::err::kInvalidCall, "A window tally arrived garbled");
    return t;
}

// The windows' tallies added up in the order given, so the sums are the same
// run after run. Each adds only its own zones: the cost follows the windows'
// zones, not all zones times all windows.
host::ZoneScan MergeTallies(const std::vector<std::string>& texts, int tallyCount, int zoneCount, bool tally)
{
    std::vector<SparseTally> tallies;
    tallies.reserve(texts.size());
    std::vector<std::int64_t> classes;
    for (const std::string& text : texts) {
        tallies.push_back(TallyOf(text));
        std::vector<std::int64_t> both;
        std::set_union(classes.begin(), classes.end(), tallies.back().classes.begin(), tallies.back().classes.end(),
                       std::back_inserter(both));
        classes = std::move(both);
    }
    host::ZoneScan out;
    host::AreaTabulation& a = out.tabulation;
    const auto zones = static_cast<std::size_t>(std::max(tallyCount, 0));
    const std::size_t width = classes.size();
    if (tally) {
        a.zoneCount = tallyCount;
        a.classes = classes;
        a.counts.assign(zones * width, 0);
        a.zoneCells.assign(zones, 0);
    }
    out.touchesNodata.assign(static_cast<std::size_t>(std::max(zoneCount, 0)), false);
    std::vector<std::size_t> column;
    for (const SparseTally& t : tallies) {
        if (t.zoneCount > tallyCount || t.flags > zoneCount)
            support::raise(support::err::kInvalidCall, "A window tally names a zone the run does not have");
        for (const std::int32_t z : t.touching)
            out.touchesNodata[static_cast<std::size_t>(z)] = true;
        if (!tally)
            continue;
        if (t.cellArea != 0)
            a.cellArea = t.cellArea;
        if (t.exact && a.shares.empty()) {
            a.shares.assign(zones * width, 0.0);
            a.zoneShares.assign(zones, 0.0);
        }
        column.resize(t.classes.size());
        for (std::size_t c = 0; c < t.classes.size(); ++c)
            column[c] = static_cast<std::size_t>(std::lower_bound(classes.begin(), classes.end(), t.classes[c]) -
                                                 classes.begin());
        const std::size_t k = t.classes.size();
        for (std::size_t i = 0; i < t.zones.size(); ++i) {
            const auto z = static_cast<std::size_t>(t.zones[i]);
            a.zoneCells[z] += t.zoneCells[i];
            for (std::size_t c = 0; c < k; ++c)
                a.counts[z * width + column[c]] += t.counts[i * k + c];
            if (t.exact) {
                a.zoneShares[z] += t.zoneShares[i];
                for (std::size_t c = 0; c < k; ++c)
                    a.shares[z * width + column[c]] += t.shares[i * k + c];
            }
        }
    }
    return out;
}

// One window counted here: what a Dask worker runs.
std::string ScanTask(std::string_view task, int threads)
{
    Reader r(task);
    if (r.get<std::uint32_t>() != kTaskMark)
        support::raise(support::err::kInvalidCall, "Not a window task of this version of halvo");
    const std::string path = r.text();
    const int zoneCount = r.get<std::int32_t>();
    const auto coverage = r.get<std::uint8_t>() ? host::Coverage::Exact : host::Coverage::Centre;
    const auto wanted = r.get<std::uint8_t>();
    if (wanted > static_cast<std::uint8_t>(host::Yield::Both))
        support::raise(support::err::kInvalidCall, "A window task arrived garbled");
    const auto yield = static_cast<host::Yield>(wanted);
    const int rowBegin = r.get<std::int32_t>(), rowEnd = r.get<std::int32_t>();
    const std::vector<host::ZoneShape> shapes = ShapesOf(r);
    std::vector<host::CellLabels> labels(static_cast<std::size_t>(r.get<std::uint64_t>()));
    for (auto& layer : labels) {
        layer.count = r.get<std::int32_t>();
        layer.shapes = ShapesOf(r);
    }
    const host::RasterInfo raster = host::DescribeRaster(path);
    return TallyText(
        host::ScanRows(raster, shapes, zoneCount, coverage, {rowBegin, rowEnd - rowBegin}, yield, threads, {}, labels));
}

// Hands each scan to the Python executor: executor.window_rows(height) says
// how tall a window it wants, executor.scan(tasks, progress) answers each
// task's tally in task order. progress(fraction) answers False once the run
// is canceled; the executor then stops and returns None.
class PythonScanner final : public host::WindowScanner {
public:
    explicit PythonScanner(py::object executor) : executor_(std::move(executor)) {}
    ~PythonScanner() override
    {
        py::gil_scoped_acquire gil;
        executor_ = py::object();
    }
    PythonScanner(const PythonScanner&) = delete;
    PythonScanner& operator=(const PythonScanner&) = delete;

    host::ZoneScan scan(const host::ScanJob& job, const host::ProgressFn& progress) override
    {
        int rows = 0;
        {
            py::gil_scoped_acquire gil;
            rows = executor_.attr("window_rows")(job.raster.height, job.raster.width).cast<int>();
        }
        const auto windows = host::RowWindows(job.raster, rows);
        const auto shapesOf = host::ShapesOfWindows(job, windows);
        static const std::vector<host::CellLabels> kNoLabels;
        const std::vector<host::CellLabels>& labels = job.labels ? *job.labels : kNoLabels;
        // labelsOf[layer][window]
        std::vector<std::vector<std::vector<std::size_t>>> labelsOf;
        for (const host::CellLabels& layer : labels)
            labelsOf.push_back(host::ShapesOfWindows(job.raster, layer.shapes, layer.count, windows));
        bool canceled = false;
        std::vector<std::string> tallies;
        {
            py::gil_scoped_acquire gil;
            py::list tasks;
            for (std::size_t w = 0; w < windows.size(); ++w) {
                std::vector<std::vector<std::size_t>> picked;
                for (const auto& layer : labelsOf)
                    picked.push_back(layer[w]);
                tasks.append(py::make_tuple(windows[w].first, windows[w].second,
                                            py::bytes(TaskOf(job, shapesOf[w], picked, windows[w]))));
            }
            const std::function<bool(double)> report = [&](double fraction) {
                try {
                    py::gil_scoped_release release;
                    if (progress)
                        progress(fraction);
                    else
                        support::CheckCanceled();
                    return true;
                } catch (const support::Canceled&) {
                    canceled = true;
                    return false;
                }
            };
            try {
                const py::object answers = executor_.attr("scan")(tasks, py::cpp_function(report));
                if (!canceled)
                    for (const py::handle a : answers)
                        tallies.push_back(a.cast<std::string>());
            } catch (py::error_already_set& e) {
                // The exception's own words: the window and the engine's message.
                if (!canceled)
                    support::raise(support::err::kHostFailure, py::str(e.value()).cast<std::string>(), "halvo.dask");
            }
        }
        if (canceled)
            throw support::Canceled();
        if (tallies.size() != windows.size())
            support::raise(support::err::kHostFailure,
                           "The window executor answered " + std::to_string(tallies.size()) + " tallies for " +
                               std::to_string(windows.size()) + " windows",
                           "halvo.dask");
        host::ZoneScan out = MergeTallies(tallies, host::LabelledTallyCount(job.zoneCount, labels), job.zoneCount,
                                          job.yield != host::Yield::Contacts);
        return out;
    }

private:
    py::object executor_;
};

}  // namespace

WindowScanScope::WindowScanScope(const py::object& executor)
{
    if (executor.is_none())
        return;
    py::object held;
    {
        py::gil_scoped_acquire gil;
        held = executor;
    }
    host::SetWindowScanner(std::make_shared<PythonScanner>(std::move(held)));
    installed_ = true;
}

WindowScanScope::~WindowScanScope()
{
    if (installed_)
        host::SetWindowScanner(nullptr);
}

void BindWindowScan(py::module_& m)
{
    m.def(
        "scan_window",
        [](const py::bytes& task, int threads) {
            const std::string text = task;
            std::string tally;
            {
                py::gil_scoped_release release;
                tally = ScanTask(text, threads);
            }
            return py::bytes(tally);
        },
        py::arg("task"), py::arg("threads") = 0,
        "Counts one window task (bytes made by a run) on this machine; answers its tally as bytes.");
    m.def(
        "merge_tallies",
        [](const std::vector<std::string>& tallies, int zoneCount) {
            std::string merged;
            {
                py::gil_scoped_release release;
                merged = TallyText(MergeTallies(tallies, zoneCount, zoneCount, true));
            }
            return py::bytes(merged);
        },
        py::arg("tallies"), py::arg("zone_count"),
        "Window tallies merged in the order given, as a run merges them (for measuring).");
}

}  // namespace halvo::python
