// The analysis dialog over a real QGIS project: its lists and the map's
// events, the order of its checks, the output box, the scenario rows, the
// controls -> parameters and whole runs; and the population density dialog:
// its lists, the mirrored thresholds, and how the analysis dialog opens it.

#include "coefficients/model_store.h"
#include "fixture.h"

#include <qgsgraduatedsymbolrenderer.h>
#include <qgslayertree.h>
#include <qgsvectorlayer.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <unistd.h>

#include <fstream>

namespace halvo::test {
namespace {

namespace fs = std::filesystem;

class ParamsDialog : public DesktopTest {
protected:
    void fillValid()
    {
        combo("cboAnalysisTheme")->setCurrentIndex(combo("cboAnalysisTheme")->findText("zones"));
        combo("cboAnalysisUnit")->setCurrentIndex(combo("cboAnalysisUnit")->findText("NAME"));
        dialog->densityOption(1)->setChecked(true);
    }
    void output(const QString& text)
    {
        child<QLineEdit>("txtOutputTheme")->setText(text);
        dialog->checkOutputBox();
    }
};

TEST_F(ParamsDialog, ListsFollowTheProjectAndKeepTheChoicesMade)
{
    open();
    EXPECT_TRUE(Items(combo("cboLCTheme")).isEmpty());
    EXPECT_TRUE(Items(combo("cboAnalysisTheme")).isEmpty());
    EXPECT_FALSE(child<QPushButton>("cmdISRun")->isEnabled());

    AddRaster(LandCover(data.path()), "landcover");
    auto* zones = AddVector(Zones(data.path()), "zones");
    AddVector(Vector(data.path(), "doubles.shp", {{"SHARE", 'd'}}, {{"POLYGON((0 0,1 0,1 1,0 0))", {0.5}}}), "doubles");
    AddVector(Vector(data.path(), "lines.shp", {{"NAME", 's'}}, {{"LINESTRING(0 0,1 1)", {std::string("a")}}}),
              "lines");
    AddVector(data.path() / "gone.shp", "gone");  // its file is missing
    Settle();

    EXPECT_EQ(Items(combo("cboLCTheme")), QStringList{"landcover"});
    // Legend order, newest on top; a polygon layer with only doubles qualifies.
    EXPECT_EQ(Items(combo("cboAnalysisTheme")), (QStringList{"doubles", "zones"}));
    EXPECT_TRUE(child<QPushButton>("cmdISRun")->isEnabled());
    combo("cboAnalysisTheme")->setCurrentIndex(0);
    EXPECT_TRUE(Items(combo("cboAnalysisUnit")).isEmpty()) << "doubles are not listed as fields";
    combo("cboAnalysisTheme")->setCurrentIndex(1);
    EXPECT_EQ(Items(combo("cboAnalysisUnit")), (QStringList{"NAME", "HUC"}));
    EXPECT_EQ(combo("cboAnalysisUnit")->currentIndex(), -1);

    // Layers added later are listed; the choices made stay.
    combo("cboAnalysisUnit")->setCurrentIndex(0);
    AddRaster(LandCover(data.path()), "newer");
    AddVector(data.path() / "zones.shp", "zones2");
    Settle();
    EXPECT_EQ(Items(combo("cboLCTheme")), (QStringList{"newer", "landcover"}));
    EXPECT_EQ(combo("cboLCTheme")->currentText(), "landcover");
    EXPECT_EQ(combo("cboAnalysisTheme")->currentText(), "zones");
    EXPECT_EQ(combo("cboAnalysisUnit")->currentText(), "NAME");

    // Dragging zones to the top of the legend.
    QgsLayerTree* root = QgsProject::instance()->layerTreeRoot();
    QgsLayerTreeLayer* node = root->findLayer(zones);
    root->insertChildNode(0, node->clone());
    root->removeChildNode(node);
    Settle();
    EXPECT_EQ(Items(combo("cboAnalysisTheme")), (QStringList{"zones", "zones2", "doubles"}));
    EXPECT_EQ(combo("cboAnalysisUnit")->currentText(), "NAME");

    QgsProject::instance()->removeMapLayer(zones);
    Settle();
    EXPECT_EQ(Items(combo("cboAnalysisTheme")), (QStringList{"zones2", "doubles"}));
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(ParamsDialog, StoreThatDoesNotParseOrHoldsNoSetClosesTheDialogWithTheMessage)
{
    standardMap();
    const std::string store = (ext / "etc/isprops.xml").string();
    const std::pair<const char*, std::string> cases[] = {
        {"<ISModelProperties><ISLCDefs>", "Failed To Load XML - verify the file 'isprops.xml' is located in the " +
                                              ext.path().string() + "/etc folder."},
        {"<ISModelProperties><ISLCDefs/></ISModelProperties>",
         "The coefficient store " + store +
             " holds no coefficient set. Make one in Change Coefficients (New or Import) first."},
    };
    for (const auto& [xml, says] : cases) {
        const auto before = ui.messages.size();
        std::ofstream(store) << xml;
        params::AnalysisDialog d(nullptr, ext.path(), map.get());
        EXPECT_FALSE(d.load());
        ASSERT_EQ(ui.messages.size(), before + 1);
        EXPECT_EQ(ui.messages.back().text, says);
    }
    EXPECT_EQ(ui.messages[0].icon, support::Icon::Critical);
    EXPECT_EQ(ui.messages[0].buttons, support::Buttons::OKCancel);
}

TEST_F(ParamsDialog, OnlyTheFirstMissingChoiceIsToldAndAnUntickedRowIsNotChecked)
{
    standardMap();
    QgsProject::instance()->setCrs(QgsCoordinateReferenceSystem());
    Settle();
    open();
    combo("cboLCUnits")->setCurrentIndex(-1);  // the raster's unit was preselected
    // Units and field are both missing: only the units are mentioned.
    EXPECT_FALSE(dialog->validate(-1));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Land Cover units not defined, please select from dropdown list.");
    EXPECT_EQ(ui.messages[0].icon, support::Icon::Exclamation);

    combo("cboLCUnits")->setCurrentIndex(0);
    EXPECT_FALSE(dialog->validate(-1));
    EXPECT_EQ(ui.messages.back().text, "Analysis unit not defined, please select from dropdown list.");
    combo("cboAnalysisUnit")->setCurrentIndex(0);
    EXPECT_FALSE(dialog->validate(-1));
    EXPECT_EQ(ui.messages.back().text, "Population Density option not defined, please select option.");
    dialog->densityOption(2)->setChecked(true);
    EXPECT_FALSE(dialog->validate(-1));
    EXPECT_EQ(ui.messages.back().text, "Output Theme not defined, please enter a name.");

    output(QString::fromStdString((data / "out").string()));
    child<QPushButton>("cmdDSAdd")->click();
    EXPECT_FALSE(dialog->validate(dialog->lastDSIndex()));
    EXPECT_EQ(ui.messages.back().text, "No class selected, please select from dropdown list.");
    // An unticked row is not looked at.
    dialog->row(0).apply->setChecked(false);
    const auto before = ui.messages.size();
    EXPECT_TRUE(dialog->validate(dialog->lastDSIndex()));
    EXPECT_EQ(ui.messages.size(), before);
}

TEST_F(ParamsDialog, RunAsksForTheOutputBeforeAnythingElse)
{
    standardMap();
    open();
    child<QPushButton>("cmdISRun")->click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Please specify an output name.");
    EXPECT_EQ(ui.messages[0].title, "Shapefile Name");
    EXPECT_EQ(ui.messages[0].icon, support::Icon::Information);

    child<QLineEdit>("txtOutputTheme")->setText("typed but never left");
    child<QPushButton>("cmdISRun")->click();
    EXPECT_EQ(ui.messages.back().text, "Please enter a shapefile name.");
    EXPECT_EQ(ui.messages.back().title, "Shapefile Name?");
}

TEST_F(ParamsDialog, OutputTypedOrBrowsedWithoutShpGetsItAndAMissingFolderFallsBackToTemp)
{
    standardMap();
    open();
    auto* box = child<QLineEdit>("txtOutputTheme");
    auto* name = child<QLineEdit>("txtThemeName");

    output(QString::fromStdString((data / "roads").string()));
    EXPECT_EQ(box->text().toStdString(), (data / "roads.shp").string());
    EXPECT_EQ(dialog->shapefileName(), "roads.shp");
    EXPECT_EQ(dialog->outputFolder(), data.path().string() + "/");
    EXPECT_EQ(name->text(), "roads");
    EXPECT_EQ(dialog->layerName(), "roads");
    EXPECT_TRUE(ui.messages.empty());

    // Browse... without the extension.
    dialog->saveFileDialog = [&] { return QString::fromStdString((data / "tf_density").string()); };
    child<QPushButton>("cmdOutputBrowse")->click();
    EXPECT_EQ(box->text().toStdString(), (data / "tf_density.shp").string());
    EXPECT_EQ(dialog->shapefileName(), "tf_density.shp");

    output(QString::fromStdString((data / "roads.").string()));
    EXPECT_EQ(box->text().toStdString(), (data / "roads.shp").string());
    output(QString::fromStdString((data / "ROADS.SHP").string()));
    EXPECT_EQ(box->text().toStdString(), (data / "ROADS.SHP").string());

    // No folder: the temporary folder from the environment, and a message.
    TempDir temp("halvo-env-temp");
    ::setenv("Temp", temp.path().c_str(), 1);
    output("roads");
    ::unsetenv("Temp");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Output Location");
    EXPECT_EQ(ui.messages[0].icon, support::Icon::Information);
    EXPECT_EQ(ui.messages[0].text, "Either no path was specified or the path does not exist. \rThe output layer "
                                   "will be created in " +
                                       temp.path().string() + ".");
    EXPECT_EQ(box->text().toStdString(), temp.path().string() + "/roads.shp");
    EXPECT_EQ(dialog->outputFolder(), temp.path().string());

    // A folder that does not exist is made on the user's word, never swapped for another.
    const QString missing = QString::fromStdString((data / "new/sub/roads").string());
    for (const auto answer : {support::Answer::No, support::Answer::Yes}) {
        ui.answers = {answer};
        output(missing);
        EXPECT_EQ(ui.messages.back().text, "The folder " + (data / "new/sub").string() + " does not exist. Create it?");
        EXPECT_EQ(box->text(), missing + ".shp");
        EXPECT_EQ(fs::is_directory(data / "new/sub"), answer == support::Answer::Yes);
    }
}

TEST_F(ParamsDialog, CancelledBrowseLeavesTheDefaultNameAndBrowsedSpacesAreTrimmed)
{
    standardMap();
    open();
    browseAnswer.clear();
    child<QPushButton>("cmdOutputBrowse")->click();
    EXPECT_EQ(child<QLineEdit>("txtOutputTheme")->text(), "halvo");
    EXPECT_EQ(child<QLineEdit>("txtThemeName")->text(), "halvo");

    browseAnswer = QString::fromStdString((data / "picked.shp").string()) + "  ";
    child<QPushButton>("cmdOutputBrowse")->click();
    EXPECT_EQ(child<QLineEdit>("txtOutputTheme")->text().toStdString(), (data / "picked.shp").string());
    EXPECT_EQ(child<QLineEdit>("txtThemeName")->text(), "picked");
}

TEST_F(ParamsDialog, ScenarioRowsScrollByOneRowAndBadDeleteNumbersAreRefused)
{
    standardMap();
    open();
    auto* add = child<QPushButton>("cmdDSAdd");
    add->click();
    EXPECT_EQ(dialog->lastDSIndex(), 0);
    EXPECT_EQ(dialog->innerFrameHeight(), 450);
    EXPECT_FALSE(child<QLabel>("lblDSApply")->isHidden());
    EXPECT_TRUE(dialog->row(0).apply->isChecked());
    EXPECT_EQ(dialog->row(0).layer->currentText(), "zones");
    EXPECT_EQ(dialog->row(0).toClass->currentIndex(), -1);
    EXPECT_EQ(dialog->row(0).toClass->itemData(0).toInt(), 11) << "class IDs ride along";
    EXPECT_TRUE(child<QScrollBar>("VScroll1")->isHidden());
    EXPECT_TRUE(child<QPushButton>("cmdDSDelete")->isEnabled());

    for (int i = 0; i < 5; ++i)
        add->click();
    EXPECT_TRUE(child<QScrollBar>("VScroll1")->isHidden()) << "six rows fit";
    add->click();
    auto* bar = child<QScrollBar>("VScroll1");
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->maximum(), 350);
    EXPECT_EQ(bar->pageStep(), 700);
    EXPECT_EQ(bar->singleStep(), 350);
    // One step of 350 twips scrolls by one row, whatever the font makes a row's height.
    const int pitch = dialog->row(6).number->y() - dialog->row(5).number->y();
    EXPECT_GE(pitch, dialog->row(0).layer->height());
    bar->setValue(350);
    EXPECT_EQ(child<QWidget>("fraDSItems")->y(), -pitch);
    EXPECT_EQ(dialog->row(6).number->text(), "7.");

    for (const char* bad : {"0", "8", "x"}) {
        inputAnswer = QString::fromLatin1(bad);
        child<QPushButton>("cmdDSDelete")->click();
        EXPECT_EQ(ui.messages.back().text, "Invalid scenario number");
        EXPECT_EQ(ui.messages.back().title, "Delete Scenario");
    }
    EXPECT_TRUE(ui.reports.empty()) << "a typing slip is no error report";
    EXPECT_EQ(dialog->lastDSIndex(), 6);
}

TEST_F(ParamsDialog, DeletingRowTwoOfThreeMovesRowThreeUp)
{
    standardMap();
    open();
    for (int i = 0; i < 3; ++i)
        child<QPushButton>("cmdDSAdd")->click();
    dialog->row(2).apply->setChecked(false);
    dialog->row(2).toClass->setCurrentIndex(4);
    dialog->row(1).toClass->setCurrentIndex(1);

    inputAnswer = QStringLiteral("2");
    child<QPushButton>("cmdDSDelete")->click();
    EXPECT_EQ(dialog->lastDSIndex(), 1);
    EXPECT_FALSE(dialog->row(1).apply->isChecked());
    EXPECT_EQ(dialog->row(1).toClass->currentIndex(), 4);
    EXPECT_EQ(dialog->row(0).number->text(), "1.");
    EXPECT_EQ(dialog->row(1).number->text(), "2.");
    EXPECT_EQ(dialog->findChildren<QCheckBox*>("chkDSApply").size(), 2);

    // Down to none: the heading goes, "Delete..." is disabled; "Add" shows row 0 afresh.
    for (int i = 0; i < 2; ++i) {
        inputAnswer = QStringLiteral("1");
        child<QPushButton>("cmdDSDelete")->click();
    }
    EXPECT_EQ(dialog->lastDSIndex(), -1);
    EXPECT_TRUE(child<QLabel>("lblDSApply")->isHidden());
    EXPECT_FALSE(child<QPushButton>("cmdDSDelete")->isEnabled());
    child<QPushButton>("cmdDSAdd")->click();
    EXPECT_EQ(dialog->row(0).toClass->currentIndex(), -1);
    EXPECT_TRUE(dialog->row(0).apply->isChecked());
}

TEST_F(ParamsDialog, AddWithoutCoefficientSetChangesNothing)
{
    standardMap();
    open();
    combo("cboLCType")->setCurrentIndex(-1);
    child<QPushButton>("cmdDSAdd")->click();
    EXPECT_EQ(dialog->lastDSIndex(), -1);
    EXPECT_EQ(ui.messages.back().text, "No Land Cover Type defined, please select from the dropdown list before "
                                       "adding Development Scenarios");
}

TEST_F(ParamsDialog, EveryControlReachesTheRunsParameters)
{
    standardMap();
    AddVector(Vector(data.path(), "density.shp", {{"POP", 'd'}}, {{"POLYGON((0 0,600 0,600 600,0 600,0 0))", {120.0}}}),
              "density");
    Settle();
    open();
    fillValid();
    dialog->densityOption(3)->setChecked(true);
    auto& d = dialog->density();
    d.fieldList()->setCurrentIndex(0);
    d.highBox()->setText("50");
    d.lowBox()->setText("10");
    output(QString::fromStdString((data / "result").string()));
    for (int i = 0; i < 2; ++i)
        child<QPushButton>("cmdDSAdd")->click();
    dialog->row(0).toClass->setCurrentIndex(2);
    dialog->row(1).apply->setChecked(false);
    const params::RunParameters p = dialog->toParameters();

    EXPECT_EQ(p.analysisLayer, "zones");
    EXPECT_EQ(p.analysisField, "NAME");
    EXPECT_EQ(p.landCoverLayer, "landcover");
    EXPECT_EQ(p.populationDensity, 3);
    EXPECT_EQ(p.densityLayer, "density");
    EXPECT_EQ(p.densityField, "POP");
    ASSERT_EQ(p.scenarios.size(), 2u);
    EXPECT_EQ(p.scenarios[0].classId, "21");
    EXPECT_FALSE(p.scenarios[1].apply);
    EXPECT_FALSE(p.classes.empty());
}

TEST_F(ParamsDialog, RunAddsTheOutputLayerOnceDrawnInThreeClassesWithNodataZonesSelected)
{
    standardMap();
    open();
    fillValid();
    fs::create_directories(data / "out");
    output(QString::fromStdString((data / "out" / "result").string()));
    child<QPushButton>("cmdISRun")->click();

    EXPECT_TRUE(ui.reports.empty()) << (ui.reports.empty() ? "" : ui.reports[0]);
    const auto layers = QgsProject::instance()->mapLayersByName("result");
    ASSERT_EQ(layers.size(), 1);
    auto* out = qobject_cast<QgsVectorLayer*>(layers[0]);
    ASSERT_TRUE(out && out->isValid());
    EXPECT_EQ(out->featureCount(), 2);
    EXPECT_EQ(QgsProject::instance()->layerTreeRoot()->children().at(0)->name(), "result") << "on top of the legend";
    auto* renderer = dynamic_cast<QgsGraduatedSymbolRenderer*>(out->renderer());
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(renderer->classAttribute(), "pctIS");
    ASSERT_EQ(renderer->ranges().size(), 3);
    EXPECT_DOUBLE_EQ(renderer->ranges()[0].upperValue(), 9.99);
    EXPECT_EQ(renderer->ranges()[2].label(), "> 25%");
    // The bottom row is NODATA, so both zones are flagged and left selected.
    EXPECT_EQ(out->selectedFeatureCount(), 2);
    EXPECT_TRUE(fs::exists(data / "out" / "result.qml"));
    EXPECT_TRUE(fs::exists(data / "out" / "result.prm"));
    EXPECT_FALSE(fs::exists(ext / "temp" / "model_params.txt"));

    // The new layer joined the lists; the analysis layer is still the one chosen.
    EXPECT_EQ(Items(combo("cboAnalysisTheme")), (QStringList{"result", "zones"}));
    EXPECT_EQ(combo("cboAnalysisTheme")->currentText(), "zones");
    EXPECT_TRUE(child<QLineEdit>("txtOutputTheme")->text().isEmpty());

    // Running again over the same file replaces the layer instead of stacking a second.
    output(QString::fromStdString((data / "out" / "result").string()));
    combo("cboAnalysisUnit")->setCurrentIndex(combo("cboAnalysisUnit")->findText("NAME"));
    child<QPushButton>("cmdISRun")->click();
    const auto again = QgsProject::instance()->mapLayersByName("result");
    EXPECT_EQ(again.size(), 1);
}

TEST_F(ParamsDialog, AMemoryLayersSelectionIsWhatRuns)
{
    standardMap();
    auto* zones = qobject_cast<QgsVectorLayer*>(QgsProject::instance()->mapLayersByName("zones").at(0));
    QgsVectorLayer* memory = zones->materialize(QgsFeatureRequest());
    memory->setName("scratch");
    QgsProject::instance()->addMapLayer(memory);
    QgsFeatureIds east;
    QgsFeature f;
    for (QgsFeatureIterator it = memory->getFeatures(); it.nextFeature(f);)
        if (f.attribute("NAME").toString() == "East")
            east.insert(f.id());
    memory->selectByIds(east);
    Settle();
    open();
    combo("cboAnalysisTheme")->setCurrentIndex(combo("cboAnalysisTheme")->findText("scratch"));
    combo("cboAnalysisUnit")->setCurrentIndex(combo("cboAnalysisUnit")->findText("NAME"));
    dialog->densityOption(0)->setChecked(true);
    output(QString::fromStdString((data / "fromMemory").string()));
    child<QPushButton>("cmdISRun")->click();
    EXPECT_TRUE(ui.reports.empty()) << (ui.reports.empty() ? "" : ui.reports[0]);
    const auto layers = QgsProject::instance()->mapLayersByName("fromMemory");
    ASSERT_EQ(layers.size(), 1);
    auto* out = qobject_cast<QgsVectorLayer*>(layers[0]);
    ASSERT_EQ(out->featureCount(), 1);
    out->getFeatures().nextFeature(f);
    EXPECT_EQ(f.attribute(0).toString(), "East");
    EXPECT_TRUE(fs::is_empty(support::TempFolder(ext.path()))) << "temp/ keeps the written-out layer";
}

TEST_F(ParamsDialog, UnwritableOutputFolderIsRefusedBeforeTheRun)
{
    // Its ctest entry runs it as an unprivileged user when the suite runs as root.
    ASSERT_NE(::geteuid(), 0u) << "root writes everywhere: run this case as an unprivileged user";
    standardMap();
    open();
    fillValid();
    fs::create_directories(data / "locked");
    fs::permissions(data / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    output(QString::fromStdString((data / "locked" / "result").string()));
    child<QPushButton>("cmdISRun")->click();
    fs::permissions(data / "locked", fs::perms::owner_all);
    EXPECT_EQ(ui.messages.back().title, "Output Location");
    EXPECT_TRUE(QgsProject::instance()->mapLayersByName("result").isEmpty());
}

TEST_F(ParamsDialog, LoadsUnitsOfTheRasterNotTheProjectFirstLayersAndSetsFollowingTheStore)
{
    standardMap();
    // A State Plane project in feet over a raster in metres.
    QgsProject::instance()->setCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:2227")));
    Settle();
    open();
    EXPECT_EQ(combo("cboLCType")->currentText(), "NLCD");
    EXPECT_EQ(Items(combo("cboLCUnits")), (QStringList{"Meters", "Feet"}));
    EXPECT_EQ(combo("cboLCUnits")->currentText(), "Meters");
    EXPECT_EQ(combo("cboAnalysisTheme")->currentText(), "zones");
    EXPECT_EQ(Items(combo("cboAnalysisUnit")), (QStringList{"NAME", "HUC"}));
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(dialog->densityOption(i)->isChecked());
    EXPECT_FALSE(child<QPushButton>("cmdDSDelete")->isEnabled());

    // A set added to the store while the dialog is open shows up, and the choice is kept.
    const QString chosen = combo("cboLCType")->currentText();
    coefficients::CoeffStore store;
    ASSERT_TRUE(coefficients::GetISModelProperties(store, support::StorePath(ext.path())));
    coefficients::CoeffSet copy = store.ISLCDefs.Item(1);
    copy.LCType = "Added elsewhere";
    store.ISLCDefs.Add(copy);
    coefficients::PutISModelProperties(store, ext.path());
    EXPECT_TRUE(QTest::qWaitFor([&] { return combo("cboLCType")->findText("Added elsewhere") >= 0; }, 5000));
    EXPECT_EQ(combo("cboLCType")->currentText(), chosen);
}

TEST_F(ParamsDialog, GeoPackageKeyIsNoZoneFieldAndFailedChecksKeepTheEntries)
{
    AddRaster(LandCover(data.path()), QStringLiteral("landcover"));
    AddVector(Vector(data.path(), "zones.gpkg", {{"NAME", 's'}},
                     {{"POLYGON((0 0,300 0,300 600,0 600,0 0))", {std::string("West")}}}),
              QStringLiteral("zones"));
    Settle();
    open();
    combo("cboAnalysisTheme")->setCurrentIndex(combo("cboAnalysisTheme")->findText("zones"));
    EXPECT_EQ(Items(combo("cboAnalysisUnit")), QStringList{"NAME"});

    // No field chosen: the run is refused, and what was typed stays for correction.
    fs::create_directories(data / "out");
    output(QString::fromStdString((data / "out" / "typed").string()));
    child<QLineEdit>("txtThemeName")->setText("My name");
    child<QPushButton>("cmdISRun")->click();
    EXPECT_EQ(ui.messages.back().text, "Analysis unit not defined, please select from dropdown list.");
    EXPECT_EQ(child<QLineEdit>("txtOutputTheme")->text(),
              QString::fromStdString((data / "out" / "typed.shp").string()));
    EXPECT_EQ(child<QLineEdit>("txtThemeName")->text(), "My name");
}

TEST_F(ParamsDialog, AnOutputNamedLikeTheAnalysisLayerIsRefusedAndTheLayerStays)
{
    standardMap();
    open();
    fillValid();
    const auto before = Snapshot(data.path(), "zones");
    output(QString::fromStdString((data / "zones").string()));
    child<QPushButton>("cmdISRun")->click();
    std::string shown;
    for (const auto& m : ui.messages)
        shown += m.text + "\n";
    EXPECT_NE(shown.find("would replace the input"), std::string::npos) << "no message said why:\n" << shown;
    EXPECT_EQ(Snapshot(data.path(), "zones"), before);
    const auto layers = QgsProject::instance()->mapLayersByName("zones");
    ASSERT_EQ(layers.size(), 1);
    EXPECT_TRUE(qobject_cast<QgsVectorLayer*>(layers[0])->isValid());
    EXPECT_TRUE(fs::is_empty(ext.path() / "temp"));
}

class DensityDialog : public DesktopTest {
protected:
    void densityMap()
    {
        standardMap();
        AddVector(Vector(data.path(), "density.shp", {{"LABEL", 's'}, {"POP", 'd'}, {"HH", 'i'}},
                         {{"POLYGON((0 0,600 0,600 600,0 600,0 0))", {std::string("all"), 120.0, 40LL}}}),
                  "density");
        Settle();
    }
};

TEST_F(DensityDialog, ListsNumericPolygonLayersAndTheirNumericFields)
{
    densityMap();
    params::DensityDialog d(nullptr, map.get());
    d.load();
    EXPECT_EQ(Items(d.layerList()), (QStringList{"density", "zones"}));
    EXPECT_EQ(d.layerList()->currentIndex(), 0);
    EXPECT_EQ(Items(d.fieldList()), (QStringList{"POP", "HH"}));
    EXPECT_EQ(d.fieldList()->currentIndex(), 0) << "a population field is the likely choice";
    d.layerList()->setCurrentIndex(1);
    EXPECT_EQ(Items(d.fieldList()), (QStringList{"HUC", "SHARE"}));
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(DensityDialog, ThresholdsAreMirroredAndWhatTheRunCannotReadIsRefused)
{
    densityMap();
    params::DensityDialog d(nullptr, map.get());
    d.load();
    auto validate = [&] {
        ui.messages.clear();
        const bool ok = d.validate();
        return ok ? std::string("ok") : ui.messages.at(0).text;
    };
    d.fieldList()->setCurrentIndex(-1);
    EXPECT_EQ(validate(), "No Populaiton Density field selected, please select from dropdown list.");
    d.fieldList()->setCurrentIndex(0);

    QTest::keyClicks(d.highBox(), "50");
    QTest::keyClicks(d.lowBox(), "10");
    EXPECT_EQ(d.mediumBox(0)->text(), "50");
    EXPECT_EQ(d.mediumBox(1)->text(), "10");
    EXPECT_FALSE(d.mediumBox(0)->isEnabled());
    EXPECT_EQ(validate(), "ok");

    d.highBox()->setText("10");
    d.lowBox()->setText("50");
    EXPECT_EQ(validate(), "Population density \"Low\" value must be less than the \"High\" value.");
    d.lowBox()->setText("10");
    EXPECT_EQ(validate(), "ok") << "equal thresholds pass";

    d.highBox()->setText("");
    d.lowBox()->setText("abc");
    EXPECT_EQ(validate(), "Numeric value must be entered in field.");
    d.highBox()->setText("20");
    EXPECT_EQ(validate(), "Numeric value must be entered in field.");
    // What the run could not read is refused here, whatever the locale takes.
    d.lowBox()->setText("10");
    for (const char* bad : {"5,000", "inf", "nan", "1e", "0x10"}) {
        d.highBox()->setText(bad);
        EXPECT_EQ(validate(), "Numeric value must be entered in field.") << bad;
    }
    EXPECT_EQ(ui.messages.at(0).icon, support::Icon::Exclamation);

    // A French user's decimal comma reaches the run as a point.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    d.highBox()->setText("500,5");
    EXPECT_EQ(validate(), "ok");
    EXPECT_EQ(d.high(), "500.5");
    QLocale::setDefault(QLocale::c());
}

TEST_F(DensityDialog, EmptyLayerListIsReportedAndOkSaysSo)
{
    standardMap();
    // zones has numeric fields; take it away so nothing qualifies.
    QgsProject::instance()->removeMapLayer(QgsProject::instance()->mapLayersByName("zones").at(0));
    Settle();
    params::DensityDialog d(nullptr, map.get());
    d.load();
    ASSERT_EQ(ui.reports.size(), 1u);
    EXPECT_NE(ui.reports[0].find("Form_Load ISPDensity"), std::string::npos);
    EXPECT_TRUE(Items(d.fieldList()).isEmpty());
    d.acceptEntries();
    EXPECT_EQ(ui.messages.back().text, "No Population Density theme selected, please select from dropdown list.");
}

TEST_F(DensityDialog, IncompleteEntriesStopTheRunAndOpenTheDialog)
{
    densityMap();
    open();
    combo("cboAnalysisUnit")->setCurrentIndex(0);
    dialog->densityOption(3)->setChecked(true);
    EXPECT_FALSE(dialog->validate(-1));
    EXPECT_EQ(ui.messages.back().text, "Numeric value must be entered in field.");
    EXPECT_EQ(modalShown, 1);
}

TEST_F(DensityDialog, OkKeepsTheEntriesCancelGoesBack)
{
    densityMap();
    open();
    dialog->densityOption(1)->setChecked(true);
    int shows = 0;
    dialog->showModal = [&](QDialog& shown) {
        auto& d = static_cast<params::DensityDialog&>(shown);
        d.highBox()->setText(++shows == 2 ? "50" : "99");
        d.lowBox()->setText("10");
        return shows == 2 ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    dialog->densityOption(3)->setChecked(true);
    dialog->openDensityDialog(3);  // cancelled, nothing kept: back to Medium
    EXPECT_TRUE(dialog->densityOption(1)->isChecked());
    dialog->densityOption(3)->setChecked(true);
    dialog->openDensityDialog(3);  // OK
    dialog->openDensityDialog(3);  // cancelled: what OK took stays, and is summed up
    EXPECT_TRUE(dialog->densityOption(3)->isChecked());
    EXPECT_EQ(dialog->density().high(), "50");
    EXPECT_EQ(dialog->findChild<QLabel*>("lblDensitySummary")->text(),
              "Density from density (POP): High >= 50, Low <= 10");

    // A real mouse release on "Calculate" opens it; the other options do not.
    QTest::mouseClick(dialog->densityOption(1), Qt::LeftButton);
    QTest::mouseClick(dialog->densityOption(3), Qt::LeftButton);
    Settle();
    EXPECT_EQ(shows, 4);
    EXPECT_TRUE(dialog->densityOption(3)->isChecked());
}

TEST_F(ParamsDialog, ScenarioRowsFollowTheProject)
{
    standardMap();
    open();
    child<QPushButton>("cmdDSAdd")->click();
    QComboBox* row = dialog->row(0).layer;
    const QString chosen = row->currentText();
    AddVector(data.path() / "zones.shp", "zones2");
    Settle();
    EXPECT_TRUE(Items(row).contains("zones2"));
    EXPECT_EQ(row->currentText(), chosen);
}

}  // namespace
}  // namespace halvo::test
