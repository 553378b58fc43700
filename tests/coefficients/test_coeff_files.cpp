#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "support/error_reporting.h"

#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>

using namespace halvo::coefficients;
using halvo::support::Icon;
using halvo::test::ReadFile;
using halvo::test::ScriptedUi;
using halvo::test::TempExtension;

namespace {
struct CoeffFiles : ::testing::Test {
    TempExtension ext;
    ScriptedUi ui;
    CoeffStore model;
    std::deque<std::string> names;  // answers to the name prompt; "" (Cancel) when used up

    CoeffFiles() { GetISModelProperties(model, ext / "etc/isprops.xml"); }

    std::string file(const std::string& text)
    {
        const std::string p = (ext / "in.csv").string();
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    std::string import(const std::string& path)
    {
        return ImportCoeffsFromFile(model, path, ext.path(), [&](std::string_view, std::string_view, std::string_view) {
            std::string n = names.empty() ? "" : names.front();
            if (!names.empty())
                names.pop_front();
            return n;
        });
    }
};
}  // namespace

TEST_F(CoeffFiles, ImportAsksAgainForATakenNameSkipsRepeatedHeadersAndSaves)
{
    EXPECT_EQ(import(file("1,A,1,1,1")), "");  // Cancel
    EXPECT_TRUE(ui.messages.empty());

    names = {"NLCD", "Mine"};
    EXPECT_EQ(
        import(file("value,ClassName,High,Medium,Low\r\n12.0, Forest ,0,100, 2.5 \r\nVALUE,a,b,c,d\r\n0,x,1,1,1\r\n")),
        "Mine");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Coefficient Set name must be unique. Please reenter.");
    const CoverClasses& cls = FindSet(model, "Mine")->LCClasses;
    ASSERT_EQ(cls.Count(), 2);
    EXPECT_EQ(std::tie(cls.Item(1).ID, cls.Item(1).LCName, cls.Item(1).LCMed, cls.Item(1).LCLow),
              std::make_tuple(12, " Forest ", 100.0f, 2.5f));
    EXPECT_EQ(cls.Item(2).ID, 0);

    CoeffStore stored;
    ASSERT_TRUE(GetISModelProperties(stored, ext / "etc/isprops.xml"));
    ASSERT_NE(FindSet(stored, "Mine"), nullptr);
}

TEST_F(CoeffFiles, ImportTakesAByteOrderMarkLfLineEndsAndTinyValues)
{
    // A byte-order mark before the header, LF line ends, a value below single precision.
    names = {"Sheet"};
    ASSERT_EQ(import(file("\xEF\xBB\xBFValue,ClassName,High,Medium,Low\n11,Water,0,0,1e-50\n21,Open,19,10,5\n")),
              "Sheet");
    EXPECT_TRUE(ui.messages.empty());
    const CoverClasses& cls = FindSet(model, "Sheet")->LCClasses;
    ASSERT_EQ(cls.Count(), 2);
    EXPECT_EQ(cls.Item(1).LCLow, 0.0f);

    std::ofstream(ext / "etc/bom.xml", std::ios::binary)
        << "\xEF\xBB\xBF<ISModelProperties><ISLCDefs><ISLCDef><LCType>B</LCType></ISLCDef></ISLCDefs>"
           "</ISModelProperties>";
    CoeffStore stored;
    ASSERT_TRUE(GetISModelProperties(stored, ext / "etc/bom.xml"));
    EXPECT_EQ(stored.ISLCDefs.Item(1).LCType, "B");
}

TEST_F(CoeffFiles, ExportQuotesNamesAsCsvDoesAndImportReadsThemBack)
{
    CoeffSet& set = model.ISLCDefs.Add();
    set.XML("<ISLCDef><LCType>S</LCType><LCClasses><LCClass ID='2'><LCName>Developed</LCName><LCHigh>90</LCHigh>"
            "<LCMed>85</LCMed><LCLow>80</LCLow></LCClass><LCClass ID='5'><LCName>Pasture/Hay</LCName>"
            "<LCHigh>1.5</LCHigh><LCMed>1</LCMed><LCLow>0.5</LCLow></LCClass></LCClasses></ISLCDef>");
    const std::string setXml = set.XML();
    // An import works on the store as saved, so the set is saved first.
    PutISModelProperties(model, ext.path());
    const std::string out = (ext / "out.csv").string();
    ASSERT_TRUE(ExportCoeffsToFile(model, out, "S"));
    EXPECT_EQ(ReadFile(out), "Value,ClassName,High,Medium,Low\r\n2,Developed,90,85,80\r\n5,Pasture/Hay,1.5,1,0.5\r\n");

    names = {"S again"};
    ASSERT_EQ(import(out), "S again");
    CoeffSet copy = *FindSet(model, "S again");
    copy.LCType = "S";
    EXPECT_EQ(copy.XML(), setXml);

    // Names with commas, quotes or line breaks in RFC 4180 quotes; a set without classes as the header alone.
    FindSet(model, "S")->LCClasses.Item(1).LCName = "Dev, \"Low\"";
    PutISModelProperties(model, ext.path());
    ASSERT_TRUE(ExportCoeffsToFile(model, out, "S"));
    EXPECT_EQ(ReadFile(out),
              "Value,ClassName,High,Medium,Low\r\n2,\"Dev, \"\"Low\"\"\",90,85,80\r\n5,Pasture/Hay,1.5,1,0.5\r\n");
    names = {"Quoted"};
    ASSERT_EQ(import(out), "Quoted");
    EXPECT_EQ(FindSet(model, "Quoted")->LCClasses.Item(1).LCName, "Dev, \"Low\"");
    ASSERT_TRUE(ExportCoeffsToFile(model, out, "nobody"));
    EXPECT_EQ(ReadFile(out), "Value,ClassName,High,Medium,Low\r\n");
    EXPECT_FALSE(ExportCoeffsToFile(model, (ext / "no/such/dir.csv").string(), "S"));
    EXPECT_EQ(ui.reports.size(), 1u);
}

TEST_F(CoeffFiles, MergeRenamesTakenNamesUntilFree)
{
    CoeffStore other;
    for (const char* n : {"NLCD", "A", "A", "NLCD2"})
        other.ISLCDefs.Add().LCType = n;
    other.ISLCDefs.Item(2).LCClasses.Add().LCName = "kept";
    TempExtension src;
    PutISModelProperties(other, src.path());

    EXPECT_EQ(MergeCoeffsFromFile(model, (src / "etc/isprops.xml").string(), ext.path()),
              (std::vector<std::string>{"NLCD2", "A", "A2", "NLCD22"}));
    EXPECT_EQ(FindSet(model, "A")->LCClasses.Item(1).LCName, "kept");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, Icon::Information);
    CoeffStore stored;
    ASSERT_TRUE(GetISModelProperties(stored, ext / "etc/isprops.xml"));
    EXPECT_EQ(stored.ISLCDefs.Count(), 5);

