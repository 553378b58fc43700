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
    "Halvo is free software, written and maintained by the Halvo developers. The coefficients it ships are "
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
    auto* lblTitle = new QLabel(QStringLiteral("Halvo"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTitle->setFont(big);
    auto* lblVersion = new QLabel(VersionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    auto* lblDescription = new QLabel(tr(kDescription), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    auto* lblDisclaimer = new QLabel(tr(kCredit) + QStringLiteral("\n\r\n") + tr(kContact), this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    // Installed, the coefficient sets and outputs live in a per-user folder; say which.
    auto* lblFolder = new QLabel(tr("Extension folder: ") + QString::fromStdString(extensionFolder.string()), this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setWordWrap(true);
    lblFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    // Esc rejects, which closes the box like OK does.
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    grid->addWidget(lblDisclaimer, 3, 1);
    grid->addWidget(lblFolder, 4, 1);
    grid->addWidget(cmdOK, 5, 1, Qt::AlignRight);
    // Wrapped text gets the height its width needs, at any font size and language.
    const int textWidth = fontMetrics().averageCharWidth() * 52;
    for (QLabel* l : {lblDescription, lblDisclaimer, lblFolder}) {
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
