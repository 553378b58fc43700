#include "params/param_writer.h"

#include "coefficients/number_text.h"
#include "support/error_reporting.h"
#include "support/text_file.h"
#include "support/ui.h"

#include <filesystem>

namespace halvo::params {

using coefficients::FormatSingle;

bool WriteParamsToFile(const RunParameters& p, const std::string& workingDirectory, const std::string& fileName)
{
    return support::Guarded("WriteParamsToFile", "basISModelUtil", true, false, [&] {
        if (!std::filesystem::is_directory(workingDirectory)) {
            support::MsgBox("Working directory (" + workingDirectory + ") defined in ArcView project does not exist.");
            return false;
        }
        support::TextWriter out(workingDirectory + "/" + fileName);
        out.line("VIEW#" + p.view);
        out.line("LCTHEME#" + p.landCoverLayer);
        out.line("LCUNITS#" + p.landCoverUnits);
        out.line("ANALYSISTHEME#" + p.analysisLayer);
        out.line("ANALYSISUNIT#" + p.analysisField);
        out.line("POPDENSITY#" + std::to_string(p.populationDensity));
        if (p.populationDensity == 3) {
            out.line("POPDENSITYTHEME#" + p.densityLayer);
            out.line("POPDENSITYFLD#" + p.densityField);
            out.line("POPDENSITYHIGH#" + p.densityHigh);
            out.line("POPDENSITYMED#" + p.densityHigh + "#" + p.densityLow);
            out.line("POPDENSITYLOW#" + p.densityLow);
        }
        out.line("OUTTHEME#" + p.outputTheme);
        out.line("OUTTHEMENAME#" + p.outputThemeName);
        for (const ScenarioRow& s : p.scenarios)
            if (s.apply)
                out.line("DS#" + std::to_string(s.row) + "#" + s.layer + "#" + s.className + "#" + s.classId);
        for (const ClassLine& c : p.classes)
            out.line("CLASS#" + std::to_string(c.id) + "#" + c.name + "#" + FormatSingle(c.high) + "#" +
                     FormatSingle(c.medium) + "#" + FormatSingle(c.low));
        out.finish();
        return true;
    });
}

std::vector<ClassLine> ClassLinesOf(const coefficients::clsISLCDef& set)
{
    std::vector<ClassLine> lines;
    for (const coefficients::clsLCClass& c : set.LCClasses)
        lines.push_back({c.ID, c.LCName, c.LCHigh, c.LCMed, c.LCLow});
    return lines;
}

std::vector<ClassLine> ClassLinesOf(const coefficients::clsISModelProperties& store, std::string_view setName)
{
    const coefficients::clsISLCDef* set = coefficients::FindSet(store, setName);
    return set ? ClassLinesOf(*set) : std::vector<ClassLine>{};
}

}  // namespace halvo::params
