// The regrouping of a recorded acquisition in the browser (Frm_offline's
// group editing, "Plate Config"): the working group map loaded from the
// acquisition's own groups.dat, chgroup.dat, status.dat and plate, the block
// layouts of Combo_sets with "Go..." (auto-arrange), the clicks and drags on
// the plate picture, "CLEAR LIST", the group names and their renaming, and
// "EXIT Group Edition" with its save (time-stamped backups, then the group
// files replaced whole) or its restore.
//
// The working map is the acquisition's, never the current project's: the
// project's GroupTable is not touched.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/records.h"
#include "common/datetime.h"
#include "common/plot_scene.h"
#include "plate/plate_format.h"
#include "setup/group_editor.h"

namespace orb {

class Operator;
class Clock;

inline constexpr const char* kSaveGroupsQuestion = "Do you like to Save Changes?";
inline constexpr const char* kGroupsSavedMessage = "New Groups applied and saved";
inline constexpr const char* kGroupsRestoredMessage = "Original groups restored";
inline constexpr const char* kGroupsSaveErrorPrefix = "Error updating group files at ";
// The group number the browser's group lists give the free wells ("999_Free").
inline constexpr int kFreeGroupNumber = 999;

// ---- the working group map ---------------------------------------------------

struct AcquisitionGroups {
  std::filesystem::path folder;  // the acquisition folder
  int projectNumber = 0;         // of the folder holding it (messages only)
  GroupTable groups;             // the working map
  std::string plateCode;
  bool hasPlate = false;         // false: no plate file and no built-in layout, no wells
  PlateFormat plate;
  // Channels in use: the acquisition's status.dat; every channel when the
  // acquisition has none.
  ChannelStatus status{};
  bool hasStatus = false;
};

// Loads the working map of `acquisitionFolder`: groups.dat and chgroup.dat
// (a file that cannot be read is reported and gets the default groups), the
// plate its setup.dat names (<code>.dat, else .bak, in `programFolder`, else
// the built-in layout, as the reports read it) and its status.dat.
AcquisitionGroups LoadAcquisitionGroups(const std::filesystem::path& programFolder,
                                        const std::filesystem::path& acquisitionFolder, Operator& op);
// The group files read again into the working map (the "No" of the exit).
void ReloadGroupFiles(AcquisitionGroups& acq, Operator& op);

// ---- block layouts (Combo_sets) --------------------------------------------

// For every divisor b of Columns from 1 to 16 and, inside it, every divisor v
// of Rows from 1 to 16: v in two digits + "x" + b in two digits +
// " [RowsxColumn]" (24 entries for 96 wells, starting 01x01, 02x01, 04x01,
// 08x01, 01x02).
std::vector<std::string> BlockLayouts(const PlateFormat& plate);
// The entry selected when the list is filled: the third, or the first when
// there are fewer than three (-1 for none).
int DefaultBlockLayout(const std::vector<std::string>& layouts);

// ---- the group names ---------------------------------------------------------

// A group's name as the browser shows it: "Group" + number for a group named
// "Free".
std::string ShownGroupName(const GroupTable& groups, int group);
// "000_Name" with the shown name.
std::string ShownGroupEntry(const GroupTable& groups, int group);
// combogrup2: groups 0 to the highest in use and the next new one (only group
// 0 when none is in use), each as ShownGroupEntry.
std::vector<std::string> EditingGroupEntries(const GroupTable& groups);

// ---- saving --------------------------------------------------------------------

// "yyyymmdd_hhmmss", the stamp of the time-stamped group backups.
std::string BackupStamp(const LocalDateTime& t);

// Writes `bytes` as a new file at `path`, or at path's stem + "_2", "_3" ...
// + extension when that name is taken; never replaces an existing file. The
// file appears whole or not at all. Returns the name used, or the error.
struct NewFileResult {
  std::filesystem::path path;
  std::error_code error;
};
NewFileResult WriteUnderFreeName(const std::filesystem::path& path, std::string_view bytes);

// How the group files are replaced; tests put a failing one in.
using FileReplacer = std::function<std::error_code(const std::filesystem::path&, std::string_view)>;

struct GroupSaveResult {
  bool saved = false;
  std::vector<std::filesystem::path> backups;  // in the order made
  std::vector<std::filesystem::path> written;  // groups.dat, chgroup.dat
  std::string message;                         // what the operator is told
  std::string reason;                          // why it failed (empty on success)
};

// Saves the working map into the acquisition folder:
//   1. the group files as they are now are copied to chgroup.bak and
//      groups.bak (replaced: they hold "the previous" files) and to
//      chgroup<stamp>.bak and groups<stamp>.bak (never replaced: "_2", "_3"
//      ... are added to a name in use); a group file the folder does not hold
//      has no backup;
//   2. groups.dat and chgroup.dat are replaced whole (written to a temporary
//      file in the folder, then renamed over the old one); when chgroup.dat
//      cannot be replaced, groups.dat is put back as it was.
// Any failure stops there and the message is "Error updating group files
// at " + the folder; the files already replaced are put back. On success
// "New Groups applied and saved". Shows nothing itself.
GroupSaveResult SaveAcquisitionGroups(const std::filesystem::path& folder, const GroupTable& groups, Clock& clock,
                                      const FileReplacer& replace = {});

// ---- the editing frame (mode 3) ------------------------------------------------

// Everything the group-editing controls show.
struct RegroupControls {
  std::vector<std::string> combogrup2;
  int combogrup2Index = 0;
  std::vector<std::string> lstgrup2;   // "Assigned channels:" of the selected group
  std::vector<std::string> lstchgrup2; // "Free channels:"
  std::vector<std::string> comboSets;  // the block layouts
  int comboSetsIndex = -1;
  std::string lblnchannel;             // the well last touched
  PlotScene picture;                   // the plate, each well coloured by its group
};

enum class RegroupExit { Saved, SaveFailed, Restored };

class RegroupEditor {
 public:
  // `acq` is the loaded working map; the editor changes acq.groups in place.
  RegroupEditor(AcquisitionGroups& acq, Operator& op, Clock& clock);

