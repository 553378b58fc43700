// The Qt face of the support subsystem: message boxes as the engine asks for
// them, the call-stack window, the help window and the About box.

#include "fixture.h"
#include "support/error_reporting.h"
#include "support/qt/help_browser.h"
#include "support/qt/processing.h"
#include "support/qt/qt_ui.h"
#include "support/scripted_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>

namespace halvo::test {
namespace {

struct BoxSeen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

TEST(QtUi, MessageBoxesCarryTheEnginesIconButtonsAndTitle)
{
    support::QtUi ui;
    std::shared_ptr<BoxSeen> seen = std::make_shared<BoxSeen>();
    auto answer = [&](QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [seen, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
            seen->buttons = box->standardButtons();
            box->button(button)->click();
        });
    };
    answer(QMessageBox::Cancel);
    EXPECT_EQ(ui.message("Line one\rline two", "Title", support::Icon::Critical, support::Buttons::OKCancel),
              support::Answer::Cancel);
    EXPECT_EQ(seen->text, "Line one\nline two");
    EXPECT_EQ(seen->title, "Title");
    EXPECT_EQ(seen->icon, QMessageBox::Critical);
    EXPECT_EQ(seen->buttons, QMessageBox::Ok | QMessageBox::Cancel);

    answer(QMessageBox::No);
    EXPECT_EQ(ui.message("Sure?", "Halvo", support::Icon::Question, support::Buttons::YesNoCancel),
              support::Answer::No);
    EXPECT_EQ(seen->icon, QMessageBox::Question);

    answer(QMessageBox::Ok);
    EXPECT_EQ(ui.message("Careful", "Halvo", support::Icon::Exclamation, support::Buttons::OK), support::Answer::OK);
    EXPECT_EQ(seen->icon, QMessageBox::Warning);
}

TEST(QtUi, ReportsShowInOneSelectableCopyableWindow)
{
    support::QtUi ui;
    support::UiScope scope(ui);
    try {
        support::raise(5, "Invalid procedure call");
    } catch (...) {
        support::ReportCurrent(true, "cmdISRun_Click", "ISParams");
    }
    support::CallStackWindow* window = ui.callStackWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    auto* text = window->findChild<QPlainTextEdit*>("txtReport");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_TRUE(text->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(text->toPlainText().startsWith("Record Call Stack Sequence - Bottom line is error line.\n\n"
                                               "\tcmdISRun_Click ISParams \n"));
    EXPECT_TRUE(text->toPlainText().contains("Invalid procedure call"));

    window->findChild<QPushButton*>("cmdCopy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), text->toPlainText());

    ui.showCallStack("second report");
    EXPECT_EQ(ui.callStackWindow(), window) << "one window, reused";
    EXPECT_EQ(text->toPlainText(), "second report");
}

TEST(HelpWindow, MissingPageIsNamedAndTheWindowStillOpens)
{
    ScriptedUi ui;
    TempDir ext("halvo-help"), shared("halvo-share");
    support::HelpBrowser help(nullptr, ext.path(), shared.path());
    help.load();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "The Halvo help file (" + (ext.path() / "help/is_index.html").string() + ") does not exist.");
    EXPECT_EQ(ui.messages[0].icon, support::Icon::Exclamation);
    EXPECT_TRUE(help.browser()->toPlainText().isEmpty());
}

TEST(HelpWindow, ShowsTheFoldersOwnIndexElseTheInstalledOne)
{
    ScriptedUi ui;
    TempDir ext("halvo-help"), shared("halvo-share");
    std::filesystem::create_directories(shared / "help");
    std::ofstream(shared / "help/is_index.html") << "<html><body><h1>Installed Help</h1></body></html>";
    support::HelpBrowser installed(nullptr, ext.path(), shared.path());
    installed.load();
    EXPECT_TRUE(installed.browser()->toPlainText().contains("Installed Help"));

    std::filesystem::create_directories(ext / "help");
    std::ofstream(ext / "help/is_index.html") << "<html><body><h1>Halvo Help</h1></body></html>";
    support::HelpBrowser help(nullptr, ext.path(), shared.path());
    help.load();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(help.browser()->toPlainText().contains("Halvo Help"));
}

TEST(AboutBox, NamesTheExtensionFolderInUseAndKeepsTheDisclaimersBreaks)
{
    support::AboutDialog about(nullptr, "/home/someone/.local/share/halvo");
    EXPECT_EQ(about.findChild<QLabel*>("lblFolder")->text(), "Extension folder: /home/someone/.local/share/halvo");
    EXPECT_TRUE(about.findChild<QLabel*>("lblDisclaimer")->text().contains("\n\r\n"));
}

TEST(QtUi, NoticeCancelStopsTheRunAndStepsAsideForMessageBoxes)
{
    support::QtUi ui;
    QWidget owner;
    owner.show();
    support::ProcessingNotice notice(&owner);
    notice.show();
    EXPECT_FALSE(ui.canceled());

    bool noticeVisibleUnderBox = true;
    QTimer::singleShot(0, [&] {
        noticeVisibleUnderBox = notice.isVisible();
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(ui.message("Go on?", "Halvo", support::Icon::Question, support::Buttons::YesNo), support::Answer::Yes);
    EXPECT_FALSE(noticeVisibleUnderBox);
    EXPECT_TRUE(notice.isVisible()) << "back once the box is gone";

    notice.cancelButton()->click();
    EXPECT_TRUE(ui.canceled());
    support::UiScope scope(ui);
    EXPECT_THROW(support::CheckCanceled(), support::Canceled);
}

}  // namespace
}  // namespace halvo::test
