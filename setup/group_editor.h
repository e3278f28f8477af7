// The assignment of wells to groups in the project editor, without its
// window: the group selector (combogrup) and its renaming, the list of the
// selected group's wells (lstgrup) and of the free wells (lstchgrup) with
// the moves between them ("<=", "=>"), "CLEAR LIST", the block presets
// (Combo_sets, the mngroup menu) with the automatic arrangement, and the
// plate picture (Picwell) with its clicks and drags.
//
// A well is handled as a whole: its beam channels get the same group. The
// picture and the arrangement assign only enabled channels the plate uses;
// the list moves set every beam of the well, enabled or not.
//
// The free functions act on the GroupTable and say what the lists show; the
// GroupEditor keeps what the window's controls hold between events (the
// selected group, the list selections, the drag) and returns after each
// event everything the controls show, which the window only puts in place.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/records.h"
#include "common/plot_scene.h"
#include "plate/plate_format.h"

namespace orb {

class Operator;

inline constexpr int kLastGroup = 383;              // groups 0..383 are stored in groups.dat
inline constexpr const char* kFreeGroupName = "Free";
inline constexpr int kPresetMenuItems = 24;          // mnopciongrup(0) .. mnopciongrup(23)
inline constexpr const char* kClearGroupsQuestion = "Do you like to Clear Group lists?";
inline constexpr const char* kUnstorableGroupName =
    "The group name holds characters that cannot be stored (double quotes, line breaks, or characters "
    "outside Windows-1252). Please type it again.";

// ---- entries and names (shared with the main window) -----------------------

// A combogrup entry: the group number in three digits, "_" and the group's
// name (002_Treated).
std::string GroupEntry(const GroupTable& groups, int group);
// The group of a combogrup entry: the number in its first three characters;
// -1 when they hold no number.
int GroupOfEntry(const std::string& entry);
// The channel that is beam `beamInWell` of `well`, or -1 when the plate
// names none (the WellMap holds 0 where no channel is named, which is not
// taken for channel 0).
int BeamOfWell(const PlateFormat& plate, int well, int beamInWell);
// A list entry of lstgrup / lstchgrup: row letter, column number, "." and the
// channel's beam in its well (A1.0); empty for a channel the plate does not use.
std::string ChannelEntry(const PlateFormat& plate, int channel);
// The parts of an entry written as "A1.0" or "A1": the leading letters, the
// column number after them (-1 when none), whether a "." follows and the
// beam-in-well after it (-1 when no digits), and whether nothing else follows.
struct EntryParts {
  std::string rowLetters;
  int column = -1;
  bool hasBeam = false;
  int beam = -1;
  bool whole = false;
};
EntryParts SplitEntry(const std::string& entry);
// The well of an entry written as "A1.0" or "A1" (letters in either case);
// -1 when it names no well of the plate's rows and columns.
int WellOfEntry(const PlateFormat& plate, const std::string& entry);

// "Group" followed by the number (Group5).
std::string DefaultGroupName(int group);
// True when groups.dat can hold the name as typed: no double quote (it would
// end the field), no line break or other control character (it would break
// the one-line record), only characters Windows-1252 holds.
bool IsStorableGroupName(const std::string& name);

enum class RenameResult { Renamed, Unchanged, Refused };
// A group's new name: an empty name changes nothing (Unchanged); a name
// groups.dat cannot hold is refused and changes nothing (Refused); a group
// outside 0..383 is Unchanged.
RenameResult RenameGroup(GroupTable& groups, int group, const std::string& name);

// Every channel 0..383 Free (-1) and every name 0..383 "Free".
void ClearAllGroups(GroupTable& groups);

// ---- the group selector (combogrup) ----------------------------------------

// The entries for groups 0 to the highest group in use (m), and for m + 1,
// the next new group, while that is a stored group (0..383): with no group in
// use only the entry of group 0.
std::vector<std::string> GroupSelectorEntries(const GroupTable& groups);
// Every group in use whose name is "Free" gets the name "Group" + number.
void NameGroupsInUse(GroupTable& groups);

struct GroupSelection {
  std::vector<std::string> entries;
  int index = 0;  // the selected entry
  int group = 0;  // its group
};
// The selector's refresh: the entries as they are now (a group in use named
// "Free" still shows "Free"), then the groups in use are named; the entry of
// group `select` is selected, else the first one.
GroupSelection RefreshGroupSelector(GroupTable& groups, int select);

// ---- the lists (lstgrup, lstchgrup) ----------------------------------------

// The entries of every enabled channel the plate uses whose group is `group`,
// in channel order; nothing for a group below 0.
std::vector<std::string> GroupWellEntries(const PlateFormat& plate, const GroupTable& groups,
                                          const ChannelStatus& status, int group);
// The same for the free channels (group -1).
std::vector<std::string> FreeWellEntries(const PlateFormat& plate, const GroupTable& groups,
                                         const ChannelStatus& status);

// The list moves: every beam the plate names for `well` (enabled or not)
// gets `group` (-1 frees it). Positions of the WellMap no channel fills are
// left alone, so a well with fewer beams than the plate's highest never
// touches channel 0.
void SetWellGroup(GroupTable& groups, const PlateFormat& plate, int well, int group);

// ---- the picture's assignments ---------------------------------------------

// A well position: row 0 = "A", column 0 = "1".
struct WellCell {
  int row = 0, column = 0;
  bool operator==(const WellCell&) const = default;
};
int WellOfCell(const PlateFormat& plate, WellCell cell);  // Rows x column + row
// The cell under the user coordinate (x, y) of the picture; nothing outside
// the plate's well area.
std::optional<WellCell> CellAt(const PlateFormat& plate, double x, double y);

enum class WellAction {
  JoinIfFree,  // a left press: free channels join the group
  Join,        // a left drag: channels join the group whatever group they had
  Free,        // a right press or drag: channels become free
};
// `action` on every enabled channel of `well`.
void AssignWell(GroupTable& groups, const PlateFormat& plate, const ChannelStatus& status, int well,
                WellAction action, int group);
// `action` on every well of the rectangle spanned by the cells a and b (rows
// and columns from the smaller to the larger); returns the wells in the order
// they were processed (column by column, rows top to bottom).
std::vector<int> AssignRectangle(GroupTable& groups, const PlateFormat& plate, const ChannelStatus& status,
                                 WellCell a, WellCell b, WellAction action, int group);

// ---- block presets and the automatic arrangement ---------------------------

// Combo_sets: for every block width a from 1 to 16 dividing Columns and,
// inside it, every block height b from 1 to 16 dividing Rows, the text b in
// two digits + "x" + a in two digits + " [RowsxColumn]" (02x03 [RowsxColumn]).
std::vector<std::string> BlockPresets(const PlateFormat& plate);

struct BlockSize {
  int rows = 0, columns = 0;
};
// The block of a preset text: height in its first two characters, width in
// characters 4 and 5; nothing when they are not numbers of 1 or more.
std::optional<BlockSize> PresetBlock(const std::string& preset);

// AUTO-ARRANGE with `preset`: all groups cleared, then groups 0, 1, ... get
// blocks of wells, each starting at the first well (column by column) that
// still has a free enabled channel; only free enabled channels are assigned,
// and a group that gets a channel is named "Group" + number. False (and
// nothing changed) for a text that is no block.
bool AutoArrange(GroupTable& groups, const PlateFormat& plate, const ChannelStatus& status,
                 const std::string& preset);

// ---- the picture (Picwell) -------------------------------------------------

inline constexpr PlotColour kWellOutline = kPlotRed;
inline constexpr PlotColour kChannelInUse = kPlotBlue;
inline constexpr PlotColour kChannelUnused = 0xFFFF00;  // disabled or not on the plate
inline constexpr double kChannelRadius = 5;
// The colour of a group's label by its number modulo 4: green, blue, red, black.
PlotColour GroupLabelColour(int group);
// The pale fill of a well whose first beam has the group.
PlotColour GroupWellFill(int group);

// The plate as the editor draws it, y growing downwards over the channel
// grid: every well box outlined in red (filled with its group's pale colour,
// white when free), every channel a small circle (blue in use, yellow when
// disabled or unused), "G" + group in the group's colour on every well whose
// first beam has a group, column numbers along the top and row letters down
// the left side in black.
PlotScene DrawGroupPicture(const PlateFormat& plate, const GroupTable& groups, const ChannelStatus& status);
// The outline of the cells spanned by a and b, drawn over a picture while a
// drag is under way.
void OutlineCells(PlotScene& picture, const PlateFormat& plate, WellCell a, WellCell b);

// ---- the editor's group controls -------------------------------------------

// Everything the group controls show.
struct GroupControls {
  std::vector<std::string> combogrup;
  int combogrupIndex = 0;
  std::vector<std::string> lstgrup;
  int lstgrupIndex = -1;  // -1: no selection
  std::vector<std::string> lstchgrup;
  int lstchgrupIndex = -1;
  std::string lblnchannel;  // the well last touched on the picture
  PlotScene picwell;
};

struct PresetMenuItem {
  std::string caption;
  bool visible = false;
  bool checked = false;
};

enum class MouseButton { Left, Right, Other };

class GroupEditor {
 public:
  // The tables are the program's own: the editor changes `groups` in place.
  GroupEditor(GroupTable& groups, const PlateFormat& plate, const ChannelStatus& status, Operator& op);

