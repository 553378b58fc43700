#pragma once
// How many workers the host's parallel stages use: all cores unless the
// face (e.g. `halvo run --threads N`) says otherwise.

namespace halvo::host {

int DefaultThreads();
// n <= 0 goes back to all cores.
void SetDefaultThreads(int n);

}  // namespace halvo::host

#include "host/gdal_env.h"

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace halvo::host {

// The one worker pool. Calls body(state, i) for every i in [0, count) on up
// to `workers` threads (DefaultThreads() when <= 0), the calling thread being
// worker 0. Each worker first makes its own state (a GEOS context, say) with
// makeState() or makeState(worker). Items are taken in order; the first
// failure stops the others and is rethrown here once all have stopped.
// progress(fraction done) is called from the calling thread only.
template <class MakeState, class Body>
void ParallelFor(std::size_t count, MakeState&& makeState, Body&& body, int workers = 0,
                 const std::function<void(double)>& progress = {})
{
    if (workers <= 0)
        workers = DefaultThreads();
    if (static_cast<std::size_t>(workers) > count)
        workers = count > 0 ? static_cast<int>(count) : 1;
    std::atomic<std::size_t> next{0}, done{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto worker = [&](int w) {
        const QuietGdal quiet;
        try {
            auto state = [&] {
                if constexpr (std::is_invocable_v<MakeState, int>)
                    return makeState(w);
                else
                    return makeState();
            }();
            for (std::size_t i; !stop.load(std::memory_order_relaxed) && (i = next++) < count;) {
                body(state, i);
                const std::size_t d = ++done;
                if (w == 0 && progress)
                    progress(static_cast<double>(d) / static_cast<double>(count));
            }
        } catch (...) {
            std::lock_guard lock(failureLock);
            if (!failure)
                failure = std::current_exception();
            stop = true;
        }
    };
    {
        std::vector<std::jthread> pool;
        for (int w = 1; w < workers; ++w)
            pool.emplace_back(worker, w);
        worker(0);
    }
    if (failure)
        std::rethrow_exception(failure);
    if (progress)
        progress(1.0);
}

}  // namespace halvo::host
