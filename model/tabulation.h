#pragma once
// The zonal tabulation of area as the run reads it: per zone, one area per
// land-cover class, in square map units.

#include <cstdint>
#include <string>
#include <vector>

namespace halvo::model {

struct TabulationTable {
    std::vector<std::int64_t> classes;  // ascending; one area per class in each row
    struct Row {
        long id = 0;
        std::string zone;
        std::vector<double> areas;  // one per class column
    };
    std::vector<Row> rows;

    // As a table: a row ID, the zone, then one column per class.
    int fieldCount() const { return static_cast<int>(classes.size()) + 2; }
};

}  // namespace halvo::model
