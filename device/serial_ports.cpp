#include "device/serial_ports.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <system_error>
#include <thread>

#include "device/port_settings.h"

namespace orb {
namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Whole milliseconds until `limit`, rounded up so that poll() never wakes
// just before it.
int MsUntil(SteadyClock::time_point limit) {
  auto left = limit - SteadyClock::now();
  if (left <= SteadyClock::duration::zero()) return 0;
  return static_cast<int>(std::chrono::ceil<milliseconds>(left).count());
}

// The line error flags in the form the layer reports them: receive buffer
// overrun 0x1, hardware overrun 0x2, parity 0x4, framing 0x8, break 0x10.
constexpr unsigned kFlagBits[5] = {0x1, 0x2, 0x4, 0x8, 0x10};

}  // namespace

std::string SystemErrorText(int code) {
  std::string text = std::system_category().message(code);
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  if (text.size() > 255) text.resize(255);
  auto first = text.find_first_not_of(" \t\r\n");
  auto last = text.find_last_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, last - first + 1);
}

SerialPorts::~SerialPorts() {
  for (Slot& s : slots_) releaseSlot(s);
}

const char* CommResultName(CommResult result) {
  switch (result) {
    case CommResult::Ok: return "ok";
    case CommResult::PortInUse: return "port in use";
    case CommResult::TimedOut: return "timed out";
    case CommResult::SystemError: return "system error";
    case CommResult::InternalFault: return "internal fault";
  }
  return "?";
}

CommResult SerialPorts::record(CommResult result, int code, std::string operation, std::string message) {
  error_.result = result;
  error_.code = code;
  error_.operation = std::move(operation);
  error_.message = std::move(message);
  return result;
}

CommResult SerialPorts::recordErrno(int code, std::string operation) {
  return record(CommResult::SystemError, code, std::move(operation), SystemErrorText(code));
}

CommResult SerialPorts::recordWithFlags(int code, std::string operation, Slot* s) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", s ? errorFlags(*s) : 0u);
  const CommResult result = code == ETIMEDOUT ? CommResult::TimedOut : CommResult::SystemError;
  return record(result, code, std::move(operation), SystemErrorText(code) + "  COMM Error Flags = " + hex);
}

CommResult SerialPorts::badPort(int port, const char* operation) {
  return record(CommResult::SystemError, EBADF, operation, "Port identifier " + std::to_string(port) + " is outside 1.." +
                                      std::to_string(kPortSlots) + ".");
}

// The line error counters that rose since the last query, as flags. A
// terminal without counters (a pseudo-terminal) reports none.
unsigned SerialPorts::errorFlags(Slot& s) {
  unsigned flags = 0;
#if defined(__linux__) && defined(TIOCGICOUNT)
  serial_icounter_struct counts{};
  if (s.fd >= 0 && ioctl(s.fd, TIOCGICOUNT, &counts) == 0) {
    const int now[5] = {counts.buf_overrun, counts.overrun, counts.parity, counts.frame, counts.brk};
    for (int i = 0; i < 5; ++i) {
      if (now[i] != s.errorCounts[i]) flags |= kFlagBits[i];
      s.errorCounts[i] = now[i];
    }
  }
#else
  (void)s;
#endif
  return flags;
}

void SerialPorts::releaseSlot(Slot& s) {
  if (s.fd >= 0) {
    ioctl(s.fd, TIOCNXCL);
    ::close(s.fd);  // also drops the flock claim
  }
  s = Slot{};
}

// ---- open and close ---------------------------------------------------------

CommResult SerialPorts::CommOpen(int port, const std::string& name, const std::string& settings) {
  if (!valid(port)) return badPort(port, "CommOpen");
  try {
    if (slot(port).open) return record(CommResult::PortInUse, 0, "CommOpen", "Port in use.");
    return openSteps(port, name, settings);
  } catch (const std::exception& e) {
    releaseSlot(slot(port));
    return record(CommResult::InternalFault, 0, "CommOpen", e.what());
  }
}

