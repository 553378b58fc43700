#include "model/table_functions.h"

#include "model/area_fields.h"
#include "model/bas_util.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <algorithm>
#include <unordered_map>

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

std::optional<host::Table> clsISTableFunctions::createDBF(const std::string& tableName, const std::string& zoneField,
                                                          int fieldCount, const TabulationTable& tabulation,
                                                          const fs::path& scratch)
{
    return support::Guarded(
        "createDBF", kModule, false, std::optional<host::Table>{}, [&]() -> std::optional<host::Table> {
            std::vector<std::string> areaNames, isNames;
            for (const auto c : tabulation.classes) {
                const std::string id = std::to_string(c);
                areaNames.push_back(AreaFieldName(id));
                isNames.push_back(ISAreaFieldName(id));
            }
            const fs::path& temp = scratch;
            if (!fs::is_directory(temp)) {
                support::MsgBox("Folder does not exist: \r" + temp.string());
                throw support::Stopped("the scratch folder is missing");
            }
            std::vector<host::FieldDef> fields;
            fields.push_back(CreateFields("OID", "OID", host::kOID, 4, 0, 0));
            fields.push_back(CreateFields(zoneField, zoneField, host::kString, ZoneFieldWidth(tabulation), 0, 0));
            std::size_t a = 0, s = 0;
            for (int i = 2; i < fieldCount; ++i) {
                const bool isArea = (i % 2) == 0;
                const std::string& name = isArea ? areaNames.at(a++) : isNames.at(s++);
                fields.push_back(CreateFields(name, name, host::kDouble, 18, 18, 6));
            }
            return host::Table::CreateDbf(temp / (tableName + ".dbf"), fields);
        });
}

std::optional<host::Table> clsISTableFunctions::CopyTableFormat(const host::Table& table, const std::string& tableName,
                                                                const std::string& zoneField, const fs::path& scratch)
{
    return support::Guarded("CopyTableFormat", kModule, false, std::optional<host::Table>{},
                            [&]() -> std::optional<host::Table> {
                                std::vector<host::FieldDef> fields;
                                for (int i = 0; i < table.fieldCount(); ++i) {
                                    host::FieldDef f = table.field(i);
                                    if (i == 1) {
                                        f.name = zoneField;
                                        f.alias = zoneField;
                                    }
                                    fields.push_back(f);
                                }
                                return host::Table::CreateDbf(scratch / (tableName + ".dbf"), fields);
                            });
}

std::optional<host::Table> clsISTableFunctions::SumTable(host::Table& table, const std::string& tableName,
                                                         const std::string& codedField, const std::string& zoneField,
                                                         const fs::path& scratch)
{
    return support::Guarded(
        "SumTable", kModule, false, std::optional<host::Table>{}, [&]() -> std::optional<host::Table> {
            if (table.findField(codedField) < 0 && table.field(1).name != codedField)
                support::raise(5, "The area table has no field '" + codedField + "'");

            // Sums per base value (the zone without its "#" and digit), in order of
            // first appearance; a base is matched exactly, never as a pattern.
            std::vector<std::string> bases;
            std::unordered_map<std::string, std::size_t> indexOf;
            std::vector<std::vector<double>> sums;
            const int n = table.fieldCount();
            table.search({}, [&](const host::Table::Row& r) {
                const std::string zone = host::ValueText(r.get(1));
                const std::string base = zone.size() >= 2 ? zone.substr(0, zone.size() - 2) : std::string{};
                auto [it, added] = indexOf.emplace(base, bases.size());
                if (added) {
                    bases.push_back(base);
                    sums.emplace_back(static_cast<std::size_t>(n), 0.0);
                }
                auto& s = sums[it->second];
                for (int j = 2; j < n; ++j)
                    s[static_cast<std::size_t>(j)] += host::ValueNumber(r.get(j));
                return true;
            });

            auto out = CopyTableFormat(table, tableName, zoneField, scratch);
            if (!out)
                return std::nullopt;
            auto ins = out->inserter();
            for (std::size_t b = 0; b < bases.size(); ++b) {
                ins.buffer().set(1, bases[b]);
                for (int j = 2; j < n; ++j)
                    ins.buffer().set(j, sums[b][static_cast<std::size_t>(j)]);
                ins.insert();
            }
            ins.finish();
            const fs::path path = out->path();
            out->finish();
            return host::Table::Open(path, true);
        });
}

}  // namespace halvo::model
