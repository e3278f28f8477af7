// The report window's rules without a window: its load from the report
// settings, the reactions of its boxes, Generate with the controls' values
// and "Show my report".
#include "reports/report_window.h"

#include <gtest/gtest.h>

#include "reports/report_config.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

using testing::AcquisitionFixture;

class ReportWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("LC_ALL", "C", 1); }
  AcquisitionFixture fx;
  ScriptedOperator op;
  RecordingLauncher launcher;
  ReportConfig config;
  ReportWindowControls c;
};

TEST_F(ReportWindowTest, LoadTakesTheUserSettingsOnlyWhileUserDefinedIsChecked) {
  config.Bin = 60;
  config.filetype = 1;
  config.spacer = ";";
  config.stdError = 0;
  config.stdDev = 1;
  config.out_format = 1;
  config.organism = 1;
  config.method = 2;
  config.threshold = 25;
  ASSERT_TRUE(SaveReportConfig(fx.program(), config, 1, op));

  LoadReportWindow(fx.program(), config, true, c, op);
  EXPECT_EQ(c.binText, "60");
  EXPECT_EQ(c.binSizes.size(), 12u);
  EXPECT_EQ(c.binSizes.back(), "60");
  EXPECT_EQ(c.reportOption, 1);
  EXPECT_EQ(c.spacerText, ";");
  EXPECT_EQ(c.outputOption, 1);
  EXPECT_EQ(c.statistic, (std::array<bool, 5>{true, false, false, true, true}));
  EXPECT_EQ(c.organism, 1);
  EXPECT_EQ(c.method, 2);
  EXPECT_EQ(c.thresholdText, "2.5");

  // Unchecked: the defaults, written back with User_defined 0.
  LoadReportWindow(fx.program(), config, false, c, op);
  EXPECT_EQ(c.binText, "30");
  EXPECT_EQ(c.reportOption, 0);
  EXPECT_EQ(c.outputOption, 0);
  EXPECT_EQ(c.thresholdText, "1.8");
  EXPECT_EQ(fx.read(fx.program() / "repoconf.dat").substr(fx.read(fx.program() / "repoconf.dat").find("\r\n") + 2, 2),
            "0,");
  EXPECT_TRUE(op.texts().empty());
}

TEST_F(ReportWindowTest, BoxesReactAsTheWindowSays) {
  ChooseReportFileType(c, 1);
  EXPECT_EQ(c.spacerText, " ");
  ChooseReportFileType(c, 0);
  EXPECT_EQ(c.spacerText, ",");  // the list separator of the C locale

  for (const char* kept : {"1.1", "6", "2,5", "3.0"}) {
    c.thresholdText = kept;
    LeaveReportThreshold(c);
    EXPECT_EQ(c.thresholdText, kept);
  }
  for (const char* reset : {"1.0", "6.1", "", "abc", "2x"}) {
    c.thresholdText = reset;
    LeaveReportThreshold(c);
    EXPECT_EQ(c.thresholdText, "1.8") << reset;
  }
}

TEST_F(ReportWindowTest, HistogramOptionFollowsTheFolderFiles) {
  const auto folder = fx.acquisition();
  testing::WriteStandardRecording(fx, folder);
  c.inputFile = folder.string();
  c.outputOption = 4;
  FollowHistogramFiles(c);
  EXPECT_FALSE(c.histogramVisible);
  EXPECT_EQ(c.outputOption, 0);

  fx.write(folder / "histo0000.bin", "");
  c.outputOption = 2;
  FollowHistogramFiles(c);
  EXPECT_TRUE(c.histogramVisible);
  EXPECT_EQ(c.outputOption, 4);
  EXPECT_EQ(ReportRequestFromControls(c, fx.program()).layout, ReportLayout::Histogram);
}

TEST_F(ReportWindowTest, ShowMyReportPointsTheWindowAtTheLastRecording) {
  c.binText = "30";
  // No recording run: only the bin follows the main window.
  EXPECT_FALSE(ShowMyReport({}, "120", c, op));
  EXPECT_EQ(c.binText, "120");
  EXPECT_TRUE(c.inputFile.empty());
  EXPECT_TRUE(op.texts().empty());

  const auto folder = fx.acquisition();
  EXPECT_FALSE(ShowMyReport(folder, "60", c, op));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Activity file not Found"});
  EXPECT_TRUE(c.inputFile.empty());

  testing::WriteStandardRecording(fx, folder);
  c.outputOption = 3;
  EXPECT_TRUE(ShowMyReport(folder, "60", c, op));
  EXPECT_EQ(c.inputFile, folder.string());
  EXPECT_EQ(c.outputOption, 0);
  EXPECT_FALSE(c.histogramVisible);
}

TEST_F(ReportWindowTest, GenerateUsesTheControlsAndShowsTheBinUsed) {
  const auto folder = fx.acquisition();
  testing::WriteStandardRecording(fx, folder);
  LoadReportWindow(fx.program(), config, false, c, op);
  c.inputFile = folder.string();
  c.binText = "120";  // longer than the 60-minute recording: 60 is used
  ChooseReportFileType(c, 1);
  ReportResult r = GenerateFromControls(c, fx.program(), op, launcher);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.report, folder / "report.txt");
  EXPECT_EQ(c.binText, "60");
  EXPECT_EQ(launcher.opened, std::vector<std::string>{(folder / "report.txt").string()});
  EXPECT_NE(fx.read(folder / "report.txt").find("Group/Time[m] 60\r\n"), std::string::npos);

  // Autoreport: written, not shown.
  launcher.opened.clear();
  c.autoreport = true;
  ASSERT_TRUE(GenerateFromControls(c, fx.program(), op, launcher).ok());
  EXPECT_TRUE(launcher.opened.empty());

  // No folder named: not the working folder's counts.bin.
  c.inputFile.clear();
  op.clear();
  EXPECT_EQ(GenerateFromControls(c, fx.program(), op, launcher).status, ReportStatus::NoActivityFile);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Activity file not Found"});

  CancelReportWindow(c);
  EXPECT_TRUE(c.basalList.empty());
}

}  // namespace
}  // namespace orb
