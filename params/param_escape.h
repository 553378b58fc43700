#pragma once
// What the parameter file cannot hold as it is: its separator "#", line
// breaks and other control characters, and text that is not UTF-8 (the
// reader would take the whole line as Latin-1). A file whose values hold any
// of these starts with the line kEscapeLine, and in such a file every value
// writes "%", those characters and the bytes of non-UTF-8 text as "%" and two
// hex digits. A file without that first line is read as it always was, so
// files of earlier versions (where "%" is plain text) read the same.

#include <string>
#include <string_view>

namespace halvo::params {

inline constexpr std::string_view kEscapeLine = "ESCAPE#%";

// True when `value` cannot be written as it is.
bool NeedsEscape(std::string_view value);

// `value` as an escaped file writes it.
std::string EscapeValue(std::string_view value);

// The value an escaped file's field stands for; throws support::Error on a
// "%" that is not followed by two hex digits.
std::string UnescapeValue(std::string_view field);

}  // namespace halvo::params
