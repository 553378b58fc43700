#include "model/output_files.h"

#include "host/gdal_env.h"
#include "model/legend.h"
#include "reports/html_report.h"
#include "reports/report_files.h"
#include "support/error_reporting.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>

namespace halvo::model {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStagingPrefix = ".halvo-staging-";
constexpr const char* kPrevious = ".previous";
// Written in the staging folder before the first rename of a commit; a run
// killed during the commit leaves it for the next run's clean-up.
constexpr const char* kJournal = ".journal";
constexpr const char* kJournalHeader = "halvo output commit";
constexpr const char* kJournalBegun = "begun";
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
    long pid = 0;
    const char* end = rest.data() + std::min(rest.find('-'), rest.size());
    if (std::from_chars(rest.data(), end, pid).ec != std::errc{})
        return 0;
    return static_cast<pid_t>(pid);
}

// What exists at `p` itself, a link not followed.
fs::file_status statusOf(const fs::path& p)
{
    std::error_code ec;
    return fs::symlink_status(p, ec);
}

bool isRealDirectory(const fs::path& p) { return fs::is_directory(statusOf(p)); }

// Makes what was written to `p` (a file or a folder's entries) durable.
void sync(const fs::path& p)
{
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

// The record of a commit: the output set by its shapefile's and layer's
// names, which of its files were moved aside and which are new.
struct Journal {
    std::string shapefile, layer;
    std::set<std::string> aside, added;
};

void writeJournal(const fs::path& file, const Journal& j)
{
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << kJournalHeader << "\nshapefile " << j.shapefile << "\nlayer " << j.layer << "\n";
        for (const auto& n : j.aside)
            out << "aside " << n << "\n";
        for (const auto& n : j.added)
            out << "new " << n << "\n";
        if (!out.flush())
            support::raise(support::err::kFileAccess, "Cannot write '" + file.string() + "': " + std::strerror(errno));
    }
    // The marker goes last, after the record is on disk: with it, the record is whole.
    sync(file);
    std::ofstream out(file, std::ios::binary | std::ios::app);
    if (!(out << kJournalBegun << "\n").flush())
        support::raise(support::err::kFileAccess, "Cannot write '" + file.string() + "': " + std::strerror(errno));
    out.close();
    sync(file);
    sync(file.parent_path());
}

// The journal of a begun commit; nothing when there is none or it is not whole.
std::optional<Journal> readJournal(const fs::path& file)
{
    if (!fs::is_regular_file(statusOf(file)))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != kJournalHeader)
        return std::nullopt;
    Journal j;
    bool begun = false;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space), value = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "shapefile")
            j.shapefile = value;
        else if (key == "layer")
            j.layer = value;
        else if (key == "aside")
            j.aside.insert(value);
        else if (key == "new")
            j.added.insert(value);
        else if (key == kJournalBegun)
            begun = true;
    }
    auto plain = [](const std::string& name) { return !name.empty() && name.find('/') == std::string::npos; };
    if (!begun || !plain(j.shapefile) || !plain(j.layer))
        return std::nullopt;
    return j;
}

// Puts a killed commit in `staging` right: the new set when all of it was in
// place, else the whole earlier set. Only the names of the journal's output
// set are touched, only in real folders.
struct Recovery {
    bool done = false;  // the staging folder may go
    std::string note;   // what was put right, for the user
};

