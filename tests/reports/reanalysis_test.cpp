#include "reports/reanalysis.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/text_record.h"
#include "reports/report_generator.h"
#include "signal/signal_analysis.h"
#include "tests/reports/reanalysis_fixture.h"
#include "tests/reports/report_fixture.h"
#include "tests/signal/signal_reference.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

namespace fs = std::filesystem;
using testing::AcquisitionFixture;
class ReanalysisTest : public testing::ReanalysisFixture {};
using testing::Dips;
using testing::RawInterval;
using testing::kDipStarts;
using testing::kIntervals;

TEST_F(ReanalysisTest, RunCountsEveryIntervalAgainAndReportsWithoutTouchingTheRecording) {
  ReanalysisControls c;
  c.method = kMethodThresholdAverage;
  c.binText = "30";
  const ReanalysisResult r = run(c);
  EXPECT_EQ(r.outcome, ReanalysisOutcome::Reported);
  EXPECT_EQ(r.minutes, 60);
  EXPECT_EQ(r.records, kIntervals);
  EXPECT_EQ(r.processed, kIntervals);
  EXPECT_EQ(r.bin, 13);  // the recording is 13 minutes long
  EXPECT_EQ(r.settingText, "1_Threshold Avrg (Default.Agar&Liquid) C elegans(>L4) [SNR=1.8]");
  EXPECT_EQ(statuses.front(), "Block 0/13");
  EXPECT_EQ(statuses.back(), "Block 13/13");
  EXPECT_EQ(events.processed, kIntervals);

  ASSERT_EQ(reported.size(), 1u);
  const ReanalysedRecording& rec = reported[0];
  EXPECT_EQ(rec.context.settingText, r.settingText);
  ASSERT_EQ(rec.series.counts.size(), std::size_t(kIntervals));
  for (int j = 0; j < kIntervals; ++j) {
    EXPECT_EQ(rec.series.minutes[j], j + 1);
    EXPECT_EQ(rec.series.temperature[j], 230 + j);
    EXPECT_EQ(rec.series.counts[j][0], Dips(0, j)) << j;
    EXPECT_EQ(rec.series.counts[j][2], Dips(2, j)) << j;
    EXPECT_EQ(rec.series.counts[j][5], Dips(5, j)) << j;
    EXPECT_EQ(rec.series.counts[j][1], 0) << "a channel without a well counts 0";
    EXPECT_EQ(rec.series.counts[j][3], 0);
  }
  EXPECT_EQ(rec.rebinned.bin, 13);
  EXPECT_EQ(r.written, std::vector<fs::path>{folder / "report.csv"});
  EXPECT_EQ(AcquisitionFixture::read(folder / "counts.bin"), oldCounts);
  EXPECT_EQ(AcquisitionFixture::read(folder / "setup.dat"), oldSetup);
  EXPECT_FALSE(fs::exists(folder / "counts.bin.bak"));

  // Method 0 counts these dips (each in its own 30-sample window) the same;
  // only the records within the minutes are analysed.
  c.method = kMethodThresholdBinary;
  c.hoursText = "0.15";  // 9 minutes
  reported.clear();
  const ReanalysisResult nine = run(c);
  EXPECT_EQ(nine.records, 9);
  ASSERT_EQ(reported.size(), 1u);
  ASSERT_EQ(reported[0].series.counts.size(), 9u);
  EXPECT_EQ(reported[0].series.counts[8][5], Dips(5, 8));
  EXPECT_EQ(nine.settingText.substr(0, 2), "0_");

  // Without its plate file no channel is known to be unused: all are counted.
  fx.writeSetup(folder, "k404");
  reported.clear();
  run(c);
  EXPECT_TRUE(op.saw("Multiwell Configuration File k404.dat or .bak not found"));
  EXPECT_EQ(reported.at(0).series.counts[2][1], Dips(1, 2));

  c.method = 3;
  EXPECT_THROW(run(c), std::invalid_argument);
}

