#include "setup/group_editor.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <numbers>

#include "common/encoding.h"
#include "common/format.h"
#include "common/seams.h"

namespace orb {

namespace {

bool IsGroup(int g) { return g >= 0 && g < kChannelSlots; }
bool IsStoredGroup(int g) { return g >= 0 && g <= kLastGroup; }
bool Enabled(const ChannelStatus& status, int c) { return status[static_cast<std::size_t>(c)] != 0; }
std::int16_t& GroupOf(GroupTable& groups, int c) { return groups.ChannelGroup[static_cast<std::size_t>(c)]; }
int GroupOf(const GroupTable& groups, int c) { return groups.ChannelGroup[static_cast<std::size_t>(c)]; }
int WellOf(const PlateFormat& plate, int c) { return plate.ChannelWell[static_cast<std::size_t>(c)]; }

// The leading decimal number of `text` from `pos`, advancing `pos`; -1 when
// no digit is there.
int LeadingNumber(const std::string& text, std::size_t& pos) {
  if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) return -1;
  long long n = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    if (n < 100000) n = n * 10 + (text[pos] - '0');
    ++pos;
  }
  return static_cast<int>(n);
}

// The row (0 = "A") of row letters as RowLabel writes them; -1 for none.
int RowOfLetters(const std::string& letters) {
  if (letters.empty() || letters.size() > 3) return -1;
  int n = 0;
  for (char ch : letters) n = n * 26 + (std::toupper(static_cast<unsigned char>(ch)) - 'A' + 1);
  return n - 1;
}

// The well area's edges in drawing units.
double AreaLeft(const PlateFormat& p) { return p.ColumnOffset * kCellUnits; }
double AreaTop(const PlateFormat& p) { return p.RowOffset * kCellUnits; }
double CellWidth(const PlateFormat& p) { return p.ColumnStep * kCellUnits; }
double CellHeight(const PlateFormat& p) { return p.RowStep * kCellUnits; }
bool HasArea(const PlateFormat& p) { return p.Rows > 0 && p.Columns > 0 && CellWidth(p) > 0 && CellHeight(p) > 0; }

// A channel as the picture draws it: a closed polygon close enough to a
// circle at the picture's size.
void DrawChannel(PlotScene& s, int channel, PlotColour colour) {
  constexpr int kSides = 12;
  const Point centre = ChannelCentre(channel);
  std::vector<PlotPoint> pts;
  pts.reserve(kSides + 1);
  for (int i = 0; i <= kSides; ++i) {
    const double a = 2 * std::numbers::pi * i / kSides;
    pts.push_back({centre.x + kChannelRadius * std::cos(a), centre.y + kChannelRadius * std::sin(a)});
  }
  s.polyline(std::move(pts), colour);
}

}  // namespace

// ---- entries and names ------------------------------------------------------

std::string GroupEntry(const GroupTable& groups, int group) {
  const std::string name = IsGroup(group) ? groups.GroupName[static_cast<std::size_t>(group)] : std::string();
  return FormatDigits(group, 3) + "_" + name;
}

int GroupOfEntry(const std::string& entry) {
  const std::string head = entry.substr(0, 3);
  std::size_t pos = head.find_first_not_of(' ');
  if (pos == std::string::npos) return -1;
  return LeadingNumber(head, pos);
}

int BeamOfWell(const PlateFormat& plate, int well, int beamInWell) {
  const int c = plate.wellMap(well, beamInWell);
  if (c < 0 || c >= kChannels) return -1;
  const auto i = static_cast<std::size_t>(c);
  if (plate.ChannelWell[i] != well || plate.ChannelBeam[i] != beamInWell) return -1;
  return c;
}

std::string ChannelEntry(const PlateFormat& plate, int channel) {
  if (channel < 0 || channel >= kChannels) return {};
  const int w = WellOf(plate, channel);
  const std::string well = w >= 0 ? WellLabel(plate, w) : std::string();
  if (well.empty()) return {};
  return well + "." + std::to_string(plate.ChannelBeam[static_cast<std::size_t>(channel)]);
}

