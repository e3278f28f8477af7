// Small helpers shared by the signal routines (not part of their interface).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/format.h"

namespace orb {

// round(x), halves to even, as RoundHalfEven (common/format.h) gives it,
// inline: the routines round several thousand values per beam. Adding and
// taking away 1.5 x 2^52 leaves x rounded to an integer in the default
// rounding mode (to nearest, ties to even) whenever |x| < 2^51.
inline std::int64_t RoundEven(double x) {
  constexpr double kShift = 6755399441055744.0;  // 1.5 x 2^52
  if (std::fabs(x) < 2251799813685248.0) return static_cast<std::int64_t>((x + kShift) - kShift);
  return RoundHalfEven(x);
}

// round(x) halves to even, held in 16 bits: values beyond the range stay at
// its ends (-32768, 32767) instead of overflowing; NaN gives 0.
inline std::int16_t SaturateRound16(double x) {
  if (x != x) return 0;
  if (x >= 32767.0) return 32767;
  if (x <= -32768.0) return -32768;
  return static_cast<std::int16_t>(RoundEven(x));
}

// std::invalid_argument unless the buffer holds slots 0..samples-1 of
// every beam slot and the beam is 0..384.
void CheckSignalArguments(std::size_t values, int beam, int samples);

// Appends `text` to `file` (created when missing) and closes it again.
std::error_code AppendText(const std::filesystem::path& file, std::string_view text);

}  // namespace orb
