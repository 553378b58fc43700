#include "coefficients/model_store.h"
#include "coefficients/number_text.h"
#include "support/error_reporting.h"

#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <tuple>

using namespace halvo::coefficients;
using halvo::test::ReadFile;
using halvo::test::ScriptedUi;
using halvo::test::TempExtension;
namespace fs = std::filesystem;

namespace {
CoverClass Class(std::int32_t id, std::string name, float h, float m, float l)
{
    CoverClass c;
    std::tie(c.ID, c.LCName, c.LCHigh, c.LCMed, c.LCLow) = std::make_tuple(id, std::move(name), h, m, l);
    return c;
}

std::string Store(const TempExtension& ext) { return ReadFile(ext / "etc/isprops.xml"); }

// What etc/ holds: a save leaves no scratch file behind.
std::vector<std::string> EtcFiles(const TempExtension& ext)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(ext / "etc"))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
}  // namespace

TEST(NumberText, CoefficientsAreShortPlainDecimalsAndIdsRoundHalfToEven)
{
    EXPECT_EQ(FormatSingle(70.0f), "70");
    EXPECT_EQ(FormatSingle(12.5f), "12.5");
    EXPECT_EQ(FormatSingle(0.25f), "0.25");
    EXPECT_EQ(FormatSingle(-0.0f), "0");
    EXPECT_EQ(FormatSingle(1.0f / 3.0f), "0.3333333");  // needs 9 digits to round-trip; cut to 7
    EXPECT_EQ(FormatSingle(0.00001f), "0.00001");
    EXPECT_EQ(FormatSingle(12345678.0f), "12345680");
    EXPECT_EQ(RoundToInt32(11.5), 12);
    EXPECT_EQ(RoundToInt32(12.5), 12);
    EXPECT_FALSE(RoundToInt32(3e9));
    EXPECT_EQ(ParseNumber(" +12.5 "), 12.5);
    for (const char* bad : {"", "inf", "nan", "1,5", "12abc", "0x10"})
        EXPECT_FALSE(ParseNumber(bad)) << bad;
}

TEST(Store, IsSavedInTheExactIndentedLayoutWithNoScratchFileLeft)
{
    TempExtension ext;
    CoeffStore model;
    auto& set = model.ISLCDefs.Add();
    set.LCType = "Default";
    set.LCClasses.Add(Class(2, "Developed, High Intensity", 90, 85, 80));
    PutISModelProperties(model, ext.path());
    EXPECT_EQ(Store(ext),
              "  <ISModelProperties>\r\n    <ISLCDefs>\r\n      <ISLCDef>\r\n        <LCType>\r\n          Default\r\n"
              "        </LCType>\r\n        <LCClasses>\r\n          <LCClass ID=\"2\">\r\n            <LCName>\r\n"
              "              Developed, High Intensity\r\n            </LCName>\r\n            <LCHigh>\r\n"
              "              90\r\n            </LCHigh>\r\n            <LCMed>\r\n              85\r\n"
              "            </LCMed>\r\n            <LCLow>\r\n              80\r\n            </LCLow>\r\n"
              "          </LCClass>\r\n        </LCClasses>\r\n      </ISLCDef>\r\n    </ISLCDefs>\r\n"
              "  </ISModelProperties>\r\n");
    EXPECT_EQ(EtcFiles(ext), std::vector<std::string>{"isprops.xml"});

    // Empty elements take the short form and still count as opening tags.
    model.ISLCDefs.Item(1).LCType.clear();
    model.ISLCDefs.Item(1).LCClasses.Clear();
    EXPECT_EQ(StoreLines(model.XML()),
              (std::vector<std::string>{"  <ISModelProperties>", "    <ISLCDefs>", "      <ISLCDef>",
                                        "        <LCType/>", "          <LCClasses/>", "          </ISLCDef>",
                                        "        </ISLCDefs>", "      </ISModelProperties>"}));
    model.ISLCDefs.Clear();
    PutISModelProperties(model, ext.path());
    EXPECT_EQ(Store(ext), "  <ISModelProperties>\r\n    <ISLCDefs/>\r\n    </ISModelProperties>\r\n");
    model.ISLCDefs.Add();
    ASSERT_TRUE(GetISModelProperties(model, ext / "etc/isprops.xml"));
    EXPECT_EQ(model.ISLCDefs.Count(), 0);
}

TEST(Store, ASaveAndLoadKeepsValuesOrderAndDuplicateNamesByteForByte)
{
    TempExtension ext;
    CoeffStore model;
    for (const char* name : {"Städte", "Rural", "Städte"}) {
        auto& set = model.ISLCDefs.Add();
        set.LCType = name;
        set.LCClasses.Add(Class(42, "Forest  inner", 12.5f, 0.25f, 1.0f / 3.0f));
        set.LCClasses.Add(Class(-7, "<&\"'>", 100, 55.5f, 0));
    }
    model.ISLCDefs.Item(2).LCClasses.Clear();
    PutISModelProperties(model, ext.path());
    const std::string first = Store(ext);

    CoeffStore back;
    ASSERT_TRUE(GetISModelProperties(back, ext / "etc/isprops.xml"));
    ASSERT_EQ(back.ISLCDefs.Count(), 3);
    EXPECT_EQ(back.ISLCDefs.Item(2).LCType, "Rural");
    EXPECT_EQ(back.ISLCDefs.Item(2).LCClasses.Count(), 0);
    EXPECT_EQ(FindSet(back, "Städte"), &back.ISLCDefs.Item(1));
    EXPECT_EQ(FindSet(back, "städte"), nullptr);
    const CoverClasses& cls = back.ISLCDefs.Item(3).LCClasses;
    ASSERT_EQ(cls.Count(), 2);
    const CoverClass &a = cls.Item(1), &b = cls.Item(2);
    EXPECT_EQ(std::tie(a.ID, a.LCName, a.LCHigh, a.LCMed, a.LCLow),
              std::make_tuple(42, "Forest  inner", 12.5f, 0.25f, 0.3333333f));
    EXPECT_EQ(std::tie(b.ID, b.LCName, b.LCMed), std::make_tuple(-7, "<&\"'>", 55.5f));

    PutISModelProperties(back, ext.path());
    EXPECT_EQ(Store(ext), first);
}

