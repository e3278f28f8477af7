// A small, fully specified random source for the virtual instrument, so that
// noise and animals repeat exactly for a seed on every machine and compiler
// (the standard distributions are implementation-defined).
#pragma once

#include <cmath>
#include <cstdint>

namespace orb::sim {

class Random {
 public:
  explicit Random(std::uint64_t seed = 0) : state_(seed) {}

  // Independent stream for a (seed, purpose, index) triple.
  static Random Stream(std::uint32_t seed, std::uint32_t purpose, std::uint32_t index) {
    Random r((std::uint64_t{seed} << 32) ^ (std::uint64_t{purpose} << 20) ^ index);
    r.next();
    return r;
  }

  // splitmix64
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform in [0, 1).
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

  // Approximately normal with mean 0 and deviation 1 (sum of four uniforms).
  double normal() {
    double s = uniform() + uniform() + uniform() + uniform();
    return (s - 2.0) * 1.7320508075688772;  // variance of the sum is 4/12
  }

  // Exponential waiting time with the given mean.
  double exponential(double mean) { return -mean * std::log1p(-uniform()); }

 private:
  std::uint64_t state_;
};

}  // namespace orb::sim
