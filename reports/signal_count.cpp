// The interval count routine: noise level, clipping trace, lower trace and
// the three detection methods, on one beam of one interval.
#include <algorithm>
#include <cmath>
#include <string>

#include "common/format.h"
#include "reports/signal_analysis.h"
#include "reports/signal_support.h"

namespace orb {

namespace {

constexpr int kPeakWindow = 30;     // samples of the peak-trace means
constexpr int kBaseWindow = 50;     // samples of the method-2 baseline minimum and mean
constexpr int kForwardEnd = 449;    // method 2 windows look forward below this index
constexpr int kResidualWindow = 10; // samples of the method-2 residual means
constexpr int kResidualForwardEnd = 488;  // residual means look forward up to here
constexpr int kTurnSteps = 10;      // steps after a turn at which a movement counts
constexpr int kBaselineStart = 9999;

struct NoiseFigures {
  int noise = 0;
  int level = 0;
};

// Peak and valley traces carried over samples 2..498 from `start` at
// positions 0 and 1; noise = rounded mean of peak - valley, level = rounded
// mean of the signal over the same samples. Only the peak trace is kept.
NoiseFigures PeakValleyPass(const int* x, int start, int* peak) {
  int p = start;
  int v = start;
  peak[0] = peak[1] = start;
  long long noiseSum = 0;
  long long levelSum = 0;
  int count = 0;
  for (int n = 2; n <= 498; ++n) {
    const int prev = x[n - 1];
    const bool valley = (prev < x[n - 2]) & (prev < x[n]);
    const bool top = (prev > x[n - 2]) & (prev > x[n]);
    v = valley ? prev : v;
    p = top ? prev : p;
    peak[n] = p;
    noiseSum += p - v;
    levelSum += x[n];
    ++count;
  }
  return {static_cast<int>(RoundEven(double(noiseSum) / count)),
          static_cast<int>(RoundEven(double(levelSum) / count))};
}

// Rounded means of the 30 peak-trace values before each sample i (i > 29)
// or after it (i <= 29), from a running prefix sum.
void PeakMeans(const int* peak, int* mean) {
  long long prefix[500];  // prefix[k] = peak[0] + ... + peak[k - 1], k = 0..499
  prefix[0] = 0;
  for (int k = 0; k < 499; ++k) prefix[k + 1] = prefix[k] + peak[k];
  for (int i = 0; i < kSignalSamples; ++i) {
    const int lo = i > 29 ? i - kPeakWindow : i + 1;
    const long long sum = prefix[lo + kPeakWindow] - prefix[lo];
    mean[i] = static_cast<int>(RoundEven(double(sum) / kPeakWindow));
  }
}

// round(x) halves to even, kept in 16 bits (SaturateRound16), as a double:
// the traces below are recurrences, and staying in doubles keeps integer
// conversions off their chain of dependent steps.
inline double SaturateRoundToDouble(double x) {
  constexpr double kShift = 6755399441055744.0;  // 1.5 x 2^52, see RoundEven
  if (x != x) return 0;
  if (x >= 32767.0) return 32767;
  if (x <= -32768.0) return -32768;
  return (x + kShift) - kShift;
}

// The upper and lower traces: factor x a for the first four samples, then
// the mean of (band x a / 100) and the trace's three previous values, a
// being the sample's rounded peak mean.
void SmoothedTrace(const int* mean, double startFactor, double band, SignalTrace& out) {
  double t[kSignalSamples];
  for (int i = 0; i < 4; ++i) t[i] = SaturateRoundToDouble(startFactor * mean[i]);
  for (int i = 4; i < kSignalSamples; ++i)
    t[i] = SaturateRoundToDouble((band * mean[i] / 100 + t[i - 3] + t[i - 2] + t[i - 1]) / 4);
  for (int i = 0; i < kSignalSamples; ++i) out[i] = static_cast<std::int16_t>(t[i]);
}

}  // namespace

std::filesystem::path MarkExportFile(const std::filesystem::path& folder, int beam) {
  return folder / ("ch" + std::to_string(beam) + ".raw");
}

std::int16_t IntervalAnalyzer::Count(std::span<std::int16_t> raw, int beam, double snrFactor,
                                     int method, const MarkExport* exportTo) {
  CheckSignalArguments(raw.size(), beam);
  marks_.fill('0');
  exportError_.clear();

  int x[kSignalSamples];
  for (int n = 0; n < kSignalSamples; ++n) x[n] = raw[std::size_t(n) * kSignalBeamSlots + beam];

  int peak[kSignalSamples];
  int mean[kSignalSamples];

  // 1. Noise level of the signal as recorded.
  NoiseFigures first = PeakValleyPass(x, x[1], peak);
  double p = first.level >= 1 ? double(first.noise) / first.level * 100 * snrFactor : snrFactor;
  double b = std::max(p + 1, 1.0);

  // 2. Upper trace; samples above it are clipped, in the caller's buffer too.
  PeakMeans(peak, mean);
  SmoothedTrace(mean, (b + 100) / 100, b + 100, upper_);
  for (int i = 0; i < kSignalSamples; ++i) {
    if (x[i] > upper_[i]) {
      x[i] = upper_[i];
      raw[std::size_t(i) * kSignalBeamSlots + beam] = upper_[i];
    }
  }

  // 3. Noise level of the clipped signal.
  NoiseFigures second = PeakValleyPass(x, x[2], peak);
  p = second.level > 0 && second.noise < second.level
          ? double(second.noise) / second.level * 100 * snrFactor
          : snrFactor;
  b = std::max(p + 1, 1.0);
  noise_ = second.noise;
  level_ = second.level;
  band_ = b;
  const int floorNoise = std::max(second.noise, 5);

  int count = 0;
  if (method == kMethodThresholdBinary || method == kMethodThresholdAverage) {
    // 4. Lower trace from the second pass's peak trace.
    PeakMeans(peak, mean);
    SmoothedTrace(mean, (100 - 1.75 * b) / 100, 100 - b, lower_);
    if (method == kMethodThresholdBinary) {
      // At most one event per 30-sample window, taken at samples 30, 60, ...
      bool pending = false;
      int window = 0;
      for (int e = 0; e < kSignalSamples; ++e) {
        if (x[e] < lower_[e]) pending = true;
        if (window == kPeakWindow && pending) {
          ++count;
          marks_[e] = '1';
          pending = false;
        }
        window = window == kPeakWindow ? 1 : window + 1;
      }
    } else {
      // Every crossing below the lower trace counts once.
      bool below = false;
      for (int e = 0; e < kSignalSamples; ++e) {
        if (x[e] < lower_[e]) {
          if (!below) {
            ++count;
            marks_[e] = '1';
            below = true;
          }
        } else if (x[e] > lower_[e]) {
          below = false;
        }
      }
    }
  } else if (method == kMethodMotilityIndex) {
    count = CountMethod2(x, floorNoise);
  }

  // 6. Export of the marks.
  if (exportTo != nullptr) {
    std::string line = std::to_string(exportTo->time);
    line += ' ';
    line.append(marks_.data(), marks_.size());
    line += "\r\n";
    exportError_ = AppendText(MarkExportFile(exportTo->folder, beam), line);
  }
  return static_cast<std::int16_t>(count);
}

// Method 2 (motility index): distance of the signal above its running
// minimum, smoothed, and movements counted as turns of that distance that
// last ten steps and depart from the turn value by more than the noise.
//
// The 50-sample minima come from block minima. The baseline mean of a forward
// window is its integer sum / 50, so the residuals below index 449 are held
// exactly as 50 x signal - window sum and their ten-sample sums are exact
// running sums. The baseline of indices 449..499 is smoothed in place over
// values already smoothed, so those means and the residual means that reach
// them are summed in index order, as the plain form sums them.
int IntervalAnalyzer::CountMethod2(const int* x, int floorNoise) {
  // 1. Baseline: minimum of the 50 samples from E forward (E < 449) or
  //    back (E >= 449), that is of the windows starting at 0..450. Sliding
  //    minimum by blocks of 50: a window is the end of one block and the
  //    start of the next, so its minimum is the smaller of the suffix
  //    minimum and the prefix minimum there.
  static_assert(kSignalSamples % kBaseWindow == 0, "whole blocks");
  int prefixMin[kSignalSamples];
  int suffixMin[kSignalSamples];
  for (int blockStart = 0; blockStart < kSignalSamples; blockStart += kBaseWindow) {
    const int blockEnd = blockStart + kBaseWindow - 1;
    prefixMin[blockStart] = x[blockStart];
    for (int k = blockStart + 1; k <= blockEnd; ++k) prefixMin[k] = std::min(prefixMin[k - 1], x[k]);
    suffixMin[blockEnd] = x[blockEnd];
    for (int k = blockEnd - 1; k >= blockStart; --k) suffixMin[k] = std::min(suffixMin[k + 1], x[k]);
  }
  int windowMin[kSignalSamples - kBaseWindow + 1];
  for (int start = 0; start <= kSignalSamples - kBaseWindow; ++start)
    windowMin[start] = std::min(suffixMin[start], prefixMin[start + kBaseWindow - 1]);
  int base[kSignalSamples];
  for (int e = 0; e < kSignalSamples; ++e) {
    base[e] = std::min(kBaselineStart, windowMin[e < kForwardEnd ? e : e - kBaseWindow + 1]);
  }

  // 2. Smoothed baseline, kept as 50 x the mean (scaled[e]) and as the mean.
  long long basePrefix[kSignalSamples + 1];
  basePrefix[0] = 0;
  for (int k = 0; k < kSignalSamples; ++k) basePrefix[k + 1] = basePrefix[k] + base[k];
  double scaled[kSignalSamples];
  double smooth[kSignalSamples];
  for (int e = 0; e < kForwardEnd; ++e) {
    scaled[e] = double(basePrefix[e + kBaseWindow] - basePrefix[e]);
    smooth[e] = scaled[e] / kBaseWindow;
  }
  for (int e = kForwardEnd; e < kSignalSamples; ++e) {
    double acc = base[e];
    for (int k = e - 1; k >= e - kBaseWindow + 1; --k) acc += smooth[k];
    scaled[e] = acc;
    smooth[e] = acc / kBaseWindow;
  }

  // 3. Residuals (x 50) and their ten-sample means.
  double residual50[kSignalSamples];
  long long residualPrefix[kForwardEnd + 1];
  residualPrefix[0] = 0;
  for (int k = 0; k < kSignalSamples; ++k) {
    residual50[k] = 50.0 * x[k] - scaled[k];
    if (k < kForwardEnd) residualPrefix[k + 1] = residualPrefix[k] + (50LL * x[k] - static_cast<long long>(scaled[k]));
  }
  double s[kSignalSamples];
  for (int i = 0; i < kSignalSamples; ++i) {
    const int lo = i <= kResidualForwardEnd ? i : i - kResidualWindow + 1;
    const int hi = lo + kResidualWindow - 1;
    double sum;
    if (hi < kForwardEnd) {
      sum = double(residualPrefix[hi + 1] - residualPrefix[lo]);
    } else {
      sum = 0;
      for (int k = lo; k <= hi; ++k) sum += residual50[k];
    }
    s[i] = sum / (kResidualWindow * 50);
  }

  // 4. Turning points.
  int count = 0;
  bool rising = false;
  int steps = 0;
  long long turn = 0;
  lower_[0] = SaturateRound16(s[0] - floorNoise);
  for (int j = 1; j < kSignalSamples; ++j) {
    if (s[j] > s[j - 1]) {
      if (!rising) {
        rising = true;
        steps = 0;
        turn = RoundEven(s[j]);
      } else {
        ++steps;
      }
    } else if (s[j] < s[j - 1]) {
      if (rising) {
        rising = false;
        steps = 0;
        turn = RoundEven(s[j]);
      } else {
        ++steps;
      }
    }
    if (std::abs(double(turn) - s[j]) > floorNoise && steps == kTurnSteps) {
      ++count;
      marks_[j] = '1';
    }
    lower_[j] = SaturateRound16(s[j] - floorNoise);
  }
  return count;
}

}  // namespace orb
