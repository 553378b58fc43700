#pragma once
// The desktop tests' one fixture: small real datasets loaded into a headless
// QGIS project, and the analysis dialog open over it.

#include "params/qt/density_dialog.h"
#include "params/qt/params_dialog.h"
#include "plugin/dialog_run.h"
#include "plugin/qgis_map.h"
#include "support/ext_folder.h"
#include "support/scripted_ui.h"
#include "support/test_paths.h"

#include <qgsproject.h>

#include <QComboBox>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdlib>

#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

class QgsMapLayer;
class QgsRasterLayer;
class QgsVectorLayer;

namespace halvo::test {

struct TestField {
    std::string name;
    char type;  // 's' text, 'i' integer, 'd' double
};

struct Row {
    std::string wkt;
    std::vector<std::variant<long long, double, std::string>> values;
};

// A 20 x 20 grid of 30 m cells at (0, 600) in EPSG:5070; the left half is
// class 22, the right half 41, the bottom row NODATA.
std::filesystem::path LandCover(const std::filesystem::path& folder, const std::string& name = "landcover");

// A shapefile (or GeoPackage when the name ends in .gpkg) of the given geometries and fields, EPSG:5070.
std::filesystem::path Vector(const std::filesystem::path& folder, const std::string& file,
                             const std::vector<TestField>& fields, const std::vector<Row>& rows);

// Two zones side by side covering the grid: NAME "West"/"East", HUC 1/2, SHARE 0.5.
std::filesystem::path Zones(const std::filesystem::path& folder, const std::string& name = "zones");

QgsVectorLayer* AddVector(const std::filesystem::path& file, const QString& name);
QgsRasterLayer* AddRaster(const std::filesystem::path& file, const QString& name);

// Lets queued project signals reach the map.
void Settle();

// Empties the project and the queued events it leaves.
void ClearProject();

inline QStringList Items(const QComboBox* list)
{
    QStringList out;
    for (int i = 0; list && i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

// HALVO_HOME names the throwaway extension folder, as the programs started from a test need.
class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearProject();
        ::setenv("HALVO_HOME", ext.path().c_str(), 1);
        map = std::make_unique<plugin::QgsProjectMap>(QgsProject::instance(), support::TempFolder(ext.path()));
    }
    void TearDown() override
    {
        delete dialog.data();
        ::unsetenv("HALVO_HOME");
        ClearProject();
        map.reset();
    }

    params::AnalysisDialog& open()
    {
        dialog = new params::AnalysisDialog(nullptr, ext.path(), map.get());
        dialog->saveFileDialog = [this] { return browseAnswer; };
        dialog->inputBox = [this](const QString&, const QString&) { return inputAnswer; };
        dialog->showModal = [this](QDialog&) {
            ++modalShown;
            return QDialog::Rejected;
        };
        plugin::ConnectDialogRun(*dialog, *map, ext.path());
        EXPECT_TRUE(dialog->load());
        return *dialog;
    }
    template <class T>
    T* child(const char* name) const
    {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    QComboBox* combo(const char* name) const { return child<QComboBox>(name); }

    // The analysis layer "zones" and the grid "landcover", zones on top.
    void standardMap()
    {
        AddRaster(LandCover(data.path()), QStringLiteral("landcover"));
        AddVector(Zones(data.path()), QStringLiteral("zones"));
        QgsProject::instance()->setCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:5070")));
        Settle();
    }

    TempExtension ext;
    TempDir data{"halvo-desktop-data"};
    ScriptedUi ui;
    std::unique_ptr<plugin::QgsProjectMap> map;
    QPointer<params::AnalysisDialog> dialog;
    QString browseAnswer;
    std::optional<QString> inputAnswer;
    int modalShown = 0;
};

}  // namespace halvo::test
