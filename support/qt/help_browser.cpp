#include "support/qt/help_browser.h"

#include "support/qt/qt_ui.h"
#include "support/ui.h"

#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>

#include <algorithm>

namespace halvo::support {

namespace {
QPointer<HelpBrowser> sharedHelp;
}

HelpBrowser::HelpBrowser(QWidget* parent, std::filesystem::path extensionFolder, std::filesystem::path sharedData)
    : QDialog(parent, Qt::Window), ext_(std::move(extensionFolder)), shared_(std::move(sharedData))
{
    setObjectName(QStringLiteral("frmHelpBrowser2"));
    setWindowTitle(tr("Halvo Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    brwHelpPage_ = new QTextBrowser(this);
    brwHelpPage_->setObjectName(QStringLiteral("brwHelpPage"));
    brwHelpPage_->setOpenExternalLinks(true);
    brwHelpPage_->move(Twips(120), Twips(120));
    closeButton_ = new QPushButton(tr("Close"), this);
    closeButton_->setObjectName(QStringLiteral("cmdClose"));
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::close);
    resize(760, 620);
}

void HelpBrowser::load() { showPage(QStringLiteral("is_index.html")); }

void HelpBrowser::showPage(const QString& name)
{
    Handle("Form_Load", "isHelpBrowser2", [&] {
        const std::filesystem::path page = HelpFolder(ext_, shared_) / name.toStdString();
        std::error_code ec;
        if (std::filesystem::is_regular_file(page, ec))
            brwHelpPage_->setSource(QUrl::fromLocalFile(QString::fromStdString(page.string())));
        else
            MsgBox("The Halvo help file (" + page.string() + ") does not exist.", Buttons::OK, Icon::Exclamation);
    });
}

void HelpBrowser::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    // The browser follows the window: 300 twips narrower, 720 twips lower.
    const QSize outer = frameGeometry().size();
    brwHelpPage_->setGeometry(Twips(120), Twips(120), std::max(0, outer.width() - Twips(300)),
                              std::max(0, outer.height() - Twips(720)));
    const QRect b = brwHelpPage_->geometry();
    const QSize button = closeButton_->sizeHint().expandedTo(QSize(80, std::max(22, Twips(375))));
    closeButton_->setGeometry(b.right() - button.width(), b.bottom() + 6, button.width(), button.height());
}

HelpBrowser* ShowHelpBrowser(const std::filesystem::path& extensionFolder, QWidget* parent, const QString& page)
{
    if (!sharedHelp)
        sharedHelp = new HelpBrowser(parent, extensionFolder);
    sharedHelp->showPage(page);
    sharedHelp->show();
    sharedHelp->raise();
    sharedHelp->activateWindow();
    return sharedHelp.data();
}

void InstallHelpKey(QWidget* window, std::function<void()> open)
{
    auto* key = new QShortcut(QKeySequence::HelpContents, window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window, std::move(open));
}

void CloseSharedWindows()
{
    delete sharedHelp.data();
    CloseAboutBox();
}

}  // namespace halvo::support
