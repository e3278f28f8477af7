#include "reports/report_generator.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/encoding.h"
#include "reports/report_output.h"
#include "reports/report_statistics.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

using testing::AcquisitionFixture;
using testing::Rec;

// The standard recording (report_fixture.h), re-binned to 30 minutes.
// Group statistics: Control (A1, B1, C1): mean 21 / 19, median 12 / 18,
// SD 17 / 11, SE 9.8 / 6.4, N 3. Drug (A2): mean 0 / 60, SD 0, SE 0.0,
// N 1. Empty: no wells, mean 0, N 0.
class ReportGeneratorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    folder = fx.acquisition();
    testing::WriteStandardRecording(fx, folder);
    request.programFolder = fx.program();
    request.acquisitionFolder = folder;
    request.clock = &clock;
  }

  ReportResult Generate() { return GenerateReport(request, op, launcher); }
  std::string Report(const std::string& name = "report.csv") { return Cp1252ToUtf8(fx.read(folder / name)); }
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

TEST_F(ReportGeneratorTest, RowsLayoutWithEveryStatistic) {
  request.statistics = {true, true, true, true, true};
  ReportResult r = Generate();
  ASSERT_TRUE(r.ok()) << ::testing::PrintToString(op.texts());
  EXPECT_TRUE(op.texts().empty());
  EXPECT_EQ(r.bin, 30);
  EXPECT_EQ(r.report, folder / "report.csv");
  EXPECT_EQ(Report(), Header() +
                          "\r\n"
                          "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"\r\n"
                          "Group/Time[m],30,60\r\n"
                          "\"000_Control\",21,19\r\n"
                          "\"001_Drug\",0,60\r\n"
                          "\"002_Empty\",0,0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Median >>>>>>\"\r\n"
                          "Group/Time[m],30,60\r\n"
                          "\"000_Control\",12,18\r\n"
                          "\"001_Drug\",0,60\r\n"
                          "\"002_Empty\",0,0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Standard Error >>>>>>\"\r\n"
                          "Group/Time[m],30,60\r\n"
                          "\"000_Control\",9.8,6.4\r\n"
                          "\"001_Drug\",0.0,0.0\r\n"
                          "\"002_Empty\",0.0,0.0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Standard Deviation >>>>>>\"\r\n"
                          "Group/Time[m],30,60\r\n"
                          "\"000_Control\",17.0,11.0\r\n"
                          "\"001_Drug\",0.0,0.0\r\n"
                          "\"002_Empty\",0.0,0.0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Number of wells/group >>>>>>\"\r\n"
                          "Group/Time[m],30,60\r\n"
                          "\"000_Control\",3,3\r\n"
                          "\"001_Drug\",1,1\r\n"
                          "\"002_Empty\",0,0\r\n"
                          "\r\n"
                          "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"\r\n"
                          "Time[m],30,60\r\n"
                          "#Samples,30,30\r\n"
                          "\r\n"
                          "\"<<<<<< Average Temperature [°C] >>>>>>\"\r\n"
                          "Time[m],30,60\r\n"
                          "Temp[°C],24.1,25.2\r\n"
                          "\r\n"
                          "\"<<<<<< Well Activity >>>>>>\"\r\n"
                          "Well,Group/Time[m],30,60\r\n"
                          "A1,\"000_Control\",10,18\r\n"
                          "B1,\"000_Control\",40,30\r\n"
                          "C1,\"000_Control\",12,9\r\n"
                          "A2,\"001_Drug\",0,60\r\n"
                          "B2,\"999_Free\",8,6\r\n"
                          "\"<<<<<< Channel Activity >>>>>>\"\r\n"
                          "Channel,Well,Group/Time[m],30,60\r\n"
                          "CH0,A1.0,\"000_Control\",10,18\r\n"
                          "CH1,B1.0,\"000_Control\",40,30\r\n"
                          "CH2,C1.0,\"000_Control\",12,9\r\n"
                          "CH16,A2.0,\"001_Drug\",0,60\r\n"
                          "CH17,B2.0,\"999_Free\",8,6\r\n");
  // The file itself is Windows-1252: the degree sign is one byte.
  EXPECT_NE(fx.read(folder / "report.csv")
                .find("[\xB0"
                      "C]"),
            std::string::npos);
  // The copy named after the subproject, and the report shown.
  ASSERT_TRUE(r.copy);
  EXPECT_EQ(*r.copy, folder / "Growth_test.csv");
  EXPECT_EQ(fx.read(*r.copy), fx.read(folder / "report.csv"));
  EXPECT_EQ(launcher.opened, std::vector<std::string>{(folder / "report.csv").string()});
  EXPECT_EQ(r.files(), (std::vector<std::filesystem::path>{folder / "report.csv", folder / "Growth_test.csv"}));
}

