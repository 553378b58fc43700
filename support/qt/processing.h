#pragma once
// The please-wait notice shown while a run blocks the desktop, with the name
// and progress of the stage under way and a Cancel button. While it is up it
// is the only window that takes input.

#include <QFrame>

class QLabel;
class QProgressBar;
class QPushButton;

namespace halvo::support {

class ProcessingNotice : public QFrame {
    Q_OBJECT
public:
    static constexpr const char* kCaption = QT_TR_NOOP("Performing Impervious Surface Analysis.  Please wait...");

    // Owned by `owner`, drawn without a caption over it.
    explicit ProcessingNotice(QWidget* owner);
    ~ProcessingNotice() override;

    // The notice on screen now, if any; progress reports go there.
    static ProcessingNotice* current();

    // fraction < 0: the stage's length is unknown.
    void setStage(const QString& stage, double fraction);

    // True once Cancel was pressed; the run stops at its next check.
    bool cancelRequested() const { return canceled_; }
    QPushButton* cancelButton() const { return cancelButton_; }

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    QLabel* label1_;
    QProgressBar* bar_;
    QPushButton* cancelButton_;
    bool canceled_ = false;
};

}  // namespace halvo::support
