// The run reports with names and values of any bytes: both writers finish,
// every value reaches its report byte for byte, and the report reader gives
// back valid text.

#include "fuzz_support.h"

#include "reports/report_files.h"
#include "reports/run_reports.h"
#include "support/error_reporting.h"
#include "support/text_file.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace halvo;
namespace fs = std::filesystem;

namespace {

std::string Text(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(48); }

bool Holds(const std::string& file, const std::string& value) { return file.find(value) != std::string::npos; }

void CheckReader(const fs::path& path, const std::string& bytes)
{
    const std::string text = reports::ReadReport(path);
    fuzz::Check(support::ToUtf8(text) == text, "a report reads as valid UTF-8");
    if (support::ToUtf8(bytes) == bytes)
        fuzz::Check(text == bytes, "a UTF-8 report reads back unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    reports::ReportInputs r;
    r.outputThemeName = Text(in);
    r.landCoverTheme = Text(in);
    r.landCoverUnits = Text(in);
    r.analysisTheme = Text(in);
    r.analysisField = Text(in);
    r.populationDensity = in.ConsumeBool() ? std::to_string(in.ConsumeIntegralInRange(0, 4)) : Text(in);
    r.densityTheme = Text(in);
    r.densityField = Text(in);
    r.densityHigh = Text(in);
    r.densityLow = Text(in);
    support::OrderedDict<reports::TextList> classes, scenarios;
    for (int i = in.ConsumeIntegralInRange(0, 4); i > 0; --i) {
        std::string key = Text(in);
        if (!classes.exists(key))
            classes.add(key, {Text(in), Text(in), Text(in), Text(in)});
    }
    for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i) {
        std::string key = Text(in);
        if (!scenarios.exists(key))
            scenarios.add(key, {Text(in), Text(in), Text(in)});
    }
    r.landClasses = in.ConsumeBool() ? &classes : nullptr;
    r.devScenarios = in.ConsumeBool() ? &scenarios : nullptr;
    if (in.ConsumeBool())
        r.bounds = reports::GeographicBounds{in.ConsumeFloatingPoint<double>(), in.ConsumeFloatingPoint<double>(),
                                             in.ConsumeFloatingPoint<double>(), in.ConsumeFloatingPoint<double>()};
    r.mapUnits = in.PickValueInArray({3, 9, 11, in.ConsumeIntegral<int>()});
    for (int i = in.ConsumeIntegralInRange(0, 9); i > 0; --i)
        r.outputFieldAliases.push_back(Text(in));
    for (int i = in.ConsumeIntegralInRange(0, 5); i > 0; --i)
        r.analysisValues.push_back(Text(in));
    // Any instant a clock can show.
    r.when.tm_year = in.ConsumeIntegralInRange(0, 8099);
    r.when.tm_mon = in.ConsumeIntegralInRange(0, 11);
    r.when.tm_mday = in.ConsumeIntegralInRange(1, 28);
    r.when.tm_hour = in.ConsumeIntegralInRange(0, 23);
    r.when.tm_min = in.ConsumeIntegralInRange(0, 59);
    r.when.tm_sec = in.ConsumeIntegralInRange(0, 60);

    const fs::path prm = fuzz::Scratch() / "run.prm", met = fuzz::Scratch() / "run.met";
    reports::WriteParameterReport(prm, r);
    reports::WriteMetadataReport(met, r);
    const std::string p = fuzz::ReadBytes(prm), m = fuzz::ReadBytes(met);
    fuzz::Check(p.size() >= 2 && p.compare(p.size() - 2, 2, "\r\n") == 0, "the parameter report ends its last line");
    fuzz::Check(m.size() >= 2 && m.compare(m.size() - 2, 2, "\r\n") == 0, "the metadata record ends its last line");

    for (const std::string* v :
         {&r.outputThemeName, &r.landCoverTheme, &r.landCoverUnits, &r.analysisTheme, &r.analysisField})
        fuzz::Check(Holds(p, *v), "the parameter report holds each name as given");
    for (const std::string* v : {&r.landCoverTheme, &r.analysisTheme, &r.analysisField})
        fuzz::Check(Holds(m, *v), "the metadata record holds each name as given");
    const bool fixed = r.populationDensity == "0" || r.populationDensity == "1" || r.populationDensity == "2";
    if (!fixed)
        for (const std::string* v : {&r.densityTheme, &r.densityField, &r.densityHigh, &r.densityLow})
            fuzz::Check(Holds(p, *v) && Holds(m, *v), "both reports hold the density settings as given");
    if (r.landClasses)
        for (const auto& [id, c] : classes) {
            const std::string line = id + "," + c[0] + "," + c[1] + "," + c[2] + "," + c[3];
            fuzz::Check(Holds(p, line) && Holds(m, line), "both reports hold each class line");
        }
    if (r.devScenarios)
        for (const auto& [row, s] : scenarios)
            fuzz::Check(Holds(p, s[0]) && Holds(p, s[1]) && Holds(m, s[0]) && Holds(m, s[1]),
                        "both reports hold each scenario");
    for (std::size_t i = 2; i < r.outputFieldAliases.size(); ++i)
        fuzz::Check(Holds(m, "Attribute_Label: " + r.outputFieldAliases[i]), "the record labels each field");
    if (r.outputFieldAliases.size() > 2)
        for (const std::string& v : r.analysisValues)
            fuzz::Check(Holds(m, "Enumerated_Domain_Value: " + v), "the record lists each analysis value");

    CheckReader(prm, p);
    CheckReader(met, m);
    return 0;
}
