#include "support/ext_folder.h"

#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef HALVO_SHARE_DIR
#define HALVO_SHARE_DIR "/usr/share/halvo"
#endif

namespace halvo::support {

namespace fs = std::filesystem;

namespace {
void anchor() {}

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// Copies the store in without ever replacing one that is there: two first runs may race.
void SeedStore(const fs::path& from, const fs::path& ext)
{
    std::error_code ec;
    const fs::path store = StorePath(ext);
    if (fs::exists(store, ec) || !fs::is_regular_file(from, ec))
        return;
    const fs::path scratch = store.string() + ".seed-" + std::to_string(::getpid());
    if (fs::copy_file(from, scratch, fs::copy_options::overwrite_existing, ec))
        (void)::link(scratch.c_str(), store.c_str());
    fs::remove(scratch, ec);
}
}  // namespace

fs::path ProgramFolder()
{
    // The object that holds this code: the halvo program, or the plugin library.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&anchor), &info) && info.dli_fname) {
        std::error_code ec;
        fs::path p = fs::canonical(fs::path(info.dli_fname), ec);
        if (!ec)
            return p.parent_path();
    }
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : self.parent_path();
}

fs::path SharedDataFolder() { return fs::path(HALVO_SHARE_DIR); }

FolderPlaces CurrentPlaces()
{
    FolderPlaces places;
    places.halvoHome = Env("HALVO_HOME");
    places.programFolder = ProgramFolder();
    places.xdgDataHome = Env("XDG_DATA_HOME");
    places.home = Env("HOME");
    if (places.home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
            places.home = pw->pw_dir;
    }
    places.sharedData = SharedDataFolder();
    return places;
}

fs::path ResolveExtensionFolder(const FolderPlaces& places)
{
    if (!places.halvoHome.empty())
        return fs::path(places.halvoHome);
    std::error_code ec;
    const fs::path& program = places.programFolder;
    if (!program.empty() && fs::is_directory(program / "etc", ec) && ::access(program.c_str(), W_OK) == 0)
        return program;

    // Relative XDG paths are to be ignored, as the base directory rules say.
    const fs::path dataHome = !places.xdgDataHome.empty() && fs::path(places.xdgDataHome).is_absolute()
                                  ? fs::path(places.xdgDataHome)
                                  : fs::path(places.home) / ".local" / "share";
    const fs::path ext = dataHome / "halvo";
    fs::create_directories(ext / "etc", ec);
    EnsureWorkingFolders(ext);
    // A read-only tree carries its own store; an installed program has the shared one.
    SeedStore(fs::is_regular_file(StorePath(program), ec) ? StorePath(program) : StorePath(places.sharedData), ext);
    return ext;
}

fs::path ExtensionFolder() { return ResolveExtensionFolder(CurrentPlaces()); }

fs::path HelpFolder(const fs::path& extensionFolder, const fs::path& sharedData, const fs::path& programFolder)
{
    std::error_code ec;
    // The installation's pages serve whatever HALVO_HOME names.
    for (const fs::path& folder : {extensionFolder, programFolder, sharedData})
        if (fs::is_directory(folder / "help", ec))
            return folder / "help";
    return extensionFolder / "help";
}

std::string ExtensionFolderFault(const fs::path& extensionFolder)
{
    struct stat st {};
    const std::string named = "The extension folder '" + extensionFolder.string() + "' ";
    const std::string wayOut = ": point HALVO_HOME (or XDG_DATA_HOME) at a folder.";
    if (::stat(extensionFolder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? std::string() : named + "is not a folder" + wayOut;
    const int error = errno;
    switch (error) {
    case ENOENT: return {};
    case ENOTDIR: return named + "is not a folder (a part of its path is a file)" + wayOut;
    case ELOOP: return named + "cannot be reached (too many levels of symbolic links)" + wayOut;
    default: return named + "cannot be reached (" + std::strerror(error) + ")" + wayOut;
    }
}

void EnsureWorkingFolders(const fs::path& extensionFolder)
{
    std::error_code ec;
    fs::create_directories(extensionFolder / "temp", ec);
    fs::create_directories(extensionFolder / "output", ec);
}

}  // namespace halvo::support

#include "support/error_reporting.h"
#include "support/folder_lock.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace halvo::support {

TempLock::TempLock(const fs::path& extensionFolder)
{
    const fs::path temp = extensionFolder / "temp";
    std::error_code ec;
    fs::create_directories(temp, ec);
    // The lock sits on the folder itself, so emptying temp/ cannot remove it.
    fd_.reset(::open(temp.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd_.get() < 0)
        raise(err::kPathNotFound,
              "Cannot open the working folder '" + temp.string() + "': " +
                  (fs::is_symlink(temp, ec) ? "it is a symbolic link; make it a plain folder" : std::strerror(errno)));
    LockFolder(fd_.get(), temp, "another run of this installation");
    // Holding the lock, any scratch folder here belongs to a run that died.
    for (const auto& e : fs::directory_iterator(temp, ec)) {
        std::error_code rec;
        if (IsScratchName(e.path().filename().string()) && e.is_directory(rec) && !e.is_symlink(rec))
            fs::remove_all(e.path(), rec);
    }
}

bool IsScratchName(const std::string& name) { return name.size() == 10 && name.rfind("run-", 0) == 0; }

ScratchFolder::ScratchFolder(const fs::path& tempFolder)
{
    std::string pattern = (tempFolder / "run-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        raise(err::kPathNotFound,
              "Cannot make a scratch folder in '" + tempFolder.string() + "': " + std::strerror(errno));
    path_ = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

}  // namespace halvo::support
