#include "model/get_lc_area.h"

#include "host/vector_ops.h"
#include "model/area_fields.h"
#include "model/bas_util.h"
#include "model/table_functions.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <charconv>
#include <map>

namespace halvo::model {

namespace fs = std::filesystem;

namespace {
constexpr const char* kModule = "clsISGetLCArea";
constexpr double kMissing = -9999;

bool parseDouble(const std::string& s, double& out)
{
    const char* b = s.data();
    const char* e = s.data() + s.size();
    while (b < e && *b == ' ')
        ++b;
    if (b < e && *b == '+')
        ++b;
    auto r = std::from_chars(b, e, out);
    return r.ec == std::errc() && r.ptr == e;
}
}  // namespace

double UnitFactor(const std::string& lcUnits)
{
    if (lcUnits == "Feet")
        return 2.2956e-05;  // truncated 1/43560, kept as the stored results use it
    if (lcUnits == "Meters")
        return 0.0001;
    return 0;
}

double clsISGetLCArea::CoefficientLookup(const std::string& classId, const std::string& zoneName) const
{
    try {
        int position = 0;  // 1: High, 2: Medium, 3: Low in the class's list after its name
        if (popDS_ < "3") {
            position = std::stoi(popDS_) + 1;
        } else {
            if (zoneName.empty())
                return kMissing;
            position = zoneName.back() - '0';
        }
        const auto* entry = dictCL_ ? dictCL_->find(classId) : nullptr;
        if (!entry || position < 1 || position >= static_cast<int>(entry->size()))
            return kMissing;
        double v = 0;
        if (!parseDouble((*entry)[static_cast<std::size_t>(position)], v))
            return kMissing;
        return v;
    } catch (...) {
        return kMissing;
    }
}

TabulationTable clsISGetLCArea::tabulate(const host::Layer& zones, const host::Layer& landCover,
                                         const std::string& zoneField)
{
    const host::RasterInfo raster = host::DescribeRaster(landCover.source);
    OGRSpatialReference rasterSrs;
    const bool hasSrs = !raster.wkt.empty() && rasterSrs.importFromWkt(raster.wkt.c_str()) == OGRERR_NONE;
    auto features = host::ReadFeatures(zones, zoneField, !zones.selection.empty(), hasSrs ? &rasterSrs : nullptr);

    // Zones in ascending order of their value; features without a value burn nothing.
    std::vector<host::Value> values;
    for (const auto& f : features)
        if (!host::IsNull(f.value))
            values.push_back(f.value);
    std::sort(values.begin(), values.end(), host::ValueLess);
    values.erase(std::unique(values.begin(), values.end(),
                             [](const host::Value& a, const host::Value& b) {
                                 return !host::ValueLess(a, b) && !host::ValueLess(b, a);
                             }),
                 values.end());
    std::vector<host::ZoneShape> shapes;
    shapes.reserve(features.size());
    for (auto& f : features) {
        if (host::IsNull(f.value) || !f.geometry)
            continue;
        auto it = std::lower_bound(values.begin(), values.end(), f.value, host::ValueLess);
        shapes.emplace_back(static_cast<int>(it - values.begin()), std::unique_ptr<OGRGeometry>(f.geometry.release()));
    }

    support::Progress("Tabulating land cover", 0);
    const auto counts = host::TabulateArea(raster, shapes, static_cast<int>(values.size()), 0,
                                           [](double f) { support::Progress("Tabulating land cover", f); });

    TabulationTable t;
    t.fieldNames = {"Rowid", zoneField};
    for (auto c : counts.classes)
        t.fieldNames.push_back("VALUE_" + std::to_string(c));
    long id = 1;
    for (int z = 0; z < counts.zoneCount; ++z) {
        if (counts.zoneCells[static_cast<std::size_t>(z)] == 0)
            continue;
        TabulationTable::Row r;
        r.id = id++;
        r.zone = host::ValueText(values[static_cast<std::size_t>(z)]);
        for (std::size_t k = 0; k < counts.classes.size(); ++k)
            r.areas.push_back(static_cast<double>(counts.count(z, k)) * counts.cellArea);
        t.rows.push_back(std::move(r));
    }
    return t;
}

std::optional<host::Table> clsISGetLCArea::isGetLCArea(const fs::path& pWorkspace, const host::Layer& AnalysisTheme,
                                                       const host::Layer& lcTheme, const std::string& /*ValueField*/,
                                                       const std::string& ZoneField, const std::string& popDS,
                                                       const std::string& LCUnits, const ClassTable& dictCL,
                                                       const std::string& /*tmpZone*/, const std::string& areaTemp)
{
    popDS_ = popDS;
    dictCL_ = &dictCL;
    struct ClearFlag {
        bool& f;
        ~ClearFlag() { f = false; }
    } clear{noIntersection_};

    return support::Guarded("isGetLCArea", kModule, true, std::optional<host::Table>{},
                            [&]() -> std::optional<host::Table> {
        std::string zoneName = ZoneField;
        if (zoneName.size() > 10) {
            auto t = host::Table::Open(AnalysisTheme.source);
            zoneName = SetFieldName(ZoneField, t);
        }
        const auto field = host::FindLayerField(AnalysisTheme, ZoneField);
        if (!field) {
            support::MsgBox("pField is Nothing");
            support::raise(support::err::kObjectRequired,
                           "The layer '" + AnalysisTheme.name + "' has no field '" + ZoneField + "'");
        }

        tab_ = tabulate(AnalysisTheme, lcTheme, ZoneField);
        if (tab_.rows.empty()) {
            noIntersection_ = true;
            support::MsgBox("None of the selected features within " + AnalysisTheme.name + "\r" +
                                " intersect with the Land Cover layer " + lcTheme.name,
                            support::Buttons::OK, support::Icon::Exclamation, "Error: Area Calculation");
            return std::nullopt;
        }
        const int c = tab_.fieldCount();
        clsISTableFunctions tf;
        auto table = tf.createDBF(areaTemp, zoneName, 2 * c - 2, tab_, pWorkspace);
        if (!table)
            return std::nullopt;
        if (!CalculateAreas(*table, tab_, LCUnits))
            return std::nullopt;
        const fs::path path = table->path();
        table->finish();
        return host::Table::Open(path, true);
    });
}

bool clsISGetLCArea::CalculateAreas(host::Table& output, const TabulationTable& tab, const std::string& LCUnits)
{
    return support::Guarded("CalculateAreas", kModule, true, false, [&] {
        auto ins = output.inserter();
        const double factor = UnitFactor(LCUnits);
        const int c = tab.fieldCount();
        for (const auto& row : tab.rows) {
            const std::string& zone = row.zone;
            std::vector<double> L, I;
            for (int i = 2; i < c; ++i) {
                const std::string classId = tab.fieldNames[static_cast<std::size_t>(i)].substr(6);
                const double coefficient = CoefficientLookup(classId, zone);
                if (coefficient == kMissing) {
                    ins.finish();
                    support::MsgBox("No coefficients defined in the selected Coefficient Set for the land cover class " +
                                        classId + "!",
                                    support::Buttons::OK, support::Icon::Critical, "Invalid Coefficient");
                    return false;
                }
                const double value = row.areas[static_cast<std::size_t>(i - 2)];
                L.push_back(value * factor);
                I.push_back(((value * coefficient) / 100) * factor);
            }
            auto& buf = ins.buffer();
            std::size_t li = 0, ii = 0;
            for (int j = 0; j < output.fieldCount(); ++j) {
                if (j == 0) {
                    buf.set(1, zone);
                    continue;
                }
                if (j == 1)
                    continue;
                const std::string& name = output.field(j).name;
                if (IsISAreaField(name))
                    buf.set(j, I.at(ii++));
                else if (IsAreaField(name))
                    buf.set(j, L.at(li++));
            }
            ins.insert();
        }
        ins.finish();
        return true;
    });
}

}  // namespace halvo::model
