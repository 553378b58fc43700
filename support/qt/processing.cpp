#include "support/qt/processing.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace halvo::support {

namespace {
ProcessingNotice* shown = nullptr;
}

ProcessingNotice::ProcessingNotice(QWidget* owner)
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmISProcessing"));
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setWindowModality(Qt::ApplicationModal);
    label1_ = new QLabel(tr(kCaption), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setAlignment(Qt::AlignCenter);
    label1_->setWordWrap(true);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("prgStage"));
    bar_->setRange(0, 0);
    bar_->setTextVisible(true);
    bar_->setFormat(QString());
    cancelButton_ = new QPushButton(tr("Cancel"), this);
    cancelButton_->setObjectName(QStringLiteral("cmdCancel"));
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        canceled_ = true;
        cancelButton_->setEnabled(false);
        label1_->setText(tr("Canceling..."));
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(label1_);
    layout->addWidget(bar_);
    layout->addLayout(buttons);
    // Wide enough for the caption on one line at the font in use.
    setMinimumWidth(label1_->fontMetrics().horizontalAdvance(label1_->text()) + 48);
}

ProcessingNotice::~ProcessingNotice()
{
    if (shown == this)
        shown = nullptr;
}

ProcessingNotice* ProcessingNotice::current() { return shown; }

void ProcessingNotice::setStage(const QString& stage, double fraction)
{
    if (fraction < 0) {
        bar_->setRange(0, 0);
        bar_->setFormat(stage);
    } else {
        bar_->setRange(0, 1000);
        bar_->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000));
        bar_->setFormat(stage + QStringLiteral(" %p%"));
    }
    bar_->setToolTip(stage);
}

void ProcessingNotice::showEvent(QShowEvent* e)
{
    shown = this;
    if (auto* owner = parentWidget()) {
        adjustSize();
        const QRect r = owner->frameGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
    QFrame::showEvent(e);
}

void ProcessingNotice::hideEvent(QHideEvent* e)
{
    if (shown == this)
        shown = nullptr;
    QFrame::hideEvent(e);
}

}  // namespace halvo::support