TEST_F(ReportGeneratorTest, ListLayoutWithBlankSeparator) {
  request.layout = ReportLayout::List;
  request.filetype = 1;
  request.spacer = " ";
  request.statistics = {true, false, false, false, true};  // N only
  request.autoreport = true;
  ASSERT_TRUE(Generate().ok());
  EXPECT_TRUE(launcher.opened.empty());  // Autoreport: not shown
  const std::string expected = "\"DATE:\" \"15/04/2022 10:30:00\"\r\n\"FILE:\" \"" + folder.string() +
                               "\"\r\n\"SUBPROJECT:\" \"Growth test\"\r\n\"SETTING:\" \"Mode2 Zebrafish[snr=2.5]\"\r\n"
                               "\r\n"
                               "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"\r\n"
                               "Time Group Value\r\n"
                               "\r\n"
                               "30 \"000_Control\" 21\r\n"
                               "60 \"000_Control\" 19\r\n"
                               "\r\n"
                               "30 \"001_Drug\" 0\r\n"
                               "60 \"001_Drug\" 60\r\n"
                               "\r\n"
                               "30 \"002_Empty\" 0\r\n"
                               "60 \"002_Empty\" 0\r\n"
                               "\r\n"
                               "\"<<<<<< Group Activity: Number of wells/group >>>>>>\"\r\n"
                               "Time Group Value\r\n"
                               "\r\n"
                               "30 \"000_Control\" 3\r\n"
                               "60 \"000_Control\" 3\r\n"
                               "\r\n"
                               "30 \"001_Drug\" 1\r\n"
                               "60 \"001_Drug\" 1\r\n"
                               "\r\n"
                               "30 \"002_Empty\" 0\r\n"
                               "60 \"002_Empty\" 0\r\n"
                               "\r\n"
                               "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"\r\n"
                               "Time #Samples\r\n"
                               "\r\n"
                               "30 30\r\n"
                               "60 30\r\n"
                               "\r\n"
                               "\"<<<<<< Average Temperature [°C] >>>>>>\"\r\n"
                               "Time Avrg_Temp[°C]\r\n"
                               "30 24.1\r\n"
                               "60 25.2\r\n"
                               "\r\n"
                               "\"<<<<<< Well Activity >>>>>>\"\r\n"
                               "Time Well Group Value\r\n"
                               "\r\n"
                               "30 A1 \"000_Control\" 10\r\n60 A1 \"000_Control\" 18\r\n\r\n"
                               "30 B1 \"000_Control\" 40\r\n60 B1 \"000_Control\" 30\r\n\r\n"
                               "30 C1 \"000_Control\" 12\r\n60 C1 \"000_Control\" 9\r\n\r\n"
                               "30 A2 \"001_Drug\" 0\r\n60 A2 \"001_Drug\" 60\r\n\r\n"
                               "30 B2 \"999_Free\" 8\r\n60 B2 \"999_Free\" 6\r\n\r\n"
                               "Time Channel Well Group Value\r\n"
                               "30 CH0 A1.0 \"000_Control\" 10\r\n60 CH0 A1.0 \"000_Control\" 18\r\n"
                               "30 CH1 B1.0 \"000_Control\" 40\r\n60 CH1 B1.0 \"000_Control\" 30\r\n"
                               "30 CH2 C1.0 \"000_Control\" 12\r\n60 CH2 C1.0 \"000_Control\" 9\r\n"
                               "30 CH16 A2.0 \"001_Drug\" 0\r\n60 CH16 A2.0 \"001_Drug\" 60\r\n"
                               "30 CH17 B2.0 \"999_Free\" 8\r\n60 CH17 B2.0 \"999_Free\" 6\r\n";
  EXPECT_EQ(Report("report.txt"), expected);
  EXPECT_FALSE(std::filesystem::exists(folder / "report.csv"));
}

