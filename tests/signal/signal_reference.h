// The plain form of the interval count routine, kept as the reference the
// running form must match: every window is recomputed at every sample, in
// the order the routine's description gives, with the program's rounding.
// Also the interval signals the tests and the benchmarks feed to both forms.
// Shared by tests/reports/signal_analysis_test.cpp and bench/signal_bench.cpp.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/format.h"
#include "signal/signal_analysis.h"

namespace orb::signal_reference {

using Buffer = std::vector<std::int16_t>;
inline constexpr int kN = kSignalSamples;

inline std::size_t At(int slot, int beam) { return std::size_t(slot) * kChannelSlots + beam; }

inline std::int16_t Round16(double x) {
  if (x != x) return 0;
  if (x >= 32767.0) return 32767;
  if (x <= -32768.0) return -32768;
  return static_cast<std::int16_t>(RoundHalfEven(x));
}

// ---- the plain form: every window recomputed at every sample -------------

struct PlainResult {
  explicit PlainResult(int n) : lower(n, 0), upper(n, 0), marks(n, '0') {}
  int count = 0;
  SignalTrace lower;
  SignalTrace upper;
  std::string marks;
};

// The passes run over samples 2 to N-2 of an interval of N samples
// (2..498 for 500); x holds the N samples.
inline void PeakPass(const std::vector<int>& x, int start, std::vector<int>& peak, int& noise, int& level) {
  const int last = static_cast<int>(x.size()) - 2;
  std::vector<int> valley(x.size() + 1);
  peak.assign(x.size() + 1, 0);
  peak[0] = peak[1] = valley[0] = valley[1] = start;
  long long ns = 0, ls = 0, c = 0;
  for (int n = 2; n <= last; ++n) {
    peak[n] = peak[n - 1];
    valley[n] = valley[n - 1];
    if (x[n - 1] < x[n - 2] && x[n - 1] < x[n]) valley[n] = x[n - 1];
    if (x[n - 1] > x[n - 2] && x[n - 1] > x[n]) peak[n] = x[n - 1];
    ns += peak[n] - valley[n];
    ls += x[n];
    ++c;
  }
  noise = static_cast<int>(RoundHalfEven(double(ns) / c));
  level = static_cast<int>(RoundHalfEven(double(ls) / c));
}

inline int PeakMean(const std::vector<int>& peak, int i) {
  long long sum = 0;
  if (i > 29) {
    for (int k = i - 30; k <= i - 1; ++k) sum += peak[k];
  } else {
    for (int k = i + 1; k <= i + 30; ++k) sum += peak[k];
  }
  return static_cast<int>(RoundHalfEven(double(sum) / 30));
}

// One beam of `raw` counted by the plain form over an interval of `kN`
// samples (the bounds written for 500 samples taken from the end: 449 is
// kN - 51, 488 is kN - 12); clips `raw` as the routine does.
inline PlainResult PlainCount(Buffer& raw, int beam, double snr, int method, const int kN = signal_reference::kN) {
  PlainResult r(kN);
  std::vector<int> x(kN);
  for (int n = 0; n < kN; ++n) x[n] = raw[At(n, beam)];
  std::vector<int> peak;
  int noise = 0, level = 0;
  PeakPass(x, x[1], peak, noise, level);
  double p = level >= 1 ? double(noise) / level * 100 * snr : snr;
  double b = std::max(p + 1, 1.0);
  for (int i = 0; i < kN; ++i) {
    double a = PeakMean(peak, i);
    r.upper[i] = i < 4 ? Round16((b + 100) / 100 * a)
                       : Round16(((b + 100) * a / 100 + r.upper[i - 3] + r.upper[i - 2] + r.upper[i - 1]) / 4);
    if (x[i] > r.upper[i]) {
      x[i] = r.upper[i];
      raw[At(i, beam)] = r.upper[i];
    }
  }
  PeakPass(x, x[2], peak, noise, level);
  p = level > 0 && noise < level ? double(noise) / level * 100 * snr : snr;
  b = std::max(p + 1, 1.0);
  const int big = std::max(noise, 5);
  if (method == 0 || method == 1) {
    for (int e = 0; e < kN; ++e) {
      double a = PeakMean(peak, e);
      r.lower[e] = e < 4 ? Round16((100 - 1.75 * b) / 100 * a)
                         : Round16(((100 - b) * a / 100 + r.lower[e - 3] + r.lower[e - 2] + r.lower[e - 1]) / 4);
    }
    bool flag = false;
    int window = 0;
    for (int e = 0; e < kN; ++e) {
      if (method == 0) {
        if (x[e] < r.lower[e]) flag = true;
        if (window == 30 && flag) {
          ++r.count;
          r.marks[e] = '1';
          flag = false;
        }
        window = window == 30 ? 1 : window + 1;
      } else {
        if (x[e] < r.lower[e] && !flag) {
          ++r.count;
          r.marks[e] = '1';
          flag = true;
        } else if (x[e] > r.lower[e]) {
          flag = false;
        }
      }
    }
  } else if (method == 2) {
    // Baseline minimum, then smoothed in place; residuals and their
    // ten-sample means in reals, summed in the order the windows list them.
    std::vector<double> base(kN);
    for (int e = 0; e < kN; ++e) {
      int m = 9999;
      if (e < kN - 51) {
        for (int k = e; k <= e + 49; ++k) m = std::min(m, x[k]);
      } else {
        for (int k = e; k >= e - 49; --k) m = std::min(m, x[k]);
      }
      base[e] = m;
    }
    for (int e = 0; e < kN; ++e) {
      double acc = 0;
      if (e < kN - 51) {
        for (int k = e; k <= e + 49; ++k) acc += base[k];
      } else {
        for (int k = e; k >= e - 49; --k) acc += base[k];
      }
      base[e] = acc / 50;
    }
    std::vector<double> residual(kN), s(kN);
    for (int k = 0; k < kN; ++k) residual[k] = x[k] - base[k];
    for (int i = 0; i < kN; ++i) {
      double acc = 0;
      if (i <= kN - 12) {
        for (int k = i; k <= i + 9; ++k) acc += residual[k];
      } else {
        for (int k = i; k >= i - 9; --k) acc += residual[k];
      }
      s[i] = acc / 10;
    }
    bool rising = false;
    int steps = 0;
    long long turn = 0;
    for (int j = 1; j < kN; ++j) {
      if (s[j] > s[j - 1]) {
        if (!rising) {
          rising = true;
          steps = 0;
          turn = RoundHalfEven(s[j]);
        } else {
          ++steps;
        }
      }
      if (s[j] < s[j - 1]) {
        if (rising) {
          rising = false;
          steps = 0;
          turn = RoundHalfEven(s[j]);
        } else {
          ++steps;
        }
      }
      if (std::abs(turn - s[j]) > big && steps == 10) {
        ++r.count;
        r.marks[j] = '1';
      }
      r.lower[j] = Round16(s[j] - big);
    }
  }
  return r;
}

// ---- signals ----------------------------------------------------------------

// Beams as the instrument gives them: a level, noise, animals crossing
// (dips of a few samples), single-sample glitches, and a few dead,
// saturated, flat or stepped beams; an interval of kN samples (slots
// 0..kN).
inline Buffer RealisticInterval(std::mt19937& rng, const int kN = signal_reference::kN) {
  Buffer raw(std::size_t(kN + 1) * kChannelSlots, 0);
  std::uniform_int_distribution<int> kind(0, 19);
  std::uniform_int_distribution<int> levelDist(300, 3800);
  std::uniform_real_distribution<double> noiseDist(0.5, 40);
  std::uniform_int_distribution<int> dips(0, 12);
  std::uniform_int_distribution<int> where(0, kN - 1);
  std::uniform_int_distribution<int> width(1, 25);
  std::uniform_real_distribution<double> depth(0.02, 0.7);
  for (int beam = 0; beam < kChannels; ++beam) {
    const int k = kind(rng);
    std::vector<double> v(kN);
    const double level = levelDist(rng);
    if (k == 0) {  // dead
      std::fill(v.begin(), v.end(), 0);
    } else if (k == 1) {  // saturated
      std::fill(v.begin(), v.end(), 4095);
    } else if (k == 2) {  // flat with a step
      const int at = where(rng);
      for (int n = 0; n < kN; ++n) v[n] = n < at ? level : level / 2;
    } else {
      std::normal_distribution<double> noise(0, noiseDist(rng));
      for (int n = 0; n < kN; ++n) v[n] = level + noise(rng) + 30 * std::sin(n / 37.0);
      const int count = dips(rng);
      for (int d = 0; d < count; ++d) {
        const int at = where(rng), w = width(rng);
        const double f = depth(rng);
        for (int n = at; n < std::min(kN, at + w); ++n) v[n] -= f * level;
      }
      if (k == 3) v[where(rng)] += 3000;  // a glitch above the upper trace
    }
    for (int n = 0; n < kN; ++n) raw[At(n, beam)] = static_cast<std::int16_t>(std::clamp(std::lround(v[n]), 0L, 4095L));
  }
  return raw;
}

inline Buffer UniformInterval(std::mt19937& rng, int lo, int hi) {
  Buffer raw(kSignalIntervalValues, 0);
  std::uniform_int_distribution<int> d(lo, hi);
  for (auto& v : raw) v = static_cast<std::int16_t>(d(rng));
  return raw;
}

}  // namespace orb::signal_reference
