#include "browser/regroup.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>

#include "app/config_files.h"
#include "app/project_files.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"
#include "common/text_record.h"
#include "reports/report_context.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr const char* kGroupsFile = "groups.dat";
constexpr const char* kChannelGroupsFile = "chgroup.dat";

// The number of the project folder holding the acquisition ("p00001" -> 1),
// for the messages of the group files; 0 for the data folder itself.
int ProjectNumberOf(const fs::path& acquisitionFolder) {
  const std::string name = acquisitionFolder.parent_path().filename().string();
  if (name.size() != 6 || name[0] != 'p') return 0;
  int n = 0;
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

void ReadGroupFiles(AcquisitionGroups& acq, Operator& op) {
  // Channels chgroup.dat gives no record keep no stale group.
  acq.groups.ChannelGroup.fill(-1);
  LoadGroupNames(acq.folder, acq.groups, acq.projectNumber, op);
  LoadChannelGroups(acq.folder, acq.groups, acq.projectNumber, op);
  acq.groups.ChannelGroup[kChannels] = -1;
}

std::error_code Errno() { return {errno, std::generic_category()}; }

// Writes the whole of `bytes` to a fresh file of `folder` (O_EXCL) and syncs
// it; returns its path, or the error with nothing left behind.
NewFileResult WriteTempFile(const fs::path& folder, const std::string& stem, std::string_view bytes) {
  std::random_device rd;
  for (int attempt = 0; attempt < 20; ++attempt) {
    const fs::path temp = folder / (stem + ".new" + std::to_string(rd() % 1000000));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return {{}, Errno()};
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        const std::error_code ec = Errno();
        ::close(fd);
        ::unlink(temp.c_str());
        return {{}, ec};
      }
      done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
      const std::error_code ec = Errno();
      ::close(fd);
      ::unlink(temp.c_str());
      return {{}, ec};
    }
    if (::close(fd) != 0) {
      const std::error_code ec = Errno();
      ::unlink(temp.c_str());
      return {{}, ec};
    }
    return {temp, {}};
  }
  return {{}, std::make_error_code(std::errc::file_exists)};
}

// A group file as it is now: its bytes, nothing when the folder has no such
// entry, or an error when something is there that cannot be read.
struct CurrentFile {
  bool present = false;
  std::string bytes;
  bool unreadable = false;
};
CurrentFile ReadCurrent(const fs::path& file) {
  CurrentFile f;
  std::error_code ec;
  const auto st = fs::symlink_status(file, ec);
  if (ec || st.type() == fs::file_type::not_found) return f;
  f.present = true;
  auto bytes = ReadWholeFile(file);
  if (!bytes) {
    f.unreadable = true;
    return f;
  }
  f.bytes = std::move(*bytes);
  return f;
}

}  // namespace

// ---- the working group map ---------------------------------------------------

AcquisitionGroups LoadAcquisitionGroups(const fs::path& programFolder, const fs::path& acquisitionFolder,
                                        Operator& op) {
  AcquisitionGroups acq;
  acq.folder = acquisitionFolder;
  acq.projectNumber = ProjectNumberOf(acquisitionFolder);
  // The groups and the plate as the reports of this acquisition read them.
  ReportContext ctx = LoadReportContext(programFolder, acquisitionFolder, op);
  acq.groups = std::move(ctx.groups);
  acq.plateCode = ctx.plateCode;
  acq.hasPlate = ctx.hasPlate;
  acq.plate = std::move(ctx.plate);
  acq.status.fill(-1);
  acq.hasStatus = FileExists(acquisitionFolder / "status.dat");
  if (acq.hasStatus) LoadChannelStatus(acquisitionFolder, acq.status, acq.projectNumber, op);
  return acq;
}

void ReloadGroupFiles(AcquisitionGroups& acq, Operator& op) { ReadGroupFiles(acq, op); }

// ---- block layouts -------------------------------------------------------------

// The project editor's presets are built by the same rule (columns outer,
// rows inner, both 1..16).
std::vector<std::string> BlockLayouts(const PlateFormat& plate) { return BlockPresets(plate); }

int DefaultBlockLayout(const std::vector<std::string>& layouts) {
  if (layouts.empty()) return -1;
  return layouts.size() >= 3 ? 2 : 0;
}

// ---- the group names -------------------------------------------------------------

std::string ShownGroupName(const GroupTable& groups, int group) {
  if (group < 0 || group >= kChannelSlots) return kFreeGroupName;
  const std::string& name = groups.GroupName[static_cast<std::size_t>(group)];
  return name == kFreeGroupName ? DefaultGroupName(group) : name;
}

std::string ShownGroupEntry(const GroupTable& groups, int group) {
  return FormatDigits(group, 3) + "_" + ShownGroupName(groups, group);
}

