#include "host/feature_reader.h"

#include "host/gdal_env.h"
#include "support/error_reporting.h"

#include <cpl_error.h>

#include <cstring>

namespace halvo::host {

FeatureReader::FeatureReader(OGRLayer* layer, std::string layerName, std::filesystem::path source)
    : layer_(layer), layerName_(std::move(layerName)), source_(std::move(source))
{
    layer_->ResetReading();
}

namespace {

// GDAL closes a polygon ring that does not end where it starts and only warns:
// in a shapefile that is a sign of damage, which the run then tells.
struct WarningWatch {
    bool unclosedRing = false;
    WarningWatch() { CPLPushErrorHandlerEx(onMessage, this); }
    ~WarningWatch() { CPLPopErrorHandler(); }
    WarningWatch(const WarningWatch&) = delete;
    WarningWatch& operator=(const WarningWatch&) = delete;
    static void CPL_STDCALL onMessage(CPLErr type, CPLErrorNum, const char* message)
    {
        if (type == CE_Warning && message && std::strstr(message, "Non closed ring"))
            static_cast<WarningWatch*>(CPLGetErrorHandlerUserData())->unclosedRing = true;
    }
};

}  // namespace

OGRFeatureUniquePtr FeatureReader::next()
{
    // The error state is per thread; cleared before each read so that only
    // what this read raised counts.
    CPLErrorReset();
    OGRFeatureUniquePtr f;
    {
        WarningWatch watch;
        f.reset(layer_->GetNextFeature());
        if (watch.unclosedRing && f)
            NoteUnclosedRing(layerName_, source_, f->GetFID());
    }
    if (const std::string gdal = LastGdalError(); !gdal.empty()) {
        ForgetGdalError();
        support::raise(kFeatureReadError,
                       "Cannot read the features of the layer '" + layerName_ + "' (" + source_.string() +
                           "): the file is damaged or incomplete" + (gdal.empty() ? std::string() : ": " + gdal),
                       "GDAL");
    }
    return f;
}

}  // namespace halvo::host
