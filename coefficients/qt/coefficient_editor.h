#pragma once
// The coefficient editor: one set at a time in a grid, edited in place, with
// new sets, import, export, merge and saves to the store.
//
// Open it with show(); it loads its own copy of the store each time it is
// shown, and Quit (or closing it) drops that copy. Messages and questions go
// through support::MsgBox; file dialogs, the name prompt of import and Help go
// through the hooks below so another face (or a test) can answer them.

#include "coefficients/coeff_files.h"
#include "coefficients/coefficient_sets.h"

#include <QColor>
#include <QDialog>
#include <QString>

#include <filesystem>
#include <functional>
#include <string>

class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;

namespace halvo::coefficients {

// What a Transfer command asks of its file dialog.
struct FileRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString title;
    QString filter;         // Qt filter syntax
    QString defaultSuffix;  // without the dot; Save only
};
// Returns the chosen path, or "" for Cancel.
using FileChooser = std::function<QString(const FileRequest&)>;

class CoefficientEditor : public QDialog {
    Q_OBJECT
public:
    CoefficientEditor(QWidget* parent, std::filesystem::path extensionFolder);

    void setHelpHandler(std::function<void()> handler) { m_help = std::move(handler); }
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void setTextPrompt(TextPrompt prompt) { m_prompt = std::move(prompt); }

    // For the face that owns the dialog, and for tests.
    bool unsaved() const { return m_unsaved; }
    int shownPosition() const { return m_shown; }
    const CoeffStore& model() const { return m_model; }

    // The current-cell background.
    static QColor CurrentCellColor() { return {255, 255, 192}; }

    // Every way of closing ends here: the copy of the store is dropped.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Event procedures.
    void load();
    void setChosen();
    void apply();
    void quit();
    void newSet();
    void importSet();
    void exportSet();
    void mergeStore();
    void showHelp();
    void enterCell(int row, int col);
    void leaveCell(int row, int col);
    bool gridKeyPress(QKeyEvent* e);
    bool gridMouseDown(QMouseEvent* e);
    bool cellEditorKeyPress(QKeyEvent* e);
    void addRow();
    void insertRow();
    void deleteRow();

    // Private routines.
    void openCellEditor();
    void nextCell();
    void showCurrentCell();
    // A keystroke is refused when the text can no longer become a number;
    // the range is checked when the entry is complete (Enter, moving on), so
    // nothing typed is cut short.
    bool acceptEntry(int col, const QString& typed, const QString& newText, bool complete = false);
    // The open box's entry, complete: false (with the message) when refused.
    bool entryComplete();

    // Grid position of the current cell (row 0 = header row).
    int curRow() const;
    int curCol() const;
    void moveTo(int row, int col);
    void hideTextBox();
    QString shownName() const;
    void setUnsaved(bool on);
    // Grid into the shown set, then the store; messages on failure.
    bool save();
    // The set list again from the model, the shown and selected sets kept by name.
    void relistSets();
    // Settles unsaved changes before New and the Transfer commands.
    bool saveFirst(const char* firstLine);
    QString chooseFile(const FileRequest& request);
    // Commands that need a loaded store or a shown set follow them.
    void refreshCommands();
    template <class F>
    void guarded(const char* procedure, F&& body);

    std::filesystem::path m_ext;
    CoeffStore m_model;
    int m_shown = -99;
    bool m_unsaved = false;
    bool m_loaded = false;       // load has run since the last close
    bool m_storeLoaded = false;  // the store read; otherwise nothing may be saved over it
    QString m_enterText;         // the current cell's text when it was entered
    int m_editRow = -1;          // the cell m_cellEditor edits
    int m_editCol = -1;

    std::function<void()> m_help;
    FileChooser m_chooseFile;
    TextPrompt m_prompt;

    QComboBox* m_setList;
    QTableWidget* m_grid;
    QLineEdit* m_cellEditor;
    QPushButton* m_newButton;
    QPushButton* m_applyButton;
    QPushButton* m_quitButton;
    QPushButton* m_helpButton;
    QPushButton* m_importButton;
    QPushButton* m_exportButton;
    QPushButton* m_mergeButton;
    QMenu* m_rowMenu;
};

}  // namespace halvo::coefficients
