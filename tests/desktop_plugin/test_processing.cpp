// The Processing provider through QGIS's own Processing API: registration,
// a batch of two runs (shapefile and GeoPackage outputs), cancel, and the
// coefficient export and import. Then the three faces, which hand their raw
// choices to one request builder: a choice one face refuses, the others
// refuse in the same words.

#include "fixture.h"
#include "plugin/processing_provider.h"

#include <qgsapplication.h>
#include <qgsfeatureiterator.h>
#include <qgsgraduatedsymbolrenderer.h>
#include <qgsprocessingalgorithm.h>
#include <qgsprocessingcontext.h>
#include <qgsprocessingfeedback.h>
#include <qgsprocessingparameters.h>
#include <qgsprocessingregistry.h>
#include <qgsprocessingutils.h>
#include <qgsproject.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorfilewriter.h>
#include <qgsvectorlayer.h>

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cpl_error.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

namespace halvo::test {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

class Processing : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        plugin::HoldProvider();
    }
    void TearDown() override
    {
        plugin::ReleaseProvider();
        DesktopTest::TearDown();
    }
    // Runs the algorithm as the toolbox does: prepared here, processed on a
    // worker thread, finished here. False when it failed.
    bool run(const QString& id, const QVariantMap& parameters, QVariantMap& results, QgsProcessingFeedback& feedback)
    {
        std::unique_ptr<QgsProcessingAlgorithm> alg(QgsApplication::processingRegistry()->createAlgorithmById(id));
        EXPECT_NE(alg, nullptr) << id.toStdString();
        if (!alg)
            return false;
        QgsProcessingContext context;
        context.setProject(QgsProject::instance());
        if (!alg->prepare(parameters, context, &feedback))
            return false;
        bool ok = false;
        std::thread worker([&] {
            try {
                results = alg->runPrepared(parameters, context, &feedback);
                ok = true;
            } catch (const QgsProcessingException& e) {
                feedback.reportError(e.what());
            }
        });
        worker.join();
        if (ok)
            results.insert(alg->postProcess(context, &feedback));
        // Then loads the outputs as the toolbox does.
        const auto queued = context.layersToLoadOnCompletion();
        for (auto it = queued.cbegin(); ok && it != queued.cend(); ++it) {
            auto* layer = new QgsVectorLayer(it.key(), QString(), "ogr");
            it.value().setOutputLayerName(layer);
            it.value().project->addMapLayer(layer);
            if (it.value().postProcessor())
                it.value().postProcessor()->postProcessLayer(layer, context, &feedback);
        }
        return ok;
    }
};

TEST_F(Processing, ProviderIsHeldByEachLoaderAndLeavesWithTheLast)
{
    QgsProcessingRegistry* registry = QgsApplication::processingRegistry();
    ASSERT_NE(registry->providerById("halvo"), nullptr);
    QStringList ids;
    for (const QgsProcessingAlgorithm* a : registry->providerById("halvo")->algorithms())
        ids << a->id();
    ids.sort();
    EXPECT_EQ(ids.join(' ').toStdString(), "halvo:exportcoefficients halvo:imperviousbyzone halvo:importcoefficients");
    // The coefficient sets are offered by name, from the store.
    std::unique_ptr<QgsProcessingAlgorithm> alg(registry->createAlgorithmById("halvo:imperviousbyzone"));
    const auto* sets = dynamic_cast<const QgsProcessingParameterEnum*>(alg->parameterDefinition("COEFFICIENT_SET"));
    ASSERT_NE(sets, nullptr);
    EXPECT_TRUE(sets->usesStaticStrings());  // saved by name, not by place in the store
    EXPECT_EQ(sets->defaultValue().toString(), "NLCD");

    plugin::HoldProvider();  // a second loader
    plugin::ReleaseProvider();
    EXPECT_NE(registry->providerById("halvo"), nullptr);
    plugin::ReleaseProvider();
    EXPECT_EQ(registry->providerById("halvo"), nullptr);
    plugin::HoldProvider();  // for TearDown
}

