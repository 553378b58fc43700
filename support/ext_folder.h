#pragma once
// The extension folder: where the program or library lives, holding etc/,
// temp/, output/ and help/. HALVO_HOME overrides it.

#include <filesystem>

namespace halvo::support {

std::filesystem::path ExtensionFolder();

// Makes temp/ and output/ below the folder if they are missing.
void EnsureWorkingFolders(const std::filesystem::path& extensionFolder);

inline std::filesystem::path StorePath(const std::filesystem::path& ext) { return ext / "etc" / "isprops.xml"; }
inline std::filesystem::path TempFolder(const std::filesystem::path& ext) { return ext / "temp"; }

}  // namespace halvo::support
