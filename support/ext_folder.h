#pragma once
// The extension folder, holding etc/, temp/ and output/: HALVO_HOME when set;
// else the folder of the program or library when it is writable and holds
// etc/ (a build tree); else a per-user folder, made on first use with its
// store copied from the installed one.

#include "support/folder_lock.h"

#include <filesystem>
#include <string>

namespace halvo::support {

std::filesystem::path ExtensionFolder();

// Where the installed read-only files live (etc/isprops.xml, help/): share/halvo below the install prefix.
std::filesystem::path SharedDataFolder();

// The folder of the program or plugin library: an installed plugin's help/ and i18n/ are there.
std::filesystem::path ProgramFolder();

// What the extension folder is chosen from; ExtensionFolder() fills it from the environment.
struct FolderPlaces {
    std::string halvoHome;                // HALVO_HOME
    std::filesystem::path programFolder;  // the folder of the program or plugin library
    std::string xdgDataHome;              // XDG_DATA_HOME
    std::string home;                     // HOME
    std::filesystem::path sharedData;     // seeds a new per-user folder
};
FolderPlaces CurrentPlaces();
// Chooses the folder; a per-user folder is made and seeded here.
std::filesystem::path ResolveExtensionFolder(const FolderPlaces& places);

// The help pages: help/ of the extension folder, else of the plugin's folder, else the shared ones.
std::filesystem::path HelpFolder(const std::filesystem::path& extensionFolder,
                                 const std::filesystem::path& sharedData = SharedDataFolder(),
                                 const std::filesystem::path& programFolder = ProgramFolder());

// Why the folder cannot serve as the extension folder: it, or a folder on
// its path, is a file or a device, or its path loops through symbolic links.
// Empty when it can, also when it does not exist yet (then the store is
// simply missing).
std::string ExtensionFolderFault(const std::filesystem::path& extensionFolder);

// Makes temp/ and output/ below the folder if they are missing.
void EnsureWorkingFolders(const std::filesystem::path& extensionFolder);

inline std::filesystem::path StorePath(const std::filesystem::path& ext) { return ext / "etc" / "isprops.xml"; }
inline std::filesystem::path TempFolder(const std::filesystem::path& ext) { return ext / "temp"; }

}  // namespace halvo::support

namespace halvo::support {

// Holds the extension folder's temp/ for one run: a second run against the
// same folder waits until the first has finished (LockFolder: it says so,
// naming the process, and gives up after the SetLockWait time). Leftovers of
// a run that was killed (its scratch folders) are removed on entry; nothing
// else in temp/ is touched. A temp/ that is a symbolic link is refused.
class TempLock {
public:
    explicit TempLock(const std::filesystem::path& extensionFolder);

private:
    OwnedFd fd_;
};

}  // namespace halvo::support

namespace halvo::support {

// A run's own scratch folder below temp/, made with a fresh unique name
// ("run-XXXXXX"); removed with everything in it when the run ends.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::filesystem::path& tempFolder);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// True for the name of a scratch folder.
bool IsScratchName(const std::string& name);

}  // namespace halvo::support