TEST_F(ReportGeneratorTest, WellArrayLayout) {
  request.layout = ReportLayout::WellArray;
  request.spacer = ";";
  ASSERT_TRUE(Generate().ok());
  const std::string block1 = "Time_Block[m];30\r\nRow/Column;1;2;\r\n\"A\";10;0\r\n\"B\";40;8\r\n\"C\";12;-\r\n\r\n";
  const std::string block2 = "Time_Block[m];60\r\nRow/Column;1;2;\r\n\"A\";18;60\r\n\"B\";30;6\r\n\"C\";9;-\r\n\r\n";
  std::string channels = "ARRAY OUTPUT FORMAT\r\n";
  for (const auto& [time, values] :
       std::vector<std::pair<std::string, std::map<int, int>>>{{"30", {{0, 10}, {1, 40}, {2, 12}, {16, 0}, {17, 8}}},
                                                               {"60", {{0, 18}, {1, 30}, {2, 9}, {16, 60}, {17, 6}}}}) {
    channels += "Time_Block[m];" + time + "\r\nRow/Column;";
    for (int c = 1; c <= 24; ++c) channels += std::to_string(c) + ";";
    channels += "\r\n";
    for (int row = 0; row < 16; ++row) {
      channels += "\"" + std::string(1, static_cast<char>('A' + row)) + "\"";
      for (int col = 0; col < 24; ++col) {
        auto it = values.find(col * 16 + row);
        channels += ";" + (it == values.end() ? std::string("-") : std::to_string(it->second));
      }
      channels += "\r\n";
    }
    channels += "\r\n";
  }
  EXPECT_EQ(Report(), "\"DATE:\";\"15/04/2022 10:30:00\"\r\n\"FILE:\";\"" + folder.string() +
                          "\"\r\n\"SUBPROJECT:\";\"Growth test\"\r\n\"SETTING:\";\"Mode2 Zebrafish[snr=2.5]\"\r\n"
                          "\r\n"
                          "\"<<<<<<WELL ARRAY. Group Configuration>>>>>>\"\r\n"
                          "Row/Column;1;2;\r\n"
                          "\"A\";\"000_Control\";\"001_Drug\"\r\n"
                          "\"B\";\"000_Control\";\"999_Free\"\r\n"
                          "\"C\";\"000_Control\";-\r\n"
                          "\r\n"
                          "\r\n"
                          "\"<<<<<< Average Temperature [°C] >>>>>>\"\r\n"
                          "Time[m];30;60\r\n"
                          "Temp[°C];24.1;25.2\r\n"
                          "\r\n"
                          "\"<<<<<<WELL ARRAY. Well Activity>>>>>>\"\r\n" +
                          block1 + block2 + channels);
}

TEST_F(ReportGeneratorTest, ChannelArrayLayout) {
  request.layout = ReportLayout::ChannelArray;
  ASSERT_TRUE(Generate().ok());
  std::string config = "\"<<<<<<CHANNEL ARRAY. Group Configuration>>>>>>\"\r\nRow/Column,";
  for (int c = 1; c <= 24; ++c) config += std::to_string(c) + ",";
  config += "\r\n";
  const std::map<int, std::string> cells = {{0, "\"000_Control\""},
                                            {1, "\"000_Control\""},
                                            {2, "\"000_Control\""},
                                            {16, "\"001_Drug\""},
                                            {17, "\" 999_Free\""}};
  for (int row = 0; row < 16; ++row) {
    config += "\"" + std::string(1, static_cast<char>('A' + row)) + "\"";
    for (int col = 0; col < 24; ++col) {
      auto it = cells.find(col * 16 + row);
      config += "," + (it == cells.end() ? std::string("-") : it->second);
    }
    config += "\r\n";
  }
  const std::string report = Report();
  EXPECT_EQ(report.substr(0, Header().size() + 2), Header() + "\r\n");
  const std::string afterHeader = report.substr(Header().size() + 2);
  ASSERT_GE(afterHeader.size(), config.size());
  EXPECT_EQ(afterHeader.substr(0, config.size() + 2), config + "\r\n");
  // No group statistics, no well section: the temperature, then the channel blocks.
  const std::string next =
      "\r\n\"<<<<<< Average Temperature [°C] >>>>>>\"\r\nTime[m],30,60\r\nTemp[°C],24.1,25.2\r\n\r\n"
      "ARRAY OUTPUT FORMAT\r\nTime_Block[m],30\r\nRow/Column,1,";
  EXPECT_EQ(afterHeader.substr(config.size() + 2, next.size()), next);
}

