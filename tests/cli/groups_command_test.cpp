#include <gtest/gtest.h>

#include <sstream>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "cli/commands.h"
#include "setup/group_editor.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using testing::TempFolder;

struct CliRun {
  int code;
  std::string out, err;
};

// The demo data folder: project 1 on a k96f plate, wells grouped by pairs of
// columns (groups 0 to 5), every channel enabled.
struct DemoData {
  TempFolder tmp;
  std::filesystem::path data = tmp / "data";
  DemoData() { InitDataFolder(data, true); }

  CliRun groups(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--data", data.string(), "groups"});
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  std::string file(const std::string& name) const { return tmp.read("data/p00001/" + name); }
  // The groups as the project holds them now.
  GroupTable table() const {
    ScriptedOperator op;
    GroupTable g;
    LoadGroupNames(data / "p00001", g, 1, op);
    LoadChannelGroups(data / "p00001", g, 1, op);
    EXPECT_TRUE(op.shown().empty());
    return g;
  }
  // groups.dat and chgroup.dat are what SaveProject writes for `expected`.
  void expectFiles(const GroupTable& expected) const {
    EXPECT_EQ(file("groups.dat"), GroupNamesFileBytes(expected));
    EXPECT_EQ(file("chgroup.dat"), ChannelGroupsFileBytes(expected));
  }
};

// k96f: beam 0 of well w is channel 32 (w / 8) + 2 (w % 8), beam 1 the
// channel 16 further on.
void SetWell(GroupTable& g, int well, int group) {
  const int c = 32 * (well / 8) + 2 * (well % 8);
  g.ChannelGroup[c] = g.ChannelGroup[c + 16] = static_cast<std::int16_t>(group);
}
constexpr int A1 = 0, B1 = 1, A2 = 8, B2 = 9, H12 = 95;

TEST(GroupsCommand, ShowListsGroupsFreeWellsAndPresets) {
  DemoData d;
  const std::string before = d.file("groups.dat");
  const CliRun r = d.groups({"show"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("Project: 1_Demo\nPlate: k96f, 8 rows x 12 columns\n"), std::string::npos);
  EXPECT_NE(r.out.find("Presets: 01x01 02x01 04x01 08x01 01x02 "), std::string::npos);
  EXPECT_NE(r.out.find("\n000_Columns1-2: A1.0 B1.0 C1.0 D1.0 E1.0 F1.0 G1.0 H1.0 A1.1 "), std::string::npos);
  EXPECT_NE(r.out.find("\n005_Columns11-12: A11.0 "), std::string::npos);
  EXPECT_NE(r.out.find("\n006_Free:\nFree:\n"), std::string::npos);
  EXPECT_EQ(d.file("groups.dat"), before);  // show writes nothing
}

TEST(GroupsCommand, AssignAndFreeWriteWhatSaveProjectWrites) {
  DemoData d;
  GroupTable expected = d.table();
  const std::string setup = d.file("setup.dat");

  // A rectangle and a single well into a new group, over wells of groups 0 and 5.
  CliRun r = d.groups({"assign", "7", "A1:B2", "h12"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  for (int w : {A1, B1, A2, B2, H12}) SetWell(expected, w, 7);
  expected.GroupName[7] = "Group7";  // a group in use is named at the refresh
  d.expectFiles(expected);
  EXPECT_EQ(d.file("setup.dat"), setup);
  EXPECT_EQ(d.file("setup.bak"), setup);
  EXPECT_NE(r.out.find("\n007_Group7: A1.0 B1.0 A1.1 B1.1 A2.0 B2.0 A2.1 B2.1 H12.0 H12.1\n"), std::string::npos);

  // Corners in either order; a free rectangle.
  r = d.groups({"free", "B2:A1"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  for (int w : {A1, B1, A2, B2}) SetWell(expected, w, -1);
  d.expectFiles(expected);
  EXPECT_NE(r.out.find("\nFree: A1.0 B1.0 A1.1 B1.1 A2.0 B2.0 A2.1 B2.1\n"), std::string::npos);
}

TEST(GroupsCommand, PresetsAreThoseOfThePlate) {
  DemoData d;
  GroupTable expected = d.table();
  CliRun r = d.groups({"preset", "2x3"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  // Blocks of 2 rows x 3 columns down the columns: group 0 is A1-B3, group 1
  // C1-D3, ..., group 4 starts at A4; names cleared, then Group0..Group15.
  for (int g = 0; g <= kLastGroup; ++g) expected.GroupName[g] = g < 16 ? "Group" + std::to_string(g) : "Free";
  for (int w = 0; w < 96; ++w) {
    const int column = w / 8, row = w % 8;
    SetWell(expected, w, (column / 3) * 4 + row / 2);
  }
  d.expectFiles(expected);
  const std::string arranged = d.file("chgroup.dat");

  ASSERT_EQ(d.groups({"preset", "02x03"}).code, kExitOk);
  EXPECT_EQ(d.file("chgroup.dat"), arranged);

  r = d.groups({"preset", "3x1"});  // 3 does not divide 8 rows
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("no preset 3x1 on this plate; presets: 01x01 02x01"), std::string::npos);
  EXPECT_EQ(d.groups({"preset", "2x"}).code, kExitUsage);
  EXPECT_EQ(d.file("chgroup.dat"), arranged);
}

TEST(GroupsCommand, NameRenamesAndRefusesWhatGroupsDatCannotHold) {
  DemoData d;
  GroupTable expected = d.table();
  CliRun r = d.groups({"name", "2", "Treated 5 µM"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  expected.GroupName[2] = "Treated 5 µM";
  d.expectFiles(expected);
  EXPECT_NE(r.out.find("\n002_Treated 5 µM: "), std::string::npos);
  EXPECT_NE(d.file("groups.dat").find("2,\"Treated 5 \xB5M\"\r\n"), std::string::npos);  // Windows-1252

  const std::string before = d.file("groups.dat");
  for (const std::string bad : {"say \"hi\"", "Ω", "two\nlines"}) {
    r = d.groups({"name", "2", bad});
    EXPECT_EQ(r.code, kExitUsage) << bad;
    EXPECT_EQ(r.err, std::string("orbelune-cli groups: ") + kUnstorableGroupName + "\n");
  }
  r = d.groups({"name", "2", ""});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_EQ(r.err, "orbelune-cli groups: the group name is empty\n");
  EXPECT_EQ(d.file("groups.dat"), before);
}

TEST(GroupsCommand, WrongWellsGroupsAndActionsChangeNothing) {
  DemoData d;
  const std::string groups = d.file("groups.dat"), channels = d.file("chgroup.dat");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"assign", "1", "A1", "I1"}, "no well I1 on this plate (8 rows x 12 columns)"},
      {{"free", "A1:A13"}, "no well A1:A13 on this plate"},
      {{"assign", "384", "A1"}, "no group 384: groups are numbered 0 to 383"},
      {{"name", "-1", "N"}, "no group -1"},
      {{"assign", "1"}, "assign: wrong number of arguments"},
      {{"swap"}, "unknown action swap"},
  };
  for (const Case& c : cases) {
    const CliRun r = d.groups(c.args);
    EXPECT_EQ(r.code, kExitUsage) << c.message;
    EXPECT_NE(r.err.find("orbelune-cli groups: " + c.message), std::string::npos) << r.err;
  }
  EXPECT_EQ(d.file("groups.dat"), groups);
  EXPECT_EQ(d.file("chgroup.dat"), channels);
}

TEST(GroupsCommand, AFileThatCannotBeWrittenExits4) {
  DemoData d;
  // chgroup.dat is a folder: the load reports it and takes the default
  // groups, and the save cannot replace it.
  std::filesystem::remove(d.data / "p00001" / "chgroup.dat");
  d.tmp.write("data/p00001/chgroup.dat/keep", "x");
  const CliRun r = d.groups({"assign", "1", "A1"});
  EXPECT_EQ(r.code, kExitFile);
  EXPECT_NE(r.err.find("orbelune-cli groups: the project's files could not be written in"), std::string::npos)
      << r.err;

  TempFolder empty;
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--data", (empty / "none").string(), "groups", "show"}, out, err), kExitConfig);
}

}  // namespace
}  // namespace orb
