#include "cli/stop_signals.h"

#include <csignal>

namespace halvo::cli {

namespace {
volatile std::sig_atomic_t caughtSignal = 0;
extern "C" void onStopSignal(int sig) { caughtSignal = sig; }
}  // namespace

StopSignals::StopSignals(std::initializer_list<int> signals)
{
    caughtSignal = 0;
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (const int sig : signals) {
        struct sigaction old {};
        if (::sigaction(sig, &sa, &old) == 0)
            previous_.emplace_back(sig, old);
    }
}

StopSignals::~StopSignals()
{
    for (const auto& [sig, old] : previous_)
        ::sigaction(sig, &old, nullptr);
}

int StopSignals::caught() { return caughtSignal; }

}  // namespace halvo::cli
