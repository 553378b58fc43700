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
    std::call_once(once, [] {
        GDALAllRegister();
        // GDAL keeps each thread's last error itself; nothing is printed.
        CPLSetErrorHandler(CPLQuietErrorHandler);
    });
}

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

}  // namespace halvo::host
