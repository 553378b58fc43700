#include "host/gdal_env.h"

#include "support/error_reporting.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>

#include <mutex>

namespace halvo::host {

namespace {
thread_local std::string lastError;

void CPL_STDCALL collect(CPLErr cls, CPLErrorNum, const char* msg)
{
    if (cls >= CE_Failure && msg)
        lastError = msg;
}
}  // namespace

void EnsureGdal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        CPLSetErrorHandler(collect);
    });
}

std::string LastGdalError() { return lastError; }

void ForgetGdalError() { lastError.clear(); }

void RaiseGdal(const std::string& what)
{
    std::string msg = what;
    if (!lastError.empty())
        msg += ": " + lastError;
    lastError.clear();
    support::raise(support::err::kHostFailure, msg, "GDAL");
}

}  // namespace halvo::host
