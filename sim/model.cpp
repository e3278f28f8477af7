#include "sim/model.h"

#include <algorithm>
#include <cmath>

namespace orb::sim {
namespace {

constexpr std::uint8_t kModeRead = 0x00;
constexpr std::uint8_t kModeWriteLow = 0x80;   // channels 0..127, factory bytes
constexpr std::uint8_t kModeWriteHigh = 0x81;  // channels 128..383
constexpr std::uint8_t kCmdIdentify = 0x00;
constexpr std::uint8_t kCmdOutputs = 0x10;
constexpr std::uint8_t kCmdFactory = 0x20;
constexpr std::uint8_t kCmdTemperature = 0x21;
constexpr std::uint8_t kCmdBlock = 0x30;
constexpr std::uint8_t kFactoryBase = 0x80;

constexpr double kHeatTarget = 40.0;   // where a powered heater would take the plate
constexpr double kCoolTarget = 8.0;
constexpr double kThermalTime = 180.0;  // seconds

constexpr std::uint32_t kFaultPurpose = 5;

}  // namespace

InstrumentModel::InstrumentModel(const InstrumentOptions& options)
    : opt_(options),
      beams_(options.seed, options.animals),
      faultRandom_(Random::Stream(options.seed, kFaultPurpose, 0)) {
  settings_.fill(kDefaultSetting);
  opt_.serial = std::clamp(opt_.serial, 0, kMaxSerial);
  for (int k = 0; k < 8; ++k) factory_[k] = static_cast<std::uint8_t>(options.factory[k] & 0xFF);
  applyBeamFaults();

  // The sensor was calibrated at the factory: its response is what the
  // factory memory said at power-on. Later writes change what the PC reads
  // back, not the sensor.
  const auto& f = factory_;
  double slope = (f[6] * 256 + f[5]) / 1000.0;
  double offset = (f[3] == 1 ? -1.0 : 1.0) * f[4] / 10.0;
  if (f[0] == 0 && f[3] <= 1 && f[5] >= 1 && slope >= 0.1 && slope <= 0.45 && offset >= -10 && offset <= 10) {
    sensorSlope_ = slope;
    sensorOffset_ = offset;
  }
}

std::vector<Reply> InstrumentModel::receive(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(m_);
  return receiveLocked(bytes);
}

void InstrumentModel::dropPartialFrame() {
  std::lock_guard lock(m_);
  discarded_ += frame_.size();
  frame_.clear();
}

std::vector<Reply> InstrumentModel::receiveLocked(std::span<const std::uint8_t> bytes) {
  std::vector<Reply> out;
  for (std::uint8_t b : bytes) {
    if (frame_.empty() && b != kFrameStart) {
      ++discarded_;
      continue;
    }
    frame_.push_back(b);
    if (frame_.size() < 5) continue;
    // A frame has a fixed length: bytes inside it may be 0xFF as data.
    if (frame_[4] != kFrameEnd) {
      auto next = std::find(frame_.begin() + 1, frame_.end(), kFrameStart);
      discarded_ += static_cast<std::uint64_t>(next - frame_.begin());
      frame_.erase(frame_.begin(), next);
      continue;
    }
    std::array<std::uint8_t, 5> f{};
    std::copy(frame_.begin(), frame_.end(), f.begin());
    frame_.clear();
    ++frames_;
    Reply reply;
    if (!answer(f, reply) || opt_.faults.silent) continue;
    ++replies_;
    int every = opt_.faults.shortReplyEvery;
    if (every > 0 && replies_ % static_cast<std::uint64_t>(every) == 0) reply.pop_back();
    out.push_back(std::move(reply));
  }
  return out;
}

bool InstrumentModel::answer(const std::array<std::uint8_t, 5>& f, Reply& reply) {
  const std::uint8_t b1 = f[1], b2 = f[2], b3 = f[3];
  const bool wrongEcho = opt_.faults.wrongEcho;
  auto echo = [&] { reply = {static_cast<std::uint8_t>(wrongEcho ? b2 ^ 0x01 : b2), b3}; };

  if (b1 == kModeRead) {
    switch (b2) {
      case kCmdIdentify:
        reply = {static_cast<std::uint8_t>(opt_.serial / 255), static_cast<std::uint8_t>(opt_.serial % 255)};
        return true;
      case kCmdOutputs:
        outputs_ = b3 & 0x07;
        return false;
      case kCmdFactory:
        if (b3 < kFactoryBase || b3 >= kFactoryBase + 8) return false;
        reply = {factory_[b3 - kFactoryBase], 0};
        return true;
      case kCmdTemperature:
        reply = {static_cast<std::uint8_t>(rawTemperatureLocked()), 0};
        return true;
      case kCmdBlock:
        reply = readBlock(b3);
        return true;
      default:
        return false;
    }
  }
  if (b1 == kModeWriteHigh) {
    settings_[b2 + 128] = b3;
    echo();
    return true;
  }
  if (b1 == kModeWriteLow) {
    if (b2 < 128) {
      settings_[b2] = b3;
    } else if (b2 < kFactoryBase + 8) {
      factory_[b2 - kFactoryBase] = b3;
    } else {
      return false;
    }
    echo();
    return true;
  }
  return false;
}

Reply InstrumentModel::readBlock(int start) {
  const double t = nowUs_ / 1e6;
  Reply r;
  r.reserve(192);
  for (int j = 0; j < 32; ++j) {
    int position = (start + j) % 128;  // starts other than 0, 32, 64, 96 wrap round
    for (int k = 0; k < 3; ++k) {
      int ch = position + kPositions * k;
      int v = dead_[ch] ? 0 : beams_.reading(ch, SettingIndex(settings_[lightOf_[ch]]), t);
      r.push_back(static_cast<std::uint8_t>(v >> 8));
      r.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
  }
  if (opt_.faults.badHighBytes) r[2 * faultRandom_.below(96)] |= 0x10;
  return r;
}

int InstrumentModel::rawTemperatureLocked() const {
  long raw = std::lround((temperature_ - sensorOffset_) / sensorSlope_);
  return static_cast<int>(std::clamp(raw, 0L, 255L));
}

void InstrumentModel::advance(std::chrono::microseconds elapsed) {
  std::lock_guard lock(m_);
  if (elapsed.count() <= 0) return;
  nowUs_ += elapsed.count();
  double target = kAmbientTemperature;
  if (outputs_ & 1) target = (outputs_ & 2) ? kHeatTarget : kCoolTarget;
  double seconds = elapsed.count() / 1e6;
  temperature_ = target + (temperature_ - target) * std::exp(-seconds / kThermalTime);
}

std::chrono::microseconds InstrumentModel::now() const {
  std::lock_guard lock(m_);
  return std::chrono::microseconds(nowUs_);
}

std::uint8_t InstrumentModel::channelSetting(int channel) const {
  std::lock_guard lock(m_);
  return settings_.at(channel);
}

std::uint8_t InstrumentModel::factoryByte(int k) const {
  std::lock_guard lock(m_);
  return factory_.at(k);
}

int InstrumentModel::outputs() const {
  std::lock_guard lock(m_);
  return outputs_;
}

double InstrumentModel::temperature() const {
  std::lock_guard lock(m_);
  return temperature_;
}

int InstrumentModel::rawTemperature() const {
  std::lock_guard lock(m_);
  return rawTemperatureLocked();
}

double InstrumentModel::activity(int channel) const {
  std::lock_guard lock(m_);
  return beams_.activity(channel);
}

double InstrumentModel::level(int channel) const {
  std::lock_guard lock(m_);
  return dead_.at(channel) ? 0.0 : beams_.level(channel, SettingIndex(settings_[lightOf_[channel]]));
}

Faults InstrumentModel::faults() const {
  std::lock_guard lock(m_);
  return opt_.faults;
}

void InstrumentModel::setFaults(const Faults& faults) {
  std::lock_guard lock(m_);
  opt_.faults = faults;
  applyBeamFaults();
}

void InstrumentModel::applyBeamFaults() {
  dead_.fill(false);
  for (int ch : opt_.faults.deadBeams)
    if (ch >= 0 && ch < kChannels) dead_[ch] = true;
  for (int ch = 0; ch < kChannels; ++ch) lightOf_[ch] = ch;
  for (auto [a, b] : opt_.faults.crossedBeams)
    if (a >= 0 && a < kChannels && b >= 0 && b < kChannels) std::swap(lightOf_[a], lightOf_[b]);
}

std::uint64_t InstrumentModel::framesReceived() const {
  std::lock_guard lock(m_);
  return frames_;
}

std::uint64_t InstrumentModel::bytesDiscarded() const {
  std::lock_guard lock(m_);
  return discarded_;
}

}  // namespace orb::sim
