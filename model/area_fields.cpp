#include "model/area_fields.h"

#include "support/error_reporting.h"

#include <charconv>
#include <cstdint>

namespace halvo::model {

namespace {

// The part of a name after its prefix: "ID" for the short and long forms,
// "X" + code for the widest IDs.
std::string suffixOf(std::string_view classId)
{
    if (classId.size() <= 8)
        return std::string(classId);
    long long id = 0;
    const auto r = std::from_chars(classId.data(), classId.data() + classId.size(), id);
    constexpr long long kLow = -(1LL << 31), kHigh = (1LL << 32) - 1;
    if (r.ec != std::errc() || r.ptr != classId.data() + classId.size() || id < kLow || id > kHigh)
        support::raise(support::err::kInvalidCall,
                       "The land-cover class " + std::string(classId) + " is outside the class IDs a run can hold");
    auto v = static_cast<std::uint64_t>(id - kLow);  // 0 .. 3 × 2^31: at most 7 base-36 digits
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[v % 36]);
        v /= 36;
    } while (v != 0);
    return "X" + digits;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// A long-form suffix starts with a digit, a minus sign or "X".
bool longForm(std::string_view name, std::string_view prefix)
{
    if (!startsWith(name, prefix) || name.size() <= prefix.size())
        return false;
    const char c = name[prefix.size()];
    return (c >= '0' && c <= '9') || c == '-' || c == 'X';
}

}  // namespace

std::string AreaFieldName(std::string_view classId)
{
    if (classId.size() <= 3)
        return "area-" + std::string(classId);
    return "ar" + suffixOf(classId);
}

std::string ISAreaFieldName(std::string_view classId)
{
    if (classId.size() <= 3)
        return "ISarea-" + std::string(classId);
    return "IS" + suffixOf(classId);
}

bool IsAreaField(std::string_view fieldName)
{
    // The old names are told by the prefix "area"; the long forms by theirs.
    return startsWith(fieldName, "area") || longForm(fieldName, "ar");
}

bool IsISAreaField(std::string_view fieldName) { return startsWith(fieldName, "ISarea") || longForm(fieldName, "IS"); }

}  // namespace halvo::model
