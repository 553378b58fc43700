#include "coefficients/coeff_files.h"

#include "coefficients/model_store.h"
#include "coefficients/number_text.h"
#include "support/error_reporting.h"
#include "support/text_file.h"
#include "support/ui.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <unordered_set>

namespace halvo::coefficients {

namespace {

constexpr std::string_view kModule = "basISModelPropsUtil";
constexpr std::string_view kImportTitle = "Coefficient Import Unsuccessful";
constexpr std::string_view kExpecting =
    "Expecting an ascii comma-separated file containing rows with the following columns "
    "'Value,ClassName,High,Medium,Low'. All fields must be numeric except 'ClassName'.";

struct LineFault {
    std::string_view leadIn;
    std::string_view tail;
};
constexpr LineFault kFieldCount{"Incorrect number of fields detected in your import file ", ". "};
constexpr LineFault kFormat{"Invalid or incorrectly formated data in import file ", ". "};
constexpr LineFault kClassId{"Invalid class ID in the Value column within import file ",
                             ". Class ID must be a positive integer. A class ID is a whole number from 0 to "
                             "2147483647. "};
constexpr LineFault kCoefficient{"Invalid coefficient in import file ",
                                 ". Coefficients must be between 0-100 (inclusive). "};
constexpr LineFault kDuplicateId{"Duplicate class ID in the Value column within import file ", ". "};
constexpr LineFault kClassName{"Invalid class name in the ClassName column within import file ", ". "};
constexpr LineFault kNoClass{"No class in import file ", ". "};
constexpr LineFault kTooLarge{"Import file ", " is too large: at most 1 MiB (1048576 bytes) and 65536 classes. "};

// `detail` says what the line held, where the fault alone would not tell.
void ShowFault(const LineFault& f, const std::string& fileName, std::string_view detail = {})
{
    std::string text(f.leadIn);
    text.append(fileName).append(f.tail).append(detail).append(kExpecting);
    support::MsgBox(text, support::Buttons::OK, support::Icon::Critical, kImportTitle);
}

// A record of a comma-separated file: its fields, unquoted, and the line it starts on.
struct Record {
    std::vector<std::string> fields;
    std::size_t line = 0;
    bool quoted = false;  // a field of it was in quotes
};

// Reads records as RFC 4180 has them: a field that starts with a double quote
// runs to the next lone quote, commas and line breaks included, and two quotes
// in it stand for one; anywhere else a quote is an ordinary character, as in
// the files written before names were quoted. CR LF, LF or CR ends a record.
class CsvReader {
public:
    enum class Got { Record, End, BadQuote };
    explicit CsvReader(std::string_view text) : text_(text) {}

    // BadQuote: a quoted field is never closed, or something other than
    // blanks stands between its closing quote and the comma; r.line is the line.
    Got next(Record& r)
    {
        if (pos_ >= text_.size())
            return Got::End;
        r.fields.assign(1, std::string());
        r.line = line_;
        r.quoted = false;
        bool inQuotes = false, closed = false, fieldStart = true;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (inQuotes) {
                if (c != '"') {
                    if (c == '\n' || (c == '\r' && peek() != '\n'))
                        ++line_;
                    r.fields.back() += c;
                } else if (peek() == '"') {
                    r.fields.back() += '"';
                    ++pos_;
                } else {
                    inQuotes = false;
                    closed = true;
                }
            } else if (c == '\r' || c == '\n') {
                if (c == '\r' && peek() == '\n')
                    ++pos_;
                ++line_;
                return Got::Record;
            } else if (c == ',') {
                r.fields.emplace_back();
                closed = false;
                fieldStart = true;
            } else if (closed) {
                if (c != ' ') {
                    r.line = line_;
                    return Got::BadQuote;
                }
            } else if (c == '"' && fieldStart) {
                inQuotes = r.quoted = true;
                fieldStart = false;
            } else {
                fieldStart = false;
                r.fields.back() += c;
            }
        }
        return inQuotes ? Got::BadQuote : Got::Record;
    }

private:
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

// A field as a reader of RFC 4180 files takes it back.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string_view TrimBlanks(std::string_view s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string Upper(std::string_view s)
{
    std::string u(s);
    std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return u;
}

// The class of one data line, or the fault that stops the import. Fields are
// tested one after another, each completely before the next.
std::optional<CoverClass> ParseLine(const std::vector<std::string>& f, const LineFault*& fault)
{
    const auto id = ParseNumber(f[0]);
    if (!id) {
        fault = &kFormat;
        return std::nullopt;
    }
    const auto whole = RoundToInt32(*id);
    // An ID too large for 32 bits is refused like any other bad class ID.
    if (*id < 0 || *id != std::floor(*id) || !whole) {
        fault = &kClassId;
        return std::nullopt;
    }
    CoverClass c;
    c.ID = *whole;
    c.LCName = std::string(f[1]);
    float* targets[] = {&c.LCHigh, &c.LCMed, &c.LCLow};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto v = ParseNumber(f[2 + i]);
        if (!v) {
            fault = &kFormat;
            return std::nullopt;
        }
        if (*v < 0 || *v > 100) {
            fault = &kCoefficient;
            return std::nullopt;
        }
        // A value too small for single precision reads as 0 rather than failing.
        const auto single = ParseSingle(f[2 + i]);
        *targets[i] = single ? *single : static_cast<float>(*v);
    }
    return c;
}

}  // namespace