EntryParts SplitEntry(const std::string& entry) {
  EntryParts parts;
  std::size_t pos = 0;
  while (pos < entry.size() && std::isalpha(static_cast<unsigned char>(entry[pos]))) ++pos;
  parts.rowLetters = entry.substr(0, pos);
  parts.column = LeadingNumber(entry, pos);
  if (pos < entry.size() && entry[pos] == '.') {
    ++pos;
    parts.hasBeam = true;
    parts.beam = LeadingNumber(entry, pos);
  }
  parts.whole = pos == entry.size();
  return parts;
}

int WellOfEntry(const PlateFormat& plate, const std::string& entry) {
  const EntryParts parts = SplitEntry(entry);
  const int row = RowOfLetters(parts.rowLetters);
  const int column = parts.column;
  if (parts.hasBeam && parts.beam < 0) return -1;
  if (!parts.whole || row < 0 || row >= plate.Rows || column < 1 || column > plate.Columns) return -1;
  return WellOfCell(plate, {row, column - 1});
}

std::string DefaultGroupName(int group) { return "Group" + std::to_string(group); }

bool IsStorableGroupName(const std::string& name) {
  for (char ch : name) {
    const auto u = static_cast<unsigned char>(ch);
    if (ch == '"' || u < 0x20 || u == 0x7F) return false;
  }
  return IsStorableText(name);
}

RenameResult RenameGroup(GroupTable& groups, int group, const std::string& name) {
  if (!IsStoredGroup(group) || name.empty()) return RenameResult::Unchanged;
  if (!IsStorableGroupName(name)) return RenameResult::Refused;
  groups.GroupName[static_cast<std::size_t>(group)] = name;
  return RenameResult::Renamed;
}

void ClearAllGroups(GroupTable& groups) {
  for (int c = 0; c < kChannels; ++c) GroupOf(groups, c) = -1;
  for (int g = 0; g <= kLastGroup; ++g) groups.GroupName[static_cast<std::size_t>(g)] = kFreeGroupName;
}

// ---- the group selector -----------------------------------------------------

namespace {

// Which groups some channel belongs to, and the highest of them (-1: none).
struct GroupsInUse {
  std::array<bool, kChannelSlots> used{};
  int highest = -1;
};
GroupsInUse FindGroupsInUse(const GroupTable& groups) {
  GroupsInUse u;
  for (int c = 0; c < kChannels; ++c) {
    const int g = GroupOf(groups, c);
    if (!IsGroup(g)) continue;
    u.used[static_cast<std::size_t>(g)] = true;
    u.highest = std::max(u.highest, g);
  }
  return u;
}

}  // namespace

std::vector<std::string> GroupSelectorEntries(const GroupTable& groups) {
  const GroupsInUse u = FindGroupsInUse(groups);
  // The next new group is offered only while groups.dat can store its name.
  const int last = std::min(u.highest + 1, std::max(u.highest, kLastGroup));
  std::vector<std::string> entries;
  for (int g = 0; g <= last; ++g) entries.push_back(GroupEntry(groups, g));
  return entries;
}

void NameGroupsInUse(GroupTable& groups) {
  const GroupsInUse u = FindGroupsInUse(groups);
  for (int g = 0; g <= u.highest; ++g) {
    auto& name = groups.GroupName[static_cast<std::size_t>(g)];
    if (u.used[static_cast<std::size_t>(g)] && name == kFreeGroupName) name = DefaultGroupName(g);
  }
}

GroupSelection RefreshGroupSelector(GroupTable& groups, int select) {
  GroupSelection s;
  s.entries = GroupSelectorEntries(groups);
  NameGroupsInUse(groups);
  s.index = 0;
  for (std::size_t i = 0; i < s.entries.size(); ++i)
    if (GroupOfEntry(s.entries[i]) == select) {
      s.index = static_cast<int>(i);
      break;
    }
  s.group = GroupOfEntry(s.entries[static_cast<std::size_t>(s.index)]);
  return s;
}

// ---- the lists ----------------------------------------------------------------