TEST_F(ReanalysisTest, ReplaceKeepsEveryEarlierCountsFileAndRecordsTheMethod) {
  ReanalysisControls c;
  c.method = kMethodThresholdBinary;
  c.chooseOrganism(1);
  EXPECT_EQ(c.thresholdText, "2.8");
  c.thresholdText = "2.5";
  c.setReplaceOldData(true);
  c.hoursText = "0.01";  // ignored: "Replace old data" analyses everything
  const ReanalysisResult r = run(c);
  ASSERT_EQ(r.outcome, ReanalysisOutcome::Reported);
  EXPECT_EQ(r.minutes, 32000);
  EXPECT_EQ(statuses.back(), "Saving...");

  // The real-time counts are kept in counts.bin.bak; counts.bin holds the
  // new counts with the recorded times and temperatures.
  EXPECT_EQ(AcquisitionFixture::read(folder / "counts.bin.bak"), oldCounts);
  const auto after = countsOnDisk();
  ASSERT_EQ(after.size(), std::size_t(kIntervals));
  for (int j = 0; j < kIntervals; ++j) {
    EXPECT_EQ(after[j].ElapsedMinutes, j + 1);
    EXPECT_EQ(after[j].TemperatureTenths, 230 + j);
    EXPECT_EQ(after[j].IntervalCounts[0], Dips(0, j));
    EXPECT_EQ(after[j].IntervalCounts[1], 0);
  }

  // setup.dat: method on line 4, organism and SNR x 10 on line 10, the rest
  // byte for byte; setup.bak is the old file.
  EXPECT_EQ(AcquisitionFixture::read(folder / "setup.bak"), oldSetup);
  const std::string expected = RewriteSetupForReanalysis(oldSetup, 0, 1, 25);
  EXPECT_EQ(AcquisitionFixture::read(folder / "setup.dat"), expected);
  EXPECT_NE(expected.find("\r\n1,30,99,500,0,30\r\n"), std::string::npos);
  EXPECT_NE(expected.find("\r\n1,1,1,25,0,0\r\n"), std::string::npos);
  EXPECT_EQ(r.settingText, "Mode0 Zebrafish[snr=2.5]");
  EXPECT_EQ(reported.at(0).context.settingText, r.settingText);

  // A second replace never overwrites the first backup.
  const std::string firstReplace = AcquisitionFixture::read(folder / "counts.bin");
  c.method = kMethodThresholdAverage;
  ASSERT_EQ(run(c).outcome, ReanalysisOutcome::Reported);
  EXPECT_EQ(AcquisitionFixture::read(folder / "counts.bin.bak"), oldCounts);
  EXPECT_EQ(AcquisitionFixture::read(folder / "counts.bin.bak1"), firstReplace);
  EXPECT_EQ(NextCountsBackup(folder), folder / "counts.bin.bak2");
}

TEST_F(ReanalysisTest, RecordsBeyondTheRawDataKeepTheirCounts) {
  writeRaw(11);  // the second raw file is missing
  ReanalysisControls c;
  c.setReplaceOldData(true);
  const ReanalysisResult r = run(c);
  EXPECT_EQ(r.records, kIntervals);
  EXPECT_EQ(r.processed, 11);
  const auto after = countsOnDisk();
  EXPECT_EQ(after[10].IntervalCounts[0], Dips(0, 10));
  EXPECT_EQ(after[11].IntervalCounts[0], 77);
  EXPECT_EQ(after[12].IntervalCounts[1], 77);

  // Raw files that are not whole 385,770-byte records, or an acquisition of
  // another RT_Buffer, are refused before anything is counted or saved.
  writeRaw(kIntervals);
  const std::string first = AcquisitionFixture::read(folder / "0.bin");
  AcquisitionFixture::write(folder / "0.bin", first + "x");
  const std::string countsBefore = AcquisitionFixture::read(folder / "counts.bin");
  op.clear();
  ReanalysisResult refused = run(c);
  EXPECT_EQ(refused.outcome, ReanalysisOutcome::RawDataMismatch);
  EXPECT_EQ(refused.processed, 0);
  ASSERT_EQ(op.texts().size(), 1u);
  EXPECT_NE(op.texts()[0].find("0.bin holds 4243471 bytes, not 11 records of 385770 bytes"), std::string::npos);
  // The last file may end in a torn record, never read; only the files
  // holding the intervals analysed are looked at.
  AcquisitionFixture::write(folder / "0.bin", first);
  AcquisitionFixture::write(folder / "1.bin", AcquisitionFixture::read(folder / "1.bin") + "x");
  EXPECT_FALSE(RawDataMismatch(folder, kIntervals));
  AcquisitionFixture::write(folder / "2.bin", "x");
  EXPECT_TRUE(RawDataMismatch(folder, 23));
  EXPECT_FALSE(RawDataMismatch(folder, 11));
  fs::remove(folder / "2.bin");
  writeRaw(kIntervals);
  std::string setup = AcquisitionFixture::read(folder / "setup.dat");
  setup.replace(setup.find(",99,500,"), 8, ",99,250,");
  AcquisitionFixture::write(folder / "setup.dat", setup);
  op.clear();
  refused = run(c);
  EXPECT_EQ(refused.outcome, ReanalysisOutcome::RawDataMismatch);
  EXPECT_EQ(op.texts(),
            std::vector<std::string>{"Real Time Data recorded with RT_Buffer=250: only RT_Buffer=500 can be analysed"});
  EXPECT_EQ(AcquisitionFixture::read(folder / "counts.bin"), countsBefore);
  EXPECT_EQ(AcquisitionFixture::read(folder / "setup.dat"), setup);
  EXPECT_EQ(reported.size(), 1u);  // only the first run above reported

  fs::remove(folder / "0.bin");
  op.clear();
  EXPECT_EQ(run(c).outcome, ReanalysisOutcome::NoRawData);
  EXPECT_TRUE(op.saw("Real Time Data Not Found"));
  EXPECT_FALSE(RawDataAvailable(folder));
}

