// The interval count routine on one whole interval: all 384 beams of a
// 500-sample interval counted with one method, as the acquisition engine
// does at each interval close in interval-analysis mode and the raw
// re-analysis does for every recorded interval. Beams: a level, noise and
// animals crossing (dips). Copying the interval back to its recorded state
// between iterations is not timed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "reports/signal_analysis.h"

namespace {

std::vector<std::int16_t> RecordedInterval() {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> level(500, 3500);
  std::normal_distribution<double> noise(0, 15);
  std::uniform_int_distribution<int> where(0, orb::kSignalSamples - 1);
  std::vector<std::int16_t> raw(orb::kSignalIntervalValues, 0);
  for (int beam = 0; beam < 384; ++beam) {
    const int l = level(rng);
    std::vector<double> v(orb::kSignalSamples);
    for (auto& x : v) x = l + noise(rng);
    for (int d = 0; d < 6; ++d) {
      const int at = where(rng);
      for (int n = at; n < std::min(orb::kSignalSamples, at + 8); ++n) v[n] -= 0.3 * l;
    }
    for (int n = 0; n < orb::kSignalSamples; ++n)
      raw[std::size_t(n) * orb::kSignalBeamSlots + beam] = static_cast<std::int16_t>(std::clamp(std::lround(v[n]), 0L, 4095L));
  }
  return raw;
}

void BM_CountInterval(benchmark::State& st) {
  const int method = static_cast<int>(st.range(0));
  const std::vector<std::int16_t> recorded = RecordedInterval();
  std::vector<std::int16_t> raw = recorded;
  orb::IntervalAnalyzer analyzer;
  long long counted = 0;
  for (auto _ : st) {
    st.PauseTiming();
    raw = recorded;
    st.ResumeTiming();
    for (int beam = 0; beam < 384; ++beam) counted += analyzer.Count(raw, beam, 1.8, method);
    benchmark::DoNotOptimize(counted);
  }
  st.counters["beams_per_s"] = benchmark::Counter(384.0 * st.iterations(), benchmark::Counter::kIsRate);
  st.counters["counts_per_interval"] = double(counted) / st.iterations();
}
BENCHMARK(BM_CountInterval)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_BodyBendsHistogram(benchmark::State& st) {
  const std::vector<std::int16_t> raw = RecordedInterval();
  std::array<std::int32_t, orb::kBodyBendsClasses> bins{};
  for (auto _ : st) {
    for (int beam = 0; beam < 384; ++beam) orb::BodyBendsHistogram(raw, beam, 12.0, bins);
    benchmark::DoNotOptimize(bins);
  }
}
BENCHMARK(BM_BodyBendsHistogram)->Unit(benchmark::kMicrosecond);

}  // namespace
