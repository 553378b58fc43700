#include "reports/report_tables.h"
#include "reports/report_text.h"
#include "reports/run_reports.h"
#include "support/text_file.h"

namespace halvo::reports {

void WriteParameterReport(const std::filesystem::path& path, const ReportInputs& in)
{
    using detail::Item;
    const auto& classes = detail::TableOrEmpty(in.landClasses);
    const auto& scenarios = detail::TableOrEmpty(in.devScenarios);

    support::TextWriter out(path);
    out.line("Impervious surface analysis run: " + LongStamp(in.when));
    out.line();
    out.line("  Output Layer Name: " + in.outputThemeName);
    out.line();
    out.line("  Land Cover Layer: " + in.landCoverTheme);
    out.line("  Land Cover Grid Units: " + in.landCoverUnits);
    // The default rule is the report's own; only the other one is stated.
    if (in.exactCoverage)
        out.line("  Cell Coverage: exact share of each cell inside the zone");
    out.line();
    out.line("  Analysis Layer: " + in.analysisTheme);
    out.line("  Analysis Field: " + in.analysisField);
    for (const std::string& line : in.usage)
        out.line("  " + line);
    out.line();
    out.line("  Coefficient Option");
    if (in.populationDensity == "0") {
        out.line("  High population coefficient applied to all analysis");
    } else if (in.populationDensity == "1") {
        out.line("  Medium population coefficient applied to all analysis");
    } else if (in.populationDensity == "2") {
        out.line("  Low population coefficient applied to all analysis");
    } else {
        // Anything else is the per-polygon option, whatever its text.
        out.line("  Population coefficient was identified using the value of the ");
        out.line(" " + in.densityField + " field within the " + in.densityTheme + " theme.");
        out.line("    High >= " + in.densityHigh);
        out.line("    Medium between " + in.densityHigh + " and " + in.densityLow);
        out.line("    Low <= " + in.densityLow);
    }
    out.line();
    out.line("  Coefficients:(Value,ClassName,High,Medium,Low)");
    for (const auto& entry : classes)
        out.line("      " + detail::ClassLine(entry));
    if (!scenarios.empty() || !in.skippedScenarios.empty()) {
        out.line();
        out.line(" Change Scenarios");
        for (const auto& [row, change] : scenarios)
            out.line("  Changed land cover classes within " + Item(change, 0) + " layer to " + Item(change, 1));
        for (const auto& [layer, why] : in.skippedScenarios)
            out.line("  Skipped the scenario of the " + layer + " layer: " + why);
    }
    out.finish();
}

}  // namespace halvo::reports
