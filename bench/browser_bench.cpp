// The browser's work on a recording of 55 intervals of raw samples (five
// raw files, one page): opening it (counting and reading the page), the
// channel signal picture of a well, "Analyze" on the page, the group
// activity of a day of counts, and the list of a data folder with 200
// recordings.
#include <benchmark/benchmark.h>

#include "bench/bench_recording.h"
#include "browser/experiment_list.h"
#include "browser/group_activity.h"
#include "browser/regroup.h"
#include "browser/signal_pages.h"
#include "records/record_files.h"

namespace orb {
namespace {

bench::BenchRecording RawRecording(int intervals) {
  bench::BenchRecording rec = bench::MakeBenchRecording("browser");
  RawRecord raw;
  raw.values.resize(std::size_t(kChannelSlots) * (kStandardRawBuffer + 1));
  for (std::size_t i = 0; i < raw.values.size(); ++i) raw.values[i] = static_cast<std::int16_t>(1500 + (i * 7919) % 300);
  for (int i = 0; i < intervals; ++i) {
    IntervalRecords r;
    r.interval = i;
    r.counts.ElapsedMinutes = i;
    r.counts.IntervalCounts[0] = static_cast<std::int16_t>(i % 9);
    r.raw = &raw;
    AppendIntervalRecords(rec.folder, r);
  }
  return rec;
}

void BM_OpenRecordingPage(benchmark::State& state) {
  const auto rec = RawRecording(55);
  for (auto _ : state) {
    SignalPages pages;
    benchmark::DoNotOptimize(pages.open(rec.folder));
  }
  state.SetBytesProcessed(state.iterations() * 55 * std::int64_t(kRawRecordSize));
}
BENCHMARK(BM_OpenRecordingPage)->Unit(benchmark::kMillisecond);

void BM_ChannelSignalScene(benchmark::State& state) {
  const auto rec = RawRecording(55);
  SignalPages pages;
  pages.open(rec.folder);
  ScriptedOperator op;
  const AcquisitionGroups acq = LoadAcquisitionGroups(rec.program, rec.folder, op);
  const auto beams = WellBeams(acq.plate, 0);
  for (auto _ : state) benchmark::DoNotOptimize(ChannelSignalScene(pages, beams));
}
BENCHMARK(BM_ChannelSignalScene)->Unit(benchmark::kMillisecond);

void BM_AnalyzePage(benchmark::State& state) {
  const auto rec = RawRecording(55);
  SignalPages pages;
  pages.open(rec.folder);
  ScriptedOperator op;
  const AcquisitionGroups acq = LoadAcquisitionGroups(rec.program, rec.folder, op);
  for (auto _ : state) benchmark::DoNotOptimize(AnalyzePage(pages.slots(), acq.plate, 0, "1.8", "Mode:0"));
}
BENCHMARK(BM_AnalyzePage)->Unit(benchmark::kMillisecond);

void BM_GroupActivityOfADay(benchmark::State& state) {
  const auto rec = bench::MakeBenchRecording("browser-day");
  std::vector<CountsRecord> day(1440);
  for (int m = 0; m < 1440; ++m) {
    day[m].ElapsedMinutes = m;
    for (int c = 0; c < kChannels; ++c) day[m].IntervalCounts[c] = static_cast<std::int16_t>((m + c) % 11);
  }
  ScriptedOperator op;
  const AcquisitionGroups acq = LoadAcquisitionGroups(rec.program, rec.folder, op);
  for (auto _ : state) benchmark::DoNotOptimize(BuildGroupActivity(day, acq.plate, acq.groups, acq.status));
}
BENCHMARK(BM_GroupActivityOfADay)->Unit(benchmark::kMillisecond);

void BM_ListTwoHundredRecordings(benchmark::State& state) {
  const auto rec = bench::MakeBenchRecording("browser-list");
  const auto project = rec.folder.parent_path();
  for (int i = 0; i < 200; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "2024%02d%02d_%02d00", 1 + i / 28 % 12, 1 + i % 28, i % 24);
    const auto folder = project / name;
    std::filesystem::create_directories(folder);
    AppendRecord(folder / kCountsFile, std::string(kCountsRecordSize, '\0'), kCountsRecordSize);
    WriteSubproject(folder, "run " + std::to_string(i), "");
  }
  ScriptedOperator op;
  for (auto _ : state) {
    ExperimentList list;
    list.load(rec.program, op);
    list.expandAll();
    benchmark::DoNotOptimize(list.applyFilter("\"run 1\""));
  }
}
BENCHMARK(BM_ListTwoHundredRecordings)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orb
