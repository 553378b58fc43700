#pragma once
// One place that sets GDAL up and routes its messages: drivers registered
// once; during a run errors are kept for the message of the failing call
// instead of printed.

#include <cstddef>
#include <filesystem>
#include <string>

namespace halvo::host {

void EnsureGdal();

// While it lives, GDAL prints nothing on this thread (its last error is still
// kept); the handler of the program hosting us is back afterwards.
class QuietGdal {
public:
    QuietGdal();
    ~QuietGdal();
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;
};

// The last error GDAL raised on this thread, or empty.
std::string LastGdalError();

// Forgets the last error, once it has been told by other means.
void ForgetGdalError();

// Raises support::Error with `what`, followed by GDAL's own last message.
[[noreturn]] void RaiseGdal(const std::string& what);

// GDAL forms file paths in buffers of 2048 bytes; a longer path loses its
// folder and lands on the bare file name in the working folder.
inline constexpr std::size_t kMaxGdalPath = 2047;

// Throws naming `path` and the limit when GDAL cannot take it whole.
void CheckGdalPath(const std::filesystem::path& path);

}  // namespace halvo::host
