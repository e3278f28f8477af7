#include "reports/well_export.h"

#include <algorithm>

#include "common/fileio.h"
#include "common/format.h"
#include "common/seams.h"
#include "reports/report_context.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;
constexpr std::int64_t kDayFall = 1000;  // a fall of the time this large starts a new day
constexpr const char* kReportError = "Report Error";
constexpr const char* kNoActivityFile = "Activity file not Found";

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

void Write(const fs::path& file, const std::string& bytes, WellExportResult& result) {
  if (auto ec = WriteFileAtomic(file, bytes)) {
    WellExportError e(file, ec.message());
    e.written = result.written;
    throw e;
  }
  result.written.push_back(file);
}

}  // namespace

std::vector<std::int64_t> CorrectedMinutes(const std::vector<CountsRecord>& records) {
  std::vector<std::int64_t> t(records.size());
  std::int64_t day = 0;
  for (std::size_t j = 0; j < records.size(); ++j) {
    t[j] = day * kMinutesPerDay + records[j].ElapsedMinutes;
    if (j > 0 && t[j - 1] - t[j] > kDayFall) {
      ++day;
      t[j] = day * kMinutesPerDay + records[j].ElapsedMinutes;
    }
  }
  return t;
}

std::int64_t ExportLength(const std::vector<CountsRecord>& records) {
  if (records.empty()) return 0;
  std::int64_t T = records[0].ElapsedMinutes;
  for (const auto& r : records) T = std::max<std::int64_t>(T, r.ElapsedMinutes);
  return std::max(T, CorrectedMinutes(records).back());
}

int ExportBin(int typedBin, std::int64_t T) {
  std::int64_t bin = std::max(typedBin, 2);
  if (T + 1 < bin) bin = T > 30 ? (T + 1) / 15 * 15 : T + 1;
  return static_cast<int>(std::max<std::int64_t>(bin, 1));
}

int ExportBinCount(std::int64_t T, int bin) {
  const std::int64_t n = RoundHalfEven(static_cast<double>(T) / bin);
  return static_cast<int>(std::clamp<std::int64_t>(n, 1, kMaxExportBins + 1));
}

ExportBins SumIntoBins(const std::vector<CountsRecord>& records, int typedBin) {
  const std::int64_t T = ExportLength(records);
  ExportBins b;
  b.bin = ExportBin(typedBin, T);
  b.n = ExportBinCount(T, b.bin);
  if (b.n > kMaxExportBins)
    throw std::length_error("a recording of " + std::to_string(T) + " minutes has too many bins of " +
                            std::to_string(b.bin) + " minutes");
  b.channel.assign(kChannels, std::vector<std::int64_t>(static_cast<std::size_t>(b.n), 0));
  const std::vector<std::int64_t> t = CorrectedMinutes(records);
  for (std::size_t j = 0; j < records.size(); ++j) {
    // (k - 1) x bin < t <= k x bin: a record stamped minute 0 (or before)
    // lies before the first bin, as in the report's statistics.
    if (t[j] <= 0) continue;
    const std::int64_t k = FloorDiv(t[j] + b.bin - 1, b.bin);
    if (k > b.n) continue;
    for (int c = 0; c < kChannels; ++c) b.channel[c][static_cast<std::size_t>(k - 1)] += records[j].IntervalCounts[c];
  }
  return b;
}

std::int64_t WellValue(const ReportContext& context, const ExportBins& bins, int well, int k) {
  if (context.oneBeamPerWell()) {
    const int c = context.wellChannel(well, 0);
    return c >= 0 ? bins.value(c, k) : 0;
  }
  std::int64_t sum = 0;
  int beams = 0;
  for (int beam = 0; beam < context.beamCount(); ++beam) {
    const int c = context.wellChannel(well, beam);
    if (c < 0) continue;
    sum += bins.value(c, k);
    ++beams;
  }
  return beams > 0 ? RoundHalfEven(static_cast<double>(sum) / beams) : 0;
}

std::string WellFileName(const ReportContext& context, int well) {
  return FormatDigits(well, 3) + "_" + context.wellName(well) + ".txt";
}

