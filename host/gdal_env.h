#pragma once
// One place that sets GDAL up and routes its messages: drivers registered
// once, errors kept for the message of the failing call instead of printed.

#include <string>

namespace halvo::host {

void EnsureGdal();

// The last error GDAL raised on this thread, or empty.
std::string LastGdalError();

// Forgets the last error, once it has been told by other means.
void ForgetGdalError();

// Raises support::Error with `what`, followed by GDAL's own last message.
[[noreturn]] void RaiseGdal(const std::string& what);

}  // namespace halvo::host
