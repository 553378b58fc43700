#include "model/labelled_areas.h"

#include "coefficients/number_text.h"
#include "host/zonal.h"
#include "model/density.h"
#include "support/error_reporting.h"
#include "support/ui.h"

namespace halvo::model {

namespace {

// Density labels: 1 High, 2 Medium, 3 Low as the digit, 4 a value that is no number.
constexpr int kDensityLabels = 5;
constexpr int kUnreadable = 4;

struct Fault {
    int number = 0;
    std::string text;
};

host::LabelLayer densityLabels(const DensityRule& d, Fault& fault)
{
    host::LabelLayer layer;
    layer.count = kDensityLabels;
    layer.sources.push_back(
        {d.layer, d.field, [&d, &fault](const host::Value& v) {
             std::optional<double> density;
             if (host::IsNull(v)) {
                 if (!fault.number)
                     fault = {94, "Invalid use of Null: a feature of '" + d.layer->name + "' has no value in '" +
                                      d.field + "'"};
             } else if (const auto* text = std::get_if<std::string>(&v)) {
                 density = coefficients::ParseNumber(*text);
                 if (!density && !fault.number)
                     fault = {13, "Type mismatch: the density value '" + *text + "' is not a number"};
             } else {
                 density = host::ValueNumber(v);
             }
             return density ? DensityDigit(*density, d.high, d.low) - '0' : kUnreadable;
         }});
    return layer;
}

// Rows of the tallies kept at the keys key(zone, level) summed over `scenarios`;
// only rows with a cell, only classes with one.
AreaRows rowsOf(const host::LayerTabulation& tab, const AreaRules& rules, const std::vector<int>& levels,
                const std::function<std::size_t(std::size_t zone, int level, int scenario)>& key,
                const std::vector<int>& scenarios)
{
    const host::AreaTabulation& t = tab.counts;
    struct Counted {
        std::size_t zone;
        int level;
        std::vector<double> cells;  // per class of t, cut cells by their share
    };
    std::vector<Counted> counted;
    std::vector<char> classSeen(t.classes.size(), 0);
    for (std::size_t z = 0; z < tab.zones.size(); ++z)
        for (const int level : levels) {
            double cover = 0;
            std::vector<double> cells(t.classes.size(), 0.0);
            for (const int s : scenarios) {
                const auto k = static_cast<int>(key(z, level, s));
                cover += t.zoneCover(k);
                for (std::size_t c = 0; c < t.classes.size(); ++c)
                    cells[c] += t.cells(k, c);
            }
            if (cover <= 0)
                continue;
            for (std::size_t c = 0; c < cells.size(); ++c)
                classSeen[c] = classSeen[c] || cells[c] > 0;
            counted.push_back({z, level, std::move(cells)});
        }
    AreaRows out;
    std::vector<std::int64_t> classes;
    for (std::size_t c = 0; c < t.classes.size(); ++c)
        if (classSeen[c]) {
            classes.push_back(t.classes[c]);
            out.classes.push_back(static_cast<long>(t.classes[c]));
        }
    for (const Counted& r : counted) {
        AreaRow row{StoredZoneText(host::ValueText(tab.zones[r.zone])),
                    levels.size() > 1 ? std::optional(static_cast<DensityLevel>(r.level - 1)) : rules.fixedLevel,
                    {},
                    {}};
        std::vector<double> areas;
        for (std::size_t c = 0; c < t.classes.size(); ++c)
            if (classSeen[c])
                areas.push_back(r.cells[c] * t.cellArea);
        FillAreas(row, classes, areas, rules);
        out.rows.push_back(std::move(row));
    }
    return out;
}

}  // namespace

LabelledAreas AreasByLabel(host::ZoneLayer& zones, const host::Layer& landCover, const AreaRules& rules,
                           const std::optional<DensityRule>& density, const std::vector<const host::Layer*>& scenarios,
                           const std::string& zonesName)
{
    std::vector<host::LabelLayer> layers;
    Fault fault;
    if (density)
        layers.push_back(densityLabels(*density, fault));
    // Laid down last to first, so that the first scenario holding a cell takes it.
    host::LabelLayer scenarioLayer;
    scenarioLayer.count = static_cast<int>(scenarios.size()) + 1;
    for (std::size_t i = scenarios.size(); i-- > 0;)
        if (scenarios[i])
            scenarioLayer.sources.push_back(
                {scenarios[i], {}, [label = static_cast<int>(i) + 1](const host::Value&) { return label; }});
    const bool scenarioLabels = !scenarioLayer.sources.empty();
    if (scenarioLabels)
        layers.push_back(std::move(scenarioLayer));

    const bool exact = rules.coverage == params::Coverage::Exact;
    const auto tab = [&] {
        const support::Procedure procedure("isGetLCArea", "clsISGetLCArea");
        const host::RasterInfo raster = host::DescribeRaster(landCover.source);
        support::Progress("Tabulating land cover", 0);
        const auto progress = [](double f) { support::Progress("Tabulating land cover", f); };
        // Exact cover: a scenario's label 0 is all the zone's land at a level,
        // the scenarios' included; density's label 0, land outside it, is not counted.
        std::vector<bool> uncut;
        if (density)
            uncut.push_back(false);
        if (scenarioLabels)
            uncut.push_back(true);
        auto counted = layers.empty() ? host::TabulateZones(zones, raster, progress, rules.coverage, true)
                       : exact        ? host::TabulateCut(zones, layers, uncut, raster, progress)
                                      : host::TabulateLabelled(zones, layers, raster, progress);
        support::CheckCanceled();
        return counted;
    }();

    const std::size_t levelCount = density ? kDensityLabels : 1;
    const std::size_t scenarioCount = scenarioLabels ? scenarios.size() + 1 : 1;
    const auto key = [&](std::size_t zone, int level, int scenario) {
        return (zone * levelCount + static_cast<std::size_t>(level)) * scenarioCount +
               static_cast<std::size_t>(scenario);
    };
    if (density && fault.number) {
        // A density polygon without a usable value holds a cell of some zone: the
        // density stage's fault, reported as that stage's.
        for (std::size_t z = 0; z < tab.zones.size(); ++z)
            for (std::size_t s = 0; s < scenarioCount; ++s)
                if (tab.counts.zoneCover(static_cast<int>(key(z, kUnreadable, static_cast<int>(s)))) > 0) {
                    const support::Procedure densityStep("DensityCalculation", "clsPopulationDensity");
                    support::raise(fault.number, fault.text);
                }
    }

    LabelledAreas out;
    out.nodataKnown = !tab.touchesNodata.empty() || tab.zones.empty();
    for (std::size_t z = 0; z < tab.touchesNodata.size(); ++z)
        if (tab.touchesNodata[z])
            out.touchingNodata.insert(host::ValueText(tab.zones[z]));
    const std::vector<int> levels = density ? std::vector<int>{1, 2, 3} : std::vector<int>{0};
    // A zone's land: its cells in every scenario, or, cut exactly, its uncut land.
    std::vector<int> everyScenario;
    for (std::size_t s = 0; s < (exact ? 1 : scenarioCount); ++s)
        everyScenario.push_back(static_cast<int>(s));
    {
        const support::Procedure procedure("isGetLCArea", "clsISGetLCArea");
        const support::Procedure step("CalculateAreas", "clsISGetLCArea");
        out.zones = rowsOf(tab, rules, levels, key, everyScenario);
    }
    if (out.zones.rows.empty()) {
        support::MsgBox("None of the selected features within " + zonesName + "\r" +
                            " intersect with the Land Cover layer " + landCover.name,
                        support::Buttons::OK, support::Icon::Exclamation, "Error: Area Calculation");
        throw support::Stopped("no zone meets the land cover");
    }
    for (std::size_t i = 0; i < scenarios.size(); ++i) {
        auto& land = out.scenarios.emplace_back();
        if (!scenarios[i])
            continue;
        AreaRows rows = rowsOf(tab, rules, levels, key, {static_cast<int>(i) + 1});
        if (!rows.rows.empty())
            land = std::move(rows);
    }
    return out;
}

}  // namespace halvo::model
