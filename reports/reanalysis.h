// Raw data re-analysis of a recorded acquisition (the report window's
// "Advanced" > "Analyze Raw Data", frame "Raw data processing:"): every
// recorded interval is counted again from its raw samples with another
// detection method or SNR threshold, then re-binned and reported; with
// "Replace old data" the new counts replace those of counts.bin and the
// acquisition's setup.dat records the method used.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/stop_flag.h"
#include "reports/rebinning.h"
#include "reports/report_context.h"

namespace orb {

class Operator;
class EventLoop;
class Launcher;
struct ReportRequest;

// The entries of the report window's lists.
inline constexpr const char* kReanalysisMethodNames[3] = {
    "0_Threshold+Binary (Old Method.w/filters)", "1_Threshold Avrg (Default.Agar&Liquid)",
    "2_uOrganism (Motility Index)"};
inline constexpr const char* kReanalysisOrganismNames[2] = {"C elegans(>L4)", "Zebrafish(Larvae)"};
// The threshold text a choice of organism puts in the threshold box.
inline constexpr const char* kOrganismThresholdTexts[2] = {"1.8", "2.8"};

inline constexpr const char* kNoRawDataMessage = "Real Time Data Not Found";
inline constexpr const char* kSetupUpdateError = "error Updating setup.dat";
// counts.bin could not be backed up or replaced: nothing is saved.
inline constexpr const char* kCountsUpdateError = "error Updating counts.bin";
inline constexpr int kExportRawHours = 533;  // the hours box after "Export Raw" is checked

// The controls of the processing frame, as the operator left them.
struct ReanalysisControls {
  std::string thresholdText = "1.8";  // frmtxt_threshold ("Threshold:")
  int organism = 0;                   // Cmb_organism index
  int method = 1;                     // Cmb_dspmethod index
  std::string hoursText = "1";        // frmtxt_datalapse ("Analyze:" ... "hs")
  bool hoursEnabled = true;
  bool replaceOldData = false;        // Chk_replacedata
  bool exportRaw = false;             // Chk_rawexport
  std::string binText = "30";         // the report window's Cmb_binsize

