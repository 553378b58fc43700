#include "model/output_files.h"

#include "reports/report_files.h"
#include "support/error_reporting.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace halvo::model {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStagingPrefix = ".halvo-staging-";
constexpr const char* kPrevious = ".previous";
constexpr const char* kShapefileParts[] = {".shp", ".shx", ".dbf", ".prj", ".cpg", ".qix", ".qml"};

[[noreturn]] void refuse(const std::string& why) { support::raise(support::err::kInvalidCall, why); }

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

fs::path resolved(const fs::path& p)
{
    std::error_code ec;
    fs::path r = fs::weakly_canonical(fs::absolute(p, ec), ec);
    return ec ? fs::absolute(p) : r;
}

// The staging folder's owner, from its name: ".halvo-staging-<pid>-XXXXXX".
pid_t ownerOf(const std::string& name)
{
    const std::string rest = name.substr(std::strlen(kStagingPrefix));
    try {
        return static_cast<pid_t>(std::stol(rest.substr(0, rest.find('-'))));
    } catch (...) {
        return 0;
    }
}

}  // namespace

std::vector<fs::path> OutputSet(const fs::path& shapefile, const std::string& layerName)
{
    std::vector<fs::path> set;
    for (const char* ext : kShapefileParts)
        set.push_back(fs::path(shapefile).replace_extension(ext));
    set.push_back(shapefile.parent_path() / (layerName + ".prm"));
    set.push_back(shapefile.parent_path() / (layerName + ".met"));
    return set;
}

void CheckLayerName(const std::string& name)
{
    if (const std::string fault = reports::LayerNameFault(name); !fault.empty())
        refuse(fault);
}

fs::path NormalOutputPath(const fs::path& output)
{
    const std::string text = output.string();
    if (text.empty() || text.back() == '/' || output.filename() == "." || output.filename() == "..")
        refuse("The output '" + text + "' names no file: give a shapefile name, e.g. '" +
               (fs::path(text) / "result.shp").string() + "'");
    std::error_code ec;
    if (fs::is_directory(output, ec))
        refuse("The output '" + text + "' is a folder: give a shapefile name inside it, e.g. '" +
               (output / "result.shp").string() + "'");
    fs::path p = output;
    const std::string ext = lower(p.extension().string());
    if (ext == ".shp")
        p.replace_extension(".shp");
    else if (text.back() == '.')
        p = fs::path(text + "shp");
    else
        p = fs::path(text + ".shp");
    const std::string stem = p.stem().string();
    if (stem.empty())
        refuse("The output '" + text + "' has no file name before '.shp': give one");
    if (stem.find('\\') != std::string::npos)
        refuse("The output name '" + p.filename().string() + "' holds a backslash: folders are separated by '/'");
    for (unsigned char c : stem)
        if (c < 0x20 || c == 0x7f)
            refuse("The output name holds a control character (a line break or tab, say): leave it out");
    return p;
}

void CheckOutputIsNotAnInput(const std::vector<fs::path>& outputSet, const std::vector<fs::path>& inputs)
{
    for (const fs::path& in : inputs) {
        const fs::path r = resolved(in);
        // A shapefile input is all of its files.
        const bool shapefile = lower(r.extension().string()) == ".shp";
        for (const fs::path& out : outputSet) {
            const fs::path o = resolved(out);
            std::error_code ec;
            const bool same = o == r || (fs::exists(o, ec) && fs::equivalent(o, r, ec));
            const bool sameShapefile = shapefile && o.parent_path() == r.parent_path() && o.stem() == r.stem();
            if (same || sameShapefile)
                refuse("The output '" + outputSet.front().string() + "' would replace the input '" + in.string() +
                       "': choose another output name or folder");
        }
    }
}

OutputStaging::OutputStaging(const fs::path& shapefile, const std::string& layerName)
    : shapefile_(shapefile), layerName_(layerName)
{
    std::string pattern =
        (shapefile.parent_path() / (kStagingPrefix + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        support::raise(support::err::kPathNotFound, "Cannot write in the output folder '" +
                                                        shapefile.parent_path().string() +
                                                        "': " + std::strerror(errno));
    folder_ = pattern;
}

OutputStaging::~OutputStaging()
{
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

void OutputStaging::commit()
{
    // The earlier set is moved aside first and put back if anything fails,
    // so the folder holds either the old set or the new one, whole.
    const auto finals = OutputSet(shapefile_, layerName_);
    const fs::path previous = folder_ / kPrevious;
    fs::create_directory(previous);
    std::vector<std::size_t> movedAside, placed;
    auto rollBack = [&] {
        std::error_code ec;
        for (std::size_t i : placed)
            fs::rename(finals[i], folder_ / finals[i].filename(), ec);
        for (std::size_t i : movedAside)
            fs::rename(previous / finals[i].filename(), finals[i], ec);
    };
    auto move = [&](const fs::path& from, const fs::path& to) {
        std::error_code ec;
        // rename() replaces a link planted at the final name, never its target.
        fs::rename(from, to, ec);
        if (ec) {
            rollBack();
            support::raise(support::err::kFileAccess, "Cannot put '" + to.string() + "' in place: " + ec.message() +
                                                          "; the earlier output is unchanged");
        }
    };
    std::error_code ec;
    for (std::size_t i = 0; i < finals.size(); ++i)
        if (fs::exists(fs::symlink_status(finals[i], ec))) {
            move(finals[i], previous / finals[i].filename());
            movedAside.push_back(i);
        }
    for (std::size_t i = 0; i < finals.size(); ++i) {
        const fs::path staged = folder_ / finals[i].filename();
        if (fs::exists(fs::symlink_status(staged, ec))) {
            move(staged, finals[i]);
            placed.push_back(i);
        }
    }
    committed_ = true;
}

void RemoveStaleStaging(const fs::path& folder)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(kStagingPrefix, 0) != 0)
            continue;
        const pid_t owner = ownerOf(name);
        std::error_code rec;
        if (owner > 0 && (::kill(owner, 0) == 0 || errno == EPERM))
            continue;  // its run is still going
        if (!e.is_directory(rec) || e.is_symlink(rec))
            continue;
        // A run killed while putting its output in place: the earlier files
        // it had moved aside go back where nothing has replaced them.
        for (const auto& old : fs::directory_iterator(e.path() / kPrevious, rec)) {
            const fs::path home = folder / old.path().filename();
            std::error_code hec;
            if (!fs::exists(fs::symlink_status(home, hec)))
                fs::rename(old.path(), home, hec);
        }
        fs::remove_all(e.path(), rec);
    }
}

}  // namespace halvo::model
