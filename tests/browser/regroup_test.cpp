#include "browser/regroup.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "common/fileio.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;

// A data folder with the demo project (k96f, groups by pairs of columns) and
// one recording of it carrying copies of the project's files.
class RecordedAcquisition : public ::testing::Test {
 protected:
  void SetUp() override {
    InitDataFolder(data.path(), true);
    acqFolder = data.path() / "p00001" / "20240131_1405";
    fs::create_directories(acqFolder);
    for (const char* f : {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat"})
      fs::copy_file(data.path() / "p00001" / f, acqFolder / f);
  }
  AcquisitionGroups Load() { return LoadAcquisitionGroups(data.path(), acqFolder, op); }
  std::string Read(const std::string& name) { return ReadWholeFile(acqFolder / name).value_or("<missing>"); }
  std::vector<std::string> BackupNames() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(acqFolder))
      if (e.path().extension() == ".bak") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The wells (A1, B1, ...) of a group, from the channels of beam 0.
  static std::vector<std::string> WellsOf(const AcquisitionGroups& acq, int group) {
    std::vector<std::string> wells;
    for (int w = 0; w <= acq.plate.MaxWell; ++w) {
      const int c = BeamOfWell(acq.plate, w, 0);
      if (c >= 0 && acq.groups.ChannelGroup[c] == group) wells.push_back(WellLabel(acq.plate, w));
    }
    return wells;
  }
  // The centre of a well on the plate picture.
  static std::pair<double, double> Centre(const AcquisitionGroups& acq, const std::string& well) {
    const Box b = WellBox(acq.plate, WellOfEntry(acq.plate, well));
    return {(b.x1 + b.x2) / 2, (b.y1 + b.y2) / 2};
  }

  testing::TempFolder data;
  fs::path acqFolder;
  ScriptedOperator op;
  FakeClock clock;
};

TEST(BlockLayouts, NinetySixWellsGiveTwentyFourLayoutsColumnsOuter) {
  PlateFormat plate;
  plate.Rows = 8;
  plate.Columns = 12;
  const auto layouts = BlockLayouts(plate);
  ASSERT_EQ(layouts.size(), 24u);
  EXPECT_EQ(layouts[0], "01x01 [RowsxColumn]");
  EXPECT_EQ(layouts[1], "02x01 [RowsxColumn]");
  EXPECT_EQ(layouts[2], "04x01 [RowsxColumn]");
  EXPECT_EQ(layouts[3], "08x01 [RowsxColumn]");
  EXPECT_EQ(layouts[4], "01x02 [RowsxColumn]");
  EXPECT_EQ(layouts[23], "08x12 [RowsxColumn]");
  EXPECT_EQ(DefaultBlockLayout(layouts), 2);

  plate.Rows = 1;
  plate.Columns = 1;  // one layout only: it is the one selected
  EXPECT_EQ(DefaultBlockLayout(BlockLayouts(plate)), 0);
  EXPECT_EQ(DefaultBlockLayout({}), -1);
}

TEST(BackupNames, NewFileNeverReplacesAnEarlierOne) {
  testing::TempFolder folder;
  folder.write("groups20220415_103005.bak", "first");
  folder.write("groups20220415_103005_2.bak", "second");
  const auto r = WriteUnderFreeName(folder / "groups20220415_103005.bak", "third");
  ASSERT_FALSE(r.error) << r.error.message();
  EXPECT_EQ(r.path, folder / "groups20220415_103005_3.bak");
  EXPECT_EQ(folder.read("groups20220415_103005.bak"), "first");
  EXPECT_EQ(folder.read("groups20220415_103005_2.bak"), "second");
  EXPECT_EQ(folder.read("groups20220415_103005_3.bak"), "third");
  // No temporary file is left beside them.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);
}

TEST_F(RecordedAcquisition, LoadsTheRecordingsOwnGroupsPlateAndStatus) {
  // The project changes after the recording: the recording keeps its own.
  data.write("p00001/chgroup.dat", "");
  AcquisitionGroups acq = Load();
  EXPECT_TRUE(op.texts().empty()) << op.texts().front();
  ASSERT_TRUE(acq.hasPlate);
  EXPECT_EQ(acq.plateCode, "k96f");
  EXPECT_EQ(acq.plate.MaxWell, 95);
  EXPECT_TRUE(acq.hasStatus);
  EXPECT_EQ(acq.projectNumber, 1);
  EXPECT_EQ(GroupNamesFileBytes(acq.groups), Read("groups.dat"));
  EXPECT_EQ(ChannelGroupsFileBytes(acq.groups), Read("chgroup.dat"));
}

TEST_F(RecordedAcquisition, MissingGroupFilesAreReportedAndDefaulted) {
  fs::remove(acqFolder / "groups.dat");
  fs::remove(acqFolder / "status.dat");
  AcquisitionGroups acq = Load();
  EXPECT_TRUE(op.saw("Error [\\p00001\\groups.dat] => Loading default groups...")) << ::testing::PrintToString(op.texts());
  EXPECT_EQ(acq.groups.GroupName[11], "Group11");
  EXPECT_EQ(acq.groups.GroupName[12], "Free");
  // No status.dat: every channel counts as in use, silently.
  EXPECT_FALSE(acq.hasStatus);
  EXPECT_EQ(acq.status[1], -1);
  EXPECT_EQ(op.texts().size(), 1u);
}

TEST_F(RecordedAcquisition, GoTwoByThreeMakesSixteenGroupsOfSixWells) {
  AcquisitionGroups acq = Load();
  RegroupEditor editor(acq, op, clock);
  RegroupControls shown = editor.Enter();
  ASSERT_EQ(shown.comboSets.size(), 24u);
  EXPECT_EQ(shown.comboSetsIndex, 2);
  const auto it = std::find(shown.comboSets.begin(), shown.comboSets.end(), "02x03 [RowsxColumn]");
  ASSERT_NE(it, shown.comboSets.end());
  editor.ChooseLayout(static_cast<int>(it - shown.comboSets.begin()));
  shown = editor.Go();

  EXPECT_EQ(WellsOf(acq, 0), (std::vector<std::string>{"A1", "B1", "A2", "B2", "A3", "B3"}));
  EXPECT_EQ(WellsOf(acq, 1), (std::vector<std::string>{"C1", "D1", "C2", "D2", "C3", "D3"}));
  EXPECT_EQ(WellsOf(acq, 4), (std::vector<std::string>{"A4", "B4", "A5", "B5", "A6", "B6"}));
  for (int g = 0; g < 16; ++g) {
    EXPECT_EQ(WellsOf(acq, g).size(), 6u) << "group " << g;
    EXPECT_EQ(acq.groups.GroupName[g], "Group" + std::to_string(g));
  }
  EXPECT_TRUE(WellsOf(acq, 16).empty());
  EXPECT_EQ(acq.groups.GroupName[16], "Free");
  EXPECT_TRUE(shown.lstchgrup2.empty());
  // Both beams of a well go together.
  EXPECT_EQ(shown.lstgrup2, (std::vector<std::string>{"A1.0", "B1.0", "A1.1", "B1.1", "A2.0", "B2.0", "A2.1", "B2.1",
                                                      "A3.0", "B3.0", "A3.1", "B3.1"}));
  EXPECT_EQ(shown.combogrup2.front(), "000_Group0");
  EXPECT_EQ(shown.combogrup2.back(), "016_Group16");
}

TEST_F(RecordedAcquisition, GoLeavesChannelsOutOfUseFree) {
  // Beam 0 of A1 (channel 0) is not in use: the block still starts at A1
  // with its other beam, and channel 0 stays free.
  std::string status = Read("status.dat");
  const auto at = status.find("\r\n0,1\r\n");
  ASSERT_NE(at, std::string::npos);
  status.replace(at, 7, "\r\n0,0\r\n");
  data.write("p00001/20240131_1405/status.dat", status);
  AcquisitionGroups acq = Load();
  RegroupEditor editor(acq, op, clock);
  RegroupControls shown = editor.Enter();
  editor.ChooseLayout(static_cast<int>(
      std::find(shown.comboSets.begin(), shown.comboSets.end(), "02x03 [RowsxColumn]") - shown.comboSets.begin()));
  editor.Go();
  EXPECT_EQ(acq.groups.ChannelGroup[0], -1);
  EXPECT_EQ(acq.groups.ChannelGroup[16], 0);  // A1's second beam
  EXPECT_EQ(acq.groups.ChannelGroup[2], 0);   // B1
  EXPECT_EQ(acq.groups.ChannelGroup[4], 1);   // C1
}

TEST_F(RecordedAcquisition, ClicksJoinFreeWellsDragsExtendRightClicksFree) {
  AcquisitionGroups acq = Load();
  RegroupEditor editor(acq, op, clock);
  editor.Enter();
  op.answer(Answer::Yes);
  editor.ClearGroups();
  ASSERT_TRUE(WellsOf(acq, 0).empty());

  // Group 2 is chosen; A1 pressed, then the pointer passes over B1 and C1.
  RegroupControls shown = editor.Controls();
  ASSERT_EQ(shown.combogrup2, (std::vector<std::string>{"000_Group0"}));
  auto [ax, ay] = Centre(acq, "A1");
  ASSERT_TRUE(editor.Press(MouseButton::Left, ax, ay));
  EXPECT_EQ(WellsOf(acq, 0), (std::vector<std::string>{"A1"}));
  auto [bx, by] = Centre(acq, "B1");
  auto [cx, cy] = Centre(acq, "C1");
  editor.Move(bx, by);
  editor.Move(bx + 1, by);  // the same well: nothing more
  shown = *editor.Move(cx, cy);
  editor.Release();
  EXPECT_EQ(WellsOf(acq, 0), (std::vector<std::string>{"A1", "B1", "C1"}));
  EXPECT_EQ(shown.lblnchannel, "2");
  EXPECT_EQ(shown.combogrup2, (std::vector<std::string>{"000_Group0", "001_Group1"}));

  // Group 1 chosen: a press on A1 (in group 0) changes nothing, D1 joins.
  editor.ChooseGroup(1);
  editor.Press(MouseButton::Left, ax, ay);
  editor.Release();
  EXPECT_EQ(WellsOf(acq, 0), (std::vector<std::string>{"A1", "B1", "C1"}));
  auto [dx, dy] = Centre(acq, "D1");
  editor.Press(MouseButton::Left, dx, dy);
  editor.Release();
  EXPECT_EQ(WellsOf(acq, 1), (std::vector<std::string>{"D1"}));

  // Moving without a button held does nothing.
  EXPECT_FALSE(editor.Move(ax, ay));
  // A right press frees a well whatever its group; a drag frees on.
  editor.Press(MouseButton::Right, bx, by);
  editor.Move(cx, cy);
  editor.Move(dx, dy);
  editor.Release();
  EXPECT_EQ(WellsOf(acq, 0), (std::vector<std::string>{"A1"}));
  EXPECT_TRUE(WellsOf(acq, 1).empty());
  // Outside the wells, or with another button: nothing.
  EXPECT_FALSE(editor.Press(MouseButton::Left, -500, -500));
  EXPECT_FALSE(editor.Press(MouseButton::Other, ax, ay));
}

TEST_F(RecordedAcquisition, ClearAsksFirstAndRenameAsksTheName) {
  AcquisitionGroups acq = Load();
  const GroupTable before = acq.groups;
  RegroupEditor editor(acq, op, clock);
  editor.Enter();
  op.answer(Answer::No);
  editor.ClearGroups();
  EXPECT_TRUE(op.saw("Do you like to Clear Group lists?"));
  EXPECT_EQ(acq.groups.ChannelGroup, before.ChannelGroup);

  // The demo project's group 3 is renamed.
  editor.ChooseGroup(3);
  op.type("Treated");
  RegroupControls shown = editor.RenameSelectedGroup();
  ASSERT_EQ(op.prompts().back(), "Enter New Group (3) Name");
  EXPECT_EQ(acq.groups.GroupName[3], "Treated");
  EXPECT_EQ(shown.combogrup2[static_cast<std::size_t>(shown.combogrup2Index)], "003_Treated");
  op.type("");  // an empty answer changes nothing
  editor.RenameSelectedGroup();
  op.type("Say \"hi\"");  // a quote would break groups.dat
  editor.RenameSelectedGroup();
  EXPECT_EQ(acq.groups.GroupName[3], "Treated");
  EXPECT_TRUE(op.saw(kUnstorableGroupName));

  op.answer(Answer::Yes);
  shown = editor.ClearGroups();
  for (int c = 0; c < kChannels; ++c) ASSERT_EQ(acq.groups.ChannelGroup[c], -1) << c;
  for (int g = 0; g <= kLastGroup; ++g) ASSERT_EQ(acq.groups.GroupName[g], "Free") << g;
  EXPECT_EQ(shown.combogrup2, (std::vector<std::string>{"000_Group0"}));
  EXPECT_EQ(shown.lstchgrup2.size(), 192u);
}

TEST_F(RecordedAcquisition, SavingTwiceInOneSecondKeepsEveryBackup) {
  const std::string originalGroups = Read("groups.dat"), originalChannels = Read("chgroup.dat");
  AcquisitionGroups acq = Load();
  RegroupEditor editor(acq, op, clock);
  editor.Enter();
  clock.local = {2022, 4, 15, 10, 30, 5};

  op.answer(Answer::Yes).answer(Answer::Yes);
  editor.ClearGroups();
  GroupSaveResult first;
  EXPECT_EQ(editor.Exit(&first), RegroupExit::Saved);
  EXPECT_TRUE(op.saw("Do you like to Save Changes?"));
  EXPECT_EQ(op.texts().back(), "New Groups applied and saved");
  EXPECT_EQ(Read("groups.dat"), GroupNamesFileBytes(acq.groups));
  EXPECT_EQ(Read("chgroup.dat"), ChannelGroupsFileBytes(acq.groups));
  EXPECT_EQ(first.written, (std::vector<fs::path>{acqFolder / "groups.dat", acqFolder / "chgroup.dat"}));
  const std::string clearedGroups = Read("groups.dat");

  editor.Enter();
  op.answer(Answer::Yes);
  op.type("Controls");
  editor.RenameSelectedGroup();
  GroupSaveResult second;
  EXPECT_EQ(editor.Exit(&second), RegroupExit::Saved);
  EXPECT_EQ(BackupNames(), (std::vector<std::string>{"chgroup.bak", "chgroup20220415_103005.bak",
                                                     "chgroup20220415_103005_2.bak", "groups.bak",
                                                     "groups20220415_103005.bak", "groups20220415_103005_2.bak"}));
  // The first stamped backups still hold the files as recorded; the
  // plain .bak files hold the files just before the second save.
  EXPECT_EQ(Read("groups20220415_103005.bak"), originalGroups);
  EXPECT_EQ(Read("chgroup20220415_103005.bak"), originalChannels);
  EXPECT_EQ(Read("groups20220415_103005_2.bak"), clearedGroups);
  EXPECT_EQ(Read("groups.bak"), clearedGroups);
  EXPECT_EQ(second.backups.size(), 4u);
  EXPECT_NE(Read("groups.dat").find("0,\"Controls\"\r\n"), std::string::npos);
}

TEST_F(RecordedAcquisition, NoRestoresTheFilesGroups) {
  const std::string originalChannels = Read("chgroup.dat");
  AcquisitionGroups acq = Load();
  const GroupTable recorded = acq.groups;
  RegroupEditor editor(acq, op, clock);
  editor.Enter();
  op.answer(Answer::Yes).answer(Answer::No);
  editor.ClearGroups();
  EXPECT_EQ(editor.Exit(), RegroupExit::Restored);
  EXPECT_EQ(op.texts().back(), "Original groups restored");
  EXPECT_EQ(acq.groups.ChannelGroup, recorded.ChannelGroup);
  EXPECT_EQ(acq.groups.GroupName, recorded.GroupName);
  EXPECT_EQ(Read("chgroup.dat"), originalChannels);
  EXPECT_TRUE(BackupNames().empty());
}

TEST_F(RecordedAcquisition, AFailedSaveSaysSoChangesNoFileAndKeepsTheMap) {
  const std::string originalGroups = Read("groups.dat");
  // Something chgroup.dat's backup cannot be made from (a folder under its
  // name) fails the save before any file is written, also for root.
  fs::remove(acqFolder / "chgroup.dat");
  fs::create_directory(acqFolder / "chgroup.dat");
  AcquisitionGroups acq = Load();
  op.clear();
  RegroupEditor editor(acq, op, clock);
  editor.Enter();
  op.answer(Answer::Yes).answer(Answer::Yes);
  editor.ClearGroups();
  GroupSaveResult r;
  EXPECT_EQ(editor.Exit(&r), RegroupExit::SaveFailed);
  EXPECT_EQ(op.texts().back(), "Error updating group files at " + acqFolder.string());
  EXPECT_EQ(Read("groups.dat"), originalGroups);
  EXPECT_TRUE(BackupNames().empty());
  EXPECT_EQ(acq.groups.ChannelGroup[0], -1);  // the working map stays
}

// A backup that cannot be written (a folder holding files stands where
// groups.bak goes; this fails for root too) stops the save before any group
// file is touched.
TEST_F(RecordedAcquisition, ABackupThatCannotBeWrittenFailsTheSave) {
  const std::string originalGroups = Read("groups.dat"), originalChannels = Read("chgroup.dat");
  fs::create_directories(acqFolder / "groups.bak" / "in-the-way");
  AcquisitionGroups acq = Load();
  ClearAllGroups(acq.groups);
  const GroupSaveResult r = SaveAcquisitionGroups(acqFolder, acq.groups, clock);
  EXPECT_FALSE(r.saved);
  EXPECT_EQ(r.message, "Error updating group files at " + acqFolder.string());
  EXPECT_EQ(Read("groups.dat"), originalGroups);
  EXPECT_EQ(Read("chgroup.dat"), originalChannels);
  EXPECT_TRUE(fs::is_directory(acqFolder / "groups.bak" / "in-the-way"));
}

TEST_F(RecordedAcquisition, GroupsDatGoesBackWhenChgroupCannotBeReplaced) {
  const std::string originalGroups = Read("groups.dat"), originalChannels = Read("chgroup.dat");
  AcquisitionGroups acq = Load();
  ClearAllGroups(acq.groups);
  int calls = 0;
  const GroupSaveResult r =
      SaveAcquisitionGroups(acqFolder, acq.groups, clock, [&](const fs::path& file, std::string_view bytes) {
        if (++calls == 2) return std::make_error_code(std::errc::no_space_on_device);
        return WriteFileAtomic(file, bytes);
      });
  EXPECT_FALSE(r.saved);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(r.message, "Error updating group files at " + acqFolder.string());
  EXPECT_NE(r.reason.find("chgroup.dat"), std::string::npos) << r.reason;
  EXPECT_EQ(Read("groups.dat"), originalGroups);
  EXPECT_EQ(Read("chgroup.dat"), originalChannels);
  // The backups made before the failure stay.
  EXPECT_EQ(BackupNames().size(), 4u);
  EXPECT_EQ(Read("groups.bak"), originalGroups);
}

}  // namespace
}  // namespace orb
