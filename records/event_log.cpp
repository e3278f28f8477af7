#include "records/event_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orb {

std::string FormatEventLine(const RecordedEvent& event) {
  const LocalDateTime& t = event.when;
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return std::string(stamp) + " interval " + std::to_string(event.interval) + " (minute " +
         std::to_string(event.minute) + "): " + event.text;
}

std::optional<RecordFileError> AppendEvent(const std::filesystem::path& acquisitionFolder,
                                           const RecordedEvent& event) {
  const std::filesystem::path file = acquisitionFolder / kEventsFile;
  const std::string line = FormatEventLine(event) + "\r\n";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return RecordFileError{file, std::strerror(errno)};
  int err = 0;
  for (;;) {
    const ssize_t n = ::write(fd, line.data(), line.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    else if (static_cast<std::size_t>(n) != line.size()) err = ENOSPC;
    break;
  }
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err != 0) return RecordFileError{file, std::strerror(err)};
  return std::nullopt;
}

}  // namespace orb
