#include "support/folder_lock.h"

#include "support/ui.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace halvo::support {

OwnedFd::~OwnedFd() { reset(-1); }

void OwnedFd::reset(int fd) noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

namespace {
std::optional<std::chrono::milliseconds> lockWait;

std::string HolderText(std::optional<long> pid)
{
    return pid ? "process " + std::to_string(*pid) : std::string("another process");
}

[[noreturn]] void LockFailed(const std::filesystem::path& folder, int error)
{
    raise(err::kFileAccess, "Cannot lock the folder '" + folder.string() + "': " + std::strerror(error));
}
}  // namespace

void SetLockWait(std::optional<std::chrono::milliseconds> wait) { lockWait = wait; }

void SetLockWaitSeconds(double seconds)
{
    if (!(seconds >= 0))
        SetLockWait(std::nullopt);
    else
        SetLockWait(std::chrono::milliseconds(std::llround(std::min(seconds, 1e9) * 1000)));
}

std::optional<long> LockHolder(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    // Lines such as "3: FLOCK  ADVISORY  WRITE 4242 00:2f:1234 0 EOF"; waiters
    // have "->" before the type.
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream in(line);
        std::string index, type, kind, mode, device;
        long pid = 0;
        if (!(in >> index >> type >> kind >> mode >> pid >> device) || type != "FLOCK" || pid <= 0)
            continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(device.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3 && inode == st.st_ino &&
            ::makedev(major, minor) == st.st_dev)
            return pid;
    }
    return std::nullopt;
}

void LockFolder(int fd, const std::filesystem::path& folder, std::string_view holder)
{
    if (std::string why = LockFolderWithin(fd, folder, holder); !why.empty())
        throw LockTimeout(err::kFileAccess, "halvo", std::move(why));
}

std::string LockFolderWithin(int fd, const std::filesystem::path& folder, std::string_view holder)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return {};
    if (errno != EWOULDBLOCK)
        LockFailed(folder, errno);
    const std::optional<long> pid = LockHolder(fd);
    ui().progress("Waiting for " + std::string(holder) + " to finish (" + HolderText(pid) + " holds '" +
                      folder.string() + "')",
                  -1);
    if (!lockWait) {
        // A signal breaks the wait; the user may have asked to stop.
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR)
                LockFailed(folder, errno);
            CheckCanceled();
        }
        return {};
    }
    const auto deadline = std::chrono::steady_clock::now() + *lockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            LockFailed(folder, errno);
        CheckCanceled();
        if (std::chrono::steady_clock::now() >= deadline) {
            std::ostringstream waited;
            waited << static_cast<double>(lockWait->count()) / 1000;
            const std::optional<long> still = LockHolder(fd);
            return "Gave up waiting after " + waited.str() + " s: " + std::string(holder) + " (" +
                   HolderText(still ? still : pid) + ") still holds '" + folder.string() +
                   "'. Let it finish, or stop that process if it hangs, then try again.";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

}  // namespace halvo::support
