#include "cli/project_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/config_files.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "common/fileio.h"
#include "setup/project_editor.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int code;
  std::string out, err;
};

// A data folder made by init --demo: project 1 "Demo" is current.
struct ProjectCli : ::testing::Test {
  testing::TempFolder tmp;
  ScriptedOperator op;

  ProjectCli() { InitDataFolder(tmp.path(), true); }

  CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--data", tmp.path().string(), "project"});
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  // The project as the program loads it from the data folder.
  Workspace Load(int number) {
    Workspace ws(tmp.path(), op);
    LoadConfig(tmp.path(), ws.config, op);
    ws.config.Actual_Project_Number = static_cast<std::int16_t>(number);
    ws.ProjectPath = ProjectFolderPath(tmp.path(), number);
    LoadProject(ws, number);
    return ws;
  }
  std::string read(const fs::path& file) const { return ReadWholeFile(file).value_or("<missing>"); }
  // Every file SaveProject writes, as it writes them for these records.
  void expectSaved(const fs::path& folder, const Workspace& ws, int numProj) {
    EXPECT_EQ(read(folder / "setup.dat"), SetupFileBytes(ws.setup, numProj));
    EXPECT_EQ(read(folder / "status.dat"), StatusFileBytes(ws.status));
    EXPECT_EQ(read(folder / "threshld.dat"), ThresholdFileBytes(ws.thresholds));
    EXPECT_EQ(read(folder / "groups.dat"), GroupNamesFileBytes(ws.groups));
    EXPECT_EQ(read(folder / "chgroup.dat"), ChannelGroupsFileBytes(ws.groups));
  }
  AppConfig config() {
    AppConfig c;
    LoadConfig(tmp.path(), c, op);
    return c;
  }
};

