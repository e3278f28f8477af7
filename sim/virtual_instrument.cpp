#include "sim/virtual_instrument.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <cerrno>
#include <chrono>
#include <algorithm>
#include <deque>
#include <system_error>
#include <thread>

#include "sim/model.h"

namespace orb::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

constexpr int kBaud = 115200;
constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr std::size_t kChunk = 8;    // bytes handed to the terminal at once when paced
constexpr int kIdleRetryMs = 20;     // after a hang-up or I/O error on the master

// Time on the wire of n bytes, computed from the byte count each time so
// that deadlines never drift.
nanoseconds WireTime(std::size_t n) {
  return nanoseconds(static_cast<std::int64_t>(n) * kBitsPerByte * 1'000'000'000LL / kBaud);
}

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

struct Outgoing {
  Reply bytes;
  std::size_t sent = 0;
  SteadyClock::time_point start;  // when the first byte starts on the wire
};

}  // namespace

struct VirtualInstrument::Impl {
  explicit Impl(const InstrumentOptions& o) : options(o), model(o) {}
  ~Impl() { closeAll(); }

  InstrumentOptions options;
  InstrumentModel model;
  int master = -1;
  int slave = -1;     // held open so the master never sees a hang-up between clients
  int stopRead = -1;
  int stopWrite = -1;
  // Opens and closes of the device by clients (Linux: inotify on the device
  // node; -1 when not available, and then every frame is answered).
  int watch = -1;
  int clients = 0;
  std::thread thread;
  std::deque<Outgoing> queue;
  SteadyClock::time_point inputFree{};  // paced: when the PC's last byte so far has arrived

  void closeAll() {
    for (int* fd : {&master, &slave, &stopRead, &stopWrite, &watch})
      if (*fd >= 0) {
        ::close(*fd);
        *fd = -1;
      }
  }

  // Deadline of byte i of a reply: its last bit has left the wire.
  SteadyClock::time_point due(const Outgoing& o, std::size_t i) const {
    return options.paced ? o.start + WireTime(i + 1) : o.start;
  }

  // complete: when the last byte of the frame answered has arrived.
  void schedule(Reply reply, SteadyClock::time_point complete) {
    if (reply.empty()) return;
    auto start = complete + std::chrono::milliseconds(model.faults().delayMs);
    if (!queue.empty()) {
      const Outgoing& last = queue.back();
      auto end = due(last, last.bytes.size() - 1);
      if (start < end) start = end;
    }
    queue.push_back({std::move(reply), 0, start});
  }

  // Writes every byte whose deadline has passed; bytes the terminal cannot
  // take are lost, as they would be on a wire nobody reads.
  void sendDue(SteadyClock::time_point now) {
    while (!queue.empty()) {
      Outgoing& o = queue.front();
      std::size_t end = o.sent;
      while (end < o.bytes.size() && due(o, end) <= now) ++end;
      if (end > o.sent) {
        ssize_t n;
        do n = ::write(master, o.bytes.data() + o.sent, end - o.sent);
        while (n < 0 && errno == EINTR);
        o.sent = end;
      }
      if (o.sent < o.bytes.size()) return;
      queue.pop_front();
    }
  }

  // How long poll may sleep: until the next chunk is complete on the wire.
  int64_t waitNs(SteadyClock::time_point now) const {
    if (queue.empty()) return -1;
    const Outgoing& o = queue.front();
    std::size_t i = std::min(o.sent + kChunk, o.bytes.size()) - 1;
    auto wait = due(o, i) - now;
    return wait.count() > 0 ? std::chrono::duration_cast<nanoseconds>(wait).count() : 0;
  }

  // Counts clients from the open and close events. When the last one has
  // gone: replies still queued or unread are dropped, as on a line nobody
  // listens to, so is a frame it left unfinished, and an exclusive claim of the terminal (TIOCEXCL) is
  // released. Because our own slave descriptor keeps the terminal alive, the
  // claim would otherwise outlive its client and refuse every later open.
  void trackClients() {
#ifdef __linux__
    if (watch < 0) return;
    alignas(inotify_event) char buf[4096];
    bool closed = false;
    for (;;) {
      ssize_t n = ::read(watch, buf, sizeof buf);
      if (n <= 0) break;
      for (char* p = buf; p < buf + n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(p);
        if (e->mask & IN_Q_OVERFLOW) {  // counts lost: stop relying on them
          ::close(watch);
          watch = -1;
          return;
        }
        if (e->mask & IN_OPEN) ++clients;
        if (e->mask & IN_CLOSE) {
          clients = std::max(0, clients - 1);
          closed = true;
        }
        p += sizeof(inotify_event) + e->len;
      }
    }
    if (closed && clients == 0) {
      queue.clear();
      model.dropPartialFrame();
      ::tcflush(slave, TCIFLUSH);
      ::ioctl(slave, TIOCNXCL);
    }
#endif
  }

  bool anyClient() const { return watch < 0 || clients > 0; }