TEST_F(ReanalysisTest, StopAndFailuresSaveNothing) {
  ReanalysisControls c;
  c.setReplaceOldData(true);
  events.onProcess = [this] {
    if (events.processed == 2) stop.request();
  };
  stop.request();  // a stop left from before is cleared by RUN
  ReanalysisResult r = run(c);
  EXPECT_EQ(r.outcome, ReanalysisOutcome::Stopped);
  EXPECT_EQ(r.processed, 2);
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(AcquisitionFixture::read(folder / "counts.bin"), oldCounts);
  EXPECT_FALSE(fs::exists(folder / "counts.bin.bak"));
  EXPECT_FALSE(fs::exists(folder / "setup.bak"));

  // A setup.dat too short to record the method: nothing is replaced.
  events.onProcess = nullptr;
  const std::string shortSetup = "\"h\"\r\n1,\"a\",\"b\",\"ktest\"\r\n\"h\"\r\n1,30,99,500,1,30\r\n\"h\"\r\n";
  AcquisitionFixture::write(folder / "setup.dat", shortSetup);
  r = run(c);
  EXPECT_EQ(r.outcome, ReanalysisOutcome::SaveFailed);
  EXPECT_TRUE(op.saw("error Updating setup.dat"));
  EXPECT_EQ(AcquisitionFixture::read(folder / "counts.bin"), oldCounts);
  EXPECT_EQ(AcquisitionFixture::read(folder / "setup.dat"), shortSetup);
  EXPECT_FALSE(fs::exists(folder / "counts.bin.bak"));
  EXPECT_TRUE(reported.empty());
  EXPECT_THROW(RewriteSetupForReanalysis(oldSetup.substr(0, oldSetup.find("Mn1")), 1, 0, 18), RecordError);
  std::string badLine4 = oldSetup;
  badLine4.replace(badLine4.find("1,30,99"), 1, "x");
  EXPECT_THROW(RewriteSetupForReanalysis(badLine4, 1, 0, 18), RecordError);
}

