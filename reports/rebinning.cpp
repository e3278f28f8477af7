#include "reports/rebinning.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/format.h"
#include "common/seams.h"

namespace orb {

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;
constexpr std::int64_t kDayFall = 1000;  // a fall of the time this large starts a new day
constexpr double kClockStep = 0.02;      // minutes per step of the regular method's clock
// Output bins a report can hold. A damaged counts.bin can carry times of
// millions of minutes; re-binning it would need more memory than any
// machine has, so it is refused like any other value out of range.
constexpr std::int64_t kMaxOutputBins = 1 << 16;

std::int32_t ClampToInt32(std::int64_t v) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// round(T / bin): the number of output bins (may be <= 0).
std::int64_t BinCount(std::int32_t T, int bin) { return RoundHalfEven(static_cast<double>(T) / bin); }

// Accumulators for bins 0..B, or none when B is negative.
RebinAccumulators MakeAccumulators(std::int32_t T, int bin) {
  const std::int64_t B = BinCount(T, bin);
  if (B >= kMaxOutputBins) throw RebinOverflow(static_cast<int>(kMaxOutputBins));
  RebinAccumulators acc;
  if (B < 0) return acc;
  acc.sums.assign(static_cast<std::size_t>(B) + 1, std::array<double, kChannels>{});
  acc.temperature.assign(static_cast<std::size_t>(B) + 1, 0.0);
  return acc;
}

// A value rounded half to even into T; RebinOverflow naming the bin when it
// is not a number or lies outside T's range. The range is checked before
// rounding: a double far outside 64 bits cannot be rounded to an integer.
template <typename T>
T RoundChecked(double value, int binIndex) {
  constexpr double kLow = static_cast<double>(std::numeric_limits<T>::min()) - 0.5;
  constexpr double kHigh = static_cast<double>(std::numeric_limits<T>::max()) + 0.5;
  if (!std::isfinite(value) || value < kLow || value > kHigh) throw RebinOverflow(binIndex);
  const std::int64_t r = RoundHalfEven(value);
  if (r < std::numeric_limits<T>::min() || r > std::numeric_limits<T>::max()) throw RebinOverflow(binIndex);
  return static_cast<T>(r);
}

// Re-binned counts: sums of many 16-bit records, held in 32 bits.
std::int32_t RoundCount(double value, int binIndex) { return RoundChecked<std::int32_t>(value, binIndex); }
// A bin's temperature is one record's 16-bit value.
std::int16_t RoundTemperature(double value, int binIndex) { return RoundChecked<std::int16_t>(value, binIndex); }

}  // namespace

std::int32_t ScanLength(const std::vector<CountsRecord>& records) {
  if (records.empty()) return 0;
  std::int64_t day = 0;
  std::int64_t length = std::numeric_limits<std::int64_t>::min();
  for (std::size_t j = 0; j < records.size(); ++j) {
    const std::int64_t time = records[j].ElapsedMinutes;
    length = std::max(length, day * kMinutesPerDay + time);
    if (j > 0 && records[j - 1].ElapsedMinutes - time > kDayFall) ++day;
  }
  return ClampToInt32(length);
}

int CorrectBin(int requestedBin, std::int32_t scanLength) {
  int bin = std::max(requestedBin, 1);
  if (scanLength < bin) bin = scanLength > 30 ? scanLength / 15 * 15 : scanLength;
  return std::max(bin, 1);
}

RecordSeries LoadRecordSeries(const std::vector<CountsRecord>& records) {
  RecordSeries s;
  if (records.empty()) return s;
  // First pass: the record with the largest time, the later one on a tie.
  std::size_t K = 0;
  for (std::size_t j = 0; j < records.size(); ++j)
    if (records[j].ElapsedMinutes >= records[K].ElapsedMinutes) K = j;

  s.minutes.reserve(K + 1);
  s.counts.reserve(K + 1);
  s.temperature.reserve(K + 1);
  std::int64_t day = 0;
  std::int64_t previous = 0;
  std::int64_t T = std::numeric_limits<std::int64_t>::min();
  for (std::size_t j = 0; j <= K; ++j) {
    const CountsRecord& r = records[j];
    std::int64_t t = day * kMinutesPerDay + r.ElapsedMinutes;
    if (j > 0 && previous - t > kDayFall) {
      ++day;
      t = day * kMinutesPerDay + r.ElapsedMinutes;
    }
    previous = t;
    T = std::max(T, t);
    s.minutes.push_back(ClampToInt32(t));
    s.counts.push_back(r.IntervalCounts);
    s.temperature.push_back(r.TemperatureTenths);
  }
  s.T = ClampToInt32(T);
  return s;
}

