#pragma once
// The grid of one coefficient set, and the set lists, on Qt widgets.
//
// The grid is a QTableWidget addressed the way the editor's procedures think of
// it: row 0 is the fixed header row (the table's horizontal header), column 0
// the fixed row-number column (the vertical header, whose texts are data too:
// an empty row has an empty number), and the data cells start at (1, 1), which
// is table cell (0, 0).

#include "coefficients/coefficient_sets.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QTableWidget;

namespace halvo::coefficients {

enum LCGridColumn : int { kColNumber = 0, kColValue = 1, kColName = 2, kColHigh = 3, kColMed = 4, kColLow = 5 };
inline constexpr int kLCGridCols = 6;

// Least widths in pixels (the old layout's twips / 15), column 0 first.
inline constexpr int kLCGridWidths[kLCGridCols] = {27, 52, 173, 64, 64, 64};

// Cell text by grid position; "" for a cell that holds nothing.
QString TextMatrix(const QTableWidget& grid, int row, int col);
void SetTextMatrix(QTableWidget& grid, int row, int col, const QString& text);

// Row count with the header row, as the procedures count it (1 = no data row).
int GridRows(const QTableWidget& grid);
// Adds empty rows or drops rows at the end; never below the header row.
void SetGridRows(QTableWidget& grid, int rows);
// Width of a grid column in pixels.
int GridColWidth(const QTableWidget& grid, int col);

// The five centred header texts, in the user's language, and the widths.
void SetLCGridHeaders(QTableWidget& grid);
// Every column as wide as its header and texts need in the grid's font (a
// larger font or a translation), never narrower than kLCGridWidths.
void FitLCGridColumns(QTableWidget& grid);

// Shows the first set named `setName`, one row per class; one empty row when
// the set is missing or has no classes.
void LoadLCGrid(QTableWidget& grid, std::string_view setName, const CoeffStore& model);

// Removes the data rows whose every cell, the row number's included, is "".
void RemoveEmptyGridRows(QTableWidget& grid);

// Copies the grid into the first set named `setName`, appending the set when
// the model lacks it; empty rows are removed from the grid first. An empty
// numeric cell counts as 0 and is shown as "0". A cell that does not convert
// (a Value that is not a 32-bit whole number, a coefficient that is not a
// number) gets a message naming row and column, and false: the model is then
// left untouched, so a half-copied set is never saved.
bool SaveModelPropUpdates(QTableWidget& grid, std::string_view setName, CoeffStore& model);

// The two halves of SaveModelPropUpdates: the grid's classes, checked (a
// message and nothing when a cell does not convert), and putting them into
// the first set named `setName`, appended when missing.
std::optional<std::vector<CoverClass>> GridClasses(QTableWidget& grid);
void SetClasses(CoeffStore& model, std::string_view setName, const std::vector<CoverClass>& rows);

// True when `text` equals an entry of the list regardless of case, and for "".
bool inComboBox(const QComboBox& list, const QString& text);

// Fills the list with the set names in store order, no entry selected. The
// list stays quiet while it is filled; selecting an entry afterwards is what
// tells its listeners.
void LoadLCTypeCombobox(QComboBox& list, const CoeffStore& model);

inline QString QStr(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
inline std::string StdStr(const QString& s) { return s.toStdString(); }

}  // namespace halvo::coefficients