TEST_F(ReanalysisTest, ExportRawAppendsTheMarksOfEveryAnalysedChannel) {
  // Times that fall by more than 1000 minutes go on to the next day.
  std::vector<CountsRecord> records;
  for (int j = 0; j < kIntervals; ++j) records.push_back(testing::Rec(j < 11 ? 1430 + j : j - 6, {}));
  fx.writeCounts(folder, records);
  ReanalysisControls c;
  c.setReplaceOldData(true);
  c.setExportRaw(true);
  EXPECT_EQ(c.hoursText, "533");
  EXPECT_FALSE(c.replaceOldData);
  EXPECT_TRUE(c.hoursEnabled);
  const ReanalysisResult r = run(c);
  ASSERT_EQ(r.outcome, ReanalysisOutcome::Reported);
  EXPECT_EQ(r.minutes, 533 * 60);

  const std::string ch5 = AcquisitionFixture::read(folder / "ch5.raw");
  std::istringstream lines(ch5);
  std::string line;
  int j = 0;
  while (std::getline(lines, line)) {
    const int t = j < 11 ? 1430 + j : 1440 + j - 6;
    ASSERT_EQ(line.substr(0, line.find(' ')), std::to_string(t)) << j;
    std::string marks(500, '0');
    for (int d = 0; d < Dips(5, j); ++d) marks[kDipStarts[d]] = '1';
    EXPECT_EQ(line.substr(line.find(' ') + 1), marks + "\r") << j;
    ++j;
  }
  EXPECT_EQ(j, kIntervals);
  EXPECT_FALSE(fs::exists(folder / "ch1.raw"));  // no well
  EXPECT_NE(std::find(r.written.begin(), r.written.end(), folder / "ch0.raw"), r.written.end());
}

// The re-analysis reads raw records back exactly as they were packed, the
// ends of the 16-bit range included.
TEST(ReanalysisRawRecords, ReadBackAsWritten) {
  RawRecord r;
  r.values.resize(kSignalIntervalValues);
  for (std::size_t k = 0; k < r.values.size(); ++k) r.values[k] = static_cast<std::int16_t>(k * 7919 + k / 3);
  r.values[0] = -32768;
  r.values[1] = 32767;
  r.values[2] = -1;
  const std::string bytes = PackRawRecord(r);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x00);  // little-endian: low byte first
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0x80);
  EXPECT_EQ(UnpackRawRecord(bytes).values, r.values);
}

// A plate of most channels (every seventh missing) over realistic beams,
// counted on one, two and three threads: the counts of the count routine's
// plain form run beam after beam, the same export files, and "STOP" still
// ends the run after the current record with nothing counted beyond it.
TEST_F(ReanalysisTest, ThreadsCountAsThePlainRoutineBeamAfterBeam) {
  constexpr int kLong = 24;
  std::map<int, std::pair<int, int>> wells;
  for (int c = 0; c < 384; ++c) {
    if (c % 7 != 3) wells[c] = {c, 0};
  }
  fx.writePlate("kall", 16, 24, wells);
  fx.writeSetup(folder, "kall", 1, 0, 18);
  std::vector<CountsRecord> records;
  for (int j = 0; j < kLong; ++j) records.push_back(testing::Rec(j + 1, {}));
  fx.writeCounts(folder, records);
  fs::remove(folder / "0.bin");
  fs::remove(folder / "1.bin");
  std::mt19937 rng(99);
  std::vector<signal_reference::Buffer> intervals;
  for (int j = 0; j < kLong; ++j) {
    intervals.push_back(signal_reference::RealisticInterval(rng));
    RawRecord r;
    r.values = intervals.back();
    AppendRecord(folder / RawFileName(j / 11), PackRawRecord(r));
  }
  auto exports = [&] {
    std::map<int, std::string> files;
    for (int c = 0; c < 384; ++c) {
      if (fs::exists(folder / MarkExportFile(folder, c).filename())) {
        files[c] = AcquisitionFixture::read(MarkExportFile(folder, c));
        fs::remove(MarkExportFile(folder, c));
      }
    }
    return files;
  };
  for (int method : {kMethodThresholdBinary, kMethodMotilityIndex}) {
    ReanalysisControls c;
    c.method = method;
    c.setExportRaw(true);
    std::vector<ReanalysedRecording> runs;
    std::vector<std::map<int, std::string>> files;
    for (int threads : {1, 2, 3}) {
      const ReanalysisResult r = RunRawReanalysis(
          fx.program(), folder, c, op, events, stop,
          [&](const ReanalysedRecording& rec) {
            runs.push_back(rec);
            return std::vector<fs::path>{};
          },
          {}, threads);
      ASSERT_EQ(r.processed, kLong) << threads;
      EXPECT_EQ(r.exportFailures, 0);
      files.push_back(exports());
    }
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].series.counts, runs[0].series.counts) << "two threads, method " << method;
    EXPECT_EQ(runs[2].series.counts, runs[0].series.counts) << "three threads, method " << method;
    EXPECT_EQ(files[0].size(), wells.size());
    EXPECT_EQ(files[1], files[0]);
    EXPECT_EQ(files[2], files[0]);
    int total = 0;
    for (int j = 0; j < kLong; ++j) {
      signal_reference::Buffer raw = intervals[std::size_t(j)];
      for (int ch = 0; ch < 384; ++ch) {
        const int plain = wells.count(ch) ? signal_reference::PlainCount(raw, ch, 1.8, method).count : 0;
        ASSERT_EQ(runs[0].series.counts[std::size_t(j)][std::size_t(ch)], plain) << "interval " << j << " ch " << ch;
        total += plain;
      }
    }
    EXPECT_GT(total, 0);
  }

  // STOP on two threads: the run ends after the third record.
  ReanalysisControls c;
  c.setExportRaw(true);
  events.processed = 0;
  events.onProcess = [this] {
    if (events.processed == 3) stop.request();
  };
  const ReanalysisResult r =
      RunRawReanalysis(fx.program(), folder, c, op, events, stop, [](const ReanalysedRecording&) {
        return std::vector<fs::path>{};
      }, {}, 2);
  EXPECT_EQ(r.outcome, ReanalysisOutcome::Stopped);
  EXPECT_EQ(r.processed, 3);
  const std::string ch0 = AcquisitionFixture::read(MarkExportFile(folder, 0));
  EXPECT_EQ(std::count(ch0.begin(), ch0.end(), '\n'), 3);
}

