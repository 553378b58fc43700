// The output's display names: the .met Attribute_Label lines and the .qml
// aliases say what the fields hold, on a run of the real Third Fork catchments.

#include "support/run_case.h"

#include <gtest/gtest.h>

using namespace halvo::test;
namespace fs = std::filesystem;

namespace {
void ExpectLabels(const std::string& units, const char* total, const char* totalIs, const char* totalField,
                  const char* totalIsField)
{
    const fs::path dir = SharedData() / "durham-thirdfork";
    HALVO_REQUIRE_SHARED_DATA("durham-thirdfork/NLCD.tif");
    RunCase rc;
    const auto out = rc.data() / "tf.shp";
    const auto r = rc.cli(
        "run --landcover " + (dir / "NLCD.tif").string() + " --analysis " + (dir / "Third_ForkCats.shp").string() +
        " --field FEATUREID --coefficients NLCD --density medium --yes --units " + units + " --output " + out.string());
    ASSERT_EQ(r.status, 0) << r.err;

    const std::string met = ReadFile(rc.data() / "tf.met");
    const std::string labels = "    Attribute:\r\n      Attribute_Label: FEATUREID\r\n\r\n";
    EXPECT_NE(met.find(labels), std::string::npos) << met;
    for (const std::string label : {total, totalIs, "pctIS", "Complete"})
        EXPECT_NE(met.find("    Attribute:\r\n      Attribute_Label: " + label + "\r\n\r\n"), std::string::npos)
            << label;
    EXPECT_EQ(met.find(std::string("Attribute_Label: ") + totalField + "\r\n"), std::string::npos);
    EXPECT_EQ(met.find(std::string("Attribute_Label: ") + totalIsField + "\r\n"), std::string::npos);

    const std::string qml = ReadFile(rc.data() / "tf.qml");
    EXPECT_NE(qml.find(std::string("field=\"") + totalField + "\" index=\"1\" name=\"" + total + "\""),
              std::string::npos)
        << qml;
    EXPECT_NE(qml.find(std::string("field=\"") + totalIsField + "\" index=\"2\" name=\"" + totalIs + "\""),
              std::string::npos)
        << qml;
}
}  // namespace

TEST(OutputLabels, HectaresOnTheRealCatchments)
{
    ExpectLabels("Meters", "TotalHectares", "TotalISHectares", "TotHects", "TotISHec");
}

TEST(OutputLabels, AcresOnTheRealCatchments)
{
    ExpectLabels("Feet", "TotalAcres", "TotalISAcres", "TotAcres", "TotISAcr");
}
