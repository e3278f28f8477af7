#include "reports/report_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "common/format.h"

namespace orb {

namespace {

constexpr std::int32_t kLowestTemperature = 10;  // tenths of a degree
constexpr std::int32_t kHighestTemperature = 500;

std::int32_t WellValue(const ReportContext& ctx, const ChannelCounts& counts, int well) {
  if (ctx.oneBeamPerWell()) {
    const int ch = ctx.wellChannel(well, 0);
    return ch < 0 ? 0 : counts[ch];
  }
  std::int64_t sum = 0;
  int beams = 0;
  for (int b = 0; b < ctx.beamCount(); ++b) {
    const int ch = ctx.wellChannel(well, b);
    if (ch < 0) continue;
    sum += counts[ch];
    ++beams;
  }
  return beams == 0 ? 0 : static_cast<std::int32_t>(RoundHalfEven(static_cast<double>(sum) / beams));
}

GroupBinStatistics GroupBin(const std::vector<std::int32_t>& wellValues, const std::vector<int>& members) {
  GroupBinStatistics s;
  const int n = static_cast<int>(members.size());
  if (n == 0) return s;  // a group without wells prints 0
  std::vector<std::int32_t> values;
  values.reserve(members.size());
  std::int64_t sum = 0;
  for (int w : members) {
    values.push_back(wellValues[static_cast<std::size_t>(w)]);
    sum += values.back();
  }
  s.mean = static_cast<std::int32_t>(RoundHalfEven(static_cast<double>(sum) / n));
  if (n > 1) {
    double squares = 0;
    for (std::int32_t v : values) {
      const double d = static_cast<double>(v) - s.mean;
      squares += d * d;
    }
    // Counts of one sign keep the deviation within 32 bits; values of both
    // signs (a damaged recording) may not, and are a calculation error.
    const double sd = std::sqrt(squares / (n - 1));
    if (!(sd <= std::numeric_limits<std::int32_t>::max()))
      throw std::overflow_error("standard deviation beyond 32 bits");
    s.sd = static_cast<std::int32_t>(RoundHalfEven(sd));
  }
  s.median = Median(std::move(values));
  return s;
}

}  // namespace

std::int32_t Median(std::vector<std::int32_t> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  if (values.size() % 2 == 1) return values[mid];
  return static_cast<std::int32_t>(RoundHalfEven((static_cast<double>(values[mid - 1]) + values[mid]) / 2));
}

std::string FormatStandardError(std::int32_t sd, int n) {
  if (n < 1 || sd < 1) return "0.0";
  return FormatFixed(sd / std::sqrt(static_cast<double>(n)), 1);
}

ReportStatistics ComputeStatistics(const RebinResult& r, const ReportContext& ctx,
                                   const std::array<std::int16_t, kChannelSlots>& channelGroup) {
  ReportStatistics s;
  s.bin = r.bin;
  s.T = r.T;
  s.nBins = std::max<int>(static_cast<int>(RoundHalfEven(static_cast<double>(r.T) / r.bin)), 1);
  const std::size_t slots = static_cast<std::size_t>(s.nBins) + 1;
  s.timeLabel.assign(slots, 0);
  s.hasData.assign(slots, false);
  s.samples.assign(slots, 0);
  s.temperature.assign(slots, 0);
  s.channel.assign(slots, ChannelCounts{});
  s.well.assign(slots, std::vector<std::int32_t>(static_cast<std::size_t>(ctx.wellCount()), 0));
  for (int k = 1; k <= s.nBins; ++k) s.timeLabel[k] = std::min<std::int32_t>(k * r.bin, r.T);

  // Output bin i is report bin i + 1.
  std::vector<std::vector<std::int32_t>> temperatures(slots);
  for (int i = 0; i <= r.lastBin && i < r.outputBins(); ++i) {
    const int k = i + 1;
    if (k > s.nBins) break;
    s.channel[k] = r.counts[i];
    s.hasData[k] = true;
    ++s.samples[k];
    if (r.temperature[i] >= kLowestTemperature && r.temperature[i] <= kHighestTemperature)
      temperatures[k].push_back(r.temperature[i]);
  }
  for (int k = 1; k <= s.nBins; ++k) {
    const auto& t = temperatures[k];
    if (t.empty()) continue;
    std::int64_t sum = 0;
    for (auto v : t) sum += v;
    s.temperature[k] = static_cast<std::int32_t>(RoundHalfEven(static_cast<double>(sum) / t.size()));
  }
  for (int k = 1; k <= s.nBins; ++k)
    for (int w = 0; w < ctx.wellCount(); ++w) s.well[k][w] = WellValue(ctx, s.channel[k], w);

  // Groups 0..G; a well belongs to the group of its first beam's channel.
  for (int c = 0; c < kChannels; ++c) s.G = std::max<int>(s.G, channelGroup[c]);
  s.groupWells.assign(static_cast<std::size_t>(s.G + 1), {});
  for (int w = 0; w < ctx.wellCount(); ++w) {
    const int ch = ctx.wellChannel(w, 0);
    if (ch < 0 || channelGroup[ch] < 0) continue;
    s.groupWells[static_cast<std::size_t>(channelGroup[ch])].push_back(w);
  }
  s.group.assign(static_cast<std::size_t>(s.G + 1), std::vector<GroupBinStatistics>(slots));
  for (int g = 0; g <= s.G; ++g)
    for (int k = 1; k <= s.nBins; ++k) s.group[g][k] = GroupBin(s.well[k], s.groupWells[g]);
  return s;
}

}  // namespace orb
