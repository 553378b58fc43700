// The coefficient editor opened on a throwaway extension folder, driven
// through its widgets with real key and mouse events.

#include "coefficients/model_store.h"
#include "coefficients/qt/coefficient_editor.h"
#include "coefficients/qt/lc_grid.h"
#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

// Readable failures for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace halvo::test {

// Three classes in Default, one in Other.
inline const char* kTwoSets =
    "<ISModelProperties><ISLCDefs><ISLCDef><LCType>Default</LCType><LCClasses>"
    "<LCClass ID='11'><LCName>Water</LCName><LCHigh>0</LCHigh><LCMed>0</LCMed><LCLow>0</LCLow></LCClass>"
    "<LCClass ID='21'><LCName>Open</LCName><LCHigh>19</LCHigh><LCMed>10</LCMed><LCLow>5</LCLow></LCClass>"
    "<LCClass ID='24'><LCName>High</LCName><LCHigh>100</LCHigh><LCMed>90</LCMed><LCLow>80.5</LCLow></LCClass>"
    "</LCClasses></ISLCDef><ISLCDef><LCType>Other</LCType><LCClasses>"
    "<LCClass ID='1'><LCName>Only</LCName><LCHigh>1</LCHigh><LCMed>2</LCMed><LCLow>3</LCLow></LCClass>"
    "</LCClasses></ISLCDef></ISLCDefs></ISModelProperties>";

struct EditorTest : ::testing::Test {
    TempExtension ext;
    ScriptedUi ui;
    std::unique_ptr<coefficients::CoefficientEditor> dlg;
    QTableWidget* grid = nullptr;
    QComboBox* list = nullptr;
    QLineEdit* box = nullptr;

    std::filesystem::path store() const { return ext / "etc/isprops.xml"; }

    void open(const char* storeText = kTwoSets)
    {
        std::ofstream(store(), std::ios::binary) << storeText;
        dlg = std::make_unique<coefficients::CoefficientEditor>(nullptr, ext.path());
        dlg->show();
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
        grid = dlg->findChild<QTableWidget*>("grdLCDef");
        list = dlg->findChild<QComboBox*>("cboLCType");
        box = dlg->findChild<QLineEdit*>("txtActiveCell");
        grid->setFocus();
    }

    QPushButton* button(const char* name) { return dlg->findChild<QPushButton*>(name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    QString cell(int row, int col) const { return coefficients::TextMatrix(*grid, row, col); }
    // The six texts of a grid row, "|" between them.
    QString row(int r) const
    {
        QStringList t;
        for (int c = 0; c < coefficients::kLCGridCols; ++c)
            t << cell(r, c);
        return t.join('|');
    }
    std::pair<int, int> current() const { return {grid->currentRow() + 1, grid->currentColumn() + 1}; }
    int dataRows() const { return grid->rowCount(); }

    void pick(int r, int c)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualItemRect(grid->item(r - 1, c - 1)).center());
    }
    // Keys go wherever the focus is, as the user's keyboard does.
    void type(const QString& text)
    {
        for (const QChar ch : text)
            QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
    }
    void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> t;
        for (const Shown& m : ui.messages)
            t.push_back(m.text);
        return t;
    }
};

}  // namespace halvo::test

using namespace halvo::test;
using namespace halvo::coefficients;
using halvo::support::Answer;
using halvo::support::Buttons;
using halvo::support::Icon;
namespace fs = std::filesystem;

namespace {
const std::string kValueMsg = "Invalid value entered - Class Value must be an integer.";
const std::string kRangeMsg = "Invalid value entered - Coefficients must be between 0-100.";

// The row menu, opened by a right click on a row as the user does.
void rowCommand(EditorTest& t, int row, const char* action)
{
    QTest::mouseClick(t.grid->viewport(), Qt::RightButton, {},
                      t.grid->visualItemRect(t.grid->item(row - 1, 0)).center());
    auto* menu = t.dlg->findChild<QMenu*>("MnuFGridRows");
    ASSERT_TRUE(menu->isVisible());
    menu->findChild<QAction*>(action)->trigger();
    menu->hide();
}

CoeffStore Stored(const fs::path& store)
{
    CoeffStore m;
    EXPECT_TRUE(GetISModelProperties(m, store));
    return m;
}
}  // namespace