// The report "RUN" writes is the one "Generate..." writes from the new
// counts: in every layout (the histogram one too), with the re-analysis's
// setting text used once and no basal normalisation; "Generate..." itself
// still reads counts.bin.
TEST_F(ReanalysisTest, ReportIsTheGeneratorsReportOfTheNewCounts) {
  HistogramRecord h;
  h.ElapsedMinutesExact = 5;
  h.SecondsPerSample = 0.5;
  for (int c = 0; c < 50; ++c) h.counts[std::size_t(c) * 385 + 2] = 10 + c;
  AcquisitionFixture::write(folder / HistogramFileName(0), PackHistogramRecord(h));
  fx.writeSubproject(folder, "Dose 1");

  FakeClock clock;
  RecordingLauncher launcher;
  OneShotSetting once;  // the report window's
  ReportRequest request;
  request.programFolder = fx.program();
  request.acquisitionFolder = folder;
  request.clock = &clock;
  request.oneShotSetting = &once;
  request.statistics = {true, false, true, true, true};
  const std::string reportFile = (folder / "report.csv").string();
  // The report without its SETTING line: what the counts make.
  auto dataOf = [](std::string report) {
    const std::size_t at = report.find("\"SETTING:\"");
    return report.erase(at, report.find('\n', at) - at);
  };
  // The new counts: channels of a well counted again, the others 0.
  std::vector<CountsRecord> recounted;
  for (int j = 0; j < kIntervals; ++j)
    recounted.push_back(testing::Rec(j + 1, {{0, Dips(0, j)}, {2, Dips(2, j)}, {5, Dips(5, j)}}, 230 + j));

  for (ReportLayout layout : {ReportLayout::Rows, ReportLayout::Histogram}) {
    SCOPED_TRACE(static_cast<int>(layout));
    AcquisitionFixture::write(folder / "counts.bin", oldCounts);
    request.layout = layout;
    request.basalText = "20240130_0800";  // a basal choice does not apply to re-counted data
    launcher.opened.clear();
    op.clear();
    ReanalysisControls c;
    const ReanalysisResult r = RunRawReanalysis(fx.program(), folder, c, op, events, stop,
                                                GeneratorReportWriter(request, op, launcher));
    ASSERT_EQ(r.outcome, ReanalysisOutcome::Reported) << ::testing::PrintToString(op.texts());
    EXPECT_TRUE(op.texts().empty()) << ::testing::PrintToString(op.texts());
    EXPECT_EQ(r.written, (std::vector<fs::path>{folder / "report.csv", folder / "Dose_1.csv"}));
    EXPECT_EQ(launcher.opened, std::vector<std::string>{reportFile});
    EXPECT_FALSE(once.pending());
    EXPECT_EQ(AcquisitionFixture::read(folder / "counts.bin"), oldCounts);
    const std::string reanalysed = AcquisitionFixture::read(folder / "report.csv");
    EXPECT_NE(reanalysed.find("\"SETTING:\",\"1_Threshold Avrg (Default.Agar&Liquid) C elegans(>L4) [SNR=1.8]\"\r\n"),
              std::string::npos);
    EXPECT_EQ(reanalysed.find("BASAL"), std::string::npos);

    // "Generate..." reads counts.bin: the recorded counts, the recording's
    // own setting text.
    request.basalText.clear();
    ASSERT_TRUE(GenerateReport(request, op, launcher).ok());
    const std::string recorded = AcquisitionFixture::read(folder / "report.csv");
    EXPECT_NE(recorded.find("\"SETTING:\",\"Mode1 C.elegans[snr=1.8]\"\r\n"), std::string::npos);
    EXPECT_NE(dataOf(recorded), dataOf(reanalysed));

    // With the new counts in counts.bin and the same setting text once,
    // "Generate..." writes the re-analysis's report byte for byte.
    fx.writeCounts(folder, recounted);
    once.set(r.settingText);
    ASSERT_TRUE(GenerateReport(request, op, launcher).ok());
    EXPECT_EQ(AcquisitionFixture::read(folder / "report.csv"), reanalysed);
  }

  // The context's messages are shown once, when it is loaded, not again by
  // the report; the report's own messages still come through.
  fx.writeSetup(folder, "k404");
  op.clear();
  ReanalysisControls c;
  const ReanalysisResult r =
      RunRawReanalysis(fx.program(), folder, c, op, events, stop, GeneratorReportWriter(request, op, launcher));
  EXPECT_EQ(r.outcome, ReanalysisOutcome::Reported);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Multiwell Configuration File k404.dat or .bak not found"});
  ASSERT_EQ(request.layout, ReportLayout::Histogram);
  fs::remove(folder / HistogramFileName(0));
  op.clear();
  EXPECT_EQ(RunRawReanalysis(fx.program(), folder, c, op, events, stop, GeneratorReportWriter(request, op, launcher))
                .outcome,
            ReanalysisOutcome::NotReported);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{"Multiwell Configuration File k404.dat or .bak not found",
                                                  "Error getting Histogram.bin data"}));
}

