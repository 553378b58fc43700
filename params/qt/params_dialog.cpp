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
#include <QTimer>
#include <QVBoxLayout>

#include <unistd.h>

#include <cmath>
#include <cstdlib>

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

void SelectText(QComboBox& list, const std::string& text)
{
    list.setCurrentIndex(text.empty() ? -1 : list.findText(Qs(text), Qt::MatchExactly | Qt::MatchCaseSensitive));
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

frmISParams::frmISParams(QWidget* parent, fs::path extensionFolder, MapSource* map)
    : QDialog(parent, Qt::Window), ext_(std::move(extensionFolder)), map_(map)
{
    setObjectName(QStringLiteral("frmISParams"));
    setWindowTitle(QStringLiteral("Halvo"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto named = [this](auto* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    cboLCTheme_ = named(new QComboBox(this), "cboLCTheme");
    cboLCUnits_ = named(new QComboBox(this), "cboLCUnits");
    cboAnalysisTheme_ = named(new QComboBox(this), "cboAnalysisTheme");
    cboAnalysisUnit_ = named(new QComboBox(this), "cboAnalysisUnit");
    auto* fraPopDensity = named(new QGroupBox(tr("Coefficients"), this), "fraPopDensity");
    cboLCType_ = named(new QComboBox(fraPopDensity), "cboLCType");
    const char* optCaptions[4] = {QT_TR_NOOP("High"), QT_TR_NOOP("Medium"), QT_TR_NOOP("Low"), QT_TR_NOOP("Calculate")};
    for (int i = 0; i < 4; ++i) {
        opt_[i] = named(new QRadioButton(tr(optCaptions[i]), fraPopDensity), "optPopDensity");
        opt_[i]->setProperty("index", i);
    }
    txtOutputTheme_ = named(new QLineEdit(this), "txtOutputTheme");
    cmdOutputBrowse_ = named(new QPushButton(tr("Browse..."), this), "cmdOutputBrowse");
    txtThemeName_ = named(new QLineEdit(this), "txtThemeName");
    cmdISRun_ = named(new QPushButton(tr("Run"), this), "cmdISRun");
    cmdSaveParams_ = named(new QPushButton(tr("Save parameters..."), this), "cmdSaveParams");
    cmdISQuit_ = named(new QPushButton(tr("Quit"), this), "cmdISQuit");
    cmdISHelp_ = named(new QPushButton(tr("Help"), this), "cmdISHelp");
    for (QPushButton* b : {cmdOutputBrowse_, cmdISRun_, cmdSaveParams_, cmdISQuit_, cmdISHelp_})
        b->setAutoDefault(false);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(tr("Land Cover Grid"), this), 0, 0);
    top->addWidget(cboLCTheme_, 0, 1);
    top->addWidget(new QLabel(tr("Land Cover Grid Units"), this), 0, 2);
    top->addWidget(cboLCUnits_, 0, 3);
    top->addWidget(new QLabel(tr("Analysis Layer"), this), 1, 0);
    top->addWidget(cboAnalysisTheme_, 1, 1);
    top->addWidget(new QLabel(tr("Analysis Field"), this), 1, 2);
    top->addWidget(cboAnalysisUnit_, 1, 3);
    top->setColumnStretch(1, 3);
    top->setColumnStretch(3, 2);

    auto* coeff = new QGridLayout(fraPopDensity);
    coeff->addWidget(new QLabel(tr("Coefficient Set"), fraPopDensity), 0, 0);
    coeff->addWidget(cboLCType_, 0, 1, 1, 4);
    coeff->addWidget(new QLabel(tr("Which Coefficient?"), fraPopDensity), 1, 0);
    for (int i = 0; i < 4; ++i)
        coeff->addWidget(opt_[i], 1, i + 1);

    auto* out = new QGridLayout;
    out->addWidget(new QLabel(tr("Output Shapefile"), this), 0, 0);
    out->addWidget(txtOutputTheme_, 0, 1);
    out->addWidget(cmdOutputBrowse_, 0, 2);
    out->addWidget(new QLabel(tr("Layer Name"), this), 1, 0);
    out->addWidget(txtThemeName_, 1, 1);

    buildScenarioFrame(this);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdISHelp_);
    bottom->addStretch();
    bottom->addWidget(cmdSaveParams_);
    bottom->addWidget(cmdISRun_);
    bottom->addWidget(cmdISQuit_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(fraPopDensity);
    layout->addLayout(out);
    layout->addWidget(fraDSMain_);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cboAnalysisTheme_, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &frmISParams::cboAnalysisTheme_Click);
    connect(cboLCTheme_, qOverload<int>(&QComboBox::currentIndexChanged), this, &frmISParams::cboLCTheme_Click);
    connect(cmdOutputBrowse_, &QPushButton::clicked, this, &frmISParams::cmdOutputBrowse_Click);
    connect(cmdISRun_, &QPushButton::clicked, this, &frmISParams::cmdISRun_Click);
    connect(cmdSaveParams_, &QPushButton::clicked, this, &frmISParams::cmdSaveParams_Click);
    connect(cmdISQuit_, &QPushButton::clicked, this, &frmISParams::cmdISQuit_Click);
    connect(cmdISHelp_, &QPushButton::clicked, this, &frmISParams::cmdISHelp_Click);
    connect(cmdDSAdd_, &QPushButton::clicked, this, &frmISParams::cmdDSAdd_Click);
    connect(cmdDSDelete_, &QPushButton::clicked, this, &frmISParams::cmdDSDelete_Click);
    connect(VScroll1_, &QScrollBar::valueChanged, this, &frmISParams::VScroll1_Change);
    support::InstallHelpKey(this, [this] { cmdISHelp_Click(); });
    txtOutputTheme_->installEventFilter(this);
    txtThemeName_->installEventFilter(this);
    opt_[3]->installEventFilter(this);

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

frmISParams::~frmISParams() { delete density_.data(); }

void frmISParams::buildScenarioFrame(QWidget* parent)
{
    fraDSMain_ = new QGroupBox(tr("Land Cover Change Scenarios"), parent);
    fraDSMain_->setObjectName(QStringLiteral("fraDSMain"));
    fraDSContainer_ = new QWidget(fraDSMain_);
    fraDSContainer_->setObjectName(QStringLiteral("fraDSContainer"));
    fraDSItems_ = new QWidget(fraDSContainer_);
    fraDSItems_->setObjectName(QStringLiteral("fraDSItems"));
    VScroll1_ = new QScrollBar(Qt::Vertical, fraDSContainer_);
    VScroll1_->setObjectName(QStringLiteral("VScroll1"));
    VScroll1_->setMinimum(0);
    VScroll1_->hide();
    lblDSApply_ = new QLabel(tr("Apply"), fraDSMain_);
    lblDSApply_->setObjectName(QStringLiteral("lblDSApply"));
    lblDSApply_->hide();
    cmdDSAdd_ = new QPushButton(tr("Add"), fraDSMain_);
    cmdDSAdd_->setObjectName(QStringLiteral("cmdDSAdd"));
    cmdDSDelete_ = new QPushButton(tr("Delete..."), fraDSMain_);
    cmdDSDelete_->setObjectName(QStringLiteral("cmdDSDelete"));
    cmdDSDelete_->setEnabled(false);
    for (QPushButton* b : {cmdDSAdd_, cmdDSDelete_})
        b->setAutoDefault(false);

    // Row 0 is laid out up front and stays hidden until the first "Add".
    rows_.push_back(makeRow(0));
    const DSRow& r = rows_.front();
    for (QWidget* w : {static_cast<QWidget*>(r.chkDSApply), static_cast<QWidget*>(r.lblDSNum),
                       static_cast<QWidget*>(r.lblDSLabel1), static_cast<QWidget*>(r.cboDSTheme),
                       static_cast<QWidget*>(r.lblDSLabel2), static_cast<QWidget*>(r.cboDSToClass)})
        w->hide();
    layoutScenarioFrame();
}

// The rows keep the old form's logic (a pitch of 350 twips, six rows in view,
// the scroll bar in twips), but their columns and pitch in pixels follow the
// texts and the font, so no language or font size cuts them off.
frmISParams::RowGeometry frmISParams::rowGeometry() const
{
    const DSRow& r = rows_.front();
    const QFontMetrics fm(fraDSItems_->font());
    const int gap = fm.averageCharWidth();
    RowGeometry g;
    g.line = std::max(r.cboDSTheme->sizeHint().height(), fm.height() + 4);
    g.pitch = std::max(Twips(kRowPitch), g.line + 3);
    g.chkX = gap / 2;
    g.numX = g.chkX + r.chkDSApply->sizeHint().width() + gap / 2;
    g.label1X = g.numX + fm.horizontalAdvance(QStringLiteral("99.")) + gap;
    g.themeX = g.label1X + fm.horizontalAdvance(r.lblDSLabel1->text()) + gap;
    g.themeW = std::max(Twips(2150), fm.averageCharWidth() * 20);
    g.label2X = g.themeX + g.themeW + gap;
    g.classX = g.label2X + fm.horizontalAdvance(r.lblDSLabel2->text()) + gap;
    g.classW = std::max(Twips(2000), fm.averageCharWidth() * 18);
    g.width = g.classX + g.classW + gap / 2;
    return g;
}

int frmISParams::pixels(int twipsDown) const { return twipsDown * rowGeometry().pitch / kRowPitch; }

void frmISParams::layoutScenarioFrame()
{
    const RowGeometry g = rowGeometry();
    const QFontMetrics fm(fraDSMain_->font());
    const int margin = fm.averageCharWidth();
    const int bar = VScroll1_->sizeHint().width();
    const int top = fm.height() + margin;  // below the frame's title
    lblDSApply_->adjustSize();
    lblDSApply_->move(margin, top);
    const int containerTop = top + lblDSApply_->height();
    // Six rows in view, as before: the 2200 twips of the old container.
    const int containerH = pixels(2200);
    fraDSContainer_->setGeometry(margin, containerTop, g.width + bar + 2, containerH);
    fraDSItems_->setGeometry(0, fraDSItems_->y(), g.width, pixels(innerHeight_));
    VScroll1_->setGeometry(g.width + 2, pixels(100), bar, containerH - pixels(100));
    int right = margin + g.width + bar + 2;
    const int buttonTop = containerTop + containerH + margin / 2;
    int buttonH = 0;
    for (QPushButton* b : {cmdDSDelete_, cmdDSAdd_}) {
        const QSize hint = b->sizeHint().expandedTo(QSize(Twips(855), Twips(375)));
        b->setGeometry(right - hint.width(), buttonTop, hint.width(), hint.height());
        right -= hint.width() + margin;
        buttonH = std::max(buttonH, hint.height());
    }
    fraDSMain_->setFixedSize(margin * 2 + g.width + bar + 2, buttonTop + buttonH + margin);
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        placeRow(rows_[static_cast<std::size_t>(i)], i);
}

frmISParams::DSRow frmISParams::makeRow(int index)
{
    DSRow r{};
    r.chkDSApply = new QCheckBox(fraDSItems_);
    r.chkDSApply->setObjectName(QStringLiteral("chkDSApply"));
    r.lblDSNum = new QLabel(QString::number(index + 1) + QLatin1Char('.'), fraDSItems_);
    r.lblDSNum->setObjectName(QStringLiteral("lblDSNum"));
    r.lblDSLabel1 = new QLabel(tr("Change land cover classes within"), fraDSItems_);
    r.lblDSLabel1->setObjectName(QStringLiteral("lblDSLabel1"));
    r.cboDSTheme = new QComboBox(fraDSItems_);
    r.cboDSTheme->setObjectName(QStringLiteral("cboDSTheme"));
    r.lblDSLabel2 = new QLabel(tr("layer to"), fraDSItems_);
    r.lblDSLabel2->setObjectName(QStringLiteral("lblDSLabel2"));
    r.cboDSToClass = new QComboBox(fraDSItems_);
    r.cboDSToClass->setObjectName(QStringLiteral("cboDSToClass"));
    for (QWidget* w : {static_cast<QWidget*>(r.chkDSApply), static_cast<QWidget*>(r.lblDSNum),
                       static_cast<QWidget*>(r.lblDSLabel1), static_cast<QWidget*>(r.cboDSTheme),
                       static_cast<QWidget*>(r.lblDSLabel2), static_cast<QWidget*>(r.cboDSToClass)})
        w->setProperty("index", index);
    // Row 0 is placed with the frame, which measures it.
    if (!rows_.empty())
        placeRow(r, index);
    return r;
}

void frmISParams::placeRow(const DSRow& r, int index)
{
    const RowGeometry g = rowGeometry();
    const int top = pixels(kRow0LabelTop) / 2 + index * g.pitch;
    auto put = [&](QWidget* w, int x, int width, int height) {
        w->setGeometry(x, top + (g.line - height) / 2, width, height);
    };
    const int text = QFontMetrics(fraDSItems_->font()).height() + 2;
    put(r.chkDSApply, g.chkX, r.chkDSApply->sizeHint().width(), r.chkDSApply->sizeHint().height());
    put(r.lblDSNum, g.numX, g.label1X - g.numX, text);
    put(r.lblDSLabel1, g.label1X, g.themeX - g.label1X, text);
    put(r.cboDSTheme, g.themeX, g.themeW, g.line);
    put(r.lblDSLabel2, g.label2X, g.classX - g.label2X, text);
    put(r.cboDSToClass, g.classX, g.classW, g.line);
}

bool frmISParams::Form_Load()
{
    try {
        if (!map_)
            support::raise(91, "Object variable or With block variable not set");
        connect(map_, &MapSource::itemAdded, this, &frmISParams::ItemAdded, Qt::UniqueConnection);
        connect(map_, &MapSource::itemDeleted, this, &frmISParams::ItemDeleted, Qt::UniqueConnection);
        connect(map_, &MapSource::itemReordered, this, &frmISParams::ItemReordered, Qt::UniqueConnection);
        connect(map_, &MapSource::openDocument, this, &frmISParams::OpenDocument, Qt::UniqueConnection);

        lastDS_ = -1;
        cmdDSDelete_->setEnabled(false);

        if (!coefficients::GetISModelProperties(store_, support::StorePath(ext_))) {
            support::MsgBox("Failed To Load XML - verify the file 'isprops.xml' is located in the " + ext_.string() +
                                "/etc folder.",
                            support::Buttons::OKCancel, support::Icon::Critical);
            return false;
        }

        CheckLayers(*cboLCTheme_, kRasterLayer, *map_, 0, cmdISRun_);
        CheckLayers(*cboAnalysisTheme_, kFeatureLayer, *map_, 2, cmdISRun_);
        lastAnalysisPos_ = 0;
        LoadFldsCombobox(*cboAnalysisUnit_, SelectedText(*cboAnalysisTheme_), *map_, 2);
        cboAnalysisUnit_->setCurrentIndex(-1);

        LoadLCTypeCombobox(*cboLCType_, store_);
        if (cboLCType_->count() == 0) {
            support::MsgBox("The coefficient store " + support::StorePath(ext_).string() +
                                " holds no coefficient set. Make one in Change Coefficients (New or Import) first.",
                            support::Buttons::OK, support::Icon::Exclamation);
            return false;
        }
        cboLCType_->setCurrentIndex(0);

        cboLCUnits_->clear();
        cboLCUnits_->addItem(QStringLiteral("Meters"));
        cboLCUnits_->addItem(QStringLiteral("Feet"));
        cboLCUnits_->setCurrentIndex(-1);
        SetDefaultLCUnits(*cboLCUnits_, map_->focusMap());
        cboLCTheme_Click();
        watchStore();
        return true;
    } catch (...) {
        // An unexpected failure while loading closes the dialog without a word.
        return false;
    }
}

void frmISParams::cboLCTheme_Click()
{
    // The raster's own unit is the default; the run warns when the choice differs.
    if (!map_ || cboLCTheme_->currentIndex() < 0)
        return;
    const host::LayerPtr layer = host::FindLayer(SelectedText(*cboLCTheme_), map_->focusMap());
    if (!layer || layer->source.empty())
        return;
    std::string unit;
    try {
        unit = host::DescribeRaster(layer->source).linearUnit;
    } catch (...) {
        return;  // an unreadable raster is refused by the run, with its cause
    }
    const int i = cboLCUnits_->findText(Qs(unit));
    if (!unit.empty() && i >= 0)
        cboLCUnits_->setCurrentIndex(i);
}

void frmISParams::watchStore()
{
    const QString path = Qs(support::StorePath(ext_).string());
    if (!storeWatcher_) {
        storeWatcher_ = new QFileSystemWatcher(this);
        connect(storeWatcher_, &QFileSystemWatcher::fileChanged, this, &frmISParams::reloadStore);
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

void frmISParams::reloadStore()
{
    watchStore();
    coefficients::clsISModelProperties fresh;
    {
        // A store caught half-written or faulty keeps the sets already loaded.
        FeedbackSilencer quiet;
        if (!coefficients::GetISModelProperties(fresh, support::StorePath(ext_)) || fresh.ISLCDefs.Count() == 0)
            return;
    }
    const QString chosen = cboLCType_->currentText();
    std::vector<QString> classes;
    for (const DSRow& r : rows_)
        classes.push_back(r.cboDSToClass->currentText());
    store_ = std::move(fresh);
    LoadLCTypeCombobox(*cboLCType_, store_);
    const int at = cboLCType_->findText(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive);
    cboLCType_->setCurrentIndex(at >= 0 ? at : 0);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        LoadDSToClassCombo(*rows_[i].cboDSToClass);
        rows_[i].cboDSToClass->setCurrentIndex(
            rows_[i].cboDSToClass->findText(classes[i], Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
}

void frmISParams::cboAnalysisTheme_Click()
{
    support::GuardedVoid("cboAnalysisTheme_Click", kForm, true, [&] {
        const int pos = cboAnalysisTheme_->currentIndex();
        if (pos == lastAnalysisPos_ || !map_)
            return;
        LoadFldsCombobox(*cboAnalysisUnit_, SelectedText(*cboAnalysisTheme_), *map_, 2);
        cboAnalysisUnit_->setCurrentIndex(-1);
        lastAnalysisPos_ = pos;
    });
}

void frmISParams::refillAfterMapChange(bool added)
{
    if (!map_)
        return;
    CheckLayers(*cboLCTheme_, kRasterLayer, *map_, 0, cmdISRun_);
    CheckLayers(*cboAnalysisTheme_, kFeatureLayer, *map_, 2, cmdISRun_);
    if (added)
        cboAnalysisTheme_Click();
    LoadFldsCombobox(*cboAnalysisUnit_, SelectedText(*cboAnalysisTheme_), *map_, 2);
    cboAnalysisUnit_->setCurrentIndex(-1);
    lastAnalysisPos_ = cboAnalysisTheme_->currentIndex();
}

// Nothing above these handlers could take an error, so they show it themselves.
void frmISParams::ItemAdded()
{
    support::GuardedVoid("m_pActiveViewEvents_ItemAdded", kForm, true, [&] { refillAfterMapChange(true); });
}

void frmISParams::ItemDeleted()
{
    support::GuardedVoid("m_pActiveViewEvents_ItemDeleted", kForm, true, [&] { refillAfterMapChange(false); });
}

void frmISParams::ItemReordered()
{
    support::GuardedVoid("m_pActiveViewEvents_ItemReordered", kForm, true, [&] { refillAfterMapChange(false); });
}

void frmISParams::OpenDocument()
{
    support::GuardedVoid("DocumentEvents_OpenDocument", kForm, true, [&] {
        if (!map_)
            return;
        CheckLayers(*cboLCTheme_, kRasterLayer, *map_, 0, cmdISRun_);
        CheckLayers(*cboAnalysisTheme_, kFeatureLayer, *map_, 2, cmdISRun_);
    });
}

void frmISParams::cmdOutputBrowse_Click()
{
    support::GuardedVoid("cmdOutputBrowse_Click", kForm, true, [&] {
        const QString chosen = saveFileDialog ? saveFileDialog() : QString();
        txtOutputTheme_->setText(chosen.isEmpty() ? QStringLiteral("halvo") : chosen.trimmed());
        txtOutputTheme_->setFocus();
        // "Browse..." has lost the focus: the layer name follows the box.
        SetThemeName(txtOutputTheme_->text(), *txtThemeName_);
    });
}

void frmISParams::txtOutputTheme_Validate()
{
    support::GuardedVoid("txtOutputTheme_Validate", kForm, true, [&] {
        QString text = txtOutputTheme_->text().trimmed();
        txtOutputTheme_->setText(text);
        if (text.isEmpty())
            return;
        text = WithShpExtension(text);
        txtOutputTheme_->setText(text);
        SetThemeName(text, *txtThemeName_);

        savedAnalysisPos_ = cboAnalysisTheme_->currentIndex();
        savedLCPos_ = cboLCTheme_->currentIndex();
        savedUnitPos_ = cboAnalysisUnit_->currentIndex();
        savedLayerCount_ = map_ ? static_cast<long>(map_->focusMap().layers.size()) : 0;

        const std::string temp = TempFolderFromEnvironment();
        const std::string s = Ss(text);
        const auto slash = s.rfind('/');
        shpName_ = slash == std::string::npos ? s : s.substr(slash + 1);
        outFolder_ = slash == std::string::npos ? std::string() : s.substr(0, slash + 1);

        std::error_code ec;
        if (outFolder_.empty() || !fs::is_directory(outFolder_, ec)) {
            outFolder_ = !temp.empty() && fs::is_directory(temp, ec) ? temp : (ext_ / "output").string();
            support::MsgBox("Either no path was specified or the path does not exist. \rThe output layer will be "
                            "created in " +
                                outFolder_ + ".",
                            support::Buttons::OK, support::Icon::Information, "Output Location");
            txtOutputTheme_->setText(Qs(outFolder_ + "/" + shpName_));
        }
        layerName_ = Ss(txtThemeName_->text());
    });
}

void frmISParams::txtThemeName_LostFocus() { layerName_ = Ss(txtThemeName_->text()); }

bool frmISParams::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == txtOutputTheme_)
            txtOutputTheme_Validate();
        else if (watched == txtThemeName_)
            txtThemeName_LostFocus();
    } else if (watched == opt_[3] && event->type() == QEvent::MouseButtonRelease) {
        // Only a mouse release on "Calculate" opens the density dialog, after
        // the button has taken the click.
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && opt_[3]->rect().contains(me->pos()))
            QTimer::singleShot(0, this, [this] { optPopDensity_MouseUp(3); });
    }
    return QDialog::eventFilter(watched, event);
}

frmISPDensity& frmISParams::density()
{
    if (!density_) {
        density_ = new frmISPDensity(this, map_, cmdISRun_);
        density_->setModal(true);
        support::InstallHelpKey(density_,
                                [this] { support::ShowHelpBrowser(ext_, density_, QStringLiteral("density.html")); });
        density_->Form_Load();
    }
    return *density_;
}

void frmISParams::unloadDensity() { delete density_.data(); }

void frmISParams::optPopDensity_MouseUp(int index)
{
    support::GuardedVoid("optPopDensity_MouseUp", kForm, true, [&] {
        if (index != 3)
            return;
        frmISPDensity& d = density();
        if (showModal(d) == QDialog::Rejected)
            unloadDensity();
    });
}

bool frmISParams::ValidateForm(int lastDS)
{
    return support::Guarded("ValidateForm", "basISModelUtil", true, false, [&] {
        std::string message;
        QWidget* focus = nullptr;
        auto fail = [&](QWidget* w, const char* text) {
            focus = w;
            message = text;
        };
        if (cboAnalysisTheme_->currentIndex() < 0)
            fail(cboAnalysisTheme_, "No Analysis theme selected, please select from dropdown list.");
        else if (cboLCTheme_->currentIndex() < 0)
            fail(cboLCTheme_, "No Land Cover theme selected, please select from dropdown list.");
        else if (cboLCUnits_->currentIndex() < 0)
            fail(cboLCUnits_, "Land Cover units not defined, please select from dropdown list.");
        else if (cboLCType_->currentIndex() < 0)
            fail(cboLCType_, "Land Cover Type not defined, please select from dropdown list.");
        else if (cboAnalysisUnit_->currentIndex() < 0)
            fail(cboAnalysisUnit_, "Analysis unit not defined, please select from dropdown list.");
        const coefficients::clsISLCDef* set = coefficients::FindSet(store_, SelectedText(*cboLCType_));
        const std::string setFault =
            message.empty() && set ? ClassesFault(set->LCType, ClassLinesOf(*set)) : std::string();
        if (!setFault.empty())
            fail(cboLCType_, setFault.c_str());
        if (message.empty()) {
            int first = -1;
            for (int i = 0; i < 4 && first < 0; ++i)
                if (opt_[i]->isChecked())
                    first = i;
            if (first < 0) {
                fail(opt_[0], "Population Density option not defined, please select option.");
            } else if (first == 3) {
                frmISPDensity& d = density();
                if (!d.ValidatePDenForm()) {
                    if (showModal(d) == QDialog::Rejected)
                        unloadDensity();
                    return false;
                }
            }
        }
        if (message.empty() && txtOutputTheme_->text().isEmpty())
            fail(txtOutputTheme_, "Output Theme not defined, please enter a name.");
        for (int i = 0; message.empty() && i <= lastDS && i < static_cast<int>(rows_.size()); ++i) {
            const DSRow& r = rows_[static_cast<std::size_t>(i)];
            if (!r.chkDSApply->isChecked())
                continue;
            if (r.cboDSTheme->currentIndex() < 0)
                fail(r.cboDSTheme, "No theme selected, please select from dropdown list.");
            else if (r.cboDSToClass->currentIndex() < 0)
                fail(r.cboDSToClass, "No class selected, please select from dropdown list.");
        }
        if (message.empty())
            return true;
        focus->setFocus();
        support::MsgBox(message, support::Buttons::OK, support::Icon::Exclamation);
        return false;
    });
}

void frmISParams::RefreshForm()
{
    try {
        const long count = map_ ? static_cast<long>(map_->focusMap().layers.size()) : 0;
        const int analysis = count > savedLayerCount_ ? savedAnalysisPos_ + 1 : savedAnalysisPos_;
        if (analysis < cboAnalysisTheme_->count())
            cboAnalysisTheme_->setCurrentIndex(analysis);
        if (savedLCPos_ < cboLCTheme_->count())
            cboLCTheme_->setCurrentIndex(savedLCPos_);
        if (savedUnitPos_ < cboAnalysisUnit_->count())
            cboAnalysisUnit_->setCurrentIndex(savedUnitPos_);
        txtOutputTheme_->clear();
        txtThemeName_->clear();
        savedAnalysisPos_ = savedLCPos_ = savedUnitPos_ = 0;
    } catch (...) {
        support::ReportCurrent(false, "RefreshForm", kForm);
    }
}

void frmISParams::cmdISRun_Click()
{
    support::GuardedVoid("cmdISRun_Click", kForm, true, [&] {
        if (txtOutputTheme_->text().isEmpty()) {
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
        if (!ValidateForm(lastDS_))
            return;
        emit runRequested();
        RefreshForm();
    });
}

void frmISParams::cmdSaveParams_Click()
{
    support::GuardedVoid("cmdSaveParams_Click", kForm, true, [&] {
        if (!ValidateForm(lastDS_))
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

void frmISParams::cmdISQuit_Click()
{
    unloadDensity();
    close();
}

void frmISParams::cmdISHelp_Click()
{
    support::GuardedVoid("cmdISHelp_Click", kForm, true, [&] {
        if (helpHandler)
            helpHandler();
        else
            support::ShowHelpBrowser(ext_, this, QStringLiteral("params_dialog.html"));
    });
}

// --- Scenario rows ---------------------------------------------------------

int frmISParams::GetDSItemsFrameHeight(int lastIndex) { return (lastIndex + 1) * kRowPitch + kRow0LabelTop; }

void frmISParams::SetDSVScroll(int innerHeight)
{
    const int d = innerHeight - 2100 - 100;
    if (d <= 0) {
        // Rows scrolled away come back once everything fits again.
        VScroll1_->setValue(0);
        VScroll1_->hide();
        return;
    }
    VScroll1_->show();
    VScroll1_->setMaximum(innerHeight - 2200);
    VScroll1_->setPageStep(700);
    VScroll1_->setSingleStep(350);
}

void frmISParams::VScroll1_Change(int value) { fraDSItems_->move(0, -pixels(value)); }

void frmISParams::LoadDSToClassCombo(QComboBox& list)
{
    list.clear();
    const coefficients::clsISLCDef* set = coefficients::FindSet(store_, SelectedText(*cboLCType_));
    if (!set)
        return;
    for (const coefficients::clsLCClass& c : set->LCClasses)
        list.addItem(Qs(c.LCName), static_cast<int>(c.ID));
    list.setCurrentIndex(-1);
}

void frmISParams::AddDS(int index)
{
    support::GuardedVoid("AddDS", "basISModelUtil", true, [&] {
        if (index == 0) {
            const DSRow& r = rows_.front();
            lblDSApply_->show();
            for (QWidget* w : {static_cast<QWidget*>(r.chkDSApply), static_cast<QWidget*>(r.lblDSNum),
                               static_cast<QWidget*>(r.lblDSLabel1), static_cast<QWidget*>(r.cboDSTheme),
                               static_cast<QWidget*>(r.lblDSLabel2), static_cast<QWidget*>(r.cboDSToClass)})
                w->show();
            r.chkDSApply->setChecked(true);
            if (map_)
                CheckLayers(*r.cboDSTheme, kFeatureLayer, *map_, 0, cmdISRun_);
            LoadDSToClassCombo(*r.cboDSToClass);
            return;
        }
        while (static_cast<int>(rows_.size()) > index) {
            // A stale row at this index (never expected) is replaced whole.
            const DSRow& old = rows_.back();
            delete old.chkDSApply, delete old.lblDSNum, delete old.lblDSLabel1;
            delete old.cboDSTheme, delete old.lblDSLabel2, delete old.cboDSToClass;
            rows_.pop_back();
        }
        DSRow r = makeRow(index);
        const DSRow& first = rows_.front();
        r.chkDSApply->setChecked(true);
        for (int i = 0; i < first.cboDSTheme->count(); ++i)
            r.cboDSTheme->addItem(first.cboDSTheme->itemText(i), first.cboDSTheme->itemData(i));
        r.cboDSTheme->setCurrentIndex(r.cboDSTheme->count() > 0 ? 0 : -1);
        for (int i = 0; i < first.cboDSToClass->count(); ++i)
            r.cboDSToClass->addItem(first.cboDSToClass->itemText(i), first.cboDSToClass->itemData(i));
        r.cboDSToClass->setCurrentIndex(-1);
        for (QWidget* w : {static_cast<QWidget*>(r.chkDSApply), static_cast<QWidget*>(r.lblDSNum),
                           static_cast<QWidget*>(r.lblDSLabel1), static_cast<QWidget*>(r.cboDSTheme),
                           static_cast<QWidget*>(r.lblDSLabel2), static_cast<QWidget*>(r.cboDSToClass)})
            w->show();
        rows_.push_back(r);
    });
}

void frmISParams::RemoveDS(int index, int lastIndex)
{
    support::GuardedVoid("RemoveDS", "basISModelUtil", true, [&] {
        if (lastIndex == 0) {
            const DSRow& r = rows_.front();
            lblDSApply_->hide();
            for (QWidget* w : {static_cast<QWidget*>(r.chkDSApply), static_cast<QWidget*>(r.lblDSNum),
                               static_cast<QWidget*>(r.lblDSLabel1), static_cast<QWidget*>(r.cboDSTheme),
                               static_cast<QWidget*>(r.lblDSLabel2), static_cast<QWidget*>(r.cboDSToClass)})
                w->hide();
            return;
        }
        for (int i = index; i < lastIndex; ++i) {
            const DSRow& to = rows_.at(static_cast<std::size_t>(i));
            const DSRow& from = rows_.at(static_cast<std::size_t>(i + 1));
            to.chkDSApply->setChecked(from.chkDSApply->isChecked());
            to.cboDSTheme->setCurrentIndex(from.cboDSTheme->currentIndex());
            to.cboDSToClass->setCurrentIndex(from.cboDSToClass->currentIndex());
        }
        const DSRow last = rows_.at(static_cast<std::size_t>(lastIndex));
        rows_.erase(rows_.begin() + lastIndex);
        delete last.chkDSApply, delete last.lblDSNum, delete last.lblDSLabel1;
        delete last.cboDSTheme, delete last.lblDSLabel2, delete last.cboDSToClass;
    });
}

void frmISParams::cmdDSAdd_Click()
{
    support::GuardedVoid("cmdDSAdd_Click", kForm, true, [&] {
        if (cboLCType_->currentIndex() < 0) {
            support::MsgBox(
                "No Land Cover Type defined, please select from the dropdown list before adding Development "
                "Scenarios",
                support::Buttons::OK, support::Icon::Exclamation);
            cboLCType_->setFocus();
            return;
        }
        ++lastDS_;
        AddDS(lastDS_);
        innerHeight_ = GetDSItemsFrameHeight(lastDS_);
        fraDSItems_->resize(fraDSItems_->width(), pixels(innerHeight_));
        SetDSVScroll(innerHeight_);
        cmdDSDelete_->setEnabled(true);
    });
}

void frmISParams::cmdDSDelete_Click()
{
    support::GuardedVoid("cmdDSDelete_Click", kForm, true, [&] {
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
        RemoveDS(k - 1, lastDS_);
        --lastDS_;
        innerHeight_ = GetDSItemsFrameHeight(lastDS_);
        fraDSItems_->resize(fraDSItems_->width(), pixels(innerHeight_));
        SetDSVScroll(innerHeight_);
        cmdDSDelete_->setEnabled(lastDS_ >= 0);
    });
}

// --- Remembered choices -------------------------------------------------------

QVariantMap frmISParams::choices()
{
    QVariantMap c;
    c.insert(QStringLiteral("landCover"), cboLCTheme_->currentText());
    c.insert(QStringLiteral("units"), cboLCUnits_->currentText());
    c.insert(QStringLiteral("analysis"), cboAnalysisTheme_->currentText());
    c.insert(QStringLiteral("field"), cboAnalysisUnit_->currentText());
    c.insert(QStringLiteral("set"), cboLCType_->currentText());
    int option = -1;
    for (int i = 0; i < 4; ++i)
        if (opt_[i]->isChecked())
            option = i;
    c.insert(QStringLiteral("density"), option);
    if (option == 3 && density_) {
        c.insert(QStringLiteral("densityLayer"), density_->cboPDenTheme()->currentText());
        c.insert(QStringLiteral("densityField"), density_->cboPDenFld()->currentText());
        c.insert(QStringLiteral("high"), density_->txtHigh()->text());
        c.insert(QStringLiteral("low"), density_->txtLow()->text());
    }
    const QString folder = outFolder_.empty() ? lastFolder_ : Qs(outFolder_);
    c.insert(QStringLiteral("outputFolder"), folder);
    return c;
}

void frmISParams::restoreChoices(const QVariantMap& c)
{
    auto pick = [&](QComboBox* list, const char* key) {
        const int i = list->findText(c.value(QLatin1String(key)).toString(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (i >= 0)
            list->setCurrentIndex(i);
    };
    pick(cboLCTheme_, "landCover");
    pick(cboLCUnits_, "units");
    pick(cboAnalysisTheme_, "analysis");  // refills the field list
    pick(cboAnalysisUnit_, "field");
    pick(cboLCType_, "set");
    bool ok = false;
    const int option = c.value(QStringLiteral("density")).toInt(&ok);
    if (ok && option >= 0 && option < 4) {
        opt_[option]->setChecked(true);
        if (option == 3) {
            frmISPDensity& d = density();
            pick(d.cboPDenTheme(), "densityLayer");
            d.cboPDenTheme_Click();
            pick(d.cboPDenFld(), "densityField");
            d.txtHigh()->setText(c.value(QStringLiteral("high")).toString());
            d.txtLow()->setText(c.value(QStringLiteral("low")).toString());
        }
    }
    lastFolder_ = c.value(QStringLiteral("outputFolder")).toString();
}

// --- Controls <-> parameters -----------------------------------------------

RunParameters frmISParams::toParameters()
{
    RunParameters p;
    p.landCoverLayer = SelectedText(*cboLCTheme_);
    p.landCoverUnits = SelectedText(*cboLCUnits_);
    p.analysisLayer = SelectedText(*cboAnalysisTheme_);
    p.analysisField = SelectedText(*cboAnalysisUnit_);
    p.populationDensity = 4;
    for (int i = 3; i >= 0; --i)
        if (opt_[i]->isChecked())
            p.populationDensity = i;
    if (p.populationDensity == 3) {
        frmISPDensity& d = density();
        p.densityLayer = d.densityLayer();
        p.densityField = d.densityField();
        p.densityHigh = d.high();
        p.densityLow = d.low();
    }
    p.outputTheme = Ss(txtOutputTheme_->text());
    p.outputThemeName = Ss(txtThemeName_->text());
    for (int i = 0; i <= lastDS_ && i < static_cast<int>(rows_.size()); ++i) {
        const DSRow& r = rows_[static_cast<std::size_t>(i)];
        ScenarioRow s;
        s.row = i + 1;
        s.apply = r.chkDSApply->isChecked();
        s.layer = SelectedText(*r.cboDSTheme);
        s.className = SelectedText(*r.cboDSToClass);
        if (r.cboDSToClass->currentIndex() >= 0)
            s.classId = std::to_string(r.cboDSToClass->currentData().toInt());
        p.scenarios.push_back(s);
    }
    p.setName = SelectedText(*cboLCType_);
    if (const auto* set = coefficients::FindSet(store_, p.setName))
        p.classes = ClassLinesOf(*set);
    return p;
}

void frmISParams::fromParameters(const RunParameters& p)
{
    SelectText(*cboLCTheme_, p.landCoverLayer);
    SelectText(*cboLCUnits_, p.landCoverUnits);
    SelectText(*cboAnalysisTheme_, p.analysisLayer);
    SelectText(*cboAnalysisUnit_, p.analysisField);
    for (int i = 0; i < 4; ++i) {
        opt_[i]->setAutoExclusive(false);
        opt_[i]->setChecked(i == p.populationDensity);
        opt_[i]->setAutoExclusive(true);
    }
    if (p.populationDensity == 3) {
        frmISPDensity& d = density();
        SelectText(*d.cboPDenTheme(), p.densityLayer);
        SelectText(*d.cboPDenFld(), p.densityField);
        d.txtHigh()->setText(Qs(p.densityHigh));
        d.txtLow()->setText(Qs(p.densityLow));
    }
    txtOutputTheme_->setText(Qs(p.outputTheme));
    txtThemeName_->setText(Qs(p.outputThemeName));

    int rows = 0;
    for (const ScenarioRow& s : p.scenarios)
        rows = std::max(rows, s.row);
    while (lastDS_ + 1 < rows && cboLCType_->currentIndex() >= 0)
        cmdDSAdd_Click();
    for (int i = 0; i <= lastDS_; ++i) {
        const DSRow& r = rows_[static_cast<std::size_t>(i)];
        r.chkDSApply->setChecked(false);
        for (const ScenarioRow& s : p.scenarios)
            if (s.row == i + 1) {
                r.chkDSApply->setChecked(s.apply);
                SelectText(*r.cboDSTheme, s.layer);
                SelectText(*r.cboDSToClass, s.className);
            }
    }
}

}  // namespace halvo::params