std::vector<std::string> EditingGroupEntries(const GroupTable& groups) {
  std::vector<std::string> entries;
  for (const std::string& e : GroupSelectorEntries(groups)) entries.push_back(ShownGroupEntry(groups, GroupOfEntry(e)));
  return entries;
}

// ---- saving ----------------------------------------------------------------------

std::string BackupStamp(const LocalDateTime& t) {
  return FormatDigits(t.year, 4) + FormatDigits(t.month, 2) + FormatDigits(t.day, 2) + "_" +
         FormatDigits(t.hour, 2) + FormatDigits(t.minute, 2) + FormatDigits(t.second, 2);
}

NewFileResult WriteUnderFreeName(const fs::path& path, std::string_view bytes) {
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const std::string stem = path.stem().string(), ext = path.extension().string();
  NewFileResult temp = WriteTempFile(folder, stem, bytes);
  if (temp.error) return temp;
  // link() refuses a name that exists, so an earlier file is never replaced,
  // even by another program saving at the same moment.
  NewFileResult result;
  for (int n = 1; n < 10000; ++n) {
    const fs::path name = n == 1 ? path : folder / (stem + "_" + std::to_string(n) + ext);
    if (::link(temp.path.c_str(), name.c_str()) == 0) {
      result.path = name;
      break;
    }
    if (errno != EEXIST) {
      result.error = Errno();
      break;
    }
  }
  if (result.path.empty() && !result.error) result.error = std::make_error_code(std::errc::file_exists);
  ::unlink(temp.path.c_str());
  if (!result.error) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  return result;
}

GroupSaveResult SaveAcquisitionGroups(const fs::path& folder, const GroupTable& groups, Clock& clock,
                                      const FileReplacer& replaceIn) {
  const FileReplacer replace = replaceIn ? replaceIn : FileReplacer(&WriteFileAtomic);
  GroupSaveResult r;
  auto fail = [&](std::string reason) {
    r.saved = false;
    r.reason = std::move(reason);
    r.message = kGroupsSaveErrorPrefix + folder.string();
    return r;
  };

  // Both new files are built before anything is touched: a name the file
  // cannot hold fails the save with every file as it was.
  std::string namesBytes, channelsBytes;
  try {
    namesBytes = GroupNamesFileBytes(groups);
    channelsBytes = ChannelGroupsFileBytes(groups);
  } catch (const std::exception& e) {
    return fail(e.what());
  }

  const std::string stamp = BackupStamp(clock.now());
  struct GroupFile {
    const char* name;
    const char* stem;
    CurrentFile current;
  };
  GroupFile files[] = {{kChannelGroupsFile, "chgroup", ReadCurrent(folder / kChannelGroupsFile)},
                       {kGroupsFile, "groups", ReadCurrent(folder / kGroupsFile)}};
  for (GroupFile& f : files) {
    if (!f.current.present) continue;
    if (f.current.unreadable) return fail((folder / f.name).string() + " cannot be read");
    const fs::path previous = folder / (std::string(f.stem) + ".bak");
    if (auto ec = WriteFileAtomic(previous, f.current.bytes))
      return fail(previous.string() + ": " + ec.message());
    r.backups.push_back(previous);
    const fs::path wanted = folder / (f.stem + stamp + ".bak");
    const NewFileResult stamped = WriteUnderFreeName(wanted, f.current.bytes);
    if (stamped.error) return fail(wanted.string() + ": " + stamped.error.message());
    r.backups.push_back(stamped.path);
  }

  const GroupFile& names = files[1];
  if (auto ec = replace(folder / kGroupsFile, namesBytes)) return fail((folder / kGroupsFile).string() + ": " + ec.message());
  if (auto ec = replace(folder / kChannelGroupsFile, channelsBytes)) {
    // The two files go together: groups.dat goes back to what it was.
    if (names.current.present) {
      WriteFileAtomic(folder / kGroupsFile, names.current.bytes);
    } else {
      std::error_code ignored;
      fs::remove(folder / kGroupsFile, ignored);
    }
    return fail((folder / kChannelGroupsFile).string() + ": " + ec.message());
  }
  r.written = {folder / kGroupsFile, folder / kChannelGroupsFile};
  r.saved = true;
  r.message = kGroupsSavedMessage;
  return r;
}

// ---- the editing frame --------------------------------------------------------------

RegroupEditor::RegroupEditor(AcquisitionGroups& acq, Operator& op, Clock& clock)
    : acq_(acq), op_(op), clock_(clock) {}

