#include "browser/list_actions.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "app/project_files.h"
#include "app/settings_io.h"
#include "app/workspace.h"
#include "browser/experiment_list.h"
#include "common/encoding.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"
#include "records/record_files.h"
#include "reports/report_window.h"
#include "setup/project_editor.h"

namespace orb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kWatchFile = "foldview.dat";

// Whether the name can go between the quotes of a settings file.
bool StorableName(const std::string& name) {
  return name.find_first_of("\"\r\n") == std::string::npos && IsStorableText(name);
}

// The project number of a folder named "p" + five digits; 0 otherwise (a
// folder outside the numbered ones is loaded without any recovery).
int ProjectNumberOfFolder(const std::string& folder) {
  if (folder.size() != 6) return 0;
  int n = 0;
  for (std::size_t i = 1; i < folder.size(); ++i) {
    if (folder[i] < '0' || folder[i] > '9') return 0;
    n = n * 10 + (folder[i] - '0');
  }
  return n;
}

// The number of UTF-8 characters of `s`, and the byte length of its first
// `count` characters.
std::size_t CharacterCount(const std::string& s) {
  std::size_t n = 0;
  for (char ch : s) n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
  return n;
}
std::size_t BytesOfFirst(const std::string& s, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && seen++ == count) return i;
  }
  return s.size();
}

std::string StampWithSeconds(const LocalDateTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

}  // namespace

// ---- rename ----------------------------------------------------------------

bool RenameProjectFolder(const fs::path& projectFolder, const std::string& name, Operator& op) {
  if (!FileExists(projectFolder / "setup.dat") || !StorableName(name)) return false;
  return !RenameProject(projectFolder, name, op).empty();
}

bool RenameAcquisitionFolder(const fs::path& acquisitionFolder, const std::string& name, Operator& op) {
  if (!StorableName(name)) return false;
  // Without subproj.dat the name is written all the same: the answer is
  // never reported as stored when it was not.
  if (!FileExists(acquisitionFolder / kSubprojectFile)) return WriteSubproject(acquisitionFolder, name, "");
  return !RenameSubproject(acquisitionFolder, name, op).empty();
}

int RenameLine(ExperimentList& list, int index, Operator& op) {
  const ListLine* line = list.line(index);
  if (!line) return list.selectedIndex();
  const ListLine target = *line;
  list.select(index);
  const bool project = target.kind == LineKind::Project;
  std::string current;
  if (project) {
    const std::string mark = "\t" + target.projectFolder + "_";
    const auto at = target.text.find(mark);
    current = at == std::string::npos ? std::string() : target.text.substr(at + mark.size());
  } else {
    current = ReadSubprojectName(target.path);
  }
  const auto answer =
      op.input(project ? "Enter Name of project" : "Enter Name of acquisition", "Rename", current);
  if (!answer || answer->empty()) return index;
  const bool stored = project ? RenameProjectFolder(target.path, *answer, op)
                              : RenameAcquisitionFolder(target.path, *answer, op);
  if (!stored) {
    op.inform(kRenameError);
    return index;
  }
  list.rebuild();
  return list.reselect(target.projectFolder, target.acquisitionFolder);
}

// ---- archive ---------------------------------------------------------------

namespace {

// The archive name with its counter: the plain name first, then "_2", "_3", ...
std::string ArchiveCandidate(const std::string& base, int n) {
  return n < 2 ? base : base + "_" + std::to_string(n);
}

std::string ArchiveBase(const fs::path& acquisitionFolder, const LocalDateTime& t) {
  const fs::path folder = acquisitionFolder.has_filename() ? acquisitionFolder : acquisitionFolder.parent_path();
  return folder.string() + "removed" + StampWithSeconds(t);
}

// Renames `from` to `to` only when nothing is at `to`: false with EEXIST
// when something is. Where the file system cannot refuse by itself, the
// name is checked just before the rename (which never replaces a non-empty
// folder or a file by a folder).
bool RenameNoReplace(const fs::path& from, const fs::path& to, std::error_code& ec) {
  ec.clear();
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  const int error = errno;
  if (error != EINVAL && error != ENOSYS) {
    ec.assign(error, std::generic_category());
    return false;
  }
  std::error_code statError;
  if (fs::exists(fs::symlink_status(to, statError))) {
    ec = std::make_error_code(std::errc::file_exists);
    return false;
  }
  fs::rename(from, to, ec);
  return !ec;
}

}  // namespace

fs::path ArchivePath(const fs::path& acquisitionFolder, const LocalDateTime& t) {
  const std::string base = ArchiveBase(acquisitionFolder, t);
  std::error_code ec;
  int n = 1;
  while (fs::exists(fs::symlink_status(ArchiveCandidate(base, n), ec))) ++n;
  return ArchiveCandidate(base, n);
}

