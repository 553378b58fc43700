#include "params/run_request.h"

#include "coefficients/number_text.h"
#include "params/read_params.h"
#include "params/request_builder.h"
#include "support/error_reporting.h"

namespace halvo::params {

namespace {

[[noreturn]] void refuse(const std::string& why) { support::raise(support::err::kInvalidCall, why); }

host::LayerPtr layerNamed(const std::string& name, const host::Map& map, const char* what)
{
    auto layer = host::FindLayer(name, map);
    if (!layer)
        refuse(std::string("The ") + what + " '" + name + "' is not in the map");
    return layer;
}

long classId(const std::string& text)
{
    const auto v = coefficients::ParseNumber(text);
    if (!v || *v != static_cast<double>(static_cast<long>(*v)))
        refuse("The class ID '" + text + "' is not a whole number");
    return static_cast<long>(*v);
}

}  // namespace

std::optional<Units> UnitsFromName(std::string_view name)
{
    if (name == "Meters")
        return Units::Meters;
    if (name == "Feet")
        return Units::Feet;
    return std::nullopt;
}

RunParameters ParametersOf(const RunRequest& r, Units units)
{
    RunParameters p;
    p.landCoverLayer = r.landCover ? r.landCover->name : std::string();
    p.landCoverUnits = UnitsName(units);
    p.analysisLayer = r.analysis ? r.analysis->name : std::string();
    p.analysisField = r.field;
    if (const auto* level = std::get_if<DensityLevel>(&r.density)) {
        p.populationDensity = static_cast<int>(*level);
    } else {
        const auto& d = std::get<DensityLayer>(r.density);
        p.populationDensity = 3;
        p.densityLayer = d.layer ? d.layer->name : std::string();
        p.densityField = d.field;
        p.densityHigh = d.highText;
        p.densityLow = d.lowText;
    }
    p.outputTheme = r.output.string();
    p.outputThemeName = r.layerName;
    if (r.coverage == Coverage::Exact)
        p.coverage = CoverageName(r.coverage);
    for (const Scenario& s : r.scenarios)
        p.scenarios.push_back(
            {s.row, true, s.layer ? s.layer->name : std::string(), s.className, std::to_string(s.classId), {}});
    p.classes = r.classes;
    return p;
}

namespace {

std::string sourceText(const host::LayerPtr& layer)
{
    if (!layer)
        return {};
    return layer->source.string() + (layer->sourceLayer.empty() ? "" : "|layername=" + layer->sourceLayer);
}

}  // namespace

RunParameters SavedParametersOf(const RunRequest& r, Units units)
{
    RunParameters p = ParametersOf(r, units);
    p.setName = r.setName;
    p.landCoverSource = sourceText(r.landCover);
    p.analysisSource = sourceText(r.analysis);
    if (const auto* d = std::get_if<DensityLayer>(&r.density))
        p.densitySource = sourceText(d->layer);
    for (std::size_t i = 0; i < r.scenarios.size(); ++i)
        p.scenarios[i].source = sourceText(r.scenarios[i].layer);
    return p;
}

host::Map MapOfSources(const RunParameters& p)
{
    LayerSet layers;
    host::Map map;
    auto add = [&](const std::string& name, const std::string& source, host::LayerKind kind, const char* what) {
        if (name.empty() || host::FindLayer(name, map))
            return;  // a layer given twice (a scenario over the zones, say) is one layer
        if (source.empty())
            refuse(std::string("The parameter file does not say where the ") + what + " '" + name +
                   "' is: save it again from Halvo");
        const auto bar = source.find("|layername=");
        const std::string path = source.substr(0, bar);
        const std::string inside = bar == std::string::npos ? std::string() : source.substr(bar + 11);
        map.layers.push_back(layers.add(name, path, inside, kind));
    };
    add(p.landCoverLayer, p.landCoverSource, host::LayerKind::Raster, "land cover layer");
    add(p.analysisLayer, p.analysisSource, host::LayerKind::Feature, "analysis layer");
    if (p.populationDensity == 3)
        add(p.densityLayer, p.densitySource, host::LayerKind::Feature, "population density layer");
    for (const ScenarioRow& s : p.scenarios)
        if (s.apply)
            add(s.layer, s.source, host::LayerKind::Feature, "development scenario layer");
    return map;
}

RunRequest RequestOf(const RunParameters& p, const host::Map& map)
{
    RunRequest r;
    r.landCover = layerNamed(p.landCoverLayer, map, "land cover layer");
    r.units = UnitsFromName(p.landCoverUnits);
    r.analysis = layerNamed(p.analysisLayer, map, "analysis layer");
    r.field = p.analysisField;
    r.setName = p.setName;
    r.classes = p.classes;
    if (std::string fault = ClassesFault(r.setName, r.classes); !fault.empty())
        refuse(fault);
    switch (p.populationDensity) {
    case 0:
    case 1:
    case 2: r.density = static_cast<DensityLevel>(p.populationDensity); break;
    case 3:
        r.density = DensityFromText(layerNamed(p.densityLayer, map, "population density layer"), p.densityField,
                                    p.densityHigh, p.densityLow);
        break;
    default: refuse("Population Density option not defined");
    }
    const CoefficientSet set{r.setName, r.classes};
    for (const ScenarioRow& s : p.scenarios)
        if (s.apply)
            r.scenarios.push_back(
                ScenarioOf(s.row, layerNamed(s.layer, map, "development scenario layer"), s.classId, set));
    r.output = p.outputTheme;
    r.layerName = p.outputThemeName;
    if (!p.coverage.empty() && p.coverage != "centre" && p.coverage != "exact")
        refuse("The cell coverage rule '" + p.coverage + "' is not centre or exact");
    r.coverage = p.coverage == "exact" ? Coverage::Exact : Coverage::Centre;
    return r;
}

RunParameters ParametersOf(const ParameterReader& reader)
{
    RunParameters p;
    p.view = reader.Value("VIEW");
    p.landCoverLayer = reader.lcTheme();
    p.landCoverUnits = reader.LCUnits();
    p.analysisLayer = reader.AnalysisTheme();
    p.analysisField = reader.AnalysisFieldName();
    const std::string code = reader.PopulationDensity();
    p.populationDensity = code.size() == 1 && code[0] >= '0' && code[0] <= '3' ? code[0] - '0' : 4;
    p.densityLayer = reader.PopDensityTheme();
    p.densityField = reader.PopDensityFldName();
    p.densityHigh = reader.PopDensityHigh();
    p.densityLow = reader.PopDensityLow();
    p.outputTheme = reader.Value("OUTTHEME");
    p.outputThemeName = reader.OutThemeName();
    p.coverage = reader.Value("COVERAGE");
    p.setName = reader.Value("COEFFSET");
    p.landCoverSource = reader.Value("LCSOURCE");
    p.analysisSource = reader.Value("ANALYSISSOURCE");
    p.densitySource = reader.Value("POPDENSITYSOURCE");
    for (const auto& entry : reader.DevScenarios()) {
        const TextList& s = entry.second;
        const auto n = coefficients::ParseNumber(entry.first);
        auto at = [&](std::size_t i) { return i < s.size() ? s[i] : std::string(); };
        p.scenarios.push_back({n ? static_cast<int>(*n) : 0, true, at(0), at(1), at(2), at(3)});
    }
    for (const auto& entry : reader.LandClasses()) {
        const std::string& id = entry.first;
        const TextList& c = entry.second;
        ClassLine line;
        line.id = classId(id);
        line.name = c.size() > 0 ? c[0] : std::string();
        auto number = [&](std::size_t i) {
            const auto v = i < c.size() ? coefficients::ParseSingle(c[i]) : std::nullopt;
            if (!v)
                refuse("The coefficients of class " + id + " are not numbers");
            return *v;
        };
        line.high = number(1);
        line.medium = number(2);
        line.low = number(3);
        p.classes.push_back(std::move(line));
    }
    return p;
}

}  // namespace halvo::params
