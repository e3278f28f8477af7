#include "reports/rebinning.h"

#include <gtest/gtest.h>

#include "tests/reports/report_fixture.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

using testing::Rec;

// Records at the given minutes, every channel counting `count`.
std::vector<CountsRecord> Minutes(const std::vector<int>& minutes, int count = 0) {
  std::vector<CountsRecord> out;
  for (int m : minutes) {
    CountsRecord r;
    r.ElapsedMinutes = m;
    r.IntervalCounts.fill(static_cast<std::int16_t>(count));
    out.push_back(r);
  }
  return out;
}

std::vector<int> Range(int from, int to) {
  std::vector<int> v;
  for (int m = from; m <= to; ++m) v.push_back(m);
  return v;
}

TEST(RebinningTest, LengthScanAndBinCorrection) {
  EXPECT_EQ(ScanLength({}), 0);
  EXPECT_EQ(ScanLength(Minutes({0, 30, 100})), 100);
  // The day counter rises only after the record whose time fell: that
  // record itself still counts on the old day.
  EXPECT_EQ(ScanLength(Minutes({1300, 1430, 20, 40})), 1440 + 40);
  EXPECT_EQ(ScanLength(Minutes({1300, 1439, 5})), 1439);
  // A fall of 1000 minutes or less is no new day.
  EXPECT_EQ(ScanLength(Minutes({1000, 0, 10})), 1000);

  EXPECT_EQ(CorrectBin(120, 100), 90);  // shorter than the bin: a multiple of 15
  EXPECT_EQ(CorrectBin(30, 20), 20);    // 30 minutes or less: the length itself
  EXPECT_EQ(CorrectBin(60, 44), 30);
  EXPECT_EQ(CorrectBin(30, 30), 30);
  EXPECT_EQ(CorrectBin(0, 500), 1);  // a bin below 1 becomes 1
  EXPECT_EQ(CorrectBin(30, 0), 1);   // never a bin of 0 (no division by zero later)
}

TEST(RebinningTest, LoadingStopsAtTheLatestRecordAndCorrectsDays) {
  // K is the record with the largest time, the later one on a tie; records
  // after it are not loaded.
  RecordSeries s = LoadRecordSeries(Minutes({0, 10, 20, 20, 5}));
  EXPECT_EQ(s.lastRecord(), 3);
  EXPECT_EQ(s.T, 20);

  // A fall of more than 1000 minutes puts the record on the next day.
  s = LoadRecordSeries(Minutes({1400, 1430, 10, 20, 1435}));
  EXPECT_EQ(s.minutes, (std::vector<std::int32_t>{1400, 1430, 1450, 1460, 2875}));
  EXPECT_EQ(s.T, 2875);

  EXPECT_TRUE(LoadRecordSeries({}).empty());

  // A folder whose counts.bin cannot be read: "Error loading " + path, empty.
  testing::TempFolder dir;
  ScriptedOperator op;
  EXPECT_TRUE(LoadRecordSeriesFromFolder(dir.path(), op).empty());
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Error loading " + (dir.path() / "counts.bin").string()});
}

TEST(RebinningTest, RegularityTest) {
  EXPECT_FALSE(IsIrregularRecording({0, 1, 2, 3, 4}));
  EXPECT_FALSE(IsIrregularRecording({0, 10, 20, 40}));  // exactly twice is still regular
  EXPECT_TRUE(IsIrregularRecording({0, 10, 20, 41}));
  EXPECT_FALSE(IsIrregularRecording({0, 0, 10, 30}));  // a zero interval does not count
  EXPECT_FALSE(IsIrregularRecording({0, 10, 5, 20}));  // falling times are skipped: 15 vs 10
  EXPECT_TRUE(IsIrregularRecording({0, 10, 5, 31}));
}

