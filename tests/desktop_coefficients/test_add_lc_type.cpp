#include "editor_fixture.h"

#include <QCheckBox>
#include <QTimer>

#include <functional>

using namespace halvo::test;
using namespace halvo::coefficients;

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
