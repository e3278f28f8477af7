#include "signal/realtime_detector.h"

#include <gtest/gtest.h>

#include "signal/checked_math.h"

namespace orb {
namespace {

constexpr int kRing = 500;

// A detector on tables of its own, fed one sample of every beam at a time.
struct Bench {
  std::vector<std::int16_t> raw = std::vector<std::int16_t>(std::size_t(kChannelSlots) * (kRing + 1), 0);
  std::vector<std::int16_t> lower = std::vector<std::int16_t>(raw.size(), 0);
  std::array<double, kChannelSlots> bands{};
  std::array<std::int16_t, kChannelSlots> interval{}, total{};
  DetectorTables tables{raw, lower, kRing, bands, interval, total};
  RealTimeDetector detector;
  DetectorSample s;
  int finished = 0;

  explicit Bench(int method, double band = 10.0) {
    s.method = method;
    s.windowLength = 30;
    bands.fill(band);
  }
  // Stores `value` for every beam at the next sample and runs the step.
  void feed(std::int16_t value) {
    for (int b = 0; b < kChannelSlots; ++b) raw[std::size_t(s.slot) * kChannelSlots + b] = value;
    ++s.tickCount;
    detector.Step(s, tables, [this] { ++finished; });
    s.slot = (s.slot + 1) % kRing;
    s.windowCounter = s.windowCounter < s.windowLength ? s.windowCounter + 1 : 0;
  }
};

TEST(RealTimeDetector, CountsOnlyAfterOneAndAHalfWindows) {
  Bench b(1);
  for (int i = 0; i < 45; ++i) b.feed(i % 2 ? 1000 : 500);  // a dip every other sample
  EXPECT_EQ(b.total[0], 0);                                  // tick 45 = 1.5 windows: not yet
  b.feed(1000);
  b.feed(500);
  EXPECT_EQ(b.total[0], 1);
  EXPECT_EQ(b.interval[383], 1);
  EXPECT_EQ(b.interval[384], 0);  // the spare slot is never counted
}

TEST(RealTimeDetector, MethodOneCountsEachFallAndMethodZeroOncePerWindow) {
  for (int method : {0, 1}) {
    Bench b(method);
    for (int i = 0; i < 60; ++i) b.feed(1000);
    while (b.s.windowCounter != 1) b.feed(1000);
    ASSERT_EQ(b.total[7], 0) << method;
    // Three separate dips within one window.
    for (int i = 0; i < 3; ++i) {
      b.feed(500);
      b.feed(1000);
      b.feed(1000);
    }
    for (int i = 0; i < 31; ++i) b.feed(1000);
    EXPECT_EQ(b.total[7], method == 0 ? 1 : 3) << method;
  }
}

TEST(RealTimeDetector, MethodTwoFollowsTheLastTenSamples) {
  Bench b(2);
  for (int i = 0; i < 60; ++i) b.feed(1000);
  b.feed(900);  // 900 is above 90 % of the last ten samples (900 = 0.9 * 1000): no dip
  EXPECT_EQ(b.total[0], 0);
  EXPECT_EQ(b.lower[std::size_t(60) * kChannelSlots], 900);
  // A lower level: after ten samples of 600 the trace is 540, and 600 is no dip.
  for (int i = 0; i < 10; ++i) b.feed(600);
  b.feed(600);
  EXPECT_EQ(b.lower[std::size_t(71) * kChannelSlots], 540);
  EXPECT_EQ(b.total[0], 1);  // the first sample of 600 fell below 900
}

TEST(RealTimeDetector, BlankReadingSetsTheBandFromTheDeepestDipAndEndsOnce) {
  Bench b(1, 50.0);
  b.detector.StartBlankReading();
  b.s.blankReading = true;
  for (int i = 0; i < 40; ++i) b.feed(i == 35 ? 900 : 1000);
  // floor((1 - 900/1000) * 100 * 1.15) + 1 = 12
  EXPECT_DOUBLE_EQ(b.bands[0], 12.0);
  EXPECT_DOUBLE_EQ(b.bands[383], 12.0);
  EXPECT_EQ(b.lower[std::size_t(39) * kChannelSlots], 880);  // 88 % of the sample
  EXPECT_EQ(b.finished, 0);

  // The sample that completes the reading still counts for the band, and
  // the reading ends once.
  b.s.blankComplete = true;
  b.feed(800);
  EXPECT_EQ(b.finished, 1);
  // (1 - 800/1000) * 100 * 1.15 is 22.999... in binary reals: floor 22, band 23.
  EXPECT_DOUBLE_EQ(b.bands[0], 23.0);
  EXPECT_EQ(b.lower[std::size_t(40) * kChannelSlots], 616);  // 77 % of 800
}

TEST(RealTimeDetector, ValuesBeyondSixteenBitsEndTheStep) {
  Bench b(2, -4000.0);  // a band that drives the trace far above any 16-bit value
  for (int i = 0; i < 30; ++i) b.feed(1000);
  EXPECT_THROW(b.feed(1000), CounterOverflow);
}

}  // namespace
}  // namespace orb