TEST(RebinningTest, RegularWalkBoundariesFollowTheClockSteps) {
  // 61 one-minute records (K = 60, m = 1), bin 30. Fifty steps of 0.02 add
  // up to just over 1, so the first record is walked for 51 steps and every
  // later one for 50; 1500 steps add up to just under 30, so the first bin
  // closes after 1502 steps and the next after 1501. Bin 0 therefore takes
  // one step of record 30, and record 60 (K) is never used.
  std::vector<CountsRecord> records = Minutes(Range(0, 60));
  records[0].IntervalCounts[0] = 50;   // 51 steps of 1 in bin 0
  records[29].IntervalCounts[1] = 50;  // wholly in bin 0
  records[30].IntervalCounts[2] = 50;  // 1 step in bin 0, 49 in bin 1
  records[59].IntervalCounts[3] = 50;  // wholly in bin 1
  records[60].IntervalCounts[4] = 50;  // the last record: not used
  for (int j = 0; j <= 60; ++j) records[j].IntervalCounts[5] = 100;
  RebinResult r = Rebin(LoadRecordSeries(records), 30);
  ASSERT_FALSE(r.irregular);
  ASSERT_EQ(r.outputBins(), 2);
  EXPECT_EQ(r.lastBin, 1);
  EXPECT_EQ(r.endTime, (std::vector<std::int32_t>{30, 60}));
  EXPECT_EQ(r.counts[0][0], 51);
  EXPECT_EQ(r.counts[0][1], 50);
  EXPECT_EQ(r.counts[0][2], 1);
  EXPECT_EQ(r.counts[1][2], 49);
  EXPECT_EQ(r.counts[1][3], 50);
  EXPECT_EQ(r.counts[0][4] + r.counts[1][4], 0);
  EXPECT_EQ(r.counts[0][5], 3004);  // (51 + 29 x 50 + 1) x 2
  EXPECT_EQ(r.counts[1][5], 2998);  // (49 + 29 x 50) x 2
}

TEST(RebinningTest, IrregularRecordingGoesByTimeStamps) {
  // Intervals 5, 5, 20: irregular. Each record goes whole into the current
  // bin, which moves on after the record whose time reaches the next bin.
  std::vector<CountsRecord> records;
  const int minutes[] = {0, 5, 10, 30, 40, 50, 60};
  const int temps[] = {230, 230, 230, 241, 0, 0, 252};
  for (int j = 0; j < 7; ++j) records.push_back(Rec(minutes[j], {{0, j + 1}, {1, 10}}, temps[j]));
  RebinResult r = Rebin(LoadRecordSeries(records), 30);
  ASSERT_TRUE(r.irregular);
  ASSERT_EQ(r.outputBins(), 2);
  EXPECT_EQ(r.counts[0][0], 1 + 2 + 3 + 4);
  EXPECT_EQ(r.counts[1][0], 5 + 6 + 7);
  EXPECT_EQ(r.counts[0][1], 40);
  EXPECT_EQ(r.counts[1][1], 30);
  EXPECT_EQ(r.temperature, (std::vector<std::int16_t>{241, 252}));  // the last of each bin, zeros skipped
  EXPECT_EQ(r.lastBin, 1);
  EXPECT_EQ(r.T, 60);
}

TEST(RebinningTest, TailRule) {
  // T = 115, bin 30: 4 bins, the last (83.33 % of a bin) scaled by
  // 1 + (100 - 83.33) / 100 and T = 120.
  RebinResult r;
  r.bin = 30;
  r.T = 115;
  r.endTime = {30, 60, 90, 120};
  r.counts.assign(4, ChannelCounts{});
  r.temperature.assign(4, 0);
  r.counts[3][0] = 120;
  r.counts[3][1] = 1;
  ApplyTailRule(r);
  EXPECT_EQ(r.T, 120);
  EXPECT_EQ(r.lastBin, 3);
  EXPECT_EQ(r.counts[3][0], 140);  // 120 x 1.1667 = 140.0
  EXPECT_EQ(r.counts[3][1], 1);    // 1.1667 -> 1

  // T = 100: 3 bins, the partial bin (33 %) dropped, T = 90.
  r.T = 100;
  r.endTime = {30, 60, 90};
  r.counts.assign(3, ChannelCounts{});
  ApplyTailRule(r);
  EXPECT_EQ(r.T, 90);
  EXPECT_EQ(r.lastBin, 2);

  // T = 90: three whole bins, unchanged.
  r.T = 90;
  ApplyTailRule(r);
  EXPECT_EQ(r.T, 90);
  EXPECT_EQ(r.lastBin, 2);

  // T = 110: round(3.67) = 4 output bins, but 66.7 % is dropped: T = 90,
  // last bin 2.
  r.T = 110;
  r.endTime = {30, 60, 90, 120};
  r.counts.assign(4, ChannelCounts{});
  ApplyTailRule(r);
  EXPECT_EQ(r.T, 90);
  EXPECT_EQ(r.lastBin, 2);

  // Through Rebin: a regular 115-minute recording ends at 120 with 4 bins.
  RebinResult whole = Rebin(LoadRecordSeries(Minutes(Range(0, 115), 1)), 30);
  EXPECT_EQ(whole.T, 120);
  EXPECT_EQ(whole.lastBin, 3);
}

