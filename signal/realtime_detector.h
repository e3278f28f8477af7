// The real-time detector: sample by sample, each beam's signal is compared
// with a lower threshold trace that follows the beam's recent level, and
// every dip below it is counted as one movement. The same detector measures
// a blank reading: the depth of the dips an empty or still plate shows
// gives each beam its threshold band.
//
// The detector works on the acquisition's tables (the sample ring, the
// trace, the bands and the counts), which the engine owns because the live
// trace and the interval analysis use them too; it keeps only its own
// per-beam state.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/beam_geometry.h"

namespace orb {

// TotalCounts grows only while at most this: the running total is a
// 16-bit display figure, held below five digits.
inline constexpr int kTotalCountsLimit = 9999;

// Methods 0 and 1 take the highest sample of the last window (DSP_Interval
// samples) as the beam's level; method 2 the highest of the last 10, so that
// its trace follows quick changes of level.
inline constexpr int kMethod2LevelSamples = 10;
// Dips are counted from one and a half windows on: the first window fills
// the samples behind the trace, the next half lets the trace settle.
inline constexpr double kDetectionStartWindows = 1.5;
// A blank reading's band is the deepest dip seen, in percent, plus 15 % of it.
inline constexpr double kBlankBandMargin = 1.15;
// The running minimum of a blank reading before its first sample: above any
// 12-bit reading.
inline constexpr std::int16_t kNoMinimumYet = 10000;

// The tables one detector step reads and writes, indexed [slot *
// kChannelSlots + beam] (ring slots 0..ringSize-1) or [beam].
struct DetectorTables {
  const std::vector<std::int16_t>& raw;           // the sample ring
  std::vector<std::int16_t>& lower;               // the lower threshold trace
  int ringSize = 500;                             // RT_Buffer
  std::array<double, kChannelSlots>& bands;       // threshold band of each beam, percent
  std::array<std::int16_t, kChannelSlots>& intervalCounts;
  std::array<std::int16_t, kChannelSlots>& totalCounts;
};

// Where the acquisition stands at the sample just stored.
struct DetectorSample {
  int slot = 0;                 // ring slot of the sample
  std::int32_t tickCount = 0;   // samples since the run started
  int windowCounter = 0;        // samples into the current window
  int windowLength = 30;        // DSP_Interval
  int method = 1;               // DSP_Method: 0, 1 or 2
  bool blankReading = false;
  bool blankComplete = false;   // the blank reading has taken all its samples
};

class RealTimeDetector {
 public:
  // Flags cleared; a blank reading's range as before its first sample.
  void ResetFlags();
  void StartBlankReading();

  // One sample of every beam. During a blank reading each beam's band
  // follows the range seen so far; when the reading is complete, the beam
  // being handled ends it: `blankFinished` runs once and the beams after it
  // in this sample are already handled as counting beams. Otherwise the
  // trace takes its value at this slot and, from kDetectionStartWindows
  // windows on, a dip below it is counted (method 0: at most one per window,
  // at the window's end; methods 1 and 2: at the fall below the trace).
  // Throws CounterOverflow when a value does not fit its table.
  void Step(const DetectorSample& sample, DetectorTables& t, const std::function<void()>& blankFinished);

  std::array<std::int16_t, kChannelSlots> RunningMax{}, RunningMin{};
  std::array<std::int16_t, kChannelSlots> BelowFlag{}, EventPending{};

 private:
  void BlankBeam(int beam, const DetectorSample& s, DetectorTables& t);
  void CountBeam(int beam, const DetectorSample& s, DetectorTables& t);
};

}  // namespace orb