std::string ClassNameFault(std::string_view name)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        // U+0080 to U+009F, in UTF-8 C2 80 to C2 9F, are control characters too.
        const bool c1 = c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) < 0xA0;
        if (c < 0x20 || c == 0x7F || c1)
            return "A class name may hold no line break or other control character.";
        // Characters, not bytes: continuation bytes of UTF-8 do not count.
        if ((c & 0xC0) != 0x80)
            ++chars;
    }
    if (chars > kMaxClassNameChars)
        return "A class name may hold at most " + std::to_string(kMaxClassNameChars) + " characters.";
    return {};
}

bool ReadCoeffLines(const std::string& fileName, CoverClasses& classes)
{
    std::error_code ec;
    // Only a regular file: a FIFO or a device would block or never end.
    if (!std::filesystem::is_regular_file(fileName, ec))
        support::raise(support::err::kFileNotFound, "Cannot read the file '" + fileName + "': not a regular file");
    if (std::filesystem::file_size(fileName, ec) > kMaxCoeffFileBytes && !ec) {
        ShowFault(kTooLarge, fileName);
        return false;
    }
    std::unordered_set<std::int32_t> ids;
    for (const CoverClass& c : classes)
        ids.insert(c.ID);
    // Decoded whole: a file is in one encoding, which one line alone may not show.
    std::string text = support::ToUtf8(support::ReadBytes(fileName));
    // Spreadsheets often save with a byte-order mark, which would hide the header.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    CsvReader reader(text);
    Record record;
    bool header = false;
    std::size_t rows = 0;
    for (CsvReader::Got got; (got = reader.next(record)) != CsvReader::Got::End;) {
        const std::string at = "See line " + std::to_string(record.line) + ". ";
        if (got == CsvReader::Got::BadQuote) {
            ShowFault(kFormat, fileName,
                      "Line " + std::to_string(record.line) +
                          ": a field that starts with a double quote must end with one, followed by a comma or the "
                          "line end; a quote inside it is written twice. ");
            return false;
        }
        const auto& fields = record.fields;
        // Spreadsheets and editors leave empty lines, mostly at the end.
        if (fields.size() == 1 && !record.quoted && TrimBlanks(fields[0]).empty())
            continue;
        if (fields.size() != 5) {
            ShowFault(kFieldCount, fileName,
                      "Line " + std::to_string(record.line) + " holds " + std::to_string(fields.size()) +
                          " fields, not 5" +
                          (fields.size() > 5 ? " (a class name with a comma goes in double quotes)" : "") + ". ");
            return false;
        }
        if (Upper(TrimBlanks(fields[0])) == "VALUE") {
            header = true;
            continue;
        }
        const LineFault* fault = nullptr;
        auto c = ParseLine(fields, fault);
        if (!c) {
            ShowFault(*fault, fileName, at);
            return false;
        }
        if (!ids.insert(c->ID).second) {
            ShowFault(kDuplicateId, fileName,
                      "Class ID " + std::to_string(c->ID) + " stands on more than one line; each may stand once. " +
                          at);
            return false;
        }
        if (const std::string why = ClassNameFault(c->LCName); !why.empty()) {
            ShowFault(kClassName, fileName, why + " " + at);
            return false;
        }
        if (++rows > kMaxCoeffRows) {
            ShowFault(kTooLarge, fileName);
            return false;
        }
        classes.Add(std::move(*c));
    }
    // A header alone is an exported set without classes; a file without even that is no coefficient file.
    if (rows == 0 && !header) {
        ShowFault(kNoClass, fileName);
        return false;
    }
    return true;
}

std::string CsvLine(const CoverClass& c)
{
    return std::to_string(c.ID) + "," + CsvField(c.LCName) + "," + FormatSingle(c.LCHigh) + "," +
           FormatSingle(c.LCMed) + "," + FormatSingle(c.LCLow);
}

std::optional<CoeffSet> ReadCoeffsFile(const std::string& fileName, std::string setName)
{
    const support::Procedure frame("ReadCoeffsFile", kModule, support::Shown::Here);
    CoeffSet set;
    set.LCType = std::move(setName);
    if (!ReadCoeffLines(fileName, set.LCClasses))
        return std::nullopt;
    return set;
}