TEST(RebinningTest, NothingToReportAndValuesThatDoNotFit) {
  EXPECT_EQ(Rebin(RecordSeries{}, 30).lastBin, -1);
  EXPECT_EQ(Rebin(LoadRecordSeries(Minutes({0})), 1).lastBin, -1);       // 0 minutes long
  EXPECT_EQ(Rebin(LoadRecordSeries(Minutes({0, 10})), 30).lastBin, -1);  // round(10 / 30) = 0

  // 30 one-minute records of 32767 counts: the 30-minute bins hold about
  // 30 x 32767, beyond 16 bits, and are kept whole: the steps of the regular
  // walk above (1502 and 1499 of 0.02 minutes) x 32767 / 50.
  std::vector<CountsRecord> records = Minutes(Range(0, 60), 0);
  for (auto& r : records) r.IntervalCounts[7] = 32767;
  RebinResult fits = Rebin(LoadRecordSeries(records), 30);
  ASSERT_EQ(fits.outputBins(), 2);
  EXPECT_EQ(fits.counts[0][7], 984321);  // 984,320.68
  EXPECT_EQ(fits.counts[1][7], 982355);  // 982,354.66

  // A bin beyond 32 bits: an error naming bin 0, never a value wrapped
  // around.
  try {
    Rebin(testing::BeyondThirtyTwoBits(7), 30);
    FAIL() << "no overflow reported";
  } catch (const RebinOverflow& e) {
    EXPECT_EQ(e.binIndex, 0);
  }

  // The tail scaling takes a count beyond 16 bits (30000 x 1.1667 = 35000),
  // and stops at 32 bits: it names the scaled bin.
  RebinResult r;
  r.bin = 30;
  r.T = 115;
  r.endTime = {30, 60, 90, 120};
  r.counts.assign(4, ChannelCounts{});
  r.temperature.assign(4, 0);
  r.counts[3][9] = 30000;
  RebinResult scaled = r;
  ApplyTailRule(scaled);
  EXPECT_EQ(scaled.counts[3][9], 35000);
  r.counts[3][9] = 2000000000;  // x 1.1667 = 2,333,333,333
  try {
    ApplyTailRule(r);
    FAIL() << "no overflow reported";
  } catch (const RebinOverflow& e) {
    EXPECT_EQ(e.binIndex, 3);
  }
}

TEST(RebinningTest, DayLongBinsHoldSumsBeyondSixteenBits) {
  // One-minute records over a day, one 1440-minute bin: 100 counts a minute
  // in channel 0 and channel 300, 50 in channel 1, 32767 in channel 2.
  // Each bin value is 72001 / 50 x the count per minute (report_fixture.h).
  RebinResult r = Rebin(LoadRecordSeries(testing::DayOfMinutes({{0, 100}, {1, 50}, {2, 32767}, {300, 100}})), 1440);
  ASSERT_FALSE(r.irregular);
  ASSERT_EQ(r.outputBins(), 1);
  EXPECT_EQ(r.lastBin, 0);
  EXPECT_EQ(r.T, 1440);
  EXPECT_EQ(r.counts[0][0], 144002);
  EXPECT_EQ(r.counts[0][300], 144002);
  EXPECT_EQ(r.counts[0][1], 72001);
  EXPECT_EQ(r.counts[0][2], 47185135);  // 47,185,135.34
  EXPECT_EQ(r.counts[0][3], 0);
  EXPECT_EQ(r.temperature, (std::vector<std::int16_t>{250}));

  // The same day in 30-minute bins fits 16 bits, and the day-long bin is
  // their sum (the first bin holds the first record's extra step).
  RebinResult halfHours = Rebin(LoadRecordSeries(testing::DayOfMinutes({{0, 100}})), 30);
  ASSERT_EQ(halfHours.outputBins(), 48);
  std::int64_t sum = 0;
  for (const auto& bin : halfHours.counts) sum += bin[0];
  EXPECT_EQ(sum, 144002);
}

}  // namespace
}  // namespace orb
