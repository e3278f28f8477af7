// The text of a report file: the header and one section per quantity, in
// the chosen layout. Every line ends with CR LF; fields are separated by the
// operator's separator; texts in the report are UTF-8 here and converted to
// Windows-1252 when the file is written.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/datetime.h"
#include "reports/report_context.h"
#include "reports/report_histogram.h"
#include "reports/report_statistics.h"

namespace orb {

// The report window's output options, in the order of its list.
enum class ReportLayout { Rows = 0, List = 1, WellArray = 2, ChannelArray = 3, Histogram = 4 };

// The "Group Statistics" check boxes. Average is always written.
struct StatisticsChoice {
  bool average = true;
  bool median = false;
  bool stdError = true;
  bool stdDev = false;
  bool n = true;
};

struct ReportText {
  ReportLayout layout = ReportLayout::Rows;
  std::string spacer = ",";
  char decimalMark = '.';  // of the values with one decimal
  StatisticsChoice statistics;
  std::string date;       // the header's DATE
  std::string folder;     // the acquisition folder path
  bool basal = false;     // data as a percentage of basal activity
  std::string basalText;  // the basal list's text
  const ReportContext* context = nullptr;
  const ReportStatistics* stats = nullptr;
  const HistogramData* histogram = nullptr;                               // the histogram layout only
  const std::array<std::int16_t, kChannelSlots>* channelGroup = nullptr;  // in force
};

// The whole report as text (UTF-8, CR LF lines).
std::string WriteReportText(const ReportText& text);

// The date and time in the general form of the header: "dd/mm/yyyy hh:mm:ss".
std::string FormatReportDate(const LocalDateTime& t);

}  // namespace orb
