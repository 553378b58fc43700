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

constexpr std::uint32_t kTaskMark = 0x48574e31;  // "HWN1"

std::string TaskOf(const host::ScanJob& job, const std::vector<std::size_t>& shapes, std::pair<int, int> rows)
{
    Writer w;
    w.put(kTaskMark);
    w.put(job.raster.path.string());
    w.put<std::int32_t>(job.zoneCount);
    w.put<std::uint8_t>(job.coverage == host::Coverage::Exact ? 1 : 0);
    w.put<std::uint8_t>(job.tally ? 1 : 0);
    w.put<std::uint8_t>(job.contacts ? 1 : 0);
    w.put<std::int32_t>(rows.first);
    w.put<std::int32_t>(rows.second);
    w.put<std::uint64_t>(shapes.size());
    for (std::size_t i : shapes) {
        w.put<std::int32_t>(job.shapes[i].zone);
        w.put(host::WkbOf(job.shapes[i]));
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

host::ZoneScan TallyOf(std::string_view text)
{
    Reader r(text);
    host::ZoneScan s;
    host::AreaTabulation& t = s.tabulation;
    t.zoneCount = r.get<std::int32_t>();
    const auto flags = static_cast<std::size_t>(r.get<std::int32_t>());
    const bool exact = r.get<std::uint8_t>() != 0;
    t.cellArea = r.get<double>();
    t.classes = r.vector<std::int64_t>();
    const auto zones = r.vector<std::int32_t>();
    const auto counts = r.vector<std::uint64_t>();
    const auto zoneCells = r.vector<std::uint64_t>();
    const auto shares = r.vector<double>();
    const auto zoneShares = r.vector<double>();
    const auto touching = r.vector<std::int32_t>();
    const std::size_t classes = t.classes.size(), zoneCount = static_cast<std::size_t>(std::max(t.zoneCount, 0));
    if (counts.size() != zones.size() * classes || zoneCells.size() != zones.size() ||
        (exact && (shares.size() != counts.size() || zoneShares.size() != zones.size())))
        support::raise(support::err::kInvalidCall, "A window tally arrived garbled");
    t.counts.assign(zoneCount * classes, 0);
    t.zoneCells.assign(zoneCount, 0);
    if (exact) {
        t.shares.assign(zoneCount * classes, 0.0);
        t.zoneShares.assign(zoneCount, 0.0);
    }
    for (std::size_t i = 0; i < zones.size(); ++i) {
        const auto z = static_cast<std::size_t>(zones[i]);
        if (z >= zoneCount)
            support::raise(support::err::kInvalidCall, "A window tally names a zone the run does not have");
        std::copy_n(counts.begin() + static_cast<std::ptrdiff_t>(i * classes), classes,
                    t.counts.begin() + static_cast<std::ptrdiff_t>(z * classes));
        t.zoneCells[z] = zoneCells[i];
        if (exact) {
            std::copy_n(shares.begin() + static_cast<std::ptrdiff_t>(i * classes), classes,
                        t.shares.begin() + static_cast<std::ptrdiff_t>(z * classes));
            t.zoneShares[z] = zoneShares[i];
        }
    }
    s.touchesNodata.assign(flags, false);
    for (const std::int32_t z : touching)
        if (z >= 0 && static_cast<std::size_t>(z) < flags)
            s.touchesNodata[static_cast<std::size_t>(z)] = true;
    return s;
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
    const bool tally = r.get<std::uint8_t>() != 0, contacts = r.get<std::uint8_t>() != 0;
    const int rowBegin = r.get<std::int32_t>(), rowEnd = r.get<std::int32_t>();
    std::vector<host::ZoneShape> shapes(static_cast<std::size_t>(r.get<std::uint64_t>()));
    for (auto& shape : shapes) {
        const int zone = r.get<std::int32_t>();
        shape = host::ShapeFromWkb(zone, r.text());
    }
    const host::RasterInfo raster = host::DescribeRaster(path);
    const host::ScanJob job{raster, shapes, zoneCount, coverage, tally, contacts};
    return TallyText(host::ScanWindow(job, rowBegin, rowEnd, threads));
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
        bool canceled = false;
        std::vector<std::string> tallies;
        {
            py::gil_scoped_acquire gil;
            py::list tasks;
            for (std::size_t w = 0; w < windows.size(); ++w)
                tasks.append(py::make_tuple(windows[w].first, windows[w].second,
                                            py::bytes(TaskOf(job, shapesOf[w], windows[w]))));
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
                if (!canceled)
                    support::raise(support::err::kHostFailure, e.what(), "halvo.dask");
            }
        }
        if (canceled)
            throw support::Canceled();
        if (tallies.size() != windows.size())
            support::raise(support::err::kHostFailure,
                           "The window executor answered " + std::to_string(tallies.size()) + " tallies for " +
                               std::to_string(windows.size()) + " windows",
                           "halvo.dask");
        // Merged in window order, so the sums are the same run after run.
        host::ZoneScan out;
        out.touchesNodata.assign(static_cast<std::size_t>(job.zoneCount), false);
        for (const std::string& t : tallies)
            host::MergeScan(out, TallyOf(t));
        if (out.tabulation.zoneCount == 0 && job.tally) {
            out.tabulation.zoneCount = job.zoneCount;
            out.tabulation.zoneCells.assign(static_cast<std::size_t>(job.zoneCount), 0);
        }
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
        [](const std::vector<std::string>& tallies) {
            std::string merged;
            {
                py::gil_scoped_release release;
                host::ZoneScan out;
                for (const std::string& t : tallies)
                    host::MergeScan(out, TallyOf(t));
                merged = TallyText(out);
            }
            return py::bytes(merged);
        },
        py::arg("tallies"), "Window tallies merged in the order given, as a run merges them (for measuring).");
}

}  // namespace halvo::python
