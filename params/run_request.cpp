#include "params/run_request.h"

#include "coefficients/number_text.h"
#include "params/read_params.h"
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

double threshold(const std::string& text, const std::string& name)
{
    const auto v = coefficients::ParseNumber(text);
    if (!v)
        refuse("The " + name + " '" + text + "' is not a number: give a plain number such as 500 or 12.5");
    return *v;
}

long classId(const std::string& text)
{
    const auto v = coefficients::ParseNumber(text);
    if (!v || *v != static_cast<double>(static_cast<long>(*v)))
        refuse("The class ID '" + text + "' is not a whole number");
    return static_cast<long>(*v);
}

}  // namespace

DensityLayer DensityFromText(host::LayerPtr layer, std::string field, const std::string& high, const std::string& low,
                             const std::string& highName, const std::string& lowName)
{
    DensityLayer d;
    d.layer = std::move(layer);
    d.field = std::move(field);
    d.highText = high;
    d.lowText = low;
    d.high = threshold(high, highName);
    d.low = threshold(low, lowName);
    return d;
}

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
            {s.row, true, s.layer ? s.layer->name : std::string(), s.className, std::to_string(s.classId)});
    p.classes = r.classes;
    return p;
}

RunRequest RequestOf(const RunParameters& p, const host::Map& map)
{
    RunRequest r;
    r.landCover = layerNamed(p.landCoverLayer, map, "land cover layer");
    r.units = UnitsFromName(p.landCoverUnits);
    r.analysis = layerNamed(p.analysisLayer, map, "analysis layer");
    r.field = p.analysisField;
    r.classes = p.classes;
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
    for (const ScenarioRow& s : p.scenarios)
        if (s.apply)
            r.scenarios.push_back(
                {s.row, layerNamed(s.layer, map, "development scenario layer"), classId(s.classId), s.className});
    r.output = p.outputTheme;
    r.layerName = p.outputThemeName;
    if (!p.coverage.empty() && p.coverage != "centre" && p.coverage != "exact")
        refuse("The cell coverage rule '" + p.coverage + "' is not centre or exact");
    r.coverage = p.coverage == "exact" ? Coverage::Exact : Coverage::Centre;
    return r;
}

RunParameters ParametersOf(const clsReadParams& reader)
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
    for (const auto& [row, s] : reader.DevScenarios()) {
        const auto n = coefficients::ParseNumber(row);
        p.scenarios.push_back({n ? static_cast<int>(*n) : 0, true, s.size() > 0 ? s[0] : std::string(),
                               s.size() > 1 ? s[1] : std::string(), s.size() > 2 ? s[2] : std::string()});
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