TEST_F(EditorTest, OpensOnTheFirstSetWithNothingToApply)
{
    open();
    EXPECT_EQ(list->currentText(), "Default");
    EXPECT_FALSE(button("cmdApply")->isEnabled());
    EXPECT_EQ(row(0), "|Value|Name|High|Medium|Low");
    EXPECT_EQ(row(3), "3|24|High|100|90|80.5");
    EXPECT_EQ(current(), std::make_pair(1, 1));
    EXPECT_EQ(grid->item(0, 0)->background().color(), CoefficientEditor::CurrentCellColor());
}

TEST_F(EditorTest, CellKeysMoveAndRefuseWhatACellCannotHoldAsItIsTyped)
{
    open();
    type("12");
    EXPECT_EQ(cell(1, 1), "12");  // the cell follows the open box
    key(Qt::Key_Return);
    EXPECT_EQ(current(), std::make_pair(1, 2));
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(grid->item(0, 0)->background().color(), dlg->palette().color(QPalette::Base));
    EXPECT_TRUE(button("cmdApply")->isEnabled());

    pick(1, 5);
    key(Qt::Key_Return);
    EXPECT_EQ(current(), std::make_pair(2, 5));  // Low moves down

    pick(2, 1);
    type(".");  // on the grid
    key(Qt::Key_F2);
    type("1.");  // in the open box
    EXPECT_EQ(cell(2, 1), "211");
    pick(2, 3);
    type("150x");
    key(Qt::Key_Return);  // out of range: refused whole, nothing cut short
    EXPECT_EQ(cell(2, 3), "150");
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(texts(), (std::vector<std::string>{kValueMsg, kValueMsg,
                                                 "Invalid value entered - Coefficients must be numeric.", kRangeMsg}));
    EXPECT_EQ(ui.messages[0].icon, Icon::Exclamation);
    key(Qt::Key_Escape);  // back to the text the cell was entered with
    EXPECT_EQ(cell(2, 3), "19");

    // Cleared, a coefficient becomes 0 when left; a name stays empty.
    pick(2, 4);
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    key(Qt::Key_Return);
    EXPECT_EQ(cell(2, 4), "0");
    pick(2, 2);  // a double click starts as a click
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(1, 1)).center());
    EXPECT_TRUE(box->isVisible());
    box->selectAll();
    key(Qt::Key_Backspace);
    key(Qt::Key_Return);
    EXPECT_EQ(row(2), "2|211||19|0|5");

    // A class value must fit in 32 bits.
    ui.messages.clear();
    pick(1, 1);
    type("99999999999");
    EXPECT_EQ(cell(1, 1), "999999999");
    EXPECT_EQ(texts(), (std::vector<std::string>{kValueMsg, kValueMsg}));
}

TEST_F(EditorTest, ArrowsLeaveTheBoxOnlyAtTheCaretsEnds)
{
    open();
    pick(2, 2);
    key(Qt::Key_F2);
    key(Qt::Key_Left);  // inside the box
    key(Qt::Key_Right);
    EXPECT_EQ(current(), std::make_pair(2, 2));
    key(Qt::Key_Right);
    EXPECT_EQ(current(), std::make_pair(2, 3));
    pick(2, 1);
    key(Qt::Key_F2);
    key(Qt::Key_Home);
    key(Qt::Key_Left);
    EXPECT_EQ(current(), std::make_pair(1, 5));
    key(Qt::Key_F2);
    key(Qt::Key_Right);
    EXPECT_EQ(current(), std::make_pair(2, 1));
    key(Qt::Key_F2);
    key(Qt::Key_Down);
    key(Qt::Key_F2);
    key(Qt::Key_Down);
    EXPECT_EQ(current(), std::make_pair(3, 1));
}

