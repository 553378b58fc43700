#include "host/gdal_env.h"

#include "support/error_reporting.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>

#include <mutex>

namespace halvo::host {

void EnsureGdal()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// A handler stack of the thread's own: the process-wide handler belongs to the host program.
QuietGdal::QuietGdal() { CPLPushErrorHandler(CPLQuietErrorHandler); }
QuietGdal::~QuietGdal() { CPLPopErrorHandler(); }

std::string LastGdalError()
{
    const char* m = CPLGetLastErrorType() >= CE_Failure ? CPLGetLastErrorMsg() : nullptr;
    return m ? std::string(m) : std::string();
}

void ForgetGdalError() { CPLErrorReset(); }

void RaiseGdal(const std::string& what)
{
    std::string msg = what;
    if (const std::string gdal = LastGdalError(); !gdal.empty())
        msg += ": " + gdal;
    ForgetGdalError();
    support::raise(support::err::kHostFailure, msg, "GDAL");
}

void CheckGdalPath(const std::filesystem::path& path)
{
    const std::string text = path.string();
    if (text.size() <= kMaxGdalPath)
        return;
    // The middle of a path this long says nothing; cut it at a character boundary.
    auto boundary = [&](std::size_t i) {
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
        return i;
    };
    const std::string shown = text.substr(0, boundary(60)) + "..." + text.substr(boundary(text.size() - 60));
    support::raise(support::err::kPathNotFound, "The path '" + shown + "' is " + std::to_string(text.size()) +
                                                    " bytes long; GDAL takes paths of at most " +
                                                    std::to_string(kMaxGdalPath) +
                                                    " bytes: choose a shorter folder or file name");
}

}  // namespace halvo::host
