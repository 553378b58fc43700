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

std::vector<std::string> ReadLines(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        raise(err::kFileNotFound, "Cannot read the file '" + path.string() + "'");
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string all = ss.str();
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

std::string ToUtf8(std::string_view bytes)
{
    if (validUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace halvo::support
