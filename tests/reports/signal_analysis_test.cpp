#include "reports/signal_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <random>
#include <string>
#include <vector>

#include "common/format.h"
#include "reports/signal_support.h"
#include "tests/reports/signal_reference.h"
#include "tests/temp_folder.h"

namespace orb {
namespace {

using namespace signal_reference;

// Runs every beam of the interval through both forms and compares counts,
// marks, traces and the clipped buffers.
void ExpectSameAsPlainForm(const Buffer& interval, int method, double snr, const std::string& what) {
  Buffer fast = interval;
  Buffer plain = interval;
  IntervalAnalyzer analyzer;
  int total = 0;
  for (int beam = 0; beam < kSignalBeamSlots; ++beam) {
    const int count = analyzer.Count(fast, beam, snr, method);
    const PlainResult ref = PlainCount(plain, beam, snr, method);
    ASSERT_EQ(count, ref.count) << what << " beam " << beam;
    ASSERT_EQ(analyzer.Marks(), ref.marks) << what << " beam " << beam;
    ASSERT_EQ(analyzer.LowerTrace(), ref.lower) << what << " beam " << beam;
    ASSERT_EQ(analyzer.UpperTrace(), ref.upper) << what << " beam " << beam;
    ASSERT_EQ(int(std::count(ref.marks.begin(), ref.marks.end(), '1')), count);
    total += count;
  }
  ASSERT_EQ(fast, plain) << what;
  // A comparison of two forms that count nothing would prove little.
  if (what.rfind("realistic", 0) == 0) {
    EXPECT_GT(total, 0) << what;
  }
}

}  // namespace

TEST(IntervalCount, RunningFormEqualsPlainForm) {
  std::mt19937 rng(20240131);
  for (int round = 0; round < 3; ++round) {
    const Buffer realistic = RealisticInterval(rng);
    const Buffer noisy = UniformInterval(rng, 0, 4095);
    const Buffer ties = UniformInterval(rng, 0, 6);       // many equal values and halves
    const Buffer extreme = UniformInterval(rng, -32768, 32767);  // saturating traces
    for (int method = 0; method <= 2; ++method) {
      for (double snr : {1.3, 1.8, 2.8, 6.0}) {
        const std::string tag = " method " + std::to_string(method) + " snr " + std::to_string(snr);
        ExpectSameAsPlainForm(realistic, method, snr, "realistic" + tag);
        ExpectSameAsPlainForm(noisy, method, snr, "noisy" + tag);
        ExpectSameAsPlainForm(ties, method, snr, "ties" + tag);
      }
      ExpectSameAsPlainForm(extreme, method, 1.8, "extreme method " + std::to_string(method));
      ExpectSameAsPlainForm(extreme, method, 1e6, "huge snr method " + std::to_string(method));
    }
  }
}

// A flat beam at 1000 with dips: no local extremes, so noise 0 and band 1;
// the lower trace settles at 988 ((990 + 3 x 988) / 4 = 988.5, half to even).
static Buffer FlatWithDips(const std::vector<std::pair<int, int>>& dips, int beam = 7) {
  Buffer raw(kSignalIntervalValues, 1234);  // other beams: anything
  for (int n = 0; n < kN; ++n) raw[At(n, beam)] = 1000;
  for (auto [from, to] : dips) {
    for (int n = from; n <= to; ++n) raw[At(n, beam)] = 500;
  }
  return raw;
}

TEST(IntervalCount, DetectionRulesOfMethodsZeroAndOne) {
  IntervalAnalyzer analyzer;
  // Method 1: a dip lasting 60 samples counts once, the next dip again.
  Buffer raw = FlatWithDips({{100, 159}, {300, 302}});
  EXPECT_EQ(analyzer.Count(raw, 7, 1.8, kMethodThresholdAverage), 2);
  EXPECT_EQ(analyzer.Noise(), 0);
  EXPECT_DOUBLE_EQ(analyzer.Band(), 1.0);
  EXPECT_EQ(analyzer.Marks()[100], '1');
  EXPECT_EQ(analyzer.Marks()[300], '1');
  EXPECT_EQ(analyzer.LowerTrace()[0], 982);  // round(0.9825 * 1000), half to even
  EXPECT_EQ(analyzer.LowerTrace()[250], 988);

  // Method 0: five dips inside one window count once, at sample 60; a dip
  // after sample 480 is never counted.
  raw = FlatWithDips({{32, 33}, {37, 38}, {42, 43}, {47, 48}, {52, 53}, {95, 96}, {485, 486}});
  EXPECT_EQ(analyzer.Count(raw, 7, 1.8, kMethodThresholdBinary), 2);
  std::string expected(kN, '0');
  expected[60] = expected[120] = '1';
  EXPECT_EQ(analyzer.Marks(), expected);

  // Any other method counts nothing and leaves the kept lower trace alone.
  const SignalTrace before = analyzer.LowerTrace();
  EXPECT_EQ(analyzer.Count(raw, 7, 1.8, 3), 0);
  EXPECT_EQ(analyzer.LowerTrace(), before);
  EXPECT_EQ(analyzer.Marks(), std::string(kN, '0'));
}

TEST(IntervalCount, ClipsOnlyTheBeamsOwnSamplesAboveTheUpperTrace) {
  Buffer raw = FlatWithDips({}, 5);
  raw[At(300, 5)] = 5000;
  const Buffer before = raw;
  IntervalAnalyzer analyzer;
  analyzer.Count(raw, 5, 1.8, kMethodThresholdAverage);
  EXPECT_LT(raw[At(300, 5)], 5000);
  EXPECT_EQ(raw[At(300, 5)], analyzer.UpperTrace()[300]);
  for (std::size_t k = 0; k < raw.size(); ++k) {
    if (k != At(300, 5)) {
      ASSERT_EQ(raw[k], before[k]) << k;
    }
  }
  // Slot 500 is never read nor written: a buffer of slots 0..499 is enough.
  Buffer shortRaw(kSignalMinValues, 100);
  EXPECT_NO_THROW(analyzer.Count(shortRaw, 384, 1.8, 1));
  Buffer tooShort(kSignalMinValues - 1, 100);
  EXPECT_THROW(analyzer.Count(tooShort, 0, 1.8, 1), std::invalid_argument);
  EXPECT_THROW(analyzer.Count(raw, 385, 1.8, 1), std::invalid_argument);
  EXPECT_THROW(analyzer.Count(raw, -1, 1.8, 1), std::invalid_argument);
}

TEST(IntervalCount, LevelZeroUsesTheSnrFactorAndMethodTwoOnAFlatBeam) {
  Buffer raw(kSignalIntervalValues, 0);
  IntervalAnalyzer analyzer;
  EXPECT_EQ(analyzer.Count(raw, 0, 1.8, kMethodThresholdAverage), 0);
  EXPECT_EQ(analyzer.Level(), 0);
  EXPECT_DOUBLE_EQ(analyzer.Band(), 2.8);

  // Method 2 on a flat beam: residuals 0, nothing counted, the displayed
  // trace is 0 minus the noise floor 5 at every sample (sample 0 included).
  raw.assign(kSignalIntervalValues, 2000);
  EXPECT_EQ(analyzer.Count(raw, 3, 1.8, kMethodMotilityIndex), 0);
  for (int n = 0; n < kN; ++n) ASSERT_EQ(analyzer.LowerTrace()[n], -5) << n;

  // A quiet beam (no strict local extremes: noise 0, floor 5) that ramps up
  // by 1000 over 50 samples, holds, and ramps down: the residual above the
  // running minimum rises and falls by hundreds, far beyond the floor.
  for (int n = 0; n < kN; ++n) {
    int v = 2000;
    if (n >= 100 && n < 150) v = 2000 + 20 * (n - 100);
    if (n >= 150 && n < 250) v = 3000;
    if (n >= 250 && n < 300) v = 3000 - 20 * (n - 250);
    raw[At(n, 3)] = static_cast<std::int16_t>(v);
  }
  const int count = analyzer.Count(raw, 3, 1.8, kMethodMotilityIndex);
  EXPECT_EQ(analyzer.Noise(), 0);
  EXPECT_GT(count, 0);
  EXPECT_EQ(int(std::count(analyzer.Marks().begin(), analyzer.Marks().end(), '1')), count);
}

TEST(IntervalCount, ExportAppendsOneLinePerCallToTheBeamsFile) {
  testing::TempFolder dir;
  Buffer raw = FlatWithDips({{100, 110}}, 17);
  IntervalAnalyzer analyzer;
  MarkExport to{dir.path(), 125};
  EXPECT_EQ(analyzer.Count(raw, 17, 1.8, 1, &to), 1);
  to.time = 126;
  analyzer.Count(raw, 17, 1.8, 1, &to);
  EXPECT_FALSE(analyzer.LastExportError());
  std::string marks(kN, '0');
  marks[100] = '1';
  EXPECT_EQ(MarkExportFile(dir.path(), 17), dir.path() / "ch17.raw");
  EXPECT_EQ(dir.read("ch17.raw"), "125 " + marks + "\r\n126 " + marks + "\r\n");

  // An export folder that does not exist: the count stands, the error is kept.
  MarkExport nowhere{dir.path() / "missing", 1};
  EXPECT_EQ(analyzer.Count(raw, 17, 1.8, 1, &nowhere), 1);
  EXPECT_TRUE(analyzer.LastExportError());
  analyzer.Count(raw, 17, 1.8, 1);
  EXPECT_FALSE(analyzer.LastExportError());
}

TEST(IntervalCount, InlineRoundingIsTheProgramsRounding) {
  for (double x : {0.5, 1.5, 2.5, -0.5, -1.5, -2.5, 982.5, 988.5, 0.49999999999999994, 4095.5, -32768.5, 32767.5,
                   1e15 + 0.5, 2251799813685247.5, 2251799813685248.0, 4503599627370497.0, -2251799813685249.0}) {
    EXPECT_EQ(RoundEven(x), RoundHalfEven(x)) << std::setprecision(20) << x;
  }
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> halves(-200000, 200000);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  for (int i = 0; i < 100000; ++i) {
    const double h = halves(rng) / 2.0;
    ASSERT_EQ(RoundEven(h), RoundHalfEven(h)) << h;
    const double a = any(rng);
    ASSERT_EQ(RoundEven(a), RoundHalfEven(a)) << a;
  }
  EXPECT_EQ(SaturateRound16(40000.0), 32767);
  EXPECT_EQ(SaturateRound16(-1e300), -32768);
  EXPECT_EQ(SaturateRound16(std::nan("")), 0);
  EXPECT_EQ(SaturateRound16(32766.5), 32766);
}

TEST(BodyBendsHistogram, BinsCountTheDistancesBetweenGapPeaks) {
  // Deep narrow dips: each makes one peak of the envelope-to-signal gap.
  auto withDipsEvery = [](int period) {
    Buffer raw(kSignalIntervalValues, 0);
    for (int n = 0; n < kN; ++n) raw[At(n, 9)] = 2000;
    for (int n = 20; n < kN - 5; n += period) {
      raw[At(n - 2, 9)] = raw[At(n + 2, 9)] = 1750;
      raw[At(n - 1, 9)] = raw[At(n + 1, 9)] = 1500;
      raw[At(n, 9)] = 1000;
    }
    return raw;
  };
  std::array<std::int32_t, kBodyBendsClasses> bins;
  bins.fill(7);
  Buffer raw = withDipsEvery(12);
  EXPECT_EQ(BodyBendsHistogram(raw, 9, 10.4, bins), 1);
  // Peaks at 20, 32, ..., 488: the first distance (20) from the start and
  // 39 distances of 12.
  EXPECT_EQ(bins[12], 39);
  EXPECT_EQ(bins[20], 1);
  int total = 0;
  for (auto b : bins) total += b;
  EXPECT_EQ(total, 40);

  raw = withDipsEvery(60);
  BodyBendsHistogram(raw, 9, 10.4, bins);
  EXPECT_EQ(bins[20], 1);  // from the start to the first peak
  for (int k = 0; k < kBodyBendsClasses; ++k) {
    if (k != 20) {
      EXPECT_EQ(bins[k], 0) << k;
    }
  }

  // A threshold above the gap leaves nothing.
  raw = withDipsEvery(12);
  BodyBendsHistogram(raw, 9, 1000, bins);
  for (auto b : bins) EXPECT_EQ(b, 0);
}

}  // namespace orb
