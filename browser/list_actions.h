// What the browser does with the lines of its list, without its window:
// renames, archive, the watched folders of foldview.dat, "Find in Folder",
// the refusal of "Plate Config" on a project, the summary of an opened
// acquisition, and the report button (its caption and the report window's
// basal list).
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/records.h"
#include "common/datetime.h"
#include "common/plot_scene.h"
#include "plate/plate_format.h"

namespace orb {

class Clock;
class ExperimentList;
class Launcher;
class Operator;
struct ReportWindowControls;

inline constexpr const char* kRenameError = "Error Renaming";
inline constexpr const char* kRemoveOnlySubprojects = "Remove function only available for subprojects";
inline constexpr const char* kPlateConfigOnlySubprojects = "Only possible for SubProjects";
inline constexpr const char* kActivityFileNotFound = "Activity file not Found";
inline constexpr const char* kReportDisabledCaption = "[ REPORT ]";

// ---- rename ----------------------------------------------------------------

// The project's name in setup.dat (setup.bak keeps the previous file).
// False when the folder has no setup.dat, the name cannot be stored (a
// double quote, a line end, a character Windows-1252 lacks) or the file
// cannot be written.
bool RenameProjectFolder(const std::filesystem::path& projectFolder, const std::string& name, Operator& op);
// The acquisition's name in subproj.dat, its description kept (subproj.bak
// keeps the previous file); an acquisition without subproj.dat gets one
// with an empty description. False when the name cannot be stored or written.
bool RenameAcquisitionFolder(const std::filesystem::path& acquisitionFolder, const std::string& name,
                             Operator& op);

// "Rename" on a line: the input box ("Enter Name of project" or "Enter Name
// of acquisition", titled "Rename", the current name as default); a
// non-empty answer is stored, the list rebuilt and the line reselected. On
// failure "Error Renaming" and the list is left as it was. Returns the line
// to select.
int RenameLine(ExperimentList& list, int index, Operator& op);

// ---- archive ---------------------------------------------------------------

// The archive name of an acquisition folder: its own path followed by
// "removed" and the time as yyyymmdd_hhmmss; "_2", "_3", ... is added when
// a file or folder of that name exists, so an archive never meets another.
std::filesystem::path ArchivePath(const std::filesystem::path& acquisitionFolder, const LocalDateTime& t);
// Renames the folder to ArchivePath (never deletes, never replaces);
// returns the new path, or empty with `ec` set.
std::filesystem::path ArchiveAcquisition(const std::filesystem::path& acquisitionFolder, Clock& clock,
                                         std::error_code& ec);

struct ArchiveOutcome {
  enum class Kind { NotAcquisition, Declined, Archived, Failed } kind = Kind::Declined;
  std::filesystem::path archivedAs;  // Archived: the new folder path
  int select = -1;                   // the line to select afterwards
};
// "Delete" on a line: on a project "Remove function only available for
// subprojects"; on an acquisition "Remove folder from the list?" (Yes/No),
// then "Files are going to be archived!" (OK/Cancel), then the archive and
// a rebuilt list (the project's line selected); a failure shows "Error" and
// leaves the list as it was.
ArchiveOutcome ArchiveLine(ExperimentList& list, int index, Operator& op, Clock& clock);

// ---- watched folders (foldview.dat) --------------------------------------------

inline constexpr int kWatchedFolderCount = 5;
using WatchedFolders = std::array<std::string, kWatchedFolderCount>;

// "_folder1" to "_folder5".
WatchedFolders DefaultWatchedFolders();
// foldview.dat of the data folder: line k is entry k's caption when it names
// an existing folder (a quoted line loses its quotes); other entries keep
// their default caption.
WatchedFolders ReadWatchedFolders(const std::filesystem::path& programFolder);
// The five captions, one per line, CR LF, Windows-1252; replaced atomically.
std::error_code WriteWatchedFolders(const std::filesystem::path& programFolder, const WatchedFolders& folders);
// "Watching Folders" entry `entry` (0..4): input "Write folder to watch:"
// titled "Folder" with the caption as default; an answer naming an existing
// folder becomes the caption and all five are written ("Error" when they
// cannot be). Returns whether the caption changed.
bool EditWatchedFolder(const std::filesystem::path& programFolder, WatchedFolders& folders, int entry,
                       Operator& op);

// ---- find, plate config ------------------------------------------------------

// "Find in Folder": the folder to show (the acquisition's, or the project's
// on a project line); empty outside the list.
std::filesystem::path FindInFolderPath(const ExperimentList& list, int index);
// Shows it through the launcher (no shell). False when there is nothing to
// show or the launcher failed.
bool FindInFolder(const ExperimentList& list, int index, Launcher& launcher);
// "Plate Config": allowed on an acquisition line; on a project line "Only
// possible for SubProjects" is shown and the answer is false.
bool PlateConfigAllowed(const ExperimentList& list, int index, Operator& op);

// ---- summary of an opened acquisition --------------------------------------------

// The settings snapshot of an acquisition folder, loaded as a project is
// (setup.dat with its recovery, status.dat, threshld.dat, groups.dat,
// chgroup.dat and the plate file of the data folder, each with its messages).
struct AcquisitionFiles {
  ProjectSetup setup;
  ChannelStatus status{};
  ChannelThresholds thresholds{};
  GroupTable groups;
  PlateFormat plate;
};
AcquisitionFiles LoadAcquisitionFiles(const std::filesystem::path& programFolder,
                                      const std::filesystem::path& acquisitionFolder, Operator& op);

struct AcquisitionSummary {
  // "***** PROJECT ******", the selected line, "***** CONFIG ******",
  // "Microplate format: [k96f]", "Acquisition Lapse = 30min",
  // "Setting: Mode1 [C.elegans SNR=1.8]", "Groups: ", then one line per
  // group holding a channel: "000_Name: A1 B1 ..." (its wells in well
  // order; "(n channels, no well)" when none of its channels is in a well).
  std::vector<std::string> lines;
  // For the report window's raw-data frame.
  int organism = 0;
  int method = 1;
  std::string thresholdText;  // the SNR with one decimal, a stored value below 14 counting as 18
};
AcquisitionSummary SummarizeAcquisition(const std::string& selectedLine, const AcquisitionFiles& files);
// The summary as the picture shows it: scale 0..1000 both ways (y down from
// the top), one text line under the other from the top; a TAB of the
// selected line is drawn as blanks.
PlotScene SummaryScene(const std::vector<std::string>& lines);

// ---- the report button -------------------------------------------------------

// The line without its first three characters + " => REPORT"; when that
// text has 51 characters or more, its first 50 + ".. => REPORT".
std::string ReportCaption(const std::string& selectedLine);
// The report window's basal list: "-", then the folder name of every
// acquisition line of the project of line `index`, in list order.
std::vector<std::string> BasalList(const ExperimentList& list, int index);
// "Report": without counts.bin in the acquisition folder "Activity file
// not Found" and false. Otherwise the controls get the folder, the basal
// list with "-" chosen and the histogram option following the folder's
// files; true (the window then shows the report window with `caption`).
bool PrepareReportWindow(const std::filesystem::path& acquisitionFolder, const std::vector<std::string>& basalList,
                         ReportWindowControls& controls, Operator& op);

}  // namespace orb
