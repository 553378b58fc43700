#include "model/table_functions.h"

#include "model/bas_util.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <algorithm>

namespace halvo::model {

namespace fs = std::filesystem;

namespace {
constexpr const char* kModule = "clsISTableFunctions";
constexpr int kZoneWidth = 18;
// dBASE text fields hold at most this many bytes.
constexpr int kMaxTextWidth = 254;
}  // namespace

int ZoneFieldWidth(const TabulationTable& t)
{
    std::size_t longest = 0;
    for (const auto& r : t.rows)
        longest = std::max(longest, r.zone.size());
    return std::clamp(static_cast<int>(longest), kZoneWidth, kMaxTextWidth);
}

std::optional<host::Table> clsISTableFunctions::createDBF(const std::string& strName, const std::string& pFieldName,
                                                          int pFieldCount, const TabulationTable& tTable,
                                                          const fs::path& pWKSP)
{
    return support::Guarded("createDBF", kModule, true, std::optional<host::Table>{}, [&]() -> std::optional<host::Table> {
        std::vector<std::string> areaNames, isNames;
        for (int i = 2; i < tTable.fieldCount(); ++i) {
            const std::string& n = tTable.fieldNames[static_cast<std::size_t>(i)];
            const auto us = n.find('_');
            const std::string id = us == std::string::npos ? std::string{} : n.substr(us + 1);
            areaNames.push_back("area-" + id);
            isNames.push_back("ISarea-" + id);
        }
        const fs::path temp = pWKSP / "temp";
        if (!fs::is_directory(temp)) {
            support::MsgBox("Folder does not exist: \r" + temp.string());
            return std::nullopt;
        }
        std::vector<host::FieldDef> fields;
        fields.push_back(CreateFields("OID", "OID", host::kOID, 4, 0, 0));
        fields.push_back(CreateFields(pFieldName, pFieldName, host::kString, ZoneFieldWidth(tTable), 0, 0));
        std::size_t a = 0, s = 0;
        for (int i = 2; i < pFieldCount; ++i) {
            const bool isArea = (i % 2) == 0;
            const std::string& name = isArea ? areaNames.at(a++) : isNames.at(s++);
            fields.push_back(CreateFields(name, name, host::kDouble, 18, 18, 6));
        }
        return host::Table::CreateDbf(temp / (strName + ".dbf"), fields);
    });
}

}  // namespace halvo::model
