#include "reports/report_text.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace halvo::reports {

namespace {

constexpr std::array<std::string_view, 7> kWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 12> kMonths = {"January",   "February", "March",    "April",
                                                      "May",       "June",     "July",     "August",
                                                      "September", "October",  "November", "December"};

std::string TwoDigits(int n)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

}  // namespace

std::string LongStamp(const std::tm& when)
{
    using namespace std::chrono;
    const year_month_day date{year{when.tm_year + 1900}, month{static_cast<unsigned>(when.tm_mon + 1)},
                              day{static_cast<unsigned>(when.tm_mday)}};
    const unsigned weekdayIndex = weekday{sys_days{date}}.c_encoding();
    const int hour12 = when.tm_hour % 12 == 0 ? 12 : when.tm_hour % 12;

    std::string s;
    s.append(kWeekdays[weekdayIndex]).append(" ");
    s.append(kMonths[static_cast<std::size_t>(when.tm_mon) % 12]).append(" ");
    s.append(std::to_string(when.tm_mday)).append(", ");
    s.append(std::to_string(when.tm_year + 1900)).append(" ");
    s.append(TwoDigits(hour12)).append(":").append(TwoDigits(when.tm_min)).append(":");
    s.append(TwoDigits(when.tm_sec)).append(when.tm_hour < 12 ? " AM" : " PM");
    return s;
}

std::string DateStamp(const std::tm& when)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", when.tm_year + 1900, when.tm_mon + 1, when.tm_mday);
    return buf;
}

std::string TimeStamp(const std::tm& when) { return TwoDigits(when.tm_hour) + TwoDigits(when.tm_min); }

std::string DoubleText(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0)
        return "0";

    // Round to 15 significant digits first; the exponent can move on rounding
    // (9.99999999999999951 becomes 1E+01), so read it from the rounded form.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    const std::string_view sci(buf);
    const std::size_t ePos = sci.find('e');
    const bool negative = sci.front() == '-';
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (c >= '0' && c <= '9')
            digits.push_back(c);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::atoi(buf + ePos + 1);

    std::string out = negative ? "-" : "";
    if (exponent >= 15 || exponent < -4) {
        out += digits.front();
        if (digits.size() > 1)
            out.append(".").append(digits, 1);
        char expBuf[16];
        std::snprintf(expBuf, sizeof expBuf, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        return out + expBuf;
    }
    if (exponent < 0) {
        out.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
        return out;
    }
    const auto intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits)
        return out.append(digits).append(intDigits - digits.size(), '0');
    return out.append(digits, 0, intDigits).append(".").append(digits, intDigits);
}

}  // namespace halvo::reports
