// The instrument's wire codec: command frames, channel setting bytes, block
// replies, serial numbers and the factory temperature calibration. Bytes to
// values and back, no I/O; DeviceLink (device_link.h) drives the exchanges.
//
// A command frame is always five bytes: FF B1 B2 B3 F0. Strings carry one
// byte per character (values 0..255).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/beam_geometry.h"

namespace orb {

inline constexpr int kFrameSize = 5;
inline constexpr std::uint8_t kFrameStart = 0xFF;
inline constexpr std::uint8_t kFrameEnd = 0xF0;

// B1, the mode byte.
inline constexpr std::uint8_t kModeQuery = 0x00;
inline constexpr std::uint8_t kModeWriteLow = 0x80;   // channels 0..127, factory bytes
inline constexpr std::uint8_t kModeWriteHigh = 0x81;  // channels 128..383

// B2, the command codes of queries.
inline constexpr std::uint8_t kCmdIdentify = 0x00;
inline constexpr std::uint8_t kCmdSetOutputs = 0x10;
inline constexpr std::uint8_t kCmdReadFactory = 0x20;
inline constexpr std::uint8_t kCmdReadTemperature = 0x21;
inline constexpr std::uint8_t kCmdReadBlock = 0x30;
inline constexpr std::uint8_t kFactoryAddress = 0x80;  // factory byte k lives at 0x80 + k

inline constexpr int kBlockReadings = kBlockChannels;
inline constexpr int kBlockReplyBytes = 192;
inline constexpr int kFactoryBytes = 8;

// Default temperature conversion of an instrument without a valid factory
// calibration.
inline constexpr double kDefaultSlope = 0.219;
inline constexpr double kDefaultOffset = 0.0;

std::string BuildFrame(std::uint8_t b2, std::uint8_t b3, std::uint8_t b1);

// gain * 32 + pinhole; each is held to 0..7 first, so that the pinhole
// never spills into the gain bits.
std::uint8_t ChannelSettingByte(int pinhole, int gain);

// The B1/B2 pair that addresses a channel's setting (channel 0..383).
struct ChannelAddress {
  std::uint8_t b1;
  std::uint8_t b2;
};
ChannelAddress ChannelWriteAddress(int channel);

// Set outputs: bit 2 light, bit 1 heat (1) or cool (0), bit 0 power.
std::uint8_t OutputsArgument(bool lightOn, bool heatMode, bool powerOn);

// A parsed block reply. Readings are high * 256 + low with the high byte
// held to 15; `highByteOutOfRange` tells that some high byte was above 15,
// and the acquisition discards such a block.
struct BlockReadings {
  std::array<int, kBlockReadings> values{};
  bool highByteOutOfRange = false;
};
// Nothing unless the reply holds exactly 192 bytes.
std::optional<BlockReadings> ParseBlock(std::string_view reply);


// first * 255 + second (255, not 256); a single byte counts with second 0;
// -1 for an empty reply.
int SerialFromReply(std::string_view reply);

// Factory temperature calibration.
struct FactoryCalibration {
  bool calibrated = false;
  int month = 0;
  int year = 0;
  double slope = kDefaultSlope;
  double offset = kDefaultOffset;
};

// The accepted calibration from factory bytes 0..7 (-1 = never read), or
// nothing when a byte is out of its range, the offset outside -10..10 or
// the slope outside 0.1..0.45.
std::optional<FactoryCalibration> CheckFactoryCalibration(const std::array<int, kFactoryBytes>& bytes);

// Degrees Celsius from a raw temperature reading.
inline double ConvertTemperature(int raw, double slope, double offset) { return raw * slope + offset; }

}  // namespace orb
