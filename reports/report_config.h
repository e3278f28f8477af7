// The operator's report preferences and their file repoconf.dat in the
// program folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <locale>
#include <string>

namespace orb {

class Operator;

struct ReportConfig {
  std::int16_t User_defined = 0;  // as last read from or written to the file
  std::int16_t Bin = 30;          // report bin in minutes, 2..1440
  std::int16_t filetype = 0;      // 0 ".csv", 1 ".txt"
  std::string spacer = ",";       // field separator of the reports
  std::int16_t stdError = 1;
  std::int16_t stdDev = 0;
  std::int16_t n = 1;
  std::int16_t out_format = 0;    // 0 Rows, 1 List, 2 WArray, 3 CHArray
  std::int16_t organism = 0;      // 0..2
  std::int16_t method = 1;        // 0..2
  std::int16_t threshold = 18;    // signal-to-noise threshold x 10, 11..30
  std::int16_t rawexport = 0;
};

// The user's list separator. Linux keeps no per-user list separator, so it
// follows the decimal mark of the user's numeric locale, as spreadsheets do:
// ";" where the decimal mark is a comma, "," otherwise. The locale comes from
// the environment (LC_ALL, LC_NUMERIC, LANG) each time it is asked for; ","
// when that locale cannot be had.
std::string ListSeparator();
// The same rule for a given locale.
std::string ListSeparatorFor(const std::locale& locale);
// The decimal mark of the user's numeric locale ('.' when it cannot be had):
// the mark of the values with one decimal in the reports.
char DecimalMark();

// Every field but User_defined back to its default; the spacer is the
// ListSeparator queried now.
void ApplyReportDefaults(ReportConfig& config);

// flag != 0 and repoconf.dat present: read it, force out-of-range values to
// their defaults, return User_defined. Otherwise apply the defaults, write
// them with `flag` as User_defined and return 0. A file that cannot be read
// or written: "Error loading repoconf.dat -> Using Default values", defaults
// written with User_defined 0, return 0.
std::int16_t LoadReportConfig(const std::filesystem::path& programFolder, ReportConfig& config,
                              int flag, Operator& op);

// Replaces repoconf.dat with the current values and `flag` as User_defined.
// On failure shows "Error Writing Report Configuration (repoconf.dat)" and
// returns false; memory is untouched either way.
bool SaveReportConfig(const std::filesystem::path& programFolder, const ReportConfig& config,
                      int flag, Operator& op);

// The file content as written; throws RecordError when the spacer cannot be
// stored (a double quote, or a character a settings file cannot hold).
std::string ReportConfigFileBytes(const ReportConfig& config, int flag);

}  // namespace orb
