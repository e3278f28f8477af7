// orbelune-cli acquire: a recording of the current project, headless, with
// the same engine and run control as the program (a timer loop instead of
// the window's timer).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

class AcquisitionEngine;
class Clock;

// For tests: a clock to use instead of the machine's (ticks then follow
// each other without waiting), a stop request checked before every tick
// (as Ctrl+C), and a call after every tick.
struct AcquireHooks {
  Clock* clock = nullptr;
  std::function<bool(const AcquisitionEngine&)> stop;
  std::function<void(AcquisitionEngine&)> afterTick;
};

int RunAcquire(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const AcquireHooks& hooks = {});

}  // namespace orb
