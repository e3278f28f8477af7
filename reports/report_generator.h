// The report generator ("Generate..." of the report window): turns one
// recorded acquisition into a report file. It reads counts.bin, corrects the
// bin, re-bins the records, optionally normalises them to a basal recording,
// computes the statistics and writes the report in the chosen layout, then
// copies it under the subproject's name and shows it.
//
// Every message and question goes through the Operator; showing the report
// goes through the Launcher. GenerateReport reads the recording from
// counts.bin; GenerateReportFromRecords takes it from memory (the raw data
// re-analysis); both make the report the same way.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "reports/rebinning.h"
#include "reports/report_context.h"
#include "reports/report_writer.h"

namespace orb {

class Clock;
class EventLoop;
class Launcher;
class Operator;
struct ReportConfig;

// What the report window's controls hold when "Generate..." is pressed.
struct ReportRequest {
  std::filesystem::path programFolder;       // plate files
  std::filesystem::path acquisitionFolder;   // Txt_inputfile
  int bin = 30;                              // Cmb_binsize
  int filetype = 0;                          // Option_report: 0 ".csv", 1 ".txt"
  std::string spacer = ",";                  // txt_customspacer
  ReportLayout layout = ReportLayout::Rows;  // Option_output
  StatisticsChoice statistics;               // Chk_statistic
  std::string basalText;                     // cmbbasal ("" or "-": no basal)
  bool autoreport = false;                   // chk_autoreport: do not show the report
  char decimalMark = '.';                    // of the one-decimal values (the locale's)
  OneShotSetting* oneShotSetting = nullptr;  // the re-analysis's setting text, used once
  Clock* clock = nullptr;                    // the header's DATE (the system clock when null)
  EventLoop* events = nullptr;               // pending events between the long steps
};

// The report window's controls as the report settings fill them; the
// decimal mark is the locale's.
ReportRequest ReportRequestFromConfig(const ReportConfig& config, const std::filesystem::path& programFolder,
                                      const std::filesystem::path& acquisitionFolder);

enum class ReportStatus {
  Written,           // the report file was written
  NoActivityFile,    // "Activity file not Found"
  ReadError,         // "Error reading " + path
  ResamplingError,   // "Resampling ERROR" / "Resampling Calculation Error" + bin index
  CalculationError,  // "Report Calculation Error"
  NoHistogramData,   // "Error getting Histogram.bin data"
  Stopped,           // the operator answered No to the zero-activity basal wells
  WriteError,        // "Report Error"
};

struct ReportResult {
  ReportStatus status = ReportStatus::WriteError;
  int bin = 0;                                // the bin used (shown in the bin box)
  bool basal = false;                         // written as a percentage of basal activity
  std::filesystem::path report;               // the report file (when written)
  std::optional<std::filesystem::path> copy;  // the subproject-named copy
  bool ok() const { return status == ReportStatus::Written; }
  std::vector<std::filesystem::path> files() const;  // every file written
};

// Generates the report of request.acquisitionFolder. Questions the operator
// cannot answer (UnansweredQuestion) are passed on to the caller.
ReportResult GenerateReport(const ReportRequest& request, Operator& op, Launcher& launcher);

// Generates the report of request.acquisitionFolder from `records` instead of
// its counts.bin (which need not exist): the records 0..K as
// LoadRecordSeries makes them, T being their largest corrected time. The
// context, the bin correction (to T), the re-binning, the basal
// normalisation, the statistics, the histogram files, every layout, the
// report's name, its copy and showing it are those of GenerateReport.
ReportResult GenerateReportFromRecords(const ReportRequest& request, const RecordSeries& records, Operator& op,
                                       Launcher& launcher);

// Re-bins a recording for a report. When a re-binned count does not fit 32
// bits the operator sees "Resampling Calculation Error" + the bin index,
// when nothing is left to report "Resampling ERROR"; nothing is returned.
std::optional<RebinResult> RebinForReport(const RecordSeries& series, int bin, Operator& op);

}  // namespace orb
