#include "browser/experiment_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/project_files.h"
#include "common/fileio.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A data folder with projects and recordings made on disk as the program
// makes them: setup.dat with the project's name, acquisition folders with
// subproj.dat and counts.bin.
struct ListFixture : ::testing::Test {
  testing::TempFolder data;
  ScriptedOperator op;
  ExperimentList list;

  void project(const std::string& folder, const std::string& name) {
    ProjectSetup s = DefaultProjectSetup(data.path(), 1);
    s.Name = name;
    data.write(folder + "/setup.dat", SetupFileBytes(s, 1));
  }
  void acquisition(const std::string& project, const std::string& folder, const std::string& name,
                   bool withCounts = true) {
    fs::create_directories(data / (project + "/" + folder));
    WriteSubproject(data / (project + "/" + folder), name, "description");
    if (withCounts) data.write(project + "/" + folder + "/counts.bin", std::string(774, '\0'));
  }
};

TEST(ExperimentLines, TextsAndTheFolderRebuiltFromALine) {
  EXPECT_EQ(AcquisitionLineText("20240131_1405", "name"), "  > 2024.0131\t ACQ14:05 \"name\"");
  EXPECT_EQ(AcquisitionFolderFromLine("  > 2024.0131\t ACQ14:05 \"name\""), "20240131_1405");
  // A name holding the markers does not disturb the rebuild.
  EXPECT_EQ(AcquisitionFolderFromLine(AcquisitionLineText("19991231_2359", "a.b ACQ:x > y")), "19991231_2359");
  EXPECT_EQ(AcquisitionFolderFromLine("+ 2024.0131\tp00001_Name"), "");

  EXPECT_EQ(ProjectLineText("20240131_1405", "p00001", "Growth"), "+ 2024.0131\tp00001_Growth");
  EXPECT_EQ(ProjectLineText("", "p00002", "Empty"), "+         \tp00002_Empty");
  EXPECT_EQ(ProjectNameFromTitle("<Project> p00001: Growth: day 2"), "Growth: day 2");
  EXPECT_EQ(ProjectNameFromTitle("<Project> p: SETUP NOT FOUND!!"), "SETUP NOT FOUND!!");
}

TEST(ExperimentLines, FilterTermsAndCase) {
  EXPECT_EQ(SplitFilterTerms("\"a b\" c"), (Lines{"a b", "c"}));
  EXPECT_EQ(SplitFilterTerms("  one   two "), (Lines{"one", "two"}));
  EXPECT_EQ(SplitFilterTerms("x\"y z\"w \"\""), (Lines{"xy zw"}));
  EXPECT_EQ(SplitFilterTerms("1 2 3 4 5 6 7 8 9 10 11 12").size(), 10u);
  EXPECT_TRUE(SplitFilterTerms("   ").empty());

  EXPECT_TRUE(ContainsIgnoringCase("+ 2024.0131\tp00001_Growth Test", "growth t"));
  EXPECT_TRUE(ContainsIgnoringCase("Élevage", "éLEV"));
  EXPECT_FALSE(ContainsIgnoringCase("Growth", "growths"));
  // Text outside Windows-1252 still matches on its ASCII letters.
  EXPECT_TRUE(ContainsIgnoringCase("Test \u4e2d", "TEST"));
}

TEST_F(ListFixture, ListsOnlyProjectFoldersWithSetupAndAcquisitionsWithCounts) {
  project("p12345", "Five");
  project("p1234", "Four");
  project("p123456", "Six");
  fs::create_directories(data / "p00009");  // no setup.dat
  project("p00001", "First");
  acquisition("p00001", "20240131_1405", "Recorded");
  acquisition("p00001", "20240101_0900", "Early");
  acquisition("p00001", "20240201_0000", "No counts", false);
  acquisition("p00001", "2024013_1405", "Short name");
  data.write("p00003", "a file, not a folder");

  list.load(data.path(), op);
  EXPECT_EQ(list.texts(), (Lines{"+ 2024.0101\tp00001_First", "+         \tp12345_Five"}));
  EXPECT_EQ(list.projectCount(), 2);

  EXPECT_EQ(list.toggleExpanded(0), 0);
  EXPECT_EQ(list.texts(), (Lines{"+ 2024.0101\tp00001_First", "  > 2024.0101\t ACQ09:00 \"Early\"",
                                 "  > 2024.0131\t ACQ14:05 \"Recorded\"", "+         \tp12345_Five"}));
  const ListLine& acq = list.lines()[2];
  EXPECT_EQ(acq.kind, LineKind::Acquisition);
  EXPECT_EQ(acq.projectFolder, "p00001");
  EXPECT_EQ(acq.acquisitionFolder, "20240131_1405");
  EXPECT_EQ(acq.path, data.path() / "p00001" / "20240131_1405");

  EXPECT_EQ(list.toggleExpanded(0), 0);
  EXPECT_EQ(list.lines().size(), 2u);
  EXPECT_TRUE(op.texts().empty());
}