Recovery recover(const fs::path& folder, const fs::path& staging)
{
    const fs::path previous = staging / kPrevious;
    const auto journal = readJournal(staging / kJournal);
    if (!fs::exists(statusOf(previous)))
        return {true, {}};  // nothing of the earlier output was moved yet
    if (!isRealDirectory(previous))
        return {};
    std::error_code ec;
    if (!journal)
        return {fs::is_empty(previous, ec), {}};  // not a commit of this program's: left as it is
    const fs::path shapefile = folder / journal->shapefile;
    std::set<std::string> names;
    for (const fs::path& p : OutputSet(shapefile, journal->layer))
        names.insert(p.filename().string());
    bool whole = !journal->added.empty();
    for (const std::string& n : journal->added)
        if (!names.count(n) || fs::exists(statusOf(staging / n)) || !fs::exists(statusOf(folder / n)))
            whole = false;
    const std::string stopped = "A run stopped while it replaced the output '" + shapefile.string() + "': ";
    if (whole)  // the earlier files go with the staging folder
        return {true, stopped + "all of its new files were in place, and are kept."};
    bool ok = true;
    for (const std::string& n : names) {
        std::error_code rec;
        if (journal->aside.count(n) && fs::exists(statusOf(previous / n)))
            fs::rename(previous / n, folder / n, rec);
        else if (journal->added.count(n) && !journal->aside.count(n) && !fs::exists(statusOf(staging / n)) &&
                 fs::exists(statusOf(folder / n)))
            fs::rename(folder / n, staging / n, rec);  // a new file already placed
        ok = ok && !rec;
    }
    if (!ok)
        return {false,
                stopped + "its earlier files could not all be put back; they are in '" + previous.string() + "'."};
    return {true, stopped + "the earlier output was put back whole."};
}

