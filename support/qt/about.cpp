#include "support/qt/help_browser.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

// Resources of a static library are registered by hand, outside any namespace.
static void initHalvoResources() { Q_INIT_RESOURCE(support_qt); }

namespace halvo::support {

namespace {
QPointer<AboutDialog> sharedAbout;

const char* const kDescription = QT_TRANSLATE_NOOP(
    "halvo::support::AboutDialog",
    "The Halvo uses a land cover grid to estimate the impervious surface area for polygon features within a "
    "shapefile based on coefficients of imperviousness for each land cover type.");
const char* const kCredit = QT_TRANSLATE_NOOP(
    "halvo::support::AboutDialog",
    "Halvo is free software under the GNU General Public License, version 2 or later, written and maintained "
    "by the Halvo developers. The coefficients it ships are "
    "estimates from published land-cover studies; check them against local conditions before relying on the "
    "results.");
const char* const kContact =
    QT_TRANSLATE_NOOP("halvo::support::AboutDialog", "Contact: the Halvo project's issue tracker.");
}  // namespace

QString IconPath()
{
    initHalvoResources();
    return QStringLiteral(":/halvo/halvo.svg");
}

QString VersionText(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString VersionText() { return VersionText(HALVO_VERSION_MAJOR, HALVO_VERSION_MINOR, HALVO_VERSION_PATCH); }

AboutDialog::AboutDialog(QWidget* parent, const std::filesystem::path& extensionFolder) : QDialog(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmISAbout"));
    setWindowTitle(tr("About Halvo"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(QIcon(IconPath()).pixmap(48, 48));
    auto* title = new QLabel(QStringLiteral("Halvo"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    auto* version = new QLabel(VersionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* description = new QLabel(tr(kDescription), this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);
    auto* disclaimer = new QLabel(tr(kCredit) + QStringLiteral("\n\r\n") + tr(kContact), this);
    disclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    disclaimer->setWordWrap(true);
    // Installed, the coefficient sets and outputs live in a per-user folder; say which.
    auto* folder = new QLabel(tr("Extension folder: ") + QString::fromStdString(extensionFolder.string()), this);
    folder->setObjectName(QStringLiteral("lblFolder"));
    folder->setWordWrap(true);
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* okButton = new QPushButton(tr("OK"), this);
    okButton->setObjectName(QStringLiteral("cmdOK"));
    okButton->setDefault(true);
    okButton->setAutoDefault(true);
    // Esc rejects, which closes the box like OK does.
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(title, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(description, 2, 1);
    grid->addWidget(disclaimer, 3, 1);
    grid->addWidget(folder, 4, 1);
    grid->addWidget(okButton, 5, 1, Qt::AlignRight);
    // Wrapped text gets the height its width needs, at any font size and language.
    const int textWidth = fontMetrics().averageCharWidth() * 52;
    for (QLabel* l : {description, disclaimer, folder}) {
        l->setFixedWidth(textWidth);
        l->setMinimumHeight(l->heightForWidth(textWidth));
    }
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

AboutDialog* ShowAbout(QWidget* parent)
{
    if (!sharedAbout)
        sharedAbout = new AboutDialog(parent);
    sharedAbout->show();
    sharedAbout->raise();
    sharedAbout->activateWindow();
    return sharedAbout.data();
}

void CloseAboutBox() { delete sharedAbout.data(); }

}  // namespace halvo::support
