// orbelune-cli [--data DIR] report FOLDER [--bin N]
//     [--layout rows|list|warray|charray|histogram] [--type csv|txt]
//     [--spacer S] [--stats se,sd,n,median]
//     [--basal ACQUISITION [--basal-minutes Z] [--zero-basal max|average|discard|stop]]
// writes the report of a recorded acquisition as the report window's
// "Generate..." does and prints the files it wrote, one per line.
//
// Defaults are the report settings of the data folder (repoconf.dat, the
// built-in defaults when there is none); a folder holding histogram files
// defaults to the histogram layout, as the report window does. Choosing
// --type sets the separator of that type (the list separator for csv, a
// blank for txt) unless --spacer is given. The questions of the basal
// normalisation are answered by --basal-minutes and --zero-basal; a question
// without its option is an error naming the option.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

// `args` are the options after the command word; "--data DIR" may be among
// them. Exit codes: 0 report written (or stopped by --zero-basal stop),
// 2 usage (also a basal question without its option, or a --basal-minutes
// out of range), 4 no report could be written (the message says why).
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
