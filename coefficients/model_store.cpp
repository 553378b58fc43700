#include "coefficients/model_store.h"

#include "support/error_reporting.h"
#include "support/ext_folder.h"
#include "support/folder_lock.h"
#include "support/text_file.h"
#include "support/ui.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <system_error>

namespace halvo::coefficients {

namespace fs = std::filesystem;

namespace {

// The scratch file of one save: created under a fresh name that nobody can
// have planted a link at, removed again unless it became the store.
class ScratchFile {
public:
    // Without `mode` the file gets what a new file gets under the umask.
    ScratchFile(const fs::path& folder, std::optional<mode_t> mode)
    {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            char name[40];
            std::snprintf(name, sizeof name, "isprops.xml.%08x%08x.tmp", random(), random());
            path_ = folder / name;
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode ? 0600 : 0666);
            if (fd_ < 0 && errno != EEXIST)
                break;
        }
        if (fd_ < 0)
            support::raise(support::err::kFileAccess,
                           "Cannot create a file in '" + folder.string() + "': " + std::strerror(errno));
        // The new store gets the old one's mode, whatever the umask.
        if (mode && ::fchmod(fd_, *mode) != 0)
            fail("Cannot set the mode of");
    }
    ~ScratchFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!kept_)
            ::unlink(path_.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Only root can give a file away; anyone else's store stays theirs by its mode.
    void owner(uid_t uid, gid_t gid)
    {
        if (::fchown(fd_, uid, gid) != 0 && errno != EPERM)
            fail("Cannot set the owner of");
    }

    void write(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                fail("Failed writing");
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    // Flushed to the disk, then renamed over `target`: the store is the old
    // file or the new one, whole, even after a crash.
    void replace(const fs::path& target)
    {
        if (::fsync(fd_) != 0)
            fail("Failed writing");
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            fail("Failed writing");
        if (::rename(path_.c_str(), target.c_str()) != 0)
            fail("Cannot rename");
        kept_ = true;
        const int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

private:
    [[noreturn]] void fail(const char* what)
    {
        support::raise(support::err::kFileAccess,
                       std::string(what) + " the file '" + path_.string() + "': " + std::strerror(errno));
    }

    fs::path path_;
    int fd_ = -1;
    bool kept_ = false;
};

// Stores saved by older tools are in the Windows code page, with or without
// a declaration saying so: a declared Western code page is taken at its word,
// anything else is UTF-8 when it is valid and Windows-1252 when not.
std::string DecodeStore(std::string_view bytes)
{
    if (bytes.rfind("<?xml", 0) == 0) {
        const std::string_view decl = bytes.substr(0, bytes.find("?>"));
        const auto at = decl.find("encoding");
        const auto open = at == std::string_view::npos ? at : decl.find_first_of("\"'", at);
        if (open != std::string_view::npos) {
            std::string name(decl.substr(open + 1, decl.find(decl[open], open + 1) - open - 1));
            for (char& c : name)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            for (const char* western : {"windows-1252", "cp1252", "iso-8859-1", "iso8859-1", "latin1", "latin-1"})
                if (name == western)
                    return support::FromWindows1252(bytes);
        }
    }
    return support::ToUtf8(bytes);
}

}  // namespace

bool GetISModelProperties(CoeffStore& model, const fs::path& path)
{
    // Only a regular file of a store's size: a FIFO or a device would block
    // or never end.
    std::error_code ec;
    if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) > kMaxStoreBytes || ec)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return false;
    const std::string text = DecodeStore(bytes.str());
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

void PutISModelProperties(const CoeffStore& model, const fs::path& extensionFolder)
{
    const support::Procedure frame("PutISModelProperties", "basUtil", support::Shown::Here);
    const fs::path store = support::StorePath(extensionFolder);
    fs::create_directories(store.parent_path());
    // The new file replaces whatever stands at the store's name; a link
    // there is replaced, never written through.
    struct stat old {};
    const bool existing = ::lstat(store.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    // A store made read-only stays so, also for root, whom modes do not stop.
    if (existing && ((old.st_mode & 0222) == 0 || ::access(store.c_str(), W_OK) != 0))
        support::raise(support::err::kFileAccess, "The file '" + store.string() + "' is read-only");
    std::string text;
    for (const std::string& line : StoreLines(model.XML()))
        text.append(line).append("\r\n");
    ScratchFile scratch(store.parent_path(), existing ? std::optional<mode_t>(old.st_mode & 07777) : std::nullopt);
    if (existing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        scratch.owner(old.st_uid, old.st_gid);
    scratch.write(text);
    scratch.replace(store);
}

StoreLock::StoreLock(const fs::path& extensionFolder)
{
    const fs::path etc = extensionFolder / "etc";
    std::error_code ec;
    fs::create_directories(etc, ec);
    fd_.reset(::open(etc.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd_.get() < 0)
        support::raise(support::err::kPathNotFound,
                       "Cannot open the folder '" + etc.string() + "': " + std::strerror(errno));
    busy_ = support::LockFolderWithin(fd_.get(), etc, "another change to the coefficient store");
}

StoreUpdate UpdateStore(CoeffStore& model, const fs::path& extensionFolder,
                        const std::function<bool(CoeffStore&)>& change)
{
    return support::Guarded("UpdateStore", "basUtil", true, StoreUpdate::SaveFailed, [&] {
        const StoreLock lock(extensionFolder);
        if (!lock.busy().empty()) {
            support::MsgBox(lock.busy(), support::Buttons::OK, support::Icon::Critical, "Coefficient Store Busy");
            return StoreUpdate::Busy;
        }
        const fs::path store = support::StorePath(extensionFolder);
        CoeffStore current;
        std::error_code ec;
        if (fs::exists(store, ec) && !GetISModelProperties(current, store))
            return StoreUpdate::Unreadable;
        if (!change(current))
            return StoreUpdate::Unchanged;
        PutISModelProperties(current, extensionFolder);
        model = std::move(current);
        return StoreUpdate::Saved;
    });
}

std::string StoreLoadFailedText(const fs::path& extensionFolder)
{
    // A store cannot be there when its folder cannot: say that instead.
    if (std::string fault = support::ExtensionFolderFault(extensionFolder); !fault.empty())
        return fault;
    return "Failed To Load XML - verify the file 'isprops.xml' is located in the '" +
           support::StorePath(extensionFolder).string() + "'.";
}

std::string StoreSaveFailedText(const fs::path& extensionFolder)
{
    return "Failed To Save XML - verify the permissions to write to file '" +
           support::StorePath(extensionFolder).string() + "'.";
}

}  // namespace halvo::coefficients