  // Checking "Export Raw" clears "Replace old data" and sets the hours to 533.
  void setExportRaw(bool checked);
  // "Replace old data" disables the hours box; clearing it enables it.
  void setReplaceOldData(bool checked);
  // Choosing an organism puts its threshold in the threshold box.
  void chooseOrganism(int index);
};

// True when raw file 0 (0.bin) is in the folder: "Analyze Raw Data" shows
// "Real Time Data Not Found" otherwise.
bool RawDataAvailable(const std::filesystem::path& acquisitionFolder);

// Raw data the count routine can read: the acquisition's setup.dat names
// RT_Buffer 500 (when it can be read), and every raw file that holds one of
// the first `intervals` intervals is 11 records of 385,770 bytes, but for
// the last file, which may hold fewer and end in a torn record. Otherwise the message that refuses the re-analysis, naming the
// mismatch; nothing when the raw data fits.
std::optional<std::string> RawDataMismatch(const std::filesystem::path& acquisitionFolder, int intervals);

// Minutes to analyse: 32000 with "Replace old data", else round(hours x 60),
// the hours read with "." as the only decimal mark ("0,5" is 0 hours);
// fewer than 5 minutes become 60, and the hours box then shows 5 minutes in
// hours, "0.08". `shownHours` is set only when the box must change.
int AnalysisMinutes(const ReanalysisControls& controls, std::optional<std::string>* shownHours = nullptr);
// The integer value of the bin box, at least 2.
int ReanalysisBinSize(const std::string& binText);
// A number as the boxes take it: leading blanks, digits with one decimal
// mark ("." or, when `commaIsMark`, ","); what follows is ignored, no number
// is 0. The threshold box reads "," as "."; the hours box does not.
double BoxValue(const std::string& text, bool commaIsMark = true);
// Setting text of a re-analysis that keeps the recorded data: method text
// + " " + organism text + " [SNR=" + threshold text + "]".
std::string ReanalysisSettingText(const ReanalysisControls& controls);

// "STOP": set by the stop button, cleared by "RUN", checked after every
// record (after the window's events have run).

// What the report writer gets after a re-analysis: the new counts as the
// report loads a recording (times with the day correction, records 0..K),
// the bin (at least 2, corrected to the recording's length), the
// acquisition context the counts were made with (its settingText is the
// SETTING line of the report: the re-analysis's own text, or the one
// re-read from setup.dat after "Replace old data"), and the series
// re-binned to `bin`, which showed that a report can be made.
struct ReanalysedRecording {
  std::filesystem::path acquisitionFolder;
  ReportContext context;
  RecordSeries series;
  RebinResult rebinned;
  int bin = 0;
  // The messages the operator saw while the context was loaded (missing
  // plate or group files): the report made from this recording does not
  // show them a second time.
  std::vector<std::string> contextMessages;
};

// Writes the report of a re-analysis and returns the files written (empty
// when none was), showing its own messages.
using ReanalysisReportWriter = std::function<std::vector<std::filesystem::path>(const ReanalysedRecording&)>;

// The report writer of "RUN": the report generator's report of the new
// counts (GenerateReportFromRecords) with the controls of `request` (kept
// as a copy), the re-analysis's folder and bin, no basal normalisation, and
// the re-analysis's setting text handed to the generator as the one-shot
// setting text (request.oneShotSetting when given, which this report then
// uses up). The generator loads the context again; the messages of that
// load that the re-analysis already showed (contextMessages) are not shown
// twice. `op` and `launcher` must outlive the writer.
ReanalysisReportWriter GeneratorReportWriter(const ReportRequest& request, Operator& op, Launcher& launcher);

enum class ReanalysisOutcome {
  Reported,         // counts computed (and saved when asked), report written
  NotReported,      // counts computed (and saved when asked); no report writer, or it wrote nothing
  NoRawData,        // "Real Time Data Not Found"
  RawDataMismatch,  // raw files of another RT_Buffer or of a wrong size: nothing counted
  Stopped,          // "STOP": nothing saved or reported
  ResamplingError,  // "Resampling ERROR" / "Resampling Calculation Error": no report
  SaveFailed,       // "error Updating setup.dat" or "error Updating counts.bin": nothing saved, no report
};

struct ReanalysisResult {
  ReanalysisOutcome outcome = ReanalysisOutcome::NoRawData;
  int minutes = 0;
  std::optional<std::string> shownHours;  // new text of the hours box, when changed
  int bin = 0;                            // after the correction to the recording's length
  int records = 0;                        // J: records of counts.bin within the minutes
  int processed = 0;                      // records counted again (fewer when the raw data ends early)
  std::string settingText;
  std::vector<std::filesystem::path> written;  // backup, counts.bin, setup.bak, setup.dat, report files
  int exportFailures = 0;                 // marks lines that could not be appended
};

// The frame's "RUN" on `acquisitionFolder`; plate files come from
// `programFolder`. `status` receives the texts of the status label
// ("Block 3/12", "Saving..."); `events` runs after every record, then `stop`
// is checked (both on the calling thread). The beams of each interval are
// counted on `countThreads` threads (0: DefaultCountThreads(), the
// machine's threads up to 2) with the results of counting them one after
// another; the next interval is read while the other threads count.
// Messages go to `op`. With "Replace old data", counts.bin is
// first copied to a new backup beside it (counts.bin.bak, counts.bin.bak1,
// ...) and every file is replaced whole (written, then renamed), so an
// interruption leaves either the old or the new file. Without a plate file
// every beam is counted (no channel is known to be unused). Throws
// std::invalid_argument for a method other than 0, 1 or 2.
ReanalysisResult RunRawReanalysis(const std::filesystem::path& programFolder,
                                  const std::filesystem::path& acquisitionFolder,
                                  const ReanalysisControls& controls, Operator& op, EventLoop& events,
                                  StopFlag& stop, const ReanalysisReportWriter& writeReport,
                                  const std::function<void(const std::string&)>& status = {},
                                  int countThreads = 0);

// ---- the pieces of "Replace old data" --------------------------------------

// The first of counts.bin.bak, counts.bin.bak1, counts.bin.bak2, ... that
// does not exist in the folder.
std::filesystem::path NextCountsBackup(const std::filesystem::path& acquisitionFolder);

// setup.dat's content with line 4's fifth field (DSP_Method) set to
// `method` and line 10's first (Organism) and fourth (SNRx10) fields set;
// the other lines are kept byte for byte, every line ends CR LF. Throws
// RecordError when the file has fewer than 10 lines or those lines do not
// hold six whole numbers.
std::string RewriteSetupForReanalysis(const std::string& setupBytes, int method, int organism, int snrx10);

}  // namespace orb
