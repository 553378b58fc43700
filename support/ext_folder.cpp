#include "support/ext_folder.h"

#include <dlfcn.h>

#include <cstdlib>

namespace halvo::support {

namespace fs = std::filesystem;

namespace {
void anchor() {}
}  // namespace

fs::path ExtensionFolder()
{
    if (const char* home = std::getenv("HALVO_HOME"); home && *home)
        return fs::path(home);
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

void EnsureWorkingFolders(const fs::path& extensionFolder)
{
    std::error_code ec;
    fs::create_directories(extensionFolder / "temp", ec);
    fs::create_directories(extensionFolder / "output", ec);
}

}  // namespace halvo::support

#include "support/error_reporting.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace halvo::support {

TempLock::TempLock(const fs::path& extensionFolder, const std::function<void()>& waiting)
{
    const fs::path temp = extensionFolder / "temp";
    std::error_code ec;
    fs::create_directories(temp, ec);
    // The lock sits on the folder itself, so emptying temp/ cannot remove it.
    fd_ = ::open(temp.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0)
        raise(err::kPathNotFound, "Cannot open the working folder '" + temp.string() + "': " +
                                      (errno == ELOOP ? "it is a symbolic link" : std::strerror(errno)));
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (waiting)
            waiting();
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
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

TempLock::~TempLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

}  // namespace halvo::support
