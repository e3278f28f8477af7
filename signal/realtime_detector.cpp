#include "signal/realtime_detector.h"

#include <algorithm>
#include <cmath>

#include "signal/checked_math.h"

namespace orb {
namespace {

std::size_t At(int slot, int beam) { return std::size_t(slot) * kChannelSlots + beam; }
int Wrap(int n, int size) { return ((n % size) + size) % size; }

}  // namespace

void RealTimeDetector::ResetFlags() {
  BelowFlag.fill(0);
  EventPending.fill(0);
}

void RealTimeDetector::StartBlankReading() {
  RunningMax.fill(0);
  ResetFlags();
  RunningMin.fill(kNoMinimumYet);
}

void RealTimeDetector::Step(const DetectorSample& sample, DetectorTables& t,
                            const std::function<void()>& blankFinished) {
  const int N = sample.windowLength;
  if (sample.tickCount <= N) return;
  DetectorSample s = sample;
  for (int beam = 0; beam < kChannels; ++beam) {
    if (s.slot == 0) t.intervalCounts[beam] = 0;
    if (s.blankReading) {
      BlankBeam(beam, s, t);
      if (s.blankComplete) {
        s.blankReading = false;
        BlankBeam(beam, s, t);
        if (blankFinished) blankFinished();
      }
      continue;
    }
    CountBeam(beam, s, t);
  }
}

void RealTimeDetector::BlankBeam(int beam, const DetectorSample& s, DetectorTables& t) {
  const std::int16_t x = t.raw[At(s.slot, beam)];
  RunningMax[beam] = std::max(RunningMax[beam], x);
  RunningMin[beam] = std::min(RunningMin[beam], x);
  if (RunningMin[beam] < kNoMinimumYet && RunningMax[beam] > 0) {
    double& band = t.bands[beam];
    band = std::floor((1.0 - double(RunningMin[beam]) / RunningMax[beam]) * 100.0 * kBlankBandMargin) + 1.0;
    if (band < 1.0) band = 1.0;
    t.lower[At(s.slot, beam)] = Round16((100.0 - band) / 100.0 * x);
  }
}

void RealTimeDetector::CountBeam(int beam, const DetectorSample& s, DetectorTables& t) {
  const int N = s.windowLength;
  const int n = s.slot;
  auto raw = [&](int k) { return t.raw[At(Wrap(k, t.ringSize), beam)]; };
  auto lowerAt = [&](int k) -> std::int16_t& { return t.lower[At(Wrap(k, t.ringSize), beam)]; };
  const std::int16_t x = t.raw[At(n, beam)];
  const double band = t.bands[beam];

  // The trace: the beam's level lowered by its band; methods 0 and 1 smooth
  // it with the trace's three previous values.
  std::int16_t& lower = t.lower[At(n, beam)];
  if (s.method == 2) {
    int m = 0;
    for (int k = 1; k <= kMethod2LevelSamples; ++k) m = std::max<int>(m, raw(n - k));
    lower = Round16((100.0 - band) * m / 100.0);
  } else if (s.method == 0 || s.method == 1) {
    int m = 0;
    for (int k = 1; k <= N; ++k) m = std::max<int>(m, raw(n - k));
    const int sum = lowerAt(n - 1) + lowerAt(n - 2) + lowerAt(n - 3);
    lower = Round16(((100.0 - band) * m / 100.0 + sum) / 4.0);
  }
  if (s.tickCount == N + 1) {
    // The first computed trace value spreads over the window behind it.
    if (n < N) {
      const std::int16_t v = t.lower[At(1, beam)];
      for (int k = 0; k <= n; ++k) t.lower[At(k, beam)] = v;
    } else {
      const std::int16_t v = t.lower[At(n - N + 1, beam)];
      for (int k = n - N; k <= n; ++k) t.lower[At(k, beam)] = v;
    }
  }
  if (!(s.tickCount > kDetectionStartWindows * N)) return;

  const std::int16_t threshold = t.lower[At(n, beam)];
  std::int16_t& total = t.totalCounts[beam];
  std::int16_t& interval = t.intervalCounts[beam];
  if (s.method == 0) {
    // One movement at most per window: a fall below the trace marks the
    // window, and the mark is counted when the window ends.
    if (x < threshold) {
      if (BelowFlag[beam] == 0) {
        BelowFlag[beam] = -1;
        EventPending[beam] = 1;
      }
    } else if (BelowFlag[beam] == -1) {
      BelowFlag[beam] = 0;
    }
    if (s.windowCounter >= N) {
      if (EventPending[beam] == 1) {
        if (total <= kTotalCountsLimit) total = Checked16(total + 1);
        interval = Checked16(interval + 1);
      }
      EventPending[beam] = 0;
    }
  } else if (s.method == 1 || s.method == 2) {
    // Every fall below the trace is one movement.
    if (x < threshold && BelowFlag[beam] == 0) {
      BelowFlag[beam] = -1;
      if (total <= kTotalCountsLimit) total = Checked16(total + 1);
      interval = Checked16(interval + 1);
      EventPending[beam] = 1;
    } else if (x >= threshold && BelowFlag[beam] == -1) {
      BelowFlag[beam] = 0;
      EventPending[beam] = 0;
    }
  }
}

}  // namespace orb
