#include "model/bas_util.h"

#include "host/feature_reader.h"
#include "host/vector_ops.h"
#include "support/error_reporting.h"

#include <ogr_geometry.h>

namespace halvo::model {

namespace fs = std::filesystem;
using support::Guarded;

namespace {
constexpr const char* kModule = "basUtil";
// Text values of a copied analysis field are never shorter than this.
constexpr int kCopyFieldWidth = 30;
}  // namespace

host::FieldDef CreateFields(const std::string& name, const std::string& aliasName, int type, int length,
                            int precision, int scale)
{
    return Guarded("CreateFields", kModule, false, host::FieldDef{}, [&] {
        return host::FieldDef{name, aliasName, type, length, precision, scale, true};
    });
}

std::string SetFieldName(const std::string& name, const host::Table& table)
{
    return Guarded("SetFieldName", kModule, true, std::string{}, [&] {
        if (name.size() <= 10)
            return name;
        const std::string prefix = name.substr(0, 10);
        int k = 0;
        for (int i = 0; i < table.fieldCount(); ++i) {
            const std::string& f = table.field(i).name;
            if (f.compare(0, 10, prefix) != 0)
                continue;
            if (f == name)
                return name.substr(0, 8) + "_" + std::to_string(k);
            ++k;
        }
        return std::string{};
    });
}

host::LayerPtr CreateShapefile(const fs::path& extensionFolder, const std::string& fieldName,
                               const host::Layer& source)
{
    return Guarded("CreateShapefile", kModule, true, host::LayerPtr{}, [&] {
        const fs::path out = extensionFolder / "temp" / "tempAnalysis.shp";
        // Longer text values keep their full width: a cut value would merge zones.
        host::CopyFeatures(source, fieldName, out, "analyfld", kCopyFieldWidth);
        auto layer = std::make_shared<host::Layer>();
        layer->name = "tempAnalysis";
        layer->kind = host::LayerKind::Feature;
        layer->source = out;
        layer->srsName = host::SpatialReferenceName(source);
        return layer;
    });
}

host::LayerPtr IntersectLayers(const host::Layer& input, const host::Layer& overlay, const std::string& outputName,
                               const fs::path& extensionFolder)
{
    try {
        const fs::path out = extensionFolder / "temp" / (outputName + ".shp");
        auto layer = std::make_shared<host::Layer>();
        layer->name = outputName;
        layer->kind = host::LayerKind::Feature;
        layer->source = out;
        layer->srsName = host::SpatialReferenceName(input);
        for (const auto& [name, source] : host::Intersect(input, overlay, out))
            layer->fieldAliases[name] = source;

        auto table = host::Table::Open(out, true);
        if (const int area = table.findField("Area") >= 0 ? table.findField("Area") : table.findField("AREA");
            area >= 0 && table.field(area).type == host::kDouble) {
            table.update({}, [&](host::Table::Row& r) {
                if (const OGRGeometry* g = r.shape(); g && OGR_GT_IsSurface(wkbFlatten(g->getGeometryType())))
                    r.set(area, g->toSurface()->get_Area());
                else if (g && wkbFlatten(g->getGeometryType()) == wkbMultiPolygon)
                    r.set(area, g->toMultiPolygon()->get_Area());
                return true;
            });
        }
        table.finish();
        return layer;
    } catch (const support::Error& e) {
        // A damaged input is told as such, never as "no overlap".
        if (e.number() == host::kFeatureReadError)
            throw;
        return nullptr;  // the callers tell the user
    } catch (...) {
        return nullptr;  // the callers tell the user
    }
}

std::string QuoteText(const std::string& value)
{
    // OGR's lexer reads a backslash before a quote as an escaped quote, so a
    // quote after a backslash is written that way, and trailing backslashes,
    // which would swallow the closing quote, are built outside the literal.
    const std::size_t end = value.find_last_not_of('\\') + 1;
    std::string q = "'";
    for (std::size_t i = 0; i < end; ++i) {
        const char c = value[i];
        if (c == '\'')
            q += i > 0 && value[i - 1] == '\\' ? "\\'" : "''";
        else
            q.push_back(c);
    }
    q.push_back('\'');
    if (end == value.size())
        return q;
    const std::size_t slashes = value.size() - end;
    return "CONCAT(" + q + ", SUBSTR('" + std::string(slashes, '\\') + " ', 1, " + std::to_string(slashes) + "))";
}

void CleanTempFolder(const fs::path& tempFolder)
{
    std::error_code ec;
    if (!fs::is_directory(tempFolder, ec))
        return;
    for (const auto& name : host::ListDatasets(tempFolder))
        host::DeleteDataset(tempFolder, name);
    std::vector<fs::path> rest;
    for (const auto& e : fs::directory_iterator(tempFolder, ec))
        rest.push_back(e.path());
    for (const auto& p : rest) {
        std::error_code rec;
        fs::remove_all(p, rec);
        if (rec)
            support::raise(support::err::kFileAccess, "Cannot delete '" + p.string() + "': " + rec.message());
    }
}

}  // namespace halvo::model
