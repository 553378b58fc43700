#pragma once
// The one error reporter: an error carries its cause; the procedures it
// travels through record themselves (Procedure frames, no catch) as the
// chain the report lists; the face that catches it builds the report, once.

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halvo::support {

// An error: its cause (number, source, description). The procedures it
// travels through are recorded by their Procedure frames, not here.
class Error : public std::runtime_error {
public:
    Error(long number, std::string source, std::string description);
    long number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }

private:
    long number_;
    std::string source_;
    std::string description_;
};

// A procedure the error report names. An error that leaves it while it runs
// adds "procedure module " to the chain the face reports, outermost first.
// One made with Shown::Here is where the old program showed its report: the
// report then starts with it, and the procedures outside it are not listed,
// whichever face catches the error. Both names are string literals (kept as
// views). No catch: the frame records itself while the stack unwinds.
enum class Shown { Above, Here };
class Procedure {
public:
    Procedure(std::string_view procedure, std::string_view module, Shown shown = Shown::Above) noexcept;
    ~Procedure();
    Procedure(const Procedure&) = delete;
    Procedure& operator=(const Procedure&) = delete;

private:
    std::string_view procedure_;
    std::string_view module_;
    Shown shown_;
    int unwinding_;
};

// A run stopped after telling the user why in a message: nothing more to report.
class Stopped : public std::runtime_error {
public:
    explicit Stopped(const std::string& why) : std::runtime_error(why) {}
};

// The user asked the run to stop.
class Canceled : public std::runtime_error {
public:
    Canceled() : std::runtime_error("The run was canceled") {}
};

// Well-known numbers, after the old runtime's error codes.
namespace err {
constexpr long kInvalidCall = 5;
constexpr long kFileNotFound = 53;
constexpr long kPermissionDenied = 70;
constexpr long kFileAccess = 75;
constexpr long kPathNotFound = 76;
constexpr long kObjectRequired = 424;
constexpr long kHostFailure = -2147467259;  // the host's generic failure
}  // namespace err

[[noreturn]] void raise(long number, std::string description, std::string source = "halvo");

// "Line : n" for a non-zero line number, empty for 0.
std::string ErrLineText(long line);

// procedure + " " + module + " " + line text.
std::string Location(std::string_view procedure, std::string_view module, long line = 0);

// What a face caught, as data: the kind of failure, the cause, and the chain
// of procedures (empty for input refused before any stage ran).
enum class Failure { Refused, Failed, Stopped, Canceled };
struct Caught {
    long number;
    std::string source;
    std::string description;  // the cause; for Stopped, the short reason
    bool formatted = false;   // a chain to report
    std::vector<std::string> chain;
    Failure kind = Failure::Refused;
    bool shownHere = false;  // the chain starts where the report starts (Shown::Here)
};
// Call once, in the face's catch block: it takes the chain the Procedure
// frames recorded while the error travelled.
Caught describe(const std::exception_ptr& e);

// The error report for a failure caught at `procedure module`: that place
// (unless the chain starts at a Shown::Here procedure), the chain, outermost
// first, then the number and description of the cause.
std::string ReportText(const Caught& c, std::string_view procedure, std::string_view module);

// Reports the current exception (call from inside a catch block): shows the
// report (display), or passes it on with this procedure added to its chain.
// Stopped and Canceled are not reported: they travel on as they are.
// With Guarded and GuardedVoid below, on its way out: the code still calling
// them moves to Procedure frames and one catch at its face.
void ReportCurrent(bool display, std::string_view procedure, std::string_view module);

// The handler pattern: runs body; on failure reports under procedure/module and
// returns fallback (display) or passes the error on (no display).
template <class R, class F>
R Guarded(std::string_view procedure, std::string_view module, bool display, R fallback, F&& body)
{
    try {
        return body();
    } catch (...) {
        ReportCurrent(display, procedure, module);  // Stopped and Canceled travel on
        return fallback;
    }
}

template <class F>
void GuardedVoid(std::string_view procedure, std::string_view module, bool display, F&& body)
{
    try {
        body();
    } catch (...) {
        ReportCurrent(display, procedure, module);
    }
}

}  // namespace halvo::support
