#pragma once
// Where tests find data, and scratch folders that clean up after themselves.

#include <filesystem>
#include <map>
#include <string>

namespace halvo::test {

std::filesystem::path SharedData();  // ../shared/data/real
std::filesystem::path SourceDir();   // the project's source tree

// A fresh folder under the system temp, removed with the object.
class TempDir {
public:
    explicit TempDir(const std::string& tag = "halvo");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& s) const { return path_ / s; }

private:
    std::filesystem::path path_;
};

// A throwaway extension folder: etc/isprops.xml copied from the sources, temp/ and output/.
class TempExtension : public TempDir {
public:
    TempExtension();
};

std::string ReadFile(const std::filesystem::path& p);
// The regular files of a folder with their bytes; only those named `stem`.* when a stem is given.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder, const std::string& stem = {});

}  // namespace halvo::test

// Fails the test (GoogleTest) when the shared real data is not beside the
// checkout: a missing data set must not pass as a skipped test.
#define HALVO_REQUIRE_SHARED_DATA(relative)                                                                            \
    ASSERT_TRUE(std::filesystem::exists(::halvo::test::SharedData() / (relative)))                                     \
        << "shared data missing: " << (::halvo::test::SharedData() / (relative)).string()                              \
        << " (the shared/ folder belongs beside the checkout)"
