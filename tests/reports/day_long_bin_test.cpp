// Reports of day-long bins: an active well counts far more than 16 bits in
// 1440 minutes (100 counts a minute is 144,002 in the bin by the
// 0.02-minute clock, report_fixture.h). The report, the basal normalisation
// and the per-well export carry such values whole.
#include <gtest/gtest.h>

#include "common/encoding.h"
#include "reports/basal.h"
#include "reports/report_generator.h"
#include "reports/report_statistics.h"
#include "reports/well_export.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

using testing::AcquisitionFixture;
using testing::DayOfMinutes;

// The standard plate and groups (report_fixture.h: A1 = channel 0, B1 = 1,
// C1 = 2 in "Control", A2 = 16 in "Drug", B2 = 17 free, channel 100 in
// "Empty" but in no well) with a day of one-minute records. Per minute:
// A1 100, B1 50, C1 200, A2 150, B2 20, and 100 in channel 100 and in
// channel 5 (no well, no group). In one 1440-minute bin (x 72001 / 50):
// A1 144,002, B1 72,001, C1 288,004, A2 216,003, B2 28,800 (28,800.4), the
// two channels without a well 144,002.
class DayLongBinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    folder = fx.acquisition();
    testing::WriteStandardRecording(fx, folder);
    fx.writeCounts(folder, DayOfMinutes({{0, 100}, {1, 50}, {2, 200}, {16, 150}, {17, 20}, {100, 100}, {5, 100}}));
    request.programFolder = fx.program();
    request.acquisitionFolder = folder;
    request.clock = &clock;
    request.bin = 1440;
  }

  std::string Report() { return Cp1252ToUtf8(fx.read(folder / "report.csv")); }
  std::string Header() const {
    return "\"DATE:\",\"15/04/2022 10:30:00\"\r\n\"FILE:\",\"" + folder.string() +
           "\"\r\n\"SUBPROJECT:\",\"Growth test\"\r\n\"SETTING:\",\"Mode2 Zebrafish[snr=2.5]\"\r\n";
  }

  AcquisitionFixture fx;
  std::filesystem::path folder;
  FakeClock clock;
  ScriptedOperator op;
  RecordingLauncher launcher;
  ReportRequest request;
};

TEST_F(DayLongBinTest, ReportCarriesThirtyTwoBitValuesInEverySection) {
  // Control: mean 504,007 / 3 = 168,002.3, median 144,002, SD 109,983.3
  // (SE 109,983 / sqrt(3) = 63,498.7). Drug: A2 alone.
  request.statistics = {true, true, true, true, true};
  ReportResult r = GenerateReport(request, op, launcher);
  ASSERT_TRUE(r.ok()) << ::testing::PrintToString(op.texts());
  EXPECT_TRUE(op.texts().empty()) << ::testing::PrintToString(op.texts());
  EXPECT_EQ(r.bin, 1440);
  EXPECT_EQ(Report(), Header() +
                          "\r\n"
                          "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"\r\n"
                          "Group/Time[m],1440\r\n"
                          "\"000_Control\",168002\r\n"
                          "\"001_Drug\",216003\r\n"
                          "\"002_Empty\",0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Median >>>>>>\"\r\n"
                          "Group/Time[m],1440\r\n"
                          "\"000_Control\",144002\r\n"
                          "\"001_Drug\",216003\r\n"
                          "\"002_Empty\",0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Standard Error >>>>>>\"\r\n"
                          "Group/Time[m],1440\r\n"
                          "\"000_Control\",63498.7\r\n"
                          "\"001_Drug\",0.0\r\n"
                          "\"002_Empty\",0.0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Standard Deviation >>>>>>\"\r\n"
                          "Group/Time[m],1440\r\n"
                          "\"000_Control\",109983.0\r\n"
                          "\"001_Drug\",0.0\r\n"
                          "\"002_Empty\",0.0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Number of wells/group >>>>>>\"\r\n"
                          "Group/Time[m],1440\r\n"
                          "\"000_Control\",3\r\n"
                          "\"001_Drug\",1\r\n"
                          "\"002_Empty\",0\r\n"
                          "\r\n"
                          "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"\r\n"
                          "Time[m],1440\r\n"
                          "#Samples,1440\r\n"
                          "\r\n"
                          "\"<<<<<< Average Temperature [°C] >>>>>>\"\r\n"
                          "Time[m],1440\r\n"
                          "Temp[°C],25.0\r\n"
                          "\r\n"
                          "\"<<<<<< Well Activity >>>>>>\"\r\n"
                          "Well,Group/Time[m],1440\r\n"
                          "A1,\"000_Control\",144002\r\n"
                          "B1,\"000_Control\",72001\r\n"
                          "C1,\"000_Control\",288004\r\n"
                          "A2,\"001_Drug\",216003\r\n"
                          "B2,\"999_Free\",28800\r\n"
                          "\"<<<<<< Channel Activity >>>>>>\"\r\n"
                          "Channel,Well,Group/Time[m],1440\r\n"
                          "CH0,A1.0,\"000_Control\",144002\r\n"
                          "CH1,B1.0,\"000_Control\",72001\r\n"
                          "CH2,C1.0,\"000_Control\",288004\r\n"
                          "CH16,A2.0,\"001_Drug\",216003\r\n"
                          "CH17,B2.0,\"999_Free\",28800\r\n");
}

