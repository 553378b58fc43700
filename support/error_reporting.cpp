#include "support/error_reporting.h"

#include "support/ui.h"

#include <array>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

namespace halvo::support {

namespace {
constexpr std::string_view kCrLf = "\r\n";

// The procedures the error in flight has left, innermost first. Per thread:
// an error unwinds on the thread that threw or rethrew it (a worker's error
// is rethrown on the thread that waits for it). Fixed room, so recording
// never allocates while the stack unwinds; no chain is that deep.
struct Trail {
    struct Frame {
        std::string_view procedure;
        std::string_view module;
    };
    std::array<Frame, 64> frames{};
    std::size_t count = 0;
    bool shownHere = false;  // closed: procedures further out are not listed

    void clear() noexcept
    {
        count = 0;
        shownHere = false;
    }
    void add(std::string_view procedure, std::string_view module, bool here) noexcept
    {
        if (shownHere || count == frames.size())
            return;
        frames[count++] = {procedure, module};
        shownHere = here;
    }
};
thread_local Trail trail;

// Takes what the frames recorded, outermost first, leaving the trail empty.
std::vector<std::string> TakeChain(bool& shownHere)
{
    std::vector<std::string> chain;
    for (std::size_t i = trail.count; i-- > 0;)
        chain.push_back(Location(trail.frames[i].procedure, trail.frames[i].module));
    shownHere = trail.shownHere;
    trail.clear();
    return chain;
}
}  // namespace

Error::Error(long number, std::string source, std::string description)
    : std::runtime_error(description), number_(number), source_(std::move(source)), description_(std::move(description))
{
    // A new error starts its own chain; not one made and handled inside a
    // destructor while another is on its way out.
    if (std::uncaught_exceptions() == 0)
        trail.clear();
}

Procedure::Procedure(std::string_view procedure, std::string_view module, Shown shown) noexcept
    : procedure_(procedure), module_(module), shown_(shown), unwinding_(std::uncaught_exceptions())
{
    // A procedure starts: no error is on its way out (unless a destructor
    // runs it while one is).
    if (unwinding_ == 0)
        trail.clear();
}

Procedure::~Procedure()
{
    if (std::uncaught_exceptions() > unwinding_)
        trail.add(procedure_, module_, shown_ == Shown::Here);
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
    if (!c.shownHere)
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
    bool shownHere = false;
    std::vector<std::string> chain = TakeChain(shownHere);
    // An error that left a procedure the report names is reported with its
    // chain; one refused before any is said in a plain message.
    const bool failed = !chain.empty();
    const Failure kind = failed ? Failure::Failed : Failure::Refused;
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        if (const auto* error = dynamic_cast<const Error*>(&x))
            return {error->number(), error->source(), error->description(), failed, std::move(chain), kind, shownHere};
        if (dynamic_cast<const Stopped*>(&x))
            return {0, "halvo", x.what(), false, {}, Failure::Stopped};
        if (dynamic_cast<const Canceled*>(&x))
            return {0, "halvo", x.what(), false, {}, Failure::Canceled};
        if (dynamic_cast<const std::bad_alloc*>(&x))
            return {7, "halvo", "Out of memory", failed, std::move(chain), kind, shownHere};
        const bool files = dynamic_cast<const std::system_error*>(&x) != nullptr;  // filesystem_error too
        return {
            files ? err::kFileAccess : err::kHostFailure, "halvo", x.what(), failed, std::move(chain), kind, shownHere};
    } catch (...) {
        return {err::kHostFailure, "halvo", "Unknown error", failed, std::move(chain), kind, shownHere};
    }
}

void ReportCurrent(bool display, std::string_view procedure, std::string_view module)
{
    if (!display) {
        trail.add(procedure, module, false);
        throw;
    }
    const Caught c = describe(std::current_exception());
    if (c.kind == Failure::Stopped || c.kind == Failure::Canceled)
        throw;
    ui().showCallStack(ReportText(c, procedure, module));
}

}  // namespace halvo::support
