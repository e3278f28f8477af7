#include "device/device_link.h"

#include <string>

#include "common/seams.h"
#include "device/port_settings.h"

namespace orb {
namespace {

constexpr int kBurst = 9;  // write frames sent in a row by a verified write

constexpr int kFactoryTries = 3;
constexpr int kFactoryPauseMs = 200;
constexpr int kFactoryYields = 10;

}  // namespace

int DeviceLink::Transact(std::uint8_t b2, std::uint8_t b3, std::uint8_t b1) {
  // The reply is requested whatever the write reported: only what arrives
  // decides the result.
  ports_.CommWrite(port(), BuildFrame(b2, b3, b1));
  std::string reply;
  if (ports_.CommRead(port(), reply, 2) != CommResult::Ok || reply.empty()) return -1;
  return static_cast<unsigned char>(reply[0]);
}

CommResult DeviceLink::SendFrame(std::uint8_t b2, std::uint8_t b3, std::uint8_t b1) {
  return ports_.CommWrite(port(), BuildFrame(b2, b3, b1));
}

int DeviceLink::ReadSerialNumber() {
  ports_.CommSetLine(port(), kLineDtr, true);
  ports_.CommSetLine(port(), kLineRts, true);
  ports_.CommWrite(port(), BuildFrame(kCmdIdentify, 0, kModeQuery));
  loop_.sleepMs(5);
  std::string reply;
  const bool answered = ports_.CommRead(port(), reply, 2) == CommResult::Ok && !reply.empty();
  ports_.CommSetLine(port(), kLineRts, false);
  ports_.CommSetLine(port(), kLineDtr, false);
  return answered ? SerialFromReply(reply) : -1;
}

std::optional<BlockReadings> DeviceLink::ReadBlock(int start, BlockReadForm form) {
  if (start < 0 || start > kChannels / 3 - kBlockPositions) return std::nullopt;
  ports_.CommFlush(port());
  ports_.CommWrite(port(), BuildFrame(kCmdReadBlock, static_cast<std::uint8_t>(start), kModeQuery));
  std::string reply;
  if (form == BlockReadForm::Whole) {
    ports_.CommRead(port(), reply, kBlockReplyBytes);
  } else {
    std::string second;
    ports_.CommRead(port(), reply, kBlockReplyBytes / 2);
    ports_.CommRead(port(), second, kBlockReplyBytes / 2);
    reply += second;
  }
  return ParseBlock(reply);
}

int DeviceLink::VerifiedWrite(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, int reg,
                              const Recovery& plan) {
  auto echoed = [b2](int reply) { return reply != -1 && reply == b2; };
  int last = -1;
  for (int i = 0; i < kBurst; ++i) last = Transact(b2, b3, b1);
  if (echoed(last)) return 1;
  for (int round = 1; round <= plan.rounds; ++round) {
    if (plan.flushBeforeThird && round == 3) ports_.CommFlush(port());
    loop_.sleepMs(plan.pauseMs);
    ReadTemperatureRaw();  // resynchronises the instrument's frame reader
    loop_.sleepMs(plan.pauseMs);
    for (int i = 0; i < kBurst; ++i) {
      last = Transact(b2, b3, b1);
      loop_.sleepMs(plan.sendPauseMs);
    }
    if (echoed(last)) return 1;
  }
  op_.inform("Ops...Data Writing ERROR: reg(" + std::to_string(reg) + ")... Check COM and Try again");
  return -1;
}

int DeviceLink::WriteChannelSetting(int channel, int pinhole, int gain) {
  if (channel < 0 || channel >= kChannels) return -1;
  ChannelAddress a = ChannelWriteAddress(channel);
  return VerifiedWrite(a.b1, a.b2, ChannelSettingByte(pinhole, gain), channel, {3, 150, 100, true});
}

int DeviceLink::WriteFactoryByte(int k, int value) {
  if (k < 0 || k >= kFactoryBytes - 1 || value < 0 || value > 255) return -1;
  const int address = kFactoryAddress + k;
  return VerifiedWrite(kModeWriteLow, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(value),
                       address, {2, 100, 50, false});
}

std::array<int, kFactoryBytes> DeviceLink::ReadFactoryCalibration() {
  for (int i = 0; i < kFactoryYields; ++i) loop_.processEvents();
  ports_.CommFlush(port());
  for (int i = 0; i < kFactoryYields; ++i) loop_.processEvents();

  std::array<int, kFactoryBytes> bytes;
  bytes.fill(-1);
  for (int k = 0; k < kFactoryBytes; ++k) {
    const auto address = static_cast<std::uint8_t>(kFactoryAddress + k);
    for (int attempt = 0; attempt < kFactoryTries; ++attempt) {
      // Every try asks twice and takes the byte only when both answers agree.
      const int first = Transact(kCmdReadFactory, address, kModeQuery);
      loop_.sleepMs(kFactoryPauseMs);
      const int second = Transact(kCmdReadFactory, address, kModeQuery);
      loop_.sleepMs(kFactoryPauseMs);
      if (first == -1) {
        // No answer to the first: an Identify query resynchronises the
        // instrument before the next try. Its reply is read with it, so it
        // cannot be taken for a factory byte.
        Transact(kCmdIdentify, 0, kModeQuery);
        loop_.sleepMs(kFactoryPauseMs);
        continue;
      }
      if (second == first) {
        bytes[k] = first;
        break;
      }
    }
  }

  if (auto accepted = CheckFactoryCalibration(bytes)) {
    state_.factory = *accepted;
  } else {
    state_.factory.calibrated = false;
    state_.factory.slope = kDefaultSlope;
    state_.factory.offset = kDefaultOffset;
  }
  return bytes;
}

}  // namespace orb

namespace orb {

CommResult DeviceLink::ReopenPort() {
  ports_.CommClose(port());
  return ports_.CommOpen(port(), "COM" + std::to_string(port()), kInstrumentPortSettings);
}

}  // namespace orb
