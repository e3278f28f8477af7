#include "cli/input_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "records/record_files.h"
#include "reports/report_context.h"

namespace orb {

std::optional<std::string> UnreadableReason(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    if (errno == ENOENT) return std::string("no such file");
    return std::string(std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) return std::string("not a regular file");
  // Opened without blocking, so a file that turned into a FIFO meanwhile
  // cannot hang the check.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::string(std::strerror(errno));
  ::close(fd);
  return std::nullopt;
}

std::optional<std::string> AcquisitionInputProblem(const std::filesystem::path& programFolder,
                                                   const std::filesystem::path& acquisitionFolder) {
  const std::filesystem::path counts = acquisitionFolder / kCountsFile;
  if (auto reason = UnreadableReason(counts)) return counts.string() + ": " + *reason;
  if (!ReportPlateAvailable(programFolder, acquisitionFolder)) {
    const std::string code = ReadAcquisitionSettings(acquisitionFolder).plateFormat;
    const std::filesystem::path file = programFolder / (code + ".dat");
    const bool present = !UnreadableReason(file) || !UnreadableReason(programFolder / (code + ".bak"));
    return file.string() + (present ? ": neither it nor " + code + ".bak reads as a plate file"
                                    : ": no such plate file (nor " + code + ".bak)") +
           ", and the plate " + code + " has no built-in layout";
  }
  return std::nullopt;
}

}  // namespace orb