TEST(ReanalysisControlsTest, BoxesAsTheFrameReadsThem) {
  ReanalysisControls c;
  std::optional<std::string> shown;
  EXPECT_EQ(AnalysisMinutes(c, &shown), 60);
  EXPECT_FALSE(shown);
  c.hoursText = "1.5";
  EXPECT_EQ(AnalysisMinutes(c), 90);
  c.hoursText = "0.05";  // 3 minutes: an hour is analysed, the box shows 5 minutes
  EXPECT_EQ(AnalysisMinutes(c, &shown), 60);
  EXPECT_EQ(shown, "0.08");
  c.hoursText = "abc";
  EXPECT_EQ(AnalysisMinutes(c), 60);
  c.hoursText = "1,5";  // the hours box has no decimal comma: 1 hour
  EXPECT_EQ(AnalysisMinutes(c), 60);
  c.hoursText = "0,5";  // 0 hours
  shown.reset();
  EXPECT_EQ(AnalysisMinutes(c, &shown), 60);
  EXPECT_EQ(shown, "0.08");
  c.setReplaceOldData(true);
  EXPECT_FALSE(c.hoursEnabled);
  EXPECT_EQ(AnalysisMinutes(c), 32000);
  c.setReplaceOldData(false);
  EXPECT_TRUE(c.hoursEnabled);

  EXPECT_EQ(ReanalysisBinSize("1"), 2);
  EXPECT_EQ(ReanalysisBinSize("60"), 60);
  EXPECT_EQ(ReanalysisBinSize(""), 2);
  EXPECT_DOUBLE_EQ(BoxValue(" 2,8"), 2.8);
  EXPECT_DOUBLE_EQ(BoxValue(" 2,8", false), 2.0);
  EXPECT_DOUBLE_EQ(BoxValue("1.8x"), 1.8);
}

}  // namespace
}  // namespace orb