std::string ChannelFileName(int channel) { return "ch" + FormatDigits(channel, 6) + ".txt"; }

LocalDateTime AddMinutes(const LocalDateTime& t, std::int64_t minutes) {
  std::int64_t total = DaysFromCivil(t.year, t.month, t.day) * kMinutesPerDay + t.hour * 60 + t.minute + minutes;
  const std::int64_t days = FloorDiv(total, kMinutesPerDay);
  total -= days * kMinutesPerDay;
  LocalDateTime r = t;
  CivilFromDays(days, r.year, r.month, r.day);
  r.hour = static_cast<int>(total / 60);
  r.minute = static_cast<int>(total % 60);
  return r;
}

std::string WellFileText(const ReportContext& context, const ExportBins& bins, int well,
                         const LocalDateTime& start) {
  std::string text;
  for (int k = 1; k <= bins.n; ++k) {
    text += FormatDayMonthYear(AddMinutes(start, std::int64_t(k) * bins.bin));
    text += ' ';
    text += std::to_string(WellValue(context, bins, well, k));
    text += "\r\n";
  }
  return text;
}

std::string ChannelFileText(const ExportBins& bins, int channel) {
  std::string text;
  for (int k = 1; k <= bins.n; ++k) {
    if (k > 1) text += ' ';
    text += std::to_string(bins.value(channel, k));
  }
  return text + "\r\n";
}

std::string TimeFileText(const ExportBins& bins) {
  std::string text;
  for (int k = 1; k <= bins.n; ++k) {
    if (k > 1) text += ' ';
    text += std::to_string(std::int64_t(k) * bins.bin * 60);
  }
  return text + "\r\n";
}

WellExportResult WriteWellExport(const fs::path& acquisitionFolder, const ReportContext& context,
                                 const std::vector<CountsRecord>& records, int typedBin, bool withTime,
                                 const LocalDateTime& start) {
  const ExportBins bins = SumIntoBins(records, typedBin);
  WellExportResult result;
  result.bin = bins.bin;
  result.n = bins.n;
  if (withTime) {
    for (int w = 0; w < context.wellCount(); ++w) {
      if (context.wellChannel(w, 0) < 0) continue;  // no beam-0 channel: no file
      Write(acquisitionFolder / WellFileName(context, w), WellFileText(context, bins, w, start), result);
    }
  } else {
    for (int c = 0; c < kChannels; ++c)
      Write(acquisitionFolder / ChannelFileName(c), ChannelFileText(bins, c), result);
    Write(acquisitionFolder / "time.txt", TimeFileText(bins), result);
  }
  return result;
}

std::optional<WellExportResult> ExportWells(const fs::path& programFolder, const fs::path& acquisitionFolder,
                                            int typedBin, bool withTime, const LocalDateTime& start, Operator& op) {
  if (!FileExists(acquisitionFolder / kCountsFile)) {
    op.inform(kNoActivityFile);
    return std::nullopt;
  }
  try {
    const ReportContext context = LoadReportContext(programFolder, acquisitionFolder, op);
    const auto records = ReadCountsFile(acquisitionFolder);
    if (!records) {
      op.inform(kReportError);
      return std::nullopt;
    }
    return WriteWellExport(acquisitionFolder, context, *records, typedBin, withTime, start);
  } catch (const WellExportError& e) {
    op.inform(kReportError);
    WellExportResult partial;
    partial.written = e.written;
    partial.complete = false;
    return partial;
  } catch (const std::exception&) {
    op.inform(kReportError);
    return std::nullopt;
  }
}

std::optional<WellExportResult> RunWellExport(const fs::path& programFolder, const fs::path& acquisitionFolder,
                                              int typedBin, Operator& op, Clock& clock, Launcher& launcher) {
  if (!op.confirm(kExportQuestion)) return std::nullopt;
  const bool withTime = op.confirm(kTimeFieldQuestion);
  auto result = ExportWells(programFolder, acquisitionFolder, typedBin, withTime, clock.now(), op);
  if (result && result->complete) launcher.openPath(acquisitionFolder);
  return result;
}

}  // namespace orb
