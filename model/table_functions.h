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
    std::optional<host::Table> createDBF(const std::string& strName, const std::string& pFieldName, int pFieldCount,
                                         const TabulationTable& tTable, const std::filesystem::path& pWKSP);

    // Folds density-coded zones ("value#digit") back into one row per value,
    // summing every class field; the zone field is named OldFldName.
    std::optional<host::Table> SumTable(host::Table& pTable, const std::string& TableName, const std::string& FieldName,
                                        const std::string& OldFldName, const std::filesystem::path& pWKSP);

private:
    std::optional<host::Table> CopyTableFormat(const host::Table& pTable, const std::string& TableName,
                                               const std::string& OldFldName, const std::filesystem::path& pWKSP);
};

// Width of the area table's zone field: 18, or the longest zone value.
int ZoneFieldWidth(const TabulationTable& t);

}  // namespace halvo::model
