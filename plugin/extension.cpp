#include "plugin/extension.h"

#include "params/qt/params_dialog.h"
#include "plugin/dialog_run.h"
#include "plugin/processing_provider.h"
#include "plugin/qgis_map.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/qt/help_browser.h"
#include "support/ui.h"

#ifdef HALVO_HAVE_COEFFICIENTS_QT
#include "coefficients/qt/coefficient_editor.h"
#endif

#include "model/run.h"

#include <qgisinterface.h>
#include <qgsmapcanvas.h>
#include <qgsmessagebar.h>
#include <qgsmessagebaritem.h>
#include <qgsmessagelog.h>
#include <qgsproject.h>
#include <qgssettings.h>

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QUrl>

#include <iostream>

namespace halvo::plugin {

namespace {
constexpr const char* kCommands = "clsCommands";

struct ItemInfo {
    int subType;
    bool group;
};
constexpr ItemInfo kMenuItems[6] = {{1, false}, {2, false}, {3, false}, {4, false}, {5, true}, {6, false}};
}  // namespace

// --- Command ------------------------------------------------------------

Command::Command(int subType, QObject* parent) : QObject(parent), subType_(subType)
{
    action_ = new QAction(Caption(), this);
    action_->setObjectName(QStringLiteral("HALVO_EXT.clsCommands.%1").arg(subType));
    action_->setToolTip(Tooltip());
    action_->setStatusTip(Message());
    action_->setEnabled(false);
    connect(action_, &QAction::triggered, this, &Command::OnClick);
}

void Command::OnCreate(Extension* extension)
{
    ext_ = extension;
    if (!ext_)
        support::MsgBox("m_pEXT is nothing");
    action_->setEnabled(Enabled());
}

QString Command::Name() const
{
    switch (subType_) {
    case 1: return tr("Run Impervious Surface Analysis...");
    case 2: return tr("View Halvo Parameters for a Layer...");
    case 3: return tr("View Halvo Metadata for a Layer...");
    case 4: return tr("Change Coefficients...");
    case 5: return tr("Help...");
    case 6: return tr("About Halvo...");
    default: return QString();
    }
}

bool Command::Enabled() const { return ext_ && ext_->State() == kEnabled; }

void Command::OnClick()
{
    support::GuardedVoid("ICommand_OnClick", kCommands, true, [&] {
        if (!ext_)
            return;
        QWidget* owner = ext_->application() ? ext_->application()->mainWindow : nullptr;
        switch (subType_) {
        case 1: ext_->openParams(); break;
        case 2: ext_->openReports("prm"); break;
        case 3: ext_->openReports("met"); break;
        case 4: ext_->openCoefficients(); break;
        case 5: support::ShowHelpBrowser(ext_->extensionFolder(), owner); break;
        case 6: support::ShowAbout(owner); break;
        default: break;
        }
    });
}

// --- MenuDef ---------------------------------------------------------------

bool MenuDef::GetItemInfo(int position, int& subType, bool& group)
{
    if (position < 0 || position >= ItemCount())
        return false;
    subType = kMenuItems[position].subType;
    group = kMenuItems[position].group;
    return true;
}

// --- Extension -------------------------------------------------------------------

Extension::Extension(QgisInterface* iface)
    : QgisPlugin(ProductName(), Description(), QStringLiteral("Plugins"), support::VersionText(), QgisPlugin::UI),
      iface_(iface), ext_(support::ExtensionFolder())
{
}

Extension::~Extension()
{
    releaseProcessing();
    removeGui();
    Shutdown();
}

void Extension::initGui()
{
    uiScope_ = std::make_unique<support::UiScope>(ui_);
    followQgisLanguage();
    if (iface_) {
        fromIface_.mainWindow = qobject_cast<QMainWindow*>(iface_->mainWindow());
        fromIface_.project = QgsProject::instance();
        fromIface_.helpMenu = iface_->helpMenu();
        fromIface_.messageBar = iface_->messageBar();
        QgisInterface* iface = iface_;
        fromIface_.refresh = [iface] {
            if (iface->mapCanvas())
                iface->mapCanvas()->refresh();
        };
        Startup(&fromIface_);
    } else {
        Startup(nullptr);
    }
    setState(kEnabled);
    buildGui();
    if (!processingHeld_) {
        HoldProvider();
        processingHeld_ = true;
    }
    // QGIS keeps its message log to itself; a script watching the start sees this line.
    std::cerr << "Halvo: plugin loaded from " << ext_.string() << std::endl;
}

void Extension::unload()
{
    releaseProcessing();
    removeGui();
    setState(kDisabled);
    Shutdown();
    translation_.reset();
}

void Extension::followQgisLanguage()
{
    // QGIS keeps the language it speaks in its settings, for plugins to follow.
    if (!translation_)
        translation_ = support::InstallTranslation(
            ext_, QgsSettings().value(QStringLiteral("locale/userLocale"), QString()).toString());
}

void Extension::releaseProcessing()
{
    if (processingHeld_)
        ReleaseProvider();
    processingHeld_ = false;
}

void Extension::Startup(HostApplication* initializationData)
{
    host_ = initializationData;
    if (!host_)
        support::MsgBox("m_pApp is crapola");
    if (host_ && host_->project) {
        map_ = std::make_unique<QgsProjectMap>(host_->project, support::TempFolder(ext_));
        map_->repaint = host_->refresh;
    }
}

void Extension::Shutdown()
{
    delete params_.data();
    delete coefficients_.data();
    // The viewer reads the map through this object.
    delete reports_.data();
    support::CloseSharedWindows();
    map_.reset();
    host_ = nullptr;
}

int Extension::State()
{
    if (state_ == kEnabled)
        support::EnsureWorkingFolders(ext_);
    return state_;
}

void Extension::buildGui()
{
    if (menu_)
        return;
    QMainWindow* window = host_ ? host_->mainWindow : nullptr;
    for (int i = 0; i < Command::GetCount(); ++i) {
        commands_[static_cast<std::size_t>(i)] = new Command(i + 1, this);
        commands_[static_cast<std::size_t>(i)]->OnCreate(this);
    }

    // Alt+I opens it: no QGIS menu uses that letter.
    menu_ = new QMenu(QStringLiteral("&") +
                          QCoreApplication::translate("halvo::plugin::MenuDef", "Impervious Surface Tools"),
                      window);
    menu_->setObjectName(MenuDef::Name());
    for (int pos = 0; pos < MenuDef::ItemCount(); ++pos) {
        int subType = 0;
        bool group = false;
        if (!MenuDef::GetItemInfo(pos, subType, group))
            continue;
        if (group)
            menu_->addSeparator();
        menu_->addAction(commands_[static_cast<std::size_t>(subType - 1)]->action());
    }
    // The host polls the commands' Enabled before showing them.
    connect(menu_, &QMenu::aboutToShow, this, &Extension::refreshEnabled);

    if (window) {
        QMenuBar* bar = window->menuBar();
        if (host_->helpMenu)
            bar->insertMenu(host_->helpMenu->menuAction(), menu_);
        else
            bar->addMenu(menu_);

        toolbar_ = new QToolBar(Toolbar::Caption(), window);
        toolbar_->setObjectName(QStringLiteral("HalvoTools"));
        toolbar_->setToolTip(Toolbar::Name());
        auto* button = new QToolButton(toolbar_);
        button->setObjectName(QStringLiteral("HALVO_EXT.clsMenuDef"));
        button->setText(MenuDef::Caption());
        button->setToolTip(MenuDef::Caption());
        button->setIcon(QIcon(support::IconPath()));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setMenu(menu_);
        button->setPopupMode(QToolButton::InstantPopup);
        toolbar_->addWidget(button);
        window->addToolBar(toolbar_);
    }
    refreshEnabled();
}

void Extension::removeGui()
{
    delete toolbar_.data();
    delete menu_.data();
    for (Command*& c : commands_) {
        delete c;
        c = nullptr;
    }
}

void Extension::refreshEnabled()
{
    for (Command* c : commands_)
        if (c)
            c->action()->setEnabled(c->Enabled());
}

params::AnalysisDialog* Extension::openParams()
{
    if (!map_)
        support::raise(91, "There is no QGIS project to work on");
    if (!params_) {
        auto* dialog = new params::AnalysisDialog(host_ ? host_->mainWindow : nullptr, ext_, map_.get());
        dialog->helpHandler = [this] {
            support::ShowHelpBrowser(ext_, host_ ? host_->mainWindow : nullptr, QStringLiteral("params_dialog.html"));
        };
        DialogRunHooks hooks;
        if (host_ && host_->messageBar) {
            hooks.notice = [this](const QString& text, const QString& title, support::Icon icon) {
                pushNotice(text, title, icon);
            };
            hooks.succeeded = [this, dialog](const model::RunResult& result) {
                keepChoices(*dialog);
                announceRun(result);
            };
        }
        ConnectDialogRun(*dialog, *map_, ext_, std::move(hooks));
        map_->sync();
        if (!dialog->load()) {
            delete dialog;
            return nullptr;
        }
        params_ = dialog;
        restoreChoices(*dialog);
        connect(dialog, &QDialog::finished, this, [this, dialog] { keepChoices(*dialog); });
    }
    params_->show();
    params_->raise();
    params_->activateWindow();
    return params_.data();
}

void Extension::openCoefficients()
{
#ifdef HALVO_HAVE_COEFFICIENTS_QT
    if (!coefficients_) {
        auto* editor = new coefficients::CoefficientEditor(host_ ? host_->mainWindow : nullptr, ext_);
        editor->setWindowFlag(Qt::Window);
        const auto help = [this] {
            support::ShowHelpBrowser(ext_, host_ ? host_->mainWindow : nullptr, QStringLiteral("coefficients.html"));
        };
        editor->setHelpHandler(help);
        support::InstallHelpKey(editor, help);
        coefficients_ = editor;
    }
    coefficients_->show();
    coefficients_->raise();
    coefficients_->activateWindow();
#else
    support::MsgBox("The coefficient editor is not part of this build of Halvo.", support::Buttons::OK,
                    support::Icon::Information, "Change Coefficients");
#endif
}

namespace {
const QString kScope = QStringLiteral("Halvo");
const char* const kChoiceKeys[] = {"landCover",    "units",        "analysis", "field", "set",          "density",
                                   "densityLayer", "densityField", "high",     "low",   "outputFolder", "htmlPage"};
}  // namespace

void Extension::keepChoices(params::AnalysisDialog& dialog)
{
    QgsProject* project = host_ ? host_->project : nullptr;
    if (!project)
        return;
    const QVariantMap choices = dialog.choices();
    for (const char* key : kChoiceKeys) {
        const QString entry = QStringLiteral("/") + QLatin1String(key);
        if (choices.contains(QLatin1String(key)))
            project->writeEntry(kScope, entry, choices.value(QLatin1String(key)).toString());
        else
            project->removeEntry(kScope, entry);
    }
}

void Extension::restoreChoices(params::AnalysisDialog& dialog)
{
    QgsProject* project = host_ ? host_->project : nullptr;
    if (!project)
        return;
    QVariantMap choices;
    for (const char* key : kChoiceKeys) {
        bool found = false;
        const QString value = project->readEntry(kScope, QStringLiteral("/") + QLatin1String(key), QString(), &found);
        if (found)
            choices.insert(QLatin1String(key), value);
    }
    if (!choices.isEmpty())
        dialog.restoreChoices(choices);
}

void Extension::pushNotice(const QString& text, const QString& title, support::Icon icon)
{
    const Qgis::MessageLevel level = icon == support::Icon::Critical      ? Qgis::MessageLevel::Critical
                                     : icon == support::Icon::Exclamation ? Qgis::MessageLevel::Warning
                                                                          : Qgis::MessageLevel::Info;
    QgsMessageLog::logMessage(title.isEmpty() ? text : title + QStringLiteral(": ") + text, QStringLiteral("Halvo"),
                              level);
    if (host_ && host_->messageBar)
        host_->messageBar->pushMessage(title, QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')), level,
                                       level == Qgis::MessageLevel::Info ? QgsMessageBar::defaultMessageTimeout(level)
                                                                         : 0);
}

void Extension::announceRun(const model::RunResult& result)
{
    const QString layer = result.outputLayer ? QString::fromStdString(result.outputLayer->name) : QString();
    const QString file = QString::fromStdString(result.shapefile.string());
    const QString text = tr("%1 written to %2").arg(layer, file);
    QgsMessageLog::logMessage(text, QStringLiteral("Halvo"), Qgis::MessageLevel::Success);
    if (!host_ || !host_->messageBar)
        return;
    // Gone after QGIS's own time for a success, so notices of several runs do not pile up.
    auto* item = new QgsMessageBarItem(tr("Halvo"), text, Qgis::MessageLevel::Success,
                                       QgsMessageBar::defaultMessageTimeout(Qgis::MessageLevel::Success));
    auto* button = new QPushButton(tr("Parameter Report"));
    button->setObjectName(QStringLiteral("cmdOpenParameterReport"));
    connect(button, &QPushButton::clicked, this, [this, layer] {
        reports::ReportViewer* viewer = openReports("prm");
        if (viewer && viewer->layers()) {
            const int i = viewer->layers()->findText(layer);
            if (i >= 0)
                viewer->layers()->setCurrentIndex(i);
        }
    });
    if (result.page.empty()) {
        item->setWidget(button);
    } else {
        auto* buttons = new QWidget;
        auto* row = new QHBoxLayout(buttons);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(button);
        auto* page = new QPushButton(tr("Open HTML Page"), buttons);
        page->setObjectName(QStringLiteral("cmdOpenHtmlPage"));
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(result.page.string()));
        connect(page, &QPushButton::clicked, this, [url] { QDesktopServices::openUrl(url); });
        row->addWidget(page);
        item->setWidget(buttons);
    }
    host_->messageBar->pushItem(item);
}

reports::ReportViewer* Extension::openReports(const char* fileType)
{
    if (!reports_) {
        reports_ = new reports::ReportViewer(host_ ? host_->mainWindow : nullptr);
        reports_->setWindowFlag(Qt::Window);
        reports_->setAttribute(Qt::WA_DeleteOnClose);
        support::InstallHelpKey(reports_, [this] {
            support::ShowHelpBrowser(ext_, host_ ? host_->mainWindow : nullptr, QStringLiteral("reports.html"));
        });
    }
    reports_->setFileType(fileType);
    reports_->setMap([this]() -> const host::Map* {
        if (!map_)
            return nullptr;
        map_->sync();
        return &map_->focusMap();
    });
    reports_->show();
    reports_->raise();
    reports_->activateWindow();
    reports_->refresh();
    return reports_;
}

}  // namespace halvo::plugin
