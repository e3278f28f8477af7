// The data folder: config.dat, calvalue.dat, repoconf.dat, the plate files
// and project 0 live in it, and project n in its sub-folder pNNNNN.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orb {

// --data DIR when given, else $ORBELUNE_DATA, else ~/Orbelune.
std::filesystem::path ResolveDataFolder(const std::string& option);

struct InitResult {
  std::vector<std::filesystem::path> written;  // files created
  int demoProject = 0;                          // number of the demo project, 0 when none
};

// Lays out a complete installation in `folder`, creating only what is
// missing: config.dat (project 0, COM 4), the plate files, and project 0's
// files (Plate_format k96f). With `demo`, also a project named "Demo" (k96f,
// wells grouped by pairs of columns) made current. Throws on failure.
InitResult InitDataFolder(const std::filesystem::path& folder, bool demo);

}  // namespace orb