bool isStaleStaging(const fs::directory_entry& e)
{
    const std::string name = e.path().filename().string();
    if (name.rfind(kStagingPrefix, 0) != 0)
        return false;
    const pid_t owner = ownerOf(name);
    if (owner > 0 && (::kill(owner, 0) == 0 || errno == EPERM))
        return false;  // its run is still going
    // Only a real folder this user made: a link, or another user's folder, is left alone.
    struct stat st {};
    return ::lstat(e.path().c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

}  // namespace

std::vector<fs::path> OutputSet(const fs::path& shapefile, const std::string& layerName)
{
    std::vector<fs::path> set;
    for (const char* ext : kShapefileParts)
        set.push_back(fs::path(shapefile).replace_extension(ext));
    set.push_back(shapefile.parent_path() / (layerName + ".prm"));
    set.push_back(shapefile.parent_path() / (layerName + ".met"));
    // Always in the set: a run without a page takes away the earlier run's, whose figures it replaced.
    set.push_back(shapefile.parent_path() / (layerName + ".html"));
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
    std::string pattern = StagedPath(shapefile).parent_path().string();
    if (!::mkdtemp(pattern.data()))
        support::raise(support::err::kPathNotFound, "Cannot write in the output folder '" +
                                                        shapefile.parent_path().string() +
                                                        "': " + std::strerror(errno));
    folder_ = pattern;
}

OutputStaging::~OutputStaging()
{
    if (keep_)
        return;
    std::error_code ec;
    // The journal first: a folder without it is never taken for a commit to undo.
    fs::remove(folder_ / kJournal, ec);
    fs::remove_all(folder_, ec);
}

fs::path OutputStaging::StagedPath(const fs::path& shapefile)
{
    return shapefile.parent_path() / (kStagingPrefix + std::to_string(::getpid()) + "-XXXXXX") / shapefile.filename();
}

void OutputStaging::commit()
{
    // The earlier set is moved aside first and put back if anything fails,
    // so the folder holds either the old set or the new one, whole. The
    // journal lets the next run finish that if this one is killed meanwhile.
    const auto finals = OutputSet(shapefile_, layerName_);
    CheckOutputSetFiles(finals);
    const fs::path previous = folder_ / kPrevious;
    Journal journal{shapefile_.filename().string(), layerName_, {}, {}};
    for (const fs::path& f : finals) {
        if (fs::exists(statusOf(f)))
            journal.aside.insert(f.filename().string());
        if (fs::exists(statusOf(folder_ / f.filename()))) {
            journal.added.insert(f.filename().string());
            sync(folder_ / f.filename());
        }
    }
    writeJournal(folder_ / kJournal, journal);
    fs::create_directory(previous);

    std::vector<std::size_t> movedAside, placed;
    auto rollBack = [&] {
        bool ok = true;
        for (std::size_t i : placed) {
            std::error_code ec;
            fs::rename(finals[i], folder_ / finals[i].filename(), ec);
            ok = ok && !ec;
        }
        for (std::size_t i : movedAside) {
            std::error_code ec;
            fs::rename(previous / finals[i].filename(), finals[i], ec);
            ok = ok && !ec;
        }
        if (ok) {
            std::error_code ec;
            fs::remove(folder_ / kJournal, ec);
        }
        // What could not be put back stays for the next run's clean-up.
        keep_ = !ok;
        return ok;
    };
    auto move = [&](const fs::path& from, const fs::path& to) {
        std::error_code ec;
        // rename() replaces a link planted at the final name, never its target.
        fs::rename(from, to, ec);
        if (ec) {
            const std::string why = "Cannot put '" + to.string() + "' in place: " + ec.message();
            if (rollBack())
                support::raise(support::err::kFileAccess, why + "; the earlier output is unchanged");
            support::raise(support::err::kFileAccess, why + "; the earlier output could not all be put back: the " +
                                                          "next run into this folder puts it back from '" +
                                                          previous.string() + "'");
        }
    };
    for (std::size_t i = 0; i < finals.size(); ++i)
        if (journal.aside.count(finals[i].filename().string())) {
            move(finals[i], previous / finals[i].filename());
            movedAside.push_back(i);
        }
    for (std::size_t i = 0; i < finals.size(); ++i)
        if (journal.added.count(finals[i].filename().string())) {
            move(folder_ / finals[i].filename(), finals[i]);
            placed.push_back(i);
        }
    sync(shapefile_.parent_path());
    committed_ = true;
}

void CheckOutputSetFiles(const std::vector<fs::path>& outputSet)
{
    for (const fs::path& p : outputSet) {
        const auto st = statusOf(p);
        if (fs::exists(st) && !fs::is_regular_file(st) && !fs::is_symlink(st))
            refuse("'" + p.string() + "' is " + (fs::is_directory(st) ? "a folder" : "not a regular file") +
                   ", where the output puts one of its files: move it away or choose another output name");
    }
}

void CheckReportsBelongToOutput(const fs::path& shapefile, const std::string& layerName)
{
    // Reports are named after the layer, not the shapefile: those there must
    // be the ones of the output being replaced, as its style file records them.
    fs::path qml = shapefile;
    qml.replace_extension(".qml");
    const std::string recorded = fs::is_regular_file(statusOf(qml)) ? RecordedLayerName(shapefile) : "";
    // The page is replaced (or taken away) only when it is one a run wrote.
    if (const fs::path page = shapefile.parent_path() / (layerName + ".html");
        fs::exists(statusOf(page)) && !reports::IsHtmlReport(page))
        refuse("'" + page.string() + "' is not a page halvo wrote, and the run would replace it: move it away, " +
               "or give the output another layer name");
    const bool own = recorded.empty() ? fs::exists(statusOf(shapefile)) && shapefile.stem().string() == layerName
                                      : recorded == layerName;
    if (own)
        return;
    for (const char* ext : {".prm", ".met", ".html"}) {
        const fs::path report = shapefile.parent_path() / (layerName + ext);
        if (!fs::exists(statusOf(report)))
            continue;
        std::string why = "'";
        why += report.string();
        why += "' is not a report of the output '" + shapefile.string() +
               "' (reports are named after the layer name, '" + layerName +
               "'), and the run would replace it: give the output another layer name, or write it to another folder";
        refuse(why);
    }
}

void CheckOutputPathLength(const fs::path& shapefile)
{
    // The shapefile is written through GDAL under the staging folder, its longest path.
    host::CheckGdalPath(OutputStaging::StagedPath(shapefile));
}

std::vector<std::string> RemoveStaleStaging(const fs::path& folder)
{
    std::vector<std::string> notes;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (!isStaleStaging(e))
            continue;
        const Recovery r = recover(folder, e.path());
        if (!r.note.empty())
            notes.push_back(r.note);
        if (r.done) {
            std::error_code rec;
            fs::remove(e.path() / kJournal, rec);
            fs::remove_all(e.path(), rec);
        }
    }
    return notes;
}

}  // namespace halvo::model
