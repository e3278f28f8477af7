// Where "Help > Content" finds the user guide orb_help.pdf: a copy in the
// data folder comes first (a lab may keep its own edition there), then the
// guide installed with the program, then the one the build writes beside
// the programs of a build tree.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orb {

inline constexpr const char* kHelpFileName = "orb_help.pdf";

// The folders searched, in order: the data folder; the installed guide,
// <programDir>/../share/doc/orbelune; the build folder, <programDir>/.. .
// `programDir` is the folder of the running executable; when it is empty
// only the data folder is searched. A folder is listed once.
std::vector<std::filesystem::path> HelpFileFolders(const std::filesystem::path& dataFolder,
                                                   const std::filesystem::path& programDir);

// The guide in the first folder that holds a regular file orb_help.pdf
// (a folder of that name does not count); empty when none does.
std::optional<std::filesystem::path> FindHelpFile(const std::vector<std::filesystem::path>& folders);

// The message when no folder holds the guide: names the file and every
// folder searched, one a line.
std::string HelpFileMissingMessage(const std::vector<std::filesystem::path>& folders);

// The message when the guide exists but the desktop has no program that
// opens it.
std::string HelpFileNotOpenedMessage(const std::filesystem::path& file);

}  // namespace orb
