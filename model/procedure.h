#pragma once
// The error report lists the procedures an error left on its way out, under
// the names users have always seen there. A stage names itself with a
// Procedure for as long as it runs; an error leaving it notes that name,
// and the one place that catches it below the face attaches the notes to it
// (RethrowWithChain). No stage catches to do this.

#include "support/error_reporting.h"

#include <string_view>

namespace halvo::model {

class Procedure {
public:
    Procedure(std::string_view name, std::string_view module);
    Procedure(const Procedure&) = delete;
    Procedure& operator=(const Procedure&) = delete;
    ~Procedure();

private:
    std::string_view name_, module_;
    int uncaught_;
};

// The current exception (call inside a catch block) with the procedures it
// left added to its chain, outermost first. Stopped and Canceled are as they are.
support::Caught CaughtWithChain();

// Throws the current exception on with its chain (as CaughtWithChain).
[[noreturn]] void RethrowWithChain();

}  // namespace halvo::model
