#include "model/density.h"

#include "coefficients/number_text.h"
#include "host/table.h"
#include "host/vector_ops.h"
#include "model/scratch_layers.h"
#include "support/error_reporting.h"

namespace halvo::model {

namespace {

double toNumber(const std::string& text, const std::string& what)
{
    const auto v = coefficients::ParseNumber(text);
    if (!v)
        support::raise(13, "Type mismatch: " + what + " '" + text + "' is not a number");
    return *v;
}

}  // namespace

char DensityDigit(double density, double high, double low)
{
    if (high <= density)
        return '1';
    return low >= density ? '3' : '2';
}

std::optional<DensityPieces> SplitByDensity(const host::Layer& densityLayer, const std::string& densityField,
                                            double high, double low, const host::Layer& analysisLayer,
                                            const std::string& analysisField, const std::filesystem::path& scratch)
{
    const support::Procedure procedure("DensityCalculation", "clsPopulationDensity");
    if (host::SpatialReferenceName(densityLayer) != host::SpatialReferenceName(analysisLayer))
        return std::nullopt;
    DensityPieces pieces;
    {
        // The code field is filled as each piece is written: the pieces are written once.
        const auto derive = [&](host::Table& table, const std::map<std::string, std::string>& sourceOf) {
            // The density field: its "_1" copy first (the analysis layer had a field of
            // that name), then its own name; a name the shapefile had to cut is found
            // by its source, among the density layer's fields that follow the analysis layer's.
            auto findBySource = [&](const std::string& source) {
                for (int i = table.fieldCount() - 1; i >= 2; --i) {
                    const auto it = sourceOf.find(table.field(i).name);
                    if (it != sourceOf.end() && it->second == source)
                        return i;
                }
                return -1;
            };
            int density = table.findField(densityField + "_1");
            if (density < 0)
                density = table.findField(densityField);
            if (density < 0)
                density = findBySource(densityField);
            if (density < 0)
                support::raise(5, "The field '" + densityField + "' is not in the intersection of '" +
                                      densityLayer.name + "' and '" + analysisLayer.name + "'");

            const int analysis = table.findField(analysisField);
            if (analysis < 0)
                support::raise(5, "The field '" + analysisField + "' is not in the intersection");
            const host::FieldDef& a = table.field(analysis);
            pieces.field = ("new_" + a.alias.substr(0, 6)).substr(0, 10);
            const int length = (a.type == host::kString ? a.length : std::max(a.length, a.precision)) + 8;
            table.addField(CreateFields(pieces.field, pieces.field, host::kString, length, a.precision, a.scale));
            const int analysisAgain = table.findField(analysisField);
            const int newField = table.findField(pieces.field);
            return host::PieceFiller([=, &densityLayer, &densityField](host::Table::Row& r) {
                const host::Value v = r.get(density);
                if (host::IsNull(v))
                    support::raise(94, "Invalid use of Null: a feature of '" + densityLayer.name +
                                           "' has no value in '" + densityField + "'");
                const double d = std::holds_alternative<std::string>(v)
                                     ? toNumber(std::get<std::string>(v), "the density value")
                                     : host::ValueNumber(v);
                r.set(newField, host::ValueText(r.get(analysisAgain)) + "#" + DensityDigit(d, high, low));
            });
        };
        pieces.layer = IntersectLayers(densityLayer, analysisLayer, "popIntersect", scratch, derive);
    }
    return pieces;
}

}  // namespace halvo::model
