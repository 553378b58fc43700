#pragma once
// A headless QGIS project with the analysis dialog open over it.

#include "fixture.h"
#include "params/qt/density_dialog.h"
#include "params/qt/params_dialog.h"
#include "plugin/dialog_run.h"
#include "plugin/qgis_map.h"
#include "support/ext_folder.h"
#include "support/scripted_ui.h"

#include <qgsproject.h>

#include <QComboBox>
#include <QPointer>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace halvo::test {

inline QStringList Items(const QComboBox* list)
{
    QStringList out;
    for (int i = 0; list && i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearProject();
        map = std::make_unique<plugin::QgsProjectMap>(QgsProject::instance(), support::TempFolder(ext.path()));
    }
    void TearDown() override
    {
        delete dialog.data();
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