TEST_F(EditorTest, RowCommandsAddInsertAndAskBeforeDeletingARowWithData)
{
    open();
    rowCommand(*this, 2, "MnuFGridInsRow");
    ASSERT_EQ(dataRows(), 4);
    EXPECT_EQ(row(2), "2|0||0|0|0");
    EXPECT_EQ(row(4), "4|24|High|100|90|80.5");

    rowCommand(*this, 2, "MnuFGridDelRow");  // no data: no question
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(row(3), "3|24|High|100|90|80.5");

    ui.answers = {Answer::No};
    rowCommand(*this, 3, "MnuFGridDelRow");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "There is data in Row 3 ! Delete anyway?");
    EXPECT_EQ(ui.messages[0].title, "Delete Row!");
    EXPECT_EQ(ui.messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(dataRows(), 3);
    rowCommand(*this, 3, "MnuFGridDelRow");  // Yes
    EXPECT_EQ(dataRows(), 2);
    EXPECT_EQ(current().first, 2);

    ui.messages.clear();
    rowCommand(*this, 1, "MnuFGridAddRow");
    EXPECT_EQ(row(3), "3|0||0|0|0");
    EXPECT_EQ(current().first, 3);
    rowCommand(*this, 3, "MnuFGridDelRow");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(dataRows(), 2);
}

TEST_F(EditorTest, SwitchingSetsSettlesUnsavedChangesFirst)
{
    open();
    pick(1, 2);
    type("Lake");
    ui.answers = {Answer::No};
    list->setCurrentIndex(1);
    EXPECT_EQ(texts(), std::vector<std::string>{
                           "Changes to the current coefficient set must be saved before displaying another "
                           "coefficient set. \r\n Click 'Yes' to save changes to Default and proceed, or 'No' to "
                           "return."});
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(cell(1, 2), "Lake");

    list->setCurrentIndex(1);  // Yes: saved under the set still shown
    EXPECT_EQ(cell(1, 2), "Only");
    EXPECT_FALSE(dlg->unsaved());
    EXPECT_EQ(FindSet(Stored(store()), "Default")->LCClasses.Item(1).LCName, "Lake");
}

TEST_F(EditorTest, FailedSavesLeaveTheStoreWholeAndTheEditsInPlace)
{
    open();
    const std::string before = ReadFile(store());
    pick(1, 2);
    type("Lake");
    ::chmod(store().c_str(), 0444);
    click("cmdApply");
    EXPECT_EQ(ui.messages.back().text, "Failed To Save XML - verify the permissions to write to file '" +
                                           ext.path().string() + "/etc/isprops.xml'.");
    EXPECT_EQ(ui.messages.back().icon, Icon::Critical);
    ui.answers = {Answer::Yes};
    list->setCurrentIndex(1);  // the selection goes back
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(cell(1, 2), "Lake");
    EXPECT_TRUE(dlg->unsaved());
    EXPECT_EQ(ReadFile(store()), before);

    ::chmod(store().c_str(), 0644);
    click("cmdApply");
    EXPECT_FALSE(dlg->unsaved());
    EXPECT_NE(ReadFile(store()).find("Lake"), std::string::npos);
}

TEST_F(EditorTest, ApplyDropsEmptyRowsAndRefusesCellsThatDoNotConvert)
{
    open("<ISModelProperties><ISLCDefs><ISLCDef><LCType>Empty</LCType></ISLCDef></ISLCDefs></ISModelProperties>");
    EXPECT_EQ(row(1), "|||||");
    key(Qt::Key_F2);  // opening the box counts as a change
    click("cmdApply");
    EXPECT_EQ(dataRows(), 0);
    EXPECT_EQ(Stored(store()).ISLCDefs.Item(1).LCClasses.Count(), 0);

    // Backspace is not checked, so a coefficient can go past 100.
    const std::string before = ReadFile(store());
    rowCommand(*this, 1, "MnuFGridAddRow");
    pick(1, 3);
    key(Qt::Key_Backspace);
    type("10.5");
    key(Qt::Key_Left);
    key(Qt::Key_Backspace);
    click("cmdApply");
    EXPECT_EQ(ui.messages.back().text, "Row 1, column 'High': '105' cannot be saved. Coefficients must be "
                                       "between 0-100.");
    EXPECT_EQ(ReadFile(store()), before);
    EXPECT_TRUE(dlg->unsaved());

    // A store may hold a coefficient past 100: it loads and shows, and Apply asks for it to be corrected.
    open("<I><ISLCDefs><ISLCDef><LCType>Old</LCType><LCClasses><LCClass ID='1'><LCName>W</LCName><LCHigh>150"
         "</LCHigh><LCMed>0</LCMed><LCLow>0</LCLow></LCClass></LCClasses></ISLCDef></ISLCDefs></I>");
    EXPECT_EQ(row(1), "1|1|W|150|0|0");
    EXPECT_TRUE(grid->isEnabled() && button("cmdNew")->isEnabled());
    pick(1, 2);
    type("X");
    click("cmdApply");
    EXPECT_EQ(ui.messages.back().text, "Row 1, column 'High': '150' cannot be saved. Coefficients must be "
                                       "between 0-100.");
}

