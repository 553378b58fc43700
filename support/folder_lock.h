#pragma once
// Exclusive locks on the folders of an extension folder that its processes
// share: temp/ for runs, etc/ for the coefficient store. The lock sits on the
// folder itself (flock), so no lock file can be planted or left behind.

#include "support/error_reporting.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halvo::support {

// How long the locks of this process wait for another holder before giving
// up; none (the default) waits until the holder lets go.
void SetLockWait(std::optional<std::chrono::milliseconds> wait);
// The same in seconds, as the command line takes it; below 0: without end.
void SetLockWaitSeconds(double seconds);

// An open file descriptor, closed when its owner goes: also when the
// owner's constructor throws after opening it.
class OwnedFd {
public:
    OwnedFd() = default;
    explicit OwnedFd(int fd) noexcept : fd_(fd) {}
    ~OwnedFd();
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    int get() const noexcept { return fd_; }
    // Closes the one held, then holds `fd`.
    void reset(int fd) noexcept;

private:
    int fd_ = -1;
};

// The lock was still held by another process when the wait ran out.
class LockTimeout : public Error {
public:
    using Error::Error;
};

// The process holding an flock on the open file `fd`, as /proc/locks tells;
// nothing when it cannot be told (another PID namespace, no /proc).
std::optional<long> LockHolder(int fd);

// Locks the open folder `fd` (`folder` names it in messages). When another
// process holds it, says once, as progress, "Waiting for <holder> to finish
// (process N holds '<folder>')", and waits: until the folder is free, or for
// the time SetLockWait gave, after which LockTimeout names the holder.
// `holder` is what holds such a lock: "another run of this installation".
// Throws Canceled when the user asks to stop while it waits.
void LockFolder(int fd, const std::filesystem::path& folder, std::string_view holder);
// The same, telling a wait that ran out by the message LockTimeout would
// carry instead of throwing it; empty once the folder is locked.
[[nodiscard]] std::string LockFolderWithin(int fd, const std::filesystem::path& folder, std::string_view holder);

}  // namespace halvo::support