TEST_F(Processing, BatchOfTwoRunsWritesShapefileAndGeoPackageWithReports)
{
    const fs::path raster = LandCover(ext.path());
    const fs::path zones = Zones(ext.path());
    const fs::path density = Vector(ext.path(), "density.shp", {{"DENS", 'd'}},
                                    {{"POLYGON((0 0,600 0,600 300,0 300,0 0))", {900.0}},
                                     {"POLYGON((0 300,600 300,600 600,0 600,0 300))", {50.0}}});
    const fs::path newdev =
        Vector(ext.path(), "newdev.shp", {{"ID", 'i'}}, {{"POLYGON((0 300,300 300,300 600,0 600,0 300))", {1LL}}});
    fs::create_directories(ext / "out");

    const QVariantMap common{{"LANDCOVER", Q(raster)}, {"ZONES", Q(zones)}, {"FIELD", "NAME"}, {"COEFFICIENT_SET", 0}};
    QVariantMap first = common;
    first.insert("DENSITY", 1);
    QgsProcessingOutputLayerDefinition loaded(Q(ext / "out" / "medium.shp"), QgsProject::instance());
    first.insert("OUTPUT", loaded);
    QVariantMap second = common;
    second.insert("DENSITY", 3);
    second.insert("DENSITY_LAYER", Q(density));
    second.insert("DENSITY_FIELD", "DENS");
    second.insert("HIGH", 500);
    second.insert("LOW", 100);
    second.insert("SCENARIOS", QStringList{Q(newdev)});
    second.insert("SCENARIO_CLASSES", "41");
    loaded.sink = QgsProperty::fromValue(Q(ext / "out" / "scenario.gpkg"));
    second.insert("OUTPUT", loaded);
    second.insert("COVERAGE", 1);
    second.insert("HTML", true);

    QVariantMap results[2];
    // QGIS's own GDAL error handler stays; no file stays open once deleted.
    const CPLErrorHandler own = [](CPLErr, CPLErrorNum, const char*) {};
    const CPLErrorHandler qgis = CPLSetErrorHandler(own);
    for (int i = 0; i < 2; ++i) {
        QgsProcessingFeedback feedback;
        ASSERT_TRUE(run("halvo:imperviousbyzone", i == 0 ? first : second, results[i], feedback))
            << feedback.textLog().toStdString();
    }
    EXPECT_EQ(CPLSetErrorHandler(qgis), own);
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        EXPECT_EQ(fs::read_symlink(fd, ec).string().find("(deleted)"), std::string::npos) << fd.path();
    }
    EXPECT_EQ(results[0].value("OUTPUT").toString(), Q(ext / "out" / "medium.shp"));
    // Both outputs are in the project, named and styled as the dialog's.
    for (const char* name : {"medium", "scenario"}) {
        const auto found = QgsProject::instance()->mapLayersByName(name);
        ASSERT_EQ(found.size(), 1) << name;
        auto* renderer = dynamic_cast<QgsGraduatedSymbolRenderer*>(qobject_cast<QgsVectorLayer*>(found[0])->renderer());
        ASSERT_NE(renderer, nullptr) << name;
        EXPECT_EQ(renderer->classAttribute(), "pctIS");
    }
    EXPECT_EQ(results[0].value("PARAMETER_REPORT").toString(), Q(ext / "out" / "medium.prm"));
    EXPECT_TRUE(fs::exists(ext / "out" / "medium.met"));
    EXPECT_EQ(results[1].value("PARAMETER_REPORT").toString(), Q(ext / "out" / "scenario.prm"));
    EXPECT_TRUE(fs::exists(ext / "out" / "scenario.met"));
    EXPECT_FALSE(results[0].contains("OUTPUT_HTML"));
    EXPECT_EQ(results[1].value("OUTPUT_HTML").toString(), Q(ext / "out" / "scenario.html"));
    EXPECT_TRUE(fs::exists(ext / "out" / "scenario.html"));

    QgsVectorLayer shp(Q(ext / "out" / "medium.shp"), "medium", "ogr");
    QgsVectorLayer gpkg(Q(ext / "out" / "scenario.gpkg"), "scenario", "ogr");
    ASSERT_TRUE(shp.isValid());
    ASSERT_TRUE(gpkg.isValid());
    EXPECT_EQ(shp.featureCount(), 2);
    EXPECT_EQ(gpkg.featureCount(), 2);
    EXPECT_GE(gpkg.fields().indexFromName("pctIS"), 0);
    // The parameter report records the run's choices: the density layer and the scenario.
    const std::string prm = ReadFile(ext / "out" / "scenario.prm");
    EXPECT_NE(prm.find("density"), std::string::npos);
    EXPECT_NE(prm.find("newdev"), std::string::npos);
    EXPECT_NE(prm.find("Cell Coverage: exact"), std::string::npos) << prm;
    EXPECT_EQ(ReadFile(ext / "out" / "medium.prm").find("Cell Coverage"), std::string::npos);
    EXPECT_NE(ReadFile(ext / "out" / "medium.met").find(", run from QGIS.\r\n"), std::string::npos);
}

