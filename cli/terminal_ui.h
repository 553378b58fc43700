#pragma once
// The engine's messages and questions on a terminal: messages and reports on
// standard error; questions answered by --yes, by the user at a terminal, or
// cautiously (No/Cancel) when nobody is there to ask.

#include "support/ui.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace halvo::cli {

class TerminalUi : public support::Ui {
public:
    explicit TerminalUi(bool assumeYes, std::FILE* err = stderr, std::FILE* in = stdin);
    // Shows how long each stage took.
    void setTimings(bool on) { timings_ = on; }

    support::Answer message(std::string_view text, std::string_view title, support::Icon icon,
                            support::Buttons buttons) override;
    void showCallStack(std::string_view report) override;
    void progress(std::string_view stage, double fraction) override;

    // Ends a progress line left open.
    void endLine();

private:
    bool assumeYes_;
    std::FILE* err_;
    std::FILE* in_;
    bool interactive_;
    std::string lastStage_;
    int lastPercent_ = -1;
    bool timings_ = false;
    std::chrono::steady_clock::time_point stageStart_;
};

// Old message texts break lines with a bare CR; a terminal wants LF.
std::string TerminalText(std::string_view text);

}  // namespace halvo::cli
