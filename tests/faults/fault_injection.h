#pragma once
// Ways to make a folder read-only or full for the halvo program a test runs:
// real mounts in a private mount namespace where the machine allows them,
// otherwise a preloaded shim that fails the calls. Tests are written once and
// run under each way the machine offers.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvo::test {

enum class Injection { Mount, Shim };

std::string Name(Injection i);

class FaultInjector {
public:
    explicit FaultInjector(Injection how);
    ~FaultInjector();
    FaultInjector(const FaultInjector&) = delete;
    FaultInjector& operator=(const FaultInjector&) = delete;

    // Empty when this way works here; otherwise why it does not.
    const std::string& unavailable() const { return unavailable_; }

    // Nothing below `dir` can be created, changed or removed.
    void readOnly(const std::filesystem::path& dir);
    // Files written below `dir` (an empty folder) take about `bytes` in all.
    void fullAfter(const std::filesystem::path& dir, std::size_t bytes);
    // A rename onto a name ending in `suffix` fails (shim only).
    void failRenameTo(const std::string& suffix);
    // The program is killed right after its k-th rename (shim only).
    void killAfterRename(int k);

private:
    // Sets an environment variable for the programs the test starts; the old value comes back after.
    void setVariable(const char* name, const std::string& value);

    Injection how_;
    std::string unavailable_;
    std::vector<std::filesystem::path> mounts_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace halvo::test
