#include "reports/report_settings.h"

#include <gtest/gtest.h>

#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using testing::TempFolder;

const std::string kHeaderLine =
    "\"<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, "
    "<organism>, <method>, <threshold>, <rawexport>\"\r\n";

class ReportSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("LC_ALL", "C", 1); }
  TempFolder dir;
  ScriptedOperator op;
  ReportConfig cfg;
};

TEST_F(ReportSettingsTest, DialogLoadShowsTheStoredSettings) {
  dir.write("repoconf.dat", kHeaderLine + "1,1440,1,\" \",0,1,1,2,1,2,25,1\r\n");
  ReportSettingsControls c;
  LoadReportSettingsDialog(dir.path(), cfg, c, op);
  // The stored bin is appended even when the list has it already.
  ASSERT_EQ(c.binSizes.size(), 12u);
  EXPECT_EQ(c.binSizes.front(), "5");
  EXPECT_EQ(c.binSizes[10], "1440");
  EXPECT_EQ(c.binSizes[11], "1440");
  EXPECT_EQ(c.binText, "1440");
  EXPECT_EQ(c.reportOption, 1);
  EXPECT_EQ(c.outputOption, 2);
  EXPECT_EQ(c.spacerText, " ");
  EXPECT_FALSE(c.statistic[2]);
  EXPECT_TRUE(c.statistic[3]);
  EXPECT_TRUE(c.statistic[4]);
  EXPECT_TRUE(c.rawexport);

  // rawexport 0 leaves the box as it was.
  dir.write("repoconf.dat", kHeaderLine + "1,45,0,\",\",1,0,1,0,0,1,18,0\r\n");
  c.rawexport = true;
  LoadReportSettingsDialog(dir.path(), cfg, c, op);
  EXPECT_TRUE(c.rawexport);
  EXPECT_EQ(cfg.rawexport, 0);
  EXPECT_EQ(c.binSizes.back(), "45");
  EXPECT_TRUE(op.texts().empty());
}

TEST_F(ReportSettingsTest, ApplyAndBackToDefault) {
  LoadReportConfig(dir.path(), cfg, 1, op);
  cfg.organism = 1;
  cfg.threshold = 28;
  ReportSettingsControls c;
  c.binText = "1440";
  c.reportOption = 1;
  c.spacerText = "\t";
  c.outputOption = 3;
  c.statistic = {true, true, false, true, false};
  c.rawexport = true;
  EXPECT_TRUE(ApplyReportSettings(dir.path(), cfg, c, op));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"User Configuration Applied"});
  // Organism and threshold keep their values.
  EXPECT_EQ(dir.read("repoconf.dat"), kHeaderLine + "1,1440,1,\"\t\",0,1,0,3,1,1,28,1\r\n");

  // A bin typed out of range is stored as typed and forced back at the next load.
  c.binText = "7000 minutes";
  EXPECT_TRUE(ApplyReportSettings(dir.path(), cfg, c, op));
  EXPECT_EQ(cfg.Bin, 7000);
  EXPECT_EQ(LoadReportConfig(dir.path(), cfg, 1, op), 1);
  EXPECT_EQ(cfg.Bin, 30);

  // A spacer the file cannot hold: the write error, nothing claimed, the
  // menu not checked.
  op.clear();
  c.spacerText = "\"";
  EXPECT_FALSE(ApplyReportSettings(dir.path(), cfg, c, op));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Error Writing Report Configuration (repoconf.dat)"});

  op.clear();
  EXPECT_FALSE(ReportSettingsBackToDefault(dir.path(), cfg, op));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Default Report Configuration Applied"});
  EXPECT_EQ(dir.read("repoconf.dat"), kHeaderLine + "0,30,0,\",\",1,0,1,0,0,1,18,0\r\n");
}

TEST_F(ReportSettingsTest, MenuAndReportWindow) {
  dir.write("repoconf.dat", kHeaderLine + "0,60,0,\";\",1,0,1,1,0,1,18,0\r\n");
  // Checked: the stored values become the user's.
  UserDefinedBinMenu(dir.path(), cfg, true, op);
  EXPECT_EQ(dir.read("repoconf.dat"), kHeaderLine + "1,60,0,\";\",1,0,1,1,0,1,18,0\r\n");
  EXPECT_EQ(cfg.User_defined, 1);
  // The report window while checked reads them; unchecked it resets the file.
  LoadReportWindowSettings(dir.path(), cfg, true, op);
  EXPECT_EQ(cfg.Bin, 60);
  LoadReportWindowSettings(dir.path(), cfg, false, op);
  EXPECT_EQ(cfg.Bin, 30);
  EXPECT_EQ(dir.read("repoconf.dat"), kHeaderLine + "0,30,0,\",\",1,0,1,0,0,1,18,0\r\n");
  EXPECT_TRUE(op.texts().empty());

  EXPECT_EQ(SpacerForFileType(0), ",");
  EXPECT_EQ(SpacerForFileType(1), " ");
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  if (DecimalMark() == ',') {  // where the machine has that locale
    EXPECT_EQ(SpacerForFileType(0), ";");
  }
  EXPECT_EQ(LeadingInteger(" 45 min"), 45);
  EXPECT_EQ(LeadingInteger("abc"), 0);
  EXPECT_EQ(LeadingInteger("99999999"), 32767);
}

}  // namespace
}  // namespace orb
