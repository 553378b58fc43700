#include "model/scenario.h"

#include "host/vector_ops.h"
#include "host/zonal.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <map>

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

namespace {

// Stops the run with the step's own report for any failure but a stop.
template <class Step>
ScenarioOutcome reportingFailures(Step&& step)
{
    try {
        return step();
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

// A scenario whose land in the zones holds no cell: the first to apply stops
// the run, a later one (whose land earlier scenarios cut) changes nothing.
ScenarioOutcome landWithoutCells(const host::Layer& scenarioLayer, const std::string& landName,
                                 const host::Layer& landCover, bool first)
{
    if (first) {
        support::MsgBox("None of the selected features within " + landName + "\r" +
                            " intersect with the Land Cover layer " + landCover.name,
                        support::Buttons::OK, support::Icon::Exclamation, "Error: Area Calculation");
        throw support::Stopped("no zone meets the land cover");
    }
    support::MsgBox("The land of the Development Scenario (" + scenarioLayer.name +
                        ") that no earlier scenario recast holds no land cover cell: this scenario changes "
                        "nothing.",
                    support::Buttons::OK, support::Icon::Information, "Land Already Recast");
    return {false, "the land earlier scenarios left to it holds no land cover cell"};
}

// Takes the scenario's land out of each zone's classes and adds it to the
// zone's target class.
ScenarioOutcome recast(AreaRows& areaTable, const AreaRows& s, const host::Layer& scenarioLayer, long classId,
                       const AreaRules& rules)
{
    // Main rows by zone: the first row holding each value, compared exactly
    // (a quote or wildcard in a zone value means nothing special here).
    std::map<std::pair<std::string, int>, std::size_t> mainRow;
    const auto key = [](const AreaRow& r) { return std::pair(r.zone, r.level ? static_cast<int>(*r.level) : -1); };
    for (std::size_t i = 0; i < areaTable.rows.size(); ++i)
        mainRow.emplace(key(areaTable.rows[i]), i);
    std::vector<std::pair<std::size_t, double>> recast;  // main row, the scenario's land in it
    for (const auto& row : s.rows) {
        const auto it = mainRow.find(key(row));
        if (it == mainRow.end())
            continue;
        // Take the scenario's land out of each zone's classes. Scenarios
        // never overlap (earlier rows take the land first), so the floor
        // at zero only guards against rounding.
        AreaRow& m = areaTable.rows[it->second];
        double t = 0;
        for (std::size_t k = 0; k < s.classes.size(); ++k) {
            const auto c = areaTable.findColumn(s.classes[k]);
            if (!c)
                continue;
            m.land[*c] = RoundLikeStoredField(std::max(0.0, Round3(m.land[*c]) - Round3(row.land[k])));
            m.impervious[*c] =
                RoundLikeStoredField(std::max(0.0, Round3(m.impervious[*c]) - Round3(row.impervious[k])));
            t += row.land[k];
        }
        recast.emplace_back(it->second, t);
    }

    // The target class's column.
    const std::size_t target = areaTable.column(classId);
    for (const auto& row : s.rows)
        if (!mainRow.count(key(row)))
            support::raise(91, "The zone '" + row.zone + "' of the scenario '" + scenarioLayer.name +
                                   "' has no row in the area table");

    // Add the scenario's land to the target class and recompute its impervious area.
    for (const auto& [i, total] : recast) {
        AreaRow& m = areaTable.rows[i];
        const double a = m.land[target];
        m.land[target] = RoundLikeStoredField(a + total);
        const auto coefficient = CoefficientOf(rules, classId, m.level);
        if (!coefficient) {
            support::MsgBox("No coefficients defined in the selected Coefficient Set for the land cover class " +
                                std::to_string(classId) + "!",
                            support::Buttons::OK, support::Icon::Critical, "Invalid Coefficient");
            throw support::Stopped("the scenario's class has no coefficient");
        }
        m.impervious[target] = RoundLikeStoredField(((a + total) * *coefficient) / 100);
    }
    return {};
}

}  // namespace

std::optional<ScenarioOutcome> SkipForProjection(const host::Layer& scenarioLayer, const host::Layer& analysisLayer)
{
    if (sameLayer(scenarioLayer, analysisLayer) ||
        host::SpatialReferenceName(scenarioLayer) == host::SpatialReferenceName(analysisLayer))
        return std::nullopt;
    const auto a = support::MsgBox("The Analysis Layer and the Development Scenario (" + scenarioLayer.name +
                                       ") are not in the same projection.\rWould you like to continue "
                                       "with the analysis without this scenario?",
                                   support::Buttons::OKCancel, support::Icon::None, "Projection");
    if (a != support::Answer::OK)
        throw support::Stopped("the scenario's projection differs");
    return ScenarioOutcome{false, "not in the analysis layer's projection"};
}

ScenarioOutcome ApplyCountedScenario(AreaRows& areaTable, const std::optional<AreaRows>& land,
                                     const host::Layer& scenarioLayer, long classId, const AreaRules& rules,
                                     const CountedScenarioContext& context)
{
    return reportingFailures([&]() -> ScenarioOutcome {
        if (land)
            return recast(areaTable, *land, scenarioLayer, classId, rules);
        // No cell: where its land lies tells why, as the user is told.
        const bool first = context.earlier.empty();
        if (first && context.zones.size() == 1 && sameLayer(scenarioLayer, *context.zones.front()))
            return landWithoutCells(scenarioLayer, context.zones.front()->name, *context.landCover, true);
        if (host::SharesLand(scenarioLayer, context.earlier, context.zones))
            return landWithoutCells(scenarioLayer, "dsInt" + context.tableSuffix, *context.landCover, first);
        if (!first && host::SharesLand(scenarioLayer, {}, context.zones)) {
            support::MsgBox("All the land of the Development Scenario (" + scenarioLayer.name +
                                ") inside the Analysis Layer was already recast by an earlier scenario: "
                                "the first scenario that covers land recasts it, so this one changes "
                                "nothing.",
                            support::Buttons::OK, support::Icon::Information, "Land Already Recast");
            return {false, "all its land was already recast by an earlier scenario"};
        }
        support::MsgBox("The Analysis Layer and the Development Scenario (" + scenarioLayer.name + ") do not overlap.",
                        support::Buttons::OK, support::Icon::Information, "No Overlay");
        return {false, "no overlap with the analysis layer"};
    });
}

}  // namespace halvo::model