std::vector<std::string> GroupWellEntries(const PlateFormat& plate, const GroupTable& groups,
                                          const ChannelStatus& status, int group) {
  std::vector<std::string> entries;
  if (group < 0) return entries;
  for (int c = 0; c < kChannels; ++c)
    if (GroupOf(groups, c) == group && Enabled(status, c) && WellOf(plate, c) >= 0) {
      std::string entry = ChannelEntry(plate, c);
      if (!entry.empty()) entries.push_back(std::move(entry));
    }
  return entries;
}

std::vector<std::string> FreeWellEntries(const PlateFormat& plate, const GroupTable& groups,
                                         const ChannelStatus& status) {
  std::vector<std::string> entries;
  for (int c = 0; c < kChannels; ++c)
    if (GroupOf(groups, c) == -1 && Enabled(status, c) && WellOf(plate, c) >= 0) {
      std::string entry = ChannelEntry(plate, c);
      if (!entry.empty()) entries.push_back(std::move(entry));
    }
  return entries;
}

void SetWellGroup(GroupTable& groups, const PlateFormat& plate, int well, int group) {
  for (int b = 0; b <= plate.MaxBeam; ++b) {
    const int c = BeamOfWell(plate, well, b);
    if (c >= 0) GroupOf(groups, c) = static_cast<std::int16_t>(group);
  }
}

// ---- the picture's assignments ------------------------------------------------

int WellOfCell(const PlateFormat& plate, WellCell cell) { return plate.Rows * cell.column + cell.row; }

