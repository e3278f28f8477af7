#include "common/fileio.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <random>

namespace orb {
namespace fs = std::filesystem;

std::optional<std::string> ReadWholeFile(const fs::path& file) {
  if (!FileExists(file)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::error_code WriteFileAtomic(const fs::path& file, std::string_view bytes) {
  std::random_device rd;
  fs::path temp = file;
  temp += ".tmp" + std::to_string(rd() % 1000000);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return {errno, std::generic_category()};
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::error_code ec(errno, std::generic_category());
      ::close(fd);
      ::unlink(temp.c_str());
      return ec;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    std::error_code ec(errno, std::generic_category());
    ::unlink(temp.c_str());
    return ec;
  }
  std::error_code ec;
  fs::rename(temp, file, ec);
  if (ec) {
    ::unlink(temp.c_str());
    return ec;
  }
  // Make the rename itself durable.
  int dir = ::open(file.has_parent_path() ? file.parent_path().c_str() : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}

bool CopyWholeFile(const fs::path& from, const fs::path& to) {
  if (!FileExists(from)) return false;
  auto bytes = ReadWholeFile(from);
  if (!bytes) return false;
  return !WriteFileAtomic(to, *bytes);
}

bool FileExists(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}

bool FolderExists(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder, ec);
}

}  // namespace orb
