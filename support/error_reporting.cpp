#include "support/error_reporting.h"

#include "support/ui.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace halvo::support {

namespace {
constexpr std::string_view kCrLf = "\r\n";
}  // namespace

Error::Error(long number, std::string source, std::string description, std::vector<std::string> chain)
    : std::runtime_error(description), number_(number), source_(std::move(source)),
      description_(std::move(description)), chain_(std::move(chain))
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

std::string ReportText(const Caught& c, std::string_view procedure, std::string_view module)
{
    std::string text = "Record Call Stack Sequence - Bottom line is error line.";
    text.append(kCrLf).append(kCrLf);
    text.append("\t").append(Location(procedure, module)).append(kCrLf);
    for (const std::string& place : c.chain)
        text.append("\t").append(place).append(kCrLf);
    text.append(kCrLf).append("Error Number ").append(kCrLf).append("\t").append(std::to_string(c.number));
    text.append(kCrLf).append("Description").append(kCrLf).append("\t").append(c.description);
    text.append(kCrLf).append(kCrLf);
    return text;
}

Caught describe(const std::exception_ptr& e)
{
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        if (const auto* error = dynamic_cast<const Error*>(&x))
            return {error->number(),    error->source(), error->description(),
                    error->formatted(), error->chain(),  error->formatted() ? Failure::Failed : Failure::Refused};
        if (dynamic_cast<const Stopped*>(&x))
            return {0, "halvo", x.what(), false, {}, Failure::Stopped};
        if (dynamic_cast<const Canceled*>(&x))
            return {0, "halvo", x.what(), false, {}, Failure::Canceled};
        if (dynamic_cast<const std::bad_alloc*>(&x))
            return {7, "halvo", "Out of memory", false, {}, Failure::Refused};
        const bool files = dynamic_cast<const std::system_error*>(&x) != nullptr;  // filesystem_error too
        return {files ? err::kFileAccess : err::kHostFailure, "halvo", x.what(), false, {}, Failure::Refused};
    } catch (...) {
        return {err::kHostFailure, "halvo", "Unknown error", false, {}, Failure::Refused};
    }
}

void ReportCurrent(bool display, std::string_view procedure, std::string_view module)
{
    Caught c = describe(std::current_exception());
    if (c.kind == Failure::Stopped || c.kind == Failure::Canceled)
        throw;
    if (display) {
        ui().showCallStack(ReportText(c, procedure, module));
        return;
    }
    c.chain.insert(c.chain.begin(), Location(procedure, module));
    throw Error(c.number, c.source, c.description, std::move(c.chain));
}

}  // namespace halvo::support