TEST_F(ReportGeneratorTest, HistogramLayout) {
  // Two histogram records in histo0000.bin at 10 and 50 minutes (report
  // bins 1 and 2), 0.5 and 1.5 seconds per sample: H = 1.0.
  auto histo = [](double minutes, double seconds, int base) {
    HistogramRecord h;
    h.ElapsedMinutesExact = minutes;
    h.SecondsPerSample = seconds;
    for (int c = 0; c < 50; ++c) {
      h.counts[static_cast<std::size_t>(c) * 385 + 0] = base + c;  // channel 0
      h.counts[static_cast<std::size_t>(c) * 385 + 1] = 2 * base;  // channel 1
      h.counts[static_cast<std::size_t>(c) * 385 + 16] = 40000;    // channel 16: above 16 bits
    }
    return PackHistogramRecord(h);
  };
  AcquisitionFixture::write(folder / "histo0000.bin", histo(10, 0.5, 100) + histo(50, 1.5, 200));
  request.layout = ReportLayout::Histogram;
  request.statistics = {true, false, false, false, false};
  ReportResult r = Generate();
  ASSERT_TRUE(r.ok()) << ::testing::PrintToString(op.texts());
  const std::string report = Report();

  std::string classes;
  for (int c = 0; c <= 30; ++c) classes += "," + std::to_string(c) + ".0";
  // Bin 1 holds the records at 0, 5, 10 and 30 minutes: each adds the bin's
  // channel histogram once (well A1: 4 x (100 + c)); bin 2 three records.
  auto row = [](const std::string& head, auto value) {
    std::string s = head;
    for (int c = 0; c <= 30; ++c) s += "," + std::to_string(value(c));
    return s + "\r\n";
  };
  std::string groups =
      "\"<<<<<< Group Histogram: Average Number of Frequency Counts per Data Interval>>>>>>\"\r\n"
      "Time[m],Group/Frequency:" +
      classes + "\r\n";
  // Control = wells A1, B1, C1: round((4(100 + c) + 4 x 200 + 0) / 3).
  auto control1 = [](int c) { return static_cast<long long>(std::nearbyint((4.0 * (100 + c) + 800) / 3)); };
  auto control2 = [](int c) { return static_cast<long long>(std::nearbyint((3.0 * (200 + c) + 1200) / 3)); };
  groups += row("30,\"000_Control\"", control1);
  groups += row("30,\"001_Drug\"", [](int) { return 160000LL; });
  groups += row("30,\"002_Empty\"", [](int) { return 0; });
  groups += row("60,\"000_Control\"", control2);
  groups += row("60,\"001_Drug\"", [](int) { return 120000LL; });
  groups += row("60,\"002_Empty\"", [](int) { return 0; });
  EXPECT_EQ(report.substr(Header().size() + 2, groups.size()), groups);

  std::string wells =
      "\"<<<<<< Well Histogram: Average Number of Frequency Counts per Data Interval>>>>>>\"\r\n"
      "Time[m],Well,Group/Frequency:" +
      classes + "\r\n";
  wells += row("30,A1,\"000_Control\"", [](int c) { return 4 * (100 + c); });
  wells += row("30,B1,\"000_Control\"", [](int) { return 800; });
  wells += row("30,C1,\"000_Control\"", [](int) { return 0; });
  wells += row("30,A2,\"001_Drug\"", [](int) { return 160000; });
  wells += row("30,B2,\"999_Free\"", [](int) { return 0; });
  wells += row("60,A1,\"000_Control\"", [](int c) { return 3 * (200 + c); });
  wells += row("60,B1,\"000_Control\"", [](int) { return 1200; });
  wells += row("60,C1,\"000_Control\"", [](int) { return 0; });
  wells += row("60,A2,\"001_Drug\"", [](int) { return 120000; });
  wells += row("60,B2,\"999_Free\"", [](int) { return 0; });
  const std::string temperature =
      "\r\n\"<<<<<< Average Temperature [°C] >>>>>>\"\r\nTime[m],30,60\r\nTemp[°C],24.1,25.2\r\n\r\n";
  EXPECT_EQ(report.substr(Header().size() + 2 + groups.size()), temperature + wells);

  // Without histogram files the layout cannot be written.
  std::filesystem::remove(folder / "histo0000.bin");
  std::filesystem::remove(folder / "report.csv");
  op.clear();
  EXPECT_EQ(Generate().status, ReportStatus::NoHistogramData);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Error getting Histogram.bin data"});
  EXPECT_FALSE(std::filesystem::exists(folder / "report.csv"));
}

