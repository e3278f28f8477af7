#include "cli/reanalyze_command.h"

#include <exception>
#include <ostream>

#include "app/data_folder.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "cli/input_check.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "common/console_seams.h"
#include "common/fileio.h"
#include "common/format.h"
#include "reports/report_config.h"
#include "reports/report_generator.h"
#include "reports/report_histogram.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr const char* kReanalyzeUsage =
    "usage: orbelune-cli [--data DIR] reanalyze FOLDER [--method 0|1|2] [--organism 0|1] [--snr X]\n"
    "                    [--hours H] [--replace] [--export-raw]\n";

// The threshold box takes 1.1 to 6.
constexpr double kLowestSnr = 1.1;
constexpr double kHighestSnr = 6.0;

// Digits with at most one decimal mark: "." or, when `comma`, ",".
bool IsNumber(const std::string& text, bool comma) {
  bool digit = false, mark = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if ((c == '.' || (c == ',' && comma)) && !mark) {
      mark = true;
    } else {
      return false;
    }
  }
  return digit;
}

struct Options {
  std::string data, folder, method, organism, snr, hours;
  bool replace = false, exportRaw = false;
};

bool Parse(const std::vector<std::string>& args, Options& o, std::ostream& err) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (TakeValue(args, i, "--data", o.data) || TakeValue(args, i, "--method", o.method) ||
        TakeValue(args, i, "--organism", o.organism) || TakeValue(args, i, "--snr", o.snr) ||
        TakeValue(args, i, "--hours", o.hours)) {
      continue;
    }
    if (a == "--replace") {
      o.replace = true;
    } else if (a == "--export-raw") {
      o.exportRaw = true;
    } else if (a.rfind("--", 0) == 0 || !o.folder.empty()) {
      err << "orbelune-cli reanalyze: unexpected argument " << a << "\n" << kReanalyzeUsage;
      return false;
    } else {
      o.folder = a;
    }
  }
  if (o.folder.empty()) {
    err << "orbelune-cli reanalyze: which acquisition folder?\n" << kReanalyzeUsage;
    return false;
  }
  auto oneOf = [&](const std::string& v, const char* name, const std::vector<std::string>& allowed) {
    for (const auto& x : allowed)
      if (v == x) return true;
    err << "orbelune-cli reanalyze: " << name << " takes ";
    for (std::size_t k = 0; k < allowed.size(); ++k) err << (k ? "|" : "") << allowed[k];
    err << ", not " << v << "\n";
    return false;
  };
  if (!o.method.empty() && !oneOf(o.method, "--method", {"0", "1", "2"})) return false;
  if (!o.organism.empty() && !oneOf(o.organism, "--organism", {"0", "1"})) return false;
  if (!o.snr.empty() && (!IsNumber(o.snr, true) || BoxValue(o.snr) < kLowestSnr || BoxValue(o.snr) > kHighestSnr)) {
    err << "orbelune-cli reanalyze: --snr takes a number from 1.1 to 6, not " << o.snr << "\n";
    return false;
  }
  // The hours box reads only "." as the decimal mark.
  if (!o.hours.empty() && !IsNumber(o.hours, false)) {
    err << "orbelune-cli reanalyze: --hours takes a number of hours (decimal point \".\"), not " << o.hours << "\n";
    return false;
  }
  return true;
}

const char* OutcomeText(ReanalysisOutcome o) {
  switch (o) {
    case ReanalysisOutcome::Reported: return "reported";
    case ReanalysisOutcome::NotReported: return "no report written";
    case ReanalysisOutcome::NoRawData: return "no raw data";
    case ReanalysisOutcome::RawDataMismatch: return "raw data refused";
    case ReanalysisOutcome::Stopped: return "stopped";
    case ReanalysisOutcome::ResamplingError: return "re-binning failed, no report";
    case ReanalysisOutcome::SaveFailed: return "nothing saved, no report";
  }
  return "?";
}

}  // namespace

