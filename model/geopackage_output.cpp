#include "model/geopackage_output.h"

#include "host/vector_ops.h"
#include "model/legend.h"
#include "model/output_files.h"
#include "reports/html_report.h"
#include "support/error_reporting.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace halvo::model {

namespace fs = std::filesystem;
using params::RunRequest;

namespace {

[[noreturn]] void refuse(const std::string& why) { support::raise(support::err::kInvalidCall, why); }

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool sameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec, ea, eb;
    if (fs::equivalent(a, b, ec))
        return true;
    const fs::path ra = fs::weakly_canonical(fs::absolute(a), ea), rb = fs::weakly_canonical(fs::absolute(b), eb);
    return !ea && !eb && ra == rb;
}

std::string layerText(const fs::path& file, const std::string& layer) { return file.string() + "|layername=" + layer; }

// The output folder's own staging folder, named as the engine's, so that a
// run killed part-way leaves nothing the next run there does not clear.
class Staging {
public:
    explicit Staging(const fs::path& folder)
    {
        std::string pattern = (folder / (".halvo-staging-" + std::to_string(::getpid()) + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            support::raise(support::err::kPathNotFound,
                           "Cannot write in the output folder '" + folder.string() + "': " + std::strerror(errno));
        path_ = pattern;
    }
    ~Staging()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Renames `from` to `to` unless something is at `to` already.
void placeNew(const fs::path& from, const fs::path& to)
{
    int rc = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without that rename: a hard link never replaces either.
        rc = ::link(from.c_str(), to.c_str());
        if (rc == 0)
            ::unlink(from.c_str());
    }
    if (rc != 0)
        support::raise(support::err::kFileAccess, "Cannot put the GeoPackage '" + to.string() +
                                                      "' in place: " + std::strerror(errno) + "; nothing was written");
}

}  // namespace

std::vector<fs::path> GeoPackageReports(const GeoPackageOutput& output)
{
    const fs::path folder = output.file.parent_path();
    return {folder / (output.layer + ".qml"), folder / (output.layer + ".prm"), folder / (output.layer + ".met")};
}

void CheckGeoPackageOutput(const GeoPackageOutput& output, const RunRequest& request)
{
    const fs::path folder = output.file.parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        refuse("The output folder '" + folder.string() + "' does not exist: create it or choose another");
    if (::access(folder.c_str(), W_OK) != 0)
        refuse("The output folder '" + folder.string() + "' cannot be written: choose another location");
    if (fs::exists(output.file, ec))
        host::VectorLayerNames(output.file);  // says why it cannot be opened, before the run

    std::vector<host::LayerPtr> read{request.analysis};
    if (const auto* d = std::get_if<params::DensityLayer>(&request.density))
        read.push_back(d->layer);
    for (const auto& s : request.scenarios)
        read.push_back(s.layer);
    for (const auto& l : read) {
        if (!l || !sameFile(l->source, output.file))
            continue;
        std::string name = l->sourceLayer;
        if (name.empty()) {
            // The run reads the first layer of a source named without one.
            const auto names = host::VectorLayerNames(l->source);
            name = names.empty() ? std::string() : names.front();
        }
        // GeoPackage table names are the same in any case.
        if (lower(name) == lower(output.layer))
            refuse("The output '" + layerText(output.file, output.layer) + "' would replace the input '" +
                   layerText(l->source, name) + "': choose another output layer name or file");
    }

    // As beside a shapefile: only a page a run wrote is replaced.
    if (const fs::path page = folder / (output.layer + ".html");
        request.htmlPage && fs::exists(page, ec) && !reports::IsHtmlReport(page))
        refuse("'" + page.string() + "' is not a page halvo wrote, and the run would replace it: move it away, " +
               "or give the output another layer name");

    const auto reports = GeoPackageReports(output);
    if (std::none_of(reports.begin(), reports.end(),
                     [&](const fs::path& p) { return fs::exists(fs::symlink_status(p, ec)); }))
        return;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const fs::path& p = e.path();
        const std::string ext = lower(p.extension().string());
        bool owns = false;
        if (ext == ".shp") {
            // A shapefile output's style goes by its name, its reports by its layer's.
            const std::string recorded = RecordedLayerName(p);
            owns = p.stem() == output.layer || (recorded.empty() ? p.stem().string() : recorded) == output.layer;
        } else if (ext == ".gpkg" && !sameFile(p, output.file)) {
            // One that does not open is no GeoPackage anyone could have written reports for.
            const auto names = host::VectorLayerNamesIfAny(p);
            owns = names && std::find(names->begin(), names->end(), output.layer) != names->end();
        }
        if (owns)
            refuse("The style and reports of the output '" + layerText(output.file, output.layer) + "' (" +
                   output.layer + ".qml, .prm, .met) would replace those of '" + p.string() +
                   "': choose another layer name or folder");
    }
}

std::vector<fs::path> PlaceGeoPackageOutput(const GeoPackageOutput& output, const RunResult& scratch)
{
    RemoveStaleStaging(output.file.parent_path());
    const Staging staging(output.file.parent_path());
    auto finals = GeoPackageReports(output);
    std::vector<fs::path> made{scratch.style, scratch.parameterReport, scratch.metadataReport};
    std::error_code pageMissing;
    if (!scratch.page.empty() && fs::exists(scratch.page, pageMissing)) {
        finals.push_back(output.file.parent_path() / (output.layer + ".html"));
        made.push_back(scratch.page);
    }
    for (std::size_t i = 0; i < finals.size(); ++i) {
        std::error_code ec;
        fs::copy_file(made[i], staging.path() / finals[i].filename(), ec);
        if (ec)
            support::raise(support::err::kFileAccess,
                           "Cannot write '" + finals[i].string() + "': " + ec.message() + "; nothing was written");
    }

    std::error_code ec;
    if (!fs::exists(fs::symlink_status(output.file, ec))) {
        const fs::path staged = staging.path() / output.file.filename();
        host::WriteGeoPackageLayer(scratch.shapefile, staged, output.layer, true);
        placeNew(staged, output.file);
    } else {
        host::WriteGeoPackageLayer(scratch.shapefile, output.file, output.layer, false);
    }

    // The layer is in; its style and reports follow, each replaced at once.
    for (const fs::path& f : finals) {
        fs::rename(staging.path() / f.filename(), f, ec);
        if (ec)
            support::raise(support::err::kFileAccess, "The layer '" + layerText(output.file, output.layer) +
                                                          "' was written, but '" + f.string() +
                                                          "' could not be put in place: " + ec.message());
    }
    return finals;
}

}  // namespace halvo::model
