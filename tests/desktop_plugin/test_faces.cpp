// The three faces hand their raw choices to one request builder: a choice one
// face refuses, the others refuse in the same words.

#include "dialog_fixture.h"
#include "plugin/processing_provider.h"

#include <qgsapplication.h>
#include <qgsprocessingalgorithm.h>
#include <qgsprocessingcontext.h>
#include <qgsprocessingfeedback.h>
#include <qgsprocessingregistry.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstdlib>
#include <fstream>
#include <functional>

namespace halvo::test {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

std::string Class(int id, const char* name)
{
    return "<LCClass ID='" + std::to_string(id) + "'><LCName>" + name +
           "</LCName><LCHigh>50</LCHigh><LCMed>40</LCMed><LCLow>30</LCLow></LCClass>";
}

class Faces : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        ::setenv("HALVO_HOME", ext.path().c_str(), 1);
        plugin::HoldProvider();
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
    void TearDown() override
    {
        plugin::ReleaseProvider();
        ::unsetenv("HALVO_HOME");
        DesktopTest::TearDown();
    }

    // `halvo ARGS` against this extension folder: its exit status, and what it said on stderr.
    int halvo(const std::string& args, std::string& said)
    {
        const fs::path err = data / "stderr.txt";
        const std::string cmd = "HALVO_HOME='" + ext.path().string() + "' '" + HALVO_EXT_DIR + "/halvo' " + args +
                                " < /dev/null > /dev/null 2> '" + err.string() + "'";
        const int status = std::system(cmd.c_str());
        said = ReadFile(err);
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
        std::unique_ptr<QgsProcessingAlgorithm> alg(
            QgsApplication::processingRegistry()->createAlgorithmById("halvo:imperviousbyzone"));
        QgsProcessingContext context;
        context.setProject(QgsProject::instance());
        QgsProcessingFeedback feedback;
        bool ok = !succeeds;
        alg->run(parameters, context, &feedback, &ok);
        EXPECT_EQ(ok, succeeds) << feedback.textLog().toStdString();
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
