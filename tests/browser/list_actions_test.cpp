#include "browser/list_actions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/project_files.h"
#include "browser/experiment_list.h"
#include "common/fileio.h"
#include "reports/report_window.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

struct ActionsFixture : ::testing::Test {
  testing::TempFolder data;
  ScriptedOperator op;
  FakeClock clock;
  ExperimentList list;

  void project(const std::string& folder, const std::string& name) {
    ProjectSetup s = DefaultProjectSetup(data.path(), 1);
    s.Name = name;
    data.write(folder + "/setup.dat", SetupFileBytes(s, 1));
  }
  fs::path acquisition(const std::string& project, const std::string& folder, const std::string& name) {
    const fs::path path = data / (project + "/" + folder);
    fs::create_directories(path);
    WriteSubproject(path, name, "the description");
    data.write(project + "/" + folder + "/counts.bin", std::string(774, '\0'));
    return path;
  }
  // p00001 "Growth" with two recordings, expanded; p00002 "Other" with one.
  void standard() {
    project("p00001", "Growth");
    project("p00002", "Other");
    acquisition("p00001", "20240131_1405", "first");
    acquisition("p00001", "20240201_0800", "second");
    acquisition("p00002", "20240301_0000", "third");
    list.load(data.path(), op);
    list.expandAll();
  }
};

TEST_F(ActionsFixture, RenameRoundTripOfAProjectAndAnAcquisition) {
  standard();
  op.type("Growth, day 2").type("renamed");
  EXPECT_EQ(RenameLine(list, 0, op), 0);
  EXPECT_EQ(list.texts()[0], "+ 2024.0131\tp00001_Growth, day 2");
  EXPECT_EQ(RenameLine(list, 2, op), 2);
  EXPECT_EQ(list.texts()[2], "  > 2024.0201\t ACQ08:00 \"renamed\"");
  EXPECT_EQ(list.selectedIndex(), 2);
  ASSERT_EQ(op.prompts().size(), 2u);
  EXPECT_EQ(op.prompts()[0], "Enter Name of project");
  EXPECT_EQ(op.prompts()[1], "Enter Name of acquisition");
  // The description stays, the previous files are kept as .bak.
  EXPECT_EQ(data.read("p00001/20240201_0800/subproj.dat"), "\"renamed\"\r\n\"the description\"\r\n");
  EXPECT_EQ(data.read("p00001/20240201_0800/subproj.bak"), "\"second\"\r\n\"the description\"\r\n");
  EXPECT_NE(data.read("p00001/setup.bak").find("\"Growth\""), std::string::npos);
}

TEST_F(ActionsFixture, RenameCancelledOrRefused) {
  standard();
  const std::string before = data.read("p00001/setup.dat");
  op.type(std::nullopt).type("").type("a \"quoted\" name");
  RenameLine(list, 0, op);
  RenameLine(list, 0, op);
  RenameLine(list, 1, op);
  EXPECT_EQ(op.texts(), (Lines{"Error Renaming"}));
  EXPECT_EQ(data.read("p00001/setup.dat"), before);
  EXPECT_EQ(ReadSubprojectName(data / "p00001/20240131_1405"), "first");
}

TEST_F(ActionsFixture, RenamingAnAcquisitionWithoutSubprojectFileWritesOne) {
  standard();
  fs::remove(data / "p00001/20240131_1405/subproj.dat");
  list.rebuild();
  op.type("new name");
  RenameLine(list, 1, op);
  EXPECT_EQ(list.texts()[1], "  > 2024.0131\t ACQ14:05 \"new name\"");
  EXPECT_TRUE(op.texts().empty());
}

TEST_F(ActionsFixture, ArchiveMovesTheFolderOffTheListAndNeverCollides) {
  standard();
  clock.local = {2026, 1, 9, 1, 15, 2};
  op.answer(Answer::Yes).answer(Answer::Ok);
  ArchiveOutcome first = ArchiveLine(list, 1, op, clock);
  ASSERT_EQ(first.kind, ArchiveOutcome::Kind::Archived);
  EXPECT_EQ(first.archivedAs, data.path() / "p00001" / "20240131_1405removed20260109_011502");
  EXPECT_TRUE(FileExists(first.archivedAs / "counts.bin"));
  EXPECT_EQ(list.texts(), (Lines{"+ 2024.0201\tp00001_Growth", "  > 2024.0201\t ACQ08:00 \"second\"",
                                 "+ 2024.0301\tp00002_Other", "  > 2024.0301\t ACQ00:00 \"third\""}));
  EXPECT_EQ(first.select, 0);
  EXPECT_EQ(op.texts(), (Lines{"Remove folder from the list?", "Files are going to be archived!"}));

  // A recording of the same name archived in the same second.
  acquisition("p00001", "20240131_1405", "again");
  std::error_code ec;
  const fs::path second = ArchiveAcquisition(data / "p00001/20240131_1405", clock, ec);
  EXPECT_FALSE(ec);
  EXPECT_EQ(second, data.path() / "p00001" / "20240131_1405removed20260109_011502_2");
  EXPECT_EQ(ReadSubprojectName(first.archivedAs), "first");
  EXPECT_EQ(ReadSubprojectName(second), "again");
}

