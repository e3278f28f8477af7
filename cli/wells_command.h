// orbelune-cli [--data DIR] wells FOLDER [--bin N] [--time|--no-time]: the
// one-file-per-well export of a recorded acquisition. With the time field
// (the default) one file per well with time stamps, with --no-time one file
// per channel and time.txt. The bin defaults to the report settings of the
// data folder (repoconf.dat, 30 minutes when there is none). Prints the
// files written, one per line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

// `args` are the options after the command word; "--data DIR" may be among
// them. Exit codes: 0 exported, 2 usage, 4 no counts.bin in FOLDER or a
// file that could not be read or written.
int RunWells(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
