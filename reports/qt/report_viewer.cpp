#include "reports/qt/report_viewer.h"

#include "reports/report_files.h"
#include "support/qt/qt_ui.h"
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

ReportViewer::ReportViewer(QWidget* parent)
    : QDialog(parent), label_(new QLabel(tr("Select a Layer:"), this)), layerList_(new QComboBox(this)),
      folderList_(new QListWidget(this)), text_(new QPlainTextEdit(this)),
      closeButton_(new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), tr("Close"), this))
{
    setObjectName(QStringLiteral("frmISTParams"));
    label_->setObjectName(QStringLiteral("lblSelLayer"));
    layerList_->setObjectName(QStringLiteral("cboSelLayers"));
    folderList_->setObjectName(QStringLiteral("lstSelLayers"));
    text_->setObjectName(QStringLiteral("txtTParams"));
    closeButton_->setObjectName(QStringLiteral("cmdClose"));
    folderList_->hide();
    // Long lines (an abstract, a path) wrap: nobody should scroll sideways to read a report.
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setFont(QFont(QStringLiteral("Monospace")));
    setModal(false);
    auto* top = new QHBoxLayout;
    top->addWidget(label_);
    top->addWidget(layerList_, 1);
    top->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(text_, 1);
    resize(640, 480);

    connect(layerList_, qOverload<int>(&QComboBox::activated), this, [this](int i) { showReport(i); });
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::close);
}

bool ReportViewer::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && !activating_) {
        // Deferred: the viewer may close itself, which must not happen inside the activation.
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                refresh();
        });
    }
    return QDialog::event(e);
}

void ReportViewer::refresh()
{
    activating_ = true;
    support::Handle("Form_Activate", kModule, [&] {
        layerList_->clear();
        folderList_->clear();
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
            layerList_->addItem(QString::fromStdString(name));
            folderList_->addItem(QString::fromStdString((folder / "").string()));
        }
        layerList_->setCurrentIndex(0);
        showReport(0);
    });
    activating_ = false;
}

void ReportViewer::showReport(int index)
{
    support::Handle("cboSelLayers_Click", kModule, [&] {
        folderList_->setCurrentRow(index);
        const std::string folder = folderList_->item(index)->text().toStdString();
        const std::string layer = layerList_->itemText(index).toStdString();
        QString text = QString::fromStdString(ReadReport(std::filesystem::path(folder) / (layer + "." + fileType_)));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text_->setPlainText(text);
        setWindowTitle(QString::fromStdString((fileType_ == "prm" ? "Halvo Parameters for " : "Halvo Metadata for ") +
                                              layer + ".shp"));
    });
}

}  // namespace halvo::reports