TEST_F(EditorTest, QuitAsksAboutUnsavedChangesAndReopeningRereads)
{
    open();
    type("7");
    ui.answers = {Answer::Cancel, Answer::No};
    click("cmdQuit");
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(ui.messages.back().buttons, Buttons::YesNoCancel);
    click("cmdQuit");
    EXPECT_FALSE(dlg->isVisible());

    dlg->show();
    EXPECT_EQ(cell(1, 1), "11");
    grid->setFocus();
    type("7");
    click("cmdQuit");  // Yes
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Stored(store()).ISLCDefs.Item(1).LCClasses.Item(1).ID, 7);
}

TEST_F(EditorTest, TransferCommandsSaveFirstThenUseTheirFiles)
{
    open();
    std::vector<FileRequest> asked;
    QString chosen;
    dlg->setFileChooser([&](const FileRequest& r) {
        asked.push_back(r);
        return chosen;
    });
    dlg->setTextPrompt([](auto, auto, auto) { return std::string("Copy"); });
    bool helped = false;
    dlg->setHelpHandler([&] { helped = true; });

    type("13");
    ui.answers = {Answer::No};
    click("CmdExport");
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ui.messages.back().text,
              "Changes to the current coefficient set must be saved before export a new coefficient set. \r\n"
              " Click 'Yes' to save changes and proceed, or 'No' to return.");

    // Yes saves first, so the file holds what the grid shows.
    chosen = QStringLiteral(" ") + QString::fromStdString((ext / "out.csv").string()) + QStringLiteral(" ");
    click("CmdExport");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Export Impervious Surface Coefficients into Filename");
    EXPECT_EQ(ReadFile(ext / "out.csv"),
              "Value,ClassName,High,Medium,Low\r\n13,Water,0,0,0\r\n21,Open,19,10,5\r\n24,High,100,90,80.5\r\n");

    // Imported: listed, not shown.
    click("CmdImport");
    EXPECT_EQ(asked.back().title, "Impervious Surface Coefficient File to Import");
    EXPECT_EQ(list->itemText(2), "Copy");
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(FindSet(Stored(store()), "Copy")->LCClasses.Item(1).ID, 13);

    fs::copy_file(store(), ext / "copy.xml");
    chosen = QString::fromStdString((ext / "copy.xml").string());
    click("CmdMerge");
    EXPECT_EQ(asked.back().title, "Halvo Coefficient File to Merge");
    ASSERT_EQ(list->count(), 6);
    EXPECT_EQ(list->itemText(3), "Default2");
    EXPECT_EQ(ui.messages.back().icon, Icon::Information);

    chosen.clear();  // Cancel
    click("CmdImport");
    EXPECT_EQ(list->count(), 6);
    click("cmdHelp");
    EXPECT_TRUE(helped);
}

TEST_F(EditorTest, AStoreThatDoesNotLoadIsNeverSavedOver)
{
    for (const char* bad : {"", "not xml",
                            "<I><ISLCDefs><ISLCDef><LCType>A</LCType><LCClasses><LCClass ID='1'><LCHigh>x</LCHigh>"
                            "</LCClass></LCClasses></ISLCDef></ISLCDefs></I>"}) {
        open(bad);
        EXPECT_EQ(ui.messages.back().text, "Failed To Load XML - verify the file 'isprops.xml' is located in the '" +
                                               ext.path().string() + "/etc/isprops.xml'.");
        EXPECT_EQ(ui.messages.back().title, "Halvo");
        EXPECT_EQ(list->count() + dataRows(), 0);
        for (const char* b : {"cmdNew", "CmdImport", "CmdExport", "CmdMerge", "cmdApply"})
            EXPECT_FALSE(button(b)->isEnabled()) << b;
        click("cmdQuit");
        EXPECT_EQ(ReadFile(store()), bad);
    }
    EXPECT_EQ(ui.reports.size(), 1u);  // the non-numeric coefficient

    open("<ISModelProperties><ISLCDefs/></ISModelProperties>");  // no sets: nothing to edit yet
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(grid->isEnabled());
    EXPECT_TRUE(button("cmdNew")->isEnabled());
}

