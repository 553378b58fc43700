#include "support/error_reporting.h"

#include "support/ui.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace halvo::support {

namespace {
thread_local bool traceFormatted = false;
constexpr std::string_view kCrLf = "\r\n";
}  // namespace

Error::Error(long number, std::string source, std::string description, bool formatted)
    : std::runtime_error(description), number_(number), source_(std::move(source)),
      description_(std::move(description)), formatted_(formatted)
{
}

void raise(long number, std::string description, std::string source)
{
    throw Error(number, std::move(source), std::move(description));
}

std::string ErrLineText(long line) { return line != 0 ? "Line : " + std::to_string(line) : std::string(); }

std::string Location(std::string_view procedure, std::string_view module, long line)
{
    std::string s;
    s.append(procedure).append(" ").append(module).append(" ").append(ErrLineText(line));
    return s;
}

void ReportError(bool display, std::string_view location, long number, std::string_view source,
                 std::string_view description)
{
    std::string loc(location), src(source), desc(description);
    if (!traceFormatted) {
        desc = std::string(kCrLf) + "Error Number " + std::string(kCrLf) + "\t" + std::to_string(number) +
               std::string(kCrLf) + "Description" + std::string(kCrLf) + "\t" + desc + std::string(kCrLf) +
               std::string(kCrLf);
    }
    if (display) {
        traceFormatted = false;
        std::string text = "Record Call Stack Sequence - Bottom line is error line.";
        text.append(kCrLf).append(kCrLf).append("\t").append(loc).append(kCrLf).append(desc);
        ui().showCallStack(text);
        return;
    }
    traceFormatted = true;
    throw Error(number, src, "\t" + loc + std::string(kCrLf) + desc, true);
}

Caught describe(const std::exception_ptr& e)
{
    try {
        std::rethrow_exception(e);
    } catch (const Error& x) {
        return {x.number(), x.source(), x.description(), x.formatted()};
    } catch (const std::bad_alloc&) {
        return {7, "halvo", "Out of memory"};
    } catch (const std::filesystem::filesystem_error& x) {
        return {err::kFileAccess, "halvo", x.what()};
    } catch (const std::system_error& x) {
        return {err::kFileAccess, "halvo", x.what()};
    } catch (const std::exception& x) {
        return {err::kHostFailure, "halvo", x.what()};
    } catch (...) {
    }
    return {err::kHostFailure, "halvo", "Unknown error"};
}

void ReportCurrent(bool display, std::string_view procedure, std::string_view module)
{
    Caught c = describe(std::current_exception());
    // The trace state travels with the exception, so an error swallowed on the
    // way up cannot leave the next, fresh error looking formatted.
    traceFormatted = c.formatted;
    ReportError(display, Location(procedure, module), c.number, c.source, c.description);
}

}  // namespace halvo::support
