#include "acquisition/acquisition_folder.h"

#include <gtest/gtest.h>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

TEST(AcquisitionFolder, AcquisitionFolderHoldsNameDescriptionAndSnapshot) {
  testing::TempFolder data;
  InitDataFolder(data.path(), true);
  ScriptedOperator op;
  Workspace ws(data.path(), op);
  ws.ProjectPath = data / "p00001";
  ws.config.Actual_Project_Number = 1;
  LoadProject(ws, 1);
  const LocalDateTime start{2024, 1, 31, 9, 5, 0};
  const auto folder = CreateAcquisitionFolder(ws, start, "Dose 1", "Ten larvae per well");
  EXPECT_EQ(folder, data / "p00001" / "20240131_0905");
  EXPECT_EQ(data.read("p00001/20240131_0905/subproj.dat"), "\"Dose 1\"\r\n\"Ten larvae per well\"\r\n");
  for (const char* f : {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat"})
    EXPECT_TRUE(std::filesystem::exists(folder / f)) << f;

  // A second start in the same minute reuses the folder and its records.
  IntervalRecords rec;
  rec.counts.TemperatureTenths = TemperatureTenths(20.0);
  ASSERT_TRUE(AppendIntervalRecords(folder, rec).empty());
  EXPECT_EQ(CreateAcquisitionFolder(ws, start, "Dose 2", ""), folder);
  EXPECT_EQ(CountsRecordCount(folder), 1);
  EXPECT_EQ(ReadSubprojectName(folder), "Dose 2");

  // The blank reading's folder has the snapshot but no subproj.dat.
  const auto blank = CreateSnapshotFolder(ws, LocalDateTime{2024, 2, 1, 10, 0, 0});
  EXPECT_TRUE(std::filesystem::exists(blank / "setup.dat"));
  EXPECT_FALSE(std::filesystem::exists(blank / "subproj.dat"));
}

}  // namespace
}  // namespace orb