TEST_F(DayLongBinTest, ArrayAndListLayoutsCarryThirtyTwoBitValues) {
  request.layout = ReportLayout::WellArray;
  ASSERT_TRUE(GenerateReport(request, op, launcher).ok()) << ::testing::PrintToString(op.texts());
  // The plate's 3 rows x 2 columns: A1 B1 C1 in column 1, A2 B2 (C2 has no
  // channel) in column 2.
  EXPECT_NE(Report().find("Time_Block[m],1440\r\nRow/Column,1,2,\r\n\"A\",144002,216003\r\n\"B\",72001,28800\r\n"
                          "\"C\",288004,-\r\n"),
            std::string::npos)
      << Report();

  request.layout = ReportLayout::List;
  std::filesystem::remove(folder / "report.csv");
  ASSERT_TRUE(GenerateReport(request, op, launcher).ok()) << ::testing::PrintToString(op.texts());
  const std::string list = Report();
  EXPECT_NE(list.find("1440,\"000_Control\",168002\r\n"), std::string::npos) << list;
  EXPECT_NE(list.find("1440,C1,\"000_Control\",288004\r\n"), std::string::npos) << list;
  EXPECT_NE(list.find("1440 CH16,A2.0,\"001_Drug\",216003\r\n"), std::string::npos) << list;
}

TEST_F(DayLongBinTest, BasalNormalisationOfDayLongBins) {
  // A day-long basal recording beside the recording. Per minute: A1 100,
  // B1 50, C1 400, A2 75, B2 10, channel 100 100; in the bin: A1 144,002,
  // B1 72,001, C1 576,008, A2 108,001.5 -> 108,002. The recording as a
  // percentage: A1 216,003 / 144,002 = 150, B1 100, C1 288,004 / 576,008 =
  // 50, A2 216,003 / 108,002 = 200.0 -> 200. B2 is free: its count stays.
  const std::filesystem::path basalFolder = fx.acquisition("20240130_0800");
  fx.writeCounts(folder, DayOfMinutes({{0, 150}, {1, 50}, {2, 200}, {16, 150}, {17, 20}, {100, 100}, {5, 100}}));
  fx.writeCounts(basalFolder, DayOfMinutes({{0, 100}, {1, 50}, {2, 400}, {16, 75}, {17, 10}, {100, 100}}));
  request.basalText = "20240130_0800 basal run";
  request.statistics = {true, false, false, false, false};
  ReportResult r = GenerateReport(request, op, launcher);
  ASSERT_TRUE(r.ok()) << ::testing::PrintToString(op.texts());
  EXPECT_TRUE(r.basal);
  EXPECT_EQ(op.texts().size(), 1u) << ::testing::PrintToString(op.texts());  // the groups in use, no question
  const std::string report = Report();
  const std::string expected =
      "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"\r\n"
      "Group/Time[m],0,1440\r\n"
      "\"000_Control\",100,100\r\n"
      "\"001_Drug\",100,200\r\n"
      "\"002_Empty\",100,0\r\n";
  EXPECT_NE(report.find(expected), std::string::npos) << report;
  const std::string wells =
      "Well,Group/Time[m],0,1440\r\n"
      "A1,\"000_Control\",100,150\r\n"
      "B1,\"000_Control\",100,100\r\n"
      "C1,\"000_Control\",100,50\r\n"
      "A2,\"001_Drug\",100,200\r\n"
      "B2,\"999_Free\",100,28800\r\n";
  EXPECT_NE(report.find(wells), std::string::npos) << report;
}

