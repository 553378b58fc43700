#include "fault_injection.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace halvo::test {

namespace fs = std::filesystem;

std::string Name(Injection i) { return i == Injection::Mount ? "Mount" : "Shim"; }

namespace {

// Mounts made by the test stay in its own namespace and vanish with it.
std::string EnterPrivateMounts()
{
    static const std::string why = [] {
        if (::unshare(CLONE_NEWNS) != 0)
            return std::string("no mount namespace: ") + std::strerror(errno);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("mounts cannot be made private: ") + std::strerror(errno);
        return std::string();
    }();
    return why;
}

}  // namespace

FaultInjector::FaultInjector(Injection how) : how_(how)
{
    if (how_ == Injection::Mount) {
        unavailable_ = EnterPrivateMounts();
    } else {
        if (!fs::exists(HALVO_FAULT_SHIM))
            unavailable_ = "the shim " + std::string(HALVO_FAULT_SHIM) + " is not built";
    }
}

FaultInjector::~FaultInjector()
{
    for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it)
        ::umount2(it->c_str(), MNT_DETACH);
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second)
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            ::unsetenv(it->first.c_str());
    }
}

void FaultInjector::readOnly(const fs::path& dir)
{
    if (how_ == Injection::Mount) {
        if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0)
            throw std::runtime_error("bind mount of " + dir.string() + ": " + std::strerror(errno));
        mounts_.push_back(dir);
        if (::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            throw std::runtime_error("read-only remount of " + dir.string() + ": " + std::strerror(errno));
        return;
    }
    setVariable("LD_PRELOAD", HALVO_FAULT_SHIM);
    setVariable("HALVO_FAULT_READONLY", dir.string());
}

void FaultInjector::fullAfter(const fs::path& dir, std::size_t bytes)
{
    if (how_ == Injection::Mount) {
        const std::string options = "size=" + std::to_string(bytes);
        if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) != 0)
            throw std::runtime_error("tmpfs on " + dir.string() + ": " + std::strerror(errno));
        mounts_.push_back(dir);
        return;
    }
    setVariable("LD_PRELOAD", HALVO_FAULT_SHIM);
    setVariable("HALVO_FAULT_FULL", dir.string());
    setVariable("HALVO_FAULT_FULL_BYTES", std::to_string(bytes));
}

void FaultInjector::failRenameTo(const std::string& suffix)
{
    setVariable("LD_PRELOAD", HALVO_FAULT_SHIM);
    setVariable("HALVO_FAULT_RENAME_TO", suffix);
}

void FaultInjector::killAfterRename(int k)
{
    setVariable("LD_PRELOAD", HALVO_FAULT_SHIM);
    setVariable("HALVO_FAULT_KILL_AFTER_RENAME", std::to_string(k));
}

void FaultInjector::setVariable(const char* name, const std::string& value)
{
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(name, value.c_str(), 1);
    if (std::string(name) == "LD_PRELOAD") {
        // A sanitizer runtime must otherwise come first among the preloads.
        const char* asan = std::getenv("ASAN_OPTIONS");
        saved_.emplace_back("ASAN_OPTIONS", asan ? std::optional<std::string>(asan) : std::nullopt);
        const std::string opts = std::string(asan && *asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0";
        ::setenv("ASAN_OPTIONS", opts.c_str(), 1);
    }
}

}  // namespace halvo::test
