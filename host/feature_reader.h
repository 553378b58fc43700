#pragma once
// The one way the run walks the features of a layer or table. A damaged file
// (a .shp or .dbf cut short) makes GDAL raise an error and end the walk early
// or hand out a feature without its shape: taken silently, zones, density
// pieces or scenario land would go missing from the result. Every walk goes
// through FeatureReader, which stops with an error naming the layer and its file.

#include <ogrsf_frmts.h>

#include <filesystem>
#include <string>

namespace halvo::host {

// The error number of a failed feature read ("Invalid file format"). Callers
// that answer nothing on other errors let this one through.
inline constexpr long kFeatureReadError = 321;

class FeatureReader {
public:
    // Starts a walk from the first feature (matching the layer's filter).
    // `layerName` and `source` are what an error names.
    FeatureReader(OGRLayer* layer, std::string layerName, std::filesystem::path source);

    // The next feature, or null at the end. Throws support::Error number
    // kFeatureReadError when GDAL raised an error while reading.
    OGRFeatureUniquePtr next();

private:
    OGRLayer* layer_;
    std::string layerName_;
    std::filesystem::path source_;
};

// Counts a feature with a ring that did not close in its file (GDAL or the
// reader closed it), once per feature of each layer; the run tells them with
// the repaired geometries.
void NoteUnclosedRing(const std::string& layerName, const std::filesystem::path& source, long long fid);

// Calls visit(feature) for every feature through a FeatureReader; visit
// answers false to stop.
template <class Visit>
void ForEachFeature(OGRLayer* layer, const std::string& layerName, const std::filesystem::path& source, Visit&& visit)
{
    FeatureReader reader(layer, layerName, source);
    for (OGRFeatureUniquePtr f = reader.next(); f; f = reader.next())
        if (!visit(f))
            break;
}

}  // namespace halvo::host
