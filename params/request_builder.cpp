#include "params/request_builder.h"

#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "coefficients/number_text.h"
#include "params/param_writer.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace halvo::params {

namespace fs = std::filesystem;

void Refuse(const std::string& why) { support::raise(support::err::kInvalidCall, why); }

host::LayerPtr LayerSet::add(const std::string& name, const fs::path& path, const std::string& sourceLayer,
                             host::LayerKind kind)
{
    std::error_code ec;
    for (const auto& l : layers_)
        if (l->kind == kind && l->sourceLayer == sourceLayer && fs::equivalent(l->source, path, ec))
            return l;
    auto l = std::make_shared<host::Layer>();
    l->name = name;
    for (int k = 2; std::any_of(layers_.begin(), layers_.end(), [&](const auto& e) { return e->name == l->name; }); ++k)
        l->name = name + "_" + std::to_string(k);
    l->kind = kind;
    l->source = path;
    l->sourceLayer = sourceLayer;
    layers_.push_back(l);
    return l;
}

std::string ClassesFault(const std::string& setName, const std::vector<ClassLine>& classes)
{
    if (classes.empty())
        return "The coefficient set '" + setName + "' holds no class";
    std::set<long> ids;
    for (const auto& c : classes)
        if (!ids.insert(c.id).second)
            return "The coefficient set '" + setName + "' gives the class " + std::to_string(c.id) +
                   " twice: keep one row of it";
    for (const auto& c : classes)
        if (std::string fault = coefficients::CoefficientFault(setName, c.id, c.name, c.high, c.medium, c.low);
            !fault.empty())
            return fault;
    return {};
}

CoefficientSet StoredSet(const fs::path& ext, const std::string& name)
{
    coefficients::CoeffStore store;
    const fs::path storePath = support::StorePath(ext);
    if (!coefficients::GetISModelProperties(store, storePath))
        Refuse("Failed To Load XML - verify the file 'isprops.xml' is located in the '" + ext.string() +
               "/etc/isprops.xml'.");
    if (store.ISLCDefs.Count() == 0)
        Refuse("The coefficient store '" + storePath.string() + "' holds no coefficient set");
    CoefficientSet chosen;
    chosen.name = name.empty() ? store.ISLCDefs.Item(1).LCType : name;
    const auto* set = coefficients::FindSet(store, chosen.name);
    if (!set) {
        std::string names;
        for (const auto& s : store.ISLCDefs)
            names += (names.empty() ? "" : ", ") + s.LCType;
        Refuse("There is no coefficient set '" + chosen.name + "' in '" + storePath.string() + "' (sets: " + names +
               ")");
    }
    chosen.classes = ClassLinesOf(*set);
    if (std::string fault = ClassesFault(chosen.name, chosen.classes); !fault.empty())
        Refuse(fault);
    return chosen;
}

CoefficientSet SetFromFile(const fs::path& file)
{
    if (::access(file.c_str(), R_OK) != 0)
        Refuse("The coefficient file '" + file.string() + "' cannot be read");
    CoefficientSet chosen;
    chosen.name = file.stem().string();
    const auto set = coefficients::ReadCoeffsFile(file.string(), chosen.name);
    if (!set)
        throw support::Stopped("the coefficient file '" + file.string() + "' was refused");
    chosen.classes = ClassLinesOf(*set);
    if (std::string fault = ClassesFault(chosen.name, chosen.classes); !fault.empty())
        Refuse(fault);
    return chosen;
}

void SetCoefficients(RunRequest& request, CoefficientSet set)
{
    request.setName = std::move(set.name);
    request.classes = std::move(set.classes);
}

DensityLevel DensityLevelNamed(std::string_view name)
{
    if (name == "high")
        return DensityLevel::High;
    if (name == "low")
        return DensityLevel::Low;
    if (name.empty() || name == "medium")
        return DensityLevel::Medium;
    Refuse("The population density level '" + std::string(name) + "' is not high, medium or low");
}

std::string ThresholdsFault(double high, double low)
{
    if (!std::isfinite(high) || !std::isfinite(low))
        return "The density thresholds must be numbers";
    if (high < low)
        return "Population density \"Low\" value must be less than the \"High\" value.";
    return {};
}

DensityLayer DensityFromText(host::LayerPtr layer, std::string field, const std::string& high, const std::string& low)
{
    if (!layer)
        Refuse("Density from a layer needs the population density layer");
    if (field.empty())
        Refuse("Density from a layer needs the density field of '" + layer->name + "'");
    auto threshold = [](const std::string& text, const char* name) {
        if (text.empty())
            Refuse(std::string("Density from a layer needs the ") + name);
        const auto v = coefficients::ParseNumber(text);
        if (!v || !std::isfinite(*v))
            Refuse(std::string("The ") + name + " '" + text +
                   "' is not a number: give a plain number such as 500 or 12.5");
        return *v;
    };
    DensityLayer d;
    d.layer = std::move(layer);
    d.field = std::move(field);
    d.highText = high;
    d.lowText = low;
    d.high = threshold(high, "High density threshold");
    d.low = threshold(low, "Low density threshold");
    if (std::string fault = ThresholdsFault(d.high, d.low); !fault.empty())
        Refuse(fault);
    return d;
}

Scenario ScenarioOf(int row, host::LayerPtr layer, const std::string& classText, const CoefficientSet& set)
{
    if (!layer)
        Refuse("The development scenario " + std::to_string(row) + " has no layer");
    for (const auto& c : set.classes)
        if (std::to_string(c.id) == classText || c.name == classText)
            return {row, std::move(layer), c.id, c.name};
    Refuse("The coefficient set '" + set.name + "' has no class '" + classText + "' (development scenario " +
           std::to_string(row) + ")");
}

}  // namespace halvo::params
