// The command line's list, rename and archive commands on generated recordings.
#include "cli/browse_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/project_files.h"
#include "cli/commands.h"
#include "common/fileio.h"
#include "records/record_files.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int code;
  std::string out, err;
};

// A data folder with p00001 "Growth" (two recordings) and p00002 "Other"
// (one recording named "Growth curve", one without counts.bin).
struct BrowseCli : ::testing::Test {
  testing::TempFolder data;

  BrowseCli() {
    project("p00001", "Growth");
    project("p00002", "Other");
    recording("p00001", "20240131_1405", "day one");
    recording("p00001", "20240201_0800", "Déjà vu");
    recording("p00002", "20240301_0000", "Growth curve");
    fs::create_directories(data / "p00002/20240302_0000");
  }
  void project(const std::string& folder, const std::string& name) {
    ProjectSetup s = DefaultProjectSetup(data.path(), 1);
    s.Name = name;
    data.write(folder + "/setup.dat", SetupFileBytes(s, 1));
  }
  void recording(const std::string& project, const std::string& folder, const std::string& name) {
    fs::create_directories(data / (project + "/" + folder));
    WriteSubproject(data / (project + "/" + folder), name, "");
    CountsRecord r;
    data.write(project + "/" + folder + "/counts.bin", PackCountsRecord(r));
  }
  CliRun Run(const std::string& command, std::vector<std::string> args) {
    args.insert(args.begin(), {"--data", data.path().string(), command});
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
};

TEST_F(BrowseCli, ListPrintsTheBrowserLines) {
  CliRun r = Run("list", {});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "+ 2024.0131\tp00001_Growth\n+ 2024.0301\tp00002_Other\n");

  r = Run("list", {"--expand", "--descending"});
  EXPECT_EQ(r.out,
            "+ 2024.0301\tp00002_Other\n"
            "  > 2024.0301\t ACQ00:00 \"Growth curve\"\n"
            "+ 2024.0131\tp00001_Growth\n"
            "  > 2024.0201\t ACQ08:00 \"D\xC3\xA9j\xC3\xA0 vu\"\n"
            "  > 2024.0131\t ACQ14:05 \"day one\"\n");
}

TEST_F(BrowseCli, ListFilterKeepsProjectsMatchedByThemselvesOrTheirRecordings) {
  CliRun r = Run("list", {"--filter", "GROWTH"});
  EXPECT_EQ(r.out, "+ 2024.0131\tp00001_Growth\n+ 2024.0301\tp00002_Other\n");
  r = Run("list", {"--filter", "\"growth c\"", "--expand"});
  EXPECT_EQ(r.out, "+ 2024.0301\tp00002_Other\n  > 2024.0301\t ACQ00:00 \"Growth curve\"\n");
  r = Run("list", {"--filter=déjà growth"});
  EXPECT_EQ(r.out, "+ 2024.0131\tp00001_Growth\n");
  r = Run("list", {"--filter", "nothing"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, "");
}

TEST_F(BrowseCli, RenameRecordingAndProject) {
  CliRun r = Run("rename", {"p00001/20240131_1405", "Day 1"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "  > 2024.0131\t ACQ14:05 \"Day 1\"\n");
  EXPECT_EQ(ReadSubprojectName(data / "p00001/20240131_1405"), "Day 1");

  r = Run("rename", {(data / "p00002/").string(), "Renamed, twice"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "+ 2024.0301\tp00002_Renamed, twice\n");
  EXPECT_EQ(Run("list", {}).out, "+ 2024.0131\tp00001_Growth\n+ 2024.0301\tp00002_Renamed, twice\n");
}

TEST_F(BrowseCli, RenameRefusals) {
  EXPECT_EQ(Run("rename", {"p00001/20240131_9999", "x"}).code, kExitInput);
  EXPECT_EQ(Run("rename", {"p00001/20240131_1405"}).code, kExitUsage);
  EXPECT_EQ(Run("rename", {"p00001/20240131_1405", "a \"b\""}).code, kExitUsage);
  EXPECT_EQ(Run("rename", {"p00001/20240131_1405", "\xE4\xB8\xAD"}).code, kExitUsage);
  fs::create_directories(data / "p00003");
  EXPECT_EQ(Run("rename", {"p00003", "x"}).code, kExitInput);
  fs::create_directories(data / "notes");
  EXPECT_EQ(Run("rename", {"notes", "x"}).code, kExitUsage);
  EXPECT_EQ(ReadSubprojectName(data / "p00001/20240131_1405"), "day one");
}

TEST_F(BrowseCli, RenameWriteFailureExitsFour) {
  // subproj.bak cannot be written: a folder stands in its place.
  fs::create_directories(data / "p00001/20240131_1405/subproj.bak/x");
  CliRun r = Run("rename", {"p00001/20240131_1405", "new"});
  EXPECT_EQ(r.code, kExitFile);
  EXPECT_NE(r.err.find("Error Renaming"), std::string::npos);
  EXPECT_EQ(ReadSubprojectName(data / "p00001/20240131_1405"), "day one");
}

TEST_F(BrowseCli, ArchiveRenamesTheFolderOffTheList) {
  CliRun r = Run("archive", {"p00001/20240131_1405"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const fs::path archived(r.out.substr(0, r.out.size() - 1));
  EXPECT_EQ(archived.parent_path(), data.path() / "p00001");
  EXPECT_EQ(archived.filename().string().rfind("20240131_1405removed", 0), 0u);
  EXPECT_TRUE(FileExists(archived / "counts.bin"));
  EXPECT_FALSE(fs::exists(data / "p00001/20240131_1405"));
  EXPECT_EQ(Run("list", {"--expand"}).out.find("ACQ14:05"), std::string::npos);

  // The same name archived again at once gets a name of its own.
  recording("p00001", "20240131_1405", "again");
  CliRun again = Run("archive", {"p00001/20240131_1405"});
  ASSERT_EQ(again.code, kExitOk) << again.err;
  EXPECT_NE(again.out, r.out);
  EXPECT_EQ(ReadSubprojectName(archived), "day one");
}

TEST_F(BrowseCli, ArchiveRefusals) {
  CliRun r = Run("archive", {"p00001"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("Remove function only available for subprojects"), std::string::npos);
  EXPECT_EQ(Run("archive", {"p00001/20240131_0000"}).code, kExitInput);
  EXPECT_EQ(Run("archive", {}).code, kExitUsage);
  EXPECT_TRUE(fs::exists(data / "p00001"));
}

TEST_F(BrowseCli, HelpPrintsUsage) {
  for (const char* command : {"list", "rename", "archive"}) {
    std::ostringstream out, err;
    const std::vector<std::string> help{"--help"};
    const int code = std::string(command) == "list"     ? RunList(help, out, err)
                     : std::string(command) == "rename" ? RunRename(help, out, err)
                                                        : RunArchive(help, out, err);
    EXPECT_EQ(code, kExitOk);
    EXPECT_NE(out.str().find(std::string("orbelune-cli [--data DIR] ") + command), std::string::npos);
  }
}

}  // namespace
}  // namespace orb
