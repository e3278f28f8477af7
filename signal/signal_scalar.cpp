// The interval count routine on one beam, in the routine's own arithmetic:
// noise level, clipping trace, lower trace and the three detection methods.
// Takes any samples, any detection factor and any interval length n (the
// run's RT_Buffer): every bound of the routine is a distance from the end of
// the interval (n = 500: noise passes over samples 2..498, method 2's
// windows forward below 449 and residual means forward up to 488). The lane
// form (signal_block.cpp) leaves the beams outside its range to it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "signal/signal_block.h"
#include "signal/signal_support.h"

namespace orb::signal_detail {

namespace {

constexpr int kBaselineStart = 9999;

struct NoiseFigures {
  int noise = 0;
  int level = 0;
};

// Peak and valley traces carried over samples 2..n-2 from `start` at
// positions 0 and 1; noise = rounded mean of peak - valley, level = rounded
// mean of the signal over the same samples. Only the peak trace is kept.
NoiseFigures PeakValleyPass(const int* x, int n, int start, int* peak) {
  int p = start;
  int v = start;
  peak[0] = peak[1] = start;
  long long noiseSum = 0;
  long long levelSum = 0;
  int count = 0;
  for (int k = 2; k <= n - 2; ++k) {
    const int prev = x[k - 1];
    const bool valley = (prev < x[k - 2]) & (prev < x[k]);
    const bool top = (prev > x[k - 2]) & (prev > x[k]);
    v = valley ? prev : v;
    p = top ? prev : p;
    peak[k] = p;
    noiseSum += p - v;
    levelSum += x[k];
    ++count;
  }
  peak[n - 1] = p;  // read by no window; kept defined
  return {static_cast<int>(RoundEven(double(noiseSum) / count)),
          static_cast<int>(RoundEven(double(levelSum) / count))};
}

// Rounded means of the 30 peak-trace values before each sample i (i > 29)
// or after it (i <= 29), from a running prefix sum.
void PeakMeans(const int* peak, int n, int* mean) {
  std::vector<long long> prefix(static_cast<std::size_t>(n));  // prefix[k] = peak[0] + ... + peak[k - 1], k = 0..n-1
  prefix[0] = 0;
  for (int k = 0; k < n - 1; ++k) prefix[k + 1] = prefix[k] + peak[k];
  for (int i = 0; i < n; ++i) {
    const int lo = i > 29 ? i - kPeakWindow : i + 1;
    const long long sum = prefix[lo + kPeakWindow] - prefix[lo];
    mean[i] = static_cast<int>(RoundEven(double(sum) / kPeakWindow));
  }
}

// round(x) halves to even, kept in 16 bits (SaturateRound16), as a double:
// the traces below are recurrences, and staying in doubles keeps integer
// conversions off their chain of dependent steps.
inline double SaturateRoundAsDouble(double x) {
  constexpr double kShift = 6755399441055744.0;  // 1.5 x 2^52, see RoundEven
  if (x != x) return 0;
  if (x >= 32767.0) return 32767;
  if (x <= -32768.0) return -32768;
  return (x + kShift) - kShift;
}

// The upper and lower traces: factor x a for the first four samples, then
// the mean of (band x a / 100) and the trace's three previous values, a
// being the sample's rounded peak mean.
void SmoothedTrace(const int* mean, int n, double startFactor, double band, std::int16_t* out) {
  std::vector<double> t(static_cast<std::size_t>(n));
  for (int i = 0; i < 4; ++i) t[i] = SaturateRoundAsDouble(startFactor * mean[i]);
  for (int i = 4; i < n; ++i)
    t[i] = SaturateRoundAsDouble((band * mean[i] / 100 + t[i - 3] + t[i - 2] + t[i - 1]) / 4);
  for (int i = 0; i < n; ++i) out[i] = static_cast<std::int16_t>(t[i]);
}

// Method 2 (motility index): distance of the signal above its running
// minimum, smoothed, and movements counted as turns of that distance that
// last ten steps and depart from the turn value by more than the noise.
//
// The 50-sample minima come from block minima. The baseline mean of a forward
// window is its integer sum / 50; the baseline from index n-51 on (449..499
// of a 500-sample interval) is smoothed in place over values already
// smoothed, summed back from the index. The residuals and their means are
// reals, each window summed in the order it lists its values.
int CountMotility(const int* x, int n, int floorNoise, std::int16_t* lower, char* marks) {
  const int forwardEnd = ForwardEnd(n);
  const int residualForwardEnd = ResidualForwardEnd(n);
  // 1. Baseline: minimum of the 50 samples from E forward (E < n-51) or
  //    back (from there on). Sliding minimum by blocks of 50: a window is
  //    the end of one block and the start of the next, so its minimum is the
  //    smaller of the suffix minimum and the prefix minimum there (the last
  //    block may be shorter).
  std::vector<int> prefixMin(static_cast<std::size_t>(n));
  std::vector<int> suffixMin(static_cast<std::size_t>(n));
  for (int blockStart = 0; blockStart < n; blockStart += kBaseWindow) {
    const int blockEnd = std::min(blockStart + kBaseWindow, n) - 1;
    prefixMin[blockStart] = x[blockStart];
    for (int k = blockStart + 1; k <= blockEnd; ++k) prefixMin[k] = std::min(prefixMin[k - 1], x[k]);
    suffixMin[blockEnd] = x[blockEnd];
    for (int k = blockEnd - 1; k >= blockStart; --k) suffixMin[k] = std::min(suffixMin[k + 1], x[k]);
  }
  std::vector<int> windowMin(std::size_t(n - kBaseWindow + 1));
  for (int start = 0; start <= n - kBaseWindow; ++start)
    windowMin[start] = std::min(suffixMin[start], prefixMin[start + kBaseWindow - 1]);
  std::vector<int> base(static_cast<std::size_t>(n));
  for (int e = 0; e < n; ++e) {
    base[e] = std::min(kBaselineStart, windowMin[e < forwardEnd ? e : e - kBaseWindow + 1]);
  }

  // 2. Smoothed baseline.
  std::vector<long long> basePrefix(std::size_t(n) + 1);
  basePrefix[0] = 0;
  for (int k = 0; k < n; ++k) basePrefix[k + 1] = basePrefix[k] + base[k];
  std::vector<double> smooth(static_cast<std::size_t>(n));
  for (int e = 0; e < forwardEnd; ++e) {
    smooth[e] = double(basePrefix[e + kBaseWindow] - basePrefix[e]) / kBaseWindow;
  }
  for (int e = forwardEnd; e < n; ++e) {
    double acc = base[e];
    for (int k = e - 1; k >= e - kBaseWindow + 1; --k) acc += smooth[k];
    smooth[e] = acc / kBaseWindow;
  }

  // 3. Residuals and their ten-sample means, summed in the order the
  //    windows list them (forward from i, or back from i).
  std::vector<double> r(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) r[k] = x[k] - smooth[k];
  std::vector<double> s(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    double sum = 0;
    if (i <= residualForwardEnd) {
      for (int k = i; k < i + kResidualWindow; ++k) sum += r[k];
    } else {
      for (int k = i; k > i - kResidualWindow; --k) sum += r[k];
    }
    s[i] = sum / kResidualWindow;
  }

  // 4. Turning points.
  int count = 0;
  bool rising = false;
  int steps = 0;
  long long turn = 0;
  // The displayed trace is written from sample 1 on; sample 0 keeps what
  // the last call left there.
  for (int j = 1; j < n; ++j) {
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
      marks[j] = '1';
    }
    lower[j] = SaturateRound16(s[j] - floorNoise);
  }
  return count;
}

}  // namespace

