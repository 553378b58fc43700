#pragma once
// The store file etc/isprops.xml: read whole into the tree, written whole from it.

#include "coefficients/is_model_properties.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace halvo::coefficients {

// Loads the XML file at `path` into `model`. A missing, unreadable or
// malformed file gives false and leaves the model alone. A faulty class is
// reported through the error reporter and gives false too; the model may then
// hold part of the file.
bool GetISModelProperties(clsISModelProperties& model, const std::filesystem::path& path);

// Writes the model to <extensionFolder>/etc/isprops.xml, one tag or value per
// indented line, CR LF, UTF-8 without declaration. The text goes to a scratch
// file beside the store first and is renamed over it, so a failed save leaves
// the old store whole. Failures are reported and give false.
bool PutISModelProperties(const clsISModelProperties& model, const std::filesystem::path& extensionFolder);

// Where PutISModelProperties writes before renaming.
std::filesystem::path StoreScratchPath(const std::filesystem::path& extensionFolder);

// The store's line layout of an element's raw XML text: each tag and each
// text on a line of its own, nested two spaces per level.
std::vector<std::string> StoreLines(std::string_view xml);

}  // namespace halvo::coefficients
