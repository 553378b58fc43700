#pragma once
// The one error reporter: a procedure that fails either shows the report (with
// the chain of procedures it travelled through) or passes it to its caller
// with its own location added in front.

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace halvo::support {

// An error travelling up the call chain. `description` is plain until the first
// procedure passes it on; from then on it holds the formatted trace.
class Error : public std::runtime_error {
public:
    Error(long number, std::string source, std::string description, bool formatted = false);
    // True when description already holds a trace from deeper procedures.
    bool formatted() const noexcept { return formatted_; }
    long number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }

private:
    long number_;
    std::string source_;
    std::string description_;
    bool formatted_;
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

// Shows the report (display) or rethrows with this location prepended.
void ReportError(bool display, std::string_view location, long number, std::string_view source,
                 std::string_view description);

// Turns any in-flight exception into the number/source/description triple.
struct Caught {
    long number;
    std::string source;
    std::string description;
    bool formatted = false;
};
Caught describe(const std::exception_ptr& e);

// Reports the current exception (call from inside a catch block).
void ReportCurrent(bool display, std::string_view procedure, std::string_view module);

// The handler pattern: runs body; on failure reports under procedure/module and
// returns fallback (display) or passes the error on (no display).
template <class R, class F>
R Guarded(std::string_view procedure, std::string_view module, bool display, R fallback, F&& body)
{
    try {
        return body();
    } catch (const Stopped&) {
        throw;
    } catch (const Canceled&) {
        throw;
    } catch (...) {
        ReportCurrent(display, procedure, module);
        return fallback;
    }
}

template <class F>
void GuardedVoid(std::string_view procedure, std::string_view module, bool display, F&& body)
{
    try {
        body();
    } catch (const Stopped&) {
        throw;
    } catch (const Canceled&) {
        throw;
    } catch (...) {
        ReportCurrent(display, procedure, module);
    }
}

}  // namespace halvo::support
