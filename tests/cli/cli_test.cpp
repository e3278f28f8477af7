#include "cli/commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/temp_folder.h"

namespace orb {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(Cli, InitThenInfoOnANewFolder) {
  testing::TempFolder tmp;
  std::string data = (tmp / "new").string();
  CliRun none = Cli({"--data", data, "info"});
  EXPECT_EQ(none.code, kExitConfig);
  EXPECT_NE(none.err.find("Config file not found: Check correct software installation"), std::string::npos);

  CliRun init = Cli({"--data", data, "init", "--demo"});
  ASSERT_EQ(init.code, kExitOk) << init.err;
  EXPECT_NE(init.out.find("current project: 1_Demo"), std::string::npos);

  CliRun info = Cli({"--data", data, "info"});
  ASSERT_EQ(info.code, kExitOk);
  EXPECT_EQ(info.err, "");  // loads without a message
  EXPECT_NE(info.out.find("Project: 1_Demo\n"), std::string::npos);
  EXPECT_NE(info.out.find("Plate_format: k96f\n"), std::string::npos);
  EXPECT_NE(info.out.find("Mn3: 0,200,0,0,0,0\n"), std::string::npos);
  EXPECT_NE(info.out.find("Plate: 8 rows x 12 columns, wells 0..95, beams 0..1, 192 channels used"),
            std::string::npos);
  EXPECT_NE(info.out.find("  5 Columns11-12: 32 channels"), std::string::npos);
}

TEST(Cli, InfoShowsTheLoadMessagesOnStandardError) {
  testing::TempFolder tmp;
  ASSERT_EQ(Cli({"--data", tmp.path().string(), "init"}).code, kExitOk);
  tmp.write("groups.dat", "");
  CliRun info = Cli({"--data=" + tmp.path().string(), "info"});
  EXPECT_EQ(info.code, kExitOk);
  EXPECT_EQ(info.err, "Error [\\p00000\\groups.dat] => Loading default groups...\n");
  EXPECT_NE(info.out.find("  0 Group0: 16 channels"), std::string::npos);
}

TEST(Cli, UsageErrors) {
  EXPECT_EQ(Cli({}).code, kExitUsage);
  EXPECT_EQ(Cli({"frobnicate"}).code, kExitUsage);
  EXPECT_EQ(Cli({"--data"}).code, kExitUsage);
  EXPECT_EQ(Cli({"init", "--bogus"}).code, kExitUsage);
  CliRun help = Cli({"--help"});
  EXPECT_EQ(help.code, kExitOk);
  EXPECT_NE(help.out.find("usage: orbelune-cli"), std::string::npos);
}

// Every command of the overview answers --help with its usage, exits 0 and
// touches nothing (the data folder stays empty).
TEST(Cli, EveryCommandHasItsHelp) {
  testing::TempFolder data;
  const std::string overview = Cli({"--help"}).out;
  std::vector<std::string> commands;
  std::istringstream lines(overview);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
    commands.push_back(line.substr(2, line.find(' ', 2) - 2));
  }
  ASSERT_GE(commands.size(), 20u) << overview;
  for (const auto& command : commands) {
    for (const char* flag : {"--help", "-h"}) {
      CliRun r = Cli({"--data", data.path().string(), command, flag});
      EXPECT_EQ(r.code, kExitOk) << command << " " << flag << ": " << r.err;
      EXPECT_EQ(r.out.rfind("usage: orbelune-cli", 0), 0u) << command << ": " << r.out;
      EXPECT_NE(r.out.find(command), std::string::npos) << command;
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(data.path()));
  EXPECT_EQ(Cli({"frobnicate", "--help"}).code, kExitUsage);
}

TEST(Cli, InitIntoAPlaceThatCannotBeAFolderFails) {
  testing::TempFolder tmp;
  tmp.write("file", "x");
  CliRun r = Cli({"--data", (tmp / "file").string(), "init"});
  EXPECT_EQ(r.code, kExitFile);
  EXPECT_NE(r.err.find("orbelune-cli init:"), std::string::npos);
}

}  // namespace
}  // namespace orb