  // The editor's load: the presets built for the plate, the selector on
  // group 0, both lists and the picture. The picture takes clicks from now on.
  GroupControls Load();
  // After the groups or the plate changed outside (a plate change cleared
  // them): the selector on `group`, both lists refilled, the picture redrawn.
  GroupControls Refresh(int group = 0);
  const GroupControls& Controls() const { return shown_; }
  int SelectedGroup() const { return selected_; }

  // Combo_sets, and the mngroup items 0..23 (hidden beyond the presets; the
  // item last applied checked).
  const std::vector<std::string>& Presets() const { return presets_; }
  std::vector<PresetMenuItem> PresetMenu() const;

  // A combogrup click on entry `index`: the selected group changes and
  // lstgrup shows its wells.
  GroupControls ChooseGroup(int index);
  // A combogrup double click or Enter: asks "Enter New Group (" + three
  // digits + ") Name" with the current name proposed; a non-empty answer the
  // file can hold becomes the name and the entry is rewritten; a refused
  // name is said (kUnstorableGroupName) and changes nothing.
  GroupControls RenameSelectedGroup();

  // "<=" (or a double click in lstchgrup): the well of free entry `index`
  // (-1: none selected, the first is taken) joins the selected group.
  GroupControls JoinFreeEntry(int index);
  // "=>" (or a double click in lstgrup): the well of group entry `index`
  // becomes free.
  GroupControls FreeGroupEntry(int index);
  // "CLEAR LIST": asks kClearGroupsQuestion; Yes clears every group.
  GroupControls ClearGroups();
  // A mngroup item (or a Combo_sets entry with "AUTO-ARRANGE"): the
  // arrangement of preset `item`; that item becomes the checked one.
  GroupControls ApplyPreset(int item);

  // The picture. A press with the left or right button inside the well area
  // (after the load) acts on its well and starts a drag; nothing otherwise.
  std::optional<GroupControls> Press(MouseButton button, double x, double y);
  // The pointer moved with the button held: the picture with the rectangle
  // from the drag's start to the cell under the pointer outlined (the edge
  // cell when it is outside the plate); nothing when no drag is under way.
  std::optional<PlotScene> Drag(double x, double y);
  // The button released: every well of the rectangle from the drag's start to
  // the cell under the pointer (the edge cell when it is outside the plate)
  // joins the selected group (left) or becomes free (right); the drag ends.
  std::optional<GroupControls> Release(double x, double y);
  bool Dragging() const { return drag_.has_value(); }

 private:
  struct DragState {
    WellCell start;
    MouseButton button;
  };
  GroupControls ListMove(int index, bool join);
  void FillLists();
  WellCell ClampedCell(double x, double y) const;

  GroupTable& groups_;
  const PlateFormat& plate_;
  const ChannelStatus& status_;
  Operator& op_;
  bool loaded_ = false;
  int selected_ = 0;
  int checkedPreset_ = -1;
  std::vector<std::string> presets_;
  std::optional<DragState> drag_;
  GroupControls shown_;
};

}  // namespace orb
