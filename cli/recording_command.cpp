#include "cli/recording_command.h"

#include <ostream>

#include "cli/commands.h"

namespace orb {

int RunJoin(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "orbelune-cli join: not available yet\n";
  return kExitUsage;
}
int RunExportAscii(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "orbelune-cli export-ascii: not available yet\n";
  return kExitUsage;
}
int RunExportImage(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "orbelune-cli export-image: not available yet\n";
  return kExitUsage;
}

}  // namespace orb
