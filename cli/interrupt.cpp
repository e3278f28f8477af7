#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace orb {
namespace {

std::atomic<StopFlag*> gStopOnSignal{nullptr};

extern "C" void OnStopSignal(int) {
  if (StopFlag* stop = gStopOnSignal.load()) stop->request();
}

}  // namespace

InterruptStops::InterruptStops(StopFlag& stop, Signals signals)
    : previousTerminate_(SIG_ERR), terminate_(signals == Signals::InterruptAndTerminate) {
  gStopOnSignal = &stop;
  previousInterrupt_ = std::signal(SIGINT, OnStopSignal);
  if (terminate_) previousTerminate_ = std::signal(SIGTERM, OnStopSignal);
}

InterruptStops::~InterruptStops() {
  if (previousInterrupt_ != SIG_ERR) std::signal(SIGINT, previousInterrupt_);
  if (terminate_ && previousTerminate_ != SIG_ERR) std::signal(SIGTERM, previousTerminate_);
  gStopOnSignal = nullptr;
}

}  // namespace orb
