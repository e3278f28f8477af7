// The logic of the report settings dialog Frm_reportset ("User Defined
// Report") and of the main window's menu entry "User Defined BIN size"
// (mn_userbin), apart from any window: the dialog moves its controls'
// values in and out of ReportSettingsControls and calls these.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "reports/report_config.h"

namespace orb {

class Operator;

struct ReportSettingsControls {
  std::vector<std::string> binSizes;  // Cmb_binsize entries
  std::string binText;                // Cmb_binsize text
  int reportOption = 0;               // Option_report: 0 "Excel [.csv]", 1 "Text [.txt]"
  std::string spacerText;             // txt_customspacer ("spacer =")
  int outputOption = 0;               // Option_output: 0 "Rows", 1 "List", 2 "WArray", 3 "CHArray"
  // Chk_statistic: 0 "Average", 1 "Median", 2 "Std Error", 3 "Std Dev", 4 "\"N\"".
  std::array<bool, 5> statistic{};
  bool rawexport = false;  // Chk_rawexport ("Export Raw")
  bool autofile = false;   // Chk_autofile (stores nothing)
};

// The bin sizes the dialog's list starts with.
const std::vector<std::string>& StandardBinSizes();

// The dialog's load (its first opening): the standard bin sizes, then the
// stored settings (LoadReportConfig(1)); their bin is appended to the list
// (even when it is already there) and shown; the options, the spacer and the
// check boxes follow the settings. "Export Raw" is checked when rawexport is
// 1 and otherwise keeps its state.
void LoadReportSettingsDialog(const std::filesystem::path& programFolder, ReportConfig& config,
                              ReportSettingsControls& controls, Operator& op);

// "Apply": the controls into the settings (organism, method and threshold
// kept), SaveReportConfig(1), "User Configuration Applied". Returns the new
// check state of "User Defined BIN size": checked, unless the settings could
// not be written (the write error was shown and nothing is claimed).
// The bin is the whole number the text starts with (0 when none), held in
// 16 bits; a bin outside 2..1440 is stored as typed and goes back to 30 at
// the next load.
bool ApplyReportSettings(const std::filesystem::path& programFolder, ReportConfig& config,
                         const ReportSettingsControls& controls, Operator& op);

// "Back to Default": LoadReportConfig(0), SaveReportConfig(0), "Default
// Report Configuration Applied". Returns the new check state (unchecked).
bool ReportSettingsBackToDefault(const std::filesystem::path& programFolder, ReportConfig& config, Operator& op);

// The menu entry "User Defined BIN size" before it shows the dialog: checked,
// the stored settings are read and written back as the user's; unchecked,
// the defaults are applied and written. The check mark is not changed.
void UserDefinedBinMenu(const std::filesystem::path& programFolder, ReportConfig& config, bool checked, Operator& op);

// The report window's load: the user's settings while "User Defined BIN
// size" is checked, else the defaults (which rewrite repoconf.dat).
void LoadReportWindowSettings(const std::filesystem::path& programFolder, ReportConfig& config, bool userDefinedChecked,
                              Operator& op);

// The separator a file type puts into the spacer box: the list separator
// for "Excel [.csv]" (0), one blank for "Text [.txt]" (1).
std::string SpacerForFileType(int filetype);

// The leading whole number of a text ("60", " 45 min" -> 45; none -> 0),
// held in 16 bits.
int LeadingInteger(const std::string& text);

}  // namespace orb
