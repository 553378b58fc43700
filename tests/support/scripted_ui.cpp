#include "support/scripted_ui.h"

namespace halvo::test {

support::Answer ScriptedUi::message(std::string_view text, std::string_view title, support::Icon icon,
                                    support::Buttons buttons)
{
    messages.push_back({std::string(text), std::string(title), icon, buttons});
    if (!answers.empty()) {
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    using support::Answer;
    return buttons == support::Buttons::YesNo || buttons == support::Buttons::YesNoCancel ? Answer::Yes : Answer::OK;
}

}  // namespace halvo::test
