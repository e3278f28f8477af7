#include "reports/report_settings.h"

#include <algorithm>
#include <cstdint>

#include "common/seams.h"

namespace orb {

const std::vector<std::string>& StandardBinSizes() {
  static const std::vector<std::string> sizes = {"5",   "15",  "30",  "60",  "120", "180",
                                                 "240", "360", "480", "720", "1440"};
  return sizes;
}

int LeadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min<long long>(value * 10 + (text[i] - '0'), 1'000'000);
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT16_MIN, INT16_MAX));
}

void LoadReportSettingsDialog(const std::filesystem::path& programFolder, ReportConfig& config,
                              ReportSettingsControls& c, Operator& op) {
  c.binSizes = StandardBinSizes();
  c.spacerText = ListSeparator();
  LoadReportConfig(programFolder, config, 1, op);
  c.binSizes.push_back(std::to_string(config.Bin));
  c.binText = std::to_string(config.Bin);
  c.reportOption = config.filetype;
  c.outputOption = config.out_format;
  c.spacerText = config.spacer;
  c.statistic[2] = config.stdError == 1;
  c.statistic[3] = config.stdDev == 1;
  c.statistic[4] = config.n == 1;
  if (config.rawexport == 1)
    c.rawexport = true;
  else
    config.rawexport = 0;
}

bool ApplyReportSettings(const std::filesystem::path& programFolder, ReportConfig& config,
                         const ReportSettingsControls& c, Operator& op) {
  config.Bin = static_cast<std::int16_t>(LeadingInteger(c.binText));
  config.filetype = static_cast<std::int16_t>(c.reportOption == 1 ? 1 : 0);
  config.spacer = c.spacerText;
  config.out_format = static_cast<std::int16_t>(c.outputOption);
  config.stdError = c.statistic[2] ? 1 : 0;
  config.stdDev = c.statistic[3] ? 1 : 0;
  config.n = c.statistic[4] ? 1 : 0;
  config.rawexport = c.rawexport ? 1 : 0;
  if (!SaveReportConfig(programFolder, config, 1, op)) return false;
  config.User_defined = 1;
  op.inform("User Configuration Applied");
  return true;
}

bool ReportSettingsBackToDefault(const std::filesystem::path& programFolder, ReportConfig& config, Operator& op) {
  LoadReportConfig(programFolder, config, 0, op);
  SaveReportConfig(programFolder, config, 0, op);
  config.User_defined = 0;
  op.inform("Default Report Configuration Applied");
  return false;
}

void UserDefinedBinMenu(const std::filesystem::path& programFolder, ReportConfig& config, bool checked, Operator& op) {
  const int flag = checked ? 1 : 0;
  LoadReportConfig(programFolder, config, flag, op);
  if (SaveReportConfig(programFolder, config, flag, op)) config.User_defined = static_cast<std::int16_t>(flag);
}

void LoadReportWindowSettings(const std::filesystem::path& programFolder, ReportConfig& config, bool userDefinedChecked,
                              Operator& op) {
  LoadReportConfig(programFolder, config, userDefinedChecked ? 1 : 0, op);
}

std::string SpacerForFileType(int filetype) { return filetype == 1 ? " " : ListSeparator(); }

}  // namespace orb
