#include "coefficients/qt/add_set_dialog.h"

#include "coefficients/qt/lc_grid.h"
#include "support/qt/qt_ui.h"
#include "support/ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace halvo::coefficients {

namespace {
constexpr const char* kForm = "frmAddLCType";
}

AddSetDialog::AddSetDialog(QComboBox& editorList, QTableWidget& editorGrid, QWidget* parent)
    : QDialog(parent), m_editorList(editorList), m_editorGrid(editorGrid)
{
    setObjectName(kForm);
    setWindowTitle(tr("Add Coefficient Set"));
    setModal(true);

    auto* nameLabel = new QLabel(tr("Coefficient Set"), this);
    nameLabel->setObjectName(QStringLiteral("lblLCType"));
    m_nameBox = new QLineEdit(this);
    m_nameBox->setObjectName(QStringLiteral("txtLCType"));
    nameLabel->setBuddy(m_nameBox);

    m_modelAfter = new QCheckBox(tr("Model after existing Coefficient Set"), this);
    m_modelAfter->setObjectName(QStringLiteral("ChkModelAfter"));
    m_modelAfterLabel = new QLabel(tr("Model After"), this);
    m_modelAfterLabel->setObjectName(QStringLiteral("lblModelAfter"));
    m_setList = new QComboBox(this);
    m_setList->setObjectName(QStringLiteral("cboLCType"));
    m_modelAfterLabel->setBuddy(m_setList);

    m_okButton = new QPushButton(tr("OK"), this);
    m_okButton->setObjectName(QStringLiteral("cmdOK"));
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cmdCancel"));

    auto* fields = new QGridLayout;
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(m_nameBox, 0, 1);
    fields->addWidget(m_modelAfter, 1, 0, 1, 2);
    fields->addWidget(m_modelAfterLabel, 2, 0);
    fields->addWidget(m_setList, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    auto* main = new QVBoxLayout(this);
    main->addLayout(fields);
    main->addLayout(buttons);

    auto guard = [](const char* procedure, auto body) {
        return [procedure, body] { support::Handle(procedure, kForm, body); };
    };
    connect(m_modelAfter, &QCheckBox::clicked, this, guard("ChkModelAfter_Click", [this] { modelAfterToggled(); }));
    connect(m_okButton, &QPushButton::clicked, this, guard("cmdOK_Click", [this] { acceptEntries(); }));
    connect(m_cancelButton, &QPushButton::clicked, this, guard("cmdCancel_Click", [this] { rejectEntries(); }));
}

void AddSetDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        support::Handle("Form_Load", kForm, [this] { load(); });
}

void AddSetDialog::load()
{
    if (m_model)
        LoadLCTypeCombobox(*m_setList, *m_model);
    else
        m_setList->clear();
    m_modelAfter->setChecked(false);
    m_setList->setEnabled(false);
    m_modelAfterLabel->setEnabled(false);
}

void AddSetDialog::modelAfterToggled()
{
    const bool on = m_modelAfter->isChecked();
    m_setList->setEnabled(on);
    m_modelAfterLabel->setEnabled(on);
}

void AddSetDialog::rejectEntries() { reject(); }

void AddSetDialog::acceptEntries()
{
    if (m_nameBox->text().isEmpty()) {
        reject();
        return;
    }
    const QString name = m_nameBox->text().trimmed();
    if (inComboBox(m_editorList, name)) {
        support::MsgBox("Coefficient Set must be unique - '" + StdStr(m_nameBox->text()) + "' is already defined.",
                        support::Buttons::OK, support::Icon::Exclamation);
        return;
    }
    // Selecting the new entry lets the editor switch to it: an empty grid.
    m_editorList.addItem(name);
    m_editorList.setCurrentIndex(m_editorList.count() - 1);

    if (m_modelAfter->isChecked() && m_setList->currentIndex() >= 0 && m_model) {
        LoadLCGrid(m_editorGrid, StdStr(m_setList->currentText()), *m_model);
    } else {
        SetGridRows(m_editorGrid, 1);
        SetLCGridHeaders(m_editorGrid);
        SetGridRows(m_editorGrid, 3);
    }
    accept();
}

}  // namespace halvo::coefficients
