// The cost of a report of a 7-day recording at 30-second intervals (20,160
// records of counts.bin, a 96-well plate of two beams per well, six groups),
// bin 30 minutes: the whole "Generate..." (reading, re-binning by the
// 0.02-minute clock, statistics, writing the "Rows" report with every
// section and its copy), and the re-binning alone. The counter peak_rss_mb
// is the process's peak memory (the generated recording included).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <random>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "bench/bench_recording.h"
#include "common/fileio.h"
#include "records/record_files.h"
#include "reports/rebinning.h"
#include "reports/report_generator.h"
#include "tests/support/scripted_seams.h"

namespace {

constexpr int kRecords = 7 * 1440 * 2;

struct Recording {
  std::filesystem::path program, folder;
};

const Recording& WeekRecording() {
  static const Recording r = [] {
    Recording rec;
    const auto made = orb::bench::MakeBenchRecording("week");
    rec.program = made.program;
    rec.folder = made.folder;
    std::mt19937 random(7);
    std::poisson_distribution<int> counts(12);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(kRecords) * orb::kCountsRecordSize);
    for (int m = 0; m < kRecords; ++m) {
      orb::CountsRecord record;
      record.ElapsedMinutes = m / 2;
      for (auto& c : record.IntervalCounts) c = static_cast<std::int16_t>(counts(random));
      record.TemperatureTenths = 250;
      bytes += orb::PackCountsRecord(record);
    }
    orb::WriteFileAtomic(rec.folder / orb::kCountsFile, bytes);
    return rec;
  }();
  return r;
}

void BM_GenerateWeekReport(benchmark::State& state) {
  const Recording& rec = WeekRecording();
  orb::ReportRequest request;
  request.programFolder = rec.program;
  request.acquisitionFolder = rec.folder;
  request.bin = 30;
  request.autoreport = true;
  request.statistics.median = true;
  request.statistics.stdDev = true;
  orb::ScriptedOperator op;
  orb::RecordingLauncher launcher;
  for (auto _ : state) {
    orb::ReportResult result = orb::GenerateReport(request, op, launcher);
    if (!result.ok()) state.SkipWithError("no report");
    benchmark::DoNotOptimize(result.report);
  }
  if (!op.shown().empty()) state.SkipWithError(op.shown().front().text.c_str());
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_mb"] = usage.ru_maxrss / 1024.0;
}
BENCHMARK(BM_GenerateWeekReport)->Unit(benchmark::kMillisecond);

void BM_RebinWeek(benchmark::State& state) {
  const auto records = orb::ReadCountsFile(WeekRecording().folder);
  const orb::RecordSeries series = orb::LoadRecordSeries(*records);
  for (auto _ : state) {
    orb::RebinResult r = orb::Rebin(series, 30);
    benchmark::DoNotOptimize(r.counts.data());
  }
}
BENCHMARK(BM_RebinWeek)->Unit(benchmark::kMillisecond);

}  // namespace
