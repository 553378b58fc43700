// The plugin as QGIS sees it: the library's entry points, the menu and the
// toolbar, the commands' enabled rule and the shared dialogs.

#include "coefficients/model_store.h"
#include "fixture.h"
#include "plugin/extension.h"
#include "support/qt/help_browser.h"

#include <qgisplugin.h>
#include <qgslayertree.h>
#include <qgsmessagebar.h>
#include <qgsmessagebaritem.h>
#include <qgssettings.h>
#include <qgsvectorlayer.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>

#include <dlfcn.h>

#include <cstdlib>
#include <fstream>

namespace halvo::test {
namespace {

namespace fs = std::filesystem;

TEST(PluginLibrary, ExportsWhatQgisLooksForAndHidesTheEngine)
{
    void* lib = ::dlopen(HALVO_PLUGIN_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    for (const char* symbol : {"classFactory", "name", "description", "category", "type", "version", "icon",
                               "experimental", "create_date", "update_date", "unload"})
        EXPECT_NE(::dlsym(lib, symbol), nullptr) << symbol;
    EXPECT_EQ(::dlsym(lib, "_ZN5halvo7support2uiEv"), nullptr) << "the engine inside stays private";
    auto name = reinterpret_cast<const QString* (*)()>(::dlsym(lib, "name"));
    auto type = reinterpret_cast<int (*)()>(::dlsym(lib, "type"));
    EXPECT_EQ(*name(), "Halvo Tools");
    EXPECT_EQ(type(), QgisPlugin::UI);
    ::dlclose(lib);
}

class Plugin : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        fs::remove_all(ext / "temp");
        fs::remove_all(ext / "output");
        help = window.menuBar()->addMenu("Help");
        app.mainWindow = &window;
        app.project = QgsProject::instance();
        app.helpMenu = help;
    }
    void start(plugin::Extension& plugin)
    {
        plugin.Startup(&app);
        plugin.setState(plugin::kEnabled);
        plugin.buildGui();
    }

    QMainWindow window;
    QMenu* help = nullptr;
    plugin::HostApplication app;
};

TEST_F(Plugin, MenuHoldsItsCommandsInTwoGroupsBeforeQgisHelpAndLeavesOnRemoval)
{
    plugin::Extension plugin(nullptr);
    start(plugin);

    QMenu* menu = plugin.menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title().remove(QLatin1Char('&')), "Impervious Surface Tools");
    QStringList entries;
    int separators = 0;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            ++separators;
            entries << "-";
        } else {
            entries << a->text();
            EXPECT_EQ(a->toolTip(), a->text());
        }
    }
    EXPECT_EQ(separators, 1);
    EXPECT_EQ(entries, (QStringList{"Run Impervious Surface Analysis...", "View Halvo Parameters for a Layer...",
                                    "View Halvo Metadata for a Layer...", "Change Coefficients...", "-", "Help...",
                                    "About Halvo..."}));
    const auto bar = window.menuBar()->actions();
    EXPECT_EQ(bar.indexOf(menu->menuAction()) + 1, bar.indexOf(help->menuAction()));

    QToolBar* toolbar = plugin.toolbar();
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(toolbar->windowTitle(), "Halvo Tools");
    const auto buttons = toolbar->findChildren<QToolButton*>("HALVO_EXT.clsMenuDef");
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->menu(), menu);

    plugin.removeGui();
    EXPECT_FALSE(window.menuBar()->actions().contains(menu->menuAction()));
}

TEST_F(Plugin, CommandsAreEnabledAndFoldersMadeOnlyOnceTheExtensionIsEnabled)
{
    plugin::Extension plugin(nullptr);
    plugin.Startup(&app);
    plugin.buildGui();
    for (auto* c : plugin.commands())
        EXPECT_FALSE(c->Enabled()) << "state never set";
    EXPECT_FALSE(fs::exists(ext / "temp"));
    plugin.setState(plugin::kDisabled);
    EXPECT_FALSE(plugin.commands()[0]->Enabled());
    EXPECT_FALSE(fs::exists(ext / "output"));

    plugin.setState(plugin::kEnabled);
    for (auto* c : plugin.commands())
        EXPECT_TRUE(c->Enabled());
    EXPECT_TRUE(fs::is_directory(ext / "temp"));
    EXPECT_TRUE(fs::is_directory(ext / "output"));
}