TEST_F(ActionsFixture, ArchiveQuestionsRefusalsAndFailure) {
  standard();
  op.answer(Answer::No);
  EXPECT_EQ(ArchiveLine(list, 1, op, clock).kind, ArchiveOutcome::Kind::Declined);
  op.answer(Answer::Yes).answer(Answer::Cancel);
  EXPECT_EQ(ArchiveLine(list, 1, op, clock).kind, ArchiveOutcome::Kind::Declined);
  EXPECT_TRUE(FolderExists(data / "p00001/20240131_1405"));
  EXPECT_EQ(ArchiveLine(list, 0, op, clock).kind, ArchiveOutcome::Kind::NotAcquisition);
  EXPECT_TRUE(op.saw("Remove function only available for subprojects"));

  // The folder went away behind the list's back: "Error", list unchanged.
  fs::rename(data / "p00001/20240131_1405", data / "elsewhere");
  op.clear();
  op.answer(Answer::Yes).answer(Answer::Ok);
  const Lines before = list.texts();
  EXPECT_EQ(ArchiveLine(list, 1, op, clock).kind, ArchiveOutcome::Kind::Failed);
  EXPECT_TRUE(op.saw("Error"));
  EXPECT_EQ(list.texts(), before);
}

TEST_F(ActionsFixture, WatchedFoldersReadOnlyExistingFoldersAndWriteFiveLines) {
  fs::create_directories(data / "watched");
  const std::string watched = (data / "watched").string();
  data.write("foldview.dat", "C:\\gone\r\n" + watched + "\r\n\"" + watched + "\"\r\n");
  WatchedFolders folders = ReadWatchedFolders(data.path());
  EXPECT_EQ(folders, (WatchedFolders{"_folder1", watched, watched, "_folder4", "_folder5"}));

  op.type("/no/such/folder").type(watched);
  EXPECT_FALSE(EditWatchedFolder(data.path(), folders, 0, op));
  EXPECT_TRUE(EditWatchedFolder(data.path(), folders, 4, op));
  EXPECT_EQ(op.prompts(), (Lines{"Write folder to watch:", "Write folder to watch:"}));
  EXPECT_EQ(data.read("foldview.dat"),
            "_folder1\r\n" + watched + "\r\n" + watched + "\r\n_folder4\r\n" + watched + "\r\n");
  EXPECT_EQ(ReadWatchedFolders(data.path())[4], watched);
}

TEST_F(ActionsFixture, FindInFolderAndPlateConfig) {
  standard();
  RecordingLauncher launcher;
  EXPECT_TRUE(FindInFolder(list, 0, launcher));
  EXPECT_TRUE(FindInFolder(list, 2, launcher));
  EXPECT_FALSE(FindInFolder(list, 9, launcher));
  EXPECT_EQ(launcher.opened, (Lines{(data / "p00001").string(), (data / "p00001/20240201_0800").string()}));

  EXPECT_TRUE(PlateConfigAllowed(list, 1, op));
  EXPECT_FALSE(PlateConfigAllowed(list, 0, op));
  EXPECT_EQ(op.texts(), (Lines{"Only possible for SubProjects"}));
}