RegroupControls RegroupEditor::Refresh(int group) {
  shown_.combogrup2 = EditingGroupEntries(acq_.groups);
  // The groups in use are named as they are shown, so that the files say
  // what the operator saw.
  NameGroupsInUse(acq_.groups);
  shown_.combogrup2Index = 0;
  for (std::size_t i = 0; i < shown_.combogrup2.size(); ++i)
    if (GroupOfEntry(shown_.combogrup2[i]) == group) {
      shown_.combogrup2Index = static_cast<int>(i);
      break;
    }
  selected_ = GroupOfEntry(shown_.combogrup2[static_cast<std::size_t>(shown_.combogrup2Index)]);
  shown_.lstgrup2 = GroupWellEntries(acq_.plate, acq_.groups, acq_.status, selected_);
  shown_.lstchgrup2 = FreeWellEntries(acq_.plate, acq_.groups, acq_.status);
  shown_.picture = DrawGroupPicture(acq_.plate, acq_.groups, acq_.status);
  return shown_;
}

RegroupControls RegroupEditor::Enter() {
  shown_.comboSets = BlockLayouts(acq_.plate);
  shown_.comboSetsIndex = DefaultBlockLayout(shown_.comboSets);
  shown_.lblnchannel.clear();
  held_ = MouseButton::Other;
  return Refresh(0);
}

RegroupControls RegroupEditor::ChooseGroup(int index) {
  if (index < 0 || index >= static_cast<int>(shown_.combogrup2.size())) return shown_;
  const int g = GroupOfEntry(shown_.combogrup2[static_cast<std::size_t>(index)]);
  if (g < 0) return shown_;
  selected_ = g;
  shown_.combogrup2Index = index;
  shown_.lstgrup2 = GroupWellEntries(acq_.plate, acq_.groups, acq_.status, selected_);
  return shown_;
}

RegroupControls RegroupEditor::RenameSelectedGroup() {
  if (selected_ < 0 || selected_ > kLastGroup) return shown_;
  const auto answer = op_.input("Enter New Group (" + std::to_string(selected_) + ") Name", "",
                                ShownGroupName(acq_.groups, selected_));
  if (!answer) return shown_;
  switch (RenameGroup(acq_.groups, selected_, *answer)) {
    case RenameResult::Refused:
      op_.inform(kUnstorableGroupName);
      return shown_;
    case RenameResult::Renamed:
      return Refresh(selected_);
    case RenameResult::Unchanged:
      return shown_;
  }
  return shown_;
}

RegroupControls RegroupEditor::ClearGroups() {
  if (!op_.confirm(kClearGroupsQuestion)) return shown_;
  ClearAllGroups(acq_.groups);
  return Refresh(0);
}

RegroupControls RegroupEditor::ChooseLayout(int index) {
  if (index >= 0 && index < static_cast<int>(shown_.comboSets.size())) shown_.comboSetsIndex = index;
  return shown_;
}

RegroupControls RegroupEditor::Go() {
  const int i = shown_.comboSetsIndex;
  if (i < 0 || i >= static_cast<int>(shown_.comboSets.size())) return shown_;
  // The project editor's arrangement: blocks anchored at the first well,
  // column by column, that still has a free channel in use.
  if (!AutoArrange(acq_.groups, acq_.plate, acq_.status, shown_.comboSets[static_cast<std::size_t>(i)]))
    return shown_;
  return Refresh(0);
}

void RegroupEditor::ActOnWell(int well) {
  shown_.lblnchannel = std::to_string(well);
  AssignWell(acq_.groups, acq_.plate, acq_.status, well,
             held_ == MouseButton::Left ? WellAction::JoinIfFree : WellAction::Free, selected_);
  lastWell_ = well;
}

std::optional<RegroupControls> RegroupEditor::Press(MouseButton button, double x, double y) {
  if (button == MouseButton::Other || !acq_.hasPlate) return std::nullopt;
  const auto cell = CellAt(acq_.plate, x, y);
  if (!cell) return std::nullopt;
  held_ = button;
  ActOnWell(WellOfCell(acq_.plate, *cell));
  return Refresh(selected_);
}

std::optional<RegroupControls> RegroupEditor::Move(double x, double y) {
  if (held_ == MouseButton::Other) return std::nullopt;
  const auto cell = CellAt(acq_.plate, x, y);
  if (!cell) return std::nullopt;
  const int w = WellOfCell(acq_.plate, *cell);
  if (w == lastWell_) return std::nullopt;  // still over the same well
  ActOnWell(w);
  return Refresh(selected_);
}

void RegroupEditor::Release() {
  held_ = MouseButton::Other;
  lastWell_ = -1;
}

RegroupExit RegroupEditor::Exit(GroupSaveResult* saved) {
  Release();
  if (op_.confirm(kSaveGroupsQuestion)) {
    GroupSaveResult r = SaveAcquisitionGroups(acq_.folder, acq_.groups, clock_, replace_);
    op_.inform(r.message);
    const RegroupExit outcome = r.saved ? RegroupExit::Saved : RegroupExit::SaveFailed;
    if (saved) *saved = std::move(r);
    return outcome;
  }
  ReloadGroupFiles(acq_, op_);
  op_.inform(kGroupsRestoredMessage);
  return RegroupExit::Restored;
}

}  // namespace orb