TEST_F(ReportGeneratorTest, FailureMessages) {
  const std::string counts = fx.read(folder / "counts.bin");
  // No counts.bin.
  std::filesystem::remove(folder / "counts.bin");
  ReportResult r = Generate();
  EXPECT_EQ(r.status, ReportStatus::NoActivityFile);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Activity file not Found"});
  EXPECT_TRUE(r.files().empty());

  // A recording too short to make one bin: "Resampling ERROR", no report.
  op.clear();
  fx.writeCounts(folder, {Rec(0, {{0, 5}})});
  r = Generate();
  EXPECT_EQ(r.status, ReportStatus::ResamplingError);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Resampling ERROR"});
  EXPECT_FALSE(std::filesystem::exists(folder / "report.csv"));

  // A bin beyond 16 bits in a channel of no well (60,001) no longer stops
  // the report.
  op.clear();
  fx.writeCounts(folder, {Rec(0, {{3, 30000}}), Rec(10, {{3, 30000}}), Rec(20, {{3, 1}}), Rec(45, {}), Rec(60, {})});
  r = Generate();
  EXPECT_EQ(r.status, ReportStatus::Written);
  EXPECT_TRUE(op.texts().empty()) << ::testing::PrintToString(op.texts());
  ASSERT_TRUE(std::filesystem::exists(folder / "report.csv"));
  std::filesystem::remove(folder / "report.csv");
  std::filesystem::remove(folder / "Growth_test.csv");

  // A bin that does not fit 32 bits: the error names the bin, no report.
  op.clear();
  r = GenerateReportFromRecords(request, testing::BeyondThirtyTwoBits(3), op, launcher);
  EXPECT_EQ(r.status, ReportStatus::ResamplingError);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Resampling Calculation Error0"});
  EXPECT_FALSE(std::filesystem::exists(folder / "report.csv"));

  // The plate file missing under both names: the message, and the report
  // goes on without wells.
  op.clear();
  AcquisitionFixture::write(folder / "counts.bin", counts);
  fx.writeSetup(folder, "k404");
  r = Generate();
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Multiwell Configuration File k404.dat or .bak not found"});
  const std::string report = Report();
  EXPECT_NE(report.find("\"000_Control\",0,0\r\n"), std::string::npos);  // no wells: mean 0
  EXPECT_NE(report.find("Well,Group/Time[m],30,60\r\n\"<<<<<< Channel Activity >>>>>>\""), std::string::npos);

  // A standard plate without its file takes the built-in layout: the wells
  // are there, and the message says so.
  op.clear();
  fx.writeSetup(folder, "k384");
  r = Generate();
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Multiwell Configuration File k384.dat or .bak not found => "
                                                 "using the built-in layout of k384"});
  EXPECT_NE(Report().find("Well,Group/Time[m],30,60\r\nA1,\"000_Control\",10,18\r\n"), std::string::npos) << Report();

  // ... and a plate.bak stands in for a missing plate.dat.
  op.clear();
  fx.writePlate("kbak", 3, 2, {{0, {0, 0}}, {1, {1, 0}}}, ".bak");
  fx.writeSetup(folder, "kbak");
  ASSERT_TRUE(Generate().ok());
  EXPECT_TRUE(op.texts().empty());
  EXPECT_NE(Report().find("A1,\"000_Control\",10,18\r\nB1,\"000_Control\",40,30\r\n\"<<<<<< Channel"),
            std::string::npos);
}

TEST_F(ReportGeneratorTest, BinCorrectionAndShortRecording) {
  // A 20-minute regular recording with bin 30 is reported with bin 20.
  std::vector<CountsRecord> records;
  for (int m = 0; m <= 20; ++m) records.push_back(Rec(m, {{0, 1}}, 250));
  fx.writeCounts(folder, records);
  ReportResult r = Generate();
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.bin, 20);
  EXPECT_NE(Report().find("Group/Time[m],20\r\n"), std::string::npos);
  EXPECT_NE(Report().find("#Samples,20\r\n"), std::string::npos);
}

