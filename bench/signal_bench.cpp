// The interval count routine and the raw re-analysis.
//
// BM_PlainCount / BM_CountBeams / BM_CountEachBeam: one interval of 384
// beams counted with one method by the plain form (every window recomputed
// at every sample, tests/reports/signal_reference.h), by the routine in
// lanes (IntervalAnalyzer::CountBeams, as the re-analysis calls it) and by
// the routine one beam per call (Count, as the acquisition engine calls it).
// Beams: a level, noise and animals crossing (dips). The counts (and the
// clipped interval) of the routine are checked against the plain form once
// before timing; copying the interval back to its recorded state between
// iterations is not timed.
//
// BM_Reanalysis: "RUN" of the raw re-analysis over a recording of 220
// intervals of realistic beams (a 384-well plate, every beam counted), on
// one or two threads; before timing, the counts of each method are checked
// once against the plain form run beam after beam.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "bench/bench_recording.h"
#include "common/fileio.h"
#include "records/record_files.h"
#include "reports/reanalysis.h"
#include "signal/signal_analysis.h"
#include "signal/signal_parallel.h"
#include "tests/signal/signal_reference.h"
#include "tests/support/scripted_seams.h"

namespace {

namespace ref = orb::signal_reference;

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
    for (int n = 0; n < orb::kSignalSamples; ++n) {
      raw[std::size_t(n) * orb::kChannelSlots + beam] =
          static_cast<std::int16_t>(std::clamp(std::lround(v[n]), 0L, 4095L));
    }
  }
  return raw;
}

// The two intervals the single-interval benchmarks count: Arg 1 of each.
std::vector<std::int16_t> Interval(int which) {
  if (which == 0) return RecordedInterval();
  std::mt19937 rng(7);
  return ref::RealisticInterval(rng);
}

std::vector<int> AllBeams() {
  std::vector<int> beams(384);
  for (int b = 0; b < 384; ++b) beams[std::size_t(b)] = b;
  return beams;
}

// The counts and clipped interval of the plain form, beam after beam.
struct PlainOutcome {
  std::vector<std::int16_t> counts, clipped;
};
PlainOutcome Plain(std::vector<std::int16_t> raw, int method) {
  PlainOutcome out;
  for (int beam = 0; beam < 384; ++beam) {
    out.counts.push_back(static_cast<std::int16_t>(ref::PlainCount(raw, beam, 1.8, method).count));
  }
  out.clipped = std::move(raw);
  return out;
}

void BM_PlainCount(benchmark::State& st) {
  const int method = static_cast<int>(st.range(0));
  const std::vector<std::int16_t> recorded = Interval(static_cast<int>(st.range(1)));
  std::vector<std::int16_t> raw = recorded;
  long long counted = 0;
  for (auto _ : st) {
    st.PauseTiming();
    raw = recorded;
    st.ResumeTiming();
    for (int beam = 0; beam < 384; ++beam) counted += ref::PlainCount(raw, beam, 1.8, method).count;
    benchmark::DoNotOptimize(counted);
  }
  st.counters["counts_per_interval"] = double(counted) / double(st.iterations());
}
BENCHMARK(BM_PlainCount)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);

void BM_CountBeams(benchmark::State& st) {
  const int method = static_cast<int>(st.range(0));
  const std::vector<std::int16_t> recorded = Interval(static_cast<int>(st.range(1)));
  std::vector<std::int16_t> raw = recorded;
  const std::vector<int> beams = AllBeams();
  std::vector<std::int16_t> counts(384);
  orb::IntervalAnalyzer analyzer;
  const PlainOutcome plain = Plain(recorded, method);
  analyzer.CountBeams(raw, beams, 1.8, method, counts);
  if (counts != plain.counts || raw != plain.clipped) {
    st.SkipWithError("counts differ from the plain form");
    return;
  }
  long long counted = 0;
  for (auto _ : st) {
    st.PauseTiming();
    raw = recorded;
    st.ResumeTiming();
    analyzer.CountBeams(raw, beams, 1.8, method, counts);
    for (auto c : counts) counted += c;
    benchmark::DoNotOptimize(counted);
  }
  st.counters["counts_per_interval"] = double(counted) / double(st.iterations());
  st.counters["exact_form_beams"] = analyzer.ExactFormBeams();
}
BENCHMARK(BM_CountBeams)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);

