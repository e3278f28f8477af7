#include "app/project_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/config_files.h"
#include "common/text_record.h"
#include "tests/app/app_fixture.h"

namespace orb {
namespace {

using testing::ProjectFixture;
using testing::TempFolder;

const std::string kRecheck = "Warning!! PLEASE Re-Check setup values before RUN";

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0, end;
  while ((end = bytes.find("\r\n", start)) != std::string::npos) {
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

std::string Join(const std::vector<std::string>& lines, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count && i < lines.size(); ++i) out += lines[i] + "\r\n";
  return out;
}

// A setup with a value of its own in every field.
ProjectSetup SampleSetup() {
  ProjectSetup s = DefaultProjectSetup("/data", 2);
  s.Name = "Growth";
  s.Plate_format = "k384";
  s.Aq_lapse = 45;
  s.Save_real = 0;
  s.Menu(3) = 1;
  s.MenuTable[Mn1][SNRx10] = 25;
  s.MenuTable[Mn2][Time_ON] = 7;
  s.MenuTable[Mn6][5] = -4;
  return s;
}

TEST_F(ProjectFixture, SaveProjectWritesTheFiveFilesByteForByte) {
  ws.config.Actual_Project_Number = 1;
  ws.setup = DefaultProjectSetup(tmp.path(), 1);
  ws.status.fill(-1);
  ws.status[4] = 0;
  ws.thresholds.fill(3.0);
  LoadGroupNames(ws.ProjectPath, ws.groups, 1, *ws.op);     // no files yet: the default groups
  LoadChannelGroups(ws.ProjectPath, ws.groups, 1, *ws.op);
  ws.groups.ChannelGroup[5] = -1;
  tmp.write("p00001/setup.dat", "previous");
  SaveProject(ws);

  const auto setup = Lines(tmp.read("p00001/setup.dat"));
  ASSERT_EQ(setup.size(), 20u);
  const std::vector<std::string> expected = {
      "\"Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>\"",
      "1,\"Default\",\"" + (tmp.path() / "p00001").string() + "/\",\"96f\"",
      "\"<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>\"",
      "1,30,99,500,1,30",
      "\"<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>\"",
      "1,300,80,1,1,1",
      "\"Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>\"",
      "1,0,0,0,0,0",
      "\"Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,\"",
      "0,1,1,0,0,0",
      "\"Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,\"",
      "0,9,21,0,0,0",
      "\"Mn3: <v1:Enable>, <v2:Tempx10>,,,,\"",
      "0,200,0,0,0,0",
      "\"Mn4: ,,,,,\"", "0,0,0,0,0,0", "\"Mn5: ,,,,,\"", "0,0,0,0,0,0", "\"Mn6: ,,,,,\"", "0,0,0,0,0,0"};
  EXPECT_EQ(setup, expected);
  EXPECT_EQ(tmp.read("p00001/setup.bak"), "previous");
  EXPECT_NE(tmp.read("p00001/status.dat").find("\r\n4,0\r\n5,1\r\n"), std::string::npos);
  EXPECT_EQ(tmp.read("p00001/threshld.dat"), ThresholdFileBytes(ws.thresholds));
  const auto groups = Lines(tmp.read("p00001/groups.dat"));
  const auto chgroup = Lines(tmp.read("p00001/chgroup.dat"));
  ASSERT_TRUE(groups.size() == 385u && chgroup.size() == 385u);
  EXPECT_EQ(groups[0] + groups[1] + groups[384], "\"<Group_Number>, <Group_Name>\"0,\"Group0\"383,\"Free\"");
  EXPECT_EQ(chgroup[0] + chgroup[6] + chgroup[384], "\"<Channel>, <Group: -1=Free>\"5,-1383,12");

  // Into an acquisition folder; Num_proj is the current project number.
  ws.config.Actual_Project_Number = 9;
  std::filesystem::create_directories(tmp / "p00001/20220415_1030");
  SaveProject(ws, tmp / "p00001/20220415_1030");
  EXPECT_EQ(Lines(tmp.read("p00001/20220415_1030/setup.dat"))[1].substr(0, 2), "9,");
  EXPECT_FALSE(std::filesystem::exists(tmp / "p00001/20220415_1030/setup.bak"));
}

TEST_F(ProjectFixture, SaveWithAnUnstorableNameFailsAndTouchesNothing) {
  ws.setup = DefaultProjectSetup(tmp.path(), 1);
  SaveProject(ws);
  const std::string before = tmp.read("p00001/groups.dat");
  const std::string setupBefore = tmp.read("p00001/setup.dat");
  ws.groups.GroupName[3] = "say \"hi\"";
  EXPECT_THROW(SaveProject(ws), RecordError);
  EXPECT_EQ(tmp.read("p00001/groups.dat"), before);
  EXPECT_EQ(tmp.read("p00001/setup.dat"), setupBefore);

  ws.ProjectPath = tmp / "missing-folder";
  ws.groups.GroupName[3] = "ok";
  EXPECT_THROW(SaveProject(ws), std::system_error);
}

TEST_F(ProjectFixture, SetupRoundTripAndSixLineFile) {
  const ProjectSetup sample = SampleSetup();
  tmp.write("p00001/setup.dat", SetupFileBytes(sample, 1));
  LoadProjectSetup(ws, 1);
  EXPECT_TRUE(op.shown().empty());
  EXPECT_EQ(SetupFileBytes(ws.setup, 1), SetupFileBytes(sample, 1));

  // Six lines: the first three groups only; flags and MenuTable untouched.
  ProjectSetup other = DefaultProjectSetup(tmp.path(), 1);
  other.Name = "Six";
  other.Aq_lapse = 12;
  tmp.write("p00001/setup.dat", Join(Lines(SetupFileBytes(other, 1)), 6));
  LoadProjectSetup(ws, 1);
  EXPECT_TRUE(op.shown().empty());
  EXPECT_EQ(ws.setup.Name, "Six");
  EXPECT_EQ(ws.setup.Aq_lapse, 12);
  EXPECT_EQ(ws.setup.Menu(3), 1);
  EXPECT_EQ(ws.setup.MenuTable[Mn2][Time_ON], 7);
  EXPECT_EQ(ws.setup.MenuTable[Mn6][5], -4);
}

TEST_F(ProjectFixture, DamagedSetupRecoveredFromBak) {
  ws.ProjectPath = tmp / "p00002";
  const std::string good = SetupFileBytes(SampleSetup(), 2);
  tmp.write("p00002/setup.bak", good);
  tmp.write("p00002/setup.dat", Join(Lines(good), 3));
  LoadProjectSetup(ws, 2);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{
                            "Error [\\p00002\\setup.dat] ID#1 => Loading values from: p00002\\", kRecheck}));
  EXPECT_EQ(tmp.read("p00002/setup.dat"), good);
  EXPECT_EQ(ws.setup.Name, "Growth");
  EXPECT_EQ(ws.setup.MenuTable[Mn6][5], -4);
}