  // "Plate Config": the block layouts (third selected), the selector on
  // group 0, both lists and the picture.
  RegroupControls Enter();
  const RegroupControls& Controls() const { return shown_; }
  int SelectedGroup() const { return selected_; }

  // A combogrup2 choice: the group of its first three characters.
  RegroupControls ChooseGroup(int index);
  // A double click on combogrup2: asks "Enter New Group (" + number + ")
  // Name" with the current name; a non-empty answer groups.dat can hold
  // becomes the name.
  RegroupControls RenameSelectedGroup();
  // "CLEAR LIST": asks "Do you like to Clear Group lists?"; Yes frees every
  // channel and names every group "Free".
  RegroupControls ClearGroups();
  // Combo_sets choice.
  RegroupControls ChooseLayout(int index);
  // "Go...": auto-arrange with the chosen layout.
  RegroupControls Go();

  // The plot area. A left press joins the free channels in use of the well
  // under the pointer to the selected group, a right press frees the
  // channels in use of that well; with the button held, every well the
  // pointer passes over gets the same. Nothing outside the well area.
  std::optional<RegroupControls> Press(MouseButton button, double x, double y);
  std::optional<RegroupControls> Move(double x, double y);
  void Release();

  // "EXIT Group Edition": asks "Do you like to Save Changes?". Yes: saves
  // (SaveAcquisitionGroups) and tells the outcome; No: the group files are
  // read again and "Original groups restored" is told.
  RegroupExit Exit(GroupSaveResult* saved = nullptr);

  // Tests: how the group files are replaced.
  void SetFileReplacer(FileReplacer replace) { replace_ = std::move(replace); }

 private:
  RegroupControls Refresh(int group);
  void ActOnWell(int well);

  AcquisitionGroups& acq_;
  Operator& op_;
  Clock& clock_;
  FileReplacer replace_;
  int selected_ = 0;
  MouseButton held_ = MouseButton::Other;
  int lastWell_ = -1;
  RegroupControls shown_;
};

}  // namespace orb
