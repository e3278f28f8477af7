// The browser's work on recorded acquisitions on the command line: joins,
// the exports of a page of raw signal, and regrouping.
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
// orbelune-cli regroup ACQ --preset RxC | --assign GROUP WELL... | --free WELL...
int RunRegroup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