    EXPECT_TRUE(MergeCoeffsFromFile(model, file("not xml"), ext.path()).empty());
    EXPECT_EQ(ui.messages.back().text, "Failed To Load XML - Invalid file format.");
    EXPECT_EQ(model.ISLCDefs.Count(), 5);

    // The store now holds A and A2: a third A becomes A22, never a second A2.
    CoeffStore justA;
    justA.ISLCDefs.Add().LCType = "A";
    PutISModelProperties(justA, src.path());
    EXPECT_EQ(MergeCoeffsFromFile(model, (src / "etc/isprops.xml").string(), ext.path()),
              std::vector<std::string>{"A22"});
}

TEST_F(CoeffFiles, ASetWithAClassIdTwiceIsNeverStored)
{
    const std::string before = ReadFile(ext / "etc/isprops.xml");
    names = {"Twice"};
    const std::string csv = file("11,Water,0,0,0\r\n21,Open,19,10,5\r\n11,Lake,0,0,0\r\n");
    EXPECT_EQ(import(csv), "");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind("Duplicate class ID in the Value column within import file " + csv +
                                            ". Class ID 11 stands on more than one line",
                                        0),
              0u)
        << ui.messages[0].text;
    EXPECT_FALSE(ReadCoeffsFile(csv, "cli"));

    CoeffStore other;
    auto& set = other.ISLCDefs.Add();
    set.LCType = "Twice";
    set.LCClasses.Add().ID = 5;
    set.LCClasses.Add().ID = 5;
    TempExtension src;
    PutISModelProperties(other, src.path());
    EXPECT_TRUE(MergeCoeffsFromFile(model, (src / "etc/isprops.xml").string(), ext.path()).empty());
    EXPECT_EQ(ui.messages.back().text, "The coefficient set 'Twice' holds the class ID 5 more than once; each class "
                                       "ID may stand once in a set. Nothing was merged.");
    EXPECT_EQ(ReadFile(ext / "etc/isprops.xml"), before);
    EXPECT_EQ(model.ISLCDefs.Count(), 1);
}

