#include "model/scenario.h"

#include "host/vector_ops.h"
#include "model/area_fields.h"
#include "model/scratch_layers.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <unordered_map>

namespace halvo::model {

namespace fs = std::filesystem;

namespace {
constexpr const char* kModule = "clsISDSAdjustment";

// The same data: one file (whatever path names it) and one layer of it. Files
// that only share a folder and a name, such as X.shp and X.gpkg, are not.
bool sameLayer(const host::Layer& a, const host::Layer& b)
{
    std::error_code ec;
    if (!fs::equivalent(a.source, b.source, ec))
        return false;
    if (a.sourceLayer == b.sourceLayer)
        return a.selection == b.selection;
    auto layerName = [](const host::Layer& l) {
        if (!l.sourceLayer.empty())
            return l.sourceLayer;
        const auto names = host::VectorLayerNames(l.source);
        return names.empty() ? std::string() : names.front();
    };
    return layerName(a) == layerName(b) && a.selection == b.selection;
}

struct ScenarioRow {
    std::string zone;
    std::vector<std::pair<std::string, double>> values;  // area*/ISarea* fields, by name
};
}  // namespace

double Round3(double v)
{
    // Halves go to the even neighbour, as the stored figures always did.
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v * 1000) / 1000;
    std::fesetround(mode);
    return r;
}

