#include "common/format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace orb {
namespace {

// The value's decimal text with 15 significant digits, as digits and a
// decimal exponent: value = 0.d1d2...d15 * 10^exp10 (sign apart).
struct Decimal {
  bool negative = false;
  std::string digits;  // 15 digits, no leading zero unless the value is 0
  int pointPos = 0;    // digits before the decimal point (may be <= 0 or > 15)
};

Decimal ToDecimal(double value) {
  Decimal d;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", value);  // -d.dddddddddddddde+XX
  const char* p = buf;
  if (*p == '-') { d.negative = true; ++p; }
  d.digits.push_back(*p++);
  if (*p == '.') ++p;
  while (*p && *p != 'e') d.digits.push_back(*p++);
  int exp = (*p == 'e') ? std::atoi(p + 1) : 0;
  d.pointPos = exp + 1;
  if (value == 0) { d.negative = std::signbit(value) && false; d.pointPos = 1; }
  return d;
}

// Rounds the decimal text half away from zero to `decimals` places and
// returns it as "[-]int.frac" with exactly `decimals` fraction digits.
std::string RoundDecimalText(double value, int decimals) {
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Infinity" : "-Infinity");
  Decimal d = ToDecimal(value);
  // Digits of the integer and fraction parts, padded with zeros.
  std::string all;  // integer digits followed by the fraction digits
  int intLen = d.pointPos > 0 ? d.pointPos : 0;
  if (d.pointPos <= 0) all.assign(static_cast<std::size_t>(-d.pointPos) + 1, '0'), intLen = 1;
  all += d.digits;
  std::size_t keep = static_cast<std::size_t>(intLen + decimals);
  if (all.size() < keep + 1) all.append(keep + 1 - all.size(), '0');
  bool roundUp = all[keep] >= '5';
  all.resize(keep);
  if (roundUp) {
    int i = static_cast<int>(keep) - 1;
    while (i >= 0 && all[i] == '9') all[i--] = '0';
    if (i >= 0) ++all[i];
    else { all.insert(all.begin(), '1'); ++intLen; }
  }
  std::string intPart = all.substr(0, intLen);
  std::string frac = all.substr(intLen);
  std::size_t nz = intPart.find_first_not_of('0');
  intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
  bool isZero = intPart == "0" && frac.find_first_not_of('0') == std::string::npos;
  std::string out = (d.negative && !isZero) ? "-" : "";
  out += intPart;
  if (decimals > 0) out += "." + frac;
  return out;
}

}  // namespace

std::int64_t RoundHalfEven(double value) {
  return static_cast<std::int64_t>(std::nearbyint(value));  // default mode: to nearest, ties to even
}

double RoundHalfAwayDecimal(double value, int decimals) {
  return std::strtod(RoundDecimalText(value, decimals).c_str(), nullptr);
}

std::string FormatFixed(double value, int decimals) { return RoundDecimalText(value, decimals); }

std::string FormatDigits(std::int64_t value, int width) {
  std::string digits = std::to_string(value < 0 ? -static_cast<unsigned long long>(value)
                                                : static_cast<unsigned long long>(value));
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
  return value < 0 ? "-" + digits : digits;
}

}  // namespace orb