std::optional<WellCell> CellAt(const PlateFormat& plate, double x, double y) {
  if (!HasArea(plate) || !std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
  const double k = std::floor((x - AreaLeft(plate)) / CellWidth(plate));
  const double r = std::floor((y - AreaTop(plate)) / CellHeight(plate));
  if (k < 0 || k >= plate.Columns || r < 0 || r >= plate.Rows) return std::nullopt;
  return WellCell{static_cast<int>(r), static_cast<int>(k)};
}

void AssignWell(GroupTable& groups, const PlateFormat& plate, const ChannelStatus& status, int well,
                WellAction action, int group) {
  for (int c = 0; c < kChannels; ++c) {
    if (WellOf(plate, c) != well || !Enabled(status, c)) continue;
    switch (action) {
      case WellAction::JoinIfFree:
        if (GroupOf(groups, c) == -1) GroupOf(groups, c) = static_cast<std::int16_t>(group);
        break;
      case WellAction::Join:
        GroupOf(groups, c) = static_cast<std::int16_t>(group);
        break;
      case WellAction::Free:
        GroupOf(groups, c) = -1;
        break;
    }
  }
}

std::vector<int> AssignRectangle(GroupTable& groups, const PlateFormat& plate, const ChannelStatus& status,
                                 WellCell a, WellCell b, WellAction action, int group) {
  std::vector<int> wells;
  for (int k = std::min(a.column, b.column); k <= std::max(a.column, b.column); ++k)
    for (int r = std::min(a.row, b.row); r <= std::max(a.row, b.row); ++r) {
      const int w = WellOfCell(plate, {r, k});
      AssignWell(groups, plate, status, w, action, group);
      wells.push_back(w);
    }
  return wells;
}

// ---- block presets and the automatic arrangement --------------------------------

std::vector<std::string> BlockPresets(const PlateFormat& plate) {
  std::vector<std::string> presets;
  for (int a = 1; a <= 16; ++a) {
    if (plate.Columns <= 0 || plate.Columns % a != 0) continue;
    for (int b = 1; b <= 16; ++b) {
      if (plate.Rows <= 0 || plate.Rows % b != 0) continue;
      presets.push_back(FormatDigits(b, 2) + "x" + FormatDigits(a, 2) + " [RowsxColumn]");
    }
  }
  return presets;
}

std::optional<BlockSize> PresetBlock(const std::string& preset) {
  auto number = [&](std::size_t from) {
    if (preset.size() < from + 2) return -1;
    std::string digits = preset.substr(from, 2);
    std::size_t pos = digits.find_first_not_of(' ');
    if (pos == std::string::npos) return -1;
    const int n = LeadingNumber(digits, pos);
    return pos == digits.size() ? n : -1;
  };
  const int h = number(0), v = number(3);
  if (h < 1 || v < 1) return std::nullopt;
  return BlockSize{h, v};
}

bool AutoArrange(GroupTable& groups, const PlateFormat& plate, const ChannelStatus& status,
                 const std::string& preset) {
  const auto block = PresetBlock(preset);
  if (!block) return false;
  ClearAllGroups(groups);
  const int h = block->rows, v = block->columns;
  const int maxWell = plate.MaxWell;
  const int n = std::max(maxWell, 0) / (h * v);

  // A well the arrangement can still give a channel to.
  std::array<bool, kChannelSlots> open{};
  auto refreshOpen = [&] {
    open.fill(false);
    for (int c = 0; c < kChannels; ++c) {
      const int w = WellOf(plate, c);
      if (w >= 0 && w < kChannelSlots && Enabled(status, c) && GroupOf(groups, c) == -1)
        open[static_cast<std::size_t>(w)] = true;
    }
  };

  for (int q = 0; q <= n && q <= kLastGroup; ++q) {
    // The block starts at the first well, column by column, that still has a
    // free enabled channel. (Looking only at the first beam would stop at a
    // disabled one for ever and give every later group nothing.)
    refreshOpen();
    int start = -1;
    for (int k = 0; k < plate.Columns && start < 0; ++k)
      for (int r = 0; r < plate.Rows; ++r) {
        const int w = WellOfCell(plate, {r, k});
        if (w >= 0 && w < kChannelSlots && open[static_cast<std::size_t>(w)]) {
          start = w;
          break;
        }
      }
    if (start < 0) break;  // nothing is left to assign
    for (int j = 1; j <= h; ++j)
      for (int i = 1; i <= v; ++i) {
        if (static_cast<long long>(q) * j * i > maxWell) continue;
        const int target = start + (j - 1) + (i - 1) * plate.Rows;
        for (int c = 0; c < kChannels; ++c)
          if (WellOf(plate, c) == target && GroupOf(groups, c) == -1 && Enabled(status, c)) {
            GroupOf(groups, c) = static_cast<std::int16_t>(q);
            groups.GroupName[static_cast<std::size_t>(q)] = DefaultGroupName(q);
          }
      }
  }
  return true;
}

// ---- the picture --------------------------------------------------------------

PlotColour GroupLabelColour(int group) {
  switch (((group % 4) + 4) % 4) {
    case 0: return 0x008000;  // green
    case 1: return kPlotBlue;
    case 2: return kPlotRed;
    default: return kPlotBlack;
  }
}

PlotColour GroupWellFill(int group) {
  switch (((group % 4) + 4) % 4) {
    case 0: return 0xCCEECC;
    case 1: return 0xCCDDFF;
    case 2: return 0xFFD6D6;
    default: return 0xDDDDDD;
  }
}

PlotScene DrawGroupPicture(const PlateFormat& plate, const GroupTable& groups, const ChannelStatus& status) {
  PlotScene s;
  const double left = AreaLeft(plate), top = AreaTop(plate);
  const double right = left + std::max<int>(plate.Columns, 0) * CellWidth(plate);
  const double bottom = top + std::max<int>(plate.Rows, 0) * CellHeight(plate);
  // y grows downwards, as the grid is drawn; room for the labels at -50.
  s.scale(std::min(left, 0.0) - 100, std::min(top, 0.0) - 100,
          std::max(right, static_cast<double>(kGridColumns * kCellUnits)) + 10,
          std::max(bottom, static_cast<double>(kGridRows * kCellUnits)) + 10);

  // The group of a well: that of its first beam (-1: free or no beam).
  auto wellGroup = [&](int w) {
    const int first = BeamOfWell(plate, w, 0);
    return first >= 0 ? GroupOf(groups, first) : -1;
  };

  for (int r = 0; r < plate.Rows; ++r)
    for (int k = 0; k < plate.Columns; ++k) {
      const int w = WellOfCell(plate, {r, k});
      const Box b = WellBox(plate, w);
      const int g = wellGroup(w);
      s.filledBox({b.x1, b.y1}, {b.x2, b.y2}, g >= 0 ? GroupWellFill(g) : kPlotWhite, kWellOutline);
    }

  for (int c = 0; c < kChannels; ++c)
    DrawChannel(s, c, Enabled(status, c) && WellOf(plate, c) >= 0 ? kChannelInUse : kChannelUnused);

  for (int k = 0; k < plate.Columns; ++k)
    for (int r = 0; r < plate.Rows; ++r) {
      const int g = wellGroup(WellOfCell(plate, {r, k}));
      if (g < 0) continue;
      const PlotPoint at{k * kCellUnits * plate.ColumnStep + plate.ColumnOffset * kCellUnits + 25,
                         r * kCellUnits * plate.RowStep + plate.RowOffset * kCellUnits + 45};
      s.text(at, "G" + std::to_string(g), GroupLabelColour(g));
    }

  for (int k = 0; k < plate.Columns; ++k)
    s.text({k * CellWidth(plate) + left, top - 50}, std::to_string(k + 1), kPlotBlack);
  for (int r = 0; r < plate.Rows; ++r)
    s.text({left - 50, r * CellHeight(plate) + top}, RowLabel(r), kPlotBlack);
  return s;
}

void OutlineCells(PlotScene& picture, const PlateFormat& plate, WellCell a, WellCell b) {
  const Box first = WellBox(plate, WellOfCell(plate, {std::min(a.row, b.row), std::min(a.column, b.column)}));
  const Box last = WellBox(plate, WellOfCell(plate, {std::max(a.row, b.row), std::max(a.column, b.column)}));
  picture.box({first.x1, first.y1}, {last.x2, last.y2}, kPlotBlack, 2);
}

// ---- the editor's group controls ------------------------------------------------

GroupEditor::GroupEditor(GroupTable& groups, const PlateFormat& plate, const ChannelStatus& status, Operator& op)
    : groups_(groups), plate_(plate), status_(status), op_(op) {}

void GroupEditor::FillLists() {
  shown_.lstgrup = GroupWellEntries(plate_, groups_, status_, selected_);
  shown_.lstchgrup = FreeWellEntries(plate_, groups_, status_);
  shown_.lstgrupIndex = -1;
  shown_.lstchgrupIndex = -1;
}

GroupControls GroupEditor::Load() {
  presets_ = BlockPresets(plate_);
  checkedPreset_ = -1;
  drag_.reset();
  loaded_ = true;
  return Refresh(0);
}

GroupControls GroupEditor::Refresh(int group) {
  GroupSelection s = RefreshGroupSelector(groups_, group);
  shown_.combogrup = std::move(s.entries);
  shown_.combogrupIndex = s.index;
  selected_ = s.group;
  FillLists();
  shown_.picwell = DrawGroupPicture(plate_, groups_, status_);
  return shown_;
}

std::vector<PresetMenuItem> GroupEditor::PresetMenu() const {
  std::vector<PresetMenuItem> items(kPresetMenuItems);
  for (int i = 0; i < kPresetMenuItems; ++i) {
    if (i >= static_cast<int>(presets_.size())) continue;
    items[static_cast<std::size_t>(i)] = {presets_[static_cast<std::size_t>(i)], true, i == checkedPreset_};
  }
  return items;
}

GroupControls GroupEditor::ChooseGroup(int index) {
  if (index < 0 || index >= static_cast<int>(shown_.combogrup.size())) return shown_;
  const int g = GroupOfEntry(shown_.combogrup[static_cast<std::size_t>(index)]);
  if (g < 0) return shown_;
  selected_ = g;
  shown_.combogrupIndex = index;
  shown_.lstgrup = GroupWellEntries(plate_, groups_, status_, selected_);
  shown_.lstgrupIndex = -1;
  return shown_;
}

GroupControls GroupEditor::RenameSelectedGroup() {
  if (!IsStoredGroup(selected_)) return shown_;
  const auto answer = op_.input("Enter New Group (" + FormatDigits(selected_, 3) + ") Name", "",
                                groups_.GroupName[static_cast<std::size_t>(selected_)]);
  if (!answer) return shown_;
  switch (RenameGroup(groups_, selected_, *answer)) {
    case RenameResult::Refused:
      op_.inform(kUnstorableGroupName);
      break;
    case RenameResult::Renamed:
      if (shown_.combogrupIndex >= 0 && shown_.combogrupIndex < static_cast<int>(shown_.combogrup.size()))
        shown_.combogrup[static_cast<std::size_t>(shown_.combogrupIndex)] = GroupEntry(groups_, selected_);
      break;
    case RenameResult::Unchanged:
      break;
  }
  return shown_;
}

GroupControls GroupEditor::ListMove(int index, bool join) {
  const std::vector<std::string>& source = join ? shown_.lstchgrup : shown_.lstgrup;
  if (source.empty()) return shown_;
  if (index < 0 || index >= static_cast<int>(source.size())) index = 0;
  const int well = WellOfEntry(plate_, source[static_cast<std::size_t>(index)]);
  if (well < 0) return shown_;
  SetWellGroup(groups_, plate_, well, join ? selected_ : -1);
  FillLists();
  const int size = static_cast<int>((join ? shown_.lstchgrup : shown_.lstgrup).size());
  (join ? shown_.lstchgrupIndex : shown_.lstgrupIndex) = size == 0 ? -1 : std::min(index, size - 1);
  shown_.picwell = DrawGroupPicture(plate_, groups_, status_);
  return shown_;
}

GroupControls GroupEditor::JoinFreeEntry(int index) { return ListMove(index, true); }
GroupControls GroupEditor::FreeGroupEntry(int index) { return ListMove(index, false); }

GroupControls GroupEditor::ClearGroups() {
  if (!op_.confirm(kClearGroupsQuestion)) return shown_;
  ClearAllGroups(groups_);
  return Refresh(0);
}

GroupControls GroupEditor::ApplyPreset(int item) {
  if (item < 0 || item >= static_cast<int>(presets_.size())) return shown_;
  if (!AutoArrange(groups_, plate_, status_, presets_[static_cast<std::size_t>(item)])) return shown_;
  checkedPreset_ = item;
  return Refresh(0);
}

WellCell GroupEditor::ClampedCell(double x, double y) const {
  if (auto cell = CellAt(plate_, x, y)) return *cell;
  auto clamp = [](double v, int count) {
    if (!std::isfinite(v) || v < 0) return 0;
    return v >= count ? count - 1 : static_cast<int>(v);
  };
  return {clamp(std::floor((y - AreaTop(plate_)) / CellHeight(plate_)), plate_.Rows),
          clamp(std::floor((x - AreaLeft(plate_)) / CellWidth(plate_)), plate_.Columns)};
}

std::optional<GroupControls> GroupEditor::Press(MouseButton button, double x, double y) {
  if (!loaded_ || button == MouseButton::Other) return std::nullopt;
  const auto cell = CellAt(plate_, x, y);
  if (!cell) return std::nullopt;
  const int w = WellOfCell(plate_, *cell);
  shown_.lblnchannel = std::to_string(w);
  AssignWell(groups_, plate_, status_, w, button == MouseButton::Left ? WellAction::JoinIfFree : WellAction::Free,
             selected_);
  drag_ = DragState{*cell, button};
  return Refresh(selected_);
}

std::optional<PlotScene> GroupEditor::Drag(double x, double y) {
  if (!drag_) return std::nullopt;
  PlotScene picture = shown_.picwell;
  OutlineCells(picture, plate_, drag_->start, ClampedCell(x, y));
  return picture;
}

std::optional<GroupControls> GroupEditor::Release(double x, double y) {
  if (!drag_) return std::nullopt;
  const DragState drag = *drag_;
  drag_.reset();
  const std::vector<int> wells =
      AssignRectangle(groups_, plate_, status_, drag.start, ClampedCell(x, y),
                      drag.button == MouseButton::Left ? WellAction::Join : WellAction::Free, selected_);
  if (!wells.empty()) shown_.lblnchannel = std::to_string(wells.back());
  return Refresh(selected_);
}

}  // namespace orb