CommResult SerialPorts::openSteps(int port, const std::string& name, const std::string& settings) {
  const std::string path = map_.devicePath(name);
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int err = errno;
    // A terminal held exclusively by another program refuses the open.
    if (err == EBUSY) return record(CommResult::PortInUse, err, "CommOpen (CreateFile)", "Port in use.");
    return recordErrno(err, "CommOpen (CreateFile)");
  }
  // Claim the device for this slot alone: another program, or another slot
  // of this one, is refused. flock holds even for the superuser, whom
  // TIOCEXCL does not stop.
  int claimError = 0;
  if (!isatty(fd)) claimError = ENOTTY;
  else if (flock(fd, LOCK_EX | LOCK_NB) != 0) claimError = (errno == EWOULDBLOCK) ? EBUSY : errno;
  else if (ioctl(fd, TIOCEXCL) != 0) claimError = errno;
  if (claimError != 0) {
    ::close(fd);
    // Claimed by another program, another slot or another port table.
    if (claimError == EBUSY) return record(CommResult::PortInUse, claimError, "CommOpen (CreateFile)", "Port in use.");
    return recordErrno(claimError, "CommOpen (CreateFile)");
  }

  Slot& s = slot(port);
  s.fd = fd;
  s.open = true;
  // From here on a failure leaves the slot open and the device claimed: the
  // identifier answers "Port in use." until CommClose releases it.
  auto fail = [&](int code, const char* operation) { return recordErrno(code, operation); };
  if (tcflush(fd, TCIOFLUSH) != 0) return fail(errno, "CommOpen (PurgeComm)");
  if (tcgetattr(fd, &s.config) != 0) return fail(errno, "CommOpen (GetCommState)");
  termios wanted = s.config;
  auto parsed = ParsePortSettings(settings);
  if (!parsed || !ApplyPortSettings(*parsed, wanted)) return fail(EINVAL, "CommOpen (BuildCommDCB)");
  if (tcsetattr(fd, TCSANOW, &wanted) != 0) return fail(errno, "CommOpen (SetCommState)");
  s.config = wanted;
  errorFlags(s);  // start the error counters from here
  return CommResult::Ok;
}

CommResult SerialPorts::CommClose(int port) {
  if (!valid(port)) return badPort(port, "CommClose");
  Slot& s = slot(port);
  if (!s.open) return CommResult::Ok;
  ioctl(s.fd, TIOCNXCL);
  int r = ::close(s.fd);
  int e = errno;
  s = Slot{};
  // After EINTR the descriptor is gone all the same on this system.
  if (r != 0 && e != EINTR) return recordErrno(e, "CommClose (CloseHandle)");
  return CommResult::Ok;
}

// ---- flush and lines --------------------------------------------------------

CommResult SerialPorts::CommFlush(int port) {
  if (!valid(port)) return badPort(port, "CommFlush");
  Slot& s = slot(port);
  if (!s.open) return recordErrno(EBADF, "CommFlush (PurgeComm)");
  // Input only: discarding the output side of a pseudo-terminal could drop
  // a frame the other end has not read yet.
  if (tcflush(s.fd, TCIFLUSH) != 0) return recordErrno(errno, "CommFlush (PurgeComm)");
  return CommResult::Ok;
}

CommResult SerialPorts::CommSetLine(int port, int line, bool state) {
  if (!valid(port)) return badPort(port, "CommSetLine");
  Slot& s = slot(port);
  const char* operation = "CommSetLine (EscapeCommFunction)";
  if (!s.open) return recordErrno(EBADF, operation);
  int r = -1;
  if (line == kLineBreak) {
    r = ioctl(s.fd, state ? TIOCSBRK : TIOCCBRK);
  } else if (line == kLineDtr || line == kLineRts) {
    int bits = (line == kLineDtr) ? TIOCM_DTR : TIOCM_RTS;
    r = ioctl(s.fd, state ? TIOCMBIS : TIOCMBIC, &bits);
  } else {
    return recordErrno(EINVAL, operation);
  }
  if (r == 0) return CommResult::Ok;
  int e = errno;
  // A pseudo-terminal has no modem lines; that is "not supported here",
  // not a failure of the exchange.
  if (e == ENOTTY || e == EINVAL) return CommResult::Ok;
  return recordErrno(e, operation);
}

// ---- read -------------------------------------------------------------------

