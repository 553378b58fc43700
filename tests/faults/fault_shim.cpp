// Preloaded into the halvo program where the machine allows no mounts: makes
// a folder behave as if it were on a read-only or a full filesystem.
//
//   HALVO_FAULT_READONLY=<dir>       creating, writing, renaming or removing
//                                     anything below <dir> fails with EROFS
//   HALVO_FAULT_FULL=<dir>           files opened for writing below <dir>
//   HALVO_FAULT_FULL_BYTES=<n>       take <n> bytes in all, then ENOSPC
//   HALVO_FAULT_RENAME_TO=<suffix>   a rename onto a name ending so fails (EIO)
//   HALVO_FAULT_KILL_AFTER_RENAME=<k> the process is killed (SIGKILL) right
//                                     after its k-th rename
//
// Only the calls the program and GDAL write through are covered: open, fopen
// and their relatives, write and fwrite, and the folder operations.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Read on first use: a preloaded library's calls can come before its globals are built.
std::string variable(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}
const std::string& readOnlyDir()
{
    static const std::string dir = variable("HALVO_FAULT_READONLY");
    return dir;
}
const std::string& fullDir()
{
    static const std::string dir = variable("HALVO_FAULT_FULL");
    return dir;
}
std::atomic<long long>& budget()
{
    static std::atomic<long long> bytes{std::atoll(variable("HALVO_FAULT_FULL_BYTES").c_str())};
    return bytes;
}
constexpr int kMaxFd = 65536;
std::atomic<bool> tracked[kMaxFd];

template <class F>
F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

std::string absolute(int dirfd, const char* path)
{
    if (!path)
        return {};
    if (path[0] == '/')
        return path;
    char base[4096] = {0};
    if (dirfd == AT_FDCWD) {
        if (!getcwd(base, sizeof base))
            return path;
    } else {
        const std::string link = "/proc/self/fd/" + std::to_string(dirfd);
        if (readlink(link.c_str(), base, sizeof base - 1) < 0)
            return path;
    }
    return std::string(base) + "/" + path;
}

bool below(const std::string& dir, int dirfd, const char* path)
{
    if (dir.empty() || !path)
        return false;
    const std::string p = absolute(dirfd, path);
    return p == dir || (p.size() > dir.size() && p.compare(0, dir.size(), dir) == 0 && p[dir.size()] == '/');
}

bool writes(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND)) != 0; }

bool writesMode(const char* mode) { return mode && std::strpbrk(mode, "wa+") != nullptr; }

int refuse(int e)
{
    errno = e;
    return -1;
}

void track(int fd, int dirfd, const char* path)
{
    if (fd >= 0 && fd < kMaxFd)
        tracked[fd] = below(fullDir(), dirfd, path);
}

bool isTracked(int fd) { return fd >= 0 && fd < kMaxFd && tracked[fd]; }

// How many of `n` bytes the full filesystem still takes.
size_t take(size_t n)
{
    long long left = budget().load();
    while (true) {
        const long long granted = left <= 0 ? 0 : std::min<long long>(left, static_cast<long long>(n));
        if (budget().compare_exchange_weak(left, left - granted))
            return static_cast<size_t>(granted);
    }
}

int openCommon(const char* name, int dirfd, const char* path, int flags, mode_t mode)
{
    if (writes(flags) && below(readOnlyDir(), dirfd, path))
        return refuse(EROFS);
    int fd;
    if (dirfd == AT_FDCWD && std::strncmp(name, "open", 4) == 0 && name[4] != 'a')
        fd = next<int (*)(const char*, int, ...)>(name)(path, flags, mode);
    else
        fd = next<int (*)(int, const char*, int, ...)>(name)(dirfd, path, flags, mode);
    if (writes(flags))
        track(fd, dirfd, path);
    return fd;
}

