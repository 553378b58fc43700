#pragma once
// Text files of the system: UTF-8, CR LF line ends, written whole.

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace halvo::support {

// Writes lines ending in CR LF. `finish` flushes, closes and throws when any
// write failed; the destructor only closes.
class TextWriter {
public:
    explicit TextWriter(const std::filesystem::path& path);
    TextWriter& line(std::string_view text = {});
    void finish();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::ofstream out_;
};

// Reads a text file into lines, accepting CR LF, LF or CR line ends.
// Throws support::Error naming the file when it cannot be read.
std::vector<std::string> ReadLines(const std::filesystem::path& path);

// The bytes of a file whole, without decoding; throws support::Error naming
// the file when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

// Text split at CR LF, LF or CR line ends.
std::vector<std::string> SplitLines(std::string_view text);

// Old files come in the Windows code page of Western Europe and the Americas:
// valid UTF-8 is kept, anything else is taken as Windows-1252 (en dashes and
// curly quotes included) and converted.
std::string ToUtf8(std::string_view bytes);

// Windows-1252 to UTF-8; the five bytes it leaves undefined become the
// control characters of the same number, as Windows reads them.
std::string FromWindows1252(std::string_view bytes);

}  // namespace halvo::support