TEST_F(ProjectFixture, DamagedSetupRecoveredFromNewestAcquisition) {
  ws.ProjectPath = tmp / "p00002";
  ProjectSetup newer = SampleSetup();
  newer.Name = "Newest";
  tmp.write("p00002/20211231_2359/setup.dat", SetupFileBytes(newer, 2));
  tmp.write("p00002/20220415_1030/setup.dat", SetupFileBytes(SampleSetup(), 2));
  // Six lines with text where the acquisition line's numbers belong: fails
  // at stage 2.
  const std::string damaged =
      Join(Lines(SetupFileBytes(SampleSetup(), 2)), 3) + "a,b,c,d,e,f\r\n\"h\"\r\n1,1,1,1,1,1\r\n";
  tmp.write("p00002/setup.dat", damaged);
  LoadProjectSetup(ws, 2);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{
                            "Error [\\p00002\\setup.dat] ID#2 => Loading values from: p00002\\20211231_2359",
                            kRecheck}));
  EXPECT_EQ(ws.setup.Name, "Newest");

  // An acquisition copy of 16 lines is not taken: defaults from stage 2.
  op.clear();
  tmp.write("p00002/20211231_2359/setup.dat", Join(Lines(SetupFileBytes(newer, 2)), 16));
  tmp.write("p00002/setup.dat", damaged);
  LoadProjectSetup(ws, 2);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{
                            "Error [\\p00002\\setup.dat] ID#2 => Loading default values...", kRecheck}));
  EXPECT_EQ(ws.setup.Name, "Growth");  // read before the failure
  EXPECT_EQ(ws.setup.Working_folder, (tmp.path() / "p00002").string() + "/");
  EXPECT_EQ(ws.setup.Aq_lapse, 30);
  EXPECT_EQ(ws.setup.MenuTable[Mn6][5], 0);
}

