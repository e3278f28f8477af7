// The browser's work on recorded acquisitions on the command line: joins
// and the exports of a page of raw signal.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

// orbelune-cli join ACQ ACQ... [--into NAME]
int RunJoin(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// orbelune-cli export-ascii ACQ --well A1 [--page N]
int RunExportAscii(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// orbelune-cli export-image ACQ --well A1 [--page N] --out FILE
int RunExportImage(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
