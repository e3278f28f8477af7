// A plain POSIX client of the virtual instrument's terminal, independent of
// the program's own serial layer. Non-blocking, so that a terminal whose
// output was stopped (an XOFF taken as flow control) fails a test instead
// of hanging it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace orb::sim::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Frame(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) { return {0xFF, b1, b2, b3, 0xF0}; }

class PtyClient {
 public:
  // raw = false keeps the terminal settings the server made; flush = false
  // keeps whatever waits in the terminal.
  explicit PtyClient(const std::string& path, bool raw = true, bool flush = true)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK)) {
    termios t{};
    if (fd_ >= 0 && raw && ::tcgetattr(fd_, &t) == 0) {
      ::cfmakeraw(&t);
      ::tcsetattr(fd_, TCSANOW, &t);
    }
    if (fd_ >= 0 && flush) ::tcflush(fd_, TCIOFLUSH);
  }
  ~PtyClient() { close(); }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool write(const Bytes& b) {
    for (std::size_t done = 0; done < b.size();) {
      ssize_t n = ::write(fd_, b.data() + done, b.size() - done);
      pollfd p{fd_, POLLOUT, 0};
      if (n > 0) done += static_cast<std::size_t>(n);
      else if (n < 0 && errno != EAGAIN) return false;
      else if (::poll(&p, 1, 2000) <= 0) return false;
    }
    return true;
  }

  // Up to n bytes, waiting at most timeoutMs for each next piece.
  Bytes read(std::size_t n, int timeoutMs = 2000) {
    Bytes out;
    std::uint8_t buf[256];
    pollfd p{fd_, POLLIN, 0};
    while (out.size() < n && ::poll(&p, 1, timeoutMs) > 0) {
      ssize_t got = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
      if (got <= 0) break;
      out.insert(out.end(), buf, buf + got);
    }
    return out;
  }

  Bytes exchange(const Bytes& frame, std::size_t n) { return write(frame) ? read(n) : Bytes{}; }

 private:
  int fd_;
};

}  // namespace orb::sim::testing
