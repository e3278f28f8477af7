// orbelune-cli simulate: runs the virtual instrument until SIGINT or SIGTERM.
// Standard output carries one line, the terminal's device path; messages go
// to standard error.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "sim/virtual_instrument.h"

namespace orb::sim {

// Exit codes, in step with the command line's own.
constexpr int kSimulateOk = 0;
constexpr int kSimulateUsage = 2;   // unknown or invalid option
constexpr int kSimulateFile = 4;    // the --link path could not be made
constexpr int kSimulateDevice = 5;  // no pseudo-terminal could be opened

extern const char* const kSimulateUsageText;

struct SimulateOptions {
  InstrumentOptions instrument;
  std::string link;  // empty: no link
  bool help = false;
};

// Reads the options after the word "simulate". On a bad option writes one
// message to err and returns false.
bool ParseSimulateOptions(const std::vector<std::string>& args, SimulateOptions& options, std::ostream& err);

// The whole command: args are the words after "simulate". Blocks SIGINT and
// SIGTERM in the calling thread (and so in the server thread it starts) and
// waits for one of them; the previous signal mask is restored on return.
int RunSimulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb::sim
