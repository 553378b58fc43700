#pragma once
// Shapefile and field helpers shared by the run's stages.

#include "host/map.h"
#include "host/table.h"
#include "host/vector_ops.h"

#include <filesystem>
#include <string>

namespace halvo::model {

// A new field with exactly these properties; errors pass on to the caller.
host::FieldDef CreateFields(const std::string& name, const std::string& aliasName, int type, int length, int precision,
                            int scale);

// The name the analysis field `fieldName` takes in the shapefile copy: its own
// where dBASE can hold it (up to 10 ASCII letters, digits or underscores,
// starting with a letter), else "analyfld".
std::string CopyFieldName(const std::string& fieldName);

// Copies the layer's features, with `fieldName` named as CopyFieldName says,
// into the shapefile "tempAnalysis" of the run's scratch folder; answers a layer on it.
host::LayerPtr CreateShapefile(const std::filesystem::path& scratch, const std::string& fieldName,
                               const host::Layer& source);

}  // namespace halvo::model
