#include "support/text_file.h"

#include "support/error_reporting.h"

#include <sstream>

namespace halvo::support {

TextWriter::TextWriter(const std::filesystem::path& path) : path_(path)
{
    out_.open(path, std::ios::binary | std::ios::trunc);
    if (!out_)
        raise(err::kPathNotFound, "Cannot write the file '" + path.string() + "'");
}

TextWriter& TextWriter::line(std::string_view text)
{
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    out_.write("\r\n", 2);
    return *this;
}

void TextWriter::finish()
{
    out_.flush();
    const bool ok = static_cast<bool>(out_);
    out_.close();
    if (!ok || out_.fail())
        raise(err::kFileAccess, "Failed writing the file '" + path_.string() + "'");
}

std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        raise(err::kFileNotFound, "Cannot read the file '" + path.string() + "'");
    std::stringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        raise(err::kFileAccess, "Failed reading the file '" + path.string() + "'");
    return ss.str();
}

std::vector<std::string> SplitLines(std::string_view all)
{
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const char c = all[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(cur));
            cur.clear();
            if (c == '\r' && i + 1 < all.size() && all[i + 1] == '\n')
                ++i;
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty())
        lines.push_back(std::move(cur));
    return lines;
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) { return SplitLines(ReadBytes(path)); }

namespace {
bool validUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 99;
        if (n == 99 || i + n >= s.size() + (n == 0 ? 1 : 0))
            return false;
        if (c == 0xC0 || c == 0xC1 || c > 0xF4)
            return false;
        for (std::size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2)
                return false;
        i += n + 1;
    }
    return true;
}
}  // namespace

std::string ToUtf8(std::string_view bytes) { return validUtf8(bytes) ? std::string(bytes) : FromWindows1252(bytes); }

std::string FromWindows1252(std::string_view bytes)
{
    // 0x80 to 0x9F; the rest of the upper half is Latin-1.
    static constexpr char16_t k80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                         0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const char32_t u = c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : c;
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

}  // namespace halvo::support
