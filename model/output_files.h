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

class OutputStaging {
public:
    // A fresh staging folder in the output's folder.
    OutputStaging(const std::filesystem::path& shapefile, const std::string& layerName);
    ~OutputStaging();
    OutputStaging(const OutputStaging&) = delete;
    OutputStaging& operator=(const OutputStaging&) = delete;

    // Where the run writes its files, under their final names.
    const std::filesystem::path& folder() const { return folder_; }
    // Replaces the earlier output's set with the staged one; removes files of
    // the earlier set that the new one does not have.
    void commit();

private:
    std::filesystem::path shapefile_;
    std::string layerName_;
    std::filesystem::path folder_;
    bool committed_ = false;
};

// Removes staging folders that runs killed part-way left in `folder`.
void RemoveStaleStaging(const std::filesystem::path& folder);

}  // namespace halvo::model
