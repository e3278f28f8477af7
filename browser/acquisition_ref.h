// How a recorded acquisition is named outside the browser's list (on the
// command line): a folder path, or a path relative to the data folder such
// as p00001/20240131_1405.
#pragma once

#include <filesystem>
#include <string>

namespace orb {

// The acquisition folder that `text` names: an existing folder as given
// (absolute, or relative to the current folder), else the same path taken
// relative to the data folder. Empty when neither is a folder.
std::filesystem::path ResolveAcquisition(const std::filesystem::path& programFolder, const std::string& text);

// An acquisition folder's name: the date and time of its start written
// yyyymmdd_hhmm (13 characters, "_" at the ninth).
bool IsAcquisitionFolderName(const std::string& name);
// A project folder's name: "p" and five characters.
bool IsProjectFolderName(const std::string& name);

}  // namespace orb
