#include "params/param_writer.h"

#include "coefficients/number_text.h"
#include "params/param_escape.h"
#include "support/error_reporting.h"
#include "support/text_file.h"
#include "support/ui.h"

#include <filesystem>
#include <initializer_list>

namespace halvo::params {

using coefficients::FormatSingle;

void SaveParameterFile(const RunParameters& p, const std::filesystem::path& file)
{
    // Each line as its key and values; joined by "#" once it is known
    // whether the file must escape its values.
    std::vector<std::vector<std::string>> lines;
    auto line = [&](std::initializer_list<std::string> fields) { lines.emplace_back(fields); };
    line({"VIEW", p.view});
    line({"LCTHEME", p.landCoverLayer});
    line({"LCUNITS", p.landCoverUnits});
    line({"ANALYSISTHEME", p.analysisLayer});
    line({"ANALYSISUNIT", p.analysisField});
    line({"POPDENSITY", std::to_string(p.populationDensity)});
    if (p.populationDensity == 3) {
        line({"POPDENSITYTHEME", p.densityLayer});
        line({"POPDENSITYFLD", p.densityField});
        line({"POPDENSITYHIGH", p.densityHigh});
        line({"POPDENSITYMED", p.densityHigh, p.densityLow});
        line({"POPDENSITYLOW", p.densityLow});
    }
    line({"OUTTHEME", p.outputTheme});
    line({"OUTTHEMENAME", p.outputThemeName});
    // Only an exact-coverage run says so: a default run's file stays as it always was.
    if (p.coverage == "exact")
        line({"COVERAGE", p.coverage});
    // A saved file's sources and set; the run's own record has none.
    for (const auto& [key, value] :
         {std::pair{"COEFFSET", &p.setName}, std::pair{"LCSOURCE", &p.landCoverSource},
          std::pair{"ANALYSISSOURCE", &p.analysisSource}, std::pair{"POPDENSITYSOURCE", &p.densitySource}})
        if (!value->empty())
            line({key, *value});
    for (const ScenarioRow& s : p.scenarios)
        if (s.apply && s.source.empty())
            line({"DS", std::to_string(s.row), s.layer, s.className, s.classId});
        else if (s.apply)
            line({"DS", std::to_string(s.row), s.layer, s.className, s.classId, s.source});
    for (const ClassLine& c : p.classes)
        line(
            {"CLASS", std::to_string(c.id), c.name, FormatSingle(c.high), FormatSingle(c.medium), FormatSingle(c.low)});

    bool escape = false;
    for (const auto& fields : lines)
        for (std::size_t i = 1; i < fields.size() && !escape; ++i)
            escape = NeedsEscape(fields[i]);
    support::TextWriter out(file);
    if (escape)
        out.line(kEscapeLine);
    for (const auto& fields : lines) {
        std::string text = fields[0];
        for (std::size_t i = 1; i < fields.size(); ++i)
            text += "#" + (escape ? EscapeValue(fields[i]) : fields[i]);
        out.line(text);
    }
    out.finish();
}

bool WriteParamsToFile(const RunParameters& p, const std::string& workingDirectory, const std::string& fileName)
{
    const support::Procedure frame("WriteParamsToFile", "basISModelUtil", support::Shown::Here);
    if (!std::filesystem::is_directory(workingDirectory)) {
        support::MsgBox("Working directory (" + workingDirectory + ") defined in ArcView project does not exist.");
        return false;
    }
    SaveParameterFile(p, std::filesystem::path(workingDirectory) / fileName);
    return true;
}

std::vector<ClassLine> ClassLinesOf(const coefficients::CoeffSet& set)
{
    std::vector<ClassLine> lines;
    for (const coefficients::CoverClass& c : set.LCClasses)
        lines.push_back({c.ID, c.LCName, c.LCHigh, c.LCMed, c.LCLow});
    return lines;
}

}  // namespace halvo::params
