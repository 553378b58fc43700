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
