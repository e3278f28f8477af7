// The rules of the report window frm_report ("Report Output"), apart from
// any window: its controls as values (ReportWindowControls), its load from
// the report settings, the reactions of its boxes, "Generate..." with the
// controls' values, the "Show my report" command of the main window and the
// automatic report at the end of a run. The window moves its widgets' values
// in and out of the controls and calls these.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "reports/report_generator.h"

namespace orb {

class Launcher;
class Operator;
struct ReportConfig;

struct ReportWindowControls {
  std::string inputFile;              // Txt_inputfile
  std::vector<std::string> binSizes;  // Cmb_binsize entries
  std::string binText;                // Cmb_binsize text
  int reportOption = 0;               // Option_report: 0 "Excel [.csv]", 1 "Text [.txt]"
  std::string spacerText = ",";       // txt_customspacer
  // Option_output: 0 "Rows", 1 "List", 2 "W.Array", 3 "CH.Array", 4 "Histogram Body_bends (experimental)".
  int outputOption = 0;
  bool histogramVisible = false;      // item 4 of Option_output shown
  std::array<bool, 5> statistic{};    // Chk_statistic: Average, Median, Std Error, Std Dev, "N"
  std::vector<std::string> basalList; // cmbbasal entries
  std::string basalText;              // cmbbasal text
  bool autoreport = false;            // chk_autoreport
  // The raw-data frame.
  int organism = 0;                   // Cmb_organism
  int method = 1;                     // Cmb_dspmethod
  std::string thresholdText = "1.8";  // frmtxt_threshold
  std::string hoursText = "1";        // frmtxt_datalapse
  bool replaceData = false;           // Chk_replacedata
  bool rawExport = false;             // Chk_rawexport
};

// The captions of the lists of the window.
const std::vector<std::string>& ReportOrganismNames();  // Cmb_organism
const std::vector<std::string>& ReportMethodNames();    // Cmb_dspmethod

// The window's load: the report settings (the user's while "User Defined
// BIN size" is checked, else the defaults, which rewrite repoconf.dat) into
// the controls; the method and organism lists; the threshold with one
// decimal and a point; the histogram option after the input folder.
void LoadReportWindow(const std::filesystem::path& programFolder, ReportConfig& config, bool userDefinedChecked,
                      ReportWindowControls& controls, Operator& op);

// The histogram option follows the folder of Txt_inputfile: with histo*.bin
// files it is shown and selected; without, it is hidden and, when it was
// selected, "Rows" is.
void FollowHistogramFiles(ReportWindowControls& controls);

// Choosing "Excel [.csv]" puts the list separator into the spacer box,
// "Text [.txt]" one blank.
void ChooseReportFileType(ReportWindowControls& controls, int option);

// Leaving the threshold box: a value below 1.1 or above 6 (or no number)
// becomes "1.8". A comma is read as a point.
void LeaveReportThreshold(ReportWindowControls& controls);

// The request "Generate..." makes from the controls.
ReportRequest ReportRequestFromControls(const ReportWindowControls& controls,
                                        const std::filesystem::path& programFolder);

// "Generate...": the report of Txt_inputfile with the controls' values; the
// bin box shows the bin used.
ReportResult GenerateFromControls(ReportWindowControls& controls, const std::filesystem::path& programFolder,
                                  Operator& op, Launcher& launcher, OneShotSetting* oneShot = nullptr);

// "Show my report" (Cmdreport): the bin box takes the main window's bin
// text; without a recording run nothing else happens; without its
// counts.bin "Activity file not Found"; otherwise Txt_inputfile names the
// folder, the histogram option follows its files and the window is to be
// shown (true).
bool ShowMyReport(const std::filesystem::path& lastFolder, const std::string& mainBinText,
                  ReportWindowControls& controls, Operator& op);

// "Cancel": the basal list is cleared (the window hides).
void CancelReportWindow(ReportWindowControls& controls);

}  // namespace orb
