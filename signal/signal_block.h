// The two forms of the interval count routine behind IntervalAnalyzer
// (internal to the signal routines):
//
// - CountSamples: one beam at a time, in the routine's own arithmetic
//   (doubles rounded half to even, 16-bit saturation). It accepts any
//   samples and any detection factor.
// - CountLanes: eight beams at a time in 16-bit lanes (signal_lanes.h),
//   with whole-number arithmetic shown to give the same results. It takes
//   the beams the instrument can give (samples 0..4095) whose traces stay
//   within range; a beam outside that is left to CountSamples.
#pragma once

#include <cstdint>

#include "signal/signal_analysis.h"
#include "signal/signal_lanes.h"

namespace orb::signal_detail {

inline constexpr int kN = kSignalSamples;
inline constexpr int kLanes = lanes::kLanes;
inline constexpr int kPeakWindow = 30;      // samples of the peak-trace means
inline constexpr int kBaseWindow = 50;      // method 2: samples of the baseline minimum and mean
inline constexpr int kResidualWindow = 10;  // method 2: samples of the residual means
// Method 2 on an interval of n samples: the 50-sample windows look forward
// below index n - 51 and back from there on; the ten-sample residual means
// look forward up to index n - 12 and back after it (449 and 488 for 500).
constexpr int ForwardEnd(int n) { return n - kBaseWindow - 1; }
constexpr int ResidualForwardEnd(int n) { return n - kResidualWindow - 2; }
inline constexpr int kForwardEnd = ForwardEnd(kN);
inline constexpr int kResidualForwardEnd = ResidualForwardEnd(kN);
inline constexpr int kTurnSteps = 10;       // method 2: steps after a turn at which a movement counts
inline constexpr int kLaneSampleMax = 4095; // the instrument's 12-bit range, taken by the lanes
inline constexpr int kPeakRing = 32;        // peak-trace values kept for the 30-sample means
// Method 2: windows 0..439 end below index 449 (whole-number residuals);
// windows 440..499 reach the baseline smoothed backward.
inline constexpr int kIntegerWindows = kForwardEnd - kResidualWindow + 1;
inline constexpr int kTailWindows = kN - kIntegerWindows;
// The smoothed baseline from here on is read by the backward means.
inline constexpr int kSmoothFrom = kForwardEnd - kBaseWindow + 1;

// The noise figures and outcome of one beam.
struct BeamFigures {
  int count = 0;
  int noise = 0;  // rounded noise and level of the second pass
  int level = 0;
  double band = 0;  // the second pass's band (percent)
};

// The count routine on one beam's n samples x[0..n-1] (clipped in place),
// n at least kSignalMinSamples. Writes upper[0..n-1] and marks[0..n-1]
// ('0'/'1'); lower[0..n-1] only for methods 0, 1 and 2.
BeamFigures CountSamples(int* x, int n, double snrFactor, int method, std::int16_t* upper, std::int16_t* lower,
                         char* marks);

// Eight beams side by side: sample n of lane l at [n][l].
struct LaneBlock {
  alignas(16) std::int16_t x0[kN][kLanes];    // the samples as given (see rows)
  alignas(16) std::int16_t x[kN][kLanes];     // clipped
  alignas(16) std::int16_t peak[kPeakRing][kLanes];  // the last peak-trace values of the current pass
  alignas(16) std::int16_t mean[kN][kLanes];  // its rounded 30-sample means
  alignas(16) std::int16_t upper[kN][kLanes];
  alignas(16) std::int16_t lower[kN][kLanes];     // methods 0 and 1
  std::uint8_t events[kN];  // bit l set where lane l made a count
  // Method 2: ten-sample residual sums (x 50) of the windows that lie
  // within the forward part, and the residual means of the others.
  alignas(16) std::int32_t residualSum[kIntegerWindows][kLanes];
  alignas(16) double tailMean[kTailWindows][kLanes];
  // Method 2 working space: baseline and running minima, whole residuals
  // (x 50) below index 449, the smoothed baseline from index 400 on, and
  // the residuals (x 50) of the windows from 440 on, in doubles.
  alignas(16) std::int16_t base[kN][kLanes];
  alignas(16) std::int16_t work[kN][kLanes];
  alignas(16) std::int32_t residual[kForwardEnd][kLanes];
  alignas(16) double smooth[kN - kSmoothFrom][kLanes];
  alignas(16) double tailResidual[kN - kIntegerWindows][kLanes];

  // When set (eight neighbouring beams), the caller's buffer at the block's
  // first beam (sample n at rows[n x 385]): the first pass reads the samples
  // from it into x0, and the clipped samples are written back to it.
  // Otherwise the caller fills x0 and writes back itself.
  std::int16_t* rows = nullptr;

  // Per lane, set by CountLanes.
  bool exact[kLanes];  // false: the lane is to be counted by CountSamples
  BeamFigures figures[kLanes];
};

// Counts the eight lanes of `block` (rows or x0 filled), and when
// `other` is given its eight lanes too (two blocks side by side run method
// 2's chains of dependent additions at once). Lanes marked not exact hold
// no result (and may have written anything to rows).
void CountLanes(LaneBlock& block, double snrFactor, int method, LaneBlock* other = nullptr);

// Method 2 on the clipped lanes of `block` and of `other` when given (exact
// lanes only matter); floorNoise[l] = the lane's noise, at least 5.
void CountMotilityLanes(LaneBlock& block, const int* floorNoise, LaneBlock* other = nullptr,
                        const int* otherNoise = nullptr);

// Method 2's displayed trace (the residual mean less the noise) of lane l,
// samples 1..499 (sample 0 is left as it is),
// after CountMotilityLanes.
void MotilityTrace(const LaneBlock& block, int lane, int floorNoise, std::int16_t* out);

}  // namespace orb::signal_detail
