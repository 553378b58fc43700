#include "support/test_paths.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace halvo::test {

namespace fs = std::filesystem;

fs::path SharedData() { return fs::path(HALVO_SHARED_DATA); }
fs::path SourceDir() { return fs::path(HALVO_SOURCE_DIR); }

TempDir::TempDir(const std::string& tag)
{
    static std::atomic<int> n{0};
    path_ = fs::temp_directory_path() / (tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

TempExtension::TempExtension() : TempDir("halvo-ext")
{
    fs::create_directories(path() / "etc");
    fs::create_directories(path() / "temp");
    fs::create_directories(path() / "output");
    std::error_code ec;
    fs::copy_file(SourceDir() / "etc" / "isprops.xml", path() / "etc" / "isprops.xml", ec);
}

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::map<std::string, std::string> Snapshot(const fs::path& folder, const std::string& stem)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file() && (stem.empty() || e.path().stem() == stem))
            files[e.path().filename().string()] = ReadFile(e.path());
    return files;
}

}  // namespace halvo::test
