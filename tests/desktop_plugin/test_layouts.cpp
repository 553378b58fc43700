// Every dialog rendered offscreen with a 13 pt font, in English, French and
// German: no label, button or frame title may be cut off. ctest runs these a
// second time at 1.5x scaling (QT_SCALE_FACTOR).

#include "coefficients/qt/add_set_dialog.h"
#include "coefficients/qt/coefficient_editor.h"
#include "fixture.h"
#include "reports/qt/report_viewer.h"
#include "support/qt/help_browser.h"
#include "support/qt/processing.h"
#include "support/qt/qt_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextDocument>
#include <QTranslator>

#include <fstream>

namespace halvo::test {
namespace {

namespace fs = std::filesystem;

QString Plain(QString text) { return text.remove(QRegularExpression(QStringLiteral("&(?!&)"))); }

// What does not fit in `top`, as "objectName: text" lines.
QStringList Clipped(QWidget* top)
{
    QApplication::processEvents();
    QStringList out;
    auto report = [&](const QWidget* w, const QString& text) {
        out << QStringLiteral("%1 (%2): \"%3\"").arg(w->objectName(), w->metaObject()->className(), text);
    };
    for (QLabel* l : top->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(top) || l->text().isEmpty() || Qt::mightBeRichText(l->text()))
            continue;
        const QRect r = l->contentsRect();
        if (l->wordWrap()) {
            if (l->heightForWidth(r.width()) > r.height() + 1)
                report(l, l->text());
            continue;
        }
        for (const QString& line : Plain(l->text()).split(QLatin1Char('\n')))
            if (l->fontMetrics().horizontalAdvance(line) > r.width())
                report(l, line);
    }
    for (QAbstractButton* b : top->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(top) || b->text().isEmpty())
            continue;
        if (b->fontMetrics().horizontalAdvance(Plain(b->text())) > b->contentsRect().width() ||
            b->sizeHint().width() > b->width())
            report(b, b->text());
    }
    for (QGroupBox* g : top->findChildren<QGroupBox*>())
        if (g->isVisibleTo(top) && g->fontMetrics().horizontalAdvance(g->title()) + 16 > g->width())
            report(g, g->title());
    for (QTableWidget* t : top->findChildren<QTableWidget*>())  // headers and cells, not elided
        for (int c = 0; c < t->columnCount(); ++c)
            for (int r = -1; r < t->rowCount(); ++r)
                if (const QTableWidgetItem* i = r < 0 ? t->horizontalHeaderItem(c) : t->item(r, c);
                    i && t->fontMetrics().horizontalAdvance(i->text()) + 8 > t->columnWidth(c))
                    report(t, i->text());
    return out;
}

class Layouts : public DesktopTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        font_ = QApplication::font();
        QFont big = font_;
        big.setPointSize(13);
        QApplication::setFont(big);
        translation_ = support::InstallTranslation(HALVO_EXT_DIR, QString::fromLatin1(GetParam()));
        if (std::string(GetParam()) != "en") {
            ASSERT_NE(translation_, nullptr) << "no translation for " << GetParam() << " in " << HALVO_EXT_DIR;
        }
    }
    void TearDown() override
    {
        translation_.reset();
        QApplication::setFont(font_);
        DesktopTest::TearDown();
    }
    void expectFits(QWidget* w)
    {
        w->show();
        const QStringList clipped = Clipped(w);
        EXPECT_TRUE(clipped.isEmpty()) << w->objectName().toStdString() << " in " << GetParam() << ":\n  "
                                       << clipped.join(QStringLiteral("\n  ")).toStdString();
        w->hide();
    }

    QFont font_;
    std::unique_ptr<QTranslator> translation_;
};

TEST_P(Layouts, EveryDialogShowsItsWholeText)
{
    standardMap();
    params::AnalysisDialog& d = open();
    d.findChild<QPushButton*>("cmdDSAdd")->click();
    d.findChild<QPushButton*>("cmdDSAdd")->click();
    expectFits(&d);
    expectFits(&d.density());

    coefficients::CoefficientEditor editor(nullptr, ext.path());
    expectFits(&editor);
    QComboBox list;
    QTableWidget grid;
    coefficients::AddSetDialog add(list, grid, nullptr);
    expectFits(&add);

    std::ofstream(data / "zones.prm", std::ios::binary) << "report\r\n";
    reports::ReportViewer viewer;
    viewer.setMap([this]() -> const host::Map* { return &map->focusMap(); });
    viewer.setFileType("prm");
    viewer.show();
    viewer.refresh();
    expectFits(&viewer);

    support::AboutDialog about;
    expectFits(&about);
    support::HelpBrowser help(nullptr, ext.path());
    expectFits(&help);
    support::CallStackWindow report;
    expectFits(&report);
    QWidget owner;
    owner.show();
    support::ProcessingNotice notice(&owner);
    expectFits(&notice);
}

INSTANTIATE_TEST_SUITE_P(Languages, Layouts, ::testing::Values("en", "fr", "de"));

}  // namespace
}  // namespace halvo::test
