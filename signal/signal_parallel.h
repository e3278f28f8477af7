// The interval count routine on several threads at once: the beams of one
// interval shared out between the calling thread and helper threads, each
// with its own IntervalAnalyzer. Used by the raw re-analysis, which counts
// hundreds of recorded intervals in one operation.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "signal/signal_analysis.h"

namespace orb {

// Threads a re-analysis counts with unless told otherwise: the machine's
// hardware threads, at least 1 and at most 2.
int DefaultCountThreads();

class ParallelBeamCounter {
 public:
  // threads: 1 counts on the calling thread alone; n > 1 starts n - 1
  // helper threads, which wait between intervals and end with the object.
  explicit ParallelBeamCounter(int threads);
  ~ParallelBeamCounter();
  ParallelBeamCounter(const ParallelBeamCounter&) = delete;
  ParallelBeamCounter& operator=(const ParallelBeamCounter&) = delete;

  int threads() const { return static_cast<int>(analyzers_.size()); }

  // The counts of `beams` of the interval `raw` with the results
  // IntervalAnalyzer::CountBeams gives for the whole list (counts, clipped
  // buffer, each beam's export line and its outcome in exportErrors when
  // that is not empty); the beams go out in runs of 32, the calling thread
  // taking them from the end and the helpers from the start. Each beam's export file is written by one thread, and the call
  // returns only when every beam is done, so the lines of successive calls
  // stay in order. `alongside`, when given, runs on the calling thread
  // while the helpers start (the re-analysis reads the next interval
  // there), and then the calling thread counts too; without helpers it
  // runs after the counting. Throws what CountBeams
  // throws for bad arguments (before any thread starts), and rethrows an
  // exception of `alongside` or of any thread once all have finished.
  void Count(std::span<std::int16_t> raw, std::span<const int> beams, double snrFactor, int method,
             std::span<std::int16_t> counts, const MarkExport* exportTo, std::span<std::error_code> exportErrors,
             const std::function<void()>& alongside = {});

 private:
  struct Job {
    std::span<std::int16_t> raw;
    std::span<const int> beams;
    double snrFactor = 0;
    int method = 0;
    std::span<std::int16_t> counts;
    const MarkExport* exportTo = nullptr;
    std::span<std::error_code> exportErrors;
  };

  // Counts runs of the job until none is left; the calling thread takes
  // them from the end, helpers from the start.
  void Work(IntervalAnalyzer& analyzer, bool fromEnd);
  // The next run from the start or the end of the beams not yet handed
  // out; false when none is left.
  bool Claim(bool fromEnd, std::size_t& first, std::size_t& n);
  void Helper(std::size_t index);
  void Keep(std::exception_ptr error);

  std::vector<IntervalAnalyzer> analyzers_;  // [0]: the calling thread's
  std::vector<std::thread> helpers_;
  // A waiting thread first spins a little (the next interval follows within
  // microseconds) and then sleeps on these; changes are made under mutex_.
  std::mutex mutex_;
  std::condition_variable start_;
  std::condition_variable finished_;
  std::atomic<std::uint64_t> generation_{0};  // one per Count
  std::atomic<int> running_{0};               // helpers still at work on the current Count
  std::atomic<bool> quit_{false};
  Job job_;
  // The beams not yet handed out, first (high 32 bits) to end (low 32 bits).
  std::atomic<std::uint64_t> unclaimed_{0};
  std::exception_ptr error_;
};

}  // namespace orb