TEST_F(Plugin, RunCommandReusesOneDialogInsteadOfStackingThem)
{
    standardMap();
    Settle();
    plugin::Extension plugin(nullptr);
    start(plugin);
    plugin.commands()[0]->action()->trigger();
    auto* first = plugin.openParams();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    plugin.commands()[0]->action()->trigger();
    EXPECT_EQ(plugin.openParams(), first);
    EXPECT_EQ(window.findChildren<params::AnalysisDialog*>().size(), 1);
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(Plugin, ReportViewerListsLayersInGroupsByLegendOrderAndLosesARenamedOne)
{
    const fs::path a = Zones(ext.path(), "first"), b = Zones(ext.path(), "second"), c = Zones(ext.path(), "inner");
    for (const char* n : {"First", "Second", "Inner"})
        std::ofstream(ext / (std::string(n) + ".prm"), std::ios::binary) << n << " caf\xe9 report\r\n";
    AddVector(a, "First");
    AddVector(b, "Second");
    auto* inner = AddVector(c, "Inner");
    auto* root = QgsProject::instance()->layerTreeRoot();
    auto* group = root->addGroup("Group");
    group->addLayer(inner);
    root->removeLayer(inner);
    Settle();
    plugin::Extension plugin(nullptr);
    start(plugin);

    auto* viewer = plugin.openReports("prm");
    ASSERT_NE(viewer, nullptr);
    ASSERT_EQ(viewer->layers()->count(), 2);
    // New layers go on top of the legend: the last added is listed first.
    EXPECT_EQ(viewer->layers()->itemText(0), "Second");
    EXPECT_EQ(viewer->layers()->itemText(1), "First");
    EXPECT_EQ(viewer->windowTitle(), "Halvo Parameters for Second.shp");
    EXPECT_EQ(viewer->text()->toPlainText(), QString::fromUtf8("Second caf\xc3\xa9 report\n"))
        << "an older report in an 8-bit code page still reads";
    viewer->text()->setPlainText(QStringLiteral("word ").repeated(200));  // a long abstract wraps
    QApplication::processEvents();
    EXPECT_EQ(viewer->text()->horizontalScrollBar()->maximum(), 0);

    // A renamed layer no longer finds its report; with none left the viewer says so and closes.
    for (auto* l : QgsProject::instance()->mapLayers())
        l->setName(l->name() + " (copy)");
    Settle();
    plugin.openReports("prm");
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().title, "No Parameter Files");
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(Plugin, RunEndsWithSuccessAndNodataInTheMessageBarNotInBoxes)
{
    standardMap();
    QgsProject::instance()->setCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:5070")));
    Settle();
    auto* bar = new QgsMessageBar(&window);
    app.messageBar = bar;
    plugin::Extension plugin(nullptr);
    start(plugin);
    params::AnalysisDialog* opened = plugin.openParams();
    ASSERT_NE(opened, nullptr);
    auto* analysis = opened->findChild<QComboBox*>("cboAnalysisTheme");
    analysis->setCurrentIndex(analysis->findText("zones"));
    auto* field = opened->findChild<QComboBox*>("cboAnalysisUnit");
    field->setCurrentIndex(field->findText("NAME"));
    opened->densityOption(1)->setChecked(true);
    opened->findChild<QCheckBox*>("chkHtmlPage")->setChecked(true);
    fs::create_directories(ext / "out");
    opened->findChild<QLineEdit*>("txtOutputTheme")->setText(QString::fromStdString((ext / "out" / "result").string()));
    opened->checkOutputBox();
    opened->findChild<QPushButton*>("cmdISRun")->click();

    ASSERT_TRUE(fs::exists(ext / "out" / "result.shp"));
    EXPECT_TRUE(fs::exists(ext / "out" / "result.html"));
    for (const Shown& m : ui.messages)
        EXPECT_NE(m.title, "NODATA Cells!") << "the NODATA notice is no box";
    QStringList titles, texts;
    QgsMessageBarItem* success = nullptr;
    for (QgsMessageBarItem* item : bar->items()) {
        titles << item->title();
        texts << item->text();
        if (item->level() == Qgis::MessageLevel::Success)
            success = item;
    }
    EXPECT_TRUE(titles.contains("NODATA Cells!")) << titles.join('|').toStdString();
    ASSERT_NE(success, nullptr) << titles.join('|').toStdString();
    EXPECT_TRUE(success->text().contains("result")) << success->text().toStdString();
    EXPECT_EQ(success->duration(), QgsMessageBar::defaultMessageTimeout(Qgis::MessageLevel::Success));
    EXPECT_NE(success->findChild<QPushButton*>("cmdOpenHtmlPage"), nullptr);
    auto* open = success->findChild<QPushButton*>("cmdOpenParameterReport");
    ASSERT_NE(open, nullptr);
    open->click();
    const auto viewers = window.findChildren<reports::ReportViewer*>();
    ASSERT_EQ(viewers.size(), 1);
    EXPECT_EQ(viewers[0]->layers()->currentText(), "result");
}

TEST_F(Plugin, F1OpensEachDialogsOwnHelpPageWithHalvoHomeSet)
{
    fs::copy(SourceDir() / "help", ext / "help", fs::copy_options::recursive);
    standardMap();
    Settle();
    plugin::Extension plugin(nullptr);
    start(plugin);
    auto pressF1 = [](QWidget* w) {
        w->show();
        w->activateWindow();
        QApplication::setActiveWindow(w);
        QTest::keyClick(w, Qt::Key_F1);
        for (QWidget* top : QApplication::allWidgets())
            if (auto* h = qobject_cast<support::HelpBrowser*>(top))
                return h->browser()->source().fileName();
        return QString();
    };
    params::AnalysisDialog* opened = plugin.openParams();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(pressF1(opened), "params_dialog.html");
    opened->density().show();
    EXPECT_EQ(pressF1(&opened->density()), "density.html");
    opened->density().hide();
    std::ofstream(data / "zones.prm", std::ios::binary) << "report\r\n";
    EXPECT_EQ(pressF1(plugin.openReports("prm")), "reports.html");
}

TEST_F(Plugin, SpeaksTheLanguageQgisIsSetToAndEnglishAgainOnceUnloaded)
{
    fs::copy(fs::path(HALVO_EXT_DIR) / "i18n", ext / "i18n");
    QgsSettings().setValue(QStringLiteral("locale/userLocale"), QStringLiteral("fr_FR"));
    {
        plugin::Extension plugin(nullptr);
        plugin.followQgisLanguage();
        plugin.Startup(&app);
        plugin.setState(plugin::kEnabled);
        plugin.buildGui();
        ASSERT_NE(plugin.menu(), nullptr);
        EXPECT_EQ(plugin.menu()->title(), "&Outils de surface imperméable");
        EXPECT_EQ(plugin.commands()[0]->action()->text(), "Lancer l'analyse de surface imperméable...");
        plugin.unload();
    }
    QgsSettings().remove(QStringLiteral("locale/userLocale"));
    EXPECT_EQ(QCoreApplication::translate("halvo::plugin::MenuDef", "Impervious Surface Tools"),
              "Impervious Surface Tools");
}

TEST_F(Plugin, AnalysisChoicesAreKeptInTheProjectForTheNextOpening)
{
    standardMap();
    AddVector(Zones(ext.path(), "other"), "other");
    Settle();
    coefficients::CoeffStore store;
    ASSERT_TRUE(coefficients::GetISModelProperties(store, support::StorePath(ext.path())));
    coefficients::CoeffSet second = store.ISLCDefs.Item(1);
    second.LCType = "Second";
    store.ISLCDefs.Add(second);
    coefficients::PutISModelProperties(store, ext.path());
    plugin::Extension plugin(nullptr);
    start(plugin);
    params::AnalysisDialog* opened = plugin.openParams();
    ASSERT_NE(opened, nullptr);
    auto* analysis = opened->findChild<QComboBox*>("cboAnalysisTheme");
    auto* field = opened->findChild<QComboBox*>("cboAnalysisUnit");
    auto* set = opened->findChild<QComboBox*>("cboLCType");
    ASSERT_GE(set->count(), 2);
    analysis->setCurrentIndex(analysis->findText("zones"));
    field->setCurrentIndex(field->findText("HUC"));
    set->setCurrentIndex(1);
    const QString setName = set->currentText();
    opened->densityOption(2)->setChecked(true);
    opened->findChild<QCheckBox*>("chkHtmlPage")->setChecked(true);
    opened->close();
    Settle();
    EXPECT_EQ(QgsProject::instance()->readEntry("Halvo", "/field"), "HUC");

    opened = plugin.openParams();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->findChild<QComboBox*>("cboAnalysisTheme")->currentText(), "zones");
    EXPECT_EQ(opened->findChild<QComboBox*>("cboAnalysisUnit")->currentText(), "HUC");
    EXPECT_EQ(opened->findChild<QComboBox*>("cboLCType")->currentText(), setName);
    EXPECT_TRUE(opened->densityOption(2)->isChecked());
    EXPECT_TRUE(opened->findChild<QCheckBox*>("chkHtmlPage")->isChecked());
}

}  // namespace
}  // namespace halvo::test
