#pragma once
// The run's page for people without a GIS: the zones on a map coloured in
// the legend's classes, a table of their figures, a chart of pctIS against
// the class breaks, and the run's parameters. One self-contained file that
// needs no network; scripts only sort the table and show a zone's figures.

#include "host/svg_shapes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace halvo::reports {

struct HtmlZone {
    std::string zone;
    std::optional<double> total, impervious, percent;  // none when no cell counted
    std::string complete;                              // "Y", "N" or ""
};

struct HtmlClass {
    double upper;  // inclusive upper break of pctIS
    std::string label;
};

struct HtmlPage {
    std::string layerName;
    std::string zoneField;
    std::string areaUnit;            // "ha" or "ac"
    std::vector<HtmlZone> zones;     // in feature order
    host::SvgShapes shapes;          // paths in the same order
    std::vector<HtmlClass> classes;  // lowest first
    std::string parameters;          // the .prm's text; empty when there is none
};

// The page's text (UTF-8, LF line ends as the web has them).
std::string HtmlReport(const HtmlPage& page);

// Whether the file at `path` is a page this writer made (it says so in its head).
bool IsHtmlReport(const std::filesystem::path& path);

// Writes the page to `path` through a file beside it renamed into place, so
// a page already there is replaced whole or not at all. Throws support::Error
// naming the file.
void WriteHtmlReport(const std::filesystem::path& path, const HtmlPage& page);

}  // namespace halvo::reports
