#include "reports/report_window.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "common/fileio.h"
#include "common/seams.h"
#include "records/record_files.h"
#include "reports/report_config.h"
#include "reports/reanalysis.h"
#include "reports/report_histogram.h"
#include "reports/report_settings.h"

namespace orb {

namespace {

// The threshold box's number, a comma read as a point; none when the text
// is not a number.
std::optional<double> ThresholdValue(std::string text) {
  for (char& c : text)
    if (c == ',') c = '.';
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return std::nullopt;
  while (*end == ' ') ++end;
  if (*end != '\0') return std::nullopt;
  return v;
}

std::string OneDecimal(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

}  // namespace

const std::vector<std::string>& ReportOrganismNames() {
  static const std::vector<std::string> names(std::begin(kReanalysisOrganismNames), std::end(kReanalysisOrganismNames));
  return names;
}

const std::vector<std::string>& ReportMethodNames() {
  static const std::vector<std::string> names(std::begin(kReanalysisMethodNames), std::end(kReanalysisMethodNames));
  return names;
}

void LoadReportWindow(const std::filesystem::path& programFolder, ReportConfig& config, bool userDefinedChecked,
                      ReportWindowControls& c, Operator& op) {
  LoadReportWindowSettings(programFolder, config, userDefinedChecked, op);
  c.binSizes = StandardBinSizes();
  c.binSizes.push_back(std::to_string(config.Bin));
  c.binText = std::to_string(config.Bin);
  c.reportOption = config.filetype;
  c.spacerText = config.spacer;
  c.outputOption = config.out_format;
  c.statistic = {true, false, config.stdError == 1, config.stdDev == 1, config.n == 1};
  // The organism list holds two entries: a third organism starts on the first.
  c.organism = config.organism >= 0 && config.organism < static_cast<int>(ReportOrganismNames().size())
                   ? config.organism
                   : 0;
  c.method = config.method;
  c.thresholdText = OneDecimal(config.threshold / 10.0);
  c.rawExport = config.rawexport == 1;
  FollowHistogramFiles(c);
}

void FollowHistogramFiles(ReportWindowControls& c) {
  const bool histograms = !c.inputFile.empty() && HighestHistogramFile(c.inputFile).has_value();
  c.histogramVisible = histograms;
  if (histograms)
    c.outputOption = static_cast<int>(ReportLayout::Histogram);
  else if (c.outputOption == static_cast<int>(ReportLayout::Histogram))
    c.outputOption = 0;
}

void ChooseReportFileType(ReportWindowControls& c, int option) {
  c.reportOption = option == 1 ? 1 : 0;
  c.spacerText = SpacerForFileType(c.reportOption);
}

void LeaveReportThreshold(ReportWindowControls& c) {
  const auto v = ThresholdValue(c.thresholdText);
  if (!v || *v < 1.1 || *v > 6) c.thresholdText = "1.8";
}

ReportRequest ReportRequestFromControls(const ReportWindowControls& c, const std::filesystem::path& programFolder) {
  ReportRequest r;
  r.programFolder = programFolder;
  r.acquisitionFolder = c.inputFile;
  r.bin = LeadingInteger(c.binText);
  r.filetype = c.reportOption;
  r.spacer = c.spacerText;
  const bool histogram = c.outputOption == static_cast<int>(ReportLayout::Histogram) && c.histogramVisible;
  r.layout = static_cast<ReportLayout>(c.outputOption >= 0 && c.outputOption <= 3 ? c.outputOption
                                       : histogram                                 ? 4
                                                                                   : 0);
  r.statistics = {c.statistic[0], c.statistic[1], c.statistic[2], c.statistic[3], c.statistic[4]};
  r.basalText = c.basalText;
  r.autoreport = c.autoreport;
  r.decimalMark = DecimalMark();
  return r;
}

ReportResult GenerateFromControls(ReportWindowControls& c, const std::filesystem::path& programFolder, Operator& op,
                                  Launcher& launcher, OneShotSetting* oneShot) {
  if (c.inputFile.empty()) {
    // No folder named: nothing to look for counts.bin in (never the
    // program's own working folder).
    op.inform("Activity file not Found");
    ReportResult none;
    none.status = ReportStatus::NoActivityFile;
    return none;
  }
  ReportRequest r = ReportRequestFromControls(c, programFolder);
  r.oneShotSetting = oneShot;
  ReportResult result = GenerateReport(r, op, launcher);
  if (result.bin > 0 && result.bin != r.bin) c.binText = std::to_string(result.bin);
  return result;
}

bool ShowMyReport(const std::filesystem::path& lastFolder, const std::string& mainBinText, ReportWindowControls& c,
                  Operator& op) {
  c.binText = mainBinText;
  if (lastFolder.empty()) return false;
  if (!FileExists(lastFolder / kCountsFile)) {
    op.inform("Activity file not Found");
    return false;
  }
  c.inputFile = lastFolder.string();
  FollowHistogramFiles(c);
  if (!c.histogramVisible) c.outputOption = 0;
  return true;
}

void CancelReportWindow(ReportWindowControls& c) {
  c.basalList.clear();
  c.basalText.clear();
}

}  // namespace orb
