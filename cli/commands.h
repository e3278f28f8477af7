// The command line, orbelune-cli: data on standard output, messages on
// standard error, documented exit codes returned from RunCli.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/startup.h"

namespace orb {

enum ExitCode {
  kExitOk = 0,
  kExitRunFailed = 1, // a recording stopped on an internal error (the records so far are kept)
  kExitUsage = 2,     // unknown command or option
  kExitConfig = 3,    // no config.dat in the data folder
  kExitFile = 4,      // a file could not be written
  kExitDevice = 5,    // no instrument found (connect), no pseudo-terminal (simulate)
  kExitCheckFailed = 6,  // the device self-test ran to its end and a check failed
  kExitInput = 7,     // an input file is missing or cannot be read (the message names it and why)
};
inline constexpr int kExitNoInstrument = kExitDevice;

struct Workspace;

// The program's load as far as `scope` (LoadProgram). A missing config.dat
// is explained on `err` with how to create the data folder: kExitConfig;
// otherwise kExitOk.
int LoadForCommand(Workspace& ws, LoadScope scope, std::ostream& err);

// args excludes the program name.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
