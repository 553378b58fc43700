#pragma once
// A scripted stand-in for the user: records every message and report, and
// answers questions from a queue (OK/Yes when the queue is empty).

#include "support/ui.h"

#include <deque>
#include <string>
#include <vector>

namespace halvo::test {

struct Shown {
    std::string text;
    std::string title;
    support::Icon icon;
    support::Buttons buttons;
};

class ScriptedUi final : public support::Ui {
public:
    ScriptedUi() : scope_(*this) {}
    support::Answer message(std::string_view text, std::string_view title, support::Icon icon,
                            support::Buttons buttons) override;
    void showCallStack(std::string_view report) override { reports.emplace_back(report); }
    void progress(std::string_view stage, double) override { stages.emplace_back(stage); }

    std::vector<Shown> messages;
    std::vector<std::string> reports;
    std::vector<std::string> stages;
    std::deque<support::Answer> answers;

private:
    support::UiScope scope_;
};

}  // namespace halvo::test
