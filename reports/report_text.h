#pragma once
// Text forms of the run's instant and of extent coordinates as they appear in
// the run reports. Fixed English names and "." decimals, whatever the locale.

#include <ctime>
#include <string>

namespace halvo::reports {

// "Saturday December 5, 2026 01:37:05 PM". The weekday is worked out from the
// date, so a `when` that only has its date and time fields set is enough.
std::string LongStamp(const std::tm& when);

// "20261205".
std::string DateStamp(const std::tm& when);

// "1337": 24-hour clock, no separator.
std::string TimeStamp(const std::tm& when);

// A double as the old runtime printed it by default: up to 15 significant
// digits, no trailing zeros, plain notation for exponents -5 < e < 15 and
// "1.5E+15" / "1E-05" otherwise.
std::string DoubleText(double value);

}  // namespace halvo::reports
