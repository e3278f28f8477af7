// A pseudo-terminal pair: the test holds the master side and plays the
// instrument; the serial layer opens the slave's path.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace orb::testing {

class PtyPair {
 public:
  PtyPair() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK)) {
    char name[256];
    if (master_ < 0 || grantpt(master_) || unlockpt(master_) || ptsname_r(master_, name, sizeof name))
      throw std::runtime_error("no pseudo-terminal");
    path_ = name;
  }
  ~PtyPair() { ::close(master_); }
  const std::string& path() const { return path_; }
  void send(const std::string& bytes) const {
    if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      throw std::runtime_error("write to the pseudo-terminal");
  }
  // What the layer wrote, waiting up to a second for `n` bytes.
  std::string receive(std::size_t n) const {
    std::string out;
    char buf[512];
    for (int i = 0; i < 100 && out.size() < n; ++i) {
      ssize_t got = ::read(master_, buf, sizeof buf);
      if (got > 0) out.append(buf, static_cast<std::size_t>(got));
      else usleep(10000);
    }
    return out;
  }
  // With line editing on, bytes without an end of line are held back from
  // the reader (the master reaches the slave's settings).
  void holdInput(bool on) const {
    termios t{};
    tcgetattr(master_, &t);
    t.c_lflag = on ? (t.c_lflag | ICANON) : (t.c_lflag & ~static_cast<tcflag_t>(ICANON));
    tcsetattr(master_, TCSANOW, &t);
  }

 private:
  int master_;
  std::string path_;
};

}  // namespace orb::testing
