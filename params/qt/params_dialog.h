#pragma once
// The analysis parameters dialog: a form that picks the layers, units,
// coefficients, density choice, scenario rows and output of a run, keeps its
// lists in step with the map, checks the entries and asks for the run
// (runRequested), which the plugin carries out; or saves them as a parameter
// file for `halvo run --parameters`.

#include "coefficients/coefficient_sets.h"
#include "params/qt/map_source.h"
#include "params/run_parameters.h"
#include "support/ui.h"

#include <QDialog>
#include <QPointer>
#include <QVariantMap>

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QFileSystemWatcher;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace halvo::params {

class DensityDialog;

class AnalysisDialog : public QDialog {
    Q_OBJECT
public:
    AnalysisDialog(QWidget* parent, std::filesystem::path extensionFolder, MapSource* map);
    ~AnalysisDialog() override;

    // Loads the store and fills the lists; false when the dialog must close
    // (the store message has then been shown where that applies).
    bool load();

    // The run's values as the controls hold them.
    RunParameters toParameters();

    bool validate(int lastDS);
    void clearOutput();

    // Scenario rows.
    void showRow(int index);
    void removeRow(int index, int lastIndex);
    static int rowsHeight(int lastIndex);   // twips
    void updateScrollBar(int innerHeight);  // twips
    void fillClassList(QComboBox& list);
    int lastDSIndex() const { return lastDS_; }
    int innerFrameHeight() const { return innerHeight_; }

    // The density dialog, loaded on first use.
    DensityDialog& density();
    void unloadDensity();
    // Shows the density dialog: OK keeps its entries (summarised under the
    // options), Cancel goes back to those last kept, or without any, to the
    // option chosen before "Calculate". True for OK.
    bool askDensity();

    // The choices worth keeping between openings (layers, units, field, set,
    // density, output folder, HTML page) by name, and back; what no longer exists is skipped.
    QVariantMap choices();
    void restoreChoices(const QVariantMap& choices);

    // The output values of the last validation of the output box.
    const std::string& shapefileName() const { return shpName_; }
    const std::string& outputFolder() const { return outFolder_; }
    const std::string& layerName() const { return layerName_; }
    // Whether the run also writes the output's HTML page.
    bool htmlPage() const;

    // Seams for what waits on the user.
    std::function<QString()> saveFileDialog;
    std::function<std::optional<QString>(const QString& prompt, const QString& title)> inputBox;
    std::function<int(QDialog&)> showModal;
    std::function<void()> helpHandler;
    // Where "Save parameters..." writes; empty: nothing is saved.
    std::function<QString()> saveParametersDialog;

    struct RowWidgets {
        QCheckBox* apply;
        QLabel* number;
        QLabel* withinLabel;
        QComboBox* layer;
        QLabel* toLabel;
        QComboBox* toClass;
        // The row's six widgets, for what is done to them all.
        std::array<QWidget*, 6> all() const;
    };
    const RowWidgets& row(int i) const { return rows_.at(static_cast<std::size_t>(i)); }
    QRadioButton* densityOption(int i) const { return densityOptions_[i]; }

public slots:
    void analysisLayerChosen();
    void landCoverChosen();
    // Reads the coefficient store again after it changed on disk (an edit or
    // import in the editor, the CLI), keeping the choices that still exist.
    void reloadStore();
    void browseOutput();
    void checkOutputBox();
    void takeLayerName();
    void openDensityDialog(int index);
    void run();
    void saveParameters();
    void quit();
    void showHelp();
    void addScenario();
    void deleteScenario();
    void scrollScenarios(int value);
    void mapItemAdded();
    void mapItemDeleted();
    void mapItemReordered();
    void documentOpened();

signals:
    // The entries passed the checks: run them (the plugin does).
    void runRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildScenarioFrame(QWidget* parent);
    RowWidgets makeRow(int index);
    void placeRow(const RowWidgets& r, int index);
    struct RowGeometry {
        int line = 0, pitch = 0;  // pixels: a row's height and the distance between rows
        int applyX = 0, numX = 0, label1X = 0, themeX = 0, themeW = 0, label2X = 0, classX = 0, classW = 0;
        int width = 0;
    };
    RowGeometry rowGeometry() const;
    // Pixels for a vertical distance in the rows' twips.
    int pixels(int twipsDown) const;
    void layoutScenarioFrame();
    void refillAfterMapChange();
    void showDensitySummary();
    void watchStore();

    std::filesystem::path ext_;
    QPointer<MapSource> map_;
    coefficients::CoeffStore store_;
    QPointer<DensityDialog> density_;
    QFileSystemWatcher* storeWatcher_ = nullptr;

    QString lastFolder_;  // where "Browse..." starts
    std::string shpName_;
    std::string outFolder_;
    std::string layerName_;
    int savedAnalysisPos_ = 0, savedLCPos_ = 0, savedUnitPos_ = 0;
    long savedLayerCount_ = 0;
    int lastAnalysisPos_ = 0;
    int lastDS_ = -1;
    int innerHeight_ = 100;

    QComboBox* landCover_;
    QComboBox* units_;
    QComboBox* analysisLayer_;
    QComboBox* analysisField_;
    QComboBox* coefficientSet_;
    QRadioButton* densityOptions_[4] = {nullptr, nullptr, nullptr, nullptr};
    QLabel* densitySummary_ = nullptr;
    QVariantMap densityKept_;  // the density entries OK last took
    int optionBefore_ = -1;    // the option chosen before "Calculate"
    QLineEdit* outputBox_;
    QPushButton* browseButton_;
    QLineEdit* layerNameBox_;
    QCheckBox* htmlPageBox_;
    QPushButton* runButton_;
    QPushButton* saveButton_;
    QPushButton* quitButton_;
    QPushButton* helpButton_;

    QGroupBox* scenarioFrame_ = nullptr;
    QWidget* scenarioView_ = nullptr;
    QWidget* scenarioRows_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    QLabel* applyLabel_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    std::vector<RowWidgets> rows_;
};

}  // namespace halvo::params
