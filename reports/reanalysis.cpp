#include "reports/reanalysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"
#include "common/text_record.h"
#include "records/record_files.h"
#include "reports/report_context.h"
#include "reports/report_generator.h"
#include "signal/signal_analysis.h"
#include "signal/signal_parallel.h"

namespace orb {
namespace fs = std::filesystem;

static_assert(kChannelSlots == kChannelSlots, "raw records and the signal routines share one layout");
static_assert(kSignalIntervalValues * 2 == kRawRecordSize, "one raw record is one analysed interval");

namespace {

constexpr int kReplaceMinutes = 32000;  // "Replace old data" analyses the whole recording
constexpr int kMinimumMinutes = 5;
constexpr int kShortMinutes = 60;       // what fewer than 5 minutes become
constexpr std::int64_t kMinutesPerDay = 1440;
constexpr std::int64_t kDayFall = 1000;
constexpr int kSetupLines = 10;         // setup.dat must reach the Mn1 value line

std::string CountsBackupName(int n) { return std::string(kCountsFile) + ".bak" + (n == 0 ? "" : std::to_string(n)); }

// The lines of a text file without their line ends (CR LF, LF or a last
// line without one).
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
    if (end == std::string::npos) end = bytes.size();
    if (end > start && bytes[end - 1] == '\r') --end;
    lines.push_back(bytes.substr(start, end - start));
    start = next;
  }
  return lines;
}

// setup.dat copied line by line: every line ends CR LF.
std::string CopiedLineByLine(const std::string& bytes) {
  std::string out;
  for (const std::string& line : SplitLines(bytes)) out += line + "\r\n";
  return out;
}

// Six whole numbers of one value line of setup.dat, one of them replaced.
std::string RewriteValueLine(const std::string& line, std::initializer_list<std::pair<int, int>> replace) {
  RecordReader reader(line);
  int values[6];
  for (int& v : values) v = reader.readInt16();
  for (auto [index, value] : replace) values[index] = value;
  RecordWriter w;
  for (int v : values) w.int16(v);
  w.endLine();
  return w.bytes();
}

// Passes everything on and keeps the texts of the messages shown.
class NotingOperator final : public Operator {
 public:
  explicit NotingOperator(Operator& inner) : inner_(inner) {}
  Answer ask(std::string_view text, Buttons buttons) override {
    if (buttons == Buttons::Ok) shown.emplace_back(text);
    return inner_.ask(text, buttons);
  }
  std::optional<std::string> input(std::string_view prompt, std::string_view title,
                                   std::string_view initial) override {
    return inner_.input(prompt, title, initial);
  }
  std::vector<std::string> shown;

 private:
  Operator& inner_;
};

// Leaves out the messages `already` shown, in their order, while they come
// first (the report's own load of the context); passes on everything else.
class RepeatFilter final : public Operator {
 public:
  RepeatFilter(Operator& inner, const std::vector<std::string>& already) : inner_(inner), already_(already) {}
  Answer ask(std::string_view text, Buttons buttons) override {
    if (next_ < already_.size() && buttons == Buttons::Ok && text == already_[next_]) {
      ++next_;
      return Answer::Ok;
    }
    next_ = already_.size();
    return inner_.ask(text, buttons);
  }
  std::optional<std::string> input(std::string_view prompt, std::string_view title,
                                   std::string_view initial) override {
    next_ = already_.size();
    return inner_.input(prompt, title, initial);
  }

 private:
  Operator& inner_;
  const std::vector<std::string>& already_;
  std::size_t next_ = 0;
};

const char* ListText(const char* const* names, int size, int index) {
  return index >= 0 && index < size ? names[index] : "";
}