int RunReanalyze(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, EventLoop* events) {
  Options o;
  if (!Parse(args, o, err)) return kExitUsage;

  const fs::path programFolder = ResolveDataFolder(o.data);
  ConsoleOperator op(err);
  {
    Workspace ws(programFolder, op);
    if (int code = LoadForCommand(ws, LoadScope::CheckConfig, err); code != kExitOk) return code;
  }
  std::error_code ec;
  const fs::path folder = fs::absolute(o.folder, ec).lexically_normal();
  if (!FolderExists(folder)) {
    err << "orbelune-cli reanalyze: no acquisition folder " << o.folder << "\n";
    return kExitUsage;
  }

  if (auto problem = AcquisitionInputProblem(programFolder, folder)) {
    err << "orbelune-cli reanalyze: " << *problem << "\n";
    return kExitInput;
  }

  ReportConfig config;
  // Read the settings without creating repoconf.dat when there is none.
  if (FileExists(programFolder / "repoconf.dat")) {
    LoadReportConfig(programFolder, config, 1, op);
  } else {
    ApplyReportDefaults(config);
  }

  // The controls as the report window fills them, then as the options set them.
  ReanalysisControls controls;
  controls.method = config.method;
  controls.organism = config.organism;
  controls.thresholdText = FormatFixed(config.threshold / 10.0, 1);
  controls.binText = std::to_string(config.Bin);
  if (!o.method.empty()) controls.method = std::stoi(o.method);
  if (!o.organism.empty()) controls.chooseOrganism(std::stoi(o.organism));
  if (!o.snr.empty()) controls.thresholdText = o.snr;
  if (o.exportRaw) controls.setExportRaw(true);
  if (o.replace) controls.setReplaceOldData(true);
  if (!o.hours.empty()) controls.hoursText = o.hours;

  // The report as "Generate..." writes it; its name is printed with the
  // other files, nothing is shown. The window selects the histogram layout
  // when the folder holds histogram files.
  ReportRequest request = ReportRequestFromConfig(config, programFolder, folder);
  request.autoreport = true;
  if (HighestHistogramFile(folder)) request.layout = ReportLayout::Histogram;
  ConsoleLauncher launcher(out);
  ConsoleEventLoop consoleEvents;
  StopFlag stop;
  ReanalysisResult result;
  try {
    // Ctrl+C while the intervals are counted acts as "STOP": the run ends
    // after the current record and nothing is saved or reported.
    InterruptStops interrupt(stop, InterruptStops::Signals::Interrupt);
    result = RunRawReanalysis(programFolder, folder, controls, op, events ? *events : consoleEvents, stop,
                              GeneratorReportWriter(request, op, launcher));
  } catch (const std::exception& e) {
    err << "orbelune-cli reanalyze: " << e.what() << "\n";
    return kExitFile;
  }

  for (const auto& file : result.written) out << file.string() << "\n";
  if (result.shownHours) err << "hours to analyse shown as " << *result.shownHours << "\n";
  err << result.processed << " of " << result.records << " records analysed with "
      << kReanalysisMethodNames[controls.method] << ", SNR " << controls.thresholdText << ", bin " << result.bin
      << " minutes: " << OutcomeText(result.outcome) << "\n";
  const bool counted = result.outcome != ReanalysisOutcome::Stopped &&
                       result.outcome != ReanalysisOutcome::RawDataMismatch &&
                       result.outcome != ReanalysisOutcome::NoRawData;
  if (counted && result.processed < result.records)
    err << "the raw data ends after record " << result.processed << "\n";
  if (result.exportFailures > 0) {
    err << result.exportFailures << " marks lines could not be written\n";
    return kExitFile;
  }
  switch (result.outcome) {
    case ReanalysisOutcome::Reported:
      return kExitOk;
    case ReanalysisOutcome::NoRawData:
    case ReanalysisOutcome::RawDataMismatch:
    case ReanalysisOutcome::ResamplingError:
      // The raw files are missing, unreadable, or of another RT_Buffer.
      return kExitInput;
    default:
      return kExitFile;
  }
}

}  // namespace orb
