// Re-binning of an acquisition's activity records (counts.bin) to a report
// bin size: the length scan and bin correction, the loading of the records
// with the day correction, the regular (0.02-minute clock) and irregular
// (time stamp) methods, and the rule for the last partial bin.
//
// The regular method walks its clock step by step in floating point; the
// accumulated steps decide where a record ends and a bin ends, so it is
// written as the walk itself, never as a closed form.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/record_files.h"

namespace orb {

class Operator;

// The counts of channels 0..383 in one record of counts.bin, as recorded:
// one interval's counts, 16 bits each.
using RecordCounts = std::array<std::int16_t, kChannels>;
// The counts of channels 0..383 in one re-binned report bin. A bin sums
// many records (a day of 34-second intervals of an active well is some
// 200,000 counts), so each is held in 32 bits.
using ChannelCounts = std::array<std::int32_t, kChannels>;

// The records 0..K of a recording as the reports use them.
struct RecordSeries {
  std::vector<std::int32_t> minutes;      // corrected time t[j] (day x 1440 + time)
  std::vector<RecordCounts> counts;       // counts of channels 0..383 per record
  std::vector<std::int16_t> temperature;  // tenths of a degree Celsius per record
  std::int32_t T = 0;                     // the largest corrected time

  bool empty() const { return minutes.empty(); }
  int lastRecord() const { return static_cast<int>(minutes.size()) - 1; }  // K
};

// The length of a recording in minutes from the time fields of its records:
// the largest day x 1440 + time, the day counter rising after a record whose
// time is more than 1000 below the previous record's time. 0 for no records.
std::int32_t ScanLength(const std::vector<CountsRecord>& records);

// The bin actually used: the requested bin (at least 1); when the recording
// is shorter than that, its length rounded down to a multiple of 15 when it
// exceeds 30 minutes, or the length itself. Never below 1: a recording of 0
// minutes keeps a bin of 1 and then has nothing to report.
int CorrectBin(int requestedBin, std::int32_t scanLength);

// Records 0..K, K being the record with the largest time (the later one on a
// tie); each time is corrected by a day counter that rises when the
// corrected time falls by more than 1000 minutes from the previous record.
RecordSeries LoadRecordSeries(const std::vector<CountsRecord>& records);

// Reads <folder>/counts.bin and loads it. When the file cannot be read the
// operator sees "Error loading " + its path and the series is empty.
RecordSeries LoadRecordSeriesFromFolder(const std::filesystem::path& acquisitionFolder, Operator& op);

// True when one record interval is more than twice the interval before it
// (both non-zero; intervals of falling times are skipped).
bool IsIrregularRecording(const std::vector<std::int32_t>& minutes);

// The re-binned recording.
struct RebinResult {
  int bin = 0;
  bool irregular = false;
  // Last bin index to report, round(T / bin) - 1 after the tail rule;
  // -1 when there is nothing to report ("Resampling ERROR").
  int lastBin = -1;
  std::int32_t T = 0;                     // length after the tail rule
  std::vector<std::int32_t> endTime;      // per output bin i: bin x (i + 1)
  std::vector<ChannelCounts> counts;      // per output bin, rounded to 32 bits
  std::vector<std::int16_t> temperature;  // per output bin, tenths of a degree (a record's value)

  int outputBins() const { return static_cast<int>(endTime.size()); }
};

// A re-binned value that does not fit 32 bits (or is not a number): the
// generation stops with "Resampling Calculation Error" followed by
// `binIndex`.
class RebinOverflow : public std::runtime_error {
 public:
  explicit RebinOverflow(int binIndex)
      : std::runtime_error("re-binned count out of range in bin " + std::to_string(binIndex)), binIndex(binIndex) {}
  int binIndex;
};

// Re-bins the series to `bin` minutes (irregular or regular method as the
// recording's intervals decide), rounds the output and applies the tail
// rule. Throws RebinOverflow for a value that does not fit 32 bits.
RebinResult Rebin(const RecordSeries& series, int bin);

// The accumulators of one method, before rounding: per bin 0..B (B =
// round(T / bin)) the channel sums and the bin temperature. Exposed for the
// per-well export and for tests.
struct RebinAccumulators {
  std::vector<std::array<double, kChannels>> sums;
  std::vector<double> temperature;
};
// The 0.02-minute clock: each record's count is spread over its duration
// m = T / K; the last record is not used.
RebinAccumulators AccumulateRegular(const RecordSeries& series, int bin);
// By time stamps: every record goes whole into the current bin, which
// advances when floor(t / bin) has passed it.
RebinAccumulators AccumulateIrregular(const RecordSeries& series, int bin);

// The last partial bin of `result` (its T still the recording's length):
// 75% or more of a bin is scaled up to a whole bin, less than 75% is
// dropped; sets T and lastBin. Throws RebinOverflow when a scaled count does
// not fit 32 bits.
void ApplyTailRule(RebinResult& result);

}  // namespace orb
