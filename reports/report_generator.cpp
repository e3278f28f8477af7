#include "reports/report_generator.h"

#include <exception>

#include "common/fileio.h"
#include "common/seams.h"
#include "records/record_files.h"
#include "reports/basal.h"
#include "reports/rebinning.h"
#include "reports/report_config.h"
#include "reports/report_histogram.h"
#include "reports/report_output.h"
#include "reports/report_statistics.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

// The folder path as the header shows it, without a trailing separator.
std::string FolderText(const fs::path& folder) {
  std::string text = folder.string();
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return text;
}

void Spin(const ReportRequest& request) {
  if (request.events) request.events->processEvents();
}

ReportResult Stop(ReportResult result, ReportStatus status, Operator& op, const std::string& message) {
  if (!message.empty()) op.inform(message);
  result.status = status;
  return result;
}

// One generation. The recording is `given` when the caller holds it in
// memory; otherwise counts.bin of the folder is read (after the context, so
// that the context's messages come first, as they always have).
ReportResult Generate(const ReportRequest& request, const RecordSeries* given, Operator& op, Launcher& launcher) {
  ReportResult result;
  result.bin = request.bin;
  const fs::path& folder = request.acquisitionFolder;
  const fs::path countsFile = folder / kCountsFile;
  if (!given && !FileExists(countsFile))
    return Stop(result, ReportStatus::NoActivityFile, op, "Activity file not Found");

  ReportContext ctx = LoadReportContext(request.programFolder, folder, op, request.oneShotSetting);

  // The length scan and the bin correction; the records read for the scan
  // are the ones loaded. Records in memory are already loaded: their length
  // is their largest corrected time.
  RecordSeries loaded;
  std::int32_t length = 0;
  if (given) {
    length = given->T;
  } else {
    const auto records = ReadCountsFile(folder);
    if (!records) return Stop(result, ReportStatus::ReadError, op, "Error reading " + countsFile.string());
    length = ScanLength(*records);
    loaded = LoadRecordSeries(*records);
  }
  const RecordSeries& series = given ? *given : loaded;
  result.bin = CorrectBin(request.bin, length);
  Spin(request);

  std::optional<RebinResult> rebinnedOrNot = RebinForReport(series, result.bin, op);
  if (!rebinnedOrNot) return Stop(result, ReportStatus::ResamplingError, op, "");
  RebinResult& rebinned = *rebinnedOrNot;
  Spin(request);

  std::array<std::int16_t, kChannelSlots> channelGroup = ctx.groups.ChannelGroup;
  if (BasalActive(request.basalText)) {
    BasalOutcome basal;
    try {
      basal = ApplyBasalNormalisation(folder, request.basalText, rebinned, ctx, channelGroup, op);
    } catch (const RebinOverflow& e) {
      return Stop(result, ReportStatus::ResamplingError, op,
                  "Resampling Calculation Error" + std::to_string(e.binIndex));
    }
    if (!basal.proceed)
      return Stop(result, basal.zeroWells > 0 ? ReportStatus::Stopped : ReportStatus::ResamplingError, op, "");
    result.basal = true;
    Spin(request);
  }

  ReportStatistics stats;
  try {
    stats = ComputeStatistics(rebinned, ctx, channelGroup);
  } catch (const std::exception&) {
    return Stop(result, ReportStatus::CalculationError, op, "Report Calculation Error");
  }

  std::optional<HistogramData> histogram;
  if (request.layout == ReportLayout::Histogram) {
    histogram = LoadHistogramData(folder, series, stats, ctx, channelGroup);
    if (!histogram) return Stop(result, ReportStatus::NoHistogramData, op, "Error getting Histogram.bin data");
    Spin(request);
  }

  ReportText text;
  text.layout = request.layout;
  text.spacer = request.spacer;
  text.decimalMark = request.decimalMark;
  text.statistics = request.statistics;
  SystemClock systemClock;
  text.date = FormatReportDate((request.clock ? *request.clock : static_cast<Clock&>(systemClock)).now());
  text.folder = FolderText(folder);
  text.basal = result.basal;
  text.basalText = request.basalText;
  text.context = &ctx;
  text.stats = &stats;
  text.histogram = histogram ? &*histogram : nullptr;
  text.channelGroup = &channelGroup;

  const std::string extension = request.filetype == 0 ? ".csv" : ".txt";
  const WrittenReport written = WriteReportFile(folder, extension, WriteReportText(text));
  result.report = written.path;
  if (!written.complete) return Stop(result, ReportStatus::WriteError, op, "Report Error");

  result.copy = CopyReportAsSubproject(written.path, ctx.subproject);
  result.status = ReportStatus::Written;
  if (!request.autoreport) launcher.openPath(written.path);
  return result;
}

// Questions the operator cannot answer go to the caller (the command line
// names the missing option); any other failure is "Report Error".
ReportResult GenerateGuarded(const ReportRequest& request, const RecordSeries* given, Operator& op,
                             Launcher& launcher) {
  try {
    return Generate(request, given, op, launcher);
  } catch (const UnansweredQuestion&) {
    throw;
  } catch (const std::exception&) {
    ReportResult result;
    result.bin = request.bin;
    return Stop(result, ReportStatus::WriteError, op, "Report Error");
  }
}

}  // namespace

std::optional<RebinResult> RebinForReport(const RecordSeries& series, int bin, Operator& op) {
  try {
    RebinResult rebinned = Rebin(series, bin);
    if (rebinned.lastBin >= 0) return rebinned;
    op.inform("Resampling ERROR");
  } catch (const RebinOverflow& e) {
    op.inform("Resampling Calculation Error" + std::to_string(e.binIndex));
  }
  return std::nullopt;
}

std::vector<fs::path> ReportResult::files() const {
  std::vector<fs::path> out;
  if (ok()) out.push_back(report);
  if (copy) out.push_back(*copy);
  return out;
}

ReportRequest ReportRequestFromConfig(const ReportConfig& config, const fs::path& programFolder,
                                      const fs::path& acquisitionFolder) {
  ReportRequest r;
  r.programFolder = programFolder;
  r.acquisitionFolder = acquisitionFolder;
  r.bin = config.Bin;
  r.filetype = config.filetype;
  r.spacer = config.spacer;
  r.layout = static_cast<ReportLayout>(config.out_format >= 0 && config.out_format <= 3 ? config.out_format : 0);
  r.statistics.stdError = config.stdError == 1;
  r.statistics.stdDev = config.stdDev == 1;
  r.statistics.n = config.n == 1;
  r.decimalMark = DecimalMark();
  return r;
}

ReportResult GenerateReport(const ReportRequest& request, Operator& op, Launcher& launcher) {
  return GenerateGuarded(request, nullptr, op, launcher);
}

ReportResult GenerateReportFromRecords(const ReportRequest& request, const RecordSeries& records, Operator& op,
                                       Launcher& launcher) {
  return GenerateGuarded(request, &records, op, launcher);
}

}  // namespace orb
