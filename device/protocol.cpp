#include "device/protocol.h"

#include <algorithm>

namespace orb {

std::string BuildFrame(std::uint8_t b2, std::uint8_t b3, std::uint8_t b1) {
  std::string frame(kFrameSize, '\0');
  frame[0] = static_cast<char>(kFrameStart);
  frame[1] = static_cast<char>(b1);
  frame[2] = static_cast<char>(b2);
  frame[3] = static_cast<char>(b3);
  frame[4] = static_cast<char>(kFrameEnd);
  return frame;
}

std::uint8_t ChannelSettingByte(int pinhole, int gain) {
  pinhole = std::clamp(pinhole, 0, 7);
  gain = std::clamp(gain, 0, 7);
  return static_cast<std::uint8_t>(gain * 32 + pinhole);
}

ChannelAddress ChannelWriteAddress(int channel) {
  if (channel < 128) return {kModeWriteLow, static_cast<std::uint8_t>(channel)};
  return {kModeWriteHigh, static_cast<std::uint8_t>(channel - 128)};
}

std::uint8_t OutputsArgument(bool lightOn, bool heatMode, bool powerOn) {
  return static_cast<std::uint8_t>((lightOn ? 4 : 0) + (heatMode ? 2 : 0) + (powerOn ? 1 : 0));
}

std::optional<BlockReadings> ParseBlock(std::string_view reply) {
  if (reply.size() != kBlockReplyBytes) return std::nullopt;
  BlockReadings block;
  for (int i = 0; i < kBlockReadings; ++i) {
    int high = static_cast<unsigned char>(reply[2 * i]);
    int low = static_cast<unsigned char>(reply[2 * i + 1]);
    if (high > 15) {
      high = 15;
      block.highByteOutOfRange = true;
    }
    block.values[i] = high * 256 + low;
  }
  return block;
}


int SerialFromReply(std::string_view reply) {
  if (reply.empty()) return -1;
  int first = static_cast<unsigned char>(reply[0]);
  int second = reply.size() > 1 ? static_cast<unsigned char>(reply[1]) : 0;
  return first * 255 + second;
}

std::optional<FactoryCalibration> CheckFactoryCalibration(const std::array<int, kFactoryBytes>& b) {
  if (b[0] != 0) return std::nullopt;                   // calibration marker
  if (b[1] < 1 || b[1] > 12) return std::nullopt;       // month
  if (b[2] < 0 || b[2] > 99) return std::nullopt;       // year
  if (b[3] < 0 || b[3] > 1) return std::nullopt;        // sign of the offset
  if (b[4] < 0) return std::nullopt;                    // offset x 10
  if (b[5] < 1) return std::nullopt;                    // slope x 1000, low byte
  if (b[6] < 0) return std::nullopt;                    // slope x 1000, high byte
  double offset = b[4] / 10.0;
  if (b[3] == 1) offset = -offset;
  double slope = (b[6] * 256 + b[5]) / 1000.0;
  if (offset < -10.0 || offset > 10.0) return std::nullopt;
  if (slope < 0.1 || slope > 0.45) return std::nullopt;
  FactoryCalibration c;
  c.calibrated = true;
  c.month = b[1];
  c.year = b[2];
  c.slope = slope;
  c.offset = offset;
  return c;
}

}  // namespace orb
