#include "support/qt/qt_ui.h"

#include "support/ext_folder.h"
#include "support/qt/processing.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTranslator>
#include <QVBoxLayout>

namespace halvo::support {

QString DisplayText(std::string_view text)
{
    QString s = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

namespace {
// Removes the translation from the application before it goes.
class InstalledTranslator final : public QTranslator {
public:
    ~InstalledTranslator() override { QCoreApplication::removeTranslator(this); }
};
}  // namespace

std::unique_ptr<QTranslator> InstallTranslation(const std::filesystem::path& extensionFolder, const QString& locale)
{
    if (locale.isEmpty() || locale.startsWith(QLatin1String("en")))
        return nullptr;
    auto t = std::make_unique<InstalledTranslator>();
    // "fr_FR" finds halvo_fr_FR.qm or else halvo_fr.qm. An installed plugin's
    // per-user folder has none: the package keeps them with its other shared files.
    for (const auto& folder : {extensionFolder / "i18n", ProgramFolder() / "i18n", SharedDataFolder() / "i18n"})
        if (t->load(QStringLiteral("halvo_") + locale, QString::fromStdString(folder.string()))) {
            QCoreApplication::installTranslator(t.get());
            return t;
        }
    return nullptr;
}

QString TranslatedText(std::string_view text)
{
    const std::string key(text);
    return DisplayText(QCoreApplication::translate("halvo::Messages", key.c_str()).toStdString());
}

CallStackWindow::CallStackWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCallStack"));
    setWindowTitle(tr("Halvo Error Report"));
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("txtReport"));
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Long messages wrap: nobody should have to scroll sideways to read the cause.
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* copy = new QPushButton(tr("Copy"), this);
    copy->setObjectName(QStringLiteral("cmdCopy"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this, &CallStackWindow::copyToClipboard);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    resize(640, 320);
}

void CallStackWindow::setReport(std::string_view report)
{
    report_ = QString::fromUtf8(report.data(), static_cast<int>(report.size()));
    text_->setPlainText(DisplayText(report));
}

void CallStackWindow::copyToClipboard()
{
    if (auto* cb = QApplication::clipboard())
        cb->setText(text_->toPlainText());
}

QtUi::QtUi() = default;

QtUi::~QtUi() { delete window_.data(); }

Answer QtUi::message(std::string_view text, std::string_view title, Icon icon, Buttons buttons)
{
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::Critical: qicon = QMessageBox::Critical; break;
    case Icon::Question: qicon = QMessageBox::Question; break;
    case Icon::Exclamation: qicon = QMessageBox::Warning; break;
    case Icon::Information: qicon = QMessageBox::Information; break;
    case Icon::None: break;
    }
    QMessageBox::StandardButtons qbuttons = QMessageBox::Ok;
    switch (buttons) {
    case Buttons::OK: qbuttons = QMessageBox::Ok; break;
    case Buttons::OKCancel: qbuttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case Buttons::YesNo: qbuttons = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::YesNoCancel: qbuttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    // A busy pointer left by a run would otherwise sit over the question.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    // The notice stays on top of everything; it must not cover the question.
    QPointer<ProcessingNotice> notice = ProcessingNotice::current();
    if (notice)
        notice->hide();
    QMessageBox box(qicon, TranslatedText(title), TranslatedText(text), qbuttons, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("halvoMessage"));
    const int r = box.exec();
    if (notice)
        notice->show();
    if (busy)
        QApplication::restoreOverrideCursor();
    switch (r) {
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default:
        // Closing the box counts as its cautious answer.
        if (buttons == Buttons::YesNo)
            return r == QMessageBox::Ok ? Answer::OK : Answer::No;
        if (buttons == Buttons::OKCancel || buttons == Buttons::YesNoCancel)
            return r == QMessageBox::Ok ? Answer::OK : Answer::Cancel;
        return Answer::OK;
    }
}

void QtUi::showCallStack(std::string_view report)
{
    if (!window_)
        window_ = new CallStackWindow(QApplication::activeWindow());
    window_->setReport(report);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void QtUi::progress(std::string_view stage, double fraction)
{
    if (auto* notice = ProcessingNotice::current())
        notice->setStage(DisplayText(stage), fraction);
    // Keep the windows painted, but let no click start anything mid-run: with
    // the notice up only its Cancel button takes input (it is modal).
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastPump_ >= 50) {
        lastPump_ = now;
        QApplication::processEvents(ProcessingNotice::current() ? QEventLoop::AllEvents
                                                                : QEventLoop::ExcludeUserInputEvents);
    }
}

bool QtUi::canceled() const
{
    const ProcessingNotice* notice = ProcessingNotice::current();
    return notice && notice->cancelRequested();
}

}  // namespace halvo::support
