// DeviceLink: the exchanges with the instrument over the current port. Every
// exchange is a five-byte frame, usually followed by a short reply read with
// CommRead's bounded retries. Pauses and yields go through the EventLoop,
// messages through the Operator. Nothing here throws on a failed exchange:
// results are -1 for no reply, 1/-1 for verified writes, an empty optional
// for a bad block.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "device/connection_state.h"
#include "device/protocol.h"
#include "device/serial_ports.h"

namespace orb {

class EventLoop;
class Operator;

// How a block reply is requested from the serial layer: one read of 192
// bytes, or two reads of 96 appended (the acquisition tick's form).
enum class BlockReadForm { Whole, Halves };

class DeviceLink {
 public:
  DeviceLink(SerialPorts& ports, ConnectionState& state, EventLoop& loop, Operator& op)
      : ports_(ports), state_(state), loop_(loop), op_(op) {}

  // Writes FF b1 b2 b3 F0 and reads a two-byte reply: the first reply byte
  // (0..255), or -1 when nothing arrived. No flush before the write.
  int Transact(std::uint8_t b2, std::uint8_t b3, std::uint8_t b1 = kModeQuery);
  // Writes the frame and reads nothing: the write's result (Ok when all
  // five bytes left).
  CommResult SendFrame(std::uint8_t b2, std::uint8_t b3, std::uint8_t b1 = kModeQuery);

  // Raises DTR and RTS, sends Identify, waits 5 ms, reads two bytes and
  // lowers RTS and DTR: first * 255 + second, or -1 when nothing arrived.
  int ReadSerialNumber();

  // Flushes, requests the block at position `start` (0, 32, 64 or 96) and
  // parses the reply; nothing when it is not exactly 192 bytes.
  std::optional<BlockReadings> ReadBlock(int start, BlockReadForm form = BlockReadForm::Whole);

  // Verified writes: 1 when the instrument echoed B2, else -1 after the
  // recovery rounds and the message "Ops...Data Writing ERROR: reg(...)".
  // Main-window form (calibration): channel 0..383.
  int WriteChannelSetting(int channel, int pinhole, int gain);
  // Factory form: factory byte k (0..6) = value (0..255).
  int WriteFactoryByte(int k, int value);

  // Reads factory bytes 0..7 and sets the shared calibration: accepted
  // values, or not calibrated with slope 0.219 and offset 0. Returns the
  // bytes as read (-1 for a byte never read twice alike).
  std::array<int, kFactoryBytes> ReadFactoryCalibration();

  // Raw temperature 0..255, or -1.
  int ReadTemperatureRaw() { return Transact(kCmdReadTemperature, 0, kModeQuery); }
  double Temperature(int raw) const { return state_.temperature(raw); }

  // Set outputs: light, heat (else cool) and heater/cooler power; the
  // result of SendFrame.
  CommResult SetOutputs(bool lightOn, bool heatMode, bool powerOn) {
    return SendFrame(kCmdSetOutputs, OutputsArgument(lightOn, heatMode, powerOn), kModeQuery);
  }

  // Closes the current port and opens it again under the same name, with
  // the instrument's line settings (an instrument unplugged and plugged
  // back in comes back under its name): the result of the open.
  CommResult ReopenPort();
  SerialPorts& ports() { return ports_; }
  ConnectionState& state() { return state_; }
  EventLoop& loop() { return loop_; }
  Operator& op() { return op_; }

 private:
  struct Recovery {
    int rounds;         // recovery rounds after the first burst
    int pauseMs;        // before and after the resynchronising query
    int sendPauseMs;    // after each write frame of a recovery round
    bool flushBeforeThird;
  };
  int VerifiedWrite(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, int reg, const Recovery& plan);
  int port() const { return state_.currentPort; }

  SerialPorts& ports_;
  ConnectionState& state_;
  EventLoop& loop_;
  Operator& op_;
};

}  // namespace orb
