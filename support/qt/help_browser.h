#pragma once
// The help window on help/is_index.html below the extension folder, and the
// About box. Each is one shared instance, shown modeless and rebuilt after it
// was closed.

#include "support/ext_folder.h"

#include <QDialog>

#include <filesystem>
#include <functional>

class QTextBrowser;
class QPushButton;

namespace halvo::support {

class HelpBrowser : public QDialog {
    Q_OBJECT
public:
    // The pages are the extension folder's help/, else those installed in sharedData.
    HelpBrowser(QWidget* parent, std::filesystem::path extensionFolder,
                std::filesystem::path sharedData = SharedDataFolder());
    // Opens the index page, or says that it is missing (the window opens anyway).
    void load();
    // Opens a page of help/ (a file name such as "density.html"), or says that it is missing.
    void showPage(const QString& page);
    QTextBrowser* browser() const { return brwHelpPage_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    std::filesystem::path ext_;
    std::filesystem::path shared_;
    QTextBrowser* brwHelpPage_;
    QPushButton* closeButton_;
};

// Pixels for the old layout's twips (15 to a pixel).
constexpr int Twips(int twips) { return (twips + 7) / 15; }

// The shared help window on `page`: created on first use, raised afterwards.
HelpBrowser* ShowHelpBrowser(const std::filesystem::path& extensionFolder, QWidget* parent = nullptr,
                             const QString& page = QStringLiteral("is_index.html"));
// F1 (the platform's help key) in `window` and its controls calls `open`.
void InstallHelpKey(QWidget* window, std::function<void()> open);
// Closes the shared windows (the plugin does so before it is unloaded).
void CloseSharedWindows();

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr, const std::filesystem::path& extensionFolder = ExtensionFolder());
};

AboutDialog* ShowAbout(QWidget* parent = nullptr);
void CloseAboutBox();

// "Version 2.1.15" for 2, 1, 15.
QString VersionText(int major, int minor, int revision);
// The version of this build.
QString VersionText();

// The icon shipped inside the library.
QString IconPath();

}  // namespace halvo::support