fs::path ArchiveAcquisition(const fs::path& acquisitionFolder, Clock& clock, std::error_code& ec) {
  ec.clear();
  if (!fs::is_directory(acquisitionFolder, ec)) {
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    return {};
  }
  // A rename within the project folder: nothing is copied or deleted, and
  // nothing already there is ever replaced; a name taken meanwhile (another
  // archive in the same second) moves on to the next counter.
  const std::string base = ArchiveBase(acquisitionFolder, clock.now());
  for (int n = 1; n < 10000; ++n) {
    const fs::path target = ArchiveCandidate(base, n);
    if (RenameNoReplace(acquisitionFolder, target, ec)) return target;
    if (ec != std::errc::file_exists) return {};
  }
  return {};
}

ArchiveOutcome ArchiveLine(ExperimentList& list, int index, Operator& op, Clock& clock) {
  ArchiveOutcome outcome;
  const ListLine* line = list.line(index);
  if (!line) return outcome;
  const ListLine target = *line;
  list.select(index);
  outcome.select = index;
  if (target.kind != LineKind::Acquisition) {
    op.inform(kRemoveOnlySubprojects);
    outcome.kind = ArchiveOutcome::Kind::NotAcquisition;
    return outcome;
  }
  if (op.ask("Remove folder from the list?", Buttons::YesNo) != Answer::Yes) return outcome;
  if (op.ask("Files are going to be archived!", Buttons::OkCancel) != Answer::Ok) return outcome;
  std::error_code ec;
  outcome.archivedAs = ArchiveAcquisition(target.path, clock, ec);
  if (outcome.archivedAs.empty()) {
    op.inform("Error");
    outcome.kind = ArchiveOutcome::Kind::Failed;
    return outcome;
  }
  outcome.kind = ArchiveOutcome::Kind::Archived;
  list.rebuild();
  outcome.select = list.reselect(target.projectFolder, {});
  return outcome;
}

// ---- watched folders ---------------------------------------------------------

WatchedFolders DefaultWatchedFolders() {
  WatchedFolders folders;
  for (std::size_t i = 0; i < folders.size(); ++i) folders[i] = "_folder" + std::to_string(i + 1);
  return folders;
}

WatchedFolders ReadWatchedFolders(const fs::path& programFolder) {
  WatchedFolders folders = DefaultWatchedFolders();
  bool cut = false;
  const auto bytes = ReadFilePrefix(programFolder / kWatchFile, kSettingsReadLimit, cut);
  if (!bytes) return folders;
  // Each line is read whole, so that a path holding a comma stays one path.
  std::size_t start = 0;
  for (int entry = 0; entry < kWatchedFolderCount && start < bytes->size(); ++entry) {
    std::size_t end = bytes->find_first_of("\r\n", start);
    if (end == std::string::npos) end = bytes->size();
    std::string text = Cp1252ToUtf8(std::string_view(*bytes).substr(start, end - start));
    start = end;
    if (start < bytes->size() && (*bytes)[start] == '\r') ++start;
    if (start < bytes->size() && (*bytes)[start] == '\n') ++start;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    if (!text.empty() && FolderExists(text)) folders[static_cast<std::size_t>(entry)] = text;
  }
  return folders;
}

std::error_code WriteWatchedFolders(const fs::path& programFolder, const WatchedFolders& folders) {
  std::string bytes;
  for (const auto& caption : folders) {
    const auto encoded = Utf8ToCp1252(caption);
    if (!encoded || caption.find_first_of("\r\n") != std::string::npos)
      return std::make_error_code(std::errc::illegal_byte_sequence);
    bytes += *encoded + "\r\n";
  }
  return WriteFileAtomic(programFolder / kWatchFile, bytes);
}

bool EditWatchedFolder(const fs::path& programFolder, WatchedFolders& folders, int entry, Operator& op) {
  if (entry < 0 || entry >= kWatchedFolderCount) return false;
  auto& caption = folders[static_cast<std::size_t>(entry)];
  const auto answer = op.input("Write folder to watch:", "Folder", caption);
  if (!answer || answer->empty() || !FolderExists(*answer)) return false;
  caption = *answer;
  if (WriteWatchedFolders(programFolder, folders)) op.inform("Error");
  return true;
}

// ---- find, plate config ------------------------------------------------------

fs::path FindInFolderPath(const ExperimentList& list, int index) {
  const ListLine* line = list.line(index);
  return line ? line->path : fs::path();
}

bool FindInFolder(const ExperimentList& list, int index, Launcher& launcher) {
  const fs::path path = FindInFolderPath(list, index);
  return !path.empty() && launcher.openPath(path);
}

bool PlateConfigAllowed(const ExperimentList& list, int index, Operator& op) {
  const ListLine* line = list.line(index);
  if (!line) return false;
  if (line->kind != LineKind::Acquisition) {
    op.inform(kPlateConfigOnlySubprojects);
    return false;
  }
  return true;
}

// ---- summary -----------------------------------------------------------------

