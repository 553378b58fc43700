#include "model/output_files.h"

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
    if (name.empty())
        refuse("The output layer name is empty: give the layer a name");
    if (name == "." || name == ".." || name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
        refuse("The output layer name '" + name + "' holds a path: give a plain name, without '/', '\\' or '..'");
    if (name.find('#') != std::string::npos)
        refuse("The output layer name '" + name + "' holds '#', which the parameter file cannot carry: leave it out");
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            refuse("The output layer name holds a control character (a line break or tab, say): leave it out");
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
    if (stem.find('#') != std::string::npos)
        refuse("The output name '" + p.filename().string() +
               "' holds '#', which the parameter file cannot carry: leave it out");
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
                                                        shapefile.parent_path().string() + "': " +
                                                        std::strerror(errno));
    folder_ = pattern;
}

OutputStaging::~OutputStaging()
{
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

void OutputStaging::commit()
{
    const auto finals = OutputSet(shapefile_, layerName_);
    std::vector<fs::path> staged;
    for (const fs::path& f : finals)
        staged.push_back(folder_ / f.filename());
    // Earlier files of the set that the new output does not replace go first,
    // so no stale index or style outlives its shapefile.
    for (std::size_t i = 0; i < finals.size(); ++i) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(staged[i], ec)))
            fs::remove(finals[i], ec);
    }
    for (std::size_t i = 0; i < finals.size(); ++i) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(staged[i], ec)))
            continue;
        // rename() replaces a link planted at the final name, never its target.
        fs::rename(staged[i], finals[i], ec);
        if (ec)
            support::raise(support::err::kFileAccess,
                           "Cannot put '" + finals[i].string() + "' in place: " + ec.message());
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
        if (e.is_directory(rec) && !e.is_symlink(rec))
            fs::remove_all(e.path(), rec);
    }
}

}  // namespace halvo::model
