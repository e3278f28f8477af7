// The template of a data folder (the plate files of data/), built into the
// program.
#pragma once

#include <string_view>
#include <vector>

namespace orb {

struct EmbeddedFile {
  std::string_view name;   // "k96f.dat"
  std::string_view bytes;
};

const std::vector<EmbeddedFile>& EmbeddedDataFiles();

}  // namespace orb
