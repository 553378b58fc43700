#pragma once
// The extension folder: where the program or library lives, holding etc/,
// temp/, output/ and help/. HALVO_HOME overrides it.

#include <filesystem>
#include <functional>
#include <string>

namespace halvo::support {

std::filesystem::path ExtensionFolder();

// Makes temp/ and output/ below the folder if they are missing.
void EnsureWorkingFolders(const std::filesystem::path& extensionFolder);

inline std::filesystem::path StorePath(const std::filesystem::path& ext) { return ext / "etc" / "isprops.xml"; }
inline std::filesystem::path TempFolder(const std::filesystem::path& ext) { return ext / "temp"; }

}  // namespace halvo::support

namespace halvo::support {

// Holds the extension folder's temp/ for one run: a second run against the
// same folder waits until the first has finished. Leftovers of a run that was
// killed (its scratch folders) are removed on entry; nothing else in temp/ is
// touched. A temp/ that is a symbolic link is refused.
class TempLock {
public:
    // `waiting` is called once if another run holds the folder.
    explicit TempLock(const std::filesystem::path& extensionFolder, const std::function<void()>& waiting = {});
    ~TempLock();
    TempLock(const TempLock&) = delete;
    TempLock& operator=(const TempLock&) = delete;

private:
    int fd_ = -1;
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
