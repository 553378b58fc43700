#pragma once
// The Dask route's seam on the Python side: while a run has a window
// executor (halvo.dask), the engine's raster scans are cut into row windows,
// each sent with the shapes it meets to the executor, counted by
// scan_window wherever it runs, and merged here in window order.

#include <pybind11/pybind11.h>

namespace halvo::python {

// Installs `executor` (None: the scans stay local) for its lifetime.
class WindowScanScope {
public:
    explicit WindowScanScope(const pybind11::object& executor);
    ~WindowScanScope();
    WindowScanScope(const WindowScanScope&) = delete;
    WindowScanScope& operator=(const WindowScanScope&) = delete;

private:
    bool installed_ = false;
};

// scan_window(task: bytes) -> bytes, and window_tasks for tests.
void BindWindowScan(pybind11::module_& m);

}  // namespace halvo::python