AcquisitionFiles LoadAcquisitionFiles(const fs::path& programFolder, const fs::path& acquisitionFolder,
                                      Operator& op) {
  const fs::path folder = acquisitionFolder.has_filename() ? acquisitionFolder : acquisitionFolder.parent_path();
  const int n = ProjectNumberOfFolder(folder.parent_path().filename().string());
  Workspace ws(programFolder, op);
  ws.config.Actual_Project_Number = static_cast<std::int16_t>(n);
  ws.ProjectPath = folder;
  ws.setup = DefaultProjectSetup(programFolder, n);
  LoadProject(ws, n);
  return {ws.setup, ws.status, ws.thresholds, ws.groups, ws.plate};
}

AcquisitionSummary SummarizeAcquisition(const std::string& selectedLine, const AcquisitionFiles& files) {
  const ProjectSetup& s = files.setup;
  AcquisitionSummary summary;
  summary.organism = s.MenuTable[Mn1][Organism];
  summary.method = s.DSP_Method;
  const int snr = s.MenuTable[Mn1][SNRx10] < 14 ? 18 : s.MenuTable[Mn1][SNRx10];
  summary.thresholdText = FormatFixed(snr / 10.0, 1);
  const auto& organisms = EditorOrganismItems();
  const std::string organism = summary.organism >= 0 && summary.organism < static_cast<int>(organisms.size())
                                   ? organisms[static_cast<std::size_t>(summary.organism)]
                                   : std::string();

  auto& out = summary.lines;
  out.push_back("***** PROJECT ******");
  out.push_back(selectedLine);
  out.push_back("***** CONFIG ******");
  out.push_back("Microplate format: [" + s.Plate_format + "]");
  out.push_back("Acquisition Lapse = " + std::to_string(s.Aq_lapse) + "min");
  out.push_back("Setting: Mode" + std::to_string(s.DSP_Method) + " [" + organism + " SNR=" + summary.thresholdText +
                "]");
  out.push_back("Groups: ");
  for (int g = 0; g < kChannels; ++g) {
    int channels = 0;
    std::set<int> wells;
    for (int c = 0; c < kChannels; ++c) {
      if (files.groups.ChannelGroup[c] != g) continue;
      ++channels;
      if (files.plate.ChannelWell[c] >= 0) wells.insert(files.plate.ChannelWell[c]);
    }
    if (channels == 0) continue;
    std::string text = FormatDigits(g, 3) + "_" + files.groups.GroupName[g] + ":";
    if (wells.empty())
      text += " (" + std::to_string(channels) + (channels == 1 ? " channel" : " channels") + ", no well)";
    for (int w : wells) text += " " + WellLabel(files.plate, w);
    out.push_back(text);
  }
  return summary;
}

PlotScene SummaryScene(const std::vector<std::string>& lines) {
  constexpr double kLineStep = 40;
  PlotScene scene;
  scene.scale(0, 0, 1000, 1000);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string text = lines[i];
    for (auto tab = text.find('\t'); tab != std::string::npos; tab = text.find('\t', tab)) text.replace(tab, 1, "    ");
    scene.text({10, 10 + kLineStep * static_cast<double>(i)}, text);
  }
  return scene;
}

// ---- report ------------------------------------------------------------------

std::string ReportCaption(const std::string& selectedLine) {
  const std::string text = selectedLine.substr(BytesOfFirst(selectedLine, 3));
  if (CharacterCount(text) >= 51) return text.substr(0, BytesOfFirst(text, 50)) + ".. => REPORT";
  return text + " => REPORT";
}

std::vector<std::string> BasalList(const ExperimentList& list, int index) {
  std::vector<std::string> basal{"-"};
  const ListLine* selected = list.line(index);
  if (!selected) return basal;
  // The lines between the project line above the selected line and the next
  // project line.
  int first = index;
  while (first > 0 && list.line(first)->kind != LineKind::Project) --first;
  for (int i = first + (list.line(first)->kind == LineKind::Project ? 1 : 0); list.line(i); ++i) {
    const ListLine* l = list.line(i);
    if (l->kind == LineKind::Project) break;
    basal.push_back(AcquisitionFolderFromLine(l->text));
  }
  return basal;
}

bool PrepareReportWindow(const fs::path& acquisitionFolder, const std::vector<std::string>& basalList,
                         ReportWindowControls& controls, Operator& op) {
  if (acquisitionFolder.empty() || !FileExists(acquisitionFolder / kCountsFile)) {
    op.inform(kActivityFileNotFound);
    return false;
  }
  controls.inputFile = acquisitionFolder.string();
  controls.basalList = basalList;
  if (controls.basalList.empty() || controls.basalList.front() != "-")
    controls.basalList.insert(controls.basalList.begin(), "-");
  controls.basalText = "-";
  FollowHistogramFiles(controls);
  return true;
}

}  // namespace orb