TEST_F(ListFixture, DateOrderTwiceGivesTheFirstOrderBack) {
  project("p00001", "A");
  project("p00002", "B");
  acquisition("p00001", "20240101_0900", "one");
  acquisition("p00001", "20240102_0900", "two");
  list.load(data.path(), op);
  list.expandAll();
  const Lines ascending = list.texts();
  EXPECT_EQ(list.orderMarker(), "^");

  EXPECT_EQ(list.toggleOrder(), "v");
  EXPECT_EQ(list.texts(), (Lines{"+         \tp00002_B", "+ 2024.0101\tp00001_A",
                                 "  > 2024.0102\t ACQ09:00 \"two\"", "  > 2024.0101\t ACQ09:00 \"one\""}));
  EXPECT_EQ(list.toggleOrder(), "^");
  EXPECT_EQ(list.texts(), ascending);
}

TEST_F(ListFixture, FilterTermsNarrowOneAfterTheOtherThroughAcquisitionNames) {
  project("p00001", "Growth Test");
  project("p00002", "growth control");
  project("p00003", "Other");
  project("p00004", "Growth");
  acquisition("p00003", "20240101_0900", "GROWTH TEST day 2");
  acquisition("p00004", "20240101_0900", "heat");
  list.load(data.path(), op);

  // "growth test" matches p00001 by its name and p00003 by an acquisition;
  // then "other" leaves p00003 alone.
  list.applyFilter("\"growth test\" OTHER");
  EXPECT_TRUE(list.filterActive());
  EXPECT_EQ(list.texts(), (Lines{"+ 2024.0101\tp00003_Other"}));

  // A new Apply starts from the whole list again.
  list.applyFilter("growth");
  EXPECT_EQ(list.texts().size(), 4u);
  list.applyFilter("heat");
  EXPECT_EQ(list.texts(), (Lines{"+ 2024.0101\tp00004_Growth"}));
  // Acquisition lines under a kept project are not filtered themselves.
  list.expandAll();
  EXPECT_EQ(list.texts(), (Lines{"+ 2024.0101\tp00004_Growth", "  > 2024.0101\t ACQ09:00 \"heat\""}));

  // An empty filter is "> Hide subfolders".
  list.applyFilter("  ");
  EXPECT_FALSE(list.filterActive());
  EXPECT_EQ(list.texts().size(), 4u);
}

TEST_F(ListFixture, ExpandingUnderTheFilterAndHidingSubfolders) {
  for (int p = 1; p <= 4; ++p) project("p0000" + std::to_string(p), "P" + std::to_string(p));
  acquisition("p00002", "20240101_0900", "wanted");
  acquisition("p00003", "20240101_0900", "other");
  list.load(data.path(), op);
  list.applyFilter("wanted");
  ASSERT_EQ(list.texts().size(), 1u);
  // Fewer lines than projects is the filter at work, not an error.
  EXPECT_EQ(list.toggleExpanded(0), 0);
  EXPECT_EQ(list.texts(), (Lines{"+ 2024.0101\tp00002_P2", "  > 2024.0101\t ACQ09:00 \"wanted\""}));
  EXPECT_TRUE(op.texts().empty());

  list.select(1);
  EXPECT_EQ(list.selection().kind, LineKind::Acquisition);
  list.select(0);
  EXPECT_EQ(list.hideSubfolders(), 1);  // p00002 is the second line of the whole list
  EXPECT_FALSE(list.filterActive());
  EXPECT_EQ(list.texts().size(), 4u);
  EXPECT_FALSE(list.expanded("p00002"));
}

TEST_F(ListFixture, AProjectVanishedSinceTheLoadIsAnErrorAndResetsTheList) {
  project("p00001", "A");
  project("p00002", "B");
  project("p00003", "C");
  list.load(data.path(), op);
  fs::remove(data / "p00002/setup.dat");
  // The double click selected p00001, which the reset selects again.
  EXPECT_EQ(list.toggleExpanded(0), 0);
  EXPECT_EQ(op.texts(), (Lines{"ERROR:#pj3>1"}));
  EXPECT_EQ(list.projectCount(), 2);
  EXPECT_EQ(list.texts(), (Lines{"+         \tp00001_A", "+         \tp00003_C"}));
  EXPECT_FALSE(list.expanded("p00001"));
}

TEST_F(ListFixture, DamagedSetupShowsTheRecoveryOrTheNotFoundTitle) {
  project("p00001", "Kept");
  data.write("p00001/setup.bak", data.read("p00001/setup.dat"));
  data.write("p00001/setup.dat", "\"broken\"\r\n");
  data.write("p00002/setup.dat", "");
  list.load(data.path(), op);
  EXPECT_EQ(list.texts(), (Lines{"+         \tp00001_Kept", "+         \tp00002_SETUP NOT FOUND!!"}));
  EXPECT_EQ(op.texts(), (Lines{"Error reading Setup.dat -> recovered from Setup.bak"}));
}

TEST_F(ListFixture, OpeningAnAcquisitionKeepsItAsTheLoadedOne) {
  project("p00001", "A");
  acquisition("p00001", "20240131_1405", "x");
  list.load(data.path(), op);
  EXPECT_TRUE(list.openAcquisition(0).empty());
  list.toggleExpanded(0);
  EXPECT_EQ(list.openAcquisition(1), data.path() / "p00001" / "20240131_1405");
  EXPECT_EQ(list.selection().loadedAcquisition, data.path() / "p00001" / "20240131_1405");
  EXPECT_EQ(list.selectedIndex(), 1);
}

}  // namespace
}  // namespace orb
