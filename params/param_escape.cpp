#include "params/param_escape.h"

#include "support/error_reporting.h"
#include "support/text_file.h"

namespace halvo::params {

namespace {
bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isUtf8(std::string_view v) { return support::ToUtf8(v) == v; }
}  // namespace

bool NeedsEscape(std::string_view value)
{
    for (char ch : value)
        if (ch == '#' || isControl(static_cast<unsigned char>(ch)))
            return true;
    return !isUtf8(value);
}

std::string EscapeValue(std::string_view value)
{
    // UTF-8 text keeps its letters; other 8-bit text is escaped byte by byte.
    const bool utf8 = isUtf8(value);
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '%' || ch == '#' || isControl(c) || (c >= 0x80 && !utf8)) {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xF]);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

std::string UnescapeValue(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out.push_back(field[i]);
            continue;
        }
        if (i + 2 >= field.size() || hexDigit(field[i + 1]) < 0 || hexDigit(field[i + 2]) < 0)
            support::raise(support::err::kInvalidCall,
                           "Invalid escape in the parameter value '" + std::string(field) + "'");
        out.push_back(static_cast<char>(hexDigit(field[i + 1]) * 16 + hexDigit(field[i + 2])));
        i += 2;
    }
    return out;
}

}  // namespace halvo::params