TEST_F(ProjectCli, NewWritesWhatTheEditorWritesAndMakesTheProjectCurrent) {
  Workspace expected = Load(1);
  expected.setup.Name = "Growth, day 2";

  CliRun r = Run({"new", "--name", "Growth, day 2"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "project: 2_Growth, day 2\nfolder: " + (tmp / "p00002").string() + "\n");
  expectSaved(tmp / "p00002", expected, 2);
  EXPECT_EQ(read(tmp / "config.dat"), ConfigFileBytes(AppConfig{2, 2, 4, 0}));

  CliRun list = Run({"list"});
  EXPECT_EQ(list.code, kExitOk);
  EXPECT_EQ(list.out, "p00001_Demo\np00002_Growth, day 2\n");
}

TEST_F(ProjectCli, NewFromAnotherProjectWithAPlateClearsTheCopiedGroups) {
  Workspace expected = Load(0);
  CliRun r = Run({"new", "--name=Plate test", "--from", "0", "--plate", "k384"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  expected.setup.Name = "Plate test";
  expected.setup.Plate_format = "k384";
  expected.groups.ChannelGroup.fill(-1);
  expected.groups.GroupName.fill("Free");
  expectSaved(tmp / "p00002", expected, 2);
  EXPECT_NE(r.err.find("USE 'K384' plate Adapter"), std::string::npos);
  // The project it was copied from keeps its groups.
  EXPECT_EQ(Load(1).groups.GroupName[0], "Columns1-2");

  EXPECT_EQ(Run({"new", "--name", "x", "--from", "9"}).code, kExitInput);
  EXPECT_EQ(Run({"new", "--name", "x", "--plate", "k77"}).code, kExitUsage);
  EXPECT_FALSE(fs::exists(tmp / "p00003"));
}

TEST_F(ProjectCli, NewIntoAnExistingFolderNeedsOverwriteAndKeepsTheRecordings) {
  tmp.write("p00002/setup.dat", "someone else's");
  tmp.write("p00002/20220415_1030/counts.bin", "recorded");

  CliRun declined = Run({"new", "--name", "Next", "--from", "0"});
  EXPECT_EQ(declined.code, kExitUsage);
  EXPECT_NE(declined.err.find("The project number to generate (p00002already exists. do you like to overwrite?"),
            std::string::npos);
  EXPECT_EQ(tmp.read("p00002/setup.dat"), "someone else's");
  EXPECT_EQ(config().Actual_Project_Number, 1);
  EXPECT_EQ(config().Last_Project, 2);  // the next run moves on

  CliRun next = Run({"new", "--name", "Next"});
  ASSERT_EQ(next.code, kExitOk) << next.err;
  EXPECT_NE(next.out.find("project: 3_Next"), std::string::npos);

  // Back on project 1 with the numbering before p00002: --overwrite writes into it.
  ASSERT_TRUE(SaveConfig(tmp.path(), AppConfig{1, 1, 4, 0}, op));
  Workspace expected = Load(1);
  expected.setup.Name = "Over";
  CliRun over = Run({"new", "--name", "Over", "--overwrite"});
  ASSERT_EQ(over.code, kExitOk) << over.err;
  expectSaved(tmp / "p00002", expected, 2);
  EXPECT_EQ(tmp.read("p00002/setup.bak"), "someone else's");
  EXPECT_EQ(tmp.read("p00002/20220415_1030/counts.bin"), "recorded");
}

TEST_F(ProjectCli, SetClampsAsTheBoxesDoInTheOrderGivenAndSaves) {
  Workspace expected = Load(1);
  const std::string before = read(tmp / "p00001" / "setup.dat");
  CliRun r = Run({"set", "lapse=40000", "buffer=150", "organism=1", "snr=2,5", "method=0", "mode=3",
                  "sample-rate=99.5", "dsp-interval=12", "save-real=no", "light-tools=on",
                  "temperature-tools=on"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "project: 1_Demo\nAq_lapse: 32000\nRT_Buffer: 200\nOrganism: 1\nSNRx10: 25\nDSP_Method: 0\n"
            "Aq_mode: 3\nSample_Rate: 100\nDSP_Interval: 12\nSave_real: 0\nMenu2: 1\nMenu3: 1\n");
  ProjectSetup& s = expected.setup;
  s.Aq_lapse = 32000;
  s.RT_Buffer = 200;
  s.MenuTable[Mn1][Organism] = 1;
  s.MenuTable[Mn1][SNRx10] = 25;
  s.DSP_Method = 0;
  s.Aq_mode = 3;
  s.Sample_Rate = 100;
  s.DSP_Interval = 12;
  s.Save_real = 0;
  s.Menu(2) = 1;
  s.Menu(3) = 1;
  expectSaved(tmp / "p00001", expected, 1);
  EXPECT_EQ(read(tmp / "p00001" / "setup.bak"), before);

  // The organism chosen after the SNR puts its own default back.
  ASSERT_EQ(Run({"set", "snr=3", "organism=Echinococcus"}).code, kExitOk);
  EXPECT_EQ(Load(1).setup.MenuTable[Mn1][SNRx10], 18);
  EXPECT_EQ(Load(1).setup.DSP_Method, 2);
  ASSERT_EQ(Run({"set", "lapse=0"}).code, kExitOk);
  EXPECT_EQ(Load(1).setup.Aq_lapse, 2);
}

TEST_F(ProjectCli, SetRefusesWithTheBoxMessageAndSavesNothing) {
  const std::string before = read(tmp / "p00001" / "setup.dat");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"set", "lapse=45", "lapse=abc"}, "Enter a valid Acquisition lapse: a number of minutes\n"},
      {{"set", "snr=1.3"}, "Enter a valid SNR: 1.4 to 5.0\n"},
      {{"set", "buffer=lots"}, "Enter a valid Real-time Buffer: a number from 200 to 10000\n"},
      {{"set", "sample-rate=40000"}, "Enter a valid Sample rate: a number from -32768 to 32767\n"},
      {{"set", "dsp-interval="}, "Enter a valid DSP Interval: a number from -32768 to 32767\n"},
      {{"set", "method=3"}, "method takes 0 to 2"},
      {{"set", "mode=6"}, "mode takes 0 to 5"},
      {{"set", "light-tools=2"}, "light-tools takes on or off"},
      {{"set", "plate=k96u"}, "add --yes"},
      {{"set", "plate=k77"}, "Selection Error\n"},
  };
  for (const auto& c : cases) {
    CliRun r = Run(c.args);
    EXPECT_EQ(r.code, kExitUsage) << c.args.back();
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(read(tmp / "p00001" / "setup.dat"), before);
  for (const auto& args : std::vector<std::vector<std::string>>{{"set"}, {"set", "colour=red"}, {"set", "lapse"}})
    EXPECT_EQ(Run(args).code, kExitUsage);
  EXPECT_EQ(Load(1).groups.GroupName[0], "Columns1-2");

  CliRun plate = Run({"set", "plate=k96u", "--yes"});
  ASSERT_EQ(plate.code, kExitOk) << plate.err;
  Workspace after = Load(1);
  EXPECT_EQ(after.setup.Plate_format, "k96u");
  EXPECT_EQ(after.groups.ChannelGroup[0], -1);
  EXPECT_EQ(after.groups.GroupName[0], "Free");
}

TEST_F(ProjectCli, AFailedSaveExitsWithTheFileCodeAndNamesTheFile) {
  fs::remove(tmp / "p00001" / "status.dat");
  fs::create_directories(tmp / "p00001" / "status.dat" / "in the way");
  CliRun r = Run({"set", "lapse=60"});
  EXPECT_EQ(r.code, kExitFile);
  EXPECT_NE(r.err.find("The project could not be saved:\r\ncannot write " + (tmp / "p00001" / "status.dat").string()),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(ProjectCli, LoadAndRename) {
  CliRun zero = Run({"load", "0"});
  ASSERT_EQ(zero.code, kExitOk) << zero.err;
  EXPECT_EQ(zero.out, "project: 0_Default\nfolder: " + tmp.path().string() + "\n");
  EXPECT_EQ(config().Actual_Project_Number, 0);

  CliRun refused = Run({"rename", "Other"});
  EXPECT_EQ(refused.code, kExitUsage);
  EXPECT_NE(refused.err.find("Not possible to rename the Default project. Save it with another Name"),
            std::string::npos);

  EXPECT_EQ(Run({"load", "7"}).code, kExitInput);
  EXPECT_EQ(Run({"load", "x"}).code, kExitUsage);
  EXPECT_EQ(Run({"load", "32001"}).code, kExitUsage);
  EXPECT_EQ(config().Actual_Project_Number, 0);

  ASSERT_EQ(Run({"load", "1"}).code, kExitOk);
  EXPECT_EQ(config().Actual_Project_Number, 1);
  Workspace expected = Load(1);
  expected.setup.Name = "Renamed, again";
  CliRun renamed = Run({"rename", "Renamed, again"});
  ASSERT_EQ(renamed.code, kExitOk) << renamed.err;
  EXPECT_EQ(renamed.out, "project: 1_Renamed, again\nfolder: " + (tmp / "p00001").string() + "\n");
  expectSaved(tmp / "p00001", expected, 1);
  EXPECT_EQ(Run({"list"}).out, "p00001_Renamed, again\n");
  EXPECT_EQ(Run({"rename", "Bad\"name"}).code, kExitUsage);
  EXPECT_EQ(Run({"rename", ""}).code, kExitUsage);
  EXPECT_EQ(Load(1).setup.Name, "Renamed, again");
}

TEST(ProjectCliUsage, WithoutAConfigurationOrACommand) {
  testing::TempFolder tmp;
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--data", tmp.path().string(), "project", "list"}, out, err), kExitConfig);
  EXPECT_EQ(RunCli({"--data", tmp.path().string(), "project"}, out, err), kExitUsage);
  EXPECT_EQ(RunCli({"--data", tmp.path().string(), "project", "delete"}, out, err), kExitUsage);
  EXPECT_EQ(RunCli({"--data", tmp.path().string(), "project", "new"}, out, err), kExitUsage);
  EXPECT_EQ(RunCli({"project", "--help"}, out, err), kExitOk);
  EXPECT_NE(out.str().find("temperature-tools=on|off"), std::string::npos);
}

}  // namespace
}  // namespace orb