TEST(Store, AClassWithoutAnIdOrWithACommaDecimalFailsTheLoadWithAReport)
{
    TempExtension ext;
    ScriptedUi ui;
    CoeffStore model;
    for (const char* cls : {"<LCClass><LCHigh>1</LCHigh><LCMed>1</LCMed><LCLow>1</LCLow></LCClass>",
                            "<LCClass ID='1'><LCHigh>1</LCHigh><LCMed>1,5</LCMed><LCLow>1</LCLow></LCClass>"}) {
        std::ofstream(ext / "etc/bad.xml")
            << "<I><ISLCDefs><ISLCDef><LCClasses>" << cls << "</LCClasses></ISLCDef></ISLCDefs></I>";
        EXPECT_FALSE(GetISModelProperties(model, ext / "etc/bad.xml")) << cls;
    }
    ASSERT_EQ(ui.reports.size(), 2u);
    EXPECT_NE(ui.reports[1].find("\tGetISModelProperties basUtil \r\n"), std::string::npos);
}

TEST(Store, NestingDeeperThanItsLimitIsRefusedAndAtItLoads)
{
    // A set name holding markup whose text lies as deep as the limit allows still loads.
    auto nested = [](int depth) {
        std::string open, close;
        for (int i = 5; i < depth; ++i) {
            open += "<b>";
            close = "</b>" + close;
        }
        return "<I><ISLCDefs><ISLCDef><LCType>" + open + "x" + close + "</LCType></ISLCDef></ISLCDefs></I>";
    };
    CoeffStore model;
    model.XML(nested(kMaxStoreDepth));
    ASSERT_EQ(model.ISLCDefs.Count(), 1);
    EXPECT_EQ(model.ISLCDefs.Item(1).LCType, "x");
    model.ISLCDefs.Clear();
    model.XML(nested(kMaxStoreDepth + 1));
    EXPECT_EQ(model.ISLCDefs.Count(), 0);
}

TEST(Store, ASaveRefusesAReadOnlyStoreAndKeepsAnyOtherModeWhateverTheUmask)
{
    TempExtension ext;
    const fs::path store = ext / "etc/isprops.xml";
    fs::permissions(store, fs::perms::owner_read);
    std::string report;
    try {
        PutISModelProperties(CoeffStore{}, ext.path());
    } catch (...) {
        // The report starts where the save failed, whichever face catches it.
        report = halvo::support::ReportText(halvo::support::describe(std::current_exception()), "Face", "test");
    }
    EXPECT_NE(report.find("\r\n\r\n\tPutISModelProperties basUtil \r\n\r\nError Number "), std::string::npos) << report;
    EXPECT_NE(report.find("is read-only"), std::string::npos);
    fs::permissions(store, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    PutISModelProperties(CoeffStore{}, ext.path());
    EXPECT_EQ(fs::status(store).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(Store, ASaveNeverWritesThroughALink)
{
    TempExtension ext;
    const fs::path store = ext / "etc/isprops.xml";
    const fs::path victim = ext / "victim.txt";
    std::ofstream(victim) << "precious";
    // At the name older saves used for their scratch file, and at the store itself.
    fs::create_symlink(victim, ext / "etc/isprops.xml.tmp");
    CoeffStore model;
    ASSERT_TRUE(GetISModelProperties(model, store));
    PutISModelProperties(model, ext.path());
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(store)));

    const std::string saved = Store(ext);
    fs::remove(store);
    fs::create_symlink(victim, store);
    PutISModelProperties(model, ext.path());
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(store)));
    EXPECT_EQ(Store(ext), saved);
}

TEST(Store, TheShippedStoreIsInTheWritersLayoutWithSaneCoefficients)
{
    TempExtension ext;
    const std::string shipped = Store(ext);
    CoeffStore model;
    ASSERT_TRUE(GetISModelProperties(model, ext / "etc/isprops.xml"));
    ASSERT_EQ(model.ISLCDefs.Count(), 1);
    ASSERT_NE(FindSet(model, "NLCD"), nullptr);
    std::vector<std::int32_t> ids;
    for (const CoverClass& c : FindSet(model, "NLCD")->LCClasses) {
        ids.push_back(c.ID);
        EXPECT_TRUE(c.LCHigh >= c.LCMed && c.LCMed >= c.LCLow && c.LCLow >= 0 && c.LCHigh <= 100) << c.ID;
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{11, 12, 21, 22, 23, 24, 31, 41, 42, 43,
                                              51, 52, 71, 72, 73, 74, 81, 82, 90, 95}));
    PutISModelProperties(model, ext.path());
    EXPECT_EQ(Store(ext), shipped);
}
