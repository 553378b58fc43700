#include "coefficients/qt/lc_grid.h"

#include "coefficients/coeff_files.h"
#include "coefficients/number_text.h"
#include "support/ui.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableWidget>

#include <algorithm>
#include <optional>
#include <vector>

namespace halvo::coefficients {

namespace {

constexpr const char* kHeaders[kLCGridCols] = {"",
                                               QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Value"),
                                               QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Name"),
                                               QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "High"),
                                               QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Medium"),
                                               QT_TRANSLATE_NOOP("halvo::coefficients::CoefficientEditor", "Low")};

// A cell that holds no item would show Qt's default header numbers or refuse
// a background colour, so every cell gets one.
QTableWidgetItem* EnsureItem(QTableWidget& grid, int row, int col)
{
    if (row == 0) {
        if (col == 0)
            return nullptr;
        if (!grid.horizontalHeaderItem(col - 1))
            grid.setHorizontalHeaderItem(col - 1, new QTableWidgetItem);
        return grid.horizontalHeaderItem(col - 1);
    }
    if (col == 0) {
        if (!grid.verticalHeaderItem(row - 1))
            grid.setVerticalHeaderItem(row - 1, new QTableWidgetItem);
        return grid.verticalHeaderItem(row - 1);
    }
    if (!grid.item(row - 1, col - 1))
        grid.setItem(row - 1, col - 1, new QTableWidgetItem);
    return grid.item(row - 1, col - 1);
}

const QTableWidgetItem* FindItem(const QTableWidget& grid, int row, int col)
{
    if (row < 0 || col < 0 || col >= kLCGridCols || row >= GridRows(grid))
        return nullptr;
    if (row == 0)
        return col == 0 ? nullptr : grid.horizontalHeaderItem(col - 1);
    if (col == 0)
        return grid.verticalHeaderItem(row - 1);
    return grid.item(row - 1, col - 1);
}

QString Num(std::int64_t n) { return QString::number(n); }
QString Num(float v) { return QStr(FormatSingle(v)); }

void CantSave(int row, int col, const QString& text, const std::string& why)
{
    const std::string msg = "Row " + std::to_string(row) + ", column '" + kHeaders[col] + "': '" + StdStr(text) +
                            "' cannot be saved. " + why;
    support::MsgBox(msg, support::Buttons::OK, support::Icon::Exclamation);
}

}  // namespace

QString TextMatrix(const QTableWidget& grid, int row, int col)
{
    const QTableWidgetItem* item = FindItem(grid, row, col);
    return item ? item->text() : QString();
}

void SetTextMatrix(QTableWidget& grid, int row, int col, const QString& text)
{
    if (row < 0 || col < 0 || col >= kLCGridCols || row >= GridRows(grid))
        return;
    if (QTableWidgetItem* item = EnsureItem(grid, row, col))
        item->setText(text);
}

int GridRows(const QTableWidget& grid) { return grid.rowCount() + 1; }

void SetGridRows(QTableWidget& grid, int rows)
{
    if (grid.columnCount() != kLCGridCols - 1)
        grid.setColumnCount(kLCGridCols - 1);
    const int before = GridRows(grid);
    grid.setRowCount(std::max(rows, 1) - 1);
    for (int r = before; r < GridRows(grid); ++r)
        for (int c = 0; c < kLCGridCols; ++c)
            EnsureItem(grid, r, c);
}

int GridColWidth(const QTableWidget& grid, int col)
{
    return col == 0 ? grid.verticalHeader()->width() : grid.columnWidth(col - 1);
}

void SetLCGridHeaders(QTableWidget& grid)
{
    if (grid.columnCount() != kLCGridCols - 1)
        grid.setColumnCount(kLCGridCols - 1);
    for (int c = 1; c < kLCGridCols; ++c) {
        QTableWidgetItem* head = EnsureItem(grid, 0, c);
        head->setText(QCoreApplication::translate("halvo::coefficients::CoefficientEditor", kHeaders[c]));
        head->setTextAlignment(Qt::AlignCenter);
    }
    FitLCGridColumns(grid);
}

void FitLCGridColumns(QTableWidget& grid)
{
    const QFontMetrics cells(grid.font());
    const QFontMetrics heads(grid.horizontalHeader()->font());
    const int headPad = 2 * grid.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &grid) + 4;
    const int cellPad = 2 * grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 6;
    grid.verticalHeader()->setFixedWidth(
        std::max(kLCGridWidths[0], heads.horizontalAdvance(QString::number(grid.rowCount())) + headPad));
    for (int c = 1; c < kLCGridCols; ++c) {
        int width = std::max(kLCGridWidths[c], heads.horizontalAdvance(TextMatrix(grid, 0, c)) + headPad);
        for (int r = 0; r < grid.rowCount(); ++r)
            if (const QTableWidgetItem* item = grid.item(r, c - 1))
                width = std::max(width, cells.horizontalAdvance(item->text()) + cellPad);
        grid.setColumnWidth(c - 1, width);
    }
}