RecordSeries LoadRecordSeriesFromFolder(const std::filesystem::path& acquisitionFolder, Operator& op) {
  auto records = ReadCountsFile(acquisitionFolder);
  if (!records) {
    op.inform("Error loading " + (acquisitionFolder / kCountsFile).string());
    return {};
  }
  return LoadRecordSeries(*records);
}

bool IsIrregularRecording(const std::vector<std::int32_t>& t) {
  if (t.size() < 2) return false;
  std::int64_t previous = std::int64_t{t[1]} - t[0];
  bool irregular = false;
  for (std::size_t j = 1; j < t.size(); ++j) {
    if (t[j] < t[j - 1]) continue;
    const std::int64_t d = std::int64_t{t[j]} - t[j - 1];
    if (d > 2 * previous && d != 0 && previous != 0) irregular = true;
    previous = d;
  }
  return irregular;
}

RebinAccumulators AccumulateRegular(const RecordSeries& series, int bin) {
  RebinAccumulators acc = MakeAccumulators(series.T, bin);
  const int K = series.lastRecord();
  if (acc.sums.empty() || K < 1) return acc;
  const int B = static_cast<int>(acc.sums.size()) - 1;
  const double m = static_cast<double>(series.T) / K;  // minutes per record
  const double stepsPerRecord = m * 50;

  // One clock serves every channel: at each step each channel's accumulator
  // of bin b receives count[j] / (m x 50), in the same order as a walk per
  // channel would add it, so the sums are the same to the last bit.
  std::array<double, kChannels> share{};
  auto loadShares = [&](int j) {
    for (int ch = 0; ch < kChannels; ++ch) share[ch] = series.counts[j][ch] / stepsPerRecord;
  };
  int j = 0, b = 0;
  double inRecord = 0, inBin = 0;
  loadShares(0);
  while (b <= B && j < K) {
    double* sums = acc.sums[b].data();
    for (int ch = 0; ch < kChannels; ++ch) sums[ch] += share[ch];
    if (series.temperature[j] >= 1) acc.temperature[b] = series.temperature[j];
    if (inRecord >= m) {
      ++j;
      inRecord = 0;
      if (j < K) loadShares(j);
    }
    if (inBin >= bin) {
      ++b;  // the next bin starts from the 0 it was created with
      inBin = 0;
    }
    inRecord += kClockStep;
    inBin += kClockStep;
  }
  return acc;
}

RebinAccumulators AccumulateIrregular(const RecordSeries& series, int bin) {
  RebinAccumulators acc = MakeAccumulators(series.T, bin);
  if (acc.sums.empty()) return acc;
  const int B = static_cast<int>(acc.sums.size()) - 1;
  int b = 0;
  for (std::size_t j = 0; j < series.minutes.size(); ++j) {
    auto& sums = acc.sums[b];
    for (int ch = 0; ch < kChannels; ++ch) sums[ch] += series.counts[j][ch];
    if (series.temperature[j] >= 1) acc.temperature[b] = series.temperature[j];
    if (std::floor(static_cast<double>(series.minutes[j]) / bin) > b && b < B) ++b;
  }
  return acc;
}

void ApplyTailRule(RebinResult& r) {
  const double bin = r.bin;
  const int d = r.outputBins() - 1;
  const double whole = std::floor(r.T / bin) * bin;
  const double p = (r.T - whole) * 100 / bin;
  if (p >= 75 && p < 100 && d >= 0) {
    for (auto& count : r.counts[d]) count = RoundCount(count * (1 + (100 - p) / 100), d);
    r.T = (d + 1) * r.bin;
  } else if (p > 0 && p < 75) {
    r.T = static_cast<std::int32_t>(whole);
  }
  r.lastBin = static_cast<int>(BinCount(r.T, r.bin) - 1);
}

RebinResult Rebin(const RecordSeries& series, int bin) {
  RebinResult r;
  r.bin = std::max(bin, 1);
  r.T = series.T;
  if (series.empty()) return r;
  r.irregular = IsIrregularRecording(series.minutes);
  const RebinAccumulators acc = r.irregular ? AccumulateIrregular(series, r.bin) : AccumulateRegular(series, r.bin);

  const std::int64_t n = std::max<std::int64_t>(BinCount(series.T, r.bin), 0);
  r.endTime.resize(static_cast<std::size_t>(n));
  r.counts.resize(static_cast<std::size_t>(n));
  r.temperature.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    r.endTime[i] = r.bin * (i + 1);
    for (int ch = 0; ch < kChannels; ++ch) r.counts[i][ch] = RoundCount(acc.sums[i][ch], i);
    r.temperature[i] = RoundTemperature(acc.temperature[i], i);
  }
  ApplyTailRule(r);
  if (r.lastBin < 0) r.lastBin = -1;
  return r;
}

}  // namespace orb
