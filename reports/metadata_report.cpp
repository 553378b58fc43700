#include "reports/report_tables.h"
#include "reports/report_text.h"
#include "reports/run_reports.h"
#include "support/text_file.h"

#include <initializer_list>
#include <string_view>

namespace halvo::reports {

namespace {

using support::TextWriter;

constexpr std::string_view kVersion = HALVO_VERSION;

// Who made the data set, for the contact elements and the pointers to more
// information. The element names below keep the record's historic spellings.
namespace maker {
constexpr std::string_view kName = "Orvenne";
constexpr std::string_view kWebPage = "https://halvo.example.org/";
constexpr std::string_view kAddress = "100 Main Street, Suite 200";
constexpr std::string_view kCity = "Springfield";
constexpr std::string_view kState = "OH";
constexpr std::string_view kPostalCode = "45501";
constexpr std::string_view kCountry = "USA";
constexpr std::string_view kVoice = "937-555-0100";
constexpr std::string_view kFax = "937-555-0101";
constexpr std::string_view kEmail = "halvo@example.org";
constexpr std::string_view kHours = "Monday to Friday, 9:00 AM to 5:00 PM Eastern Time";
}  // namespace maker

std::string Cat(std::initializer_list<std::string_view> parts)
{
    std::string s;
    for (std::string_view p : parts)
        s.append(p);
    return s;
}

void Identification(TextWriter& out, const ReportInputs& in, const std::string& date, const std::string& time)
{
    out.line("Identification_Information:");
    out.line("  Citation:");
    out.line("    Citation_Information:");
    out.line(Cat({"    Originator: ", maker::kName}));
    out.line("    Publication_Date: " + date);
    out.line("    Title: Percent Impervious Surface Area Coverage");
    out.line("  Description:");
    out.line(Cat({"    Abstract: ", maker::kName, " developed Halvo, a desktop GIS tool, to ",
                  "help managers and planners make a determination about the impact of impervious "
                  "surface coverage on local water quality. Halvo (version ",
                  kVersion,
                  ", a QGIS plugin and a command-line program) "
                  "applies impervious surface coefficients to remotely sensed land cover data to determine "
                  "the total and the percentage of impervious surface area within specified polygons.  Halvo "
                  "can also be used to demonstrate the effects of land cover change on a watershed\xE2\x80\x99s "
                  "imperviousness. This data set illustrates the potential impact to water quality based on "
                  "the percentage impervious surface coverage calculated by Halvo applying the processing and "
                  "parameters described within the process_step section of this metadata. ",
                  "A more detailed description of Halvo is available at ", maker::kWebPage, "."}));
    out.line("   Purpose: This shapefile generated from Halvo indicates the percent area impervious surface "
             "coverage within user defined polygons.");
    out.line("  Time_Period_of_Content:");
    out.line("    Time_Period_Information:");
    out.line("      Single_Date/Time:");
    out.line("        Calendar_Date: " + date);
    out.line("        Time_of_Day: " + time);
    out.line("    Currentness_Reference: " + date);
    out.line("  Status:");
    out.line("    Progress: Complete");
    out.line("    Maintenance_and_Update_Frequency: None planned");
    out.line("  Spatial_Domain:");
    out.line("    Bounding_Coordinates:");
    // Degrees, as the element requires; a layer without a coordinate system
    // leaves them for the user, like the other unknowns of the record.
    const GeographicBounds box = in.bounds.value_or(GeographicBounds{});
    const auto degrees = [&](double value) { return in.bounds ? DoubleText(value) : std::string("<enter value>"); };
    out.line("      West_Bounding_Coordinate: " + degrees(box.west));
    out.line("      East_Bounding_Coordinate: " + degrees(box.east));
    out.line("      North_Bounding_Coordinate: " + degrees(box.north));
    out.line("      South_Bounding_Coordinate: " + degrees(box.south));
    out.line("  Keywords:");
    out.line("    Theme:");
    out.line("      Theme_Keyword_Thesaurus: None");
    out.line("      Theme_Keyword: water quality");
    out.line("      Theme_Keyword: watershed");
    out.line("      Theme_Keyword: impervious surface");
    out.line("      Theme_Keyword: landcover");
    out.line("      Theme_Keyword: GIS spatial analysis");
    out.line("    Place:");
    out.line("      Place_Keyword_Thesaurus: None");
    out.line("      Place_Keyword: United States");
    const std::string basedOn = "Based on the vector data set (" + in.analysisTheme +
                                ") which Halvo used to define the polygons within this data set.";
    out.line("  Access_Constraints: " + basedOn);
    out.line("  Use_Constraints: " + basedOn);
    out.line();
}

void PopulationLines(TextWriter& out, const ReportInputs& in)
{
    const std::string& option = in.populationDensity;
    if (option == "0" || option == "1" || option == "2") {
        const std::string_view level = option == "0" ? "high" : option == "1" ? "medium" : "low";
        out.line(Cat({"         This analysis applied the ", level,
                      " population coefficient to all calculations of impervious surface area."}));
        return;
    }
    out.line("         The population coefficient applied for each impervious surface area calculation was "
             "identified using the value of the " +
             in.densityField + " field within the " + in.densityTheme +
             " theme. The cutoffs for each population density calculation were defined as:");
    out.line("         High >= " + in.densityHigh);
    out.line("         Medium between " + in.densityHigh + " and " + in.densityLow);
    out.line("         Low <= " + in.densityLow);
}

// The maker's postal address, one element a line at the given indent.
void AddressLines(TextWriter& out, const std::string& indent)
{
    out.line(Cat({indent, "Address: ", maker::kAddress}));
    out.line(Cat({indent, "City: ", maker::kCity}));
    out.line(Cat({indent, "State_or_Province: ", maker::kState}));
    out.line(Cat({indent, "Postal_Code: ", maker::kPostalCode}));
    out.line(Cat({indent, "Country: ", maker::kCountry}));
}

void DataQuality(TextWriter& out, const ReportInputs& in, const std::string& date)
{
    const auto& scenarios = detail::TableOrEmpty(in.devScenarios);

    out.line("Data_Quality_Information:");
    out.line("  Logical_Consistency_Report: none");
    // One element, one line.
    std::string completeness;
    for (const std::string& part : in.usage)
        completeness += (completeness.empty() ? "" : "; ") + part;
    out.line("  Completeness_Report: " + (completeness.empty() ? std::string("none") : completeness));
    out.line("  Positional_Accuracy:");
    out.line("    Horizontal_Positional_Accuracy:");
    out.line("      Horizontal_Positional_Accuracy_Report: Based on the vector data set (" + in.analysisTheme +
             ") which Halvo used to define the polygons within this data set.");
    out.line("  Lineage:");
    out.line("    Process_Step:");
    out.line("      Process_Description:");
    out.line(Cat({"        This data set was created using Halvo ", kVersion, in.madeFrom.empty() ? "" : ", run from ",
                  in.madeFrom, "."}));
    out.line("        The tool overlaid the polygon layer " + in.analysisTheme + " on the " + in.landCoverTheme +
             " land cover grid to calculate ");
    out.line("        the total area of each land cover category within each polygon. The impervious surface area "
             "for each land cover category within each polygon was calculated ");
    out.line("        by multiplying the total area for each land cover category within the polygon by the "
             "impervious surface coefficients defined for the land cover category.");
    out.line("        Then analysis field (" + in.analysisField + ") within the analysis theme (" + in.analysisTheme +
             ") defined the grouping of the polygons for aggregating impervious surfave values.");
    // The default rule is the record's own; only the other one is stated.
    if (in.exactCoverage)
        out.line("        Each land cover cell was counted with the share of its area inside the polygon (exact "
                 "coverage).");
    out.line();
    out.line("         The following table lists the impervious coefficients applied to calculate the impervious "
             "surface  area within each polygon.");
    out.line();
    out.line("           Values,ClassName,High,Medium.Low");
    for (const auto& entry : detail::TableOrEmpty(in.landClasses))
        out.line("             " + detail::ClassLine(entry));
    out.line("    ");
    PopulationLines(out, in);
    out.line();
    if (!scenarios.empty()) {
        out.line("    The following change scenarios were applied in the calculation of the impervious surface area.");
        for (const auto& [row, change] : scenarios)
            out.line("      -changed land cover class within " + detail::Item(change, 0) + " theme to " +
                     detail::Item(change, 1) + ".");
        out.line("         These scenarios impacted the impervious surface area calculations by performing a "
                 "virtual reclassification of the land cover grid as defined by each change scenario.");
        out.line("  ");
    }
    if (!in.skippedScenarios.empty()) {
        out.line("    The following change scenarios were not applied.");
        for (const auto& [layer, why] : in.skippedScenarios)
            out.line("      -" + layer + " theme: " + why + ".");
        out.line("  ");
    }
    out.line(Cat({"         More details on Halvo processing are available at ", maker::kWebPage, "."}));
    out.line();
    out.line("      Process_Date: " + date);
    out.line("      Process_Contact:");
    out.line("        Contact_Information:");
    out.line("          Contact_Organiaztion_Primary:");
    out.line(Cat({"            Contact_Organiztion: ", maker::kName}));
    out.line("          Contact_Address:");
    out.line("            Address_Type: mailing and physical address");
    AddressLines(out, "            ");
    out.line(Cat({"          Contact_Voice_Telephone: ", maker::kVoice}));
    out.line();
}

void SpatialReference(TextWriter& out, const ReportInputs& in)
{
    constexpr int kDecimalDegrees = 11;
    out.line("Spatial_Data_Organization_Information:");
    out.line("  Direct_Spatial_Reference_Method: Vector");
    out.line();
    out.line("Spatial_Reference_Information:");
    out.line("  Horizontal_Coordinate_System_Definition:");
    if (in.mapUnits == kDecimalDegrees) {
        out.line("    Geographic:");
        out.line("      Latitude_Resolution: <enter value>");
        out.line("      Longitude_Resolution: <enter value>");
        out.line("      Geographic_Coordinate_Units: <enter value>");
        return;
    }
    out.line("    Planar:");
    out.line("      <enter map projection or grid coordinate system information>");
    out.line("      Planar_Coordinate_Information:");
    out.line("        Planar_Coordinate_Encoding_Method: <enter value>");
    out.line("        Coordinate_Represenstation:");
    out.line("          Abscissa_Resolution: <enter value>");
    out.line("          Ordinate_Resolution: <enter value>");
    out.line("        Planar_Distance_Units: <enter value>");
    out.line();
}

void RangeDomain(TextWriter& out, std::string_view maximum)
{
    out.line("      Atrribute_Definition_Source: Halvo");
    out.line("      Attribute_Domain_Values:");
    out.line("        Range_Domain:             ");
    out.line("          Range_Domain_Minimum: 0");
    out.line(Cat({"          Range_Domain_Maxium: ", maximum}));
}

void YesNoDomain(TextWriter& out, std::string_view value, std::string_view definition)
{
    out.line("        Enumerated_Domain:");
    out.line(Cat({"          Enumerated_Domain_Value: ", value}));
    out.line(Cat({"          Enumerated_Domain_Definition: ", definition}));
    out.line("          Enumerated_Domain_Definition_Source: Halvo");
}

// Output fields are addressed by position: 0 object ID, 1 shape, 2 the
// analysis field, 3 total area, 4 impervious area, 5 percent, 6 completeness.
void Attribute(TextWriter& out, const ReportInputs& in, std::size_t position)
{
    if (position < 2)
        return;
    out.line("    Attribute:");
    out.line("      Attribute_Label: " + in.outputFieldAliases[position]);
    out.line();
    switch (position) {
    case 2:
        out.line("      Attribute_Definition: Analysis field");
        out.line("      Atrribute_Definition_Source: Halvo");
        out.line("      Attribute_Domain_Values:");
        for (const std::string& value : in.analysisValues) {
            out.line("        Enumerated_Domain:");
            out.line("          Enumerated_Domain_Value: " + value);
            out.line("          Enumerated_Domain_Definition: number");
            out.line("          Enumerated_Domain_Definition_Source: Unknown");
        }
        break;
    case 3:
        out.line("      Attribute_Definition: Total Area within polygon defined by the analysis field");
        RangeDomain(out, "9,999,999,999");
        break;
    case 4:
        out.line("      Attribute_Definition: Total impervious surface area as calculated by the Halvo "
                 "within polygon defined by the analysis field");
        RangeDomain(out, "9,999,999,999");
        break;
    case 5:
        out.line("      Attribute_Definition: Percentage impervious surface area as calculated by the Halvo "
                 "within polygon defined by the analysis field");
        RangeDomain(out, "100");
        break;
    case 6:
        out.line("      Attribute_Definition: Indicates if the area calculations are under estimated because "
                 "the land cover grid contained 'no data' values within the polygon defined by the analysis field");
        out.line("      Atrribute_Definition_Source: Halvo");
        out.line("      Attribute_Domain_Values:");
        YesNoDomain(out, "Y", "Y=yes the area calculations are complete");
        YesNoDomain(out, "N", "N=no the area calculations are NOT complete");
        break;
    default: break;  // fields added after the standard ones carry only their label
    }
}

void EntitiesAndAttributes(TextWriter& out, const ReportInputs& in)
{
    out.line("Entity_and_Attribute_Information:");
    out.line("  Detailed_Description:");
    out.line("    Entity_Type:");
    out.line("      Entity_Type_Label: Percent impervious surface area coverage");
    out.line("      Entity_Type_Definition: Percent impervious surface area caverage as calculated by Halvo based "
             "on the process described within the processing step section.");
    out.line(Cat({"      Entity_Type_Definition_Source: ", maker::kName}));
    for (std::size_t position = 0; position < in.outputFieldAliases.size(); ++position)
        Attribute(out, in, position);
    out.line(" ");
}

void MetadataReference(TextWriter& out, const std::string& date)
{
    out.line("Metadata_Reference_Information:");
    out.line("  Metadata_Date: " + date);
    out.line("  Metadata_Contact:");
    out.line("    Contact_Information:");
    out.line(Cat({"      Contact_Organization: ", maker::kName}));
    out.line("    Contact_Address:");
    out.line("      Address_Type: mailing and physical address");
    AddressLines(out, "      ");
    out.line(Cat({"    Contace_Voice_Telephone: ", maker::kVoice}));
    out.line(Cat({"    Contact_Facsimile_Telephone: ", maker::kFax}));
    out.line(Cat({"    Contact_Electronic_Mail_Address: ", maker::kEmail}));
    out.line(Cat({"    Hours_of_Service: ", maker::kHours}));
    out.line("Metadata_Standard_Name: FGDC Content Standards for Digital Geospatial Metadata");
    out.line("Metadata_Standard_Version: FGDC-STD-001-1998");
    out.line("Metadata_Access_Constraints: None");
    out.line("Metadata_Use_Constraints: None");
    out.line("Metadata_Security_Information:");
    out.line("  Metadata_Security_Classification_System: None");
    out.line("  Metadata_Security_Classification: Unclassified");
    out.line("  Metadata_Security_Handling_Description: None.");
}

}  // namespace

void WriteMetadataReport(const std::filesystem::path& path, const ReportInputs& in)
{
    const std::string date = DateStamp(in.when);
    TextWriter out(path);
    Identification(out, in, date, TimeStamp(in.when));
    DataQuality(out, in, date);
    SpatialReference(out, in);
    EntitiesAndAttributes(out, in);
    MetadataReference(out, date);
    out.finish();
}

}  // namespace halvo::reports