TEST_F(ProjectFixture, DamagedSetupAndBakRecoverOnceThenDefaultsFromTheFailingStage) {
  ws.ProjectPath = tmp / "p00002";
  std::vector<std::string> bak = Lines(SetupFileBytes(SampleSetup(), 2));
  bak[5] = "1,300,x,1,1,1";  // binary/calibration line: fails at stage 3
  tmp.write("p00002/setup.bak", Join(bak, 20));
  tmp.write("p00002/setup.dat", "garbage\r\n");
  ws.setup.MenuTable[Mn3][Tempx10] = 321;
  LoadProjectSetup(ws, 2);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{
                            "Error [\\p00002\\setup.dat] ID#1 => Loading values from: p00002\\", kRecheck,
                            "Error [\\p00002\\setup.dat] ID#3 => Loading default values...", kRecheck}));
  EXPECT_EQ(ws.setup.Name, "Growth");
  EXPECT_EQ(ws.setup.Aq_lapse, 45);
  EXPECT_EQ(ws.setup.Cal_value, 80);
  EXPECT_EQ(ws.setup.Save_real, 1);
  EXPECT_EQ(ws.setup.Menu(3), 0);
  EXPECT_EQ(ws.setup.MenuTable[Mn3][Tempx10], 200);
}

// A setup.bak that does not read whole gives way to the newest acquisition's
// copy: a damaged backup must not put junk over a project that has a good
// copy of its settings.
TEST_F(ProjectFixture, DamagedBakGivesWayToTheNewestAcquisition) {
  ws.ProjectPath = tmp / "p00002";
  ProjectSetup recorded = SampleSetup();
  recorded.Name = "Recorded";
  tmp.write("p00002/20220415_1030/setup.dat", SetupFileBytes(recorded, 2));
  std::vector<std::string> bak = Lines(SetupFileBytes(SampleSetup(), 2));
  bak[1] = "\"2\",\"\x01\x02junk";  // the name line torn
  bak[5] = "1,300,x,1,1,1";
  tmp.write("p00002/setup.bak", Join(bak, 20));
  tmp.write("p00002/setup.dat", "garbage\r\n");
  LoadProjectSetup(ws, 2);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{
                            "Error [\\p00002\\setup.dat] ID#1 => Loading values from: p00002\\20220415_1030",
                            kRecheck}));
  EXPECT_EQ(ws.setup.Name, "Recorded");
  EXPECT_EQ(tmp.read("p00002/setup.dat"), SetupFileBytes(recorded, 2));

  // The browser's summary takes the same way.
  tmp.write("p00002/setup.dat", "x\r\n");
  op.clear();
  EXPECT_EQ(ReadProjectSummary(tmp / "p00002", op), "<Project> p00002: Recorded");
  EXPECT_FALSE(ReadsAsSetup(tmp / "p00002/setup.bak"));
  EXPECT_TRUE(ReadsAsSetup(tmp / "p00002/setup.dat"));
}

