#include "signal/signal_parallel.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <utility>

#include "signal/signal_support.h"

namespace orb {

namespace {

// Beams handed out at a time: four lane blocks. The calling thread takes
// its runs from the end of the list and the helpers theirs from the start,
// so that each thread counts one stretch of neighbouring beams and the
// threads meet only once, in the middle: threads counting interleaved runs
// keep pulling the cache lines of the interval's rows (which hold about 32
// beams each and are written where samples are clipped) from each other,
// which cost a third of the gain of the second thread.
constexpr std::uint32_t kRun = 32;
constexpr int kDefaultMaxThreads = 2;
// How long a thread spins for the next interval or for the others to
// finish before it sleeps: waking a sleeping thread takes tens of
// microseconds, a good part of an interval's counting.
constexpr auto kSpin = std::chrono::microseconds(500);

// Spins until done() or kSpin has passed; true when done().
template <class Done>
bool SpinUntil(Done done) {
  const auto until = std::chrono::steady_clock::now() + kSpin;
  for (int i = 0;; ++i) {
    if (done()) return true;
    if ((i & 63) == 63) {
      if (std::chrono::steady_clock::now() >= until) return false;
      std::this_thread::yield();
    }
  }
}

}  // namespace

int DefaultCountThreads() {
  const unsigned hardware = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(hardware), 1, kDefaultMaxThreads);
}

ParallelBeamCounter::ParallelBeamCounter(int threads) : analyzers_(static_cast<std::size_t>(std::max(threads, 1))) {
  helpers_.reserve(analyzers_.size() - 1);
  try {
    for (std::size_t i = 1; i < analyzers_.size(); ++i) helpers_.emplace_back([this, i] { Helper(i); });
  } catch (...) {
    // Fewer threads than asked: count with the ones that started.
    analyzers_.resize(helpers_.size() + 1);
  }
}

ParallelBeamCounter::~ParallelBeamCounter() {
  {
    std::lock_guard lock(mutex_);
    quit_.store(true);
  }
  start_.notify_all();
  for (std::thread& t : helpers_) t.join();
}

void ParallelBeamCounter::Keep(std::exception_ptr error) {
  std::lock_guard lock(mutex_);
  if (!error_) error_ = error;
}

bool ParallelBeamCounter::Claim(bool fromEnd, std::size_t& first, std::size_t& n) {
  std::uint64_t state = unclaimed_.load(std::memory_order_relaxed);
  for (;;) {
    const auto front = static_cast<std::uint32_t>(state >> 32);
    const auto back = static_cast<std::uint32_t>(state);
    if (front >= back) return false;
    const std::uint32_t take = std::min(kRun, back - front);
    const std::uint64_t after = fromEnd ? (state - take) : (state + (std::uint64_t(take) << 32));
    if (unclaimed_.compare_exchange_weak(state, after, std::memory_order_relaxed)) {
      first = fromEnd ? back - take : front;
      n = take;
      return true;
    }
  }
}

void ParallelBeamCounter::Work(IntervalAnalyzer& analyzer, bool fromEnd) {
  std::size_t first = 0, n = 0;
  while (Claim(fromEnd, first, n)) {
    analyzer.CountBeams(job_.raw, job_.beams.subspan(first, n), job_.snrFactor, job_.method,
                        job_.counts.subspan(first, n), job_.exportTo,
                        job_.exportErrors.empty() ? job_.exportErrors : job_.exportErrors.subspan(first, n));
  }
}

void ParallelBeamCounter::Helper(std::size_t index) {
  std::uint64_t seen = 0;
  for (;;) {
    const auto started = [&] { return quit_.load() || generation_.load() != seen; };
    if (!SpinUntil(started)) {
      std::unique_lock lock(mutex_);
      start_.wait(lock, started);
    }
    if (quit_.load()) return;
    seen = generation_.load();
    try {
      Work(analyzers_[index], false);
    } catch (...) {
      Keep(std::current_exception());
    }
    if (running_.fetch_sub(1) == 1) {
      std::lock_guard lock(mutex_);
      finished_.notify_one();
    }
  }
}

void ParallelBeamCounter::Count(std::span<std::int16_t> raw, std::span<const int> beams, double snrFactor,
                                int method, std::span<std::int16_t> counts, const MarkExport* exportTo,
                                std::span<std::error_code> exportErrors, const std::function<void()>& alongside) {
  // The checks CountBeams makes on the whole list, before any beam is touched.
  for (std::size_t k = 0; k < beams.size(); ++k) {
    CheckSignalArguments(raw.size(), beams[k], kSignalSamples);
    if (k > 0 && beams[k] <= beams[k - 1]) throw std::invalid_argument("beams not in increasing order");
  }
  if (counts.size() != beams.size() || (!exportErrors.empty() && exportErrors.size() != beams.size())) {
    throw std::invalid_argument("result spans do not match the beams");
  }

  job_ = Job{raw, beams, snrFactor, method, counts, exportTo, exportErrors};
  unclaimed_.store(beams.size(), std::memory_order_relaxed);  // beams 0 .. size - 1
  error_ = nullptr;
  if (!helpers_.empty()) {
    running_.store(static_cast<int>(helpers_.size()));
    {
      std::lock_guard lock(mutex_);
      generation_.fetch_add(1);
    }
    start_.notify_all();
  }
  // With helpers, `alongside` runs while they count; alone, after the
  // counting (what it brings into the cache is then what comes next).
  const auto runAlongside = [&] {
    try {
      if (alongside) alongside();
    } catch (...) {
      Keep(std::current_exception());
    }
  };
  if (!helpers_.empty()) runAlongside();
  try {
    Work(analyzers_[0], true);
  } catch (...) {
    Keep(std::current_exception());
  }
  if (helpers_.empty()) runAlongside();
  const auto finished = [&] { return running_.load() == 0; };
  if (!SpinUntil(finished)) {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, finished);
  }
  std::lock_guard lock(mutex_);
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

}  // namespace orb
