// The instrument itself as a state machine: command frames in, reply bytes
// out, no I/O and no clock of its own (time passes only through advance()).
// Every public member is thread-safe.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "sim/beams.h"
#include "sim/virtual_instrument.h"

namespace orb::sim {

using Reply = std::vector<std::uint8_t>;

constexpr std::uint8_t kFrameStart = 0xFF;
constexpr std::uint8_t kFrameEnd = 0xF0;
constexpr std::uint8_t kDefaultSetting = 3 * 32 + 2;  // gain 3, pinhole 2
constexpr double kAmbientTemperature = 22.0;
constexpr int kMaxSerial = 255 * 255 + 254;  // the largest serial two bytes can say

class InstrumentModel {
 public:
  explicit InstrumentModel(const InstrumentOptions& options = {});

  // Bytes as they arrive from the PC, in any pieces. Returns the replies of
  // the frames completed by these bytes, in order (frames without a reply,
  // and everything while silent, add nothing).
  std::vector<Reply> receive(std::span<const std::uint8_t> bytes);
  // Forgets a frame begun but not finished (its sender has gone).
  void dropPartialFrame();

  // Lets time pass: animals move, the temperature drifts.
  void advance(std::chrono::microseconds elapsed);
  std::chrono::microseconds now() const;

  std::uint8_t channelSetting(int channel) const;
  std::uint8_t factoryByte(int k) const;
  int outputs() const;               // last Set outputs code, 0..7
  double temperature() const;        // true temperature of the plate, deg C
  int rawTemperature() const;        // what Read temperature answers
  double activity(int channel) const;  // crossings per second
  double level(int channel) const;   // noiseless level at the current setting

  Faults faults() const;
  void setFaults(const Faults& faults);

  std::uint64_t framesReceived() const;
  std::uint64_t bytesDiscarded() const;  // dropped while looking for a frame

 private:
  std::vector<Reply> receiveLocked(std::span<const std::uint8_t> bytes);
  bool answer(const std::array<std::uint8_t, 5>& f, Reply& reply);
  Reply readBlock(int start);
  int rawTemperatureLocked() const;
  bool dead(int channel) const;
  void applyBeamFaults();

  mutable std::mutex m_;
  InstrumentOptions opt_;
  BeamField beams_;
  Random faultRandom_;
  std::array<std::uint8_t, kChannels> settings_;
  std::array<std::uint8_t, 8> factory_{};
  std::array<bool, kChannels> dead_{};
  std::array<int, kChannels> lightOf_{};  // the channel whose setting lights each beam
  double sensorSlope_ = 0.219;   // the sensor's own response, fixed at the factory
  double sensorOffset_ = 0.0;
  int outputs_ = 0;
  double temperature_ = kAmbientTemperature;
  std::int64_t nowUs_ = 0;
  std::vector<std::uint8_t> frame_;
  std::uint64_t frames_ = 0;
  std::uint64_t discarded_ = 0;
  std::uint64_t replies_ = 0;
};

}  // namespace orb::sim
