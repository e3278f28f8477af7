#include "sim/beams.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace orb::sim {
namespace {

// Shape of the response: level(i) = kMidLevel x (i / kMidIndex)^kExponent.
// The relative step between two neighbouring indices near the working band
// (40..45 % of full scale) is 3 to 4 %, well inside the band's 12 %, so that
// stepping one index at a time always lands in it.
constexpr double kMidLevel = 1740.0;
constexpr double kMidIndex = 19.0;
constexpr double kExponent = 0.583;  // index 63 gives about 3500

constexpr double kEmptyWellShare = 0.12;
constexpr double kMeanRate = 0.25;   // crossings per second of an average well
constexpr double kMaxRate = 1.5;
constexpr double kRefractory = 0.05;  // seconds between two crossings of a beam
constexpr double kLongGap = 60.0;

enum Purpose : std::uint32_t { kWells = 1, kBeamsP = 2, kEventsP = 3, kNoiseP = 4 };

}  // namespace

int SettingIndex(std::uint8_t setting) {
  int pinhole = std::min(setting & 0x1F, 7);
  int gain = setting >> 5;
  return pinhole * 8 + gain;
}

BeamField::BeamField(std::uint32_t seed, bool animals) : noise_(Random::Stream(seed, kNoiseP, 0)) {
  std::array<double, 96> wellRate{};
  for (int w = 0; w < 96; ++w) {
    Random r = Random::Stream(seed, kWells, w);
    wellRate[w] = r.uniform() < kEmptyWellShare ? 0.0 : std::min(kMaxRate, 0.02 + r.exponential(kMeanRate));
  }
  for (int ch = 0; ch < kChannels; ++ch) {
    Beam& b = beams_[ch];
    Random r = Random::Stream(seed, kBeamsP, ch);
    b.factor = r.uniform(0.85, 1.15);
    b.rate = animals ? wellRate[WellOfChannel(ch)] * r.uniform(0.7, 1.3) : 0.0;
    b.events = Random::Stream(seed, kEventsP, ch);
    scheduleNext(b, 0.0);
  }
}

double BeamField::level(int ch, int index) const {
  if (index <= 0) return 0.0;
  return beams_[ch].factor * kMidLevel * std::pow(index / kMidIndex, kExponent);
}

void BeamField::scheduleNext(Beam& b, double after) {
  if (b.rate <= 0.0) {
    b.nextStart = std::numeric_limits<double>::infinity();
    return;
  }
  b.nextStart = after + kRefractory + b.events.exponential(1.0 / b.rate);
}

double BeamField::dip(int ch, double t) {
  Beam& b = beams_[ch];
  if (t - b.nextStart > kLongGap) scheduleNext(b, t - kLongGap);  // skip what nobody saw
  while (t >= b.nextStart) {
    b.start = b.nextStart;
    b.duration = b.events.uniform(0.10, 0.30);
    b.depth = b.events.uniform(0.08, 0.30);
    scheduleNext(b, b.start + b.duration);
  }
  double into = t - b.start;
  if (b.duration <= 0.0 || into < 0.0 || into >= b.duration) return 0.0;
  return b.depth * std::sin(std::numbers::pi * into / b.duration);
}

int BeamField::reading(int ch, int index, double t) {
  double l = level(ch, index);
  double v = l * (1.0 - dip(ch, t)) + noise_.normal() * (1.0 + 0.0025 * l);
  return static_cast<int>(std::clamp(std::lround(v), 0L, 4095L));
}

}  // namespace orb::sim
