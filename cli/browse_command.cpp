#include "cli/browse_command.h"

#include <ostream>

#include "cli/commands.h"

namespace orb {

int RunList(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "orbelune-cli list: not available yet\n";
  return kExitUsage;
}
int RunRename(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "orbelune-cli rename: not available yet\n";
  return kExitUsage;
}
int RunArchive(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "orbelune-cli archive: not available yet\n";
  return kExitUsage;
}

}  // namespace orb
