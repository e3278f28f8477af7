// orbelune-cli [--data DIR] groups show|preset|assign|free|name ...: the
// project editor's group assignment on the current project of the data
// folder, through the same core functions as the editor's window:
//   groups show                   the groups with their wells, the free wells
//                                 and the plate's block presets
//   groups preset RxC             AUTO-ARRANGE with the preset of blocks of R
//                                 rows by C columns (2x3, 02x03)
//   groups assign GROUP WELL...   the wells (A1, B12, or rectangles A1:B2)
//                                 join GROUP, as a drag with the left button
//   groups free WELL...           the wells become free, as a right drag
//   groups name GROUP NAME        renames GROUP
// A change is saved at once with the project's files (SaveProject: each file
// replaced whole), then the groups are printed as by show.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orb {

// `args` are the options after the command word; "--data DIR" may be among
// them. Exit codes: 0 done, 2 usage (also a well not on the plate, a group
// outside 0..383, a preset the plate does not offer, a name groups.dat
// cannot hold), 3 no config.dat, 4 the project's files could not be written.
int RunGroups(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace orb