TEST(DayLongBasalValues, BasalValuesBeyondSixteenBits) {
  // Two day-long basal bins of a channel: 200,000 and 300,001 counts. Over
  // both days the basal value is the mean per bin, 250,000.5 -> 250,000
  // (halves to even); over the first day the first bin as it is.
  RebinResult basal;
  basal.bin = 1440;
  basal.endTime = {1440, 2880};
  basal.counts.assign(2, ChannelCounts{});
  basal.lastBin = 1;
  basal.counts[0][5] = 200000;
  basal.counts[1][5] = 300001;
  EXPECT_EQ(BasalChannelValues(basal, 2880)[5], 250000);
  EXPECT_EQ(BasalChannelValues(basal, 1440)[5], 200000);
}

TEST(DayLongStatistics, WellsAndGroupsOfThirtyTwoBitCounts) {
  // Wells 0 and 1 of one beam each (channels 0 and 1), both in group 0.
  ReportContext ctx;
  ctx.wellChannels = {{0}, {1}};
  std::array<std::int16_t, kChannelSlots> groups;
  groups.fill(-1);
  groups[0] = groups[1] = 0;
  RebinResult r;
  r.bin = 1440;
  r.T = 1440;
  r.lastBin = 0;
  r.endTime = {1440};
  r.counts.assign(1, ChannelCounts{});
  r.temperature.assign(1, 250);
  r.counts[0][0] = 2000000000;
  r.counts[0][1] = 1000000000;
  ReportStatistics s = ComputeStatistics(r, ctx, groups);
  EXPECT_EQ(s.well[1][0], 2000000000);
  EXPECT_EQ(s.well[1][1], 1000000000);
  EXPECT_EQ(s.group[0][1].mean, 1500000000);
  EXPECT_EQ(s.group[0][1].median, 1500000000);
  EXPECT_EQ(s.group[0][1].sd, 707106781);  // 1e9 / sqrt(2)

  // Counts of both signs (a damaged recording) can spread beyond 32 bits:
  // a calculation error, never a wrapped deviation.
  r.counts[0][1] = -2000000000;
  EXPECT_THROW(ComputeStatistics(r, ctx, groups), std::overflow_error);
}

TEST_F(DayLongBinTest, PerWellExportWritesTheDaysSum) {
  // The export sums records 1..1440 whole (minute 0 lies before the first
  // bin): 1440 x 100 = 144,000 for A1 and for channel 100, in no well.
  const LocalDateTime start{2024, 1, 31, 9, 5, 0};
  auto result = ExportWells(fx.program(), folder, 1440, true, start, op);
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->complete);
  EXPECT_TRUE(op.texts().empty()) << ::testing::PrintToString(op.texts());
  EXPECT_EQ(result->bin, 1440);
  EXPECT_EQ(result->n, 1);
  EXPECT_EQ(fx.read(folder / "000_A1.txt"), "01/02/2024 09:05 144000\r\n");
  EXPECT_EQ(fx.read(folder / "002_C1.txt"), "01/02/2024 09:05 288000\r\n");
  EXPECT_EQ(fx.read(folder / "003_A2.txt"), "01/02/2024 09:05 216000\r\n");

  result = ExportWells(fx.program(), folder, 1440, false, start, op);
  ASSERT_TRUE(result);
  EXPECT_EQ(fx.read(folder / "ch000000.txt"), "144000\r\n");
  EXPECT_EQ(fx.read(folder / "ch000100.txt"), "144000\r\n");
  EXPECT_EQ(fx.read(folder / "ch000005.txt"), "144000\r\n");
  EXPECT_EQ(fx.read(folder / "time.txt"), "86400\r\n");

  // WriteWellExport itself, from the records in memory.
  ReportContext context = LoadReportContext(fx.program(), folder, op);
  const auto records = DayOfMinutes({{1, 32767}});
  WellExportResult written = WriteWellExport(folder, context, records, 1440, true, start);
  EXPECT_EQ(written.n, 1);
  EXPECT_EQ(fx.read(folder / "001_B1.txt"), "01/02/2024 09:05 47184480\r\n");  // 1440 x 32767
}

}  // namespace
}  // namespace orb