TEST_F(EditorTest, ApplyWorksOnTheStoreAsOtherWritersLeftIt)
{
    open();
    // Meanwhile another writer (the command line, a second editor) adds a set.
    CoeffStore other;
    ASSERT_EQ(UpdateStore(other, ext.path(),
                          [](CoeffStore& s) {
                              s.ISLCDefs.Add().LCType = "FromElsewhere";
                              return true;
                          }),
              StoreUpdate::Saved);
    pick(1, 2);
    type("Lake");
    click("cmdApply");
    const CoeffStore stored = Stored(store());
    ASSERT_NE(FindSet(stored, "FromElsewhere"), nullptr);
    EXPECT_EQ(FindSet(stored, "Default")->LCClasses.Item(1).LCName, "Lake");
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(2), "FromElsewhere");
    EXPECT_EQ(list->currentText(), "Default");

    // While another process holds the store, Apply waits for it.
    std::optional<StoreLock> held;
    held.emplace(ext.path());
    std::atomic<bool> released{false};
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        released = true;
        held.reset();
    });
    pick(2, 2);
    type("Field");
    click("cmdApply");
    EXPECT_TRUE(released);
    releaser.join();
    EXPECT_EQ(FindSet(Stored(store()), "Default")->LCClasses.Item(2).LCName, "Field");
}

TEST_F(EditorTest, ApplyRefusesAClassValueTwiceAndNamesTheFilesCannotHold)
{
    const struct {
        int row, col;
        QString typed;
        std::string says;
    } cases[] = {
        {3, 1, "11", "Row 3, column 'Value': '11' cannot be saved. Class Value 11 is already in row 1."},
        {1, 2, QString(101, 'n'),
         "Row 1, column 'Name': '" + std::string(101, 'n') +
             "' cannot be saved. A class name may hold at most 100 characters."},
    };
    for (const auto& c : cases) {
        open();
        const std::string before = ReadFile(store());
        pick(c.row, c.col);
        type(c.typed);
        key(Qt::Key_Return);
        click("cmdApply");
        EXPECT_EQ(ui.messages.back().text, c.says);
        EXPECT_EQ(ReadFile(store()), before);
        EXPECT_TRUE(dlg->unsaved());
    }
}

TEST_F(EditorTest, WithoutAStoreTheFirstSaveMakesIt)
{
    open();
    click("cmdQuit");
    fs::remove(store());
    dlg->show();
    EXPECT_EQ(ui.messages.back().icon, Icon::Information);
    for (const char* b : {"cmdNew", "CmdImport", "CmdMerge"})
        EXPECT_TRUE(button(b)->isEnabled()) << b;
    // The file is checked before the name is asked, and its stem is the name offered.
    std::ofstream(ext / "in.csv") << "11,Water,0,0,0\r\n12,Ice,165,0,0\r\n";
    dlg->setFileChooser([&](const FileRequest&) { return QString::fromStdString((ext / "in.csv").string()); });
    std::vector<std::string> offered;
    dlg->setTextPrompt([&](auto, auto, std::string_view name) {
        offered.emplace_back(name);
        return std::string("First");
    });
    click("CmdImport");
    EXPECT_TRUE(offered.empty());
    EXPECT_NE(ui.messages.back().text.find("See line 2."), std::string::npos) << ui.messages.back().text;
    std::ofstream(ext / "in.csv") << "11,Water,0,0,0\r\n";
    click("CmdImport");
    EXPECT_EQ(offered, std::vector<std::string>{"in"});
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(FindSet(Stored(store()), "First")->LCClasses.Item(1).LCName, "Water");
}

