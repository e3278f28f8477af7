// orbelune-cli [--data DIR] connect [--port N] [--offline-on-failure]: finds the
// instrument as the program's "Connect" button does, prints what it learnt
// on standard output and closes the port again.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace orb {

// `args` are the options after the command word; "--data DIR" may be among
// them. Exit codes: 0 connected, 2 usage, 3 no config.dat, 5 no instrument
// (also when the port question after the search had no answering option).
int RunConnect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
