// ModCOMM: the port table through which every byte to and from the
// instrument passes. Ports are addressed by an identifier 1..16 (the program
// uses the COM number itself). No operation throws: each returns a result
// code and a failure also fills the last-error record.
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

// Result codes besides 0 and the operating system's error numbers.
inline constexpr int kCommOk = 0;
inline constexpr int kCommPortInUse = -1;        // CommOpen: the slot is already open
inline constexpr int kCommFailed = -1;           // CommRead / CommWrite: the platform call failed
inline constexpr int kCommInternalFault = -2;    // an unexpected fault inside the layer

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
  std::int32_t code = 0;
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
  // settings string. 0, kCommPortInUse, or an error number. A device that
  // cannot be opened or claimed leaves the slot closed; a failure once the
  // device is open (purge, line settings) leaves the slot open and the
  // device claimed until CommClose.
  int CommOpen(int port, const std::string& name, const std::string& settings);
  // 0 also when the slot was not open.
  int CommClose(int port);
  // Discards unread input only; bytes already written are never dropped.
  int CommFlush(int port);
  // Replaces `out` with up to `wanted` bytes; returns how many arrived, or
  // kCommFailed after a failed platform read.
  int CommRead(int port, std::string& out, int wanted);
  // Returns once the bytes have left: the count written, or kCommFailed.
  int CommWrite(int port, const std::string& bytes);
  // BREAK (1), DTR (2) or RTS (3) set or cleared. A terminal without modem
  // lines (a pseudo-terminal) counts as success.
  int CommSetLine(int port, int line, bool state);

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

  int openSteps(int port, const std::string& name, const std::string& settings);
  int platformRead(Slot& s, char* buffer, int wanted, int& err);
  int writeAll(Slot& s, const std::string& bytes, int& err);
  unsigned errorFlags(Slot& s);
  void releaseSlot(Slot& s);

  int record(int code, std::string operation, std::string message);
  int recordErrno(int code, std::string operation);
  int recordWithFlags(int code, std::string operation, Slot* s);
  int badPort(int port, const char* operation);

  PortMap map_;
  std::array<Slot, kPortSlots> slots_;
  CommError error_;
};

}  // namespace orb
