#pragma once
// The zonal tabulation of area as the run reads it: field 0 a row ID, field 1
// the zone, then one column per land-cover class named "VALUE_" + class ID,
// holding the class's area in the zone in square map units.

#include <string>
#include <vector>

namespace halvo::model {

struct TabulationTable {
    std::vector<std::string> fieldNames;
    struct Row {
        long id = 0;
        std::string zone;
        std::vector<double> areas;  // one per class column
    };
    std::vector<Row> rows;

    int fieldCount() const { return static_cast<int>(fieldNames.size()); }
};

}  // namespace halvo::model