std::string ImportCoeffsFromFile(CoeffStore& model, const std::string& fileName,
                                 const std::filesystem::path& extensionFolder, const TextPrompt& askName)
{
    return support::Guarded("ImportCoeffsFromFile", kModule, true, std::string{}, [&]() -> std::string {
        // The file is read into a set of its own: whatever stops the import
        // leaves the model as it was.
        CoverClasses classes;
        bool read = false;
        for (;;) {
            const std::string name = askName("Enter new Coefficient Set name", "Import", "");
            if (name.empty())
                return {};
            bool taken = FindSet(model, name) != nullptr;
            if (!taken) {
                if (!read && !ReadCoeffLines(fileName, classes))
                    return {};
                read = true;
                // Another writer may have taken the name since the model was read.
                const StoreUpdate saved = UpdateStore(model, extensionFolder, [&](CoeffStore& store) {
                    if (FindSet(store, name)) {
                        taken = true;
                        return false;
                    }
                    CoeffSet& set = store.ISLCDefs.Add();
                    set.LCType = name;
                    set.LCClasses = classes;
                    return true;
                });
                if (saved == StoreUpdate::Saved)
                    return name;
                if (saved == StoreUpdate::Busy)
                    return {};
                if (saved == StoreUpdate::Unreadable) {
                    support::MsgBox(StoreLoadFailedText(extensionFolder), support::Buttons::OK, support::Icon::Critical,
                                    kImportTitle);
                    return {};
                }
                if (saved == StoreUpdate::SaveFailed) {
                    support::MsgBox(StoreSaveFailedText(extensionFolder), support::Buttons::OKCancel,
                                    support::Icon::Critical, kImportTitle);
                    return {};
                }
            }
            support::MsgBox("Coefficient Set name must be unique. Please reenter.", support::Buttons::OK,
                            support::Icon::Exclamation);
        }
    });
}

bool ExportCoeffsToFile(const CoeffStore& model, const std::string& fileName, std::string_view setName)
{
    return support::Guarded("ExportCoeffsToFile", kModule, true, false, [&] {
        support::TextWriter out(fileName);
        out.line(kCoeffHeader);
        if (const CoeffSet* set = FindSet(model, setName)) {
            for (const CoverClass& c : set->LCClasses)
                out.line(CsvLine(c));
        }
        out.finish();
        return true;
    });
}

MergeResult MergeStoreFile(CoeffStore& model, const std::string& fileName, const std::filesystem::path& extensionFolder)
{
    const support::Procedure frame("MergeCoeffsFromFile", kModule, support::Shown::Here);
    MergeResult result;
    CoeffStore other;
    if (!GetISModelProperties(other, fileName)) {
        support::MsgBox("Failed To Load XML - Invalid file format.", support::Buttons::OKCancel,
                        support::Icon::Exclamation);
        return result;
    }
    for (const CoeffSet& loaded : other.ISLCDefs) {
        if (const std::string fault = DuplicateIdFault(loaded); !fault.empty()) {
            support::MsgBox(fault + " Nothing was merged.", support::Buttons::OK, support::Icon::Exclamation);
            return result;
        }
    }
    bool duplicate = false;
    const StoreUpdate saved = UpdateStore(model, extensionFolder, [&](CoeffStore& store) {
        for (const CoeffSet& loaded : other.ISLCDefs) {
            // Until the name is free, so no two sets share a name.
            std::string name = loaded.LCType;
            while (FindSet(store, name)) {
                name += "2";
                duplicate = true;
            }
            CoeffSet& set = store.ISLCDefs.Add(loaded);
            set.LCType = name;
            result.added.push_back(name);
        }
        return true;
    });
    if (saved != StoreUpdate::Saved) {
        result.added.clear();
        if (saved != StoreUpdate::Busy)
            support::MsgBox(saved == StoreUpdate::Unreadable ? StoreLoadFailedText(extensionFolder)
                                                             : StoreSaveFailedText(extensionFolder),
                            support::Buttons::OKCancel, support::Icon::Critical);
        return result;
    }
    if (duplicate)
        support::MsgBox("Coefficient sets were found with the duplicate names. A '2' was appended to the names "
                        "of all duplicates.",
                        support::Buttons::OK, support::Icon::Information);
    result.refused = false;
    return result;
}

std::vector<std::string> MergeCoeffsFromFile(CoeffStore& model, const std::string& fileName,
                                             const std::filesystem::path& extensionFolder)
{
    return MergeStoreFile(model, fileName, extensionFolder).added;
}

}  // namespace halvo::coefficients
