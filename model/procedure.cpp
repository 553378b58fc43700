#include "model/procedure.h"

#include <exception>
#include <string>
#include <vector>

namespace halvo::model {

namespace {
// Innermost first: the order in which the procedures are left.
thread_local std::vector<std::string> left;
}  // namespace

Procedure::Procedure(std::string_view name, std::string_view module)
    : name_(name), module_(module), uncaught_(std::uncaught_exceptions())
{
    // Notes of an error handled since belong to no error in flight.
    if (uncaught_ == 0)
        left.clear();
}

Procedure::~Procedure()
{
    if (std::uncaught_exceptions() > uncaught_)
        left.push_back(support::Location(name_, module_));
}

support::Caught CaughtWithChain()
{
    support::Caught c = support::describe(std::current_exception());
    if (c.kind != support::Failure::Stopped && c.kind != support::Failure::Canceled)
        for (const auto& where : left)
            c.chain.insert(c.chain.begin(), where);
    left.clear();
    if (!c.chain.empty() && c.kind == support::Failure::Refused) {
        c.formatted = true;
        c.kind = support::Failure::Failed;
    }
    return c;
}

void RethrowWithChain()
{
    const bool noted = !left.empty();
    const support::Caught c = CaughtWithChain();
    if (!noted || c.kind == support::Failure::Stopped || c.kind == support::Failure::Canceled)
        throw;
    throw support::Error(c.number, c.source, c.description, c.chain);
}

}  // namespace halvo::model
