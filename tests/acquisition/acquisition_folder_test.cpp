#include "acquisition/acquisition_folder.h"

#include <gtest/gtest.h>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

struct Project {
  testing::TempFolder data;
  ScriptedOperator op;
  Workspace ws{data.path(), op};
  Project() {
    InitDataFolder(data.path(), true);
    ws.ProjectPath = data / "p00001";
    ws.config.Actual_Project_Number = 1;
    LoadProject(ws, 1);
  }
};

void AppendOneInterval(const std::filesystem::path& folder) {
  IntervalRecords rec;
  rec.counts.TemperatureTenths = TemperatureTenths(20.0);
  ASSERT_TRUE(AppendIntervalRecords(folder, rec).complete());
}

TEST(AcquisitionFolder, AcquisitionFolderHoldsNameDescriptionAndSnapshot) {
  Project p;
  const LocalDateTime start{2024, 1, 31, 9, 5, 0};
  const AcquisitionFolder folder = CreateAcquisitionFolder(p.ws, start, "Dose 1", "Ten larvae per well");
  EXPECT_EQ(folder.path, p.data / "p00001" / "20240131_0905");
  EXPECT_TRUE(folder.lock.held());
  EXPECT_TRUE(folder.taken.empty());
  EXPECT_EQ(p.data.read("p00001/20240131_0905/subproj.dat"), "\"Dose 1\"\r\n\"Ten larvae per well\"\r\n");
  for (const char* f : {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat"})
    EXPECT_TRUE(std::filesystem::exists(folder.path / f)) << f;
}

// Runs started in the same minute each get a folder of their own: one whose
// lock another run holds is passed over, and so is one that holds records,
// so no run appends to another's counts.bin or replaces its subproj.dat.
TEST(AcquisitionFolder, ATakenFolderGivesWayToTheNextMinutes) {
  Project p;
  const LocalDateTime start{2024, 1, 31, 9, 5, 0};
  AcquisitionFolder first = CreateAcquisitionFolder(p.ws, start, "Dose 1", "");
  const AcquisitionFolder second = CreateAcquisitionFolder(p.ws, start, "Dose 2", "");
  EXPECT_EQ(second.path.filename(), "20240131_0906");
  EXPECT_EQ(second.taken, first.path);
  EXPECT_EQ(ReadSubprojectName(first.path), "Dose 1");
  EXPECT_EQ(ReadSubprojectName(second.path), "Dose 2");

  // The first run has recorded and ended: its folder is no longer locked,
  // but its records keep the next run out of it.
  AppendOneInterval(first.path);
  first.lock.release();
  const AcquisitionFolder third = CreateAcquisitionFolder(p.ws, start, "Dose 3", "");
  EXPECT_EQ(third.path.filename(), "20240131_0907");
  EXPECT_EQ(third.taken, first.path);
  EXPECT_EQ(CountsRecordCount(first.path), 1);
  EXPECT_EQ(ReadSubprojectName(first.path), "Dose 1");

  // A folder another program holds (its lock, nothing recorded yet).
  std::filesystem::create_directories(p.ws.ProjectPath / "20240131_1000");
  const FolderLock other = FolderLock::TryLock(p.ws.ProjectPath / "20240131_1000");
  ASSERT_TRUE(other.held());
  const AcquisitionFolder fourth = CreateAcquisitionFolder(p.ws, {2024, 1, 31, 10, 0, 0}, "Dose 4", "");
  EXPECT_EQ(fourth.path.filename(), "20240131_1001");
  EXPECT_FALSE(std::filesystem::exists(p.ws.ProjectPath / "20240131_1000" / "subproj.dat"));
}

// The blank reading's folder (a snapshot, no records, not locked once
// written) is the folder of a run of the same minute, as before.
TEST(AcquisitionFolder, TheBlankReadingsFolderIsUsedByARunOfTheSameMinute) {
  Project p;
  const LocalDateTime start{2024, 2, 1, 10, 0, 0};
  const auto blank = CreateSnapshotFolder(p.ws, start);
  EXPECT_TRUE(std::filesystem::exists(blank / "setup.dat"));
  EXPECT_FALSE(std::filesystem::exists(blank / "subproj.dat"));
  const AcquisitionFolder run = CreateAcquisitionFolder(p.ws, start, "After the blank", "");
  EXPECT_EQ(run.path, blank);
  EXPECT_TRUE(run.taken.empty());

  // A blank reading never writes its snapshot over a recording's.
  EXPECT_EQ(CreateSnapshotFolder(p.ws, start).filename(), "20240201_1001");
}

TEST(AcquisitionFolder, TheNextMinuteRollsOverHourDayMonthAndYear) {
  Project p;
  const LocalDateTime last{2024, 12, 31, 23, 59, 30};
  const AcquisitionFolder first = CreateAcquisitionFolder(p.ws, last, "Old year", "");
  const AcquisitionFolder next = CreateAcquisitionFolder(p.ws, last, "New year", "");
  EXPECT_EQ(first.path.filename(), "20241231_2359");
  EXPECT_EQ(next.path.filename(), "20250101_0000");
  EXPECT_TRUE(IsFolderStampName(next.path.filename().string()));

  EXPECT_EQ(MinutesLater({2024, 2, 28, 23, 59, 5}, 1), (LocalDateTime{2024, 2, 29, 0, 0, 5}));
  EXPECT_EQ(MinutesLater({2023, 2, 28, 23, 59, 0}, 1), (LocalDateTime{2023, 3, 1, 0, 0, 0}));
  EXPECT_EQ(MinutesLater({2024, 4, 30, 22, 30, 0}, 90), (LocalDateTime{2024, 5, 1, 0, 0, 0}));
  EXPECT_EQ(MinutesLater({2024, 4, 30, 9, 58, 0}, 3), (LocalDateTime{2024, 4, 30, 10, 1, 0}));
}

}  // namespace
}  // namespace orb