TEST_F(ProjectFixture, LateStagesAndProjectZero) {
  // A row of MenuTable cut short: fails at stage 6, Mn1 kept, Mn2 on defaulted.
  ws.ProjectPath = tmp / "p00003";
  std::vector<std::string> lines = Lines(SetupFileBytes(SampleSetup(), 3));
  lines[11] = "0,7,21";
  lines[12] = "\"x\"";
  tmp.write("p00003/setup.dat", Join(lines, 20));
  LoadProjectSetup(ws, 3);
  EXPECT_TRUE(op.saw("Error [\\p00003\\setup.dat] ID#6 => Loading default values..."));
  EXPECT_EQ(ws.setup.Menu(3), 1);
  EXPECT_EQ(ws.setup.MenuTable[Mn1][SNRx10], 25);
  EXPECT_EQ(ws.setup.MenuTable[Mn2][Time_ON], 9);

  // An empty Num_proj after a complete read: stage 11, no recovery, no
  // default replaces what was read.
  op.clear();
  lines = Lines(SetupFileBytes(SampleSetup(), 3));
  lines[1] = lines[1].substr(1);
  tmp.write("p00003/setup.bak", "never used");
  tmp.write("p00003/setup.dat", Join(lines, 20));
  LoadProjectSetup(ws, 3);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{
                            "Error [\\p00003\\setup.dat] ID#11 => Loading default values...", kRecheck}));
  EXPECT_EQ(ws.setup.Name, "Growth");
  EXPECT_EQ(ws.setup.MenuTable[Mn6][5], -4);
  EXPECT_EQ(tmp.read("p00003/setup.dat"), Join(lines, 20));

  // Project 0: straight to the defaults, the .bak beside it is not used.
  op.clear();
  ws.ProjectPath = tmp.path();
  tmp.write("setup.bak", SetupFileBytes(SampleSetup(), 0));
  tmp.write("setup.dat", "\"h\"\r\n");
  LoadProjectSetup(ws, 0);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{
                            "Error [\\p00000\\setup.dat] ID#1 => Loading default values...", kRecheck}));
  EXPECT_EQ(ws.setup.Name, "Default");
  EXPECT_EQ(ws.setup.Plate_format, "96f");
  EXPECT_EQ(tmp.read("setup.dat"), "\"h\"\r\n");
}

TEST_F(ProjectFixture, ProjectNumberMismatchWarnsAndKeepsValues) {
  ws.ProjectPath = tmp / "p00003";
  ws.config.Actual_Project_Number = 4;  // the editor shows project 3
  tmp.write("p00003/setup.dat", SetupFileBytes(SampleSetup(), 5));
  LoadProjectSetup(ws, 3);
  const std::string warning = "Warning: Project ID# <> Folder Name [p004]";
  EXPECT_EQ(op.texts(), std::vector<std::string>{warning});
  EXPECT_EQ(statusLines, std::vector<std::string>{warning});
  EXPECT_EQ(ws.setup.Name, "Growth");
  EXPECT_EQ(ws.setup.Num_proj, "5");
}

TEST_F(ProjectFixture, MissingGroupFilesGiveDefaultGroups) {
  ws.groups.GroupName[20] = "kept?";
  LoadGroupNames(ws.ProjectPath, ws.groups, 1, *ws.op);
  LoadChannelGroups(ws.ProjectPath, ws.groups, 1, *ws.op);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{
                            "Error [\\p00001\\groups.dat] => Loading default groups...",
                            "Error [\\p00001\\chgroup.dat] => Loading default groups..."}));
  const auto& g = ws.groups;
  EXPECT_EQ(g.GroupName[0] + g.GroupName[11] + g.GroupName[12] + g.GroupName[20], "Group0Group11FreeFree");
  const std::vector<int> channelGroups = {g.ChannelGroup[15], g.ChannelGroup[16], g.ChannelGroup[47],
                                          g.ChannelGroup[48], g.ChannelGroup[383]};
  EXPECT_EQ(channelGroups, (std::vector<int>{0, 1, 1, 2, 12}));
}

