#pragma once
// The please-wait notice shown while a run blocks the desktop, with the name
// and progress of the stage under way.

#include <QFrame>

class QLabel;
class QProgressBar;

namespace halvo::support {

class frmISProcessing : public QFrame {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Performing Impervious Surface Analysis.  Please wait...";

    // Owned by `owner`, drawn without a caption over it.
    explicit frmISProcessing(QWidget* owner);
    ~frmISProcessing() override;

    // The notice on screen now, if any; progress reports go there.
    static frmISProcessing* current();

    // fraction < 0: the stage's length is unknown.
    void setStage(const QString& stage, double fraction);

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    QLabel* label1_;
    QProgressBar* bar_;
};

}  // namespace halvo::support
