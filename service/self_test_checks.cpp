#include "service/self_test_checks.h"

#include <cmath>
#include <functional>

namespace orb {
namespace {

// The column or row check: beams for which `lit` holds must pass high, the
// others low. `prefix` is "Col[" or "Row[", `number` the 1-based line number.
CheckResult CheckLine(const BeamReadings& r, const std::function<bool(int)>& lit, const std::string& prefix,
                      int number) {
  int litCount = 0, darkCount = 0, litPasses = 0, darkPasses = 0;
  std::vector<int> litFailed, darkFailed;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (lit(ch)) {
      ++litCount;
      if (PassesHigh(r[ch])) ++litPasses;
      else litFailed.push_back(ch);
    } else {
      ++darkCount;
      if (PassesLow(r[ch])) ++darkPasses;
      else darkFailed.push_back(ch);
    }
  }
  CheckResult c;
  const std::string head = prefix + std::to_string(number) + "]: ";
  c.passed = litPasses == litCount && darkPasses == darkCount;
  if (c.passed) {
    c.label = head + "PASS!";
    c.reportLines.push_back(c.label);
    return c;
  }
  c.label = head + "CHECK!";
  std::string line = head + "NONPASS " + std::to_string(litPasses);
  line += PrintZonePadding(line);
  line += "CH > 80% (NONOK:" + ChannelList(litFailed, r) + "); " + std::to_string(darkPasses) +
          "CH < 20% (NONOK:" + ChannelList(darkFailed, r) + ")";
  c.reportLines.push_back(line);
  return c;
}

// Section A or B: a blank line, the verdict, the count and the failing list.
CheckResult CheckAll(const BeamReadings& r, bool high) {
  std::vector<int> failed;
  for (int ch = 0; ch < kChannels; ++ch)
    if (!(high ? PassesHigh(r[ch]) : PassesLow(r[ch]))) failed.push_back(ch);
  CheckResult c;
  c.passed = failed.empty();
  const std::string test = high ? "Test_all_100%:" : "Test_all_0%:";
  const std::string count = high ? "Number of Channels > 80% = " : "Number of Channels < 20% = ";
  c.label = std::string(high ? "[Test100%=" : "[Test0%=") + (c.passed ? "PASS!]" : " CHECK!]");
  c.reportLines.push_back("");
  if (c.passed) {
    c.reportLines.push_back(test + " OK PASS!");
    c.reportLines.push_back(count + std::to_string(kChannels));
  } else {
    c.reportLines.push_back(test + "  NEEDS REVISION!");
    c.reportLines.push_back(count + std::to_string(kChannels - static_cast<int>(failed.size())));
    c.reportLines.push_back(std::string(high ? "Channels < 80%: " : "Channels > 20%: ") + ChannelList(failed, r));
  }
  return c;
}

}  // namespace

int SelfTestPercent(int reading) { return static_cast<int>(std::floor(reading / 2048.0 * 100.0)); }

std::string ChannelList(const std::vector<int>& channels, const BeamReadings& readings) {
  std::string s;
  for (int ch : channels)
    s += "CH" + std::to_string(ch) + "[" + std::to_string(SelfTestPercent(readings[ch])) + "%], ";
  return s;
}

std::string PrintZonePadding(const std::string& line) {
  constexpr std::size_t kZone = 14;
  return std::string(kZone - line.size() % kZone, ' ');
}

CheckResult CheckAllHigh(const BeamReadings& readings) { return CheckAll(readings, true); }
CheckResult CheckAllLow(const BeamReadings& readings) { return CheckAll(readings, false); }

CheckResult CheckColumn(const BeamReadings& readings, int column) {
  return CheckLine(readings, [column](int ch) { return GridColumnOfChannel(ch) == column; }, "Col[", column + 1);
}

CheckResult CheckRow(const BeamReadings& readings, int row) {
  return CheckLine(readings, [row](int ch) { return GridRowOfChannel(ch) == row; }, "Row[", row + 1);
}

}  // namespace orb
