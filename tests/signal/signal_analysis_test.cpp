#include "signal/signal_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <random>
#include <string>
#include <vector>

#include "common/format.h"
#include "signal/signal_lanes.h"
#include "signal/signal_parallel.h"
#include "signal/signal_support.h"
#include "tests/signal/signal_reference.h"
#include "tests/support/temp_folder.h"

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
  for (int beam = 0; beam < kChannelSlots; ++beam) {
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
  // trace is 0 minus the noise floor 5 from sample 1 on; sample 0 keeps the
  // value the method 1 call above left there.
  const std::int16_t kept = analyzer.LowerTrace()[0];
  raw.assign(kSignalIntervalValues, 2000);
  EXPECT_EQ(analyzer.Count(raw, 3, 1.8, kMethodMotilityIndex), 0);
  EXPECT_EQ(analyzer.LowerTrace()[0], kept);
  for (int n = 1; n < kN; ++n) ASSERT_EQ(analyzer.LowerTrace()[n], -5) << n;

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

// Intervals of another length (the run's RT_Buffer) are counted whole, with
// every bound taken from the interval's end, as the plain form does it.
TEST(IntervalCount, IntervalsOfAnyLengthMatchThePlainForm) {
  std::mt19937 rng(20261208);
  for (const int n : {200, 498, 499, 501, 1000}) {
    const Buffer interval = RealisticInterval(rng, n);
    for (int method = 0; method <= 2; ++method) {
      Buffer fast = interval;
      Buffer plain = interval;
      IntervalAnalyzer analyzer(n);
      ASSERT_EQ(analyzer.Samples(), n);
      std::vector<int> beams(kChannels);
      for (int b = 0; b < kChannels; ++b) beams[b] = b;
      std::vector<std::int16_t> counts(kChannels);
      analyzer.CountBeams(fast, beams, 1.8, method, counts);
      int total = 0;
      for (int beam = 0; beam < kChannels; ++beam) {
        const PlainResult ref = PlainCount(plain, beam, 1.8, method, n);
        ASSERT_EQ(counts[beam], ref.count) << "n " << n << " method " << method << " beam " << beam;
        total += ref.count;
        if (beam == kChannels - 1) {
          EXPECT_EQ(analyzer.Marks(), ref.marks);
          EXPECT_EQ(analyzer.LowerTrace(), ref.lower);
          EXPECT_EQ(analyzer.UpperTrace(), ref.upper);
        }
      }
      ASSERT_EQ(fast, plain) << "n " << n << " method " << method;
      EXPECT_GT(total, 0) << "n " << n << " method " << method;
    }
  }
}

TEST(IntervalCount, ALongIntervalIsCountedToItsEndAndAShortOneNeedsOnlyItsSamples) {
  // A beam flat at 1000 with dips at 100 and at 905 of a 1000-sample interval.
  const int n = 1000;
  Buffer raw(std::size_t(n + 1) * kChannelSlots, 1000);
  for (int k = 0; k < 3; ++k) raw[At(100 + k, 7)] = raw[At(905 + k, 7)] = 500;
  IntervalAnalyzer analyzer(n);
  EXPECT_EQ(analyzer.Count(raw, 7, 1.8, kMethodThresholdAverage), 2);
  EXPECT_EQ(analyzer.Marks().size(), std::size_t(n));
  EXPECT_EQ(analyzer.Marks()[905], '1');
  EXPECT_EQ(analyzer.LowerTrace().size(), std::size_t(n));
  // Method 0 counts at samples 30, 60, ... up to the end: the dip at
  // 905 is taken at 930.
  EXPECT_EQ(analyzer.Count(raw, 7, 1.8, kMethodThresholdBinary), 2);
  EXPECT_EQ(analyzer.Marks()[930], '1');

  // 200 samples: slots 0..199 of every beam are enough, one value less is not.
  IntervalAnalyzer shortAnalyzer(200);
  Buffer exact(std::size_t(200) * kChannelSlots, 1000);
  EXPECT_NO_THROW(shortAnalyzer.Count(exact, 384, 1.8, kMethodMotilityIndex));
  exact.pop_back();
  EXPECT_THROW(shortAnalyzer.Count(exact, 384, 1.8, kMethodMotilityIndex), std::invalid_argument);
  EXPECT_THROW(IntervalAnalyzer(kSignalMinSamples - 1), std::invalid_argument);
}

TEST(BodyBendsHistogram, IntervalsOfAnyLengthUseTheirWholeLength) {
  // Dips every 12 samples over 1000 samples: 20, 32, ..., 992.
  const int n = 1000;
  Buffer raw(std::size_t(n + 1) * kChannelSlots, 0);
  for (int k = 0; k < n; ++k) raw[At(k, 9)] = 2000;
  for (int k = 20; k < n - 5; k += 12) {
    raw[At(k - 2, 9)] = raw[At(k + 2, 9)] = 1750;
    raw[At(k - 1, 9)] = raw[At(k + 1, 9)] = 1500;
    raw[At(k, 9)] = 1000;
  }
  std::array<std::int32_t, kBodyBendsClasses> bins;
  EXPECT_EQ(BodyBendsHistogram(raw, 9, 10.4, bins, n), 1);
  EXPECT_EQ(bins[20], 1);
  EXPECT_EQ(bins[12], (992 - 20) / 12);
  // The same signal read as 500 samples stops at 488, as it always did.
  BodyBendsHistogram(raw, 9, 10.4, bins);
  EXPECT_EQ(bins[12], 39);
  // And at 200 samples, at 188.
  BodyBendsHistogram(raw, 9, 10.4, bins, 200);
  EXPECT_EQ(bins[12], (188 - 20) / 12);
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

namespace {

// Beams chosen for the lane form's edges: flat beams whose trace terms are
// whole numbers (levels that are multiples of 100), beams of one or two
// values (ties in the peak means), zeros with rare spikes (means of 0 and
// ties in the trace steps), beams at and just beyond the 12-bit range, dim
// noisy beams (large bands), slow ramps and square waves (long runs for
// method 2), and noisy beams.
Buffer LaneEdgeInterval(std::mt19937& rng) {
  Buffer raw(kSignalIntervalValues, 0);
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> where(0, kN - 1);
  std::uniform_int_distribution<int> level(1, 40);
  for (int beam = 0; beam < kChannelSlots; ++beam) {
    std::vector<int> v(kN);
    const int k = kind(rng);
    const int base = 100 * level(rng);
    switch (k) {
      case 0:  // flat at a multiple of 100, with a few dips
        for (int n = 0; n < kN; ++n) v[n] = base;
        for (int d = where(rng) % 4; d > 0; --d) v[where(rng)] = base / 2;
        break;
      case 1:  // two neighbouring values
        for (int n = 0; n < kN; ++n) v[n] = base + static_cast<int>(rng() % 2);
        break;
      case 2:  // zeros and rare spikes
        for (int d = where(rng) % 8; d > 0; --d) v[where(rng)] = 1 + static_cast<int>(rng() % 3000);
        break;
      case 3:  // saturated with dips
        for (int n = 0; n < kN; ++n) v[n] = 4095;
        for (int d = where(rng) % 6; d > 0; --d) {
          const int at = where(rng);
          for (int n = at; n < std::min(kN, at + 10); ++n) v[n] = 2500;
        }
        break;
      case 4:  // one sample beyond the 12-bit range
        for (int n = 0; n < kN; ++n) v[n] = 2000 + static_cast<int>(rng() % 50);
        v[where(rng)] = 4096 + static_cast<int>(rng() % 1000);
        break;
      case 5:  // dim and noisy
        for (int n = 0; n < kN; ++n) v[n] = static_cast<int>(rng() % (2 + level(rng)));
        break;
      case 6: {  // slow ramps
        const int period = 20 + where(rng) % 80;
        for (int n = 0; n < kN; ++n) v[n] = 1000 + 7 * (n % period) + static_cast<int>(rng() % 3);
        break;
      }
      case 7: {  // square wave
        const int period = 4 + where(rng) % 60;
        for (int n = 0; n < kN; ++n) v[n] = (n / period) % 2 ? base : base / 3;
        break;
      }
      default: {  // noisy level with dips
        std::normal_distribution<double> noise(0, 1 + level(rng));
        for (int n = 0; n < kN; ++n) v[n] = static_cast<int>(std::lround(base + noise(rng)));
        for (int d = where(rng) % 8; d > 0; --d) {
          const int at = where(rng);
          for (int n = at; n < std::min(kN, at + 12); ++n) v[n] -= base / 2;
        }
        for (int& x : v) x = std::clamp(x, 0, 4095);
        break;
      }
    }
    for (int n = 0; n < kN; ++n) raw[At(n, beam)] = static_cast<std::int16_t>(v[n]);
  }
  return raw;
}

// CountBeams over `beams` against the plain form run beam after beam:
// counts, the clipped buffer, and the state left for the last beam.
// Returns the beams the lanes left to the exact form.
int ExpectBatchSameAsPlainForm(const Buffer& interval, const std::vector<int>& beams, int method, double snr,
                               const std::string& what) {
  Buffer fast = interval;
  Buffer plain = interval;
  IntervalAnalyzer analyzer;
  std::vector<std::int16_t> counts(beams.size(), -1);
  analyzer.CountBeams(fast, beams, snr, method, counts);
  PlainResult last(kN);
  for (std::size_t k = 0; k < beams.size(); ++k) {
    last = PlainCount(plain, beams[k], snr, method);
    EXPECT_EQ(counts[k], last.count) << what << " beam " << beams[k];
  }
  EXPECT_EQ(fast, plain) << what;
  EXPECT_EQ(analyzer.Marks(), last.marks) << what;
  EXPECT_EQ(analyzer.UpperTrace(), last.upper) << what;
  if (method >= 0 && method <= 2) {
    EXPECT_EQ(analyzer.LowerTrace(), last.lower) << what;
  }
  return analyzer.ExactFormBeams();
}

}  // namespace

TEST(IntervalCount, BeamsInLanesEqualThePlainForm) {
  std::mt19937 rng(777);
  std::vector<int> all(kChannelSlots);
  for (int b = 0; b < kChannelSlots; ++b) all[std::size_t(b)] = b;
  // Gaps, a run of eight neighbours in the middle, a single last beam.
  const std::vector<int> scattered = {0, 2, 3, 5, 6, 7, 8, 9, 11, 100, 101, 102, 103, 104, 105, 106, 107, 300, 384};
  int realisticExact = 0, realisticBeams = 0, edgeExact = 0;
  for (int round = 0; round < 3; ++round) {
    const Buffer realistic = RealisticInterval(rng);
    const Buffer edge = LaneEdgeInterval(rng);
    for (int method = 0; method <= 3; ++method) {
      for (double snr : {1.3, 1.8, 2.8, 9.0}) {
        const std::string tag = " method " + std::to_string(method) + " snr " + std::to_string(snr);
        const int exact = ExpectBatchSameAsPlainForm(realistic, all, method, snr, "realistic" + tag);
        if (snr < 3) {  // a factor of 9 gives noisy beams lower traces that start below zero
          realisticExact += exact;
          realisticBeams += kChannelSlots;
        }
        edgeExact += ExpectBatchSameAsPlainForm(edge, all, method, snr, "edge" + tag);
        ExpectBatchSameAsPlainForm(edge, scattered, method, snr, "edge scattered" + tag);
      }
    }
    ASSERT_FALSE(HasFailure());
  }
  // The comparison must be of the lanes, mostly: the instrument's beams go
  // through them; the edge cases also reach the exact form.
  EXPECT_LT(realisticExact * 100, realisticBeams);
  EXPECT_GT(edgeExact, 0);
}

// Method 2's residual means are reals: where two exact means tie but a
// baseline mean in their windows has a fraction, the rounding of the reals
// decides whether the signal rose or fell, and the lanes must follow it.
TEST(IntervalCount, MethodTwoTiesGoAsTheRoutinesRealsGo) {
  std::mt19937 rng(2024);
  std::vector<int> all(kChannelSlots);
  for (int b = 0; b < kChannelSlots; ++b) all[std::size_t(b)] = b;
  for (int round = 0; round < 16; ++round) {
    const Buffer interval = round % 4 == 0 ? UniformInterval(rng, 0, 6) : RealisticInterval(rng);
    ExpectBatchSameAsPlainForm(interval, all, kMethodMotilityIndex, 1.8, "round " + std::to_string(round));
    ASSERT_FALSE(HasFailure());
  }
}

TEST(IntervalCount, BeamsInLanesCheckTheirArgumentsFirstAndExportEachBeam) {
  std::mt19937 rng(3);
  const Buffer interval = RealisticInterval(rng);
  Buffer raw = interval;
  IntervalAnalyzer analyzer;
  std::vector<std::int16_t> counts(3);
  const std::vector<int> unordered = {5, 4, 6}, repeated = {5, 5, 6}, outside = {5, 6, 385};
  EXPECT_THROW(analyzer.CountBeams(raw, unordered, 1.8, 1, counts), std::invalid_argument);
  EXPECT_THROW(analyzer.CountBeams(raw, repeated, 1.8, 1, counts), std::invalid_argument);
  EXPECT_THROW(analyzer.CountBeams(raw, outside, 1.8, 1, counts), std::invalid_argument);
  std::vector<std::int16_t> two(2);
  const std::vector<int> three = {1, 2, 3};
  EXPECT_THROW(analyzer.CountBeams(raw, three, 1.8, 1, two), std::invalid_argument);
  EXPECT_EQ(raw, interval);  // nothing clipped before the checks

  // Exports: one line per beam, as the routine exports beam after beam.
  testing::TempFolder dir;
  std::filesystem::create_directories(dir.path() / "one");
  std::filesystem::create_directories(dir.path() / "batch");
  std::vector<int> beams;
  for (int b = 0; b < 20; ++b) beams.push_back(b * 3);
  Buffer single = interval;
  IntervalAnalyzer one;
  for (int b : beams) {
    MarkExport to{dir.path() / "one", 77};
    one.Count(single, b, 1.8, 0, &to);
  }
  Buffer batch = interval;
  MarkExport to{dir.path() / "batch", 77};
  std::vector<std::int16_t> batchCounts(beams.size());
  std::vector<std::error_code> errors(beams.size(), std::make_error_code(std::errc::io_error));
  analyzer.CountBeams(batch, beams, 1.8, 0, batchCounts, &to, errors);
  EXPECT_EQ(batch, single);
  for (std::size_t k = 0; k < beams.size(); ++k) {
    EXPECT_FALSE(errors[k]) << beams[k];
    const std::string name = "ch" + std::to_string(beams[k]) + ".raw";
    EXPECT_EQ(dir.read("batch/" + name), dir.read("one/" + name)) << name;
  }
  EXPECT_EQ(int(std::count(analyzer.Marks().begin(), analyzer.Marks().end(), '1')), batchCounts.back());
}

// Several threads count an interval as one analyzer does (counts, clipped
// buffer, export files); a failure of the work done alongside is reported
// after every beam is counted, and the counter goes on working.
TEST(IntervalCount, ThreadsShareTheBeamsOfAnInterval) {
  std::mt19937 rng(41);
  const Buffer interval = RealisticInterval(rng);
  std::vector<int> beams;
  for (int b = 0; b < kChannelSlots; ++b) {
    if (b % 5 != 1) beams.push_back(b);
  }
  testing::TempFolder dir;
  for (const char* sub : {"one", "three"}) std::filesystem::create_directories(dir.path() / sub);
  Buffer single = interval;
  std::vector<std::int16_t> expected(beams.size());
  IntervalAnalyzer analyzer;
  MarkExport toOne{dir.path() / "one", 9};
  analyzer.CountBeams(single, beams, 1.8, 1, expected, &toOne);

  ParallelBeamCounter counter(3);
  EXPECT_EQ(counter.threads(), 3);
  Buffer shared = interval;
  std::vector<std::int16_t> counts(beams.size(), -1);
  std::vector<std::error_code> errors(beams.size());
  MarkExport toThree{dir.path() / "three", 9};
  bool ranAlongside = false;
  counter.Count(shared, beams, 1.8, 1, counts, &toThree, errors, [&] { ranAlongside = true; });
  EXPECT_TRUE(ranAlongside);
  EXPECT_EQ(counts, expected);
  EXPECT_EQ(shared, single);
  for (int b : {0, 2, 77, 384}) {
    const std::string name = "ch" + std::to_string(b) + ".raw";
    EXPECT_EQ(dir.read("three/" + name), dir.read("one/" + name)) << name;
  }

  shared = interval;
  counts.assign(beams.size(), -1);
  EXPECT_THROW(counter.Count(shared, beams, 1.8, 2, counts, nullptr, {}, [] { throw std::runtime_error("read"); }),
               std::runtime_error);
  EXPECT_EQ(std::count(counts.begin(), counts.end(), -1), 0);
  const std::vector<int> unordered = {3, 2};
  std::vector<std::int16_t> two(2);
  EXPECT_THROW(counter.Count(shared, unordered, 1.8, 2, two, nullptr, {}), std::invalid_argument);
  single = interval;
  analyzer.CountBeams(single, beams, 1.8, 2, expected);
  shared = interval;
  counter.Count(shared, beams, 1.8, 2, counts, nullptr, {});
  EXPECT_EQ(counts, expected);
  EXPECT_EQ(shared, single);
  EXPECT_GE(DefaultCountThreads(), 1);
  EXPECT_LE(DefaultCountThreads(), 2);
}

// The whole-number facts the lane form rests on, over their whole ranges.
TEST(IntervalCount, LaneArithmeticFacts) {
  // floor(v / 30) from a 16-bit multiply, for every 16-bit v.
  for (std::uint32_t v = 0; v < 65536; ++v) ASSERT_EQ((v * 34953u) >> 20, v / 30) << v;
  // round(W / 30) halves to even, for every peak sum of 30 12-bit samples.
  for (int w = 0; w <= 30 * 4095; ++w) {
    ASSERT_EQ((w + 44) / 60 + (w + 15) / 60, RoundHalfEven(w / 30.0)) << w;
  }
  // round(T / 4) halves to even is (T + 2) / 4 less one when T = 8k + 2.
  for (int t = 0; t < 65536 - 2; ++t) {
    const int fast = ((t + 2) >> 2) - (((t + 2) & 7) == 4 ? 1 : 0);
    ASSERT_EQ(fast, RoundHalfEven(t / 4.0)) << t;
  }
}

#if ORB_SIGNAL_SSE2
// The lanes' plain form (used where SSE2 is missing) gives what the SSE2
// form gives, operation by operation, on random and extreme values.
TEST(IntervalCount, PortableLanesMatchTheMachineLanes) {
  namespace p = lanes::portable;
  namespace m = lanes::sse2;
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> any(-32768, 32767);
  const std::int16_t special[] = {0, 1, -1, 32767, -32768, 4095, 15, 44};
  auto fill = [&](std::int16_t* v) {
    for (int l = 0; l < 8; ++l) v[l] = rng() % 4 == 0 ? special[rng() % 8] : static_cast<std::int16_t>(any(rng));
  };
  auto same16 = [](auto a, auto b, const char* what) {
    std::int16_t x[8], y[8];
    p::Store(x, a);
    m::Store(y, b);
    for (int l = 0; l < 8; ++l) ASSERT_EQ(x[l], y[l]) << what << " lane " << l;
  };
  for (int round = 0; round < 2000; ++round) {
    std::int16_t a[8], b[8];
    fill(a);
    fill(b);
    const p::I16 pa = p::Load(a), pb = p::Load(b);
    const m::I16 ma = m::Load(a), mb = m::Load(b);
    same16(pa + pb, ma + mb, "+");
    same16(pa - pb, ma - mb, "-");
    same16(pa & pb, ma & mb, "&");
    same16(pa | pb, ma | mb, "|");
    same16(pa ^ pb, ma ^ mb, "^");
    same16(p::AndNot(pa, pb), m::AndNot(ma, mb), "andnot");
    same16(p::AddSatU(pa, pb), m::AddSatU(ma, mb), "addsatu");
    same16(p::Min(pa, pb), m::Min(ma, mb), "min");
    same16(p::Max(pa, pb), m::Max(ma, mb), "max");
    same16(p::Gt(pa, pb), m::Gt(ma, mb), "gt");
    same16(p::Eq(pa, pb), m::Eq(ma, mb), "eq");
    same16(p::ShrU<3>(pa), m::ShrU<3>(ma), "shr");
    same16(p::Shl<1>(pa), m::Shl<1>(ma), "shl");
    same16(p::MulHiU(pa, pb), m::MulHiU(ma, mb), "mulhi");
    same16(p::MulLo(pa, pb), m::MulLo(ma, mb), "mullo");
    same16(p::Select(p::Gt(pa, pb), pa, pb), m::Select(m::Gt(ma, mb), ma, mb), "select");
    ASSERT_EQ(p::LaneBits(p::Gt(pa, pb)), m::LaneBits(m::Gt(ma, mb)));
    ASSERT_EQ(p::Any(p::Eq(pa, pb)), m::Any(m::Eq(ma, mb)));

    std::int32_t w[8], x[8], y[8];
    p::Store(w, p::Widen(pa) - p::WideMul(pb, 50));
    m::Store(x, m::Widen(ma) - m::WideMul(mb, 50));
    for (int l = 0; l < 8; ++l) ASSERT_EQ(w[l], x[l]);
    for (int l = 0; l < 8; ++l) y[l] = static_cast<std::int32_t>(rng());
    same16(p::NarrowSigned(p::Load(y) + p::Load(w)), m::NarrowSigned(m::Load(y) + m::Load(x)), "narrow");

    double da[8], db[8], dp[8], dm[8];
    p::Store(dp, p::ToF64(p::Load(y)));
    m::Store(dm, m::ToF64(m::Load(y)));
    for (int l = 0; l < 8; ++l) ASSERT_EQ(dp[l], dm[l]);
    for (int l = 0; l < 8; ++l) {
      da[l] = (double(rng()) - 2147483648.0) / 977.0;
      db[l] = l % 3 == 0 ? da[l] : (double(rng()) - 2147483648.0) / 977.0;
    }
    const p::F64 fa = p::Load(da), fb = p::Load(db);
    const m::F64 ga = m::Load(da), gb = m::Load(db);
    auto sameF = [&](const p::F64& u, const m::F64& v, const char* what) {
      p::Store(dp, u);
      m::Store(dm, v);
      for (int l = 0; l < 8; ++l) ASSERT_EQ(std::memcmp(&dp[l], &dm[l], sizeof(double)), 0) << what << " " << l;
    };
    sameF(fa + fb, ga + gb, "+");
    sameF(fa - fb, ga - gb, "-");
    sameF(fa / 500.0, ga / 500.0, "/");
    sameF(p::Abs(fa), m::Abs(ga), "abs");
    sameF(p::Select(p::Gt(fa, fb), fa, fb), m::Select(m::Gt(ga, gb), ga, gb), "select");
    ASSERT_EQ(p::LaneBits(p::Eq(fa, fb) | p::Gt(fb, fa)), m::LaneBits(m::Eq(ga, gb) | m::Gt(gb, ga)));
  }
}
#endif

}  // namespace orb
