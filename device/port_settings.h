// The line settings string given to CommOpen, such as
// "baud=115200 parity=N data=8 stop=1", and its application to a terminal.
#pragma once

#include <optional>
#include <string_view>

struct termios;

namespace orb {

inline constexpr const char* kInstrumentPortSettings = "baud=115200 parity=N data=8 stop=1";

// Items the string names; an item left out keeps the port's current value.
struct PortSettings {
  std::optional<int> baud;       // a standard rate, 110..4000000
  std::optional<char> parity;    // 'N', 'E' or 'O'
  std::optional<int> dataBits;   // 5..8
  std::optional<int> stopBits;   // 1 or 2
};

// Space-separated key=value items, keys and letters in any case. Nothing
// when the string is empty, names an unknown key, or holds a value the
// port cannot take.
std::optional<PortSettings> ParsePortSettings(std::string_view text);

// Raw mode (no echo, no line editing, no character translation, no flow
// control, modem lines ignored) with the given items applied. False when
// the baud rate has no terminal speed.
bool ApplyPortSettings(const PortSettings& settings, termios& tio);

}  // namespace orb
