#include "params/qt/params_dialog.h"

#include "coefficients/model_store.h"
#include "host/raster.h"
#include "host/table.h"
#include "params/param_writer.h"
#include "params/qt/density_dialog.h"
#include "params/qt/model_util.h"
#include "params/request_builder.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/qt/help_browser.h"
#include "support/qt/qt_ui.h"
#include "support/ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace halvo::params {

namespace fs = std::filesystem;
using support::Twips;

namespace {
constexpr const char* kForm = "ISParams";
constexpr int kRowPitch = 350;  // twips between scenario rows
constexpr int kRow0LabelTop = 100;

std::string TempFolderFromEnvironment()
{
    for (const char* name : {"Temp", "TEMP", "Tmp", "TMP"})
        if (const char* v = std::getenv(name); v && *v)
            return v;
    return {};
}

// Messages of a background reload would interrupt the user for nothing.
class FeedbackSilencer final : public support::Ui {
public:
    FeedbackSilencer() : scope_(*this) {}
    support::Answer message(std::string_view, std::string_view, support::Icon, support::Buttons) override
    {
        return support::Answer::Cancel;
    }
    void showCallStack(std::string_view) override {}

private:
    support::UiScope scope_;
};

}  // namespace

std::array<QWidget*, 6> AnalysisDialog::RowWidgets::all() const
{
    return {apply, number, withinLabel, layer, toLabel, toClass};
}

