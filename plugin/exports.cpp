// The symbols QGIS looks up when it loads a C++ plugin library.

#include "plugin/extension.h"
#include "plugin/processing_provider.h"
#include "support/ext_folder.h"
#include "support/qt/help_browser.h"

#include <qgis.h>
#include <qgisplugin.h>

#include <filesystem>

namespace {
const QString sName = halvo::plugin::Extension::ProductName();
const QString sDescription = halvo::plugin::Extension::Description();
const QString sCategory = QStringLiteral("Plugins");
const QString sVersion = halvo::support::VersionText().mid(8);
// Plugin Manager shows the icon only from a file: the one installed beside the
// library by the install script, or the package's.
QString iconFile()
{
    std::error_code ec;
    for (const auto& folder : {halvo::support::ExtensionFolder(), halvo::support::SharedDataFolder()})
        if (std::filesystem::is_regular_file(folder / "halvo.svg", ec))
            return QString::fromStdString((folder / "halvo.svg").string());
    return halvo::support::IconPath();
}
const QString sIcon = iconFile();
const QString sExperimental = QStringLiteral("false");
const QString sCreateDate = QStringLiteral("2024-01-01");
const QString sUpdateDate = QStringLiteral("2024-01-01");
}  // namespace

QGISEXTERN QgisPlugin* classFactory(QgisInterface* qgisInterfacePointer)
{
    return new halvo::plugin::Extension(qgisInterfacePointer);
}
QGISEXTERN const QString* name() { return &sName; }
QGISEXTERN const QString* description() { return &sDescription; }
QGISEXTERN const QString* category() { return &sCategory; }
QGISEXTERN int type() { return QgisPlugin::UI; }
QGISEXTERN const QString* version() { return &sVersion; }
QGISEXTERN const QString* icon() { return &sIcon; }
QGISEXTERN const QString* experimental() { return &sExperimental; }
QGISEXTERN const QString* create_date() { return &sCreateDate; }
QGISEXTERN const QString* update_date() { return &sUpdateDate; }
QGISEXTERN void unload(QgisPlugin* pluginPointer) { delete pluginPointer; }

// For the Processing package that qgis_process loads (it loads no C++ plugins):
// it opens this library and holds the provider while it is loaded.
QGISEXTERN void halvoHoldProcessing() { halvo::plugin::HoldProvider(); }
QGISEXTERN void halvoReleaseProcessing() { halvo::plugin::ReleaseProvider(); }
