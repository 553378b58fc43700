#include "coefficients/number_text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace halvo::coefficients {

namespace {

// Digits (no leading zeros) and decimal exponent of the first digit, read from
// to_chars scientific output such as "-1.25e+01".
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

Decimal SplitScientific(std::string_view s)
{
    Decimal d;
    std::size_t i = 0;
    if (i < s.size() && s[i] == '-') {
        d.negative = true;
        ++i;
    }
    for (; i < s.size() && s[i] != 'e'; ++i)
        if (s[i] != '.')
            d.digits.push_back(s[i]);
    if (i < s.size()) {
        std::string_view e = s.substr(i + 1);
        if (!e.empty() && e.front() == '+')
            e.remove_prefix(1);
        std::from_chars(e.data(), e.data() + e.size(), d.exponent);
    }
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

std::string ToScientific(float value, int precision)
{
    char buf[64];
    auto r = precision < 0 ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific)
                           : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision);
    return std::string(buf, r.ptr);
}

std::string Render(const Decimal& d)
{
    std::string out = d.negative ? "-" : "";
    const int n = static_cast<int>(d.digits.size());
    if (d.exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        out += d.digits;
    } else if (d.exponent + 1 >= n) {
        out += d.digits;
        out.append(static_cast<std::size_t>(d.exponent + 1 - n), '0');
    } else {
        out.append(d.digits, 0, static_cast<std::size_t>(d.exponent + 1));
        out += '.';
        out.append(d.digits, static_cast<std::size_t>(d.exponent + 1));
    }
    return out;
}

// Checks the grammar ParseNumber promises, so from_chars never sees "inf",
// "nan" or hex forms; returns the text without spaces and a leading "+".
std::optional<std::string_view> NumberBody(std::string_view text)
{
    std::string_view s = TrimSpace(text);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    std::string_view rest = s;
    if (!rest.empty() && rest.front() == '-')
        rest.remove_prefix(1);
    if (rest.empty() || !(std::isdigit(static_cast<unsigned char>(rest.front())) || rest.front() == '.'))
        return std::nullopt;
    return s;
}

template <class T>
std::optional<T> FromChars(std::string_view text)
{
    auto body = NumberBody(text);
    if (!body)
        return std::nullopt;
    T v{};
    auto [ptr, ec] = std::from_chars(body->data(), body->data() + body->size(), v);
    if (ec != std::errc() || ptr != body->data() + body->size())
        return std::nullopt;
    return v;
}

}  // namespace

std::string FormatSingle(float value)
{
    if (value == 0.0f)
        return "0";
    if (!std::isfinite(value)) {
        char buf[16];
        auto r = std::to_chars(buf, buf + sizeof buf, value);
        return std::string(buf, r.ptr);
    }
    Decimal d = SplitScientific(ToScientific(value, -1));
    if (d.digits.size() > 7)
        d = SplitScientific(ToScientific(value, 6));
    return Render(d);
}

std::optional<double> ParseNumber(std::string_view text) { return FromChars<double>(text); }

std::optional<float> ParseSingle(std::string_view text) { return FromChars<float>(text); }

std::optional<std::int32_t> RoundToInt32(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    double whole = std::floor(value);
    const double frac = value - whole;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    if (whole < std::numeric_limits<std::int32_t>::min() || whole > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

std::string_view TrimSpace(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace halvo::coefficients
