// ModCOMM: the port table through which every byte to and from the
// instrument passes. Ports are addressed by an identifier 1..16 (the program
// uses the COM number itself). No operation throws: each returns a
// CommResult, and a failure also fills the last-error record.
//
// Timing of a read: one platform read ends when the wanted bytes are in,
// when 100 ms pass after a byte without another, or 500 ms after it began
// (one deadline for the whole platform read, however many pieces arrive).
// CommRead makes at most five platform reads with 5 ms pauses between short
// ones, and discards unread input after a short read so a late tail cannot
// be taken for the start of the next reply.
#pragma once

#include <termios.h>

#include <array>
#include <cstdint>
#include <string>

#include "device/port_map.h"

namespace orb {

inline constexpr int kPortSlots = 16;

// What a serial operation came to. Every result but Ok also fills the
// last-error record: the operation, the system's error number where there
// is one, and a text for the person.
enum class CommResult {
  Ok,
  PortInUse,      // CommOpen: the slot is already open, or the device is held by another ("Port in use.")
  TimedOut,       // CommWrite: not every byte left within the write time-out
  SystemError,    // a platform call failed, or the slot is not open or does not exist
  InternalFault,  // an unexpected fault inside the layer
};
// "ok", "port in use", "timed out", "system error", "internal fault".
const char* CommResultName(CommResult result);

// The lines of CommSetLine.
inline constexpr int kLineBreak = 1;
inline constexpr int kLineDtr = 2;
inline constexpr int kLineRts = 3;

// Timing of reads and writes, in milliseconds.
inline constexpr int kReadIntervalMs = 100;
inline constexpr int kReadTotalMs = 500;
inline constexpr int kReadAttempts = 5;
inline constexpr int kReadPauseMs = 5;
inline constexpr int kWriteMsPerByte = 1000;

// The last failure, for diagnostics.
struct CommError {
  CommResult result = CommResult::Ok;
  std::int32_t code = 0;  // the system's error number; 0 where there is none
  std::string operation;  // "CommOpen (BuildCommDCB)", "CommRead (ReadFile)", ...
  std::string message;    // the system's text; reads and writes append the error flags
};

// The system's text for an error number, trimmed.
std::string SystemErrorText(int code);

class SerialPorts {
 public:
  explicit SerialPorts(PortMap map = PortMap{}) : map_(std::move(map)) {}
  ~SerialPorts();  // closes every open slot
  SerialPorts(const SerialPorts&) = delete;
  SerialPorts& operator=(const SerialPorts&) = delete;

  // Opens `name` ("COM3" or a device path) exclusively and applies the
  // settings string: Ok, PortInUse or SystemError. A device that
  // cannot be opened or claimed leaves the slot closed; a failure once the
  // device is open (purge, line settings) leaves the slot open and the
  // device claimed until CommClose.
  CommResult CommOpen(int port, const std::string& name, const std::string& settings);
  // Ok also when the slot was not open.
  CommResult CommClose(int port);
  // Discards unread input only; bytes already written are never dropped.
  CommResult CommFlush(int port);
  // Replaces `out` with the bytes that arrived, up to `wanted` (fewer, or
  // none, when the instrument said less in time: still Ok). SystemError
  // after a failed platform read; `out` then holds what came before it.
  CommResult CommRead(int port, std::string& out, int wanted);
  // Returns once the bytes have left: Ok when all of them did, TimedOut when
  // the time-out ran out first, SystemError when the platform refused.
  CommResult CommWrite(int port, const std::string& bytes);
  // BREAK (1), DTR (2) or RTS (3) set or cleared. A terminal without modem
  // lines (a pseudo-terminal) counts as success.
  CommResult CommSetLine(int port, int line, bool state);

  bool isOpen(int port) const { return valid(port) && slot(port).open; }
  const CommError& lastError() const { return error_; }
  const PortMap& portMap() const { return map_; }
  PortMap& portMap() { return map_; }

 private:
  struct Slot {
    int fd = -1;
    bool open = false;
    termios config{};  // the configuration last applied
    std::array<int, 5> errorCounts{};  // line error counters at the last query
  };

  static bool valid(int port) { return port >= 1 && port <= kPortSlots; }
  Slot& slot(int port) { return slots_[port - 1]; }
  const Slot& slot(int port) const { return slots_[port - 1]; }

  CommResult openSteps(int port, const std::string& name, const std::string& settings);
  int platformRead(Slot& s, char* buffer, int wanted, int& err);
  int writeAll(Slot& s, const std::string& bytes, int& err);
  unsigned errorFlags(Slot& s);
  void releaseSlot(Slot& s);

  CommResult record(CommResult result, int code, std::string operation, std::string message);
  CommResult recordErrno(int code, std::string operation);
  CommResult recordWithFlags(int code, std::string operation, Slot* s);
  CommResult badPort(int port, const char* operation);

  PortMap map_;
  std::array<Slot, kPortSlots> slots_;
  CommError error_;
};

}  // namespace orb
