#include "host/threads.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace halvo::host {

namespace {
std::atomic<int> chosen{0};
}

int DefaultThreads()
{
    const int n = chosen.load();
    return n > 0 ? n : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void SetDefaultThreads(int n) { chosen = n; }

}  // namespace halvo::host