// A GeoPackage output is one layer of the file: the other layers stay, a layer
// of the same name is replaced, and neither an input layer nor another
// output's reports are written over.
TEST_F(Processing, GeoPackageOutputIsOneLayerOfTheFile)
{
    const fs::path keep = ext / "keep.gpkg";
    QgsVectorLayer zones(Q(Zones(ext.path())), "zones", "ogr");
    for (const char* name : {"cats", "other"}) {
        QgsVectorFileWriter::SaveVectorOptions o;
        o.driverName = "GPKG";
        o.layerName = name;
        o.actionOnExistingFile =
            fs::exists(keep) ? QgsVectorFileWriter::CreateOrOverwriteLayer : QgsVectorFileWriter::CreateOrOverwriteFile;
        ASSERT_EQ(QgsVectorFileWriter::writeAsVectorFormatV3(&zones, Q(keep), QgsCoordinateTransformContext(), o),
                  QgsVectorFileWriter::NoError);
    }
    Zones(ext.path(), "owned");  // a shapefile output with its own report
    std::ofstream(ext / "owned.prm") << "theirs";

    const QString layerOfKeep = "ogr:dbname='" + Q(keep) + "' table=\"%1\" (geom)";
    const struct {
        QString output;
        const char* refusal;
    } cases[] = {{Q(keep), nullptr},  // adds "keep", then replaces it
                 {Q(keep), nullptr},
                 {layerOfKeep.arg("result"), nullptr},
                 {layerOfKeep.arg("CATS"), "would replace the input"},
                 {layerOfKeep.arg("owned"), "would replace those of"}};
    for (const auto& c : cases) {
        QVariantMap results;
        QgsProcessingFeedback feedback;
        const bool ok = run("halvo:imperviousbyzone",
                            {{"LANDCOVER", Q(LandCover(ext.path()))},
                             {"ZONES", Q(keep) + "|layername=cats"},
                             {"FIELD", "NAME"},
                             {"OUTPUT", c.output}},
                            results, feedback);
        EXPECT_EQ(ok, !c.refusal) << c.output.toStdString() << "\n" << feedback.textLog().toStdString();
        if (c.refusal) {
            EXPECT_NE(feedback.textLog().indexOf(c.refusal), -1) << feedback.textLog().toStdString();
        }
    }
    QgsVectorLayer file(Q(keep), "keep", "ogr");
    EXPECT_EQ(file.dataProvider()->subLayers().size(), 4);
    for (const char* name : {"cats", "other", "keep", "result"})
        EXPECT_EQ(QgsVectorLayer(Q(keep) + "|layername=" + name, name, "ogr").featureCount(), 2) << name;
    EXPECT_TRUE(fs::exists(ext / "keep.prm") && fs::exists(ext / "result.met") && fs::exists(ext / "result.qml"));
    EXPECT_EQ(ReadFile(ext / "owned.prm"), "theirs");
}

TEST_F(Processing, SelectedFeaturesOnlyAnalysesTheSelection)
{
    QgsVectorLayer* zones = AddVector(Zones(ext.path()), "zones");
    ASSERT_TRUE(zones->isValid());
    QgsFeatureIds east;
    QgsFeature f;
    for (QgsFeatureIterator it = zones->getFeatures(); it.nextFeature(f);)
        if (f.attribute("NAME").toString() == "East")
            east.insert(f.id());
    zones->selectByIds(east);
    QVariantMap results;
    QgsProcessingFeedback feedback;
    ASSERT_TRUE(run("halvo:imperviousbyzone",
                    {{"LANDCOVER", Q(LandCover(ext.path()))},
                     {"ZONES", QVariant::fromValue(QgsProcessingFeatureSourceDefinition(zones->id(), true))},
                     {"FIELD", "NAME"},
                     {"OUTPUT", Q(ext / "east.shp")}},
                    results, feedback))
        << feedback.textLog().toStdString();
    QgsVectorLayer out(Q(ext / "east.shp"), "east", "ogr");
    ASSERT_EQ(out.featureCount(), 1);
    out.getFeatures().nextFeature(f);
    EXPECT_EQ(f.attribute("NAME").toString(), "East");
}

