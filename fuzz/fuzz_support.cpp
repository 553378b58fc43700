#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace halvo::fuzz {

namespace fs = std::filesystem;

namespace {
fs::path makeScratch()
{
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "halvo-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern;
}

struct ScratchHolder {
    fs::path path = makeScratch();
    ~ScratchHolder()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};
}  // namespace

const fs::path& Scratch()
{
    static ScratchHolder holder;
    return holder.path;
}

const fs::path& Extension()
{
    static const fs::path ext = [] {
        const fs::path p = Scratch() / "ext";
        fs::create_directories(p / "etc");
        fs::create_directories(p / "temp");
        return p;
    }();
    return ext;
}

void WriteBytes(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(static_cast<bool>(out), "the harness could not write its input file");
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

support::Answer CountingUi::message(std::string_view text, std::string_view title, support::Icon,
                                    support::Buttons buttons)
{
    ++messages;
    lastTitle = title;
    lastText = text;
    // Cautious answers, as a script without a terminal gets.
    return buttons == support::Buttons::OK         ? support::Answer::OK
           : buttons == support::Buttons::OKCancel ? support::Answer::Cancel
                                                   : support::Answer::No;
}

void CountingUi::showCallStack(std::string_view report)
{
    ++reports;
    lastText = report;
}

void CountingUi::reset()
{
    messages = reports = 0;
    lastTitle.clear();
    lastText.clear();
}

CountingUi& Ui()
{
    static CountingUi ui;
    static support::UiScope scope(ui);
    return ui;
}

void Check(bool ok, std::string_view what)
{
    if (ok)
        return;
    std::fprintf(stderr, "halvo fuzz: property broken: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

}  // namespace halvo::fuzz

// Before the first input: the counting interface goes in for the whole run.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    halvo::fuzz::Ui();
    return 0;
}
