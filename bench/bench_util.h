#pragma once
// Timing and memory helpers shared by the benchmarks.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>

namespace halvo::bench {

inline double PeakRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// The best wall time of `repeat` calls, in seconds.
template <class F>
double BestSeconds(int repeat, F&& f)
{
    double best = 1e300;
    for (int i = 0; i < repeat; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

}  // namespace halvo::bench
