#pragma once
// Reading the class and scenario tables the way both reports need them.

#include "reports/report_inputs.h"
#include "support/error_reporting.h"

#include <cstddef>
#include <string>

namespace halvo::reports::detail {

using Table = support::OrderedDict<TextList>;

// The run driver may leave a table out when it has nothing in it.
inline const Table& TableOrEmpty(const Table* table)
{
    static const Table empty;
    return table != nullptr ? *table : empty;
}

// Item `index` of an entry. A short entry means the driver filled the table
// wrongly; that is reported rather than papered over with a blank.
inline const std::string& Item(const TextList& entry, std::size_t index)
{
    constexpr long kSubscriptOutOfRange = 9;
    if (index >= entry.size())
        support::raise(kSubscriptOutOfRange, "Subscript out of range");
    return entry[index];
}

// "key,name,high,medium,low" of a land-class entry.
inline std::string ClassLine(const Table::Entry& entry)
{
    const TextList& v = entry.second;
    return entry.first + "," + Item(v, 0) + "," + Item(v, 1) + "," + Item(v, 2) + "," + Item(v, 3);
}

}  // namespace halvo::reports::detail
