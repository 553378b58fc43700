#pragma once
// The names of the area table's class fields, in one
// place. A land-cover class has a pair of double fields: its land area and
// its impervious area. dBASE allows 10 characters per field name, so:
//
//   class ID text    land area      impervious area
//   up to 3 chars    "area-" + ID   "ISarea-" + ID    (-99 .. 999: the names runs always used)
//   4 to 8 chars     "ar" + ID      "IS" + ID         (e.g. ar65535, IS65535)
//   longer           "arX" + code   "ISX" + code      (code: ID + 2^31 in base 36)
//
// Names stay distinct when compared without case, as dBASE compares them.
// Every stage that makes, finds or sums these fields goes through here.

#include <string>
#include <string_view>

namespace halvo::model {

// The pair of fields of the class whose ID is `classId` (decimal text, as the
// tabulation and the class table write it). Throws support::Error for an ID
// outside -2^31 .. 2^32 - 1, which no coefficient set and no 32-bit raster holds.
std::string AreaFieldName(std::string_view classId);
std::string ISAreaFieldName(std::string_view classId);

// True for a class's land-area field, and for its impervious-area field.
bool IsAreaField(std::string_view fieldName);
bool IsISAreaField(std::string_view fieldName);

}  // namespace halvo::model