TEST_F(EditorTest, AnImportThatCannotReadItsFileLeavesNothingBehind)
{
    open();
    fs::create_directories(ext / "folder.csv");
    dlg->setFileChooser([&](const FileRequest&) { return QString::fromStdString((ext / "folder.csv").string()); });
    dlg->setTextPrompt([](auto, auto, auto) { return std::string("Ghost"); });
    click("CmdImport");
    EXPECT_EQ(ui.reports.size(), 1u);
    EXPECT_EQ(dlg->model().ISLCDefs.Count(), 2);
    EXPECT_EQ(list->count(), 2);
    // Nor does the next save bring it in.
    pick(1, 2);
    type("Lake");
    click("cmdApply");
    EXPECT_EQ(FindSet(Stored(store()), "Ghost"), nullptr);
}

namespace {
struct AddLCType : EditorTest {
    // Clicks New and lets `act` work the new-set dialog while it is up.
    void clickNew(std::function<void(QDialog&)> act)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(d);
            seen = true;
            EXPECT_EQ(d->windowTitle(), "Add Coefficient Set");
            act(*d);
            if (d->isVisible())
                QTest::mouseClick(d->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        });
        click("cmdNew");
        EXPECT_TRUE(seen);
    }
    // Types the name and presses OK.
    static void ok(QDialog& d, const char* name = "")
    {
        auto* box = d.findChild<QLineEdit*>("txtLCType");
        box->clear();
        QTest::keyClicks(box, name);
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    }
    static void tick(QDialog& d) { QTest::mouseClick(d.findChild<QCheckBox*>("ChkModelAfter"), Qt::LeftButton); }
};
}  // namespace

TEST_F(AddLCType, TakenOrBlankNamesAreRefusedAndCancelAddsNothing)
{
    open();
    clickNew([&](QDialog& d) {
        auto* models = d.findChild<QComboBox*>("cboLCType");
        EXPECT_EQ(models->count(), 2);
        EXPECT_EQ(models->currentIndex(), -1);
        EXPECT_FALSE(models->isEnabled());
        ok(d, "default");
        ok(d, "   ");
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(texts(), (std::vector<std::string>{"Coefficient Set must be unique - 'default' is already defined.",
                                                 "Coefficient Set must be unique - '   ' is already defined."}));
    clickNew([&](QDialog& d) { ok(d); });  // an empty name closes
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(cell(3, 2), "High");
    EXPECT_FALSE(dlg->unsaved());
}

TEST_F(AddLCType, ANewSetStartsFromAModelSetOrEmptyAndIsSavedByApply)
{
    open();
    clickNew([&](QDialog& d) {
        tick(d);
        auto* models = d.findChild<QComboBox*>("cboLCType");
        EXPECT_TRUE(models->isEnabled());
        models->setCurrentIndex(1);
        ok(d, " Copy ");
    });
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentText(), "Copy");
    EXPECT_EQ(dlg->shownPosition(), 2);
    EXPECT_TRUE(dlg->unsaved());
    ASSERT_EQ(dataRows(), 1);
    EXPECT_EQ(cell(1, 2), "Only");

    // New with unsaved changes saves first; a tick without a model set gives two empty rows.
    clickNew([&](QDialog& d) {
        tick(d);
        ok(d, "Blank");
    });
    EXPECT_EQ(ui.messages.back().text,
              "Changes to the current coefficient set must be saved before adding a new coefficient set. \r\n"
              " Click 'Yes' to save changes and proceed, or 'No' to return.");
    ASSERT_EQ(dataRows(), 2);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(cell(2, c), "");
    click("cmdApply");

    CoeffStore stored;
    ASSERT_TRUE(GetISModelProperties(stored, store()));
    ASSERT_EQ(stored.ISLCDefs.Count(), 4);
    EXPECT_EQ(FindSet(stored, "Copy")->LCClasses.Item(1).LCName, "Only");
    EXPECT_EQ(FindSet(stored, "Other")->LCClasses.Count(), 1);
    EXPECT_EQ(FindSet(stored, "Blank")->LCClasses.Count(), 0);
}