TEST_F(ActionsFixture, ReportCaptionBasalListAndMissingActivityFile) {
  standard();
  EXPECT_EQ(ReportCaption(list.texts()[1]), " 2024.0131\t ACQ14:05 \"first\" => REPORT");
  const std::string fifty(50, 'x');
  EXPECT_EQ(ReportCaption("  >" + fifty), fifty + " => REPORT");
  EXPECT_EQ(ReportCaption("  >" + fifty + "y"), fifty + ".. => REPORT");
  // Cut at characters, never inside one.
  EXPECT_EQ(ReportCaption("  >" + std::string(49, 'x') + "éé"), std::string(49, 'x') + "é.. => REPORT");

  EXPECT_EQ(BasalList(list, 2), (Lines{"-", "20240131_1405", "20240201_0800"}));
  EXPECT_EQ(BasalList(list, 0), (Lines{"-", "20240131_1405", "20240201_0800"}));
  EXPECT_EQ(BasalList(list, 4), (Lines{"-", "20240301_0000"}));
  list.toggleOrder();  // descending: p00002 first, the acquisitions newest first
  EXPECT_EQ(BasalList(list, 3), (Lines{"-", "20240201_0800", "20240131_1405"}));

  ReportWindowControls controls;
  EXPECT_TRUE(PrepareReportWindow(data / "p00001/20240131_1405", BasalList(list, 3), controls, op));
  EXPECT_EQ(controls.inputFile, (data / "p00001/20240131_1405").string());
  EXPECT_EQ(controls.basalText, "-");
  EXPECT_EQ(controls.basalList.size(), 3u);
  fs::remove(data / "p00001/20240131_1405/counts.bin");
  EXPECT_FALSE(PrepareReportWindow(data / "p00001/20240131_1405", {"-"}, controls, op));
  EXPECT_EQ(op.texts(), (Lines{"Activity file not Found"}));
}

TEST_F(ActionsFixture, SummaryOfAnOpenedAcquisition) {
  project("p00001", "Growth");
  const fs::path acq = acquisition("p00001", "20240131_1405", "first");
  // The acquisition's own settings: a 3 x 2 plate, method 2, Zebrafish,
  // stored SNR 12 (below 14: shown as 1.8), a lapse of 45 minutes.
  std::string plate = "\"Test plate\"\r\n\"geometry\"\r\n3,1,0,2,1,0\r\n\"<Label>\"\r\n";
  for (int ch = 0; ch < 384; ++ch) {
    const int well = ch < 6 ? ch : -1;
    plate += "\"c\"," + std::to_string(well) + ",0\r\n";
  }
  data.write("kt6.dat", plate);
  ProjectSetup s = DefaultProjectSetup(data.path(), 1);
  s.Plate_format = "kt6";
  s.Aq_lapse = 45;
  s.DSP_Method = 2;
  s.MenuTable[Mn1][Organism] = 1;
  s.MenuTable[Mn1][SNRx10] = 12;
  data.write("p00001/20240131_1405/setup.dat", SetupFileBytes(s, 1));
  GroupTable g;
  g.GroupName.fill("Free");
  g.ChannelGroup.fill(-1);
  g.GroupName[0] = "Control";
  g.GroupName[3] = "Drug";
  g.ChannelGroup[0] = 0;
  g.ChannelGroup[4] = 0;
  g.ChannelGroup[1] = 3;
  g.ChannelGroup[200] = 5;  // a channel in no well
  data.write("p00001/20240131_1405/groups.dat", GroupNamesFileBytes(g));
  data.write("p00001/20240131_1405/chgroup.dat", ChannelGroupsFileBytes(g));

  const AcquisitionFiles files = LoadAcquisitionFiles(data.path(), acq, op);
  const std::string line = AcquisitionLineText("20240131_1405", "first");
  const AcquisitionSummary summary = SummarizeAcquisition(line, files);
  EXPECT_EQ(summary.lines, (Lines{"***** PROJECT ******", line, "***** CONFIG ******", "Microplate format: [kt6]",
                                  "Acquisition Lapse = 45min", "Setting: Mode2 [Zebrafish SNR=1.8]", "Groups: ",
                                  "000_Control: A1 B2", "003_Drug: B1", "005_Free: (1 channel, no well)"}));
  EXPECT_EQ(summary.organism, 1);
  EXPECT_EQ(summary.method, 2);
  EXPECT_EQ(summary.thresholdText, "1.8");
  // status.dat and threshld.dat are missing from this snapshot: their messages.
  EXPECT_EQ(op.texts().size(), 2u);

  s.MenuTable[Mn1][SNRx10] = 25;
  data.write("p00001/20240131_1405/setup.dat", SetupFileBytes(s, 1));
  EXPECT_EQ(SummarizeAcquisition(line, LoadAcquisitionFiles(data.path(), acq, op)).lines[5],
            "Setting: Mode2 [Zebrafish SNR=2.5]");

  const PlotScene scene = SummaryScene(summary.lines);
  EXPECT_EQ(scene.top, 0);
  EXPECT_EQ(scene.bottom, 1000);
  EXPECT_EQ(scene.right, 1000);
  ASSERT_EQ(scene.items.size(), summary.lines.size());
  EXPECT_EQ(scene.items[0].text, "***** PROJECT ******");
  EXPECT_EQ(scene.items[1].text.find('\t'), std::string::npos);
  EXPECT_LT(scene.items[0].points[0].y, scene.items[1].points[0].y);
}

}  // namespace
}  // namespace orb