TEST_F(Processing, CanceledRunWritesNothingAndBadChoicesAreRefusedByName)
{
    const QVariantMap base{{"LANDCOVER", Q(LandCover(ext.path()))},
                           {"ZONES", Q(Zones(ext.path()))},
                           {"FIELD", "NAME"},
                           {"OUTPUT", Q(ext / "canceled.shp")}};
    QVariantMap results;
    QgsProcessingFeedback canceled;
    canceled.cancel();
    EXPECT_FALSE(run("halvo:imperviousbyzone", base, results, canceled));
    EXPECT_NE(canceled.textLog().indexOf("canceled"), -1) << canceled.textLog().toStdString();
    EXPECT_FALSE(fs::exists(ext / "canceled.shp"));

    // A GeoPackage output's scratch folder goes, whether the run is cancelled or never starts.
    QVariantMap gpkg = base;
    gpkg.insert("OUTPUT", Q(ext / "canceled.gpkg"));
    EXPECT_FALSE(run("halvo:imperviousbyzone", gpkg, results, canceled));
    {
        QgsProcessingContext context;
        std::unique_ptr<QgsProcessingAlgorithm> dropped(
            QgsApplication::processingRegistry()->createAlgorithmById("halvo:imperviousbyzone"));
        ASSERT_TRUE(dropped->prepare(gpkg, context, &canceled));  // and never run
    }
    EXPECT_EQ(QDir(QgsProcessingUtils::tempFolder()).entryList({"halvo_*"}, QDir::Dirs).join(' '), "");

    QVariantMap scenarios = base;
    scenarios.insert("SCENARIOS", QStringList{Q(Zones(ext.path(), "dev"))});
    QgsProcessingFeedback noClass;
    EXPECT_FALSE(run("halvo:imperviousbyzone", scenarios, results, noClass));
    EXPECT_NE(noClass.textLog().indexOf("one scenario class for each scenario layer"), -1);

    // Zones are named by text or whole numbers, as the dialog offers: a real field is refused.
    QVariantMap real = base;
    real.insert("ZONES", Q(Vector(ext.path(), "real.shp", {{"AREA", 'd'}}, {{"POLYGON((0 0,9 0,9 9,0 0))", {1.5}}})));
    real.insert("FIELD", "AREA");
    QgsProcessingFeedback realField;
    EXPECT_FALSE(run("halvo:imperviousbyzone", real, results, realField));
    EXPECT_NE(realField.textLog().indexOf("'AREA' cannot name zones"), -1) << realField.textLog().toStdString();
}

TEST_F(Processing, CoefficientSetExportedThenImportedUnderANewName)
{
    QVariantMap results;
    QgsProcessingFeedback feedback;
    const fs::path csv = ext / "set.csv";
    ASSERT_TRUE(run("halvo:exportcoefficients", {{"COEFFICIENT_SET", "NLCD"}, {"OUTPUT", Q(csv)}}, results, feedback))
        << feedback.textLog().toStdString();
    EXPECT_EQ(ReadFile(csv).rfind("Value,ClassName,High,Medium,Low\r\n", 0), 0u);

    ASSERT_TRUE(run("halvo:importcoefficients", {{"INPUT", Q(csv)}, {"NAME", "Copied"}}, results, feedback))
        << feedback.textLog().toStdString();
    EXPECT_EQ(results.value("NAME").toString(), "Copied");
    EXPECT_NE(ReadFile(ext / "etc" / "isprops.xml").find("Copied"), std::string::npos);
}

std::string Class(int id, const char* name)
{
    return "<LCClass ID='" + std::to_string(id) + "'><LCName>" + name +
           "</LCName><LCHigh>50</LCHigh><LCMed>40</LCMed><LCLow>30</LCLow></LCClass>";
}

class Faces : public Processing {
protected:
    void SetUp() override
    {
        Processing::SetUp();
        auto set = [](const char* name, const std::string& classes) {
            return std::string("<ISLCDef><LCType>") + name + "</LCType><LCClasses>" + classes +
                   "</LCClasses></ISLCDef>";
        };
        std::ofstream(ext / "etc" / "isprops.xml", std::ios::binary)
            << "<ISModelProperties><ISLCDefs>" << set("Good", Class(22, "Developed") + Class(41, "Forest"))
            << set("Twice", Class(22, "Developed") + Class(41, "Forest") + Class(22, "Again"))
            << "</ISLCDefs></ISModelProperties>";
        standardMap();
    }
    // `halvo ARGS` against this extension folder: its exit status, and what it said on stderr.
    int halvo(const std::string& args, std::string& said)
    {
        const std::string cmd =
            "'" HALVO_EXT_DIR "/halvo' " + args + " </dev/null >/dev/null 2>'" + (data / "stderr.txt").string() + "'";
        const int status = std::system(cmd.c_str());
        said = ReadFile(data / "stderr.txt");
        return status;
    }
    std::string cli(const std::string& more)
    {
        std::string said;
        EXPECT_NE(halvo("run --landcover " + LandCover(data.path()).string() + " --analysis " +
                            Zones(data.path()).string() + " --field NAME --output " + (data / "cli.shp").string() +
                            " " + more,
                        said),
                  0)
            << more;
        return said;
    }

