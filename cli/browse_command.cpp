#include "cli/browse_command.h"

#include <ostream>

#include "app/data_folder.h"
#include "browser/acquisition_ref.h"
#include "browser/experiment_list.h"
#include "browser/list_actions.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "common/console_seams.h"
#include "common/encoding.h"
#include "common/fileio.h"
#include "common/seams.h"

namespace orb {
namespace {

namespace fs = std::filesystem;

constexpr const char* kListUsage =
    "usage: orbelune-cli [--data DIR] list [--filter TEXT] [--descending] [--expand]\n"
    "Prints the recorded-experiments list as the browser shows it, one line per\n"
    "project (\"+ \", date of its first recording, TAB, folder_name) and, with\n"
    "--expand, its recordings below it (\"  > \", date, TAB, \" ACQ\", time, name).\n"
    "--descending  newest first (the browser's \"Date\")\n"
    "--filter TEXT the browser's \"Apply\": terms separated by blanks, \"quoted words\"\n"
    "              as one term; a project stays when every term occurs, ignoring\n"
    "              case, in its line or in the line of one of its recordings\n";
constexpr const char* kRenameUsage =
    "usage: orbelune-cli [--data DIR] rename ACQ NAME\n"
    "Renames a recording (the name in its subproj.dat, its description kept) or,\n"
    "when ACQ is a project folder (p00001), the project (the name in its setup.dat).\n"
    "The previous file is kept as subproj.bak or setup.bak. Prints the new list line.\n"
    "ACQ is a folder, or its path inside the data folder (p00001/20240131_1405).\n";
constexpr const char* kArchiveUsage =
    "usage: orbelune-cli [--data DIR] archive ACQ\n"
    "Takes a recording off the list: its folder is renamed to the same path followed\n"
    "by \"removed\" and the date and time (yyyymmdd_hhmmss, with _2, _3, ... when that\n"
    "name exists). Nothing is deleted. Prints the new folder path.\n"
    "ACQ is a folder, or its path inside the data folder (p00001/20240131_1405).\n";

bool IsHelp(const std::string& a) { return a == "--help" || a == "-h"; }

int Usage(std::ostream& err, const char* command, const std::string& problem, const char* usage) {
  err << "orbelune-cli " << command << ": " << problem << "\n" << usage;
  return kExitUsage;
}

// The folder named on the command line, with its last name (a trailing
// separator dropped). Empty when it is no folder.
fs::path ResolvedFolder(const fs::path& programFolder, const std::string& text) {
  fs::path folder = ResolveAcquisition(programFolder, text);
  if (!folder.empty() && !folder.has_filename()) folder = folder.parent_path();
  return folder;
}

}  // namespace

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string data, filter;
  bool descending = false, expand = false, hasFilter = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool missing = false;
    if (IsHelp(a)) {
      out << kListUsage;
      return kExitOk;
    } else if (a == "--descending") {
      descending = true;
    } else if (a == "--expand") {
      expand = true;
    } else if (OptionValue(args, i, "--filter", filter, missing)) {
      if (missing) return Usage(err, "list", "--filter needs a text", kListUsage);
      hasFilter = true;
    } else if (OptionValue(args, i, "--data", data, missing)) {
      if (missing) return Usage(err, "list", "--data needs a folder", kListUsage);
    } else {
      return Usage(err, "list", "unexpected argument " + a, kListUsage);
    }
  }
  const fs::path programFolder = ResolveDataFolder(data);
  if (!FolderExists(programFolder)) {
    err << "orbelune-cli list: " << programFolder.string() << ": no such folder\n";
    return kExitInput;
  }
  ConsoleOperator op(err);
  ExperimentList list;
  list.load(programFolder, op);
  if (descending) list.toggleOrder();
  if (expand) list.expandAll();
  if (hasFilter) list.applyFilter(filter);
  for (const auto& line : list.texts()) out << line << "\n";
  return kExitOk;
}

int RunRename(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string data;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool missing = false;
    if (IsHelp(a)) {
      out << kRenameUsage;
      return kExitOk;
    } else if (OptionValue(args, i, "--data", data, missing)) {
      if (missing) return Usage(err, "rename", "--data needs a folder", kRenameUsage);
    } else if (a.rfind("--", 0) == 0) {
      return Usage(err, "rename", "unexpected argument " + a, kRenameUsage);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return Usage(err, "rename", "which folder, and which name?", kRenameUsage);
  const std::string& name = positional[1];
  if (name.empty()) return Usage(err, "rename", "the new name is empty", kRenameUsage);
  if (name.find_first_of("\"\r\n") != std::string::npos || !IsStorableText(name))
    return Usage(err, "rename",
                 "the name cannot be stored (a double quote, a line end or a character outside Windows-1252)",
                 kRenameUsage);

  const fs::path programFolder = ResolveDataFolder(data);
  const fs::path folder = ResolvedFolder(programFolder, positional[0]);
  if (folder.empty()) {
    err << "orbelune-cli rename: " << positional[0] << ": no such folder\n";
    return kExitInput;
  }
  const std::string folderName = folder.filename().string();
  ConsoleOperator op(err);
  if (IsProjectFolderName(folderName)) {
    if (!FileExists(folder / "setup.dat")) {
      err << "orbelune-cli rename: " << (folder / "setup.dat").string() << ": no such file\n";
      return kExitInput;
    }
    if (!RenameProjectFolder(folder, name, op)) {
      err << kRenameError << ": " << (folder / "setup.dat").string() << "\n";
      return kExitFile;
    }
    const auto acquisitions = ListAcquisitionFolders(folder);
    out << ProjectLineText(acquisitions.empty() ? std::string() : acquisitions.front(), folderName, name) << "\n";
    return kExitOk;
  }
  if (!IsAcquisitionFolderName(folderName))
    return Usage(err, "rename", folder.string() + " is neither a project folder nor a recording", kRenameUsage);
  if (!RenameAcquisitionFolder(folder, name, op)) {
    err << kRenameError << ": " << (folder / "subproj.dat").string() << "\n";
    return kExitFile;
  }
  out << AcquisitionLineText(folderName, name) << "\n";
  return kExitOk;
}

int RunArchive(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string data;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool missing = false;
    if (IsHelp(a)) {
      out << kArchiveUsage;
      return kExitOk;
    } else if (OptionValue(args, i, "--data", data, missing)) {
      if (missing) return Usage(err, "archive", "--data needs a folder", kArchiveUsage);
    } else if (a.rfind("--", 0) == 0) {
      return Usage(err, "archive", "unexpected argument " + a, kArchiveUsage);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 1) return Usage(err, "archive", "which recording?", kArchiveUsage);

  const fs::path programFolder = ResolveDataFolder(data);
  const fs::path folder = ResolvedFolder(programFolder, positional[0]);
  if (folder.empty()) {
    err << "orbelune-cli archive: " << positional[0] << ": no such folder\n";
    return kExitInput;
  }
  const std::string folderName = folder.filename().string();
  if (IsProjectFolderName(folderName)) {
    err << kRemoveOnlySubprojects << "\n";
    return kExitUsage;
  }
  if (!IsAcquisitionFolderName(folderName))
    return Usage(err, "archive", folder.string() + " is not a recording (yyyymmdd_hhmm)", kArchiveUsage);
  SystemClock clock;
  std::error_code ec;
  const fs::path archived = ArchiveAcquisition(folder, clock, ec);
  if (archived.empty()) {
    err << "Error: " << folder.string() << ": " << ec.message() << "\n";
    return kExitFile;
  }
  out << archived.string() << "\n";
  return kExitOk;
}

}  // namespace orb
