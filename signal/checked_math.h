// Fixed-width arithmetic of the acquisition's counters and tables: a value
// that does not fit raises CounterOverflow instead of wrapping around, and
// the acquisition tick that met it ends there (the next tick starts afresh).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "common/format.h"

namespace orb {

struct CounterOverflow {};

inline std::int16_t Checked16(std::int64_t v) {
  if (v < std::numeric_limits<std::int16_t>::min() || v > std::numeric_limits<std::int16_t>::max())
    throw CounterOverflow{};
  return static_cast<std::int16_t>(v);
}

inline std::int32_t Checked32(std::int64_t v) {
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    throw CounterOverflow{};
  return static_cast<std::int32_t>(v);
}

// Nearest integer, halves to the even neighbour, as a 16-bit value.
inline std::int16_t Round16(double v) {
  if (!std::isfinite(v) || std::fabs(v) > 1e15) throw CounterOverflow{};
  return Checked16(RoundHalfEven(v));
}

}  // namespace orb
