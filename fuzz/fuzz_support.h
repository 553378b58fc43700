#pragma once
// What the fuzz targets share: a scratch folder per process, a user
// interface that shows nothing but counts what it was asked to show, and a
// check that turns a broken property into a crash libFuzzer keeps.

#include "support/ui.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace halvo::fuzz {

// A fresh folder for this process (in memory when /dev/shm is there, so the
// targets do not wear the disk), removed when the process ends normally.
const std::filesystem::path& Scratch();

// An extension folder inside the scratch folder, with etc/ and temp/.
const std::filesystem::path& Extension();

// Writes the bytes whole, replacing the file.
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

// Installed by each target for its lifetime so no message box can block.
class CountingUi final : public support::Ui {
public:
    support::Answer message(std::string_view text, std::string_view title, support::Icon icon,
                            support::Buttons buttons) override;
    void showCallStack(std::string_view report) override;
    void reset();

    int messages = 0;
    int reports = 0;
    std::string lastTitle;
    std::string lastText;
};

// The UI every target runs under, installed before the first input.
CountingUi& Ui();

// Aborts with `what` when `ok` is false.
void Check(bool ok, std::string_view what);

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace halvo::fuzz
