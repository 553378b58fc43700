#include "reports/qt/frm_is_t_params.h"

#include "reports/report_files.h"
#include "support/error_reporting.h"
#include "support/ui.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace halvo::reports {

namespace {
constexpr const char* kModule = "frmISTParams";
}

frmISTParams::frmISTParams(QWidget* parent)
    : QDialog(parent), lblSelLayer_(new QLabel(tr("Select a Layer:"), this)), cboSelLayers_(new QComboBox(this)),
      lstSelLayers_(new QListWidget(this)), txtTParams_(new QPlainTextEdit(this)),
      cmdClose_(new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), tr("Close"), this))
{
    setObjectName(QStringLiteral("frmISTParams"));
    lblSelLayer_->setObjectName(QStringLiteral("lblSelLayer"));
    cboSelLayers_->setObjectName(QStringLiteral("cboSelLayers"));
    lstSelLayers_->setObjectName(QStringLiteral("lstSelLayers"));
    txtTParams_->setObjectName(QStringLiteral("txtTParams"));
    cmdClose_->setObjectName(QStringLiteral("cmdClose"));
    lstSelLayers_->hide();
    txtTParams_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtTParams_->setFont(QFont(QStringLiteral("Monospace")));
    setModal(false);
    auto* top = new QHBoxLayout;
    top->addWidget(lblSelLayer_);
    top->addWidget(cboSelLayers_, 1);
    top->addWidget(cmdClose_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(txtTParams_, 1);
    resize(640, 480);

    connect(cboSelLayers_, qOverload<int>(&QComboBox::activated), this, [this](int i) { cboSelLayers_Click(i); });
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::close);
}

bool frmISTParams::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && !activating_) {
        // Deferred: the viewer may close itself, which must not happen inside the activation.
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                Form_Activate();
        });
    }
    return QDialog::event(e);
}

void frmISTParams::Form_Activate()
{
    activating_ = true;
    support::GuardedVoid("Form_Activate", kModule, true, [&] {
        cboSelLayers_->clear();
        lstSelLayers_->clear();
        const host::Map* map = map_ ? map_() : nullptr;
        const auto found = map ? GetReportLayers(*map, fileType_) : decltype(GetReportLayers(*map, fileType_)){};
        if (found.empty()) {
            hide();
            const bool prm = fileType_ == "prm";
            support::MsgBox(prm ? "There are no layers with an associated \"Parameters\" file."
                                : "There are no layers with an associated \"Metadata\" file.",
                            support::Buttons::OK, support::Icon::None,
                            prm ? "No Parameter Files" : "No Metadata Files");
            close();
            return;
        }
        reportCount_ = static_cast<int>(found.size());
        for (const auto& [name, folder] : found) {
            cboSelLayers_->addItem(QString::fromStdString(name));
            lstSelLayers_->addItem(QString::fromStdString((folder / "").string()));
        }
        cboSelLayers_->setCurrentIndex(0);
        cboSelLayers_Click(0);
    });
    activating_ = false;
}

void frmISTParams::cboSelLayers_Click(int index)
{
    support::GuardedVoid("cboSelLayers_Click", kModule, true, [&] {
        lstSelLayers_->setCurrentRow(index);
        const std::string folder = lstSelLayers_->item(index)->text().toStdString();
        const std::string layer = cboSelLayers_->itemText(index).toStdString();
        QString text = QString::fromStdString(ReadReport(std::filesystem::path(folder) / (layer + "." + fileType_)));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        txtTParams_->setPlainText(text);
        setWindowTitle(QString::fromStdString((fileType_ == "prm" ? "Halvo Parameters for " : "Halvo Metadata for ") +
                                              layer + ".shp"));
    });
}

}  // namespace halvo::reports