    std::string processing(QVariantMap parameters, bool succeeds = false)
    {
        parameters.insert({{"LANDCOVER", "landcover"}, {"ZONES", "zones"}, {"FIELD", "NAME"}});
        parameters.insert("OUTPUT", Q(data / "processing.shp"));
        QVariantMap results;
        QgsProcessingFeedback feedback;
        EXPECT_EQ(run("halvo:imperviousbyzone", parameters, results, feedback), succeeds)
            << feedback.textLog().toStdString();
        return feedback.textLog().toStdString();
    }

    void openFilled(int density)
    {
        open();
        combo("cboAnalysisTheme")->setCurrentIndex(combo("cboAnalysisTheme")->findText("zones"));
        combo("cboAnalysisUnit")->setCurrentIndex(combo("cboAnalysisUnit")->findText("NAME"));
        dialog->densityOption(density)->setChecked(true);
        child<QLineEdit>("txtOutputTheme")->setText(Q(data / "dialog"));
        dialog->checkOutputBox();
    }

    std::string dialogSays(const std::function<void(params::AnalysisDialog&)>& choose)
    {
        openFilled(1);
        choose(*dialog);
        ui.messages.clear();
        child<QPushButton>("cmdISRun")->click();
        std::string said;
        for (const auto& m : ui.messages)
            said += m.text + "\n";
        delete dialog.data();
        return said;
    }
};

TEST_F(Faces, RefuseTheSameChoicesInTheSameWords)
{
    AddVector(Zones(data.path(), "density"), "density");
    Settle();
    struct Case {
        std::string cli;
        QVariantMap processing;
        std::function<void(params::AnalysisDialog&)> dialog;  // null: the dialog cannot make this choice
        std::string words;
    };
    const std::string density = Zones(data.path(), "density").string();
    const Case cases[] = {
        {"--coefficients Twice",
         {{"COEFFICIENT_SET", 1}},
         [&](params::AnalysisDialog&) { combo("cboLCType")->setCurrentIndex(1); },
         "The coefficient set 'Twice' gives the class 22 twice: keep one row of it"},
        {"--density-layer " + density + " --density-field HUC --high 1 --low 2",
         {{"DENSITY", 3}, {"DENSITY_LAYER", "density"}, {"DENSITY_FIELD", "HUC"}, {"HIGH", 1}, {"LOW", 2}},
         [&](params::AnalysisDialog& d) {
             d.densityOption(3)->setChecked(true);
             auto& pd = d.density();
             pd.layerList()->setCurrentIndex(pd.layerList()->findText("density"));
             pd.densityLayerChosen();
             pd.fieldList()->setCurrentIndex(pd.fieldList()->findText("HUC"));
             pd.highBox()->setText("1");
             pd.lowBox()->setText("2");
         },
         "Population density \"Low\" value must be less than the \"High\" value."},
        {"--scenario " + density + "=99",
         {{"SCENARIOS", QStringList{"density"}}, {"SCENARIO_CLASSES", "99"}},
         nullptr,
         "The coefficient set 'Good' has no class '99'"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(cli(c.cli).find(c.words), std::string::npos) << c.words;
        EXPECT_NE(processing(c.processing).find(c.words), std::string::npos) << c.words;
        if (c.dialog) {
            EXPECT_NE(dialogSays(c.dialog).find(c.words), std::string::npos) << c.words;
        }
    }
    EXPECT_TRUE(QgsProject::instance()->mapLayersByName("dialog").isEmpty());
}

// "Save parameters..." in the dialog and in Processing: `halvo run --parameters`
// replays either run to the same table.
TEST_F(Faces, SavedParametersReplayFromTheCommandLine)
{
    openFilled(0);
    dialog->saveParametersDialog = [&] { return Q(data / "dialog.txt"); };
    child<QPushButton>("cmdSaveParams")->click();
    child<QPushButton>("cmdISRun")->click();
    ASSERT_TRUE(fs::exists(data / "dialog.dbf")) << (ui.reports.empty() ? "" : ui.reports[0]);

    processing({{"DENSITY", 0}, {"PARAMETER_FILE", Q(data / "processing.txt")}}, true);

    for (const char* saved : {"dialog", "processing"}) {
        std::string said;
        EXPECT_EQ(halvo("run --parameters '" + (data / (std::string(saved) + ".txt")).string() + "' --output '" +
                            (data / "replay.shp").string() + "'",
                        said),
                  0)
            << said;
        EXPECT_EQ(ReadFile(data / "replay.dbf"), ReadFile(data / (std::string(saved) + ".dbf"))) << saved;
    }
}

}  // namespace
}  // namespace halvo::test