TEST_F(CoeffFiles, ACoefficientFileForOneRunLeavesTheStoreAlone)
{
    const auto set = ReadCoeffsFile(file("11,Water,0,0,0\r\n21,Open,19,10,5"), "cli");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->LCType, "cli");
    EXPECT_EQ(set->LCClasses.Count(), 2);
    EXPECT_THROW(ReadCoeffsFile((ext / "missing.csv").string(), "cli"), halvo::support::Error);
    EXPECT_EQ(model.ISLCDefs.Count(), 1);
}

TEST_F(CoeffFiles, ImportStopsAtTheFirstBadLineOrWhatTheFormatsCannotHold)
{
    const std::string before = ReadFile(ext / "etc/isprops.xml");
    auto refused = [&](const std::string& text, const std::string& says) {
        ui.messages.clear();
        names = {"New"};
        EXPECT_EQ(import(file(text)), "") << says;
        ASSERT_EQ(ui.messages.size(), 1u) << says;
        EXPECT_NE(ui.messages[0].text.find(says), std::string::npos) << text << " -> " << ui.messages[0].text;
        EXPECT_EQ(ui.messages[0].title, "Coefficient Import Unsuccessful");
    };
    const std::string in = (ext / "in.csv").string();
    const std::string format = "Invalid or incorrectly formated data in import file " + in;
    const std::string classId = "Invalid class ID in the Value column within import file " + in;
    const std::string coeff = "Invalid coefficient in import file " + in;
    const std::string count = "Incorrect number of fields detected in your import file " + in;
    refused("a,Water,200,0,0", format);  // the ID is tested first
    refused("12,Forest,x,0,0", format);
    refused("12,Forest,1,x,200", format);
    refused("12,Forest,200,x,0", coeff);
    refused("12.5,Forest,1,1,1", classId);
    refused("-1,Forest,1,1,1", classId);
    refused("3000000000,Forest,1,1,1", classId);
    refused("1,Forest,1,1,100.01", coeff);
    refused("11,\"Water,0,0,0\r\n", "Line 1: a field that starts with a double quote must end with one");
    refused("11,\"Wa\"ter,0,0,0", "Line 1: a field that starts");
    refused("1,Forest,1,1,1\r\n\r\n2,B,1,1,1\r\n3,Forest, Dense,1,1,1\r\n", count);
    EXPECT_EQ(ui.messages[0].text, count + ". Line 4 holds 6 fields, not 5 (a class name with a comma goes in double "
                                           "quotes). Expecting an ascii comma-separated file containing rows with the "
                                           "following columns 'Value,ClassName,High,Medium,Low'. All fields must be "
                                           "numeric except 'ClassName'.");
    EXPECT_EQ(ui.messages[0].icon, Icon::Critical);
    refused("\r\n\r\n", "No class in import file");
    refused("1,Tab\there,1,1,1", "A class name may hold no line break or other control character. See line 1.");
    refused("1," + std::string(101, 'n') + ",1,1,1", "A class name may hold at most 100 characters.");
    std::string rows;
    for (int id = 0; id <= 65536; ++id)
        rows += std::to_string(id) + ",a,0,0,0\n";
    ASSERT_LT(rows.size(), std::size_t{1} << 20);
    refused(rows, "is too large: at most 1 MiB (1048576 bytes) and 65536 classes.");
    refused(std::string((1 << 20) + 1, '\n'), "is too large");
    EXPECT_EQ(ReadFile(ext / "etc/isprops.xml"), before);
    EXPECT_EQ(model.ISLCDefs.Count(), 1);

    // At the limits: 100 characters, however many bytes they take.
    std::string name;
    for (int i = 0; i < 100; ++i)
        name += "\xc3\xa9";
    names = {"Accents"};
    EXPECT_EQ(import(file("1," + name + ",1,1,1")), "Accents");
}

