#pragma once
// The coefficient editor opened on a throwaway extension folder, driven
// through its widgets with real key and mouse events.

#include "coefficients/model_store.h"
#include "coefficients/qt/coefficient_editor.h"
#include "coefficients/qt/lc_grid.h"

#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

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
