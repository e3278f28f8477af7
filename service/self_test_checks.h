// The checks of the device self-test and the texts they give: the percent
// scale (2048 is 100 %), the high and low checks of every beam, the column
// and row checks that find dead and crossed beams, and the report sections.
// Plain functions of the 384 readings, no I/O.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "common/beam_geometry.h"

namespace orb {

using BeamReadings = std::array<int, kChannels>;

inline constexpr double kSelfTestHighLimit = 1638.4;  // 80 % of 2048
inline constexpr int kSelfTestLowLimit = 1024;        // 50 % of 2048

// Integer part of reading / 2048 * 100.
int SelfTestPercent(int reading);
// A lit beam passes at 1638.4 or more; a dark beam passes at 1024 or less.
inline bool PassesHigh(int reading) { return reading >= kSelfTestHighLimit; }
inline bool PassesLow(int reading) { return reading <= kSelfTestLowLimit; }

// "CH" + channel + "[" + percent + "%], " for each channel, in the order given.
std::string ChannelList(const std::vector<int>& channels, const BeamReadings& readings);

// Spaces that carry `line` on to the next print zone (a multiple of 14
// columns; a line already at a zone start moves on a whole zone).
std::string PrintZonePadding(const std::string& line);

// Result of one check: the status label and the report lines.
struct CheckResult {
  bool passed = false;
  std::string label;
  std::vector<std::string> reportLines;
};

// Every beam lit: each must pass the high check. Report section A.
CheckResult CheckAllHigh(const BeamReadings& readings);
// Every beam dark: each must pass the low check. Report section B.
CheckResult CheckAllLow(const BeamReadings& readings);

// Column c (0..23) lit, the other 368 beams dark.
CheckResult CheckColumn(const BeamReadings& readings, int column);
// Row r (0..15) lit, the other 360 beams dark.
CheckResult CheckRow(const BeamReadings& readings, int row);

}  // namespace orb
