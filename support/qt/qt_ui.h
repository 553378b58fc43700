#pragma once
// The desktop answer to support::Ui: message boxes with the toolkit's icons and
// buttons, the call-stack window for error reports, and stage progress shown
// in the please-wait notice while a run blocks the user-interface thread.

#include "support/error_reporting.h"
#include "support/ui.h"

#include <QDialog>
#include <QPointer>

#include <filesystem>
#include <memory>

class QPlainTextEdit;
class QTranslator;
class QPushButton;

namespace halvo::support {

// Shows an error report as selectable text, with a button that copies it whole.
class CallStackWindow : public QDialog {
    Q_OBJECT
public:
    explicit CallStackWindow(QWidget* parent = nullptr);
    // The report as the reporter built it (CR LF line ends).
    void setReport(std::string_view report);
    QString report() const { return report_; }

public slots:
    void copyToClipboard();

private:
    QString report_;
    QPlainTextEdit* text_;
};

class QtUi final : public Ui {
public:
    QtUi();
    ~QtUi() override;
    QtUi(const QtUi&) = delete;
    QtUi& operator=(const QtUi&) = delete;

    Answer message(std::string_view text, std::string_view title, Icon icon, Buttons buttons) override;
    void showCallStack(std::string_view report) override;
    void progress(std::string_view stage, double fraction) override;
    // The Cancel button of the please-wait notice.
    bool canceled() const override;

    // The window of the last report; null before the first.
    CallStackWindow* callStackWindow() const { return window_.data(); }

private:
    QPointer<CallStackWindow> window_;
    qint64 lastPump_ = 0;
};

// Engine texts break lines with CR (and sometimes CR LF); Qt wants LF.
QString DisplayText(std::string_view text);
// Halvo's translation for `locale` ("fr", "de_DE", ...) from <extension>/i18n
// or else the installed share/halvo/i18n, installed in the application until the object is destroyed; null when there
// is none (English is the texts themselves).
std::unique_ptr<QTranslator> InstallTranslation(const std::filesystem::path& extensionFolder, const QString& locale);

// The text in the user's language when a translation holds it whole, as shown.
QString TranslatedText(std::string_view text);

// A dialog's event handler (a button, a list, a key, a map event) is the top
// of its call chain: a failure below one ends here, reported under the
// handler's procedure and module names (the error report's data), and the
// dialog goes on. The desktop's one catch for its handlers.
template <class F>
void Handle(std::string_view procedure, std::string_view module, F&& body)
{
    GuardedVoid(procedure, module, true, std::forward<F>(body));
}

}  // namespace halvo::support
