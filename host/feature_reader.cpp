#include "host/feature_reader.h"

#include "host/gdal_env.h"
#include "support/error_reporting.h"

#include <cpl_error.h>

namespace halvo::host {

FeatureReader::FeatureReader(OGRLayer* layer, std::string layerName, std::filesystem::path source)
    : layer_(layer), layerName_(std::move(layerName)), source_(std::move(source))
{
    layer_->ResetReading();
}

OGRFeatureUniquePtr FeatureReader::next()
{
    // The error state is per thread; cleared before each read so that only
    // what this read raised counts.
    CPLErrorReset();
    OGRFeatureUniquePtr f(layer_->GetNextFeature());
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
