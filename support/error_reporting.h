#pragma once
// The one error reporter: an error carries the chain of procedures it
// travelled through as data; the face that catches it builds the report.

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halvo::support {

// An error travelling up the call chain: its cause (number, source,
// description) and the procedures it passed through, outermost first, as the
// error report lists them ("procedure module ").
class Error : public std::runtime_error {
public:
    Error(long number, std::string source, std::string description, std::vector<std::string> chain = {});
    // True once a procedure has passed it on: the report then lists the chain.
    bool formatted() const noexcept { return !chain_.empty(); }
    long number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }
    const std::vector<std::string>& chain() const noexcept { return chain_; }

private:
    long number_;
    std::string source_;
    std::string description_;
    std::vector<std::string> chain_;
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
};
Caught describe(const std::exception_ptr& e);

// The error report for a failure caught at `procedure module`: the chain,
// outermost first, then the number and description of the cause.
std::string ReportText(const Caught& c, std::string_view procedure, std::string_view module);

// Reports the current exception (call from inside a catch block): shows the
// report (display), or passes it on with this procedure added to its chain.
// Stopped and Canceled are not reported: they travel on as they are.
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
