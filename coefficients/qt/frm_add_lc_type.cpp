#include "coefficients/qt/frm_add_lc_type.h"

#include "coefficients/qt/lc_grid.h"
#include "support/error_reporting.h"
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

    auto* lblLCType = new QLabel(tr("Coefficient Set"), this);
    lblLCType->setObjectName(QStringLiteral("lblLCType"));
    txtLCType = new QLineEdit(this);
    txtLCType->setObjectName(QStringLiteral("txtLCType"));
    lblLCType->setBuddy(txtLCType);

    ChkModelAfter = new QCheckBox(tr("Model after existing Coefficient Set"), this);
    ChkModelAfter->setObjectName(QStringLiteral("ChkModelAfter"));
    lblModelAfter = new QLabel(tr("Model After"), this);
    lblModelAfter->setObjectName(QStringLiteral("lblModelAfter"));
    cboLCType = new QComboBox(this);
    cboLCType->setObjectName(QStringLiteral("cboLCType"));
    lblModelAfter->setBuddy(cboLCType);

    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(tr("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* fields = new QGridLayout;
    fields->addWidget(lblLCType, 0, 0);
    fields->addWidget(txtLCType, 0, 1);
    fields->addWidget(ChkModelAfter, 1, 0, 1, 2);
    fields->addWidget(lblModelAfter, 2, 0);
    fields->addWidget(cboLCType, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* main = new QVBoxLayout(this);
    main->addLayout(fields);
    main->addLayout(buttons);

    auto guard = [](const char* procedure, auto body) {
        return [procedure, body] { support::GuardedVoid(procedure, kForm, true, body); };
    };
    connect(ChkModelAfter, &QCheckBox::clicked, this, guard("ChkModelAfter_Click", [this] { modelAfterToggled(); }));
    connect(cmdOK, &QPushButton::clicked, this, guard("cmdOK_Click", [this] { acceptEntries(); }));
    connect(cmdCancel, &QPushButton::clicked, this, guard("cmdCancel_Click", [this] { rejectEntries(); }));
}

void AddSetDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        support::GuardedVoid("Form_Load", kForm, true, [this] { load(); });
}

void AddSetDialog::load()
{
    if (m_model)
        LoadLCTypeCombobox(*cboLCType, *m_model);
    else
        cboLCType->clear();
    ChkModelAfter->setChecked(false);
    cboLCType->setEnabled(false);
    lblModelAfter->setEnabled(false);
}

void AddSetDialog::modelAfterToggled()
{
    const bool on = ChkModelAfter->isChecked();
    cboLCType->setEnabled(on);
    lblModelAfter->setEnabled(on);
}

void AddSetDialog::rejectEntries() { reject(); }

void AddSetDialog::acceptEntries()
{
    if (txtLCType->text().isEmpty()) {
        reject();
        return;
    }
    const QString name = txtLCType->text().trimmed();
    if (inComboBox(m_editorList, name)) {
        support::MsgBox("Coefficient Set must be unique - '" + StdStr(txtLCType->text()) + "' is already defined.",
                        support::Buttons::OK, support::Icon::Exclamation);
        return;
    }
    // Selecting the new entry lets the editor switch to it: an empty grid.
    m_editorList.addItem(name);
    m_editorList.setCurrentIndex(m_editorList.count() - 1);

    if (ChkModelAfter->isChecked() && cboLCType->currentIndex() >= 0 && m_model) {
        LoadLCGrid(m_editorGrid, StdStr(cboLCType->currentText()), *m_model);
    } else {
        SetGridRows(m_editorGrid, 1);
        SetLCGridHeaders(m_editorGrid);
        SetGridRows(m_editorGrid, 3);
    }
    accept();
}

}  // namespace halvo::coefficients
