// The command line's regroup commands on generated recordings.
#include <gtest/gtest.h>

#include <sstream>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "browser/regroup.h"
#include "cli/commands.h"
#include "common/fileio.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

struct CliRun {
  int code;
  std::string out, err;
};

// The demo data folder (project 1, k96f, wells grouped by pairs of columns)
// with one recording of it carrying copies of the project's files.
struct Recording {
  TempFolder tmp;
  fs::path data = tmp / "data";
  fs::path acq = data / "p00001" / "20240131_1405";
  Recording() {
    InitDataFolder(data, true);
    fs::create_directories(acq);
    for (const char* f : {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat"})
      fs::copy_file(data / "p00001" / f, acq / f);
  }
  CliRun regroup(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--data", data.string(), "regroup"});
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  std::string file(const std::string& name) const { return ReadWholeFile(acq / name).value_or("<missing>"); }
  // The working map as the browser loads it.
  AcquisitionGroups load() const {
    ScriptedOperator op;
    AcquisitionGroups a = LoadAcquisitionGroups(data, acq, op);
    EXPECT_TRUE(op.shown().empty());
    return a;
  }
  void expectFiles(const GroupTable& expected) const {
    EXPECT_EQ(file("groups.dat"), GroupNamesFileBytes(expected));
    EXPECT_EQ(file("chgroup.dat"), ChannelGroupsFileBytes(expected));
  }
  int backups() const {
    int n = 0;
    for (const auto& e : fs::directory_iterator(acq)) n += e.path().extension() == ".bak";
    return n;
  }
};

TEST(RegroupCommand, HelpAndUsageErrors) {
  Recording r;
  CliRun run = r.regroup({"--help"});
  EXPECT_EQ(run.code, kExitOk);
  EXPECT_NE(run.out.find("regroup ACQ --preset RxC"), std::string::npos) << run.out;

  const std::vector<std::vector<std::string>> wrong = {
      {},                                                  // no acquisition
      {"p00001/20240131_1405"},                            // no action
      {"p00001/20240131_1405", "--preset"},                // no block
      {"p00001/20240131_1405", "--preset", "3x1"},         // 3 does not divide 8 rows
      {"p00001/20240131_1405", "--assign", "4"},           // no well
      {"p00001/20240131_1405", "--assign", "384", "A1"},   // no such group
      {"p00001/20240131_1405", "--assign", "1", "I1"},     // no row I
      {"p00001/20240131_1405", "--free", "A1.0"},          // a beam, not a well
      {"p00001/20240131_1405", "--clear", "--show"},       // two actions
      {"p00001/20240131_1405", "--name", "2", "A\"B"},     // a name groups.dat cannot hold
      {"p00001/20240131_1405", "--bogus"},
      {"p00001"},                                          // a project, not a recording
  };
  for (const auto& args : wrong) {
    std::vector<std::string> a = args;
    if (a.size() == 1 && a[0] == "p00001") a.push_back("--clear");
    run = r.regroup(a);
    EXPECT_EQ(run.code, kExitUsage) << ::testing::PrintToString(a) << run.err;
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_EQ(r.backups(), 0);
  EXPECT_EQ(r.file("chgroup.dat"), ReadWholeFile(r.data / "p00001" / "chgroup.dat").value());
}

TEST(RegroupCommand, MissingAcquisitionIsAnInputError) {
  Recording r;
  const CliRun run = r.regroup({"p00001/20240131_1406", "--clear"});
  EXPECT_EQ(run.code, kExitInput);
  EXPECT_NE(run.err.find("20240131_1406"), std::string::npos) << run.err;
}

TEST(RegroupCommand, PresetWritesWhatTheBrowserWrites) {
  Recording r;
  const std::string recordedGroups = r.file("groups.dat");
  // The browser: "Go..." with 02x03, then "EXIT Group Edition" answered Yes.
  AcquisitionGroups expected = r.load();
  ScriptedOperator op;
  FakeClock clock;
  RegroupEditor editor(expected, op, clock);
  const RegroupControls shown = editor.Enter();
  editor.ChooseLayout(static_cast<int>(std::find(shown.comboSets.begin(), shown.comboSets.end(),
                                                 "02x03 [RowsxColumn]") - shown.comboSets.begin()));
  editor.Go();

  const CliRun run = r.regroup({r.acq.string(), "--preset", "2x3"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  r.expectFiles(expected.groups);
  EXPECT_EQ(r.backups(), 4);
  EXPECT_EQ(r.file("groups.bak"), recordedGroups);
  EXPECT_NE(run.out.find("backup: " + (r.acq / "groups.bak").string() + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("written: " + (r.acq / "chgroup.dat").string() + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("001_Group1: C1.0 D1.0 C1.1 D1.1"), std::string::npos) << run.out;
  // The project keeps its own groups.
  EXPECT_EQ(ReadWholeFile(r.data / "p00001" / "groups.dat").value(), recordedGroups);
}

TEST(RegroupCommand, AssignFreeNameAndClear) {
  Recording r;
  AcquisitionGroups expected = r.load();

  CliRun run = r.regroup({"p00001/20240131_1405", "--assign", "7", "A1:B2", "H12"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  for (const char* well : {"A1", "B1", "A2", "B2", "H12"})
    SetWellGroup(expected.groups, expected.plate, WellOfEntry(expected.plate, well), 7);
  expected.groups.GroupName[7] = "Group7";
  r.expectFiles(expected.groups);

  run = r.regroup({"p00001/20240131_1405", "--free", "B2"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  SetWellGroup(expected.groups, expected.plate, WellOfEntry(expected.plate, "B2"), -1);
  r.expectFiles(expected.groups);

  run = r.regroup({"p00001/20240131_1405", "--name", "7", "Treated 10 uM"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  expected.groups.GroupName[7] = "Treated 10 uM";
  r.expectFiles(expected.groups);
  EXPECT_EQ(r.backups(), 2 + 2 * 3);  // the .bak pair and a stamped pair per save

  run = r.regroup({"p00001/20240131_1405", "--clear"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  ClearAllGroups(expected.groups);
  r.expectFiles(expected.groups);
}

TEST(RegroupCommand, ShowChangesNothing) {
  Recording r;
  const CliRun run = r.regroup({"p00001/20240131_1405", "--show"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_NE(run.out.find("Plate: k96f, 8 rows x 12 columns"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Layouts: 01x01 02x01 04x01 08x01 01x02"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Free:"), std::string::npos);
  EXPECT_EQ(r.backups(), 0);
}

TEST(RegroupCommand, AFailedWriteExitsFourAndKeepsTheFiles) {
  Recording r;
  const std::string groups = r.file("groups.dat");
  fs::remove(r.acq / "chgroup.dat");
  fs::create_directory(r.acq / "chgroup.dat");  // cannot be backed up or replaced, also by root
  const CliRun run = r.regroup({"p00001/20240131_1405", "--clear"});
  EXPECT_EQ(run.code, kExitFile);
  EXPECT_NE(run.err.find("Error updating group files at " + r.acq.string()), std::string::npos) << run.err;
  EXPECT_EQ(r.file("groups.dat"), groups);
  EXPECT_EQ(r.backups(), 0);
}

}  // namespace
}  // namespace orb
