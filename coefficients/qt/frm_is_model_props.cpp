#include "coefficients/qt/frm_is_model_props.h"

#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "coefficients/number_text.h"
#include "coefficients/qt/frm_add_lc_type.h"
#include "coefficients/qt/lc_grid.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/ui.h"

#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace halvo::coefficients {

namespace fs = std::filesystem;

namespace {

constexpr const char* kForm = "frmISModelProps";
const QString kTextFilter = QStringLiteral("Coefficient Text File(*.txt;*.csv) (*.txt *.csv)");
const QString kStoreFilter = QStringLiteral("Halvo Coefficient File (*.xml)");

QPushButton* Button(const char* name, const char* caption, QWidget* parent)
{
    auto* b = new QPushButton(QCoreApplication::translate("halvo::coefficients::CoefficientEditor", caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    // Enter belongs to the grid and its editor, never to a default button.
    b->setAutoDefault(false);
    return b;
}

// A typed character, not a control key or a shortcut.
bool IsCharacter(const QKeyEvent* e)
{
    if (e->text().isEmpty() || (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    for (const QChar ch : e->text())
        if (!ch.isPrint())
            return false;
    return true;
}

// The box's text with `typed` put in at the caret, over any selection.
QString TypedInto(const QLineEdit& box, const QString& typed)
{
    QString text = box.text();
    if (box.hasSelectedText())
        return text.replace(box.selectionStart(), box.selectedText().size(), typed);
    return text.insert(box.cursorPosition(), typed);
}

}  // namespace

template <class F>
void CoefficientEditor::guarded(const char* procedure, F&& body)
{
    support::GuardedVoid(procedure, kForm, true, std::forward<F>(body));
}

CoefficientEditor::CoefficientEditor(QWidget* parent, std::filesystem::path extensionFolder)
    : QDialog(parent), m_ext(std::move(extensionFolder))
{
    setObjectName(kForm);
    setWindowTitle(tr("Change Coefficients"));
    setModal(false);

    auto* lblLCType = new QLabel(tr("Coefficient Set"), this);
    lblLCType->setObjectName(QStringLiteral("lblLCType"));
    cboLCType = new QComboBox(this);
    cboLCType->setObjectName(QStringLiteral("cboLCType"));
    lblLCType->setBuddy(cboLCType);

    grdLCDef = new QTableWidget(this);
    grdLCDef->setObjectName(QStringLiteral("grdLCDef"));
    grdLCDef->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdLCDef->setSelectionMode(QAbstractItemView::NoSelection);
    grdLCDef->horizontalHeader()->setSectionsClickable(false);
    grdLCDef->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdLCDef->verticalHeader()->setSectionsClickable(false);
    grdLCDef->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdLCDef->setContextMenuPolicy(Qt::NoContextMenu);
    SetLCGridHeaders(*grdLCDef);
    int gridWidth = 2 * grdLCDef->frameWidth() + grdLCDef->verticalScrollBar()->sizeHint().width();
    for (int w : kLCGridWidths)
        gridWidth += w;
    grdLCDef->setMinimumSize(gridWidth, 240);

    auto* lblClass = new QLabel(tr("Class"), this);
    lblClass->setObjectName(QStringLiteral("lblClass"));
    lblClass->setAlignment(Qt::AlignCenter);
    lblClass->setFixedWidth(kLCGridWidths[0] + kLCGridWidths[1] + kLCGridWidths[2]);
    auto* lblCoefficients = new QLabel(tr("Coefficients"), this);
    lblCoefficients->setObjectName(QStringLiteral("lblCoefficients"));
    lblCoefficients->setAlignment(Qt::AlignCenter);
    lblCoefficients->setFixedWidth(kLCGridWidths[3] + kLCGridWidths[4] + kLCGridWidths[5]);

    txtActiveCell = new QLineEdit(grdLCDef->viewport());
    txtActiveCell->setObjectName(QStringLiteral("txtActiveCell"));
    txtActiveCell->setFrame(false);
    txtActiveCell->setContextMenuPolicy(Qt::NoContextMenu);
    txtActiveCell->hide();

    cmdNew = Button("cmdNew", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "New..."), this);
    cmdApply = Button("cmdApply", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Apply"), this);
    cmdQuit = Button("cmdQuit", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Quit"), this);
    cmdHelp = Button("cmdHelp", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Help"), this);
    auto* fraTransfer = new QGroupBox(tr("Transfer"), this);
    fraTransfer->setObjectName(QStringLiteral("fraTransfer"));
    CmdImport =
        Button("CmdImport", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Import..."), fraTransfer);
    CmdExport =
        Button("CmdExport", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Export..."), fraTransfer);
    CmdMerge = Button("CmdMerge", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Merge..."), fraTransfer);

    MnuFGridRows = new QMenu(tr("Row Popup"), this);
    MnuFGridRows->setObjectName(QStringLiteral("MnuFGridRows"));
    QAction* MnuFGridAddRow = MnuFGridRows->addAction(tr("Add a Row"));
    MnuFGridAddRow->setObjectName(QStringLiteral("MnuFGridAddRow"));
    QAction* MnuFGridInsRow = MnuFGridRows->addAction(tr("Insert a Row"));
    MnuFGridInsRow->setObjectName(QStringLiteral("MnuFGridInsRow"));
    QAction* MnuFGridDelRow = MnuFGridRows->addAction(tr("Delete a Row"));
    MnuFGridDelRow->setObjectName(QStringLiteral("MnuFGridDelRow"));

    auto* top = new QHBoxLayout;
    top->addWidget(lblLCType);
    top->addWidget(cboLCType, 1);
    auto* labels = new QHBoxLayout;
    labels->setSpacing(0);
    labels->addWidget(lblClass);
    labels->addWidget(lblCoefficients);
    labels->addStretch();
    auto* transfer = new QHBoxLayout(fraTransfer);
    transfer->addWidget(CmdImport);
    transfer->addWidget(CmdExport);
    transfer->addWidget(CmdMerge);
    auto* commands = new QGridLayout;
    commands->addWidget(cmdNew, 0, 0);
    commands->addWidget(cmdApply, 0, 1);
    commands->addWidget(cmdQuit, 1, 0);
    commands->addWidget(cmdHelp, 1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(commands);
    bottom->addStretch();
    bottom->addWidget(fraTransfer);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(labels);
    main->addWidget(grdLCDef, 1);
    main->addLayout(bottom);

    grdLCDef->installEventFilter(this);
    grdLCDef->viewport()->installEventFilter(this);
    txtActiveCell->installEventFilter(this);

    connect(cboLCType, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { guarded("cboLCType_Click", [this] { setChosen(); }); });
    connect(grdLCDef, &QTableWidget::currentCellChanged, this, [this](int row, int col, int prevRow, int prevCol) {
        guarded("grdLCDef_LeaveCell", [&] { grdLCDef_LeaveCell(prevRow + 1, prevCol + 1); });
        guarded("grdLCDef_EnterCell", [&] { grdLCDef_EnterCell(row + 1, col + 1); });
    });
    connect(grdLCDef, &QTableWidget::cellDoubleClicked, this,
            [this] { guarded("grdLCDef_DblClick", [this] { Set_TextBox(); }); });
    for (QScrollBar* bar : {grdLCDef->verticalScrollBar(), grdLCDef->horizontalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this,
                [this] { guarded("grdLCDef_Scroll", [this] { hideTextBox(); }); });
    // The cell follows the box while it is open.
    connect(txtActiveCell, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_editRow > 0)
            SetTextMatrix(*grdLCDef, m_editRow, m_editCol, text);
    });

    connect(cmdApply, &QPushButton::clicked, this, [this] { guarded("cmdApply_click", [this] { cmdApply_click(); }); });
    connect(cmdQuit, &QPushButton::clicked, this, [this] { guarded("cmdQuit_Click", [this] { quit(); }); });
    connect(cmdNew, &QPushButton::clicked, this, [this] { guarded("cmdNew_Click", [this] { newSet(); }); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { guarded("cmdHelp_Click", [this] { showHelp(); }); });
    connect(CmdImport, &QPushButton::clicked, this, [this] { guarded("cmdImport_Click", [this] { importSet(); }); });
    connect(CmdExport, &QPushButton::clicked, this, [this] { guarded("cmdExport_Click", [this] { exportSet(); }); });
    connect(CmdMerge, &QPushButton::clicked, this, [this] { guarded("cmdMerge_Click", [this] { mergeStore(); }); });
    connect(MnuFGridAddRow, &QAction::triggered, this,
            [this] { guarded("MnuFGridAddRow_Click", [this] { addRow(); }); });
    connect(MnuFGridInsRow, &QAction::triggered, this,
            [this] { guarded("MnuFGridInsRow_Click", [this] { insertRow(); }); });
    connect(MnuFGridDelRow, &QAction::triggered, this,
            [this] { guarded("MnuFGridDelRow_Click", [this] { deleteRow(); }); });

    setUnsaved(false);
}

// ---- opening and closing ----

void CoefficientEditor::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_loaded) {
        m_loaded = true;
        guarded("Form_Load", [this] { load(); });
    }
}

void CoefficientEditor::done(int result)
{
    // Closing drops the copy of the store; the next opening reads the file again.
    hideTextBox();
    m_loaded = false;
    m_model = CoeffStore{};
    setUnsaved(false);
    QDialog::done(result);
}

void CoefficientEditor::load()
{
    m_shown = -99;
    setUnsaved(false);
    m_model = CoeffStore{};
    {
        const QSignalBlocker quiet(cboLCType);
        cboLCType->clear();
    }
    SetGridRows(*grdLCDef, 1);
    SetLCGridHeaders(*grdLCDef);

    std::error_code ec;
    if (!fs::exists(support::StorePath(m_ext), ec)) {
        // Nothing to lose: the first save makes the store.
        m_storeLoaded = true;
        refreshCommands();
        support::MsgBox("There is no coefficient store '" + support::StorePath(m_ext).string() +
                            "' yet: New, Import and Merge make it.",
                        support::Buttons::OK, support::Icon::Information, "Halvo");
        return;
    }
    const bool loaded = GetISModelProperties(m_model, support::StorePath(m_ext));
    m_storeLoaded = loaded;
    if (!loaded) {
        // The store on disk may still hold the user's sets: nothing here may overwrite it.
        m_model = CoeffStore{};
        refreshCommands();
        support::MsgBox(StoreLoadFailedText(m_ext), support::Buttons::OK, support::Icon::None, "Halvo");
        return;
    }
    LoadLCTypeCombobox(*cboLCType, m_model);
    if (cboLCType->count() > 0)
        cboLCType->setCurrentIndex(0);
    SetLCGridHeaders(*grdLCDef);
    refreshCommands();
    if (GridRows(*grdLCDef) > 1)
        moveTo(1, 1);
}

void CoefficientEditor::refreshCommands()
{
    const bool shown = m_storeLoaded && m_shown >= 0;
    grdLCDef->setEnabled(shown);
    cmdNew->setEnabled(m_storeLoaded);
    CmdImport->setEnabled(m_storeLoaded);
    CmdMerge->setEnabled(m_storeLoaded);
    CmdExport->setEnabled(shown);
}

// ---- sets ----

QString CoefficientEditor::shownName() const { return m_shown >= 0 ? cboLCType->itemText(m_shown) : QString(); }

void CoefficientEditor::setUnsaved(bool on)
{
    m_unsaved = on;
    cmdApply->setEnabled(on);
}

void CoefficientEditor::setChosen()
{
    int pos = cboLCType->currentIndex();
    if (pos == m_shown || pos < 0)
        return;
    if (m_unsaved) {
        const std::string question =
            "Changes to the current coefficient set must be saved before displaying another coefficient set. \r\n"
            " Click 'Yes' to save changes to " +
            StdStr(shownName()) + " and proceed, or 'No' to return.";
        if (support::MsgBox(question, support::Buttons::YesNo) != support::Answer::Yes || !save()) {
            // The grid still shows the old set, so the selection goes back to it.
            cboLCType->setCurrentIndex(m_shown);
            return;
        }
        setUnsaved(false);
        // The save lists the sets again; the chosen one keeps its name.
        pos = cboLCType->currentIndex();
    }
    hideTextBox();
    LoadLCGrid(*grdLCDef, StdStr(cboLCType->itemText(pos)), m_model);
    m_shown = pos;
    refreshCommands();
    moveTo(1, 1);
}

bool CoefficientEditor::save()
{
    if (!m_storeLoaded || m_shown < 0)
        return false;
    hideTextBox();
    // The grid is checked before the store is locked: its messages wait for the user.
    const auto rows = GridClasses(*grdLCDef);
    if (!rows)
        return false;
    const std::string name = StdStr(shownName());
    const StoreUpdate saved = UpdateStore(m_model, m_ext, [&](CoeffStore& store) {
        SetClasses(store, name, *rows);
        return true;
    });
    if (saved != StoreUpdate::Saved) {
        if (saved != StoreUpdate::Busy)
            support::MsgBox(saved == StoreUpdate::Unreadable ? StoreLoadFailedText(m_ext) : StoreSaveFailedText(m_ext),
                            support::Buttons::OKCancel, support::Icon::Critical);
        return false;
    }
    relistSets();
    return true;
}

void CoefficientEditor::relistSets()
{
    // The model is the store as saved, with what other writers added meanwhile.
    const QString shown = shownName();
    const QString current = cboLCType->currentText();
    const QSignalBlocker quiet(cboLCType);
    LoadLCTypeCombobox(*cboLCType, m_model);
    m_shown = cboLCType->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    cboLCType->setCurrentIndex(cboLCType->findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive));
    refreshCommands();
}

void CoefficientEditor::cmdApply_click()
{
    if (!save())
        return;
    cboLCType->setFocus();
    setUnsaved(false);
}

void CoefficientEditor::quit()
{
    if (m_unsaved) {
        const auto answer = support::MsgBox("Changes to the coefficient set have not been saved. \r\n"
                                            " Click 'Yes' to save changes, 'No' to quit, or 'Cancel' to return.",
                                            support::Buttons::YesNoCancel);
        if (answer == support::Answer::Cancel)
            return;
        if (answer == support::Answer::Yes && !save())
            return;
        setUnsaved(false);
    }
    close();
}

bool CoefficientEditor::saveFirst(const char* firstLine)
{
    if (!m_unsaved)
        return true;
    const std::string question =
        std::string(firstLine) + "\r\n Click 'Yes' to save changes and proceed, or 'No' to return.";
    if (support::MsgBox(question, support::Buttons::YesNo) != support::Answer::Yes || !save())
        return false;
    setUnsaved(false);
    return true;
}

void CoefficientEditor::newSet()
{
    if (!saveFirst("Changes to the current coefficient set must be saved before adding a new coefficient set. "))
        return;
    const int before = cboLCType->count();
    AddSetDialog add(*cboLCType, *grdLCDef, this);
    add.ISModelProperties(m_model);
    add.exec();
    if (cboLCType->count() > before) {
        m_shown = cboLCType->currentIndex();
        refreshCommands();
        cboLCType->setFocus();
        setUnsaved(true);
        moveTo(1, 1);
    }
}

QString CoefficientEditor::chooseFile(const FileRequest& request)
{
    if (m_chooseFile)
        return m_chooseFile(request).trimmed();
    QFileDialog dialog(this, request.title);
    dialog.setNameFilter(request.filter);
    if (request.kind == FileRequest::Kind::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultSuffix);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst().trimmed();
}

void CoefficientEditor::importSet()
{
    if (!saveFirst("Changes to the current coefficient set must be saved before importng a new coefficient set. "))
        return;
    const QString file =
        chooseFile({FileRequest::Kind::Open, tr("Impervious Surface Coefficient File to Import"), kTextFilter, {}});
    if (file.isEmpty())
        return;
    TextPrompt prompt = m_prompt;
    if (!prompt) {
        prompt = [this](std::string_view message, std::string_view title, std::string_view defaultText) {
            bool ok = false;
            const QString text =
                QInputDialog::getText(this, QStr(title), QStr(message), QLineEdit::Normal, QStr(defaultText), &ok);
            return ok ? StdStr(text) : std::string();
        };
    }
    if (!ImportCoeffsFromFile(m_model, StdStr(file), m_ext, prompt).empty())
        relistSets();
}

void CoefficientEditor::exportSet()
{
    if (!saveFirst("Changes to the current coefficient set must be saved before export a new coefficient set. "))
        return;
    const QString file =
        chooseFile({FileRequest::Kind::Save, tr("Export Impervious Surface Coefficients into Filename"), kTextFilter,
                    QStringLiteral("txt")});
    if (file.isEmpty())
        return;
    ExportCoeffsToFile(m_model, StdStr(file), StdStr(shownName()));
}

void CoefficientEditor::mergeStore()
{
    if (!saveFirst("Changes to the current coefficient set must be saved before adding new coefficient sets. "))
        return;
    const QString file = chooseFile({FileRequest::Kind::Open, tr("Halvo Coefficient File to Merge"), kStoreFilter, {}});
    if (file.isEmpty())
        return;
    if (!MergeCoeffsFromFile(m_model, StdStr(file), m_ext).empty())
        relistSets();
}

void CoefficientEditor::showHelp()
{
    if (m_help)
        m_help();
}

// ---- the grid ----

int CoefficientEditor::curRow() const { return grdLCDef->currentRow() + 1; }
int CoefficientEditor::curCol() const { return grdLCDef->currentColumn() + 1; }

void CoefficientEditor::moveTo(int row, int col)
{
    if (row < 1 || row >= GridRows(*grdLCDef) || col < 1 || col >= kLCGridCols)
        return;
    grdLCDef->setCurrentCell(row - 1, col - 1);
}

void CoefficientEditor::IsCellVisible()
{
    if (QTableWidgetItem* item = grdLCDef->currentItem())
        grdLCDef->scrollToItem(item);
}

void CoefficientEditor::INCR_CELL()
{
    const int row = curRow();
    const int col = curCol();
    if (col < kColLow)
        moveTo(row, col + 1);
    else if (row < GridRows(*grdLCDef) - 1)
        moveTo(row + 1, col);
    IsCellVisible();
}

void CoefficientEditor::hideTextBox()
{
    if (!txtActiveCell->isVisible())
        return;
    // Focus first: hiding a focused box would pass the focus on as a Tab,
    // which moves the grid's current cell.
    if (txtActiveCell->hasFocus())
        grdLCDef->setFocus();
    txtActiveCell->hide();
    m_editRow = m_editCol = -1;
}

void CoefficientEditor::Set_TextBox()
{
    QTableWidgetItem* item = grdLCDef->currentItem();
    if (!item || curRow() < 1 || curCol() < 1)
        return;
    m_editRow = curRow();
    m_editCol = curCol();
    txtActiveCell->setFont(grdLCDef->font());
    txtActiveCell->setGeometry(grdLCDef->visualItemRect(item));
    txtActiveCell->setText(item->text());
    txtActiveCell->show();
    txtActiveCell->raise();
    txtActiveCell->setCursorPosition(static_cast<int>(txtActiveCell->text().size()));
    txtActiveCell->setFocus();
    setUnsaved(true);
}

void CoefficientEditor::grdLCDef_EnterCell(int row, int col)
{
    hideTextBox();
    if (row < 1 || col < 1)
        return;
    m_enterText = TextMatrix(*grdLCDef, row, col);
    if (QTableWidgetItem* item = grdLCDef->item(row - 1, col - 1))
        item->setBackground(CurrentCellColor());
}

void CoefficientEditor::grdLCDef_LeaveCell(int row, int col)
{
    if (row < 1 || col < 1 || row >= GridRows(*grdLCDef))
        return;
    if (QTableWidgetItem* item = grdLCDef->item(row - 1, col - 1))
        item->setBackground(palette().color(QPalette::Base));
    if (col != kColName && TextMatrix(*grdLCDef, row, col).trimmed().isEmpty()) {
        SetTextMatrix(*grdLCDef, row, col, QStringLiteral("0"));
        if (row == m_editRow && col == m_editCol)
            txtActiveCell->setText(QStringLiteral("0"));
    }
}

bool CoefficientEditor::ValidateEntry(int col, const QString& typed, const QString& newText)
{
    const char* refusal = nullptr;
    if (col == kColValue) {
        const auto n = ParseNumber(StdStr(newText));
        // Pasted text may bring a fraction or a value the raster cannot hold:
        // refused like any other bad class value.
        if (typed.contains(QLatin1Char('.')) || !n || *n != std::floor(*n) || !RoundToInt32(*n))
            refusal = "Invalid value entered - Class Value must be an integer.";
    } else if (col >= kColHigh && col <= kColLow) {
        const auto n = ParseNumber(StdStr(newText));
        if (!n)
            refusal = "Invalid value entered - Coefficients must be numeric.";
        else if (*n < 0 || *n > 100)
            refusal = "Invalid value entered - Coefficients must be between 0-100.";
    }
    if (!refusal)
        return true;
    support::MsgBox(refusal, support::Buttons::OK, support::Icon::Exclamation);
    return false;
}

bool CoefficientEditor::gridKeyPress(QKeyEvent* e)
{
    const int row = curRow();
    const int col = curCol();
    const bool onCell = row >= 1 && col >= 1;
    switch (e->key()) {
    case Qt::Key_Escape: return true;
    case Qt::Key_F2: Set_TextBox(); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (onCell)
            INCR_CELL();
        return true;
    case Qt::Key_Backspace:
        if (onCell) {
            QString text = TextMatrix(*grdLCDef, row, col);
            text.chop(1);
            SetTextMatrix(*grdLCDef, row, col, text);
            Set_TextBox();
        }
        return true;
    default: break;
    }
    if (!IsCharacter(e))
        return false;
    if (!onCell)
        return true;
    // A character replaces the cell's text and opens the editor on it; a
    // refused one leaves the cell as it was, the editor open.
    const QString before = TextMatrix(*grdLCDef, row, col);
    SetTextMatrix(*grdLCDef, row, col, e->text());
    Set_TextBox();
    if (!ValidateEntry(col, e->text(), e->text())) {
        SetTextMatrix(*grdLCDef, row, col, before);
        txtActiveCell->setText(before);
    }
    return true;
}

bool CoefficientEditor::cellEditorKeyPress(QKeyEvent* e)
{
    const int row = curRow();
    const int col = curCol();
    const int lastRow = GridRows(*grdLCDef) - 1;
    const int caret = txtActiveCell->cursorPosition();
    const bool noSelection = !txtActiveCell->hasSelectedText();
    bool handled = false;
    switch (e->key()) {
    case Qt::Key_Escape:
        // Both the box and the cell go back to the text the cell had when entered.
        txtActiveCell->setText(m_enterText);
        txtActiveCell->setCursorPosition(static_cast<int>(m_enterText.size()));
        if (m_editRow > 0)
            SetTextMatrix(*grdLCDef, m_editRow, m_editCol, m_enterText);
        handled = true;
        break;
    case Qt::Key_Left:
        if (caret == 0 && noSelection) {
            if (col > kColValue)
                moveTo(row, col - 1);
            else if (row > 1)
                moveTo(row - 1, kColLow);
            handled = true;
        }
        break;
    case Qt::Key_Right:
        if (caret == txtActiveCell->text().size() && noSelection) {
            if (col < kColLow)
                moveTo(row, col + 1);
            else if (row < lastRow)
                moveTo(row + 1, kColValue);
            handled = true;
        }
        break;
    case Qt::Key_Up:
        if (row > 1)
            moveTo(row - 1, col);
        handled = true;
        break;
    case Qt::Key_Down:
        if (row < lastRow)
            moveTo(row + 1, col);
        handled = true;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const QString text = txtActiveCell->text();
        if (m_editRow > 0)
            SetTextMatrix(*grdLCDef, m_editRow, m_editCol, text);
        hideTextBox();
        INCR_CELL();
        grdLCDef->setFocus();
        return true;
    }
    default: {
        // Pasted text is checked as if it had been typed.
        const bool paste = e->matches(QKeySequence::Paste);
        if (!paste && !IsCharacter(e))
            return false;
        const QString typed = paste ? QGuiApplication::clipboard()->text() : e->text();
        if (ValidateEntry(col, typed, TypedInto(*txtActiveCell, typed)))
            return false;
        if (m_editRow > 0)
            SetTextMatrix(*grdLCDef, m_editRow, m_editCol, txtActiveCell->text());
        return true;
    }
    }
    IsCellVisible();
    return handled;
}

bool CoefficientEditor::grdLCDef_MouseDown(QMouseEvent* e)
{
    hideTextBox();
    if (e->button() == Qt::RightButton)
        MnuFGridRows->popup(e->globalPos());
    return false;
}

bool CoefficientEditor::eventFilter(QObject* watched, QEvent* e)
{
    bool consumed = false;
    if (watched == grdLCDef && e->type() == QEvent::KeyPress) {
        support::GuardedVoid("grdLCDef_KeyPress", kForm, true,
                             [&] { consumed = gridKeyPress(static_cast<QKeyEvent*>(e)); });
        return consumed;
    }
    if (watched == txtActiveCell && e->type() == QEvent::KeyPress) {
        support::GuardedVoid("txtActiveCell_KeyPress", kForm, true,
                             [&] { consumed = cellEditorKeyPress(static_cast<QKeyEvent*>(e)); });
        return consumed;
    }
    if (watched == grdLCDef->viewport() && e->type() == QEvent::MouseButtonPress) {
        support::GuardedVoid("grdLCDef_MouseDown", kForm, true,
                             [&] { consumed = grdLCDef_MouseDown(static_cast<QMouseEvent*>(e)); });
        return consumed;
    }
    return QDialog::eventFilter(watched, e);
}

// ---- row commands ----

void CoefficientEditor::addRow()
{
    const int row = GridRows(*grdLCDef);
    SetGridRows(*grdLCDef, row + 1);
    SetTextMatrix(*grdLCDef, row, kColNumber, QString::number(row));
    for (int c : {kColValue, kColHigh, kColMed, kColLow})
        SetTextMatrix(*grdLCDef, row, c, QStringLiteral("0"));
    moveTo(row, curCol() >= 1 ? curCol() : kColValue);
    IsCellVisible();
    setUnsaved(true);
}

void CoefficientEditor::insertRow()
{
    const int row = curRow();
    if (row < 1) {
        addRow();
        return;
    }
    const int last = GridRows(*grdLCDef);
    SetGridRows(*grdLCDef, last + 1);
    SetTextMatrix(*grdLCDef, last, kColNumber, QString::number(last));
    for (int r = last - 1; r >= row; --r)
        for (int c = kColValue; c <= kColLow; ++c)
            SetTextMatrix(*grdLCDef, r + 1, c, TextMatrix(*grdLCDef, r, c));
    for (int c = kColValue; c <= kColLow; ++c)
        SetTextMatrix(*grdLCDef, row, c, c == kColName ? QString() : QStringLiteral("0"));
    hideTextBox();
    m_enterText = TextMatrix(*grdLCDef, row, curCol());
    setUnsaved(true);
}

void CoefficientEditor::deleteRow()
{
    const int row = curRow();
    const int last = GridRows(*grdLCDef) - 1;
    hideTextBox();
    if (last >= 1 && row >= 1) {
        bool hasData = TextMatrix(*grdLCDef, row, kColValue) != QLatin1String("0") ||
                       !TextMatrix(*grdLCDef, row, kColName).trimmed().isEmpty();
        for (int c = kColHigh; c <= kColLow; ++c)
            hasData = hasData || TextMatrix(*grdLCDef, row, c) != QLatin1String("0");
        const bool remove =
            !hasData ||
            support::MsgBox("There is data in Row " + std::to_string(row) + " ! Delete anyway?",
                            support::Buttons::YesNo, support::Icon::None, "Delete Row!") == support::Answer::Yes;
        if (remove) {
            const int col = curCol();
            if (row == last) {
                if (row > 1)
                    moveTo(row - 1, col);
                else
                    grdLCDef->setCurrentCell(-1, -1);
            } else {
                for (int r = row + 1; r <= last; ++r)
                    for (int c = kColValue; c <= kColLow; ++c)
                        SetTextMatrix(*grdLCDef, r - 1, c, TextMatrix(*grdLCDef, r, c));
            }
            SetGridRows(*grdLCDef, last);
            if (curRow() >= 1 && curCol() >= 1)
                m_enterText = TextMatrix(*grdLCDef, curRow(), curCol());
        }
    }
    setUnsaved(true);
}

}  // namespace halvo::coefficients