mode_t modeArg(int flags, va_list ap)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    return openCommon("open", AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    return openCommon("open64", AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    return openCommon("openat", dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    return openCommon("openat64", dirfd, path, flags, mode);
}

int creat(const char* path, mode_t mode) { return open(path, O_CREAT | O_WRONLY | O_TRUNC, mode); }
int creat64(const char* path, mode_t mode) { return open64(path, O_CREAT | O_WRONLY | O_TRUNC, mode); }

static FILE* fopenCommon(const char* name, const char* path, const char* mode)
{
    if (writesMode(mode) && below(readOnlyDir(), AT_FDCWD, path)) {
        errno = EROFS;
        return nullptr;
    }
    FILE* f = next<FILE* (*)(const char*, const char*)>(name)(path, mode);
    if (f && writesMode(mode))
        track(fileno(f), AT_FDCWD, path);
    return f;
}

FILE* fopen(const char* path, const char* mode) { return fopenCommon("fopen", path, mode); }
FILE* fopen64(const char* path, const char* mode) { return fopenCommon("fopen64", path, mode); }

int close(int fd)
{
    if (fd >= 0 && fd < kMaxFd)
        tracked[fd] = false;
    return next<int (*)(int)>("close")(fd);
}

int fclose(FILE* f)
{
    if (const int fd = fileno(f); fd >= 0 && fd < kMaxFd)
        tracked[fd] = false;
    return next<int (*)(FILE*)>("fclose")(f);
}

ssize_t write(int fd, const void* buf, size_t n)
{
    if (isTracked(fd)) {
        const size_t granted = take(n);
        if (granted == 0 && n > 0)
            return refuse(ENOSPC);
        n = granted;
    }
    return next<ssize_t (*)(int, const void*, size_t)>("write")(fd, buf, n);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t off)
{
    if (isTracked(fd)) {
        const size_t granted = take(n);
        if (granted == 0 && n > 0)
            return refuse(ENOSPC);
        n = granted;
    }
    return next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, buf, n, off);
}

ssize_t pwrite64(int fd, const void* buf, size_t n, off64_t off)
{
    if (isTracked(fd)) {
        const size_t granted = take(n);
        if (granted == 0 && n > 0)
            return refuse(ENOSPC);
        n = granted;
    }
    return next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64")(fd, buf, n, off);
}

ssize_t writev(int fd, const struct iovec* iov, int count)
{
    if (isTracked(fd)) {
        size_t total = 0;
        for (int i = 0; i < count; ++i)
            total += iov[i].iov_len;
        if (take(total) < total)
            return refuse(ENOSPC);
    }
    return next<ssize_t (*)(int, const struct iovec*, int)>("writev")(fd, iov, count);
}

size_t fwrite(const void* buf, size_t size, size_t count, FILE* f)
{
    if (size > 0 && isTracked(fileno(f))) {
        const size_t granted = take(size * count) / size;
        if (granted < count) {
            const size_t done = next<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite")(buf, size, granted, f);
            errno = ENOSPC;
            return done;
        }
    }
    return next<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite")(buf, size, count, f);
}

int access(const char* path, int how)
{
    if ((how & W_OK) && below(readOnlyDir(), AT_FDCWD, path))
        return refuse(EROFS);
    return next<int (*)(const char*, int)>("access")(path, how);
}

int mkdir(const char* path, mode_t mode)
{
    if (below(readOnlyDir(), AT_FDCWD, path))
        return refuse(EROFS);
    return next<int (*)(const char*, mode_t)>("mkdir")(path, mode);
}

int rename(const char* from, const char* to)
{
    // A rename onto a name ending so fails, as on a flaky network share.
    static const std::string failing = variable("HALVO_FAULT_RENAME_TO");
    const std::size_t n = std::strlen(to);
    if (!failing.empty() && n >= failing.size() && failing.compare(0, std::string::npos, to + n - failing.size()) == 0)
        return refuse(EIO);
    if (below(readOnlyDir(), AT_FDCWD, from) || below(readOnlyDir(), AT_FDCWD, to))
        return refuse(EROFS);
    static const long long killAfter = std::atoll(variable("HALVO_FAULT_KILL_AFTER_RENAME").c_str());
    static std::atomic<long long> renames{0};
    const int done = next<int (*)(const char*, const char*)>("rename")(from, to);
    if (killAfter > 0 && ++renames == killAfter)
        raise(SIGKILL);
    return done;
}

int unlink(const char* path)
{
    if (below(readOnlyDir(), AT_FDCWD, path))
        return refuse(EROFS);
    return next<int (*)(const char*)>("unlink")(path);
}

int unlinkat(int dirfd, const char* path, int flags)
{
    if (below(readOnlyDir(), dirfd, path))
        return refuse(EROFS);
    return next<int (*)(int, const char*, int)>("unlinkat")(dirfd, path, flags);
}

int rmdir(const char* path)
{
    if (below(readOnlyDir(), AT_FDCWD, path))
        return refuse(EROFS);
    return next<int (*)(const char*)>("rmdir")(path);
}

}  // extern "C"
