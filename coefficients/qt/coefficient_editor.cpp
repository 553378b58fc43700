#include "coefficients/qt/coefficient_editor.h"

#include "coefficients/coeff_files.h"
#include "coefficients/model_store.h"
#include "coefficients/number_text.h"
#include "coefficients/qt/add_set_dialog.h"
#include "coefficients/qt/lc_grid.h"
#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/qt/qt_ui.h"
#include "support/ui.h"

#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
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
    support::Handle(procedure, kForm, std::forward<F>(body));
}

CoefficientEditor::CoefficientEditor(QWidget* parent, std::filesystem::path extensionFolder)
    : QDialog(parent), m_ext(std::move(extensionFolder))
{
    setObjectName(kForm);
    setWindowTitle(tr("Change Coefficients"));
    setModal(false);

    auto* setLabel = new QLabel(tr("Coefficient Set"), this);
    setLabel->setObjectName(QStringLiteral("lblLCType"));
    m_setList = new QComboBox(this);
    m_setList->setObjectName(QStringLiteral("cboLCType"));
    setLabel->setBuddy(m_setList);

    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("grdLCDef"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->horizontalHeader()->setSectionsClickable(false);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setSectionsClickable(false);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->setContextMenuPolicy(Qt::NoContextMenu);
    auto* classLabel = new QLabel(tr("Class"), this);
    classLabel->setObjectName(QStringLiteral("lblClass"));
    classLabel->setAlignment(Qt::AlignCenter);
    auto* coefficientsLabel = new QLabel(tr("Coefficients"), this);
    coefficientsLabel->setObjectName(QStringLiteral("lblCoefficients"));
    coefficientsLabel->setAlignment(Qt::AlignCenter);
    // The columns follow their texts and the font; the grid and the two
    // labels over it follow the columns.
    auto follow = [this, classLabel, coefficientsLabel] {
        int width[kLCGridCols];
        for (int c = 0; c < kLCGridCols; ++c)
            width[c] = GridColWidth(*m_grid, c);
        classLabel->setFixedWidth(width[0] + width[1] + width[2]);
        coefficientsLabel->setFixedWidth(width[3] + width[4] + width[5]);
        m_grid->setMinimumSize(2 * m_grid->frameWidth() + m_grid->verticalScrollBar()->sizeHint().width() +
                                   classLabel->width() + coefficientsLabel->width(),
                               240);
    };
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionResized, this, follow);
    SetLCGridHeaders(*m_grid);
    follow();

    m_cellEditor = new QLineEdit(m_grid->viewport());
    m_cellEditor->setObjectName(QStringLiteral("txtActiveCell"));
    m_cellEditor->setFrame(false);
    m_cellEditor->setContextMenuPolicy(Qt::NoContextMenu);
    m_cellEditor->hide();

    m_newButton = Button("cmdNew", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "New..."), this);
    m_applyButton = Button("cmdApply", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Apply"), this);
    m_quitButton = Button("cmdQuit", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Quit"), this);
    m_helpButton = Button("cmdHelp", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Help"), this);
    auto* transferFrame = new QGroupBox(tr("Transfer"), this);
    transferFrame->setObjectName(QStringLiteral("fraTransfer"));
    m_importButton =
        Button("CmdImport", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Import..."), transferFrame);
    m_exportButton =
        Button("CmdExport", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Export..."), transferFrame);
    m_mergeButton =
        Button("CmdMerge", QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Merge..."), transferFrame);

    m_rowMenu = new QMenu(tr("Row Popup"), this);
    m_rowMenu->setObjectName(QStringLiteral("MnuFGridRows"));
    QAction* addRowAction = m_rowMenu->addAction(tr("Add a Row"));
    addRowAction->setObjectName(QStringLiteral("MnuFGridAddRow"));
    QAction* insertRowAction = m_rowMenu->addAction(tr("Insert a Row"));
    insertRowAction->setObjectName(QStringLiteral("MnuFGridInsRow"));
    QAction* deleteRowAction = m_rowMenu->addAction(tr("Delete a Row"));
    deleteRowAction->setObjectName(QStringLiteral("MnuFGridDelRow"));

    auto* top = new QHBoxLayout;
    top->addWidget(setLabel);
    top->addWidget(m_setList, 1);
    auto* labels = new QHBoxLayout;
    labels->setSpacing(0);
    labels->addWidget(classLabel);
    labels->addWidget(coefficientsLabel);
    labels->addStretch();
    auto* transfer = new QHBoxLayout(transferFrame);
    transfer->addWidget(m_importButton);
    transfer->addWidget(m_exportButton);
    transfer->addWidget(m_mergeButton);
    auto* commands = new QGridLayout;
    commands->addWidget(m_newButton, 0, 0);
    commands->addWidget(m_applyButton, 0, 1);
    commands->addWidget(m_quitButton, 1, 0);
    commands->addWidget(m_helpButton, 1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(commands);
    bottom->addStretch();
    bottom->addWidget(transferFrame);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(labels);
    main->addWidget(m_grid, 1);
    main->addLayout(bottom);

    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    m_cellEditor->installEventFilter(this);

    connect(m_setList, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { guarded("cboLCType_Click", [this] { setChosen(); }); });
    connect(m_grid, &QTableWidget::currentCellChanged, this, [this](int row, int col, int prevRow, int prevCol) {
        guarded("grdLCDef_LeaveCell", [&] { leaveCell(prevRow + 1, prevCol + 1); });
        guarded("grdLCDef_EnterCell", [&] { enterCell(row + 1, col + 1); });
    });
    connect(m_grid, &QTableWidget::cellDoubleClicked, this,
            [this] { guarded("grdLCDef_DblClick", [this] { openCellEditor(); }); });
    for (QScrollBar* bar : {m_grid->verticalScrollBar(), m_grid->horizontalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this,
                [this] { guarded("grdLCDef_Scroll", [this] { hideTextBox(); }); });
    // The cell follows the box while it is open.
    connect(m_cellEditor, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_editRow > 0)
            SetTextMatrix(*m_grid, m_editRow, m_editCol, text);
    });

    connect(m_applyButton, &QPushButton::clicked, this, [this] { guarded("cmdApply_click", [this] { apply(); }); });
    connect(m_quitButton, &QPushButton::clicked, this, [this] { guarded("cmdQuit_Click", [this] { quit(); }); });
    connect(m_newButton, &QPushButton::clicked, this, [this] { guarded("cmdNew_Click", [this] { newSet(); }); });
    connect(m_helpButton, &QPushButton::clicked, this, [this] { guarded("cmdHelp_Click", [this] { showHelp(); }); });
    connect(m_importButton, &QPushButton::clicked, this,
            [this] { guarded("cmdImport_Click", [this] { importSet(); }); });
    connect(m_exportButton, &QPushButton::clicked, this,
            [this] { guarded("cmdExport_Click", [this] { exportSet(); }); });
    connect(m_mergeButton, &QPushButton::clicked, this,
            [this] { guarded("cmdMerge_Click", [this] { mergeStore(); }); });
    connect(addRowAction, &QAction::triggered, this, [this] { guarded("MnuFGridAddRow_Click", [this] { addRow(); }); });
    connect(insertRowAction, &QAction::triggered, this,
            [this] { guarded("MnuFGridInsRow_Click", [this] { insertRow(); }); });
    connect(deleteRowAction, &QAction::triggered, this,
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
        const QSignalBlocker quiet(m_setList);
        m_setList->clear();
    }
    SetGridRows(*m_grid, 1);
    SetLCGridHeaders(*m_grid);

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
    LoadLCTypeCombobox(*m_setList, m_model);
    if (m_setList->count() > 0)
        m_setList->setCurrentIndex(0);
    SetLCGridHeaders(*m_grid);
    refreshCommands();
    if (GridRows(*m_grid) > 1)
        moveTo(1, 1);
}

void CoefficientEditor::refreshCommands()
{
    const bool shown = m_storeLoaded && m_shown >= 0;
    m_grid->setEnabled(shown);
    m_newButton->setEnabled(m_storeLoaded);
    m_importButton->setEnabled(m_storeLoaded);
    m_mergeButton->setEnabled(m_storeLoaded);
    m_exportButton->setEnabled(shown);
}

// ---- sets ----

QString CoefficientEditor::shownName() const { return m_shown >= 0 ? m_setList->itemText(m_shown) : QString(); }

void CoefficientEditor::setUnsaved(bool on)
{
    m_unsaved = on;
    m_applyButton->setEnabled(on);
}

void CoefficientEditor::setChosen()
{
    int pos = m_setList->currentIndex();
    if (pos == m_shown || pos < 0)
        return;
    if (m_unsaved) {
        const std::string question =
            "Changes to the current coefficient set must be saved before displaying another coefficient set. \r\n"
            " Click 'Yes' to save changes to " +
            StdStr(shownName()) + " and proceed, or 'No' to return.";
        if (support::MsgBox(question, support::Buttons::YesNo) != support::Answer::Yes || !save()) {
            // The grid still shows the old set, so the selection goes back to it.
            m_setList->setCurrentIndex(m_shown);
            return;
        }
        setUnsaved(false);
        // The save lists the sets again; the chosen one keeps its name.
        pos = m_setList->currentIndex();
    }
    hideTextBox();
    LoadLCGrid(*m_grid, StdStr(m_setList->itemText(pos)), m_model);
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
    const auto rows = GridClasses(*m_grid);
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
    const QString current = m_setList->currentText();
    const QSignalBlocker quiet(m_setList);
    LoadLCTypeCombobox(*m_setList, m_model);
    m_shown = m_setList->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_setList->setCurrentIndex(m_setList->findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive));
    refreshCommands();
}

void CoefficientEditor::apply()
{
    if (!save())
        return;
    m_setList->setFocus();
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
    const int before = m_setList->count();
    AddSetDialog add(*m_setList, *m_grid, this);
    add.setModel(m_model);
    add.exec();
    if (m_setList->count() > before) {
        m_shown = m_setList->currentIndex();
        refreshCommands();
        m_setList->setFocus();
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
    // The file is checked before the name is asked: a bad line is said (with
    // its number) before the user has typed anything.
    CoverClasses checked;
    if (!ReadCoeffLines(StdStr(file), checked))
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
    // The file's own name is the set's name unless the user changes it.
    const std::string stem = QFileInfo(file).completeBaseName().toStdString();
    const TextPrompt askName = [&](std::string_view message, std::string_view title, std::string_view defaultText) {
        return prompt(message, title, defaultText.empty() ? stem : defaultText);
    };
    if (!ImportCoeffsFromFile(m_model, StdStr(file), m_ext, askName).empty())
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

int CoefficientEditor::curRow() const { return m_grid->currentRow() + 1; }
int CoefficientEditor::curCol() const { return m_grid->currentColumn() + 1; }

void CoefficientEditor::moveTo(int row, int col)
{
    if (row < 1 || row >= GridRows(*m_grid) || col < 1 || col >= kLCGridCols)
        return;
    m_grid->setCurrentCell(row - 1, col - 1);
}

void CoefficientEditor::showCurrentCell()
{
    if (QTableWidgetItem* item = m_grid->currentItem())
        m_grid->scrollToItem(item);
}

void CoefficientEditor::nextCell()
{
    const int row = curRow();
    const int col = curCol();
    if (col < kColLow)
        moveTo(row, col + 1);
    else if (row < GridRows(*m_grid) - 1)
        moveTo(row + 1, col);
    showCurrentCell();
}

void CoefficientEditor::hideTextBox()
{
    if (!m_cellEditor->isVisible())
        return;
    // Focus first: hiding a focused box would pass the focus on as a Tab,
    // which moves the grid's current cell.
    if (m_cellEditor->hasFocus())
        m_grid->setFocus();
    m_cellEditor->hide();
    m_editRow = m_editCol = -1;
}

void CoefficientEditor::openCellEditor()
{
    QTableWidgetItem* item = m_grid->currentItem();
    if (!item || curRow() < 1 || curCol() < 1)
        return;
    m_editRow = curRow();
    m_editCol = curCol();
    m_cellEditor->setFont(m_grid->font());
    m_cellEditor->setGeometry(m_grid->visualItemRect(item));
    m_cellEditor->setText(item->text());
    m_cellEditor->show();
    m_cellEditor->raise();
    m_cellEditor->setCursorPosition(static_cast<int>(m_cellEditor->text().size()));
    m_cellEditor->setFocus();
    setUnsaved(true);
}

void CoefficientEditor::enterCell(int row, int col)
{
    hideTextBox();
    if (row < 1 || col < 1)
        return;
    m_enterText = TextMatrix(*m_grid, row, col);
    if (QTableWidgetItem* item = m_grid->item(row - 1, col - 1))
        item->setBackground(CurrentCellColor());
}

void CoefficientEditor::leaveCell(int row, int col)
{
    if (row < 1 || col < 1 || row >= GridRows(*m_grid))
        return;
    if (QTableWidgetItem* item = m_grid->item(row - 1, col - 1))
        item->setBackground(palette().color(QPalette::Base));
    if (col != kColName && TextMatrix(*m_grid, row, col).trimmed().isEmpty()) {
        SetTextMatrix(*m_grid, row, col, QStringLiteral("0"));
        if (row == m_editRow && col == m_editCol)
            m_cellEditor->setText(QStringLiteral("0"));
    }
}

bool CoefficientEditor::acceptEntry(int col, const QString& typed, const QString& newText, bool complete)
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
        else if (complete && (*n < 0 || *n > 100))
            refusal = "Invalid value entered - Coefficients must be between 0-100.";
    }
    if (!refusal)
        return true;
    support::MsgBox(refusal, support::Buttons::OK, support::Icon::Exclamation);
    return false;
}

bool CoefficientEditor::entryComplete()
{
    if (!m_cellEditor->isVisible() || m_editCol < 0)
        return true;
    const QString text = m_cellEditor->text();
    return text.trimmed().isEmpty() || acceptEntry(m_editCol, text, text, true);
}

bool CoefficientEditor::gridKeyPress(QKeyEvent* e)
{
    const int row = curRow();
    const int col = curCol();
    const bool onCell = row >= 1 && col >= 1;
    switch (e->key()) {
    case Qt::Key_Escape: return true;
    case Qt::Key_F2: openCellEditor(); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (onCell)
            nextCell();
        return true;
    case Qt::Key_Backspace:
        if (onCell) {
            QString text = TextMatrix(*m_grid, row, col);
            text.chop(1);
            SetTextMatrix(*m_grid, row, col, text);
            openCellEditor();
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
    const QString before = TextMatrix(*m_grid, row, col);
    SetTextMatrix(*m_grid, row, col, e->text());
    openCellEditor();
    if (!acceptEntry(col, e->text(), e->text())) {
        SetTextMatrix(*m_grid, row, col, before);
        m_cellEditor->setText(before);
    }
    return true;
}

bool CoefficientEditor::cellEditorKeyPress(QKeyEvent* e)
{
    const int row = curRow();
    const int col = curCol();
    const int lastRow = GridRows(*m_grid) - 1;
    const int caret = m_cellEditor->cursorPosition();
    const bool noSelection = !m_cellEditor->hasSelectedText();
    bool handled = false;
    switch (e->key()) {
    case Qt::Key_Escape:
        // Both the box and the cell go back to the text the cell had when entered.
        m_cellEditor->setText(m_enterText);
        m_cellEditor->setCursorPosition(static_cast<int>(m_enterText.size()));
        if (m_editRow > 0)
            SetTextMatrix(*m_grid, m_editRow, m_editCol, m_enterText);
        handled = true;
        break;
    case Qt::Key_Left:
        if (caret == 0 && noSelection && entryComplete()) {
            if (col > kColValue)
                moveTo(row, col - 1);
            else if (row > 1)
                moveTo(row - 1, kColLow);
            handled = true;
        }
        break;
    case Qt::Key_Right:
        if (caret == m_cellEditor->text().size() && noSelection && entryComplete()) {
            if (col < kColLow)
                moveTo(row, col + 1);
            else if (row < lastRow)
                moveTo(row + 1, kColValue);
            handled = true;
        }
        break;
    case Qt::Key_Up:
        if (row > 1 && entryComplete())
            moveTo(row - 1, col);
        handled = true;
        break;
    case Qt::Key_Down:
        if (row < lastRow && entryComplete())
            moveTo(row + 1, col);
        handled = true;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (!entryComplete())
            return true;
        const QString text = m_cellEditor->text();
        if (m_editRow > 0)
            SetTextMatrix(*m_grid, m_editRow, m_editCol, text);
        hideTextBox();
        nextCell();
        m_grid->setFocus();
        return true;
    }
    default: {
        // Pasted text is checked as if it had been typed.
        const bool paste = e->matches(QKeySequence::Paste);
        if (!paste && !IsCharacter(e))
            return false;
        const QString typed = paste ? QGuiApplication::clipboard()->text() : e->text();
        if (acceptEntry(col, typed, TypedInto(*m_cellEditor, typed)))
            return false;
        if (m_editRow > 0)
            SetTextMatrix(*m_grid, m_editRow, m_editCol, m_cellEditor->text());
        return true;
    }
    }
    showCurrentCell();
    return handled;
}

bool CoefficientEditor::gridMouseDown(QMouseEvent* e)
{
    hideTextBox();
    if (e->button() == Qt::RightButton)
        m_rowMenu->popup(e->globalPos());
    return false;
}

bool CoefficientEditor::eventFilter(QObject* watched, QEvent* e)
{
    bool consumed = false;
    if (watched == m_grid && e->type() == QEvent::KeyPress) {
        guarded("grdLCDef_KeyPress", [&] { consumed = gridKeyPress(static_cast<QKeyEvent*>(e)); });
        return consumed;
    }
    if (watched == m_cellEditor && e->type() == QEvent::KeyPress) {
        guarded("txtActiveCell_KeyPress", [&] { consumed = cellEditorKeyPress(static_cast<QKeyEvent*>(e)); });
        return consumed;
    }
    if (watched == m_grid->viewport() && e->type() == QEvent::MouseButtonPress) {
        guarded("grdLCDef_MouseDown", [&] { consumed = gridMouseDown(static_cast<QMouseEvent*>(e)); });
        return consumed;
    }
    return QDialog::eventFilter(watched, e);
}

// ---- row commands ----

void CoefficientEditor::addRow()
{
    const int row = GridRows(*m_grid);
    SetGridRows(*m_grid, row + 1);
    SetTextMatrix(*m_grid, row, kColNumber, QString::number(row));
    for (int c : {kColValue, kColHigh, kColMed, kColLow})
        SetTextMatrix(*m_grid, row, c, QStringLiteral("0"));
    moveTo(row, curCol() >= 1 ? curCol() : kColValue);
    showCurrentCell();
    setUnsaved(true);
}

void CoefficientEditor::insertRow()
{
    const int row = curRow();
    if (row < 1) {
        addRow();
        return;
    }
    const int last = GridRows(*m_grid);
    SetGridRows(*m_grid, last + 1);
    SetTextMatrix(*m_grid, last, kColNumber, QString::number(last));
    for (int r = last - 1; r >= row; --r)
        for (int c = kColValue; c <= kColLow; ++c)
            SetTextMatrix(*m_grid, r + 1, c, TextMatrix(*m_grid, r, c));
    for (int c = kColValue; c <= kColLow; ++c)
        SetTextMatrix(*m_grid, row, c, c == kColName ? QString() : QStringLiteral("0"));
    hideTextBox();
    m_enterText = TextMatrix(*m_grid, row, curCol());
    setUnsaved(true);
}

void CoefficientEditor::deleteRow()
{
    const int row = curRow();
    const int last = GridRows(*m_grid) - 1;
    hideTextBox();
    if (last >= 1 && row >= 1) {
        bool hasData = TextMatrix(*m_grid, row, kColValue) != QLatin1String("0") ||
                       !TextMatrix(*m_grid, row, kColName).trimmed().isEmpty();
        for (int c = kColHigh; c <= kColLow; ++c)
            hasData = hasData || TextMatrix(*m_grid, row, c) != QLatin1String("0");
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
                    m_grid->setCurrentCell(-1, -1);
            } else {
                for (int r = row + 1; r <= last; ++r)
                    for (int c = kColValue; c <= kColLow; ++c)
                        SetTextMatrix(*m_grid, r - 1, c, TextMatrix(*m_grid, r, c));
            }
            SetGridRows(*m_grid, last);
            if (curRow() >= 1 && curCol() >= 1)
                m_enterText = TextMatrix(*m_grid, curRow(), curCol());
        }
    }
    setUnsaved(true);
}

}  // namespace halvo::coefficients