AnalysisDialog::AnalysisDialog(QWidget* parent, fs::path extensionFolder, MapSource* map)
    : QDialog(parent, Qt::Window), ext_(std::move(extensionFolder)), map_(map)
{
    setObjectName(QStringLiteral("frmISParams"));
    setWindowTitle(QStringLiteral("Halvo"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto named = [this](auto* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    landCover_ = named(new QComboBox(this), "cboLCTheme");
    units_ = named(new QComboBox(this), "cboLCUnits");
    analysisLayer_ = named(new QComboBox(this), "cboAnalysisTheme");
    analysisField_ = named(new QComboBox(this), "cboAnalysisUnit");
    auto* coefficientsFrame = named(new QGroupBox(tr("Coefficients"), this), "fraPopDensity");
    coefficientSet_ = named(new QComboBox(coefficientsFrame), "cboLCType");
    const char* captions[4] = {QT_TR_NOOP("High"), QT_TR_NOOP("Medium"), QT_TR_NOOP("Low"), QT_TR_NOOP("Calculate")};
    for (int i = 0; i < 4; ++i) {
        densityOptions_[i] = named(new QRadioButton(tr(captions[i]), coefficientsFrame), "optPopDensity");
        densityOptions_[i]->setProperty("index", i);
    }
    outputBox_ = named(new QLineEdit(this), "txtOutputTheme");
    browseButton_ = named(new QPushButton(tr("Browse..."), this), "cmdOutputBrowse");
    layerNameBox_ = named(new QLineEdit(this), "txtThemeName");
    htmlPageBox_ = named(new QCheckBox(tr("Write an HTML page"), this), "chkHtmlPage");
    runButton_ = named(new QPushButton(tr("Run"), this), "cmdISRun");
    saveButton_ = named(new QPushButton(tr("Save parameters..."), this), "cmdSaveParams");
    quitButton_ = named(new QPushButton(tr("Quit"), this), "cmdISQuit");
    helpButton_ = named(new QPushButton(tr("Help"), this), "cmdISHelp");
    for (QPushButton* b : {browseButton_, runButton_, saveButton_, quitButton_, helpButton_})
        b->setAutoDefault(false);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(tr("Land Cover Grid"), this), 0, 0);
    top->addWidget(landCover_, 0, 1);
    top->addWidget(new QLabel(tr("Land Cover Grid Units"), this), 0, 2);
    top->addWidget(units_, 0, 3);
    top->addWidget(new QLabel(tr("Analysis Layer"), this), 1, 0);
    top->addWidget(analysisLayer_, 1, 1);
    top->addWidget(new QLabel(tr("Analysis Field"), this), 1, 2);
    top->addWidget(analysisField_, 1, 3);
    top->setColumnStretch(1, 3);
    top->setColumnStretch(3, 2);

    auto* coeff = new QGridLayout(coefficientsFrame);
    coeff->addWidget(new QLabel(tr("Coefficient Set"), coefficientsFrame), 0, 0);
    coeff->addWidget(coefficientSet_, 0, 1, 1, 4);
    coeff->addWidget(new QLabel(tr("Which Coefficient?"), coefficientsFrame), 1, 0);
    for (int i = 0; i < 4; ++i)
        coeff->addWidget(densityOptions_[i], 1, i + 1);
    densitySummary_ = named(new QLabel(coefficientsFrame), "lblDensitySummary");
    densitySummary_->setWordWrap(true);
    densitySummary_->hide();
    coeff->addWidget(densitySummary_, 2, 1, 1, 4);

    auto* out = new QGridLayout;
    out->addWidget(new QLabel(tr("Output Shapefile"), this), 0, 0);
    out->addWidget(outputBox_, 0, 1);
    out->addWidget(browseButton_, 0, 2);
    out->addWidget(new QLabel(tr("Layer Name"), this), 1, 0);
    out->addWidget(layerNameBox_, 1, 1);
    out->addWidget(htmlPageBox_, 2, 1);

    buildScenarioFrame(this);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(helpButton_);
    bottom->addStretch();
    bottom->addWidget(saveButton_);
    bottom->addWidget(runButton_);
    bottom->addWidget(quitButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(coefficientsFrame);
    layout->addLayout(out);
    layout->addWidget(scenarioFrame_);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(analysisLayer_, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &AnalysisDialog::analysisLayerChosen);
    connect(landCover_, qOverload<int>(&QComboBox::currentIndexChanged), this, &AnalysisDialog::landCoverChosen);
    connect(browseButton_, &QPushButton::clicked, this, &AnalysisDialog::browseOutput);
    connect(runButton_, &QPushButton::clicked, this, &AnalysisDialog::run);
    connect(saveButton_, &QPushButton::clicked, this, &AnalysisDialog::saveParameters);
    connect(quitButton_, &QPushButton::clicked, this, &AnalysisDialog::quit);
    connect(helpButton_, &QPushButton::clicked, this, &AnalysisDialog::showHelp);
    connect(addButton_, &QPushButton::clicked, this, &AnalysisDialog::addScenario);
    connect(deleteButton_, &QPushButton::clicked, this, &AnalysisDialog::deleteScenario);
    connect(scrollBar_, &QScrollBar::valueChanged, this, &AnalysisDialog::scrollScenarios);
    support::InstallHelpKey(this, [this] { showHelp(); });
    outputBox_->installEventFilter(this);
    layerNameBox_->installEventFilter(this);
    densityOptions_[3]->installEventFilter(this);
    for (int i = 0; i < 4; ++i)
        connect(densityOptions_[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && i < 3)
                optionBefore_ = i;
            showDensitySummary();
        });

    saveFileDialog = [this] {
        return QFileDialog::getSaveFileName(this, tr("Select Output Shapefile"), lastFolder_, tr("Shapefile (*.shp)"));
    };
    inputBox = [this](const QString& prompt, const QString& title) -> std::optional<QString> {
        bool ok = false;
        const QString s = QInputDialog::getText(this, title, prompt, QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return s;
    };
    showModal = [](QDialog& d) { return d.exec(); };
    saveParametersDialog = [this] {
        return QFileDialog::getSaveFileName(this, tr("Save Parameters"), lastFolder_,
                                            tr("Halvo parameter files (*.txt)"));
    };
}

AnalysisDialog::~AnalysisDialog() { delete density_.data(); }

void AnalysisDialog::buildScenarioFrame(QWidget* parent)
{
    scenarioFrame_ = new QGroupBox(tr("Land Cover Change Scenarios"), parent);
    scenarioFrame_->setObjectName(QStringLiteral("fraDSMain"));
    scenarioView_ = new QWidget(scenarioFrame_);
    scenarioView_->setObjectName(QStringLiteral("fraDSContainer"));
    scenarioRows_ = new QWidget(scenarioView_);
    scenarioRows_->setObjectName(QStringLiteral("fraDSItems"));
    scrollBar_ = new QScrollBar(Qt::Vertical, scenarioView_);
    scrollBar_->setObjectName(QStringLiteral("VScroll1"));
    scrollBar_->setMinimum(0);
    scrollBar_->hide();
    applyLabel_ = new QLabel(tr("Apply"), scenarioFrame_);
    applyLabel_->setObjectName(QStringLiteral("lblDSApply"));
    applyLabel_->hide();
    addButton_ = new QPushButton(tr("Add"), scenarioFrame_);
    addButton_->setObjectName(QStringLiteral("cmdDSAdd"));
    deleteButton_ = new QPushButton(tr("Delete..."), scenarioFrame_);
    deleteButton_->setObjectName(QStringLiteral("cmdDSDelete"));
    deleteButton_->setEnabled(false);
    for (QPushButton* b : {addButton_, deleteButton_})
        b->setAutoDefault(false);

    // Row 0 is laid out up front and stays hidden until the first "Add".
    rows_.push_back(makeRow(0));
    const RowWidgets& r = rows_.front();
    for (QWidget* w : r.all())
        w->hide();
    layoutScenarioFrame();
}

// The rows keep the old form's logic (a pitch of 350 twips, six rows in view,
// the scroll bar in twips), but their columns and pitch in pixels follow the
// texts and the font, so no language or font size cuts them off.
AnalysisDialog::RowGeometry AnalysisDialog::rowGeometry() const
{
    const RowWidgets& r = rows_.front();
    const QFontMetrics fm(scenarioRows_->font());
    const int gap = fm.averageCharWidth();
    RowGeometry g;
    g.line = std::max(r.layer->sizeHint().height(), fm.height() + 4);
    g.pitch = std::max(Twips(kRowPitch), g.line + 3);
    g.applyX = gap / 2;
    g.numX = g.applyX + r.apply->sizeHint().width() + gap / 2;
    g.label1X = g.numX + fm.horizontalAdvance(QStringLiteral("99.")) + gap;
    g.themeX = g.label1X + fm.horizontalAdvance(r.withinLabel->text()) + gap;
    // The lists are as wide as their longest entry needs, within reason.
    int themeText = 0, classText = 0;
    for (const RowWidgets& row : rows_) {
        themeText = std::max(themeText, row.layer->sizeHint().width());
        classText = std::max(classText, row.toClass->sizeHint().width());
    }
    const int most = fm.averageCharWidth() * 40;
    g.themeW = std::max({Twips(2150), fm.averageCharWidth() * 20, std::min(themeText, most)});
    g.label2X = g.themeX + g.themeW + gap;
    g.classX = g.label2X + fm.horizontalAdvance(r.toLabel->text()) + gap;
    g.classW = std::max({Twips(2000), fm.averageCharWidth() * 18, std::min(classText, most)});
    g.width = g.classX + g.classW + gap / 2;
    return g;
}

int AnalysisDialog::pixels(int twipsDown) const { return twipsDown * rowGeometry().pitch / kRowPitch; }

void AnalysisDialog::layoutScenarioFrame()
{
    const RowGeometry g = rowGeometry();
    const QFontMetrics fm(scenarioFrame_->font());
    const int margin = fm.averageCharWidth();
    const int bar = scrollBar_->sizeHint().width();
    const int top = fm.height() + margin;  // below the frame's title
    applyLabel_->adjustSize();
    applyLabel_->move(margin, top);
    const int containerTop = top + applyLabel_->height();
    // Six rows in view, as before: the 2200 twips of the old container.
    const int containerH = pixels(2200);
    scenarioView_->setGeometry(margin, containerTop, g.width + bar + 2, containerH);
    scenarioRows_->setGeometry(0, scenarioRows_->y(), g.width, pixels(innerHeight_));
    scrollBar_->setGeometry(g.width + 2, pixels(100), bar, containerH - pixels(100));
    int right = margin + g.width + bar + 2;
    const int buttonTop = containerTop + containerH + margin / 2;
    int buttonH = 0;
    for (QPushButton* b : {deleteButton_, addButton_}) {
        const QSize hint = b->sizeHint().expandedTo(QSize(Twips(855), Twips(375)));
        b->setGeometry(right - hint.width(), buttonTop, hint.width(), hint.height());
        right -= hint.width() + margin;
        buttonH = std::max(buttonH, hint.height());
    }
    scenarioFrame_->setFixedSize(margin * 2 + g.width + bar + 2, buttonTop + buttonH + margin);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        placeRow(rows_[static_cast<std::size_t>(i)], i);
}

AnalysisDialog::RowWidgets AnalysisDialog::makeRow(int index)
{
    RowWidgets r{};
    r.apply = new QCheckBox(scenarioRows_);
    r.apply->setObjectName(QStringLiteral("chkDSApply"));
    r.number = new QLabel(QString::number(index + 1) + QLatin1Char('.'), scenarioRows_);
    r.number->setObjectName(QStringLiteral("lblDSNum"));
    r.withinLabel = new QLabel(tr("Change land cover classes within"), scenarioRows_);
    r.withinLabel->setObjectName(QStringLiteral("lblDSLabel1"));
    r.layer = new QComboBox(scenarioRows_);
    r.layer->setObjectName(QStringLiteral("cboDSTheme"));
    r.layer->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    r.toLabel = new QLabel(tr("layer to"), scenarioRows_);
    r.toLabel->setObjectName(QStringLiteral("lblDSLabel2"));
    r.toClass = new QComboBox(scenarioRows_);
    r.toClass->setObjectName(QStringLiteral("cboDSToClass"));
    r.toClass->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (QWidget* w : r.all())
        w->setProperty("index", index);
    // Row 0 is placed with the frame, which measures it.
    if (!rows_.empty())
        placeRow(r, index);
    return r;
}

void AnalysisDialog::placeRow(const RowWidgets& r, int index)
{
    const RowGeometry g = rowGeometry();
    const int top = pixels(kRow0LabelTop) / 2 + index * g.pitch;
    auto put = [&](QWidget* w, int x, int width, int height) {
        w->setGeometry(x, top + (g.line - height) / 2, width, height);
    };
    const int text = QFontMetrics(scenarioRows_->font()).height() + 2;
    put(r.apply, g.applyX, r.apply->sizeHint().width(), r.apply->sizeHint().height());
    put(r.number, g.numX, g.label1X - g.numX, text);
    put(r.withinLabel, g.label1X, g.themeX - g.label1X, text);
    put(r.layer, g.themeX, g.themeW, g.line);
    put(r.toLabel, g.label2X, g.classX - g.label2X, text);
    put(r.toClass, g.classX, g.classW, g.line);
}

bool AnalysisDialog::load()
{
    if (!map_)
        support::raise(91, "Object variable or With block variable not set");
    connect(map_, &MapSource::itemAdded, this, &AnalysisDialog::mapItemAdded, Qt::UniqueConnection);
    connect(map_, &MapSource::itemDeleted, this, &AnalysisDialog::mapItemDeleted, Qt::UniqueConnection);
    connect(map_, &MapSource::itemReordered, this, &AnalysisDialog::mapItemReordered, Qt::UniqueConnection);
    connect(map_, &MapSource::openDocument, this, &AnalysisDialog::documentOpened, Qt::UniqueConnection);

    lastDS_ = -1;
    deleteButton_->setEnabled(false);

    if (!coefficients::GetISModelProperties(store_, support::StorePath(ext_))) {
        support::MsgBox("Failed To Load XML - verify the file 'isprops.xml' is located in the " + ext_.string() +
                            "/etc folder.",
                        support::Buttons::OKCancel, support::Icon::Critical);
        return false;
    }

    CheckLayers(*landCover_, kRasterLayer, *map_, 0, runButton_);
    CheckLayers(*analysisLayer_, kFeatureLayer, *map_, 2, runButton_);
    lastAnalysisPos_ = 0;
    LoadFldsCombobox(*analysisField_, SelectedText(*analysisLayer_), *map_, 2);
    analysisField_->setCurrentIndex(-1);

    LoadLCTypeCombobox(*coefficientSet_, store_);
    if (coefficientSet_->count() == 0) {
        support::MsgBox("The coefficient store " + support::StorePath(ext_).string() +
                            " holds no coefficient set. Make one in Change Coefficients (New or Import) first.",
                        support::Buttons::OK, support::Icon::Exclamation);
        return false;
    }
    coefficientSet_->setCurrentIndex(0);

    units_->clear();
    // Shown in the user's language; the run takes the English name (item data).
    units_->addItem(tr("Meters"), QStringLiteral("Meters"));
    units_->addItem(tr("Feet"), QStringLiteral("Feet"));
    units_->setCurrentIndex(-1);
    SetDefaultLCUnits(*units_, map_->focusMap());
    landCoverChosen();
    watchStore();
    return true;
}

void AnalysisDialog::landCoverChosen()
{
    // The raster's own unit is the default; the run warns when the choice differs.
    if (!map_ || landCover_->currentIndex() < 0)
        return;
    const host::LayerPtr layer = host::FindLayer(SelectedText(*landCover_), map_->focusMap());
    if (!layer || layer->source.empty())
        return;
    // An unreadable raster gives no unit here; the run refuses it, with its cause.
    const std::string unit = host::RasterLinearUnit(layer->source);
    const int i = units_->findData(Qs(unit), Qt::UserRole, Qt::MatchFixedString);
    if (!unit.empty() && i >= 0)
        units_->setCurrentIndex(i);
}

void AnalysisDialog::watchStore()
{
    const QString path = Qs(support::StorePath(ext_).string());
    if (!storeWatcher_) {
        storeWatcher_ = new QFileSystemWatcher(this);
        connect(storeWatcher_, &QFileSystemWatcher::fileChanged, this, &AnalysisDialog::reloadStore);
        // A save renames a new file over the store: watch the folder to see it arrive.
        connect(storeWatcher_, &QFileSystemWatcher::directoryChanged, this, [this, path] {
            if (!storeWatcher_->files().contains(path) && QFileInfo::exists(path))
                reloadStore();
        });
        storeWatcher_->addPath(QFileInfo(path).absolutePath());
    }
    if (!storeWatcher_->files().contains(path))
        storeWatcher_->addPath(path);
}

void AnalysisDialog::reloadStore()
{
    watchStore();
    coefficients::CoeffStore fresh;
    {
        // A store caught half-written or faulty keeps the sets already loaded.
        FeedbackSilencer quiet;
        if (!coefficients::GetISModelProperties(fresh, support::StorePath(ext_)) || fresh.ISLCDefs.Count() == 0)
            return;
    }
    const QString chosen = coefficientSet_->currentText();
    std::vector<QString> classes;
    for (const RowWidgets& r : rows_)
        classes.push_back(r.toClass->currentText());
    store_ = std::move(fresh);
    LoadLCTypeCombobox(*coefficientSet_, store_);
    const int at = coefficientSet_->findText(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive);
    coefficientSet_->setCurrentIndex(at >= 0 ? at : 0);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        fillClassList(*rows_[i].toClass);
        rows_[i].toClass->setCurrentIndex(
            rows_[i].toClass->findText(classes[i], Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
}

void AnalysisDialog::analysisLayerChosen()
{
    Handle("cboAnalysisTheme_Click", kForm, [&] {
        const int pos = analysisLayer_->currentIndex();
        if (pos == lastAnalysisPos_ || !map_)
            return;
        LoadFldsCombobox(*analysisField_, SelectedText(*analysisLayer_), *map_, 2);
        analysisField_->setCurrentIndex(-1);
        lastAnalysisPos_ = pos;
    });
}

void AnalysisDialog::refillAfterMapChange()
{
    if (!map_)
        return;
    // The lists follow the project; a choice still offered stays chosen.
    const QString land = landCover_->currentText();
    const QString analysis = analysisLayer_->currentText();
    const QString field = analysisField_->currentText();
    {
        const QSignalBlocker quietLand(landCover_), quietAnalysis(analysisLayer_);
        CheckLayers(*landCover_, kRasterLayer, *map_, 0, runButton_);
        CheckLayers(*analysisLayer_, kFeatureLayer, *map_, 2, runButton_);
        for (auto [list, chosen] : {std::pair{landCover_, land}, std::pair{analysisLayer_, analysis}})
            if (const int i = list->findText(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive); i >= 0)
                list->setCurrentIndex(i);
    }
    if (landCover_->currentText() != land)
        landCoverChosen();
    LoadFldsCombobox(*analysisField_, SelectedText(*analysisLayer_), *map_, 2);
    analysisField_->setCurrentIndex(analysisLayer_->currentText() == analysis ? analysisField_->findText(field) : -1);
    lastAnalysisPos_ = analysisLayer_->currentIndex();
    // The scenario rows and the density dialog follow too; a layer gone leaves its list unselected.
    for (int i = 0; i <= lastDS_ && i < static_cast<int>(rows_.size()); ++i) {
        QComboBox* list = rows_[static_cast<std::size_t>(i)].layer;
        const QString chosen = list->currentText();
        CheckLayers(*list, kFeatureLayer, *map_, 0, runButton_);
        list->setCurrentIndex(list->findText(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    if (density_)
        density_->refill();
    layoutScenarioFrame();
}

// Nothing above these handlers could take an error, so they show it themselves.
void AnalysisDialog::mapItemAdded()
{
    Handle("m_pActiveViewEvents_ItemAdded", kForm, [&] { refillAfterMapChange(); });
}

void AnalysisDialog::mapItemDeleted()
{
    Handle("m_pActiveViewEvents_ItemDeleted", kForm, [&] { refillAfterMapChange(); });
}

void AnalysisDialog::mapItemReordered()
{
    Handle("m_pActiveViewEvents_ItemReordered", kForm, [&] { refillAfterMapChange(); });
}

void AnalysisDialog::documentOpened()
{
    Handle("DocumentEvents_OpenDocument", kForm, [&] {
        if (!map_)
            return;
        CheckLayers(*landCover_, kRasterLayer, *map_, 0, runButton_);
        CheckLayers(*analysisLayer_, kFeatureLayer, *map_, 2, runButton_);
    });
}

void AnalysisDialog::browseOutput()
{
    Handle("cmdOutputBrowse_Click", kForm, [&] {
        const QString chosen = saveFileDialog ? saveFileDialog() : QString();
        outputBox_->setText(chosen.isEmpty() ? QStringLiteral("halvo") : chosen.trimmed());
        outputBox_->setFocus();
        // A file chosen is taken as if typed and left: ".shp" added, the layer name following.
        if (chosen.isEmpty())
            SetThemeName(outputBox_->text(), *layerNameBox_);
        else
            checkOutputBox();
    });
}

void AnalysisDialog::checkOutputBox()
{
    Handle("txtOutputTheme_Validate", kForm, [&] {
        QString text = outputBox_->text().trimmed();
        outputBox_->setText(text);
        if (text.isEmpty())
            return;
        text = WithShpExtension(text);
        outputBox_->setText(text);
        SetThemeName(text, *layerNameBox_);

        savedAnalysisPos_ = analysisLayer_->currentIndex();
        savedLCPos_ = landCover_->currentIndex();
        savedUnitPos_ = analysisField_->currentIndex();
        savedLayerCount_ = map_ ? static_cast<long>(map_->focusMap().layers.size()) : 0;

        const std::string temp = TempFolderFromEnvironment();
        const std::string s = Ss(text);
        const auto slash = s.rfind('/');
        shpName_ = slash == std::string::npos ? s : s.substr(slash + 1);
        outFolder_ = slash == std::string::npos ? std::string() : s.substr(0, slash + 1);

        std::error_code ec;
        // A folder typed that does not exist yet is made on the user's word;
        // declined or failed, the run refuses it (it cannot be written).
        if (!outFolder_.empty() && !fs::is_directory(outFolder_, ec)) {
            QString folder = Qs(outFolder_);
            while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
                folder.chop(1);
            const auto create = support::MsgBox(
                Ss(QCoreApplication::translate("halvo::Messages", "The folder %1 does not exist. Create it?")
                       .arg(folder)),
                support::Buttons::YesNo, support::Icon::Question, "Output Location");
            if (create == support::Answer::Yes && !fs::create_directories(outFolder_, ec) && ec)
                support::MsgBox(Ss(QCoreApplication::translate("halvo::Messages",
                                                               "The folder %1 could not be created (%2). Please "
                                                               "choose another location for the output shapefile.")
                                       .arg(folder, Qs(ec.message()))),
                                support::Buttons::OK, support::Icon::Exclamation, "Output Location");
            layerName_ = Ss(layerNameBox_->text());
            return;
        }
        if (outFolder_.empty()) {
            outFolder_ = !temp.empty() && fs::is_directory(temp, ec) ? temp : (ext_ / "output").string();
            support::MsgBox("Either no path was specified or the path does not exist. \rThe output layer will be "
                            "created in " +
                                outFolder_ + ".",
                            support::Buttons::OK, support::Icon::Information, "Output Location");
            outputBox_->setText(Qs(outFolder_ + "/" + shpName_));
        }
        layerName_ = Ss(layerNameBox_->text());
    });
}

void AnalysisDialog::takeLayerName() { layerName_ = Ss(layerNameBox_->text()); }

bool AnalysisDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == outputBox_)
            checkOutputBox();
        else if (watched == layerNameBox_)
            takeLayerName();
    } else if (watched == densityOptions_[3] && event->type() == QEvent::MouseButtonRelease) {
        // Only a mouse release on "Calculate" opens the density dialog, after
        // the button has taken the click.
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && densityOptions_[3]->rect().contains(me->pos()))
            QTimer::singleShot(0, this, [this] { openDensityDialog(3); });
    }
    return QDialog::eventFilter(watched, event);
}

DensityDialog& AnalysisDialog::density()
{
    if (!density_) {
        density_ = new DensityDialog(this, map_, runButton_);
        density_->setModal(true);
        support::InstallHelpKey(density_,
                                [this] { support::ShowHelpBrowser(ext_, density_, QStringLiteral("density.html")); });
        density_->load();
        if (!densityKept_.isEmpty())
            density_->setEntries(densityKept_);
    }
    return *density_;
}

void AnalysisDialog::unloadDensity() { delete density_.data(); }

void AnalysisDialog::openDensityDialog(int index)
{
    Handle("optPopDensity_MouseUp", kForm, [&] {
        if (index == 3)
            askDensity();
    });
}

bool AnalysisDialog::askDensity()
{
    DensityDialog& d = density();
    const bool accepted = showModal(d) == QDialog::Accepted;
    if (accepted) {
        densityKept_ = d.entries();
    } else if (!densityKept_.isEmpty()) {
        d.setEntries(densityKept_);  // Cancel keeps what OK last took
    } else {
        // Nothing was ever taken: "Calculate" does not stay chosen without its entries.
        unloadDensity();
        if (optionBefore_ >= 0) {
            densityOptions_[optionBefore_]->setChecked(true);
        } else {
            densityOptions_[3]->setAutoExclusive(false);
            densityOptions_[3]->setChecked(false);
            densityOptions_[3]->setAutoExclusive(true);
        }
    }
    showDensitySummary();
    return accepted;
}

void AnalysisDialog::showDensitySummary()
{
    const bool shown = densityOptions_[3]->isChecked() && !densityKept_.isEmpty();
    if (shown)
        densitySummary_->setText(tr("Density from %1 (%2): High >= %3, Low <= %4")
                                     .arg(densityKept_.value(QStringLiteral("densityLayer")).toString(),
                                          densityKept_.value(QStringLiteral("densityField")).toString(),
                                          densityKept_.value(QStringLiteral("high")).toString(),
                                          densityKept_.value(QStringLiteral("low")).toString()));
    densitySummary_->setVisible(shown);
}

bool AnalysisDialog::validate(int lastDS)
{
    std::string message;
    QWidget* focus = nullptr;
    auto fail = [&](QWidget* w, const char* text) {
        focus = w;
        message = text;
    };
    if (analysisLayer_->currentIndex() < 0)
        fail(analysisLayer_, "No Analysis theme selected, please select from dropdown list.");
    else if (landCover_->currentIndex() < 0)
        fail(landCover_, "No Land Cover theme selected, please select from dropdown list.");
    else if (units_->currentIndex() < 0)
        fail(units_, "Land Cover units not defined, please select from dropdown list.");
    else if (coefficientSet_->currentIndex() < 0)
        fail(coefficientSet_, "Land Cover Type not defined, please select from dropdown list.");
    else if (analysisField_->currentIndex() < 0)
        fail(analysisField_, "Analysis unit not defined, please select from dropdown list.");
    const coefficients::CoeffSet* set = coefficients::FindSet(store_, SelectedText(*coefficientSet_));
    const std::string setFault = message.empty() && set ? ClassesFault(set->LCType, ClassLinesOf(*set)) : std::string();
    if (!setFault.empty())
        fail(coefficientSet_, setFault.c_str());
    if (message.empty()) {
        int first = -1;
        for (int i = 0; i < 4 && first < 0; ++i)
            if (densityOptions_[i]->isChecked())
                first = i;
        if (first < 0) {
            fail(densityOptions_[0], "Population Density option not defined, please select option.");
        } else if (first == 3) {
            if (!density().validate()) {
                askDensity();
                return false;
            }
        }
    }
    if (message.empty() && outputBox_->text().isEmpty())
        fail(outputBox_, "Output Theme not defined, please enter a name.");
    for (int i = 0; message.empty() && i <= lastDS && i < static_cast<int>(rows_.size()); ++i) {
        const RowWidgets& r = rows_[static_cast<std::size_t>(i)];
        if (!r.apply->isChecked())
            continue;
        if (r.layer->currentIndex() < 0)
            fail(r.layer, "No theme selected, please select from dropdown list.");
        else if (r.toClass->currentIndex() < 0)
            fail(r.toClass, "No class selected, please select from dropdown list.");
    }
    if (message.empty())
        return true;
    focus->setFocus();
    support::MsgBox(message, support::Buttons::OK, support::Icon::Exclamation);
    return false;
}

void AnalysisDialog::clearOutput()
{
    const long count = map_ ? static_cast<long>(map_->focusMap().layers.size()) : 0;
    const int analysis = count > savedLayerCount_ ? savedAnalysisPos_ + 1 : savedAnalysisPos_;
    if (analysis < analysisLayer_->count())
        analysisLayer_->setCurrentIndex(analysis);
    if (savedLCPos_ < landCover_->count())
        landCover_->setCurrentIndex(savedLCPos_);
    if (savedUnitPos_ < analysisField_->count())
        analysisField_->setCurrentIndex(savedUnitPos_);
    outputBox_->clear();
    layerNameBox_->clear();
    savedAnalysisPos_ = savedLCPos_ = savedUnitPos_ = 0;
}

void AnalysisDialog::run()
{
    Handle("cmdISRun_Click", kForm, [&] {
        if (outputBox_->text().isEmpty()) {
            support::MsgBox("Please specify an output name.", support::Buttons::OK, support::Icon::Information,
                            "Shapefile Name");
            return;
        }
        if (shpName_.empty()) {
            support::MsgBox("Please enter a shapefile name.", support::Buttons::OK, support::Icon::Information,
                            "Shapefile Name?");
            return;
        }
        // A failed check leaves the entries as typed, to be corrected.
        if (!validate(lastDS_))
            return;
        emit runRequested();
        clearOutput();
    });
}

void AnalysisDialog::saveParameters()
{
    Handle("cmdSaveParams_Click", kForm, [&] {
        if (!validate(lastDS_))
            return;
        const QString file = saveParametersDialog ? saveParametersDialog() : QString();
        if (file.isEmpty())
            return;
        RunParameters p = toParameters();
        if (!shpName_.empty())
            p.outputTheme = (fs::path(outFolder_) / shpName_).string();
        p.outputThemeName = layerName_;
        try {
            const RunRequest request = RequestOf(p, map_->focusMap());
            SaveParameterFile(SavedParametersOf(request, UnitsFromName(p.landCoverUnits).value_or(Units::Meters)),
                              Ss(file));
        } catch (const support::Error& e) {
            support::MsgBox(e.description(), support::Buttons::OK, support::Icon::Exclamation, "Save Parameters");
        }
    });
}

void AnalysisDialog::quit()
{
    unloadDensity();
    close();
}

void AnalysisDialog::showHelp()
{
    Handle("cmdISHelp_Click", kForm, [&] {
        if (helpHandler)
            helpHandler();
        else
            support::ShowHelpBrowser(ext_, this, QStringLiteral("params_dialog.html"));
    });
}

// --- Scenario rows ---------------------------------------------------------

int AnalysisDialog::rowsHeight(int lastIndex) { return (lastIndex + 1) * kRowPitch + kRow0LabelTop; }

void AnalysisDialog::updateScrollBar(int innerHeight)
{
    const int d = innerHeight - 2100 - 100;
    if (d <= 0) {
        // Rows scrolled away come back once everything fits again.
        scrollBar_->setValue(0);
        scrollBar_->hide();
        return;
    }
    scrollBar_->show();
    scrollBar_->setMaximum(innerHeight - 2200);
    scrollBar_->setPageStep(700);
    scrollBar_->setSingleStep(350);
}

void AnalysisDialog::scrollScenarios(int value) { scenarioRows_->move(0, -pixels(value)); }

void AnalysisDialog::fillClassList(QComboBox& list)
{
    list.clear();
    const coefficients::CoeffSet* set = coefficients::FindSet(store_, SelectedText(*coefficientSet_));
    if (!set)
        return;
    for (const coefficients::CoverClass& c : set->LCClasses)
        list.addItem(Qs(c.LCName), static_cast<int>(c.ID));
    list.setCurrentIndex(-1);
}

void AnalysisDialog::showRow(int index)
{
    if (index == 0) {
        const RowWidgets& r = rows_.front();
        applyLabel_->show();
        for (QWidget* w : r.all())
            w->show();
        r.apply->setChecked(true);
        if (map_)
            CheckLayers(*r.layer, kFeatureLayer, *map_, 0, runButton_);
        fillClassList(*r.toClass);
        return;
    }
    while (static_cast<int>(rows_.size()) > index) {
        // A stale row at this index (never expected) is replaced whole.
        const RowWidgets& old = rows_.back();
        for (QWidget* w : old.all())
            delete w;
        rows_.pop_back();
    }
    RowWidgets r = makeRow(index);
    const RowWidgets& first = rows_.front();
    r.apply->setChecked(true);
    for (int i = 0; i < first.layer->count(); ++i)
        r.layer->addItem(first.layer->itemText(i), first.layer->itemData(i));
    r.layer->setCurrentIndex(r.layer->count() > 0 ? 0 : -1);
    for (int i = 0; i < first.toClass->count(); ++i)
        r.toClass->addItem(first.toClass->itemText(i), first.toClass->itemData(i));
    r.toClass->setCurrentIndex(-1);
    for (QWidget* w : r.all())
        w->show();
    rows_.push_back(r);
}

void AnalysisDialog::removeRow(int index, int lastIndex)
{
    if (lastIndex == 0) {
        const RowWidgets& r = rows_.front();
        applyLabel_->hide();
        for (QWidget* w : r.all())
            w->hide();
        return;
    }
    for (int i = index; i < lastIndex; ++i) {
        const RowWidgets& to = rows_.at(static_cast<std::size_t>(i));
        const RowWidgets& from = rows_.at(static_cast<std::size_t>(i + 1));
        to.apply->setChecked(from.apply->isChecked());
        to.layer->setCurrentIndex(from.layer->currentIndex());
        to.toClass->setCurrentIndex(from.toClass->currentIndex());
    }
    const RowWidgets last = rows_.at(static_cast<std::size_t>(lastIndex));
    rows_.erase(rows_.begin() + lastIndex);
    for (QWidget* w : last.all())
        delete w;
}

void AnalysisDialog::addScenario()
{
    Handle("cmdDSAdd_Click", kForm, [&] {
        if (coefficientSet_->currentIndex() < 0) {
            support::MsgBox(
                "No Land Cover Type defined, please select from the dropdown list before adding Development "
                "Scenarios",
                support::Buttons::OK, support::Icon::Exclamation);
            coefficientSet_->setFocus();
            return;
        }
        ++lastDS_;
        showRow(lastDS_);
        layoutScenarioFrame();
        innerHeight_ = rowsHeight(lastDS_);
        scenarioRows_->resize(scenarioRows_->width(), pixels(innerHeight_));
        updateScrollBar(innerHeight_);
        deleteButton_->setEnabled(true);
    });
}

void AnalysisDialog::deleteScenario()
{
    Handle("cmdDSDelete_Click", kForm, [&] {
        if (lastDS_ < 0)
            return;
        const auto answer = inputBox(tr("Enter number of scenario to delete:"), tr("Delete Scenario"));
        if (!answer || answer->trimmed().isEmpty())
            return;
        bool ok = false;
        const double number = QLocale::c().toDouble(answer->trimmed(), &ok);
        // Anything but a row number gets the same plain answer.
        const int k =
            ok && std::isfinite(number) && std::abs(number) <= 32767 ? static_cast<int>(std::lround(number)) : 0;
        if (k - 1 < 0 || k - 1 > lastDS_) {
            support::MsgBox("Invalid scenario number", support::Buttons::OK, support::Icon::Exclamation,
                            "Delete Scenario");
            return;
        }
        removeRow(k - 1, lastDS_);
        --lastDS_;
        innerHeight_ = rowsHeight(lastDS_);
        scenarioRows_->resize(scenarioRows_->width(), pixels(innerHeight_));
        updateScrollBar(innerHeight_);
        deleteButton_->setEnabled(lastDS_ >= 0);
    });
}

// --- Remembered choices -------------------------------------------------------

QVariantMap AnalysisDialog::choices()
{
    QVariantMap c;
    c.insert(QStringLiteral("landCover"), landCover_->currentText());
    c.insert(QStringLiteral("units"), units_->currentData());
    c.insert(QStringLiteral("analysis"), analysisLayer_->currentText());
    c.insert(QStringLiteral("field"), analysisField_->currentText());
    c.insert(QStringLiteral("set"), coefficientSet_->currentText());
    int option = -1;
    for (int i = 0; i < 4; ++i)
        if (densityOptions_[i]->isChecked())
            option = i;
    c.insert(QStringLiteral("density"), option);
    const QVariantMap entries = !densityKept_.isEmpty() ? densityKept_ : density_ ? density_->entries() : QVariantMap();
    if (option == 3)
        c.insert(entries);
    const QString folder = outFolder_.empty() ? lastFolder_ : Qs(outFolder_);
    c.insert(QStringLiteral("outputFolder"), folder);
    c.insert(QStringLiteral("htmlPage"), htmlPageBox_->isChecked());
    return c;
}

void AnalysisDialog::restoreChoices(const QVariantMap& c)
{
    auto pick = [&](QComboBox* list, const char* key) {
        const int i = list->findText(c.value(QLatin1String(key)).toString(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (i >= 0)
            list->setCurrentIndex(i);
    };
    pick(landCover_, "landCover");
    if (const int i = units_->findData(c.value(QStringLiteral("units"))); i >= 0)
        units_->setCurrentIndex(i);
    pick(analysisLayer_, "analysis");  // refills the field list
    pick(analysisField_, "field");
    pick(coefficientSet_, "set");
    bool ok = false;
    const int option = c.value(QStringLiteral("density")).toInt(&ok);
    if (ok && option >= 0 && option < 4) {
        densityOptions_[option]->setChecked(true);
        if (option == 3 && !c.value(QStringLiteral("densityLayer")).toString().isEmpty()) {
            for (const char* key : {"densityLayer", "densityField", "high", "low"})
                densityKept_.insert(QLatin1String(key), c.value(QLatin1String(key)));
            density().setEntries(densityKept_);
            showDensitySummary();
        }
    }
    lastFolder_ = c.value(QStringLiteral("outputFolder")).toString();
    htmlPageBox_->setChecked(c.value(QStringLiteral("htmlPage")).toBool());
}

// --- Controls <-> parameters -----------------------------------------------

bool AnalysisDialog::htmlPage() const { return htmlPageBox_->isChecked(); }

RunParameters AnalysisDialog::toParameters()
{
    RunParameters p;
    p.landCoverLayer = SelectedText(*landCover_);
    p.landCoverUnits = Ss(units_->currentData().toString());
    p.analysisLayer = SelectedText(*analysisLayer_);
    p.analysisField = SelectedText(*analysisField_);
    p.populationDensity = 4;
    for (int i = 3; i >= 0; --i)
        if (densityOptions_[i]->isChecked())
            p.populationDensity = i;
    if (p.populationDensity == 3) {
        DensityDialog& d = density();
        p.densityLayer = d.densityLayer();
        p.densityField = d.densityField();
        p.densityHigh = d.high();
        p.densityLow = d.low();
    }
    p.outputTheme = Ss(outputBox_->text());
    p.outputThemeName = Ss(layerNameBox_->text());
    for (int i = 0; i <= lastDS_ && i < static_cast<int>(rows_.size()); ++i) {
        const RowWidgets& r = rows_[static_cast<std::size_t>(i)];
        ScenarioRow s;
        s.row = i + 1;
        s.apply = r.apply->isChecked();
        s.layer = SelectedText(*r.layer);
        s.className = SelectedText(*r.toClass);
        if (r.toClass->currentIndex() >= 0)
            s.classId = std::to_string(r.toClass->currentData().toInt());
        p.scenarios.push_back(s);
    }
    p.setName = SelectedText(*coefficientSet_);
    if (const auto* set = coefficients::FindSet(store_, p.setName))
        p.classes = ClassLinesOf(*set);
    return p;
}

}  // namespace halvo::params
