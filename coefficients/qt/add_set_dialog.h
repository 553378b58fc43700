#pragma once
// The new-set dialog: a unique name, and optionally an existing set whose
// classes start the new one. It puts the name into the editor's set list and
// fills the editor's grid; the set reaches the store with the editor's next save.

#include "coefficients/coefficient_sets.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace halvo::coefficients {

class AddSetDialog : public QDialog {
    Q_OBJECT
public:
    // `editorList` and `editorGrid` are the editor's set list and grid, which
    // must outlive this dialog.
    AddSetDialog(QComboBox& editorList, QTableWidget& editorGrid, QWidget* parent);

    // The model the sets to model after come from; set before showing.
    void setModel(const CoeffStore& model) { m_model = &model; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void load();
    void modelAfterToggled();
    void acceptEntries();
    void rejectEntries();

    QComboBox& m_editorList;
    QTableWidget& m_editorGrid;
    const CoeffStore* m_model = nullptr;

    QLineEdit* m_nameBox;
    QCheckBox* m_modelAfter;
    QLabel* m_modelAfterLabel;
    QComboBox* m_setList;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
};

}  // namespace halvo::coefficients
