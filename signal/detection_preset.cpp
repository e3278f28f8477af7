#include "signal/detection_preset.h"

#include <cstdlib>
#include <optional>
#include <string_view>

#include "common/format.h"

namespace orb {
namespace {

// The number in a box, as a person typed it; nullopt when it is none.
std::optional<double> BoxNumber(const std::string& text) {
  std::string_view t = text;
  const char* blanks = " \t\r\n";
  const auto b = t.find_first_not_of(blanks);
  if (b == std::string_view::npos) return std::nullopt;
  t = t.substr(b, t.find_last_not_of(blanks) - b + 1);
  const std::string s(t);
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size()) return std::nullopt;
  return v;
}

}  // namespace

const std::vector<std::string>& OrganismItems() {
  static const std::vector<std::string> items = {"C elegans(>L4)", "Zebrafish(Larvae)", "Customized"};
  return items;
}

DetectionPreset ApplyDetectionPreset(int organismItem, double currentFactor, const std::string& boxText) {
  DetectionPreset p;
  p.snrFactor = currentFactor;
  p.boxText = boxText;
  p.labelText = ">>>>";
  p.boxVisible = false;
  switch (organismItem) {
    case 0: p.snrFactor = 1.8; p.boxText = FormatFixed(1.8, 1); break;
    case 1: p.snrFactor = 2.8; p.boxText = FormatFixed(2.8, 1); break;
    case 2:
      p.snrFactor = BoxNumber(boxText).value_or(0);
      p.labelText = "> Zero SNR:";
      p.boxVisible = true;
      break;
    default: break;
  }
  if (!(p.snrFactor > 1.4)) {
    p.snrFactor = 1.8;
    p.boxText = "1.8";
  }
  return p;
}

}  // namespace orb