BeamFigures CountSamples(int* x, int n, double snrFactor, int method, std::int16_t* upper, std::int16_t* lower,
                         char* marks) {
  std::fill(marks, marks + n, '0');
  std::vector<int> peakTrace(static_cast<std::size_t>(n));
  std::vector<int> meanTrace(static_cast<std::size_t>(n));
  int* peak = peakTrace.data();
  int* mean = meanTrace.data();

  // 1. Noise level of the signal as recorded.
  NoiseFigures first = PeakValleyPass(x, n, x[1], peak);
  double p = first.level >= 1 ? double(first.noise) / first.level * 100 * snrFactor : snrFactor;
  double b = std::max(p + 1, 1.0);

  // 2. Upper trace; samples above it are clipped.
  PeakMeans(peak, n, mean);
  SmoothedTrace(mean, n, (b + 100) / 100, b + 100, upper);
  for (int i = 0; i < n; ++i) x[i] = std::min<int>(x[i], upper[i]);

  // 3. Noise level of the clipped signal.
  NoiseFigures second = PeakValleyPass(x, n, x[2], peak);
  p = second.level > 0 && second.noise < second.level ? double(second.noise) / second.level * 100 * snrFactor
                                                      : snrFactor;
  b = std::max(p + 1, 1.0);
  BeamFigures out;
  out.noise = second.noise;
  out.level = second.level;
  out.band = b;
  const int floorNoise = std::max(second.noise, 5);

  if (method == kMethodThresholdBinary || method == kMethodThresholdAverage) {
    // 4. Lower trace from the second pass's peak trace.
    PeakMeans(peak, n, mean);
    SmoothedTrace(mean, n, (100 - 1.75 * b) / 100, 100 - b, lower);
    if (method == kMethodThresholdBinary) {
      // At most one event per 30-sample window, taken at samples 30, 60, ...
      bool pending = false;
      int window = 0;
      for (int e = 0; e < n; ++e) {
        if (x[e] < lower[e]) pending = true;
        if (window == kPeakWindow && pending) {
          ++out.count;
          marks[e] = '1';
          pending = false;
        }
        window = window == kPeakWindow ? 1 : window + 1;
      }
    } else {
      // Every crossing below the lower trace counts once.
      bool below = false;
      for (int e = 0; e < n; ++e) {
        if (x[e] < lower[e]) {
          if (!below) {
            ++out.count;
            marks[e] = '1';
            below = true;
          }
        } else if (x[e] > lower[e]) {
          below = false;
        }
      }
    }
  } else if (method == kMethodMotilityIndex) {
    out.count = CountMotility(x, n, floorNoise, lower, marks);
  }
  return out;
}

}  // namespace orb::signal_detail
