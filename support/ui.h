#pragma once
// What the engine shows or asks goes through this one interface: message boxes,
// the call-stack report and stage progress. The plugin answers with Qt, the
// CLI with the terminal, tests with a scripted fake.

#include <string>
#include <string_view>

namespace halvo::support {

enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Buttons { OK, OKCancel, YesNo, YesNoCancel };
enum class Answer { OK, Cancel, Yes, No };

// Caption used when a message gives no title of its own.
inline constexpr std::string_view kDefaultCaption = "Halvo";

class Ui {
public:
    virtual ~Ui() = default;
    virtual Answer message(std::string_view text, std::string_view title, Icon icon, Buttons buttons) = 0;
    virtual void showCallStack(std::string_view report) = 0;
    // A long stage has started (fraction < 0: unknown) or advanced.
    virtual void progress(std::string_view stage, double fraction) { (void)stage, (void)fraction; }
    // True once the user has asked to stop; the run checks it between stages
    // and inside its long loops.
    virtual bool canceled() const { return false; }
};

// The current interface; a silent one until a face installs its own.
Ui& ui();

// Installs `u` for the lifetime of the scope, restoring the previous one after.
class UiScope {
public:
    explicit UiScope(Ui& u);
    ~UiScope();
    UiScope(const UiScope&) = delete;
    UiScope& operator=(const UiScope&) = delete;

private:
    Ui* previous_;
};

// Shorthands for the common message shapes.
Answer MsgBox(std::string_view text, Buttons buttons = Buttons::OK, Icon icon = Icon::None,
              std::string_view title = {});
// Throws Canceled when the user has asked to stop.
void CheckCanceled();
// Reports progress, then stops the run if the user asked it to.
inline void Progress(std::string_view stage, double fraction = -1)
{
    ui().progress(stage, fraction);
    CheckCanceled();
}

}  // namespace halvo::support
