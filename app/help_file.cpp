#include "app/help_file.h"

#include <algorithm>
#include <system_error>

namespace orb {
namespace {

// Lexically clean and without a trailing separator, so that "bin/.." and
// the folder it names compare equal when listing each folder once.
std::filesystem::path Clean(const std::filesystem::path& folder) {
  std::filesystem::path clean = folder.lexically_normal();
  if (!clean.has_filename() && clean.has_parent_path() && clean != clean.root_path()) {
    clean = clean.parent_path();
  }
  return clean;
}

}  // namespace

std::vector<std::filesystem::path> HelpFileFolders(const std::filesystem::path& dataFolder,
                                                   const std::filesystem::path& programDir) {
  std::vector<std::filesystem::path> folders;
  auto add = [&](const std::filesystem::path& folder) {
    if (folder.empty()) return;
    const std::filesystem::path clean = Clean(folder);
    if (std::find(folders.begin(), folders.end(), clean) == folders.end()) folders.push_back(clean);
  };
  add(dataFolder);
  if (!programDir.empty()) {
    add(programDir / ".." / "share" / "doc" / "orbelune");
    add(programDir / "..");
  }
  return folders;
}

std::optional<std::filesystem::path> FindHelpFile(const std::vector<std::filesystem::path>& folders) {
  for (const auto& folder : folders) {
    const std::filesystem::path file = folder / kHelpFileName;
    std::error_code ec;
    if (std::filesystem::is_regular_file(file, ec)) return file;
  }
  return std::nullopt;
}

std::string HelpFileMissingMessage(const std::vector<std::filesystem::path>& folders) {
  std::string text = std::string("The user guide ") + kHelpFileName + " was not found. Looked in:";
  for (const auto& folder : folders) text += "\n" + folder.string();
  return text;
}

std::string HelpFileNotOpenedMessage(const std::filesystem::path& file) {
  return "No program on this computer could open the user guide " + file.string() +
         ". Install a PDF viewer, or open the file by hand.";
}

}  // namespace orb
