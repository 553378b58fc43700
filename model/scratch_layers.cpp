#include "model/scratch_layers.h"

#include "host/vector_ops.h"
#include "host/zonal.h"
#include "support/error_reporting.h"

#include <algorithm>

namespace halvo::model {

namespace fs = std::filesystem;

namespace {
constexpr const char* kModule = "basUtil";
// Text values of a copied analysis field are never shorter than this.
constexpr int kCopyFieldWidth = 30;
}  // namespace

host::FieldDef CreateFields(const std::string& name, const std::string& aliasName, int type, int length, int precision,
                            int scale)
{
    return host::FieldDef{name, aliasName, type, length, precision, scale, true};
}

std::string CopyFieldName(const std::string& fieldName)
{
    const auto isAlpha = [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const bool fits = !fieldName.empty() && fieldName.size() <= 10 && isAlpha(fieldName.front()) &&
                      std::all_of(fieldName.begin(), fieldName.end(),
                                  [&](unsigned char c) { return isAlpha(c) || (c >= '0' && c <= '9') || c == '_'; });
    return fits ? fieldName : "analyfld";
}

host::LayerPtr CreateShapefile(const fs::path& scratch, const std::string& fieldName, const host::Layer& source)
{
    const support::Procedure procedure("CreateShapefile", kModule);
    const fs::path out = scratch / "tempAnalysis.shp";
    // Longer text values keep their full width: a cut value would merge zones.
    host::CopyFeatures(source, fieldName, out, CopyFieldName(fieldName), kCopyFieldWidth);
    auto layer = std::make_shared<host::Layer>();
    layer->name = "tempAnalysis";
    layer->kind = host::LayerKind::Feature;
    layer->source = out;
    layer->srsName = host::SpatialReferenceName(source);
    return layer;
}

}  // namespace halvo::model
