#include "model/legend.h"

#include "host/table.h"
#include "support/error_reporting.h"

#include <pugixml.hpp>

#include <cstdio>

namespace halvo::model {

namespace fs = std::filesystem;

const LegendClass (&LegendClasses())[3]
{
    // The first break is 9.99, so a zone of exactly 10 % falls in the middle class.
    static const LegendClass classes[3] = {
        {9.99, "< 10%", 170, 255, 0},
        {25, "10% - 25%", 255, 255, 190},
        {100, "> 25%", 255, 0, 0},
    };
    return classes;
}

namespace {
void option(pugi::xml_node parent, const char* name, const std::string& value)
{
    auto o = parent.append_child("Option");
    o.append_attribute("name") = name;
    o.append_attribute("type") = "QString";
    o.append_attribute("value") = value.c_str();
}

std::string number(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15f", v);
    return buf;
}
}  // namespace

namespace {
constexpr const char* kLayerNameProperty = "halvo/layerName";
}  // namespace

void WriteLegendStyle(const fs::path& qmlPath, const FieldAliases& aliases, const std::string& layerName)
{
    pugi::xml_document doc;
    doc.append_child(pugi::node_doctype).set_value("qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'");
    auto qgis = doc.append_child("qgis");
    qgis.append_attribute("version") = "3.22.16";
    qgis.append_attribute("styleCategories") = "Symbology|Fields";
    auto renderer = qgis.append_child("renderer-v2");
    renderer.append_attribute("type") = "graduatedSymbol";
    renderer.append_attribute("attr") = "pctIS";
    renderer.append_attribute("graduatedMethod") = "GraduatedColor";
    renderer.append_attribute("symbollevels") = "0";
    renderer.append_attribute("enableorderby") = "0";
    renderer.append_attribute("forceraster") = "0";
    auto ranges = renderer.append_child("ranges");
    auto symbols = renderer.append_child("symbols");
    double lower = 0;
    int i = 0;
    for (const auto& c : LegendClasses()) {
        auto range = ranges.append_child("range");
        range.append_attribute("lower") = number(lower).c_str();
        range.append_attribute("upper") = number(c.upper).c_str();
        range.append_attribute("symbol") = std::to_string(i).c_str();
        range.append_attribute("label") = c.label;
        range.append_attribute("render") = "true";
        lower = c.upper;

        auto symbol = symbols.append_child("symbol");
        symbol.append_attribute("type") = "fill";
        symbol.append_attribute("name") = std::to_string(i).c_str();
        symbol.append_attribute("alpha") = "1";
        symbol.append_attribute("clip_to_extent") = "1";
        symbol.append_attribute("force_rhr") = "0";
        auto layer = symbol.append_child("layer");
        layer.append_attribute("class") = "SimpleFill";
        layer.append_attribute("enabled") = "1";
        layer.append_attribute("locked") = "0";
        layer.append_attribute("pass") = "0";
        auto map = layer.append_child("Option");
        map.append_attribute("type") = "Map";
        option(map, "color", std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ",255");
        option(map, "outline_color", "35,35,35,255");
        option(map, "outline_style", "solid");
        option(map, "outline_width", "0.26");
        option(map, "outline_width_unit", "MM");
        option(map, "style", "solid");
        ++i;
    }
    auto mode = renderer.append_child("mode");
    mode.append_attribute("name") = "manual";
    auto al = qgis.append_child("aliases");
    int index = 0;
    for (const auto& [field, name] : aliases) {
        auto a = al.append_child("alias");
        a.append_attribute("field") = field.c_str();
        a.append_attribute("index") = std::to_string(index++).c_str();
        a.append_attribute("name") = name.c_str();
    }
    if (!layerName.empty()) {
        auto map = qgis.append_child("customproperties").append_child("Option");
        map.append_attribute("type") = "Map";
        option(map, kLayerNameProperty, layerName);
    }
    if (!doc.save_file(qmlPath.c_str(), "  ", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8))
        support::raise(support::err::kFileAccess, "Cannot write the style file '" + qmlPath.string() + "'");
}

std::string RecordedLayerName(const fs::path& shp)
{
    fs::path qml = shp;
    qml.replace_extension(".qml");
    pugi::xml_document doc;
    if (!doc.load_file(qml.c_str()))
        return {};
    for (const auto& o : doc.child("qgis").child("customproperties").child("Option").children("Option"))
        if (std::string(o.attribute("name").value()) == kLayerNameProperty)
            return o.attribute("value").value();
    return {};
}

void WriteLegend(const host::Layer& outputLayer)
{
    const support::Procedure procedure("isUpdateLegend", "clsISExecuteModel");
    fs::path qml = outputLayer.source;
    qml.replace_extension(".qml");
    // QGIS numbers the attribute fields from 0, the object ID and shape left out.
    FieldAliases aliases;
    const auto table = host::Table::Open(outputLayer.source);
    for (int i = 2; i < table.fieldCount(); ++i) {
        const std::string& name = table.field(i).name;
        const auto it = outputLayer.fieldAliases.find(name);
        aliases.emplace_back(name, it != outputLayer.fieldAliases.end() ? it->second : name);
    }
    WriteLegendStyle(qml, aliases, outputLayer.name);
}

}  // namespace halvo::model
