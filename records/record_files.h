// The binary records of a recorded experiment (an acquisition folder,
// yyyymmdd_hhmm, inside the project folder), appended at each interval
// close: counts.bin, the raw sample files and the histogram files.
// This is the one place that packs and unpacks those records; the engine
// writes them, the browser and the reports read them. All little-endian,
// no headers, no padding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/beam_geometry.h"

namespace orb {

inline constexpr int kHistogramBins = 51;           // bins 0..50 (50 never filled)
inline constexpr int kRecordsPerFile = 11;          // intervals per raw / histogram file
inline constexpr int kStandardRawBuffer = 500;      // the RT_Buffer readers accept
inline constexpr std::size_t kCountsRecordSize = 774;
inline constexpr std::size_t kHistogramRecordSize = 16 + 4 * kChannelSlots * kHistogramBins;  // 78,556
inline constexpr const char* kCountsFile = "counts.bin";
inline constexpr const char* kSubprojectFile = "subproj.dat";

// Bytes of one raw-sample record for a sample buffer of rtBuffer (slots 0..rtBuffer).
constexpr std::size_t RawRecordSize(int rtBuffer) { return std::size_t(kChannelSlots) * (rtBuffer + 1) * 2; }
inline constexpr std::size_t kRawRecordSize = RawRecordSize(kStandardRawBuffer);  // 385,770

// One interval of counts.bin.
struct CountsRecord {
  std::int32_t ElapsedMinutes = 0;
  std::array<std::int16_t, kChannels> IntervalCounts{};
  std::int16_t TemperatureTenths = 0;  // tenths of a degree Celsius
};

// One interval of raw samples: value of beam b in sample slot s at
// s * kChannelSlots + b; kChannelSlots * (RT_Buffer + 1) values.
struct RawRecord {
  std::vector<std::int16_t> values;
  std::int16_t at(int slot, int beam) const { return values[std::size_t(slot) * kChannelSlots + beam]; }
  int slotCount() const { return static_cast<int>(values.size() / kChannelSlots); }
};

// One interval of a histogram file: cumulative counts of beam b in bin k at
// k * kChannelSlots + b.
struct HistogramRecord {
  double ElapsedMinutesExact = 0;
  double SecondsPerSample = 0;
  std::vector<std::int32_t> counts = std::vector<std::int32_t>(std::size_t(kChannelSlots) * kHistogramBins, 0);
  std::int32_t at(int beam, int bin) const { return counts[std::size_t(bin) * kChannelSlots + beam]; }
};

// round(celsius * 10), halves to the even neighbour (23.25 -> 232, 23.75 -> 238).
std::int16_t TemperatureTenths(double celsius);

std::string PackCountsRecord(const CountsRecord& record);
std::string PackRawRecord(const RawRecord& record);
std::string PackHistogramRecord(const HistogramRecord& record);
// Exactly one record's bytes; std::invalid_argument otherwise.
CountsRecord UnpackCountsRecord(std::string_view bytes);
RawRecord UnpackRawRecord(std::string_view bytes);
HistogramRecord UnpackHistogramRecord(std::string_view bytes);

// "0.bin", "1.bin", ...; "histo0000.bin", "histo0001.bin", ...
std::string RawFileName(int fileIndex);
std::string HistogramFileName(int fileIndex);

// ---- reading ---------------------------------------------------------------

// Number of whole records in counts.bin (file length / 774; 0 when missing).
long long CountsRecordCount(const std::filesystem::path& acquisitionFolder);
// All whole records of counts.bin (a trailing partial record is ignored);
// nothing when the file cannot be read.
std::optional<std::vector<CountsRecord>> ReadCountsFile(const std::filesystem::path& acquisitionFolder);
// Interval i of the raw files (file i / 11, record i % 11, 385,770 bytes);
// nothing when that record is not in the folder.
std::optional<RawRecord> ReadRawInterval(const std::filesystem::path& acquisitionFolder, long long interval);
// The same into `into`, whose storage is reused (the raw re-analysis reads
// hundreds of records a second); false, with `into` unspecified, when the
// record is not in the folder.
bool ReadRawInterval(const std::filesystem::path& acquisitionFolder, long long interval, RawRecord& into);
// Number of whole raw intervals in the folder (files 0.bin, 1.bin, ... in a row).
long long RawIntervalCount(const std::filesystem::path& acquisitionFolder);
std::optional<HistogramRecord> ReadHistogramInterval(const std::filesystem::path& acquisitionFolder,
                                                     long long interval);

// ---- writing ---------------------------------------------------------------

// What went wrong with a file: its path and the system's reason.
struct RecordFileError {
  std::filesystem::path file;
  std::string reason;
};

// A record file error carried as an exception (folder creation).
struct RecordFileFailure : std::runtime_error {
  RecordFileError error;
  explicit RecordFileFailure(RecordFileError e);
};

// Appends one record (`bytes`) to `file`, creating it when missing, and
// syncs it to disk. With a recordSize, a partial record at the end of the
// file (a torn write of an older program) is overwritten so that record k
// stays at k x recordSize; without one the file is appended to as it is.
// On any failure the file is cut back to where the record began (a file
// the append created is removed again), so no partial record is left, and
// the error is returned.
std::optional<RecordFileError> AppendRecord(const std::filesystem::path& file, std::string_view bytes,
                                            std::size_t recordSize = 0);

// The records of one interval close. raw and histogram are written only
// when given.
struct IntervalRecords {
  int rawFileIndex = 0;
  const RawRecord* raw = nullptr;
  CountsRecord counts;
  const HistogramRecord* histogram = nullptr;
};

// Appends the interval's records in their order: raw file, counts.bin,
// histogram file. The interval is written to all of its files or to none:
// the first failure stops the sequence, the records this interval already
// appended are taken back, and that failure is returned (empty when all
// went well).
std::vector<RecordFileError> AppendIntervalRecords(const std::filesystem::path& acquisitionFolder,
                                                   const IntervalRecords& records);

}  // namespace orb
