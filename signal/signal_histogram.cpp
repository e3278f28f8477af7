// The histogram routine (body bends): distances between successive peaks of
// the gap between the smoothed signal and its envelope.
#include <algorithm>
#include <vector>

#include "common/format.h"
#include "signal/signal_analysis.h"
#include "signal/signal_support.h"

namespace orb {

int BodyBendsHistogram(std::span<const std::int16_t> raw, int beam, double band,
                       std::array<std::int32_t, kBodyBendsClasses>& bins, int samples) {
  CheckSignalArguments(raw.size(), beam, samples);
  bins.fill(0);
  const int th = SaturateRound16(band);
  const int n = samples;  // the last sample is n - 1 (499 for RT_Buffer 500)

  std::vector<int> x(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) x[k] = raw[std::size_t(k) * kChannelSlots + beam];

  // Five-sample means, rounded, from a running sum, over samples 3..n-4;
  // the ends repeat the nearest mean.
  std::vector<int> s(static_cast<std::size_t>(n));
  int sum = x[1] + x[2] + x[3] + x[4] + x[5];
  for (int k = 3; k <= n - 4; ++k) {
    s[k] = static_cast<int>(RoundEven(sum / 5.0));
    if (k < n - 4) sum += x[k + 3] - x[k - 2];
  }
  s[0] = s[1] = s[2] = s[3];
  s[n - 3] = s[n - 2] = s[n - 1] = s[n - 4];

  // Gap between the envelope (the latest local maximum) and the signal,
  // less the threshold, never negative.
  std::vector<int> d(static_cast<std::size_t>(n));
  int envelope = s[0];
  for (int c = 1; c <= n - 2; ++c) {
    if (s[c - 1] < s[c] && s[c + 1] < s[c]) envelope = s[c];
    d[c] = std::max(envelope - s[c] - th, 0);
  }
  d[0] = d[1];
  d[n - 1] = d[n - 2];

  // Distances between successive gap peaks, 2..49 samples.
  int last = 0;
  for (int i = 1; i <= n - 2; ++i) {
    if (d[i - 1] < d[i] && d[i + 1] < d[i]) {
      const int gap = i - last;
      if (gap > 1 && gap < kBodyBendsClasses) ++bins[gap];
      last = i;
    }
  }
  return 1;
}

}  // namespace orb