ScenarioOutcome ApplyScenario(host::Table& areaTable, const host::Layer& scenarioLayer,
                              const host::Layer& analysisLayer, const std::string& analysisField, long classId,
                              const std::string& tableSuffix, const fs::path& scratch, const host::Layer& landCover,
                              const AreaRules& rules, const host::Layer* wholeScenario)
{
    const std::string dcID = std::to_string(classId);
    const std::string aTemp = "dsarea" + tableSuffix, dsInt = "dsInt" + tableSuffix;
    try {
        // The scenario's own zones: its pieces inside the analysis polygons.
        host::LayerPtr zoneLayer;
        if (!sameLayer(scenarioLayer, analysisLayer)) {
            if (host::SpatialReferenceName(scenarioLayer) != host::SpatialReferenceName(analysisLayer)) {
                const auto a =
                    support::MsgBox("The Analysis Layer and the Development Scenario (" + scenarioLayer.name +
                                        ") are not in the same projection.\rWould you like to continue "
                                        "with the analysis without this scenario?",
                                    support::Buttons::OKCancel, support::Icon::None, "Projection");
                if (a != support::Answer::OK)
                    throw support::Stopped("the scenario's projection differs");
                return {false, "not in the analysis layer's projection"};
            }
            zoneLayer = IntersectLayers(scenarioLayer, analysisLayer, dsInt, scratch);
        } else {
            zoneLayer = std::make_shared<host::Layer>(analysisLayer);
        }
        if (!zoneLayer || host::Table::Open(zoneLayer->source).rowCount() == 0) {
            if (wholeScenario) {
                const auto whole = IntersectLayers(*wholeScenario, analysisLayer, "dsAll" + tableSuffix, scratch);
                if (whole && host::Table::Open(whole->source).rowCount() > 0) {
                    support::MsgBox("All the land of the Development Scenario (" + scenarioLayer.name +
                                        ") inside the Analysis Layer was already recast by an earlier scenario: "
                                        "the first scenario that covers land recasts it, so this one changes "
                                        "nothing.",
                                    support::Buttons::OK, support::Icon::Information, "Land Already Recast");
                    return {false, "all its land was already recast by an earlier scenario"};
                }
            }
            support::MsgBox("The Analysis Layer and the Development Scenario (" + scenarioLayer.name +
                                ") do not overlap.",
                            support::Buttons::OK, support::Icon::Information, "No Overlay");
            return {false, "no overlap with the analysis layer"};
        }

        // What earlier scenarios left of this one may hold no cell: it then changes nothing.
        auto tallied = wholeScenario ? AreaTableIfAny(scratch, *zoneLayer, landCover, analysisField, rules, aTemp)
                                     : AreaTable(scratch, *zoneLayer, landCover, analysisField, rules, aTemp);
        if (!tallied) {
            support::MsgBox("The land of the Development Scenario (" + scenarioLayer.name +
                                ") that no earlier scenario recast holds no land cover cell: this scenario changes "
                                "nothing.",
                            support::Buttons::OK, support::Icon::Information, "Land Already Recast");
            return {false, "the land earlier scenarios left to it holds no land cover cell"};
        }
        auto& s = *tallied;
        std::vector<ScenarioRow> rows;
        s.search({}, [&](const host::Table::Row& r) {
            ScenarioRow row{host::ValueText(r.get(1)), {}};
            for (int j = 2; j < s.fieldCount(); ++j)
                if (const auto& n = s.field(j).name; IsAreaField(n) || IsISAreaField(n))
                    row.values.emplace_back(n, host::ValueNumber(r.get(j)));
            rows.push_back(std::move(row));
            return true;
        });

        // Main rows by zone: the first row holding each value, compared exactly
        // (a quote or wildcard in a zone value means nothing special here).
        std::unordered_map<std::string, long long> mainRow;
        areaTable.search({}, [&](const host::Table::Row& r) {
            mainRow.emplace(host::ValueText(r.get(1)), r.oid());
            return true;
        });
        std::unordered_map<long long, const ScenarioRow*> scenarioOf;
        std::unordered_map<std::string, double> totals;
        for (const auto& row : rows) {
            auto it = mainRow.find(row.zone);
            if (it != mainRow.end())
                scenarioOf.emplace(it->second, &row);
        }

        // Take the scenario's land out of each zone's classes.
        areaTable.update({}, [&](host::Table::Row& m) {
            auto it = scenarioOf.find(m.oid());
            if (it == scenarioOf.end())
                return true;
            double t = 0;
            for (const auto& [name, value] : it->second->values) {
                const int f = areaTable.findField(name);
                if (f < 0)
                    continue;
                // Scenarios never overlap (earlier rows take the land first),
                // so this only guards against rounding.
                m.set(f, std::max(0.0, Round3(host::ValueNumber(m.get(f))) - Round3(value)));
                if (IsAreaField(name))
                    t += value;
            }
            totals[it->second->zone] = t;
            return true;
        });
        for (const auto& row : rows)
            totals.emplace(row.zone, 0.0);

        // The target class's pair of fields.
        const std::string areaName = AreaFieldName(dcID), isName = ISAreaFieldName(dcID);
        if (areaTable.findField(areaName) < 0) {
            areaTable.addField(CreateFields(areaName, areaName, host::kDouble, 18, 18, 6));
            areaTable.addField(CreateFields(isName, isName, host::kDouble, 18, 18, 6));
        }
        const int areaField = areaTable.findField(areaName), isField = areaTable.findField(isName);
        if (areaField < 0 || isField < 0)
            support::raise(5, "The area table has no field '" + (areaField < 0 ? areaName : isName) + "'");
        for (const auto& row : rows)
            if (!mainRow.count(row.zone))
                support::raise(91, "The zone '" + row.zone + "' of the scenario '" + scenarioLayer.name +
                                       "' has no row in the area table");

        // Add the scenario's land to the target class and recompute its impervious area.
        bool missing = false;
        areaTable.update({}, [&](host::Table::Row& m) {
            auto it = scenarioOf.find(m.oid());
            if (it == scenarioOf.end())
                return true;
            const double a = host::ValueNumber(m.get(areaField));
            const double total = totals[it->second->zone];
            m.set(areaField, a + total);
            const auto coefficient = CoefficientOf(rules, classId, host::ValueText(m.get(1)));
            if (!coefficient) {
                missing = true;
                return false;
            }
            m.set(isField, ((a + total) * *coefficient) / 100);
            return true;
        });
        if (missing) {
            support::MsgBox("No coefficients defined in the selected Coefficient Set for the land cover class " + dcID +
                                "!",
                            support::Buttons::OK, support::Icon::Critical, "Invalid Coefficient");
            throw support::Stopped("the scenario's class has no coefficient");
        }
        return {};
    } catch (...) {
        const support::Caught caught = support::describe(std::current_exception());
        if (caught.kind == support::Failure::Stopped || caught.kind == support::Failure::Canceled)
            throw;
        // The report with its chain first, then the box; the run ends without a table.
        support::ui().showCallStack(support::ReportText(caught, "isDSAdjustment", kModule));
        support::MsgBox("Error occurred while adjusting area calculations for selected 'Development Scenarios'.",
                        support::Buttons::OK, support::Icon::Critical, "Error: Development Scenarios Adjustment");
        throw support::Stopped("the development scenario could not be applied");
    }
}

}  // namespace halvo::model
