// The analysis dialog shares the engine's guard of the user's files: an
// output named like the analysis layer is refused and the layer stays, in
// its files and in the project.

#include "dialog_fixture.h"

#include <qgsvectorlayer.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <fstream>

namespace halvo::test {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class DialogOutputs : public DesktopTest {};

TEST_F(DialogOutputs, AnOutputNamedLikeTheAnalysisLayerIsRefusedAndTheLayerStays)
{
    standardMap();
    open();
    combo("cboAnalysisTheme")->setCurrentIndex(combo("cboAnalysisTheme")->findText("zones"));
    combo("cboAnalysisUnit")->setCurrentIndex(combo("cboAnalysisUnit")->findText("NAME"));
    dialog->densityOption(1)->setChecked(true);
    const fs::path zones = data.path() / "zones.shp";
    const std::string before = Bytes(zones), beforeDbf = Bytes(data.path() / "zones.dbf");
    child<QLineEdit>("txtOutputTheme")->setText(QString::fromStdString((data.path() / "zones").string()));
    dialog->checkOutputBox();
    child<QPushButton>("cmdISRun")->click();

    bool told = false;
    for (const auto& m : ui.messages)
        told |= m.text.find("would replace the input") != std::string::npos;
    std::string shown;
    for (const auto& m : ui.messages)
        shown += m.text + "\n";
    EXPECT_TRUE(told) << "no message said why the run was refused:\n" << shown;
    EXPECT_EQ(Bytes(zones), before);
    EXPECT_EQ(Bytes(data.path() / "zones.dbf"), beforeDbf);
    const auto layers = QgsProject::instance()->mapLayersByName("zones");
    ASSERT_EQ(layers.size(), 1);
    EXPECT_TRUE(qobject_cast<QgsVectorLayer*>(layers[0])->isValid());
    EXPECT_TRUE(fs::is_empty(ext.path() / "temp"));
}

}  // namespace
}  // namespace halvo::test
