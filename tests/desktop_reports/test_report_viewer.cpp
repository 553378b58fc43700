#include "reports/qt/report_viewer.h"
#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace halvo;
namespace fs = std::filesystem;

namespace {

void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

struct Reports {
    test::TempDir dir;
    host::Map map;

    host::LayerPtr layer(const std::string& name, const std::string& file, const char* prm)
    {
        write(dir / (file + ".shp"), "");
        if (prm)
            write(dir / (name + ".prm"), prm);
        auto l = std::make_shared<host::Layer>();
        l->name = name;
        l->source = dir / (file + ".shp");
        return l;
    }
};

}  // namespace

TEST(ReportViewer, ListsLayersWithReportsInMapOrderAndShowsTheFirst)
{
    test::ScriptedUi ui;
    Reports r;
    auto group = std::make_shared<host::Layer>();
    group->kind = host::LayerKind::Group;
    group->members.push_back(r.layer("Inner", "inner", "inner report"));
    r.map.layers = {r.layer("Second", "second", "second\r\nreport"), r.layer("Plain", "plain", nullptr), group,
                    r.layer("Third", "third", "caf\xe9 report")};
    reports::ReportViewer viewer;
    viewer.setFileType("prm");
    viewer.setMap([&] { return &r.map; });
    viewer.refresh();

    ASSERT_EQ(viewer.layers()->count(), 2);
    EXPECT_EQ(viewer.layers()->itemText(0), "Second");
    EXPECT_EQ(viewer.layers()->itemText(1), "Third");
    EXPECT_EQ(viewer.windowTitle(), "Halvo Parameters for Second.shp");
    EXPECT_EQ(viewer.text()->toPlainText(), "second\nreport");

    // An older report in an 8-bit code page still reads.
    QTest::keyClick(viewer.layers(), Qt::Key_Down);
    emit viewer.layers()->activated(1);
    EXPECT_EQ(viewer.text()->toPlainText(), QString::fromUtf8("caf\xc3\xa9 report"));

    // Deleted after the search: reported, the text stays.
    fs::remove(r.dir / "Second.prm");
    emit viewer.layers()->activated(0);
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_NE(ui.reports[0].find("cboSelLayers_Click frmISTParams"), std::string::npos);
    EXPECT_EQ(viewer.text()->toPlainText(), QString::fromUtf8("caf\xc3\xa9 report"));
    EXPECT_TRUE(ui.messages.empty());

    viewer.show();  // a long abstract wraps: no scrolling sideways
    viewer.text()->setPlainText(QStringLiteral("word ").repeated(200));
    QApplication::processEvents();
    EXPECT_EQ(viewer.text()->horizontalScrollBar()->maximum(), 0);
}

TEST(ReportViewer, RenamedLayerHasNoReportAndTheViewerCloses)
{
    test::ScriptedUi ui;
    Reports r;
    auto l = r.layer("Result", "result", "text");
    l->name = "Result (renamed)";
    r.map.layers = {l};
    reports::ReportViewer viewer;
    viewer.setFileType("met");
    viewer.setMap([&] { return &r.map; });
    viewer.show();
    viewer.refresh();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "No Metadata Files");
    EXPECT_EQ(ui.messages[0].text, "There are no layers with an associated \"Metadata\" file.");
    EXPECT_FALSE(viewer.isVisible());
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
