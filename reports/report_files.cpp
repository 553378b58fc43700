#include "reports/report_files.h"

#include "support/error_reporting.h"
#include "support/text_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace halvo::reports {

namespace fs = std::filesystem;

std::vector<std::pair<std::string, fs::path>> GetReportLayers(const host::Map& map, const std::string& fileType)
{
    std::vector<std::pair<std::string, fs::path>> found;
    for (const auto& layer : map.layers) {
        if (layer->kind != host::LayerKind::Feature || layer->source.empty())
            continue;
        const fs::path folder = layer->source.parent_path();
        std::error_code ec;
        if (fs::exists(folder / (layer->name + "." + fileType), ec))
            found.emplace_back(layer->name, folder);
    }
    return found;
}

std::string LayerNameFault(const std::string& name)
{
    if (name.empty())
        return "The output layer name is empty: give the layer a name";
    if (name == "." || name == ".." || name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
        return "The output layer name '" + name + "' holds a path: give a plain name, without '/', '\\' or '..'";
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            return "The output layer name holds a control character (a line break or tab, say): leave it out";
    return {};
}

fs::path ReportOf(const fs::path& shapefile, const std::string& recordedLayerName, const std::string& fileType)
{
    // The record sits in a file anyone may edit: a name that leaves the folder is not followed.
    const fs::path own = shapefile.parent_path() / (shapefile.stem().string() + "." + fileType);
    if (recordedLayerName.empty() || !LayerNameFault(recordedLayerName).empty())
        return own;
    const fs::path recorded = shapefile.parent_path() / (recordedLayerName + "." + fileType);
    std::error_code ec;
    return fs::exists(recorded, ec) ? recorded : own;
}

std::string ReadReport(const fs::path& path)
{
    // A FIFO or a device would block or never end.
    std::error_code ec;
    if (fs::exists(path, ec) && !fs::is_regular_file(path, ec))
        support::raise(support::err::kFileAccess, "'" + path.string() + "' is not a regular file");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int cause = errno;
        if (cause == EACCES || cause == EPERM)
            support::raise(support::err::kPermissionDenied,
                           "Permission denied: '" + path.string() + "': this user may not read it");
        if (cause != 0 && cause != ENOENT && cause != ENOTDIR)
            support::raise(support::err::kFileAccess, "Cannot open '" + path.string() + "': " + std::strerror(cause));
        support::raise(support::err::kFileNotFound, "File not found: '" + path.string() + "'");
    }
    std::stringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        support::raise(support::err::kFileAccess, "Cannot read '" + path.string() + "'");
    return support::ToUtf8(ss.str());
}

}  // namespace halvo::reports
