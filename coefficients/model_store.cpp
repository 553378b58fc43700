#include "coefficients/model_store.h"

#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/text_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace halvo::coefficients {

namespace fs = std::filesystem;

bool GetISModelProperties(clsISModelProperties& model, const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return false;
    // Stores saved by older tools may be in an 8-bit code page.
    const std::string text = support::ToUtf8(bytes.str());
    pugi::xml_document doc;
    if (!detail::ParseXml(doc, text))
        return false;
    return support::Guarded("GetISModelProperties", "basUtil", true, false, [&] {
        model.LoadNode(doc.document_element());
        return true;
    });
}

std::vector<std::string> StoreLines(std::string_view xml)
{
    std::vector<std::string> lines;
    std::string indent;
    std::size_t pos = 0;
    while (pos < xml.size()) {
        if (xml[pos] == '<') {
            std::size_t end = xml.find('>', pos);
            end = end == std::string_view::npos ? xml.size() : end + 1;
            const std::string_view tag = xml.substr(pos, end - pos);
            if (tag.size() > 1 && tag[1] == '/') {
                lines.push_back(indent + std::string(tag));
                indent.resize(indent.size() >= 2 ? indent.size() - 2 : 0);
            } else {
                // A short "<X/>" also counts as opening, as files have always been laid out.
                indent += "  ";
                lines.push_back(indent + std::string(tag));
            }
            pos = end;
        } else {
            std::size_t end = xml.find('<', pos);
            if (end == std::string_view::npos)
                end = xml.size();
            lines.push_back(indent + "  " + std::string(xml.substr(pos, end - pos)));
            pos = end;
        }
    }
    return lines;
}

fs::path StoreScratchPath(const fs::path& extensionFolder)
{
    return extensionFolder / "etc" / "isprops.xml.tmp";
}

bool PutISModelProperties(const clsISModelProperties& model, const fs::path& extensionFolder)
{
    return support::Guarded("PutISModelProperties", "basUtil", true, false, [&] {
        const fs::path scratch = StoreScratchPath(extensionFolder);
        try {
            support::TextWriter out(scratch);
            for (const std::string& line : StoreLines(model.XML()))
                out.line(line);
            out.finish();
            fs::rename(scratch, support::StorePath(extensionFolder));
        } catch (...) {
            std::error_code ec;
            if (!fs::is_directory(scratch, ec))
                fs::remove(scratch, ec);
            throw;
        }
        return true;
    });
}

StoreLock::StoreLock(const fs::path& extensionFolder)
{
    const fs::path etc = extensionFolder / "etc";
    std::error_code ec;
    fs::create_directories(etc, ec);
    fd_ = ::open(etc.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        support::raise(support::err::kPathNotFound,
                       "Cannot open the folder '" + etc.string() + "': " + std::strerror(errno));
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR)
            continue;
        const int e = errno;
        ::close(fd_);
        fd_ = -1;
        support::raise(support::err::kFileAccess, "Cannot lock the folder '" + etc.string() + "': " + std::strerror(e));
    }
}

StoreLock::~StoreLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

StoreUpdate UpdateStore(clsISModelProperties& model, const fs::path& extensionFolder,
                        const std::function<bool(clsISModelProperties&)>& change)
{
    return support::Guarded("UpdateStore", "basUtil", true, StoreUpdate::SaveFailed, [&] {
        const StoreLock lock(extensionFolder);
        const fs::path store = support::StorePath(extensionFolder);
        clsISModelProperties current;
        std::error_code ec;
        if (fs::exists(store, ec) && !GetISModelProperties(current, store))
            return StoreUpdate::Unreadable;
        if (!change(current))
            return StoreUpdate::Unchanged;
        if (!PutISModelProperties(current, extensionFolder))
            return StoreUpdate::SaveFailed;
        model = std::move(current);
        return StoreUpdate::Saved;
    });
}

std::string StoreLoadFailedText(const fs::path& extensionFolder)
{
    return "Failed To Load XML - verify the file 'isprops.xml' is located in the '" +
           support::StorePath(extensionFolder).string() + "'.";
}

std::string StoreSaveFailedText(const fs::path& extensionFolder)
{
    return "Failed To Save XML - verify the permissions to write to file '" +
           support::StorePath(extensionFolder).string() + "'.";
}

}  // namespace halvo::coefficients
