#include "cli/group_args.h"

#include <cctype>
#include <charconv>
#include <ostream>

#include "setup/group_editor.h"

namespace orb {
namespace {

std::optional<WellCell> ParseWell(const PlateFormat& plate, const std::string& text) {
  if (text.find('.') != std::string::npos) return std::nullopt;  // wells, not beams
  const int w = WellOfEntry(plate, text);
  if (w < 0) return std::nullopt;
  return WellCell{w % plate.Rows, w / plate.Rows};
}

}  // namespace

// A group number of groups.dat, 0..383.
std::optional<int> ParseGroup(const std::string& text) {
  int g = -1;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, g);
  if (ec != std::errc() || p != end || g < 0 || g > kLastGroup) return std::nullopt;
  return g;
}

// Every WELL argument, or the message naming the first that is not a well
// (or rectangle of wells) of the plate.
std::optional<std::string> ParseWells(const PlateFormat& plate, const std::vector<std::string>& args,
                                      std::vector<WellSpan>& spans) {
  for (const std::string& a : args) {
    const std::size_t colon = a.find(':');
    const std::string first = a.substr(0, colon);
    const std::string second = colon == std::string::npos ? first : a.substr(colon + 1);
    const auto from = ParseWell(plate, first), to = ParseWell(plate, second);
    if (!from || !to)
      return "no well " + a + " on this plate (" + std::to_string(plate.Rows) + " rows x " +
             std::to_string(plate.Columns) + " columns)";
    spans.push_back({*from, *to});
  }
  return std::nullopt;
}

// "2x3", "02x03" or the preset's whole text: the index of that block among
// the plate's presets, or -1.
int FindPreset(const std::vector<std::string>& presets, const std::string& text) {
  std::size_t pos = 0;
  auto number = [&]() {
    int n = 0, digits = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && digits < 3) {
      n = n * 10 + (text[pos++] - '0');
      ++digits;
    }
    return digits > 0 ? n : -1;
  };
  const int rows = number();
  if (pos >= text.size() || (text[pos] != 'x' && text[pos] != 'X')) return -1;
  ++pos;
  const int columns = number();
  const std::string rest = text.substr(pos);
  if (rows < 1 || columns < 1 || (!rest.empty() && rest != " [RowsxColumn]")) return -1;
  for (std::size_t i = 0; i < presets.size(); ++i) {
    const auto block = PresetBlock(presets[i]);
    if (block && block->rows == rows && block->columns == columns) return static_cast<int>(i);
  }
  return -1;
}

std::string PresetList(const std::vector<std::string>& presets) {
  std::string list;
  for (const std::string& p : presets) list += (list.empty() ? "" : " ") + p.substr(0, 5);
  return list;
}

void PrintLine(std::ostream& out, const std::string& head, const std::vector<std::string>& entries) {
  out << head << ":";
  for (const std::string& e : entries) out << " " << e;
  out << "\n";
}

}  // namespace orb
