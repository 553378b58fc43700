#pragma once
// The files a run writes, and how they reach their place: the shapefile, its
// style and the two reports are written under a staging folder beside the
// output and moved into place only when the whole run has succeeded.

#include <filesystem>
#include <string>
#include <vector>

namespace halvo::model {

// The output's own set: the shapefile's files and style by the shapefile's
// name, the reports by the layer's name.
std::vector<std::filesystem::path> OutputSet(const std::filesystem::path& shapefile, const std::string& layerName);

// Checks an output layer name; throws naming the fix when it cannot serve as
// a file name.
void CheckLayerName(const std::string& layerName);

// The output shapefile path with its extension written ".shp", whatever its
// case; throws naming the fix for a missing name or a folder.
std::filesystem::path NormalOutputPath(const std::filesystem::path& output);

// Throws when a file of the output set is a file of an input (same resolved
// file, or the same shapefile).
void CheckOutputIsNotAnInput(const std::vector<std::filesystem::path>& outputSet,
                             const std::vector<std::filesystem::path>& inputs);

// Throws when something other than a file or a link (a folder, say) sits at
// a name of the output set: the output replaces files only.
void CheckOutputSetFiles(const std::vector<std::filesystem::path>& outputSet);

// Throws when a report the run would write (named after the layer) exists and
// is not a report of the output being replaced at `shapefile`.
void CheckReportsBelongToOutput(const std::filesystem::path& shapefile, const std::string& layerName);

// Throws when the output's files, staged beside it, would have paths too long
// for GDAL.
void CheckOutputPathLength(const std::filesystem::path& shapefile);

class OutputStaging {
public:
    // A fresh staging folder in the output's folder.
    OutputStaging(const std::filesystem::path& shapefile, const std::string& layerName);
    ~OutputStaging();
    OutputStaging(const OutputStaging&) = delete;
    OutputStaging& operator=(const OutputStaging&) = delete;

    // Where the run writes its files, under their final names.
    const std::filesystem::path& folder() const { return folder_; }
    // The staged shapefile's path, as long as it will be ("XXXXXX" standing for the folder's own letters).
    static std::filesystem::path StagedPath(const std::filesystem::path& shapefile);
    // Replaces the earlier output's set with the staged one; removes files of
    // the earlier set that the new one does not have. A journal in the
    // staging folder lets RemoveStaleStaging finish or undo it whole when
    // the run is killed part-way.
    void commit();

private:
    std::filesystem::path shapefile_;
    std::string layerName_;
    std::filesystem::path folder_;
    bool committed_ = false;
    bool keep_ = false;  // earlier files that could not be put back are still here
};

// Removes staging folders that runs killed part-way left in `folder`, first
// putting back the earlier output of a commit they left half done (or
// completing the new one when all of it was in place). Only real folders of
// this user are touched, and only the names of the output set. Returns what
// was put right, one note per output.
std::vector<std::string> RemoveStaleStaging(const std::filesystem::path& folder);

}  // namespace halvo::model
