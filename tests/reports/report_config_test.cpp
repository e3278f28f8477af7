#include "reports/report_config.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using testing::TempFolder;

const std::string kHeaderLine =
    "\"<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, "
    "<organism>, <method>, <threshold>, <rawexport>\"\r\n";

// The environment's locale decides the list separator; the tests use "C".
class ReportConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("LC_ALL", "C", 1); }
  TempFolder dir;
  ScriptedOperator op;
  ReportConfig cfg;
};

struct CommaDecimal : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST_F(ReportConfigTest, ListSeparatorFollowsTheDecimalMark) {
  EXPECT_EQ(ListSeparator(), ",");
  EXPECT_EQ(ListSeparatorFor(std::locale(std::locale::classic(), new CommaDecimal)), ";");
  setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);  // a locale this machine lacks
  EXPECT_EQ(ListSeparator(), ",");
}

TEST_F(ReportConfigTest, MissingFileIsCreatedWithTheDefaults) {
  EXPECT_EQ(LoadReportConfig(dir.path(), cfg, 1, op), 0);
  EXPECT_TRUE(op.texts().empty());
  EXPECT_EQ(dir.read("repoconf.dat"), kHeaderLine + "1,30,0,\",\",1,0,1,0,0,1,18,0\r\n");

  // "Back to Default": flag 0 rewrites whatever the file held.
  dir.write("repoconf.dat", kHeaderLine + "1,60,1,\";\",0,1,0,2,1,2,25,1\r\n");
  EXPECT_EQ(LoadReportConfig(dir.path(), cfg, 0, op), 0);
  EXPECT_EQ(cfg.Bin, 30);
  EXPECT_EQ(cfg.spacer, ",");
  EXPECT_EQ(dir.read("repoconf.dat"), kHeaderLine + "0,30,0,\",\",1,0,1,0,0,1,18,0\r\n");
}

TEST_F(ReportConfigTest, ReadsTheFileAndForcesRanges) {
  dir.write("repoconf.dat", kHeaderLine + "1,1440,1,\"\t\",0,1,0,3,2,0,11,1\r\n");
  EXPECT_EQ(LoadReportConfig(dir.path(), cfg, 1, op), 1);
  EXPECT_EQ(cfg.spacer, "\t");
  SaveReportConfig(dir.path(), cfg, 1, op);
  EXPECT_EQ(dir.read("repoconf.dat"), kHeaderLine + "1,1440,1,\"\t\",0,1,0,3,2,0,11,1\r\n");

  // Out-of-range values go back to their defaults; the spacer is kept.
  dir.write("repoconf.dat", kHeaderLine + "0,1,2,\";\",2,-1,5,4,3,3,10,7\r\n");
  EXPECT_EQ(LoadReportConfig(dir.path(), cfg, 1, op), 0);
  EXPECT_EQ(ReportConfigFileBytes(cfg, 0), kHeaderLine + "0,30,0,\";\",1,0,1,0,0,1,18,0\r\n");
  dir.write("repoconf.dat", kHeaderLine + "1,1441,0,\",\",1,0,1,0,0,1,31,0\r\n");
  EXPECT_EQ(LoadReportConfig(dir.path(), cfg, 1, op), 1);
  EXPECT_EQ(cfg.Bin, 30);
  EXPECT_EQ(cfg.threshold, 18);
  EXPECT_TRUE(op.texts().empty());
}

TEST_F(ReportConfigTest, DamagedFileFallsBackToDefaults) {
  for (std::string bad : {kHeaderLine + "1,60,1,\";\",0,1\r\n", kHeaderLine + "1,sixty,1,\";\",0,1,0,3,2,0,11,1\r\n",
                          std::string()}) {
    dir.write("repoconf.dat", bad);
    op.clear();
    cfg.Bin = 99;
    EXPECT_EQ(LoadReportConfig(dir.path(), cfg, 1, op), 0);
    EXPECT_EQ(op.texts(), std::vector<std::string>{"Error loading repoconf.dat -> Using Default values"});
    EXPECT_EQ(cfg.Bin, 30);
    EXPECT_EQ(dir.read("repoconf.dat"), kHeaderLine + "0,30,0,\",\",1,0,1,0,0,1,18,0\r\n");
  }
}

TEST_F(ReportConfigTest, WriteFailuresAreReported) {
  dir.write("repoconf.dat", kHeaderLine + "1,60,0,\",\",1,0,1,0,0,1,18,0\r\n");
  cfg.spacer = "\"";  // cannot be stored between quotes
  EXPECT_FALSE(SaveReportConfig(dir.path(), cfg, 1, op));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Error Writing Report Configuration (repoconf.dat)"});
  EXPECT_EQ(cfg.spacer, "\"");
  EXPECT_EQ(dir.read("repoconf.dat"), kHeaderLine + "1,60,0,\",\",1,0,1,0,0,1,18,0\r\n");

  op.clear();
  EXPECT_EQ(LoadReportConfig(dir / "missing", cfg, 1, op), 0);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{"Error loading repoconf.dat -> Using Default values",
                                                  "Error Writing Report Configuration (repoconf.dat)"}));
  EXPECT_EQ(cfg.spacer, ",");
}

}  // namespace
}  // namespace orb
