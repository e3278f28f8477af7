// Ctrl+C during a long command acts as the program's Stop button: while an
// InterruptStops lives, the signal requests its StopFlag instead of ending
// the program, and the command stops between two steps as Stop does. The
// previous handlers come back when it ends. One scope at a time.
#pragma once

#include "common/stop_flag.h"

namespace orb {

class InterruptStops {
 public:
  enum class Signals {
    Interrupt,               // SIGINT
    InterruptAndTerminate,   // SIGINT and SIGTERM
  };
  InterruptStops(StopFlag& stop, Signals signals);
  ~InterruptStops();
  InterruptStops(const InterruptStops&) = delete;
  InterruptStops& operator=(const InterruptStops&) = delete;

 private:
  using Handler = void (*)(int);
  Handler previousInterrupt_;
  Handler previousTerminate_;
  bool terminate_;
};

}  // namespace orb