void LoadLCGrid(QTableWidget& grid, std::string_view setName, const CoeffStore& model)
{
    SetGridRows(grid, 1);
    SetLCGridHeaders(grid);
    if (const CoeffSet* set = FindSet(model, setName)) {
        SetGridRows(grid, set->LCClasses.Count() + 1);
        int j = 1;
        for (const CoverClass& c : set->LCClasses) {
            const QString texts[kLCGridCols] = {Num(std::int64_t{j}), Num(std::int64_t{c.ID}),
                                                QStr(c.LCName),       Num(c.LCHigh),
                                                Num(c.LCMed),         Num(c.LCLow)};
            for (int col = 0; col < kLCGridCols; ++col)
                SetTextMatrix(grid, j, col, texts[col]);
            ++j;
        }
    }
    if (GridRows(grid) == 1)
        SetGridRows(grid, 2);
    FitLCGridColumns(grid);
}

void RemoveEmptyGridRows(QTableWidget& grid)
{
    int r = 1;
    while (r < GridRows(grid)) {
        bool empty = true;
        for (int c = 0; c < kLCGridCols && empty; ++c)
            empty = TextMatrix(grid, r, c).isEmpty();
        if (!empty) {
            ++r;
            continue;
        }
        for (int below = r + 1; below < GridRows(grid); ++below)
            for (int c = 0; c < kLCGridCols; ++c)
                SetTextMatrix(grid, below - 1, c, TextMatrix(grid, below, c));
        SetGridRows(grid, GridRows(grid) - 1);
    }
}

bool SaveModelPropUpdates(QTableWidget& grid, std::string_view setName, CoeffStore& model)
{
    const auto rows = GridClasses(grid);
    if (!rows)
        return false;
    SetClasses(model, setName, *rows);
    return true;
}

std::optional<std::vector<CoverClass>> GridClasses(QTableWidget& grid)
{
    RemoveEmptyGridRows(grid);

    // Everything is converted before the model is touched.
    std::vector<CoverClass> rows;
    for (int r = 1; r < GridRows(grid); ++r) {
        CoverClass c;
        for (int col : {kColValue, kColHigh, kColMed, kColLow}) {
            if (TrimSpace(StdStr(TextMatrix(grid, r, col))).empty())
                SetTextMatrix(grid, r, col, QStringLiteral("0"));
        }
        const QString idText = TextMatrix(grid, r, kColValue);
        const auto number = ParseNumber(StdStr(idText));
        const auto id = number ? RoundToInt32(*number) : std::nullopt;
        if (!id) {
            CantSave(r, kColValue, idText, "Class Value must be an integer.");
            return std::nullopt;
        }
        c.ID = *id;
        c.LCName = StdStr(TextMatrix(grid, r, kColName));
        if (const std::string why = ClassNameFault(c.LCName); !why.empty()) {
            CantSave(r, kColName, TextMatrix(grid, r, kColName), why);
            return std::nullopt;
        }
        float* targets[] = {&c.LCHigh, &c.LCMed, &c.LCLow};
        for (int col = kColHigh; col <= kColLow; ++col) {
            const QString text = TextMatrix(grid, r, col);
            const auto v = ParseNumber(StdStr(text));
            if (!v) {
                CantSave(r, col, text, "Coefficients must be numeric.");
                return std::nullopt;
            }
            if (*v < 0 || *v > 100) {
                CantSave(r, col, text, "Coefficients must be between 0-100.");
                return std::nullopt;
            }
            const auto single = ParseSingle(StdStr(text));
            *targets[col - kColHigh] = single ? *single : static_cast<float>(*v);
        }
        // The run looks classes up by ID, so each may stand once.
        for (std::size_t k = 0; k < rows.size(); ++k)
            if (rows[k].ID == c.ID) {
                CantSave(r, kColValue, idText,
                         "Class Value " + std::to_string(c.ID) + " is already in row " + std::to_string(k + 1) + ".");
                return std::nullopt;
            }
        rows.push_back(std::move(c));
    }
    return rows;
}

void SetClasses(CoeffStore& model, std::string_view setName, const std::vector<CoverClass>& rows)
{
    CoeffSet* set = FindSet(model, setName);
    if (!set) {
        set = &model.ISLCDefs.Add();
        set->LCType = std::string(setName);
    }
    CoverClasses& classes = set->LCClasses;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto r = static_cast<std::int32_t>(i + 1);
        if (classes.Count() < r)
            classes.Add();
        classes.Item(r) = rows[i];
    }
    while (classes.Count() > static_cast<std::int32_t>(rows.size()))
        classes.Remove(classes.Count());
}

bool inComboBox(const QComboBox& list, const QString& text)
{
    if (text.isEmpty())
        return true;
    for (int i = 0; i < list.count(); ++i)
        if (list.itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void LoadLCTypeCombobox(QComboBox& list, const CoeffStore& model)
{
    const QSignalBlocker quiet(list);
    list.clear();
    for (const CoeffSet& set : model.ISLCDefs)
        list.addItem(QStr(set.LCType));
    list.setCurrentIndex(-1);
}

}  // namespace halvo::coefficients
