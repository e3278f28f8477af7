// The light side of the virtual instrument: 384 infrared beams whose level
// follows the channel setting, small animals that dim a beam for a moment
// when they cross it, and the detector's noise. No I/O, no clock of its own:
// the caller says what time it is.
#pragma once

#include <array>
#include <cstdint>

#include "common/beam_geometry.h"
#include "sim/random.h"

namespace orb::sim {

constexpr int kTopSetting = 63;  // pinhole 7, gain 7

// Setting index of a channel setting byte (gain x 32 + pinhole): pinhole x 8
// + gain. A pinhole field above 7 is taken as 7.
int SettingIndex(std::uint8_t setting);

class BeamField {
 public:
  // animals = false models an empty plate slot: beams never dip.
  BeamField(std::uint32_t seed, bool animals);

  // Level of beam ch at setting index 0..63 on an empty, noiseless path:
  // 0 at index 0, rising with the index, near 1740 at index 19 for a beam of
  // average strength, below 4096 at index 63 for every beam.
  double level(int ch, int index) const;

  // Events per second with which animals cross beam ch (0 for an empty well).
  double activity(int ch) const { return beams_[ch].rate; }

  // Fraction of the light an animal blocks in beam ch at time t (seconds,
  // never decreasing between calls for the same beam): 0 when nothing
  // crosses it, up to about 0.3 in the middle of a crossing.
  double dip(int ch, double t);

  // One 12-bit reading of beam ch at setting index and time t.
  int reading(int ch, int index, double t);

  // Wells for the animals: the 2 x 2 blocks of the 16 x 24 channel grid,
  // numbered down the columns (96 wells).
  static int WellOfChannel(int ch) { return (ch / 32) * 8 + (ch % 16) / 2; }

 private:
  struct Beam {
    double factor = 1.0;     // individual strength of the beam
    double rate = 0.0;       // crossings per second
    double start = 0.0;      // current (or last) crossing
    double duration = 0.0;
    double depth = 0.0;
    double nextStart = 0.0;  // start of the next crossing
    Random events;
  };
  void scheduleNext(Beam& b, double after);

  std::array<Beam, kChannels> beams_;
  Random noise_;
};

}  // namespace orb::sim
