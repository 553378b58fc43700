#pragma once
// How many workers the host's parallel stages use: all cores unless the
// face (e.g. `halvo run --threads N`) says otherwise.

namespace halvo::host {

int DefaultThreads();
// n <= 0 goes back to all cores.
void SetDefaultThreads(int n);

}  // namespace halvo::host

#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace halvo::host {

// Calls body(state, i) for every i in [0, count) on up to DefaultThreads()
// threads, the calling one included. Each thread first makes its own state
// (a GEOS context, say) with makeState(). Items are taken in order; the first
// failure, by item, is rethrown once all threads have stopped.
template <class MakeState, class Body>
void ParallelFor(std::size_t count, MakeState&& makeState, Body&& body)
{
    std::vector<std::exception_ptr> failures(count);
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        auto state = makeState();
        for (std::size_t i = next++; i < count; i = next++) {
            try {
                body(state, i);
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    {
        std::vector<std::jthread> pool;
        for (std::size_t t = 1; t < static_cast<std::size_t>(DefaultThreads()) && t < count; ++t)
            pool.emplace_back(worker);
        worker();
    }
    for (auto& f : failures)
        if (f)
            std::rethrow_exception(f);
}

}  // namespace halvo::host
