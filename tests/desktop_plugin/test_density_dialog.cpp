// The population density dialog: its lists, the mirrored thresholds, the
// order of its checks, and how the analysis dialog loads and drops it.

#include "dialog_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

namespace halvo::test {
namespace {

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

TEST_F(DensityDialog, ThresholdsAreMirroredAndChecked)
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

}  // namespace
}  // namespace halvo::test
