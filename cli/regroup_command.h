// The regrouping of a recorded acquisition on the command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

// orbelune-cli regroup ACQ --preset RxC | --assign GROUP WELL... | --free WELL...
int RunRegroup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
