// One-file-per-well export for circadian-rhythm tools: the recorded
// intervals of counts.bin, summed as they are into bins of the report bin
// size (no re-binning, no basal normalisation), written either as one file
// per well with time stamps or as one file per channel plus time.txt.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/datetime.h"
#include "records/record_files.h"

namespace orb {

class Clock;
class Launcher;
class Operator;
struct ReportContext;

inline constexpr const char* kExportQuestion = "Do you like to Export 384 text files?";
inline constexpr const char* kTimeFieldQuestion = "Include time field?";

// The times of all records in minutes, with the day correction: when a time
// falls by more than 1000 minutes from the previous corrected time, it is
// placed on the next day (1440 minutes later).
std::vector<std::int64_t> CorrectedMinutes(const std::vector<CountsRecord>& records);

// T: the largest recorded time, or the corrected time of the last record
// when that is larger. 0 without records.
std::int64_t ExportLength(const std::vector<CountsRecord>& records);

// The bin used: the typed bin, at least 2; for a recording shorter than it
// (T + 1 below the bin) floor((T + 1) / 15) x 15 when T exceeds 30 minutes,
// else T + 1. Never below 1.
int ExportBin(int typedBin, std::int64_t T);
// round(T / bin), halves to even, at least 1.
int ExportBinCount(std::int64_t T, int bin);

// The export refuses recordings that would need more bins than this (a
// damaged counts.bin can hold times of millions of minutes).
inline constexpr int kMaxExportBins = 1 << 16;

// Each channel's counts summed per bin. Bin k (1-based) collects the
// records with (k - 1) x bin < t <= k x bin (t with the day correction), so
// a record of minute 0 (or before) lies before the first bin; records after
// the last bin belong to no bin either.
struct ExportBins {
  int bin = 0;
  int n = 0;
  std::vector<std::vector<std::int64_t>> channel;  // [channel 0..383][k - 1]
  std::int64_t value(int channel, int k) const { return this->channel[channel][k - 1]; }
};
ExportBins SumIntoBins(const std::vector<CountsRecord>& records, int typedBin);

// A well's value in bin k: the value of its channel with one beam per well,
// else the rounded mean (halves to even) over its beams that have a channel.
std::int64_t WellValue(const ReportContext& context, const ExportBins& bins, int well, int k);

// "005_F1.txt", "ch000012.txt".
std::string WellFileName(const ReportContext& context, int well);
std::string ChannelFileName(int channel);

// The date-time `minutes` later (calendar arithmetic, no time zone).
LocalDateTime AddMinutes(const LocalDateTime& t, std::int64_t minutes);

// The file contents, lines ending in CR LF.
std::string WellFileText(const ReportContext& context, const ExportBins& bins, int well,
                         const LocalDateTime& start);
std::string ChannelFileText(const ExportBins& bins, int channel);
std::string TimeFileText(const ExportBins& bins);

struct WellExportResult {
  int bin = 0;  // the bin used (the report window's box shows it)
  int n = 0;
  std::vector<std::filesystem::path> written;
  bool complete = true;  // false: a file failed ("Report Error"); `written` holds those before it
};

// A file could not be written; the files before it stay.
class WellExportError : public std::runtime_error {
 public:
  WellExportError(std::filesystem::path file, const std::string& reason)
      : std::runtime_error("cannot write " + file.string() + ": " + reason), file(std::move(file)) {}
  std::filesystem::path file;
  std::vector<std::filesystem::path> written;  // files written before the failure
};

// Writes the files of one variant into the acquisition folder. With the
// time field: one file per well that has a beam-0 channel, stamped from
// `start`; without: ch000000.txt .. ch000383.txt and time.txt. Throws
// WellExportError.
WellExportResult WriteWellExport(const std::filesystem::path& acquisitionFolder, const ReportContext& context,
                                 const std::vector<CountsRecord>& records, int typedBin, bool withTime,
                                 const LocalDateTime& start);

// The export without its questions: "Activity file not Found" without
// counts.bin; the acquisition context (with its own messages), the records
// and the files; "Report Error" on any failure. Nothing when no file could
// be started; an incomplete result when writing stopped part way.
std::optional<WellExportResult> ExportWells(const std::filesystem::path& programFolder,
                                            const std::filesystem::path& acquisitionFolder, int typedBin,
                                            bool withTime, const LocalDateTime& start, Operator& op);

// The report window's "1 file/well Report": the two questions, the export
// stamped from the clock's present time, then the folder is shown.
std::optional<WellExportResult> RunWellExport(const std::filesystem::path& programFolder,
                                              const std::filesystem::path& acquisitionFolder, int typedBin,
                                              Operator& op, Clock& clock, Launcher& launcher);

}  // namespace orb
