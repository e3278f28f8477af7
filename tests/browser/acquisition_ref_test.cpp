#include "browser/acquisition_ref.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace orb {
namespace {

TEST(AcquisitionRef, APathOrAPathInsideTheDataFolder) {
  testing::TempFolder data;
  data.write("p00001/20240131_1405/counts.bin", "");
  const auto folder = data.path() / "p00001" / "20240131_1405";
  EXPECT_EQ(ResolveAcquisition(data.path(), folder.string()), folder);
  EXPECT_EQ(ResolveAcquisition(data.path(), "p00001/20240131_1405"), folder);
  EXPECT_TRUE(ResolveAcquisition(data.path(), "p00001/20240131_1406").empty());
  EXPECT_TRUE(ResolveAcquisition(data.path(), "p00001/20240131_1405/counts.bin").empty());
  EXPECT_TRUE(ResolveAcquisition(data.path(), "").empty());
}

TEST(AcquisitionRef, FolderNamePatterns) {
  EXPECT_TRUE(IsProjectFolderName("p12345"));
  EXPECT_FALSE(IsProjectFolderName("p1234"));
  EXPECT_FALSE(IsProjectFolderName("p123456"));
  EXPECT_FALSE(IsProjectFolderName("x12345"));
  EXPECT_TRUE(IsAcquisitionFolderName("20240131_1405"));
  EXPECT_FALSE(IsAcquisitionFolderName("20240131_140"));
  EXPECT_FALSE(IsAcquisitionFolderName("20240131-1405"));
  EXPECT_FALSE(IsAcquisitionFolderName("20240131_1405removed20250101120000"));
}

}  // namespace
}  // namespace orb
