// The histogram routine (body bends): distances between successive peaks of
// the gap between the smoothed signal and its envelope.
#include <algorithm>

#include "common/format.h"
#include "signal/signal_analysis.h"
#include "signal/signal_support.h"

namespace orb {

int BodyBendsHistogram(std::span<const std::int16_t> raw, int beam, double band,
                       std::array<std::int32_t, kBodyBendsClasses>& bins) {
  CheckSignalArguments(raw.size(), beam);
  bins.fill(0);
  const int th = SaturateRound16(band);

  int x[kSignalSamples];
  for (int n = 0; n < kSignalSamples; ++n) x[n] = raw[std::size_t(n) * kChannelSlots + beam];

  // Five-sample means, rounded, from a running sum; the ends repeat the
  // nearest mean.
  int s[kSignalSamples];
  int sum = x[1] + x[2] + x[3] + x[4] + x[5];
  for (int n = 3; n <= 496; ++n) {
    s[n] = static_cast<int>(RoundEven(sum / 5.0));
    if (n < 496) sum += x[n + 3] - x[n - 2];
  }
  s[0] = s[1] = s[2] = s[3];
  s[497] = s[498] = s[499] = s[496];

  // Gap between the envelope (the latest local maximum) and the signal,
  // less the threshold, never negative.
  int d[kSignalSamples];
  int envelope = s[0];
  for (int c = 1; c <= 498; ++c) {
    if (s[c - 1] < s[c] && s[c + 1] < s[c]) envelope = s[c];
    d[c] = std::max(envelope - s[c] - th, 0);
  }
  d[0] = d[1];
  d[499] = d[498];

  // Distances between successive gap peaks, 2..49 samples.
  int last = 0;
  for (int i = 1; i <= 498; ++i) {
    if (d[i - 1] < d[i] && d[i + 1] < d[i]) {
      const int gap = i - last;
      if (gap > 1 && gap < kBodyBendsClasses) ++bins[gap];
      last = i;
    }
  }
  return 1;
}

}  // namespace orb
