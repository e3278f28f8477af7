// A request to stop a long operation (a run, a re-analysis), set from the
// interface thread, a worker or a signal handler and read between steps.
#pragma once

#include <atomic>

namespace orb {

class StopFlag {
 public:
  void request() { flag_ = true; }
  void clear() { flag_ = false; }
  bool requested() const { return flag_; }

 private:
  std::atomic<bool> flag_{false};
};

}  // namespace orb
