// Number formatting and rounding shared by every file and display.
#pragma once

#include <cstdint>
#include <string>

namespace orb {

// Real to integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
std::int64_t RoundHalfEven(double value);

// Rounds the value's decimal text (15 significant digits) half away from zero
// to `decimals` places: 4.25 -> 4.3, 0.15 -> 0.2, 2.4996 (3 places) -> 2.5.
double RoundHalfAwayDecimal(double value, int decimals);

// Display with a fixed number of decimals ("0.0" = 1, "0.00" = 2), rounding
// as RoundHalfAwayDecimal. FormatFixed(1.8, 1) = "1.8", FormatFixed(20, 1) = "20.0".
std::string FormatFixed(double value, int decimals);

// Zero-padded whole number: FormatDigits(1, 5) = "00001" ("00000"),
// FormatDigits(7, 3) = "007"; a negative value keeps its sign before the
// padding ("-005"); wider values are not cut.
std::string FormatDigits(std::int64_t value, int width);

}  // namespace orb
