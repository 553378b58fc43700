#pragma once
// The plugin object QGIS loads: the extension's start, stop and state, the
// six commands, the "Impervious Surface Tools" menu and the "Halvo Tools"
// toolbar. It only wires; the dialogs and the engine do the work.

#include "reports/qt/report_viewer.h"
#include "support/qt/qt_ui.h"

#include <qgisplugin.h>

#include <QCoreApplication>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QToolBar>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QToolButton;
class QgisInterface;
class QgsMessageBar;
class QgsProject;

namespace halvo::params {
class AnalysisDialog;
}
namespace halvo::model {
struct RunResult;
}

namespace halvo::plugin {

class QgsProjectMap;
class Extension;

// What the extension is handed at start: QGIS's main window and project.
struct HostApplication {
    QMainWindow* mainWindow = nullptr;
    QgsProject* project = nullptr;
    QMenu* helpMenu = nullptr;            // our menu goes in front of it
    QgsMessageBar* messageBar = nullptr;  // notices that ask nothing
    std::function<void()> refresh;        // repaints the map
};

enum ExtensionState : int { kStateUnset = 0, kEnabled = 1, kDisabled = 2, kUnavailable = 4 };

// One command per subtype 1..6; each is an action in the menu.
class Command : public QObject {
    Q_OBJECT
public:
    Command(int subType, QObject* parent = nullptr);
    static constexpr int GetCount() { return 6; }
    // Finds the extension; without one the command stays disabled.
    void OnCreate(Extension* extension);

    QString Name() const;
    QString Caption() const { return Name(); }
    QString Tooltip() const { return Name(); }
    QString Message() const { return Name(); }
    bool Enabled() const;
    bool Checked() const { return false; }
    int subType() const { return subType_; }

    QAction* action() const { return action_; }
    void OnClick();

private:
    int subType_;
    QPointer<Extension> ext_;
    QAction* action_;
};

// The menu of the six commands: four working ones, a separator, help and about.
class MenuDef {
public:
    static constexpr int ItemCount() { return 6; }
    static QString Name() { return QStringLiteral("Halvo"); }
    static QString Caption()
    {
        return QCoreApplication::translate("halvo::plugin::MenuDef", "Impervious Surface Tools");
    }
    // Subtype and whether the item begins a new group; false outside 0..5.
    static bool GetItemInfo(int position, int& subType, bool& group);
};

class Toolbar {
public:
    static constexpr int ItemCount() { return 1; }
    static QString Name() { return QStringLiteral("Halvo Tools"); }
    static QString Caption() { return QCoreApplication::translate("halvo::plugin::Toolbar", "Halvo Tools"); }
};

class Extension : public QObject, public QgisPlugin {
    Q_OBJECT
public:
    explicit Extension(QgisInterface* iface);
    ~Extension() override;

    // QGIS entry points.
    void initGui() override;
    void unload() override;

    // Installs Halvo's translation for the language QGIS is set to; unload removes it.
    void followQgisLanguage();

    // The extension's own interface.
    static QString ProductName() { return QStringLiteral("Halvo Tools"); }
    static QString Description()
    {
        return QStringLiteral("Extension for estimating area of imperviousness based on land cover.");
    }
    void Startup(HostApplication* initializationData);
    void Shutdown();
    void setState(int state) { state_ = state; }
    // Reading the state of an enabled extension makes sure temp/ and output/ exist.
    int State();

    // Builds the commands, menu and toolbar in the host's main window.
    void buildGui();
    void removeGui();

    const std::filesystem::path& extensionFolder() const { return ext_; }
    HostApplication* application() const { return host_; }
    QgsProjectMap* projectMap() const { return map_.get(); }
    QMenu* menu() const { return menu_; }
    QToolBar* toolbar() const { return toolbar_; }
    const std::array<Command*, 6>& commands() const { return commands_; }

    // The shared dialogs.
    params::AnalysisDialog* openParams();
    void openCoefficients();
    // The report viewer for "prm" or "met"; one shared instance.
    reports::ReportViewer* openReports(const char* fileType);

    // A notice in QGIS's message bar and its log panel (tag "Halvo").
    void pushNotice(const QString& text, const QString& title, support::Icon icon);
    // The success notice of a run, with a button that opens its parameter report.
    void announceRun(const model::RunResult& result);

    HostApplication* host_ = nullptr;
    int state_ = kStateUnset;

private:
    void refreshEnabled();
    // The analysis dialog's choices kept in the project (scope "Halvo") and back.
    void keepChoices(params::AnalysisDialog& dialog);
    void restoreChoices(params::AnalysisDialog& dialog);
    void releaseProcessing();

    QgisInterface* iface_;
    HostApplication fromIface_;
    std::filesystem::path ext_;
    support::QtUi ui_;
    std::unique_ptr<support::UiScope> uiScope_;
    std::unique_ptr<QgsProjectMap> map_;
    std::array<Command*, 6> commands_{};
    QPointer<QMenu> menu_;
    QPointer<QToolBar> toolbar_;
    QPointer<params::AnalysisDialog> params_;
    QPointer<QWidget> coefficients_;
    QPointer<reports::ReportViewer> reports_;
    bool processingHeld_ = false;
    std::unique_ptr<QTranslator> translation_;
};

}  // namespace halvo::plugin