TEST(StoreLimits, CoefficientsOutsideZeroToHundredLoadAndAreNamedWhereUsed)
{
    TempExtension ext;
    ScriptedUi ui;
    // What single precision cannot hold is no coefficient at all: that store does not load.
    const std::pair<const char*, std::string> cases[] = {
        {"100.5", "the Medium coefficient 100.5; coefficients are percentages from 0 to 100."},
        {"-1", "the Medium coefficient -1;"},
        {"1e9", "the Medium coefficient 1000000000;"},
        {"1e40", ""}};
    for (const auto& [v, fault] : cases) {
        std::ofstream(ext / "etc/isprops.xml")
            << "<I><ISLCDefs><ISLCDef><LCType>A</LCType><LCClasses><LCClass ID='1'><LCName>Water</LCName><LCHigh>1"
               "</LCHigh><LCMed>"
            << v << "</LCMed><LCLow>1</LCLow></LCClass></LCClasses></ISLCDef></ISLCDefs></I>";
        CoeffStore model;
        ASSERT_EQ(GetISModelProperties(model, ext / "etc/isprops.xml"), !fault.empty()) << v;
        if (!fault.empty()) {
            const std::string said = SetFault(model.ISLCDefs.Item(1));
            EXPECT_NE(said.find("The coefficient set 'A' gives the class 1 (Water) " + fault), std::string::npos)
                << said;
        }
    }
    EXPECT_EQ(ui.reports.size(), 1u);
}

TEST_F(CoeffFiles, OldWindowsFilesReadAsWindows1252)
{
    // An en dash and curly quotes, as a spreadsheet on Windows saves them.
    names = {"Windows"};
    ASSERT_EQ(import(file("22,Developed \x96 Low \x93sparse\x94,49,35,20\r\n23,Caf\xe9,1,1,1\r\n")), "Windows");
    const CoverClasses& cls = FindSet(model, "Windows")->LCClasses;
    EXPECT_EQ(cls.Item(1).LCName, "Developed \xe2\x80\x93 Low \xe2\x80\x9csparse\xe2\x80\x9d");
    EXPECT_EQ(cls.Item(2).LCName, "Caf\xc3\xa9");

    // A store's declaration is honoured, even where the bytes would pass as UTF-8.
    for (const char* declared : {"windows-1252", "ISO-8859-1"}) {
        std::ofstream(ext / "etc/isprops.xml", std::ios::binary)
            << "<?xml version=\"1.0\" encoding=\"" << declared
            << "\"?><I><ISLCDefs><ISLCDef><LCType>\xc3\xa9 \x96</LCType></ISLCDef></ISLCDefs></I>";
        CoeffStore stored;
        ASSERT_TRUE(GetISModelProperties(stored, ext / "etc/isprops.xml")) << declared;
        EXPECT_EQ(stored.ISLCDefs.Item(1).LCType, "\xc3\x83\xc2\xa9 \xe2\x80\x93") << declared;
    }
}
