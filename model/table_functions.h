#pragma once
// Area tables of the temporary workspace.

#include "host/table.h"
#include "model/tabulation.h"

#include <filesystem>
#include <optional>
#include <string>

namespace halvo::model {

class clsISTableFunctions {
public:
    // The empty area table: "OID", the zone field, then the pair of fields
    // of each class column (model/area_fields.h).
    std::optional<host::Table> createDBF(const std::string& tableName, const std::string& zoneField, int fieldCount,
                                         const TabulationTable& tabulation, const std::filesystem::path& scratch);

    // Folds density-coded zones ("value#digit") back into one row per value,
    // summing every class field; the zone field is named zoneField.
    std::optional<host::Table> SumTable(host::Table& table, const std::string& tableName, const std::string& codedField,
                                        const std::string& zoneField, const std::filesystem::path& scratch);

private:
    std::optional<host::Table> CopyTableFormat(const host::Table& table, const std::string& tableName,
                                               const std::string& zoneField, const std::filesystem::path& scratch);
};

// Width of the area table's zone field: 18, or the longest zone value.
int ZoneFieldWidth(const TabulationTable& t);

}  // namespace halvo::model
