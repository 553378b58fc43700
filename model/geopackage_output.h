#pragma once
// A run's result as one layer of a GeoPackage. The run writes its shapefile,
// style and reports in a scratch folder as usual; the features then go into
// the GeoPackage in one transaction of its own (the other layers kept), and
// the style and reports, named after the layer, are renamed into place beside
// it from a staging folder there.

#include "model/run.h"
#include "params/run_request.h"

#include <filesystem>
#include <string>
#include <vector>

namespace halvo::model {

struct GeoPackageOutput {
    std::filesystem::path file;  // absolute
    std::string layer;
};

// The layer's style and reports beside the GeoPackage: <layer>.qml, .prm, .met.
std::vector<std::filesystem::path> GeoPackageReports(const GeoPackageOutput& output);

// Throws when the layer is one the run reads (same resolved file, same layer
// name in any case), or when a report name beside it belongs to another
// output of the folder: a shapefile of that name or one whose reports carry
// that name, or another GeoPackage holding a layer of that name.
void CheckGeoPackageOutput(const GeoPackageOutput& output, const params::RunRequest& request);

// Puts the result of a run made into a scratch folder in place as `output`;
// answers the reports' new paths in the order of GeoPackageReports, then the
// page's (<layer>.html) when the run wrote one.
std::vector<std::filesystem::path> PlaceGeoPackageOutput(const GeoPackageOutput& output, const RunResult& scratch);

}  // namespace halvo::model