// The beams of one interval in memory shared out by ParallelBeamCounter:
// the counting of the re-analysis without its file reading.
void BM_ParallelCount(benchmark::State& st) {
  const int method = static_cast<int>(st.range(0));
  const std::vector<std::int16_t> recorded = Interval(1);
  std::vector<std::int16_t> raw = recorded;
  const std::vector<int> beams = AllBeams();
  std::vector<std::int16_t> counts(384);
  orb::ParallelBeamCounter counter(static_cast<int>(st.range(1)));
  const PlainOutcome plain = Plain(recorded, method);
  counter.Count(raw, beams, 1.8, method, counts, nullptr, {});
  if (counts != plain.counts || raw != plain.clipped) {
    st.SkipWithError("counts differ from the plain form");
    return;
  }
  for (auto _ : st) {
    st.PauseTiming();
    raw = recorded;
    st.ResumeTiming();
    counter.Count(raw, beams, 1.8, method, counts, nullptr, {});
    benchmark::DoNotOptimize(counts.data());
  }
  st.counters["intervals_per_s"] = benchmark::Counter(double(st.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParallelCount)->ArgsProduct({{0, 1, 2}, {1, 2}})->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_CountEachBeam(benchmark::State& st) {
  const int method = static_cast<int>(st.range(0));
  const std::vector<std::int16_t> recorded = Interval(0);
  std::vector<std::int16_t> raw = recorded;
  orb::IntervalAnalyzer analyzer;
  const PlainOutcome plain = Plain(recorded, method);
  for (int beam = 0; beam < 384; ++beam) {
    if (analyzer.Count(raw, beam, 1.8, method) != plain.counts[std::size_t(beam)]) {
      st.SkipWithError("counts differ from the plain form");
      return;
    }
  }
  long long counted = 0;
  for (auto _ : st) {
    st.PauseTiming();
    raw = recorded;
    st.ResumeTiming();
    for (int beam = 0; beam < 384; ++beam) counted += analyzer.Count(raw, beam, 1.8, method);
    benchmark::DoNotOptimize(counted);
  }
  st.counters["counts_per_interval"] = double(counted) / double(st.iterations());
}
BENCHMARK(BM_CountEachBeam)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_BodyBendsHistogram(benchmark::State& st) {
  const std::vector<std::int16_t> raw = RecordedInterval();
  std::array<std::int32_t, orb::kBodyBendsClasses> bins{};
  for (auto _ : st) {
    for (int beam = 0; beam < 384; ++beam) orb::BodyBendsHistogram(raw, beam, 12.0, bins);
    benchmark::DoNotOptimize(bins);
  }
}
BENCHMARK(BM_BodyBendsHistogram)->Unit(benchmark::kMicrosecond);

// ---- the raw re-analysis ----------------------------------------------------

constexpr int kIntervals = 220;  // 20 raw files of 11 intervals

struct RawRecording {
  std::filesystem::path program, folder;
  std::vector<ref::Buffer> intervals;
};

const RawRecording& Recording() {
  static const RawRecording r = [] {
    RawRecording rec;
    const auto made = orb::bench::MakeBenchRecording("raw", "384");
    rec.program = made.program;
    rec.folder = made.folder;
    std::mt19937 rng(2024);
    std::string counts;
    for (int j = 0; j < kIntervals; ++j) {
      rec.intervals.push_back(ref::RealisticInterval(rng));
      orb::RawRecord raw;
      raw.values = rec.intervals.back();
      orb::AppendRecord(rec.folder / orb::RawFileName(j / orb::kRecordsPerFile), orb::PackRawRecord(raw),
                        orb::kRawRecordSize);
      orb::CountsRecord record;
      record.ElapsedMinutes = j + 1;
      counts += orb::PackCountsRecord(record);
    }
    orb::WriteFileAtomic(rec.folder / orb::kCountsFile, counts);
    return rec;
  }();
  return r;
}

orb::ReanalysisResult Reanalyse(int method, int threads, orb::RecordSeries* series = nullptr) {
  const RawRecording& rec = Recording();
  orb::ReanalysisControls controls;
  controls.method = method;
  controls.hoursText = "4";  // the 220 minutes
  orb::ScriptedOperator op;
  orb::CountingEventLoop events;
  orb::StopFlag stop;
  orb::ReanalysisReportWriter keep;
  if (series) {
    keep = [series](const orb::ReanalysedRecording& r) {
      *series = r.series;
      return std::vector<std::filesystem::path>{};
    };
  }
  return orb::RunRawReanalysis(rec.program, rec.folder, controls, op, events, stop, keep, {}, threads);
}

// The counts of one run on two threads against the plain form run beam
// after beam, once per method. Empty when they agree.
std::string CheckAgainstPlainForm(int method) {
  static std::array<std::string, 3> outcome;
  static std::array<bool, 3> done{};
  if (done[std::size_t(method)]) return outcome[std::size_t(method)];
  done[std::size_t(method)] = true;
  orb::RecordSeries series;
  const orb::ReanalysisResult r = Reanalyse(method, 2, &series);
  std::string& what = outcome[std::size_t(method)];
  if (r.processed != kIntervals || series.counts.size() != std::size_t(kIntervals)) {
    what = "re-analysis processed " + std::to_string(r.processed) + " intervals";
    return what;
  }
  for (int j = 0; j < kIntervals && what.empty(); ++j) {
    ref::Buffer raw = Recording().intervals[std::size_t(j)];
    for (int beam = 0; beam < 384; ++beam) {
      if (series.counts[std::size_t(j)][std::size_t(beam)] != ref::PlainCount(raw, beam, 1.8, method).count) {
        what = "interval " + std::to_string(j) + " beam " + std::to_string(beam) + " differs from the plain form";
        break;
      }
    }
  }
  return what;
}

// Reading one recorded interval back from its raw file (the part of the
// re-analysis the calling thread does while the helpers count).
void BM_ReadRawInterval(benchmark::State& st) {
  const RawRecording& rec = Recording();
  int j = 0;
  for (auto _ : st) {
    auto raw = orb::ReadRawInterval(rec.folder, j);
    if (!raw) st.SkipWithError("interval not read");
    benchmark::DoNotOptimize(raw);
    j = (j + 1) % kIntervals;
  }
}
BENCHMARK(BM_ReadRawInterval)->Unit(benchmark::kMicrosecond);

void BM_Reanalysis(benchmark::State& st) {
  const int method = static_cast<int>(st.range(0));
  const int threads = static_cast<int>(st.range(1));
  const std::string check = CheckAgainstPlainForm(method);
  if (!check.empty()) {
    st.SkipWithError(check.c_str());
    return;
  }
  for (auto _ : st) {
    const orb::ReanalysisResult r = Reanalyse(method, threads);
    if (r.processed != kIntervals) st.SkipWithError("not every interval was counted");
  }
  st.counters["intervals_per_s"] =
      benchmark::Counter(double(kIntervals) * double(st.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Reanalysis)->ArgsProduct({{0, 1, 2}, {1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
