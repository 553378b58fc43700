#include "cli/terminal_ui.h"

#include "support/error_reporting.h"

#include <unistd.h>

namespace halvo::cli {

using support::Answer;
using support::Buttons;
using support::Icon;

std::string TerminalText(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

TerminalUi::TerminalUi(bool assumeYes, std::FILE* err, std::FILE* in)
    : assumeYes_(assumeYes), err_(err), in_(in), interactive_(in && ::isatty(::fileno(in)))
{
}

namespace {
const char* iconWord(Icon i)
{
    switch (i) {
    case Icon::Critical: return "error";
    case Icon::Exclamation: return "warning";
    case Icon::Question: return "question";
    default: return "note";
    }
}
}  // namespace

Answer TerminalUi::message(std::string_view text, std::string_view title, Icon icon, Buttons buttons)
{
    endLine();
    std::fprintf(err_, "halvo: %s: %.*s\n%s\n", iconWord(icon), static_cast<int>(title.size()), title.data(),
                 TerminalText(text).c_str());
    if (buttons == Buttons::OK)
        return Answer::OK;
    const bool yesNo = buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel;
    const Answer yes = yesNo ? Answer::Yes : Answer::OK;
    const Answer no = yesNo ? Answer::No : Answer::Cancel;
    if (assumeYes_) {
        std::fprintf(err_, "(answered %s: --yes)\n", yesNo ? "Yes" : "OK");
        return yes;
    }
    if (!interactive_) {
        std::fprintf(err_, "(answered %s: no terminal to ask; --yes answers %s)\n", yesNo ? "No" : "Cancel",
                     yesNo ? "Yes" : "OK");
        return no;
    }
    std::fprintf(err_, "%s [y/N] ", yesNo ? "Yes or No?" : "OK or Cancel?");
    std::fflush(err_);
    char line[64] = {0};
    if (canceled() || !std::fgets(line, sizeof line, in_)) {
        // SIGINT or SIGTERM breaks the read: the run stops as it would anywhere else.
        if (canceled()) {
            std::fputc('\n', err_);
            throw support::Canceled();
        }
        return no;
    }
    return (line[0] == 'y' || line[0] == 'Y') ? yes : no;
}

void TerminalUi::showCallStack(std::string_view report)
{
    endLine();
    std::fprintf(err_, "%s", TerminalText(report).c_str());
    std::fflush(err_);
}

void TerminalUi::progress(std::string_view stage, double fraction)
{
    const int percent = fraction < 0 ? -1 : static_cast<int>(fraction * 100);
    if (stage == lastStage_ && percent / 10 == lastPercent_ / 10)
        return;
    if (stage != lastStage_) {
        endLine();
        stageStart_ = std::chrono::steady_clock::now();
        std::fprintf(err_, "halvo: %.*s", static_cast<int>(stage.size()), stage.data());
        lastStage_ = stage;
        lastPercent_ = -1;
    }
    if (percent >= 0 && percent / 10 != lastPercent_ / 10)
        std::fprintf(err_, " %d%%", percent);
    lastPercent_ = percent;
    std::fflush(err_);
}

}  // namespace halvo::cli

namespace halvo::cli {
void TerminalUi::endLine()
{
    if (lastStage_.empty())
        return;
    if (timings_) {
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - stageStart_;
        std::fprintf(err_, " (%.2f s)", d.count());
    }
    std::fputc('\n', err_);
    lastStage_.clear();
}
}  // namespace halvo::cli
