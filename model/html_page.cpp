#include "model/html_page.h"

#include "host/table.h"
#include "model/legend.h"
#include "reports/html_report.h"
#include "reports/report_files.h"

namespace halvo::model {

namespace {
// The map's grid: fine enough for a full-width screen or a printed page.
constexpr int kMapPixels = 1600;
}  // namespace

void WriteHtmlPage(const std::filesystem::path& shapefile, const std::string& layerName,
                   const std::filesystem::path& parameterReport, const std::filesystem::path& page)
{
    reports::HtmlPage p;
    p.layerName = layerName;
    for (const auto& c : LegendClasses())
        p.classes.push_back({c.upper, c.label});
    auto table = host::Table::Open(shapefile);
    const bool hectares = table.findField("TotHects") >= 0;
    p.areaUnit = hectares ? "ha" : "ac";
    const int zone = table.fieldCount() > 2 ? 2 : -1, total = table.findField(hectares ? "TotHects" : "TotAcres"),
              impervious = table.findField(hectares ? "TotISHec" : "TotISAcr"), percent = table.findField("pctIS"),
              complete = table.findField("Complete");
    if (zone >= 0)
        p.zoneField = table.field(zone).name;
    auto number = [](const host::Table::Row& row, int pos) -> std::optional<double> {
        if (pos < 0)
            return std::nullopt;
        const host::Value v = row.get(pos);
        return host::IsNull(v) ? std::nullopt : std::optional<double>(host::ValueNumber(v));
    };
    table.search({}, [&](const host::Table::Row& row) {
        reports::HtmlZone z;
        z.zone = zone >= 0 ? host::ValueText(row.get(zone)) : std::to_string(row.oid());
        z.total = number(row, total);
        z.impervious = number(row, impervious);
        z.percent = number(row, percent);
        z.complete = complete >= 0 ? host::ValueText(row.get(complete)) : "";
        p.zones.push_back(std::move(z));
        return true;
    });
    p.shapes = host::ReadSvgShapes(shapefile, kMapPixels);
    std::error_code ec;
    if (std::filesystem::exists(parameterReport, ec))
        p.parameters = reports::ReadReport(parameterReport);
    reports::WriteHtmlReport(page, p);
}

}  // namespace halvo::model