  bool waitForStop(int ms) {
    pollfd p{stopRead, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  }

  void serve() {
    auto last = SteadyClock::now();
    std::uint8_t buf[512];
    for (;;) {
      auto now = SteadyClock::now();
      sendDue(now);
      int64_t ns = waitNs(now);
      timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
      pollfd fds[3] = {{master, POLLIN, 0}, {stopRead, POLLIN, 0}, {watch, POLLIN, 0}};
      int n = ::ppoll(fds, watch >= 0 ? 3 : 2, ns < 0 ? nullptr : &ts, nullptr);
      if (n < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents) return;
      // Before any data: a client's open is always queued before its first
      // write, so its frames are never mistaken for a departed client's.
      trackClients();
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        // No client holds the terminal open (cannot happen while our own
        // slave descriptor lives, but some systems report it anyway).
        if (waitForStop(kIdleRetryMs)) return;
        continue;
      }
      if (!(fds[0].revents & POLLIN)) continue;
      ssize_t got = ::read(master, buf, sizeof buf);
      if (got < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        if (waitForStop(kIdleRetryMs)) return;  // EIO: nobody on the other side
        continue;
      }
      if (got == 0) continue;
      auto arrival = SteadyClock::now();
      model.advance(std::chrono::duration_cast<std::chrono::microseconds>(arrival - last));
      last = arrival;
      // Frames from a client that has already gone still act on the
      // instrument, but their replies would only wait for the next client.
      bool answer = anyClient();
      // Paced, the PC's bytes take their time on the wire too, one after
      // the other: frames written back to back arrive 5 byte times apart,
      // and each is answered only once its own last byte is in.
      auto onWire = options.paced ? std::max(arrival, inputFree) : arrival;
      for (ssize_t i = 0; i < got; ++i) {
        auto complete = options.paced ? onWire + WireTime(static_cast<std::size_t>(i) + 1) : arrival;
        for (Reply& r : model.receive(std::span<const std::uint8_t>(buf + i, 1)))
          if (answer) schedule(std::move(r), complete);
      }
      if (options.paced) inputFree = onWire + WireTime(static_cast<std::size_t>(got));
    }
  }
};

VirtualInstrument::VirtualInstrument(InstrumentOptions options)
    : impl_(std::make_unique<Impl>(options)) {}

VirtualInstrument::~VirtualInstrument() { stop(); }

InstrumentModel& VirtualInstrument::model() { return impl_->model; }

std::string VirtualInstrument::start() {
  Impl& d = *impl_;
  if (d.thread.joinable()) return path_;
  d.closeAll();
  try {
    d.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (d.master < 0) ThrowErrno("posix_openpt");
    if (::grantpt(d.master) != 0) ThrowErrno("grantpt");
    if (::unlockpt(d.master) != 0) ThrowErrno("unlockpt");
    char name[256];
    if (::ptsname_r(d.master, name, sizeof name) != 0) ThrowErrno("ptsname");
    d.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (d.slave < 0) ThrowErrno("open pseudo-terminal");
    // Raw: the line discipline must pass 0x80..0xFF, CR and LF unchanged and
    // echo nothing. The settings belong to the terminal, so they hold for
    // every client until a client changes them.
    termios t{};
    if (::tcgetattr(d.slave, &t) != 0) ThrowErrno("tcgetattr");
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    if (::tcsetattr(d.slave, TCSANOW, &t) != 0) ThrowErrno("tcsetattr");
    int flags = ::fcntl(d.master, F_GETFL);
    if (flags < 0 || ::fcntl(d.master, F_SETFL, flags | O_NONBLOCK) != 0) ThrowErrno("fcntl");
    int p[2];
    if (::pipe2(p, O_CLOEXEC | O_NONBLOCK) != 0) ThrowErrno("pipe2");
    d.stopRead = p[0];
    d.stopWrite = p[1];
#ifdef __linux__
    // Watch only after our own open, so that it does not count as a client.
    d.watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (d.watch >= 0 && ::inotify_add_watch(d.watch, name, IN_OPEN | IN_CLOSE) < 0) {
      ::close(d.watch);
      d.watch = -1;
    }
    d.clients = 0;
#endif
    path_ = name;
    if (!d.options.linkPath.empty()) {
      // Replaced in one step, so the name never points nowhere while serving.
      const std::string temporary = d.options.linkPath + ".new";
      ::unlink(temporary.c_str());
      if (::symlink(name, temporary.c_str()) != 0) ThrowErrno("symlink");
      if (::rename(temporary.c_str(), d.options.linkPath.c_str()) != 0) ThrowErrno("rename");
    }
    d.queue.clear();
    d.thread = std::thread([&d] { d.serve(); });
  } catch (...) {
    d.closeAll();
    path_.clear();
    throw;
  }
  return path_;
}

void VirtualInstrument::stop() {
  Impl& d = *impl_;
  if (!d.thread.joinable()) return;
  std::uint8_t one = 1;
  while (::write(d.stopWrite, &one, 1) < 0 && errno == EINTR) {
  }
  d.thread.join();
  if (!d.options.linkPath.empty()) ::unlink(d.options.linkPath.c_str());
  d.closeAll();
}

}  // namespace orb::sim