TEST_F(ProjectFixture, LoadProjectReadsEveryFileOfTheProject) {
  ws.config.Actual_Project_Number = 1;
  ws.setup = SampleSetup();
  ws.status.fill(-1);
  ws.status[10] = 0;
  ws.thresholds.fill(4.5);
  ws.groups.GroupName.fill("G");
  ws.groups.ChannelGroup.fill(2);
  SaveProject(ws);
  Workspace fresh(tmp.path(), op);
  fresh.ProjectPath = ws.ProjectPath;
  LoadProject(fresh, 1);
  // No plate file in the data folder: only the plate loader speaks, about
  // the format the setup names.
  EXPECT_EQ(op.texts(), std::vector<std::string>{
                            "Error [\\k384.dat] ID#0 => Loading plate format from default: 384,96f or 96u..."});
  EXPECT_EQ(fresh.setup.Name + fresh.groups.GroupName[100], "GrowthG");
  EXPECT_TRUE(fresh.status[10] == 0 && fresh.status[11] == -1);
  EXPECT_DOUBLE_EQ(fresh.thresholds[100], 4.5);
  EXPECT_EQ(fresh.groups.ChannelGroup[100], 2);
  EXPECT_EQ(fresh.plate.Rows, 16);  // the built-in k384
}

TEST(ProjectFolders, CountLines) {
  TempFolder tmp;
  const std::pair<std::string, int> cases[] = {
      {"", 0}, {"a", 1}, {"a\r\n", 1}, {"a\r\n\r\n", 2}, {"a\nb\rc\r\nd", 4}, {"\r\n\r\n\r\n", 3}};
  for (const auto& [bytes, lines] : cases) {
    tmp.write("f.txt", bytes);
    EXPECT_EQ(CountLines(tmp / "f.txt"), lines) << bytes;
  }
  std::string many;
  for (int i = 0; i < 32767; ++i) many += "1\r\n";
  tmp.write("f.txt", many);
  EXPECT_EQ(CountLines(tmp / "f.txt"), 32767);
  tmp.write("f.txt", many + "x");
  EXPECT_EQ(CountLines(tmp / "f.txt"), 0);
  EXPECT_EQ(CountLines(tmp / "missing"), 0);
  EXPECT_EQ(CountLines(tmp.path()), 0);
}

TEST(ProjectFolders, FindLatestAcquisition) {
  TempFolder tmp;
  for (const char* name : {"20220415_1030", "20211231_2359", "20211231_235", "20211231_23590", "2021123_12359",
                           "p00001", "20231231_2358x"})
    std::filesystem::create_directories(tmp / name);
  tmp.write("20251231_2359", "a file, not a folder");
  EXPECT_EQ(FindLatestAcquisition(tmp.path()), "20211231_2359");
  EXPECT_EQ(FindLatestAcquisition(tmp / "p00001"), "");
  EXPECT_EQ(FindLatestAcquisition(tmp / "missing"), "");
}

TEST(ProjectFolders, ReadProjectSummaryWithRecovery) {
  TempFolder tmp;
  ScriptedOperator op;
  const std::string good = SetupFileBytes(DefaultProjectSetup(tmp.path(), 1), 1);
  tmp.write("setup.dat", good);
  EXPECT_EQ(ReadProjectSummary(tmp.path(), op), "<Project> p00001: Default");

  tmp.write("setup.dat", "short\r\n");
  tmp.write("setup.bak", good);
  EXPECT_EQ(ReadProjectSummary(tmp.path(), op), "<Project> p00001: Default");
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Error reading Setup.dat -> recovered from Setup.bak"});

  op.clear();
  std::filesystem::remove(tmp / "setup.bak");
  tmp.write("setup.dat", "short\r\n");
  tmp.write("20220101_0000/setup.dat", good);
  EXPECT_EQ(ReadProjectSummary(tmp.path(), op), "<Project> p00001: Default");
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Error reading Setup.dat -> recovered from " +
                                                 (tmp / "20220101_0000").string()});

  std::filesystem::remove_all(tmp / "20220101_0000");
  tmp.write("setup.dat", "short\r\n");
  EXPECT_EQ(ReadProjectSummary(tmp.path(), op), "<Project> p: SETUP NOT FOUND!!");
  tmp.write("setup.dat", "\"h\"\r\nabc,\"n\",\"w\",\"p\"\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(ReadProjectSummary(tmp.path(), op), "ERROR on SETUP.DAT FILE!!!");
}