// Replaces counts.bin and setup.dat of the folder after saving the old
// counts.bin to a new backup and setup.dat to setup.bak. Either both are
// replaced or, as far as the disk allows, neither (a failed setup.dat puts
// the old counts.bin back). Returns false after showing the failure.
bool SaveReanalysis(const fs::path& folder, const std::vector<CountsRecord>& processed, int method, int organism,
                    int snrx10, Operator& op, std::vector<fs::path>& written) {
  const fs::path setupFile = folder / "setup.dat";
  const fs::path countsFile = folder / kCountsFile;
  std::string newSetup;
  std::optional<std::string> oldSetup = ReadWholeFile(setupFile);
  try {
    if (!oldSetup) throw RecordError("setup.dat unreadable");
    newSetup = RewriteSetupForReanalysis(*oldSetup, method, organism, snrx10);
  } catch (const RecordError&) {
    op.inform(kSetupUpdateError);
    return false;
  }

  std::optional<std::string> oldCounts = ReadWholeFile(countsFile);
  if (!oldCounts || oldCounts->size() < processed.size() * kCountsRecordSize) {
    op.inform(kCountsUpdateError);
    return false;
  }
  std::string newCounts = *oldCounts;
  for (std::size_t j = 0; j < processed.size(); ++j)
    newCounts.replace(j * kCountsRecordSize, kCountsRecordSize, PackCountsRecord(processed[j]));

  // Real-time counts cannot be computed again from raw data: keep every
  // earlier version of counts.bin.
  const fs::path backup = NextCountsBackup(folder);
  if (WriteFileAtomic(backup, *oldCounts)) {
    op.inform(kCountsUpdateError);
    return false;
  }
  written.push_back(backup);
  if (WriteFileAtomic(folder / "setup.bak", CopiedLineByLine(*oldSetup))) {
    op.inform(kSetupUpdateError);
    return false;
  }
  written.push_back(folder / "setup.bak");
  if (WriteFileAtomic(countsFile, newCounts)) {
    op.inform(kCountsUpdateError);
    return false;
  }
  if (WriteFileAtomic(setupFile, newSetup)) {
    WriteFileAtomic(countsFile, *oldCounts);
    op.inform(kSetupUpdateError);
    return false;
  }
  written.push_back(countsFile);
  written.push_back(setupFile);
  return true;
}

}  // namespace

void ReanalysisControls::setExportRaw(bool checked) {
  exportRaw = checked;
  if (checked) {
    setReplaceOldData(false);
    hoursText = std::to_string(kExportRawHours);
  }
}

void ReanalysisControls::setReplaceOldData(bool checked) {
  replaceOldData = checked;
  hoursEnabled = !checked;
}

void ReanalysisControls::chooseOrganism(int index) {
  organism = index;
  if (index >= 0 && index < 2) thresholdText = kOrganismThresholdTexts[index];
}

bool RawDataAvailable(const fs::path& acquisitionFolder) { return FileExists(acquisitionFolder / RawFileName(0)); }

double BoxValue(const std::string& text, bool commaIsMark) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  double sign = 1;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) sign = text[i++] == '-' ? -1 : 1;
  double value = 0;
  bool fraction = false;
  double scale = 1;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (fraction) {
        scale /= 10;
        value += (c - '0') * scale;
      } else {
        value = value * 10 + (c - '0');
      }
    } else if ((c == '.' || (c == ',' && commaIsMark)) && !fraction) {
      fraction = true;
    } else {
      break;
    }
  }
  return sign * value;
}

std::optional<std::string> RawDataMismatch(const fs::path& folder, int intervals) {
  if (const auto setup = ReadWholeFile(folder / "setup.dat")) {
    const std::vector<std::string> lines = SplitLines(*setup);
    if (lines.size() > 3) {
      try {
        RecordReader line(lines[3]);  // Aq_mode, Aq_lapse, Sample_Rate, RT_Buffer, ...
        for (int k = 0; k < 3; ++k) line.readInt16();
        const int rtBuffer = line.readInt16();
        if (rtBuffer != kStandardRawBuffer)
          return "Real Time Data recorded with RT_Buffer=" + std::to_string(rtBuffer) +
                 ": only RT_Buffer=" + std::to_string(kStandardRawBuffer) + " can be analysed";
      } catch (const RecordError&) {
        // An unreadable line says nothing about the raw files: their sizes decide.
      }
    }
  }
  // Every file but the last holds 11 whole records; the last one may end
  // in a torn record (a power cut while it was written), which is never read.
  const int files = intervals > 0 ? (intervals - 1) / kRecordsPerFile + 1 : 0;
  const std::uintmax_t full = std::uintmax_t(kRecordsPerFile) * kRawRecordSize;
  for (int k = 0; k < files; ++k) {
    const fs::path file = folder / RawFileName(k);
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) break;  // a missing file ends the raw data there
    const bool last = k == files - 1 || !fs::exists(folder / RawFileName(k + 1), ec);
    if (size > full || (!last && size != full))
      return "Real Time Data file " + file.string() + " holds " + std::to_string(size) + " bytes, not " +
             std::to_string(kRecordsPerFile) + " records of " + std::to_string(kRawRecordSize) + " bytes";
  }
  return std::nullopt;
}

