// The parameter file reader on any bytes, and the writer/reader pair on any
// values: what the writer puts in, the reader gives back exactly.

#include "fuzz_support.h"

#include "params/param_escape.h"
#include "params/param_writer.h"
#include "params/read_params.h"
#include "support/text_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <utility>

using namespace halvo;
namespace fs = std::filesystem;

namespace {

constexpr const char* kFile = "model_params.txt";

// Reads the file; false when the reader refused a line (it keeps those before).
bool Read(params::ParameterReader& r)
{
    try {
        r.read(fuzz::Extension() / "temp" / kFile);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The reader's tables written back as lines in the file's own layout,
// escaped as the writer would when a value needs it.
std::string Relayout(const params::ParameterReader& r, const std::vector<std::string>& keys)
{
    std::vector<std::vector<std::string>> lines;
    for (const auto& k : keys)
        lines.push_back({k, r.Value(k)});
    auto table = [&](const char* key, const params::TextTable& t) {
        for (const auto& [id, list] : t) {
            std::vector<std::string> line{key, id};
            line.insert(line.end(), list.begin(), list.end());
            lines.push_back(std::move(line));
        }
    };
    table("CLASS", r.LandClasses());
    table("DS", r.DevScenarios());
    bool escape = false;
    for (const auto& line : lines)
        for (std::size_t i = 1; i < line.size(); ++i)
            escape = escape || params::NeedsEscape(line[i]);
    // A first line that would read as the escape line is written escaped.
    if (!lines.empty() && lines[0].size() == 2 && lines[0][0] + "#" + lines[0][1] == params::kEscapeLine)
        escape = true;
    std::string text = escape ? std::string(params::kEscapeLine) + "\r\n" : std::string();
    for (const auto& line : lines) {
        text += line[0];
        for (std::size_t i = 1; i < line.size(); ++i)
            text += "#" + (escape ? params::EscapeValue(line[i]) : line[i]);
        text += "\r\n";
    }
    return text;
}

bool SameTables(const params::TextTable& a, const params::TextTable& b)
{
    if (a.count() != b.count())
        return false;
    auto j = b.begin();
    for (auto i = a.begin(); i != a.end(); ++i, ++j)
        if (i->first != j->first || i->second != j->second)
            return false;
    return true;
}

// Raw bytes as the file. A file the reader took without complaint, laid out
// again from what it read, reads back the same.
void RawFile(std::string_view bytes)
{
    fuzz::WriteBytes(fuzz::Extension() / "temp" / kFile, bytes);
    fuzz::Ui().reset();
    params::ParameterReader first;
    if (!Read(first))
        return;

    std::vector<std::string> keys;
    bool firstLine = true;
    for (const std::string& line : support::ReadLines(fuzz::Extension() / "temp" / kFile)) {
        const std::string utf8 = support::ToUtf8(line);
        if (std::exchange(firstLine, false) && utf8 == params::kEscapeLine)
            continue;
        const std::string key = utf8.substr(0, utf8.find('#'));
        if (key != "CLASS" && key != "DS")
            keys.push_back(key);
    }
    fuzz::WriteBytes(fuzz::Extension() / "temp" / kFile, Relayout(first, keys));
    params::ParameterReader second;
    fuzz::Check(Read(second), "a relaid file reads without complaint");
    for (const auto& k : keys)
        fuzz::Check(first.Value(k) == second.Value(k), "a plain value survives a relayout");
    fuzz::Check(SameTables(first.LandClasses(), second.LandClasses()), "classes survive a relayout");
    fuzz::Check(SameTables(first.DevScenarios(), second.DevScenarios()), "scenarios survive a relayout");
}

void WrittenThenRead(FuzzedDataProvider& in)
{
    params::RunParameters p;
    p.landCoverLayer = in.ConsumeRandomLengthString(40);
    p.landCoverUnits = in.ConsumeBool() ? "Meters" : "Feet";
    p.analysisLayer = in.ConsumeRandomLengthString(40);
    p.analysisField = in.ConsumeRandomLengthString(20);
    p.populationDensity = in.ConsumeIntegralInRange(0, 4);
    p.densityLayer = in.ConsumeRandomLengthString(40);
    p.densityField = in.ConsumeRandomLengthString(20);
    p.densityHigh = in.ConsumeRandomLengthString(10);
    p.densityLow = in.ConsumeRandomLengthString(10);
    p.outputTheme = in.ConsumeRandomLengthString(60);
    p.outputThemeName = in.ConsumeRandomLengthString(40);
    const int scenarios = in.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < scenarios; ++i)
        p.scenarios.push_back({i + 1,
                               in.ConsumeBool(),
                               in.ConsumeRandomLengthString(20),
                               in.ConsumeRandomLengthString(20),
                               std::to_string(in.ConsumeIntegral<std::uint8_t>()),
                               {}});
    const int classes = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < classes; ++i)
        p.classes.push_back({in.ConsumeIntegral<std::int32_t>(), in.ConsumeRandomLengthString(20),
                             in.ConsumeFloatingPoint<float>(), in.ConsumeFloatingPoint<float>(),
                             in.ConsumeFloatingPoint<float>()});

    fuzz::Ui().reset();
    fuzz::Check(params::WriteParamsToFile(p, (fuzz::Extension() / "temp").string(), kFile), "the writer writes");
    params::ParameterReader r;
    const bool read = Read(r);

    // Class IDs are the table's keys: a repeated one stops the reading there.
    bool distinct = true;
    for (std::size_t i = 0; i < p.classes.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            distinct = distinct && p.classes[i].id != p.classes[j].id;
    if (!distinct)
        return;

    // Whatever the values hold, they come back exactly as written.
    fuzz::Check(read, "a written file reads without complaint");
    fuzz::Check(r.lcTheme() == p.landCoverLayer, "the land-cover layer comes back");
    fuzz::Check(r.LCUnits() == p.landCoverUnits, "the units come back");
    fuzz::Check(r.AnalysisTheme() == p.analysisLayer, "the analysis layer comes back");
    fuzz::Check(r.AnalysisFieldName() == p.analysisField, "the analysis field comes back");
    fuzz::Check(r.Value("OUTTHEME") == p.outputTheme, "the output shapefile comes back");
    fuzz::Check(r.OutThemeName() == p.outputThemeName, "the output layer name comes back");
    fuzz::Check(r.PopulationDensity() == std::to_string(p.populationDensity), "the density code comes back");
    if (p.populationDensity == 3) {
        fuzz::Check(r.PopDensityTheme() == p.densityLayer, "the density layer comes back");
        fuzz::Check(r.PopDensityFldName() == p.densityField, "the density field comes back");
        fuzz::Check(r.PopDensityHigh() == p.densityHigh, "the high threshold comes back");
        fuzz::Check(r.PopDensityLow() == p.densityLow, "the low threshold comes back");
    } else {
        fuzz::Check(r.PopDensityTheme().empty() && r.PopDensityHigh().empty() && r.PopDensityLow().empty(),
                    "no density lines without code 3");
    }

    std::size_t applied = 0;
    for (const auto& s : p.scenarios)
        applied += s.apply ? 1 : 0;
    fuzz::Check(r.DevScenarios().count() == applied, "one scenario for each applied row");
    auto row = r.DevScenarios().begin();
    for (const auto& s : p.scenarios)
        if (s.apply) {
            fuzz::Check(row->first == std::to_string(s.row) &&
                            row->second == params::TextList{s.layer, s.className, s.classId},
                        "a scenario comes back");
            ++row;
        }
    fuzz::Check(r.LandClasses().count() == p.classes.size(), "every class line is read");
    std::size_t i = 0;
    for (const auto& [id, list] : r.LandClasses()) {
        const auto& c = p.classes[i++];
        fuzz::Check(id == std::to_string(c.id), "class IDs keep their order");
        fuzz::Check(list.size() == 4 && list[0] == c.name, "a class reads as its name and values");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the mode, so one corpus feeds both.
    if (data[0] == 'W') {
        FuzzedDataProvider in(data + 1, size - 1);
        WrittenThenRead(in);
    } else {
        RawFile(fuzz::AsText(data, size));
    }
    return 0;
}
