#pragma once
// Numbers as they travel in the store, the coefficient files and the parameter
// file: always "." as the separator, whatever the locale.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvo::coefficients {

// The plain decimal text of a single-precision value: the shortest text that
// reads back as the same float, cut to 7 significant digits when it needs more,
// without exponent or trailing zeros ("70", "12.5", "0.25", "0").
std::string FormatSingle(float value);

// A decimal number with optional sign, fraction and exponent; spaces around it
// are allowed. Anything else (empty, "inf", "1,5", "12abc") gives nothing.
std::optional<double> ParseNumber(std::string_view text);

// As ParseNumber, rounded once straight to single precision.
std::optional<float> ParseSingle(std::string_view text);

// Rounds to the nearest integer, halves to even (11.5 -> 12, 12.5 -> 12).
// Gives nothing when the result does not fit in 32 bits.
std::optional<std::int32_t> RoundToInt32(double value);

// Leading and trailing blanks, tabs, CR and LF removed.
std::string_view TrimSpace(std::string_view text);

}  // namespace halvo::coefficients