int AnalysisMinutes(const ReanalysisControls& controls, std::optional<std::string>* shownHours) {
  if (controls.replaceOldData) return kReplaceMinutes;
  const double minutes = BoxValue(controls.hoursText, false) * 60;
  const double limit = std::numeric_limits<std::int32_t>::max();
  const std::int64_t m = std::isfinite(minutes) ? RoundHalfEven(std::clamp(minutes, -limit, limit)) : 0;
  if (m >= kMinimumMinutes) return static_cast<int>(m);
  // The box shows the least length, 5 minutes in hours ("0.08"), although
  // an hour is analysed.
  if (shownHours) *shownHours = FormatFixed(kMinimumMinutes / 60.0, 2);
  return kShortMinutes;
}

int ReanalysisBinSize(const std::string& binText) {
  const double v = std::trunc(BoxValue(binText));
  return static_cast<int>(std::clamp(v, 2.0, 32767.0));
}

std::string ReanalysisSettingText(const ReanalysisControls& c) {
  return std::string(ListText(kReanalysisMethodNames, 3, c.method)) + " " +
         ListText(kReanalysisOrganismNames, 2, c.organism) + " [SNR=" + c.thresholdText + "]";
}

fs::path NextCountsBackup(const fs::path& acquisitionFolder) {
  for (int n = 0;; ++n) {
    const fs::path candidate = acquisitionFolder / CountsBackupName(n);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate;
  }
}

std::string RewriteSetupForReanalysis(const std::string& setupBytes, int method, int organism, int snrx10) {
  const std::vector<std::string> lines = SplitLines(setupBytes);
  if (lines.size() < kSetupLines) throw RecordError("setup.dat has " + std::to_string(lines.size()) + " lines");
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == 3) {
      out += RewriteValueLine(lines[i], {{4, method}});
    } else if (i == 9) {
      out += RewriteValueLine(lines[i], {{0, organism}, {3, snrx10}});
    } else {
      out += lines[i] + "\r\n";
    }
  }
  return out;
}

