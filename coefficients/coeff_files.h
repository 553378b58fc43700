#pragma once
// Moving coefficient sets between the store and files the user picks:
// comma-separated text (import, export) and other stores (merge).
// Comma-separated files: "Value,ClassName,High,Medium,Low", one class a line;
// a name with a comma, a quote or a line break stands in double quotes, inner
// quotes doubled (RFC 4180), so every name the store holds can be exported.

#include "coefficients/coefficient_sets.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvo::coefficients {

inline constexpr std::string_view kCoeffHeader = "Value,ClassName,High,Medium,Low";

// Limits no land-cover legend comes near, so that a wrong file is refused
// before it makes the store and every later command slow.
inline constexpr std::uintmax_t kMaxCoeffFileBytes = std::uintmax_t{1} << 20;
inline constexpr std::size_t kMaxCoeffRows = 65536;
inline constexpr std::size_t kMaxClassNameChars = 100;

// Why a class name cannot be kept (a line break or another control character,
// more than kMaxClassNameChars characters); empty when it can.
std::string ClassNameFault(std::string_view name);

// Asks the user for a line of text; returns "" on Cancel.
using TextPrompt =
    std::function<std::string(std::string_view message, std::string_view title, std::string_view defaultText)>;

// Appends the classes of a comma-separated file to `classes`. Empty lines are
// skipped, and so is a header line (first field "Value", any case). At the
// first bad line (a class ID already read, a name ClassNameFault refuses, a
// row past kMaxCoeffRows) it shows that line's message, naming the line; a
// file over kMaxCoeffFileBytes, or one with neither a header nor a class,
// gets one too ("Coefficient Import Unsuccessful") and returns false;
// `fileName` appears in the message as given. A header alone gives no class:
// that is how a set without classes is exported. A file that cannot be read
// throws support::Error.
bool ReadCoeffLines(const std::string& fileName, CoverClasses& classes);

// A set named `setName` read from a comma-separated file, for runs that take
// their coefficients from such a file; nothing after a bad line (message
// shown). An unreadable file throws; the report starts at ReadCoeffsFile.
std::optional<CoeffSet> ReadCoeffsFile(const std::string& fileName, std::string setName);

// Asks for a new, unique set name, reads the file into a new set and adds it
// to the store (UpdateStore: the model then holds the store as saved). Returns
// the new name: empty when nothing was added (Cancel, a bad line, a store that
// cannot be read or saved, or an error, which is reported); the model and the
// store are then as they were.
std::string ImportCoeffsFromFile(CoeffStore& model, const std::string& fileName,
                                 const std::filesystem::path& extensionFolder, const TextPrompt& askName);

// One class as a line of a comma-separated file, without the line end.
std::string CsvLine(const CoverClass& c);

// Writes the header and the classes of the first set named `setName` (the
// header alone when there is none). Errors are reported and give false.
bool ExportCoeffsToFile(const CoeffStore& model, const std::string& fileName, std::string_view setName);

// Appends every set of the store file `fileName` to the store, a taken name
// getting "2" appended until it is free (nothing when a set of the file holds
// a class ID twice) (UpdateStore: the model then holds the store as
// saved). `added` holds the names added, in order; `refused` says a message
// told why nothing was stored. An error throws; the report starts at
// MergeCoeffsFromFile.
struct MergeResult {
    std::vector<std::string> added;
    bool refused = true;
};
MergeResult MergeStoreFile(CoeffStore& model, const std::string& fileName,
                           const std::filesystem::path& extensionFolder);
// The names MergeStoreFile added, for callers that need no more.
std::vector<std::string> MergeCoeffsFromFile(CoeffStore& model, const std::string& fileName,
                                             const std::filesystem::path& extensionFolder);

}  // namespace halvo::coefficients
