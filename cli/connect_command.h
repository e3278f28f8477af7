// orbelune-cli [--data DIR] connect [--offline-on-failure]: finds the
// instrument as the program's "Connect" button does, prints what it learnt
// on standard output and closes the port again.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

inline constexpr int kExitNoInstrument = 5;  // no instrument was found (kExitDevice)

// `args` are the options after the command word; "--data DIR" may be among
// them. Exit codes: 0 connected, 2 usage (also an unanswered port question),
// 3 no config.dat, 5 no instrument.
int RunConnect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