ReanalysisResult RunRawReanalysis(const fs::path& programFolder, const fs::path& folder,
                                  const ReanalysisControls& controls, Operator& op, EventLoop& events,
                                  StopFlag& stop, const ReanalysisReportWriter& writeReport,
                                  const std::function<void(const std::string&)>& status, int countThreads) {
  if (controls.method < 0 || controls.method > 2) {
    throw std::invalid_argument("detection method " + std::to_string(controls.method) + " is not 0, 1 or 2");
  }
  ReanalysisResult res;
  auto show = [&](const std::string& text) {
    if (status) status(text);
  };
  stop.clear();
  res.minutes = AnalysisMinutes(controls, &res.shownHours);
  int bin = ReanalysisBinSize(controls.binText);

  if (!RawDataAvailable(folder)) {
    op.inform(kNoRawDataMessage);
    return res;
  }
  auto records = ReadCountsFile(folder);
  if (!records) {
    op.inform("Error loading " + (folder / kCountsFile).string());
    res.outcome = ReanalysisOutcome::ResamplingError;
    return res;
  }

  // Records within the minutes to analyse, and the longest time among them.
  std::int32_t longest = 0;
  for (const CountsRecord& r : *records) {
    if (r.ElapsedMinutes > res.minutes) continue;
    ++res.records;
    longest = std::max(longest, r.ElapsedMinutes);
  }
  res.bin = bin = CorrectBin(bin, longest);
  // Records of another size would be read as garbage counts (and, with
  // "Replace old data", saved over the recorded ones).
  if (const auto mismatch = RawDataMismatch(folder, res.records)) {
    op.inform(*mismatch);
    res.outcome = ReanalysisOutcome::RawDataMismatch;
    return res;
  }

  NotingOperator noting(op);
  ReportContext ctx = LoadReportContext(programFolder, folder, noting);
  const int J = res.records;
  show("Block 0/" + std::to_string(J));
  const double snr = BoxValue(controls.thresholdText);

  // The channels counted: those with a well (every beam without a plate:
  // no channel is known to be unused); the others count 0.
  std::vector<int> beams;
  for (int c = 0; c < kChannels; ++c) {
    if (!ctx.hasPlate || ctx.channelWell(c) >= 0) beams.push_back(c);
  }
  // The beams of each interval are shared out between the threads; every
  // thread keeps its own analyzer, whose last lower trace nobody reads.
  ParallelBeamCounter counter(countThreads > 0 ? countThreads : DefaultCountThreads());
  std::vector<std::int16_t> counts(beams.size());
  std::vector<std::error_code> exportErrors(controls.exportRaw ? beams.size() : 0);
  std::vector<bool> exported(kChannels, false);
  std::vector<CountsRecord> processed;
  processed.reserve(static_cast<std::size_t>(J));
  std::int64_t day = 0;
  std::int64_t previous = 0;
  // The next interval's samples are read while the helpers count, into the
  // second of two buffers that take turns.
  RawRecord raw, next;
  bool haveNext = J > 0 && ReadRawInterval(folder, 0, next);
  for (int j = 0; j < J; ++j) {
    CountsRecord record = (*records)[static_cast<std::size_t>(j)];
    std::int64_t t = day * kMinutesPerDay + record.ElapsedMinutes;
    if (j > 0 && previous - t > kDayFall) {
      ++day;
      t = day * kMinutesPerDay + record.ElapsedMinutes;
    }
    previous = t;
    show("Block " + std::to_string(j + 1) + "/" + std::to_string(J));

    if (!haveNext) break;  // the raw data ends here: the records after it keep their counts
    std::swap(raw, next);
    haveNext = false;
    const MarkExport exportTo{folder, t};
    counter.Count(raw.values, beams, snr, controls.method, counts, controls.exportRaw ? &exportTo : nullptr,
                  exportErrors, [&] { haveNext = j + 1 < J && ReadRawInterval(folder, j + 1, next); });
    record.IntervalCounts.fill(0);
    for (std::size_t k = 0; k < beams.size(); ++k) {
      record.IntervalCounts[static_cast<std::size_t>(beams[k])] = counts[k];
      if (controls.exportRaw) {
        if (exportErrors[k]) {
          ++res.exportFailures;
        } else {
          exported[static_cast<std::size_t>(beams[k])] = true;
        }
      }
    }
    processed.push_back(record);
    res.processed = j + 1;

    events.processEvents();
    if (stop.requested()) {
      res.outcome = ReanalysisOutcome::Stopped;
      return res;
    }
  }
  for (int c = 0; c < kChannels; ++c) {
    if (exported[static_cast<std::size_t>(c)]) res.written.push_back(MarkExportFile(folder, c));
  }
  if (processed.empty()) {
    op.inform(J == 0 ? "Resampling ERROR" : kNoRawDataMessage);
    res.outcome = J == 0 ? ReanalysisOutcome::ResamplingError : ReanalysisOutcome::NoRawData;
    return res;
  }

  if (controls.replaceOldData) {
    show("Saving...");
    const double x10 = std::clamp(snr * 10, -32768.0, 32767.0);
    const int snrx10 = std::isfinite(x10) ? static_cast<int>(RoundHalfEven(x10)) : 0;
    if (!SaveReanalysis(folder, processed, controls.method, controls.organism, snrx10, op, res.written)) {
      res.outcome = ReanalysisOutcome::SaveFailed;
      return res;
    }
    const AcquisitionSettings saved = ReadAcquisitionSettings(folder);
    res.settingText = SettingText(saved.dspMethod, saved.organism, saved.snrx10);
  } else {
    res.settingText = ReanalysisSettingText(controls);
  }

  ReanalysedRecording recording;
  recording.acquisitionFolder = folder;
  recording.contextMessages = std::move(noting.shown);
  recording.series = LoadRecordSeries(processed);
  // When the raw data ended early the recording is shorter: the bin is
  // corrected to it as the report generator corrects it.
  res.bin = bin = CorrectBin(bin, recording.series.T);
  recording.bin = bin;
  ctx.settingText = res.settingText;
  recording.context = std::move(ctx);
  std::optional<RebinResult> rebinned = RebinForReport(recording.series, bin, op);
  if (!rebinned) {
    res.outcome = ReanalysisOutcome::ResamplingError;
    return res;
  }
  recording.rebinned = std::move(*rebinned);
  res.outcome = ReanalysisOutcome::NotReported;
  if (writeReport) {
    std::vector<fs::path> files = writeReport(recording);
    if (!files.empty()) res.outcome = ReanalysisOutcome::Reported;
    res.written.insert(res.written.end(), files.begin(), files.end());
  }
  return res;
}

ReanalysisReportWriter GeneratorReportWriter(const ReportRequest& request, Operator& op, Launcher& launcher) {
  return [request, &op, &launcher](const ReanalysedRecording& recording) {
    ReportRequest r = request;
    r.acquisitionFolder = recording.acquisitionFolder;
    r.bin = recording.bin;
    r.basalText.clear();  // the re-counted data is never normalised to a basal recording
    // The re-analysis's setting text, used once: by this report.
    OneShotSetting own;
    OneShotSetting& once = r.oneShotSetting ? *r.oneShotSetting : own;
    once.set(recording.context.settingText);
    r.oneShotSetting = &once;
    RepeatFilter shownOnce(op, recording.contextMessages);
    return GenerateReportFromRecords(r, recording.series, shownOnce, launcher).files();
  };
}

}  // namespace orb
