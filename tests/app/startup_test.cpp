#include "app/startup.h"

#include <gtest/gtest.h>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "tests/app/app_fixture.h"

namespace orb::testing {
namespace {

using StartupFixture = ProjectFixture;

TEST_F(StartupFixture, ProjectPathFallsBackToProjectZeroSilently) {
  ws.config.Actual_Project_Number = 1;
  ChooseProjectPath(ws);
  EXPECT_EQ(ws.ProjectPath, tmp / "p00001");
  EXPECT_EQ(ws.config.Actual_Project_Number, 1);

  ws.config.Actual_Project_Number = 7;  // no folder p00007
  ChooseProjectPath(ws);
  EXPECT_EQ(ws.ProjectPath, tmp.path());
  EXPECT_EQ(ws.config.Actual_Project_Number, 0);

  std::filesystem::create_directories(tmp / "p00000");
  ChooseProjectPath(ws);  // project 0 is always the data folder itself
  EXPECT_EQ(ws.ProjectPath, tmp.path());
  EXPECT_TRUE(op.shown().empty());
}

TEST_F(StartupFixture, LoadGoesAsFarAsItsScopeAndNeverCreatesTheConfiguration) {
  std::vector<int> stages;
  LoadSteps steps;
  steps.stage = [&](int n) { stages.push_back(n); };
  EXPECT_EQ(LoadProgram(ws, LoadScope::Project, steps), LoadResult::NoConfig);
  EXPECT_FALSE(std::filesystem::exists(tmp / "config.dat"));
  EXPECT_TRUE(stages.empty());

  const int demo = InitDataFolder(tmp.path(), true).demoProject;  // "Demo" is current
  ws.ProjectPath.clear();
  EXPECT_EQ(LoadProgram(ws, LoadScope::CheckConfig, steps), LoadResult::Loaded);
  EXPECT_EQ(ws.config.Actual_Project_Number, 1);  // the default record, config.dat not read
  EXPECT_TRUE(ws.ProjectPath.empty());
  EXPECT_EQ(LoadProgram(ws, LoadScope::Config, steps), LoadResult::Loaded);
  EXPECT_EQ(stages, (std::vector<int>{1}));
  EXPECT_TRUE(ws.ProjectPath.empty());

  // A hook that ends the load stops it before the project's files.
  stages.clear();
  steps.beforeProject = [&] { return false; };
  EXPECT_EQ(LoadProgram(ws, LoadScope::Project, steps), LoadResult::Ended);
  EXPECT_EQ(stages, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ws.ProjectPath, ProjectFolderPath(tmp.path(), demo));
  EXPECT_TRUE(ws.setup.Name.empty());

  stages.clear();
  steps.beforeProject = [&] { return true; };
  EXPECT_EQ(LoadProgram(ws, LoadScope::Project, steps), LoadResult::Loaded);
  EXPECT_EQ(stages, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(ws.setup.Name, "Demo");
  EXPECT_TRUE(op.shown().empty());
}

TEST(Startup, AutorunIsExactlyTheThreeSpellings) {
  for (const char* yes : {"/run", "/RUN", "/Run", "  /run\t"}) EXPECT_TRUE(IsAutorunArgument(yes)) << yes;
  for (const char* no : {"", "/rUn", "-run", "/run x", "run", "//run"}) EXPECT_FALSE(IsAutorunArgument(no)) << no;
}

TEST(Startup, DetectionPresetAndWorkingThreshold) {
  // Items 0 and 1 write their factor; 2 takes the box; none keeps the factor.
  EXPECT_EQ(ApplyDetectionPreset(1, 1.7, "3.3").boxText, "2.8");
  EXPECT_DOUBLE_EQ(ApplyDetectionPreset(1, 1.7, "3.3").snrFactor, 2.8);
  auto custom = ApplyDetectionPreset(2, 1.7, "3.3");
  EXPECT_DOUBLE_EQ(custom.snrFactor, 3.3);
  EXPECT_TRUE(custom.boxVisible);
  EXPECT_EQ(custom.labelText, "> Zero SNR:");
  auto low = ApplyDetectionPreset(2, 1.7, "1.4");
  EXPECT_DOUBLE_EQ(low.snrFactor, 1.8);
  EXPECT_EQ(low.boxText, "1.8");
  auto none = ApplyDetectionPreset(-1, 1.7, "1.4");
  EXPECT_DOUBLE_EQ(none.snrFactor, 1.7);
  EXPECT_EQ(none.boxText, "1.4");
}

TEST_F(StartupFixture, MainControlsFromTheProject) {
  ws.setup = DefaultProjectSetup(tmp.path(), 1);
  auto& mn1 = ws.setup.MenuTable[Mn1];
  mn1[Organism] = 5;  // selects nothing
  mn1[SNRx10] = 14;
  MainControls c = DeriveMainControls(ws, 1.7);
  EXPECT_EQ(c.organismIndex, -1);
  EXPECT_EQ(c.snrText, "1.4");  // shown as stored...
  EXPECT_DOUBLE_EQ(c.snrThreshold, 1.8);  // ...but the working threshold must exceed 1.4

  for (auto [stored, kept, shown] : {std::tuple{19, 200, "20.0"}, {501, 200, "20.0"}, {20, 20, "2.0"}, {500, 500, "50.0"}}) {
    ws.setup.MenuTable[Mn3][Tempx10] = static_cast<std::int16_t>(stored);
    c = DeriveMainControls(ws);
    EXPECT_EQ(ws.setup.MenuTable[Mn3][Tempx10], kept);
    EXPECT_EQ(c.setPointText, shown);
  }

  auto& mn2 = ws.setup.MenuTable[Mn2];
  mn2 = {0, 0, 0, 0, 0, 0};
  c = DeriveMainControls(ws);
  EXPECT_EQ(c.timeOn, 9);
  EXPECT_EQ(c.timeOff, 21);
  mn2 = {1, 0, 18, 0, 5, 5};
  ws.setup.Menu(2) = 0;
  c = DeriveMainControls(ws);
  EXPECT_EQ(c.timeOn, 0);
  EXPECT_EQ(c.timeOff, 18);
  EXPECT_EQ(ws.setup.Menu(2), 1);  // follows the light's Enable
  EXPECT_FALSE(c.pulseFrameVisible);  // fewer than one pulse
  EXPECT_TRUE(c.lightBoxesEnabled);
  EXPECT_EQ(c.pulseOn, "0.5");

  ws.setup.Menu(1) = 2;
  ws.setup.Menu(3) = 0;
  c = DeriveMainControls(ws);
  EXPECT_FALSE(c.calibrationFrame.has_value());  // left as designed
  EXPECT_EQ(c.temperatureFrame, false);
}

TEST(Startup, BinSizeList) {
  auto plain = MakeBinSizeList(0, 45);
  EXPECT_EQ(plain.items.size(), 10u);
  EXPECT_EQ(plain.items[plain.selected], "30");
  EXPECT_FALSE(plain.userDefined);
  auto user = MakeBinSizeList(1, 1440);
  EXPECT_EQ(user.items.size(), 11u);  // appended even when already listed
  EXPECT_EQ(user.items.back(), "1440");
  EXPECT_EQ(user.selected, 10);
  EXPECT_TRUE(user.userDefined);
}

TEST_F(StartupFixture, ClosingAsksSavesAndSkipsThePortAfterAFailedSave) {
  ws.config.Actual_Project_Number = 1;
  ws.setup = DefaultProjectSetup(tmp.path(), 1);
  CountingEventLoop loop;
  EXPECT_FALSE(CloseMainWindow(ws, true, loop));  // offline: nothing asked
  op.answer(Answer::Yes);
  EXPECT_TRUE(CloseMainWindow(ws, false, loop));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Update values to project 1_Default before Exit?"});
  EXPECT_TRUE(std::filesystem::exists(tmp / "p00001/setup.dat"));
  EXPECT_EQ(loop.sleptMs, 600);
  ws.ProjectPath = tmp / "missing";
  op.answer(Answer::Yes);
  EXPECT_FALSE(CloseMainWindow(ws, false, loop));  // save failed: the port step is skipped
  EXPECT_EQ(loop.sleptMs, 600);
}

TEST(DataFolder, InitWritesACompleteInstallationOnce) {
  TempFolder tmp;
  auto data = tmp / "lab";
  InitResult first = InitDataFolder(data, false);
  EXPECT_EQ(first.written.size(), 1u + 7 + 5);
  EXPECT_EQ(tmp.read("lab/config.dat"),
            "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n0,0,4,0\r\n");

  // A file the lab changed is never overwritten.
  tmp.write("lab/k96f.dat", "mine");
  InitResult second = InitDataFolder(data, false);
  EXPECT_TRUE(second.written.empty());
  EXPECT_EQ(tmp.read("lab/k96f.dat"), "mine");

  // Project 0 loads without a single message.
  ScriptedOperator op;
  Workspace ws(data, op);
  ws.config.Actual_Project_Number = 0;
  ChooseProjectPath(ws);
  tmp.write("lab/k96f.dat", "");
  std::filesystem::remove(data / "k96f.dat");
  InitDataFolder(data, false);
  LoadProject(ws, 0);
  EXPECT_TRUE(op.shown().empty()) << op.shown().front().text;
  EXPECT_EQ(ws.setup.Plate_format, "k96f");
  EXPECT_EQ(ws.setup.Name, "Default");
}

TEST(DataFolder, DemoProjectIsCurrentWithColumnPairGroups) {
  TempFolder tmp;
  InitDataFolder(tmp.path(), true);
  InitResult again = InitDataFolder(tmp.path(), true);  // a second demo gets the next number
  EXPECT_EQ(again.demoProject, 2);
  EXPECT_EQ(tmp.read("config.dat").substr(tmp.read("config.dat").find("\r\n") + 2), "2,2,4,0\r\n");

  ScriptedOperator op;
  Workspace ws(tmp.path(), op);
  ws.config.Actual_Project_Number = 1;
  ChooseProjectPath(ws);
  LoadProject(ws, 1);
  EXPECT_TRUE(op.shown().empty());
  EXPECT_EQ(ws.setup.Name, "Demo");
  EXPECT_EQ(ws.groups.GroupName[0], "Columns1-2");
  EXPECT_EQ(ws.groups.GroupName[5], "Columns11-12");
  // Well A1 (channel 0, and its second beam 16) and well H4 (column 4) .
  EXPECT_EQ(ws.groups.ChannelGroup[0], 0);
  EXPECT_EQ(ws.groups.ChannelGroup[16], 0);
  EXPECT_EQ(ws.groups.ChannelGroup[1], -1);  // a channel of no well
  int h4 = ws.plate.wellMap(31, 0);
  EXPECT_EQ(ws.groups.ChannelGroup[h4], 1);
  EXPECT_EQ(ws.groups.ChannelGroup[ws.plate.wellMap(95, 1)], 5);
}

}  // namespace
}  // namespace orb::testing