TEST_F(ReportGeneratorTest, ReportNameCollisionsAndSafeCopyName) {
  // report.csv cannot be created (a folder holds its name): report_1.csv;
  // then report_1 is taken too: report_2.csv.
  std::filesystem::create_directories(folder / "report.csv");
  ReportResult r = Generate();
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.report, folder / "report_1.csv");
  std::filesystem::remove(folder / "report_1.csv");
  std::filesystem::create_directories(folder / "report_1.csv");
  EXPECT_EQ(Generate().report, folder / "report_2.csv");

  // An experiment name that looks like a path never writes outside the
  // acquisition folder.
  fx.writeSubproject(folder, "../../evil/x");
  r = Generate();
  ASSERT_TRUE(r.copy);
  EXPECT_EQ(r.copy->parent_path(), folder);
  EXPECT_EQ(r.copy->filename(), "____evil_x.csv");
  EXPECT_FALSE(std::filesystem::exists(fx.project().parent_path() / "evil"));

  EXPECT_EQ(SafeReportFileName("Growth test"), "Growth_test");
  EXPECT_EQ(SafeReportFileName("a/b\\c"), "a_b_c");
  EXPECT_EQ(SafeReportFileName(".."), "_");
  EXPECT_EQ(SafeReportFileName("x..y...z"), "x_y_.z");
  EXPECT_EQ(SafeReportFileName("tab\there\x01"), "tab_here_");
  EXPECT_EQ(SafeReportFileName("."), "_");
  EXPECT_EQ(SafeReportFileName("Dosis 2µM"), "Dosis_2µM");

  // No subproject: no copy. A subproject named "report" is the report itself.
  fx.writeSubproject(folder, "");
  EXPECT_FALSE(Generate().copy);
}

TEST_F(ReportGeneratorTest, DecimalMarkOneShotSettingAndEvents) {
  // A locale with a decimal comma: one-decimal values use it.
  request.decimalMark = ',';
  request.spacer = ";";
  CountingEventLoop events;
  request.events = &events;
  OneShotSetting once;
  once.set("Mode0 C.elegans[snr=2.2]");
  request.oneShotSetting = &once;
  ASSERT_TRUE(Generate().ok());
  std::string report = Report();
  EXPECT_NE(report.find("\"000_Control\";9,8;6,4\r\n\"001_Drug\";0,0;0,0\r\n"), std::string::npos);
  EXPECT_NE(report.find("Temp[°C];24,1;25,2\r\n"), std::string::npos);
  EXPECT_NE(report.find("\"SETTING:\";\"Mode0 C.elegans[snr=2.2]\"\r\n"), std::string::npos);
  EXPECT_GT(events.processed, 0);
  // The re-analysis's setting text is used once only.
  EXPECT_FALSE(once.pending());
  ASSERT_TRUE(Generate().ok());
  EXPECT_NE(Report().find("\"SETTING:\";\"Mode2 Zebrafish[snr=2.5]\"\r\n"), std::string::npos);
  EXPECT_EQ(SettingText(1, 0, 0), "Mode1 C.elegans[snr=1.8]");
  EXPECT_EQ(SettingText(0, 2, 9), "Mode0 Echinococcus[snr=1.8]");
  EXPECT_EQ(SettingText(2, 1, 30), "Mode2 Zebrafish[snr=3.0]");
}

TEST(ReportStatisticsTest, MedianAndStandardError) {
  EXPECT_EQ(Median({}), 0);
  EXPECT_EQ(Median({7}), 7);
  EXPECT_EQ(Median({9, 1, 5}), 5);
  EXPECT_EQ(Median({1, 2, 3, 4}), 2);             // (2 + 3) / 2 = 2.5 -> 2
  EXPECT_EQ(Median({1, 4, 3, 4}), 4);             // 3.5 -> 4
  EXPECT_EQ(Median({-3, -2}), -2);                // -2.5 -> -2
  EXPECT_EQ(FormatStandardError(17, 16), "4.3");  // exactly 4.25: half away from zero
  EXPECT_EQ(FormatStandardError(0, 5), "0.0");
  EXPECT_EQ(FormatStandardError(12, 0), "0.0");
  EXPECT_EQ(FormatStandardError(10, 1), "10.0");
}

}  // namespace
}  // namespace orb
