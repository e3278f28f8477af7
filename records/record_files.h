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
// the append created is removed), so no partial record is left, and the
// error is returned.
//
// The end of the file is found with one look at its length and the record
// written there: only the run that holds the folder's FolderLock writes
// the records of an acquisition folder, so no other writer can move the
// end between the two.
std::optional<RecordFileError> AppendRecord(const std::filesystem::path& file, std::string_view bytes,
                                            std::size_t recordSize = 0);

// The records of one interval close. raw and histogram are written only
// when given.
struct IntervalRecords {
  // The interval's place in counts.bin (0 = the run's first record). Its
  // raw and histogram records belong to file interval / 11, and its raw
  // record lies at place interval % 11 of that file.
  long long interval = 0;
  // The first interval whose raw record is missing (raw saving failed from
  // there on), or -1. Those records are written as zeros before this
  // interval's raw record, so that every raw record stays at its place.
  long long rawMissingFrom = -1;
  const RawRecord* raw = nullptr;
  CountsRecord counts;
  const HistogramRecord* histogram = nullptr;
};

// What became of an interval's records.
struct IntervalWriteResult {
  // counts.bin or the histogram file could not be written: nothing of the
  // interval is kept (the raw record is then not tried either).
  std::optional<RecordFileError> counts;
  // The raw record alone could not be written: the counts and the
  // histogram were.
  std::optional<RecordFileError> raw;
  bool complete() const { return !counts && !raw; }
};

// Appends the interval's records: counts.bin, the histogram file, then the
// raw record at its place. The counts and the histogram record go into
// their files together or not at all (readers pair counts record i with
// histogram interval i): a failure of either takes back the other. A raw
// record that cannot be written leaves them in place: the counts are the
// experiment, the raw samples only its evidence. Written in this order,
// the small counts record takes the last room of a filling disk before
// the large raw record does.
IntervalWriteResult AppendIntervalRecords(const std::filesystem::path& acquisitionFolder,
                                          const IntervalRecords& records);

// True when the folder holds records of a run: counts.bin, the first raw
// file or the first histogram file is not empty. A new run never records
// into such a folder.
bool FolderHoldsRecords(const std::filesystem::path& acquisitionFolder);

// The lock of an acquisition folder, held by the run that records into it
// for the whole run, so that no second program (another instrument, or a
// second start in the same minute) records into the same folder. It is an
// flock on a descriptor of the folder itself: no file is added to the
// folder, and the system releases it when the holding process ends, even
// when it crashed. Another holder is another open of the folder, in this
// process or in another one.
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock();
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the lock of `folder` without waiting. The result is held(), or
  // busy (another holder has it: not held, no error()), or not held with
  // the error() that kept the folder from being opened or locked.
  static FolderLock TryLock(const std::filesystem::path& folder);

  bool held() const { return fd_ >= 0; }
  const std::optional<RecordFileError>& error() const { return error_; }
  void release();

 private:
  int fd_ = -1;
  std::optional<RecordFileError> error_;
};

}  // namespace orb