TEST(ProjectFolders, RenameProjectChangesOnlyTheName) {
  TempFolder tmp;
  ScriptedOperator op;
  ProjectSetup s = DefaultProjectSetup(tmp.path(), 1);
  s.Name = "old, with comma";
  const std::string before = SetupFileBytes(s, 1);
  tmp.write("p00001/setup.dat", before);
  EXPECT_EQ(RenameProject(tmp / "p00001", "Growth test", op), "Growth test");
  EXPECT_EQ(tmp.read("p00001/setup.bak"), before);
  auto lines = Lines(before);
  lines[1] = "1,\"Growth test\",\"" + s.Working_folder + "\",\"96f\"";
  EXPECT_EQ(tmp.read("p00001/setup.dat"), Join(lines, 20));

  EXPECT_EQ(RenameProject(tmp / "p00001", "bad \"name\"", op), "");
  EXPECT_EQ(tmp.read("p00001/setup.dat"), Join(lines, 20));
  EXPECT_EQ(RenameProject(tmp / "p00002", "nothing there", op), "nothing there");
  EXPECT_FALSE(std::filesystem::exists(tmp / "p00002"));

  std::string longFile;
  for (int i = 0; i < 52; ++i) longFile += "\"x\",\"y\"\r\n";
  tmp.write("p00003/setup.dat", longFile);
  EXPECT_EQ(RenameProject(tmp / "p00003", "n", op), "");
  EXPECT_EQ(tmp.read("p00003/setup.dat"), longFile);
  EXPECT_TRUE(op.shown().empty());
}

TEST(ProjectFolders, SubprojectNameAndRename) {
  TempFolder tmp;
  ScriptedOperator op;
  const auto acq = tmp / "20220415_1030";
  std::filesystem::create_directories(acq);
  EXPECT_EQ(ReadSubprojectName(acq), "");
  EXPECT_EQ(RenameSubproject(acq, "x", op), "x");
  EXPECT_FALSE(std::filesystem::exists(acq / "subproj.dat"));

  ASSERT_TRUE(WriteSubproject(acq, "Dose 1", "ten worms, 20 C"));
  EXPECT_EQ(tmp.read("20220415_1030/subproj.dat"), "\"Dose 1\"\r\n\"ten worms, 20 C\"\r\n");
  EXPECT_EQ(ReadSubprojectName(acq), "Dose 1");
  EXPECT_EQ(RenameSubproject(acq, "Dose 2", op), "Dose 2");
  EXPECT_EQ(tmp.read("20220415_1030/subproj.dat"), "\"Dose 2\"\r\n\"ten worms, 20 C\"\r\n");
  EXPECT_EQ(tmp.read("20220415_1030/subproj.bak"), "\"Dose 1\"\r\n\"ten worms, 20 C\"\r\n");
  EXPECT_EQ(RenameSubproject(acq, "say \"x\"", op), "");
  EXPECT_EQ(ReadSubprojectName(acq), "Dose 2");
  // A subproj.dat without its description cannot be renamed: left as it is.
  tmp.write("20220415_1030/subproj.dat", "\"Dose 2\"\r\n");
  EXPECT_EQ(RenameSubproject(acq, "Dose 3", op), "");
  EXPECT_EQ(tmp.read("20220415_1030/subproj.dat"), "\"Dose 2\"\r\n");
  EXPECT_FALSE(WriteSubproject(tmp / "missing", "a", "b"));
  EXPECT_EQ(CopyFileChecked(acq / "subproj.dat", acq / "copy.dat"), 1);
  EXPECT_EQ(CopyFileChecked(acq / "none.dat", acq / "copy2.dat"), -1);
}

}  // namespace
}  // namespace orb