// One platform read: returns the bytes received; `err` is set when the
// device failed or hung up.
int SerialPorts::platformRead(Slot& s, char* buffer, int wanted, int& err) {
  const auto deadline = SteadyClock::now() + milliseconds(kReadTotalMs);
  SteadyClock::time_point lastByte{};
  int got = 0;
  while (got < wanted) {
    auto limit = deadline;
    if (got > 0) limit = std::min(limit, lastByte + milliseconds(kReadIntervalMs));
    int timeout = MsUntil(limit);
    if (timeout <= 0) break;
    pollfd p{s.fd, POLLIN, 0};
    int r = poll(&p, 1, timeout);
    if (r < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    if (r == 0) continue;  // the loop checks the time again
    if ((p.revents & POLLIN) == 0) {
      err = (p.revents & POLLNVAL) ? EBADF : EIO;
      break;
    }
    ssize_t n = ::read(s.fd, buffer + got, static_cast<std::size_t>(wanted - got));
    if (n > 0) {
      got += static_cast<int>(n);
      lastByte = SteadyClock::now();
    } else if (n == 0) {
      err = EIO;  // the line was hung up
      break;
    } else if (errno != EAGAIN && errno != EINTR) {
      err = errno;
      break;
    }
  }
  return got;
}

CommResult SerialPorts::CommRead(int port, std::string& out, int wanted) {
  out.clear();
  if (!valid(port)) return badPort(port, "CommRead");
  try {
    Slot& s = slot(port);
    if (!s.open) return recordWithFlags(EBADF, "CommRead (ReadFile)", nullptr);
    char scratch[512];
    int obtained = 0;
    int attempts = 0;
    int err = 0;
    while (obtained < wanted && attempts < kReadAttempts) {
      int chunk = std::min(wanted - obtained, static_cast<int>(sizeof scratch));
      int n = platformRead(s, scratch, chunk, err);
      out.append(scratch, static_cast<std::size_t>(n));
      obtained += n;
      if (err != 0) break;
      if (obtained < wanted) {
        ++attempts;
        std::this_thread::sleep_for(milliseconds(kReadPauseMs));
      }
    }
    if (err != 0) return recordWithFlags(err, "CommRead (ReadFile)", &s);
    if (obtained < wanted) CommFlush(port);
    return CommResult::Ok;
  } catch (const std::exception& e) {
    return record(CommResult::InternalFault, 0, "CommRead", e.what());
  }
}

// ---- write ------------------------------------------------------------------

// Writes every byte (waiting for room as long as the write time-out allows),
// then waits until they have left. Returns the count written; `err` is set
// on failure.
int SerialPorts::writeAll(Slot& s, const std::string& bytes, int& err) {
  const auto deadline =
      SteadyClock::now() + milliseconds(static_cast<long long>(kWriteMsPerByte) * std::max<std::size_t>(bytes.size(), 1));
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(s.fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      err = errno;
      return static_cast<int>(done);
    }
    int timeout = MsUntil(deadline);
    if (timeout <= 0) {
      err = ETIMEDOUT;
      return static_cast<int>(done);
    }
    pollfd p{s.fd, POLLOUT, 0};
    int r = poll(&p, 1, timeout);
    if (r < 0 && errno != EINTR) {
      err = errno;
      return static_cast<int>(done);
    }
    if (r > 0 && (p.revents & POLLOUT) == 0) {
      err = EIO;
      return static_cast<int>(done);
    }
  }
  while (tcdrain(s.fd) != 0) {
    if (errno != EINTR) {
      err = errno;
      break;
    }
  }
  return static_cast<int>(done);
}

CommResult SerialPorts::CommWrite(int port, const std::string& bytes) {
  if (!valid(port)) return badPort(port, "CommWrite");
  try {
    Slot& s = slot(port);
    if (!s.open) return recordWithFlags(EBADF, "CommWrite (WriteFile)", nullptr);
    int err = 0;
    writeAll(s, bytes, err);
    if (err == 0) return CommResult::Ok;
    // A write that ran out of time is TimedOut; any other failure a
    // SystemError.
    return recordWithFlags(err, "CommWrite (WriteFile)", &s);
  } catch (const std::exception& e) {
    return record(CommResult::InternalFault, 0, "CommWrite", e.what());
  }
}

}  // namespace orb
