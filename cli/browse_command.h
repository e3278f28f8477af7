// The browser's list on the command line: list, rename and archive of the
// recorded acquisitions of the data folder.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

// orbelune-cli list [--filter TEXT] [--descending] [--expand]
int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// orbelune-cli rename ACQ NAME
int RunRename(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// orbelune-cli archive ACQ
int RunArchive(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
