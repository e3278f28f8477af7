#include "cli/regroup_command.h"

#include <ostream>

#include "cli/commands.h"

namespace orb {

int RunRegroup(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "orbelune-cli regroup: not available yet\n";
  return kExitUsage;
}

}  // namespace orb
