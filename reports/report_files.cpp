#include "reports/report_files.h"

#include "support/error_reporting.h"
#include "support/text_file.h"

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

std::string ReadReport(const fs::path& path)
{
    // A FIFO or a device would block or never end.
    std::error_code ec;
    if (fs::exists(path, ec) && !fs::is_regular_file(path, ec))
        support::raise(support::err::kFileAccess, "'" + path.string() + "' is not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        support::raise(support::err::kFileNotFound, "File not found: '" + path.string() + "'");
    std::stringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        support::raise(support::err::kFileAccess, "Cannot read '" + path.string() + "'");
    return support::ToUtf8(ss.str());
}

}  // namespace halvo::reports
