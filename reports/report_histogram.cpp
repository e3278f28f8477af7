#include "reports/report_histogram.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/fileio.h"
#include "common/format.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr int kHighestFileNumber = 99999;

bool IsHistogramFileName(const std::string& name) {
  return name.size() > 9 && name.compare(0, 5, "histo") == 0 && name.compare(name.size() - 4, 4, ".bin") == 0;
}

// Channel histograms of every report bin, flat: [k][channel][class].
class ChannelHistograms {
 public:
  explicit ChannelHistograms(int nBins)
      : nBins_(nBins), values_(static_cast<std::size_t>(nBins + 1) * kChannels * kHistogramClasses, 0) {}
  std::int32_t* at(int k, int channel) {
    return values_.data() + (static_cast<std::size_t>(k) * kChannels + channel) * kHistogramClasses;
  }
  bool holds(std::int64_t k) const { return k >= 1 && k <= nBins_; }
  int bins() const { return nBins_; }

 private:
  int nBins_;
  std::vector<std::int32_t> values_;
};

// Reads the files 0..N in order; returns the class step H (0 when no record
// was read).
double ReadChannelHistograms(const fs::path& folder, int highest, int bin, ChannelHistograms& hist,
                             std::vector<bool>& hasData) {
  double H = 0;
  std::int64_t e = bin;  // the time cursor of the report bins, never reset
  // A time past the last report bin moves the cursor past it at once (a
  // damaged file may hold any time at all).
  const std::int64_t past = static_cast<std::int64_t>(hist.bins() + 2) * bin;
  for (int u = 0; u <= highest; ++u) {
    const fs::path file = folder / HistogramFileName(u);
    if (!FileExists(file)) continue;
    const auto bytes = ReadWholeFile(file);
    if (!bytes) continue;
    const std::size_t records = bytes->size() / kHistogramRecordSize;
    double secondsSum = 0;
    for (std::size_t r = 0; r < records; ++r) {
      const HistogramRecord rec =
          UnpackHistogramRecord(std::string_view(*bytes).substr(r * kHistogramRecordSize, kHistogramRecordSize));
      secondsSum += rec.SecondsPerSample;
      const double t = rec.ElapsedMinutesExact;
      if (std::isnan(t)) continue;
      if (t > past) {
        e = std::max(e, past);  // beyond the reported time, and so is every later record below e
        continue;
      }
      while (e < t) e += bin;
      const std::int64_t k = e / bin;
      if (!hist.holds(static_cast<int>(k))) continue;
      for (int ch = 0; ch < kChannels; ++ch) {
        std::int32_t* classes = hist.at(static_cast<int>(k), ch);
        for (int c = 0; c < kHistogramClasses; ++c) classes[c] = rec.at(ch, c);
      }
      hasData[static_cast<std::size_t>(k)] = true;
    }
    if (records > 0) H = secondsSum / static_cast<double>(records);
  }
  return H;
}

}  // namespace

std::optional<int> HighestHistogramFile(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (IsHistogramFileName(name)) names.push_back(name);
  }
  if (names.empty()) return std::nullopt;
  std::sort(names.begin(), names.end());
  const std::string& last = names.back();
  // The digits from the sixth character up to ".bin" (a name without them counts as 0).
  int n = 0;
  for (std::size_t i = 5; i < last.size() - 4 && last[i] >= '0' && last[i] <= '9'; ++i)
    n = std::min(n * 10 + (last[i] - '0'), kHighestFileNumber);
  return n;
}

std::optional<HistogramData> LoadHistogramData(const fs::path& folder, const RecordSeries& series,
                                               const ReportStatistics& stats, const ReportContext& ctx,
                                               const std::array<std::int16_t, kChannelSlots>& channelGroup) {
  const auto highest = HighestHistogramFile(folder);
  if (!highest) return std::nullopt;
  const int nBins = stats.nBins;
  const int bin = stats.bin;
  const std::size_t slots = static_cast<std::size_t>(nBins) + 1;
  HistogramData data;
  data.hasData.assign(slots, false);
  ChannelHistograms channels(nBins);
  data.classStep = ReadChannelHistograms(folder, *highest, bin, channels, data.hasData);

  // Well histograms, once per activity record of the bin.
  const int wells = ctx.wellCount();
  data.well.assign(slots, std::vector<ClassCounts>(static_cast<std::size_t>(wells), ClassCounts{}));
  std::int64_t e = bin;
  for (std::size_t j = 0; j < series.minutes.size(); ++j) {
    while (e < series.minutes[j]) e += bin;
    const std::int64_t k = e / bin;
    if (k < 1 || k > nBins) continue;
    for (int w = 0; w < wells; ++w) {
      const int first = ctx.wellChannel(w, 0);
      if (first < 0) continue;
      ClassCounts& target = data.well[static_cast<std::size_t>(k)][static_cast<std::size_t>(w)];
      if (ctx.oneBeamPerWell()) {
        const std::int32_t* source = channels.at(static_cast<int>(k), first);
        for (int c = 0; c < kHistogramClasses; ++c) target[c] += source[c];
        continue;
      }
      for (int c = 0; c < kHistogramClasses; ++c) {
        double sum = 0;
        int beams = 0;
        for (int b = 0; b < ctx.beamCount(); ++b) {
          const int ch = ctx.wellChannel(w, b);
          if (ch < 0) continue;
          sum += channels.at(static_cast<int>(k), ch)[c];
          ++beams;
        }
        target[c] = RoundHalfEven(static_cast<double>(target[c]) + sum / beams);
      }
    }
  }

  // Group histograms: the rounded mean over the group's wells.
  data.group.assign(static_cast<std::size_t>(stats.G + 1), std::vector<ClassCounts>(slots, ClassCounts{}));
  for (int g = 0; g <= stats.G; ++g) {
    std::vector<int> members;
    for (int w = 0; w < wells; ++w) {
      const int first = ctx.wellChannel(w, 0);
      if (first >= 0 && channelGroup[first] == g) members.push_back(w);
    }
    if (members.empty()) continue;
    for (int k = 1; k <= nBins; ++k)
      for (int c = 0; c < kHistogramClasses; ++c) {
        double sum = 0;
        for (int w : members) sum += static_cast<double>(data.well[k][static_cast<std::size_t>(w)][c]);
        data.group[g][k][c] = RoundHalfEven(sum / static_cast<double>(members.size()));
      }
  }
  return data;
}

}  // namespace orb
