#pragma once
// While a StopSignals lives, the signals it was given ask the run to stop
// (the face's Ui then says canceled at the run's next check); the handlers
// it found are put back after.

#include <signal.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace halvo::cli {

class StopSignals {
public:
    explicit StopSignals(std::initializer_list<int> signals);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal that asked to stop since the last StopSignals began, or 0.
    static int caught();

private:
    std::vector<std::pair<int, struct sigaction>> previous_;
};

}  // namespace halvo::cli
