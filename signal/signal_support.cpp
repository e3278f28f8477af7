#include "signal/signal_support.h"

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "common/format.h"
#include "signal/signal_analysis.h"

namespace orb {

void CheckSignalArguments(std::size_t values, int beam, int samples) {
  if (samples < kSignalMinSamples) {
    throw std::invalid_argument("an interval of " + std::to_string(samples) + " samples is too short to analyse");
  }
  const std::size_t needed = std::size_t(kChannelSlots) * std::size_t(samples);
  if (values < needed) {
    throw std::invalid_argument("interval buffer holds " + std::to_string(values) + " values, " +
                                std::to_string(needed) + " needed");
  }
  if (beam < 0 || beam >= kChannelSlots) {
    throw std::invalid_argument("beam " + std::to_string(beam) + " out of range");
  }
}

std::error_code AppendText(const std::filesystem::path& file, std::string_view text) {
  errno = 0;
  std::FILE* f = std::fopen(file.c_str(), "ab");
  if (f == nullptr) return std::error_code(errno ? errno : EIO, std::generic_category());
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const int writeErrno = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written) return std::error_code(writeErrno ? writeErrno : EIO, std::generic_category());
  if (!closed) return std::error_code(errno ? errno : EIO, std::generic_category());
  return {};
}

}  // namespace orb
