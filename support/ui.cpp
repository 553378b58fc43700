#include "support/ui.h"

#include "support/error_reporting.h"

namespace halvo::support {

namespace {
// Answers every question with its first (OK/Yes) button and shows nothing.
class SilentUi final : public Ui {
public:
    Answer message(std::string_view, std::string_view, Icon, Buttons b) override
    {
        return b == Buttons::YesNo || b == Buttons::YesNoCancel ? Answer::Yes : Answer::OK;
    }
    void showCallStack(std::string_view) override {}
};

SilentUi silent;
thread_local Ui* current = &silent;
}  // namespace

Ui& ui() { return *current; }

UiScope::UiScope(Ui& u) : previous_(current) { current = &u; }
UiScope::~UiScope() { current = previous_; }

Answer MsgBox(std::string_view text, Buttons buttons, Icon icon, std::string_view title)
{
    return ui().message(text, title.empty() ? kDefaultCaption : title, icon, buttons);
}

void CheckCanceled()
{
    if (ui().canceled())
        throw Canceled();
}

}  // namespace halvo::support
