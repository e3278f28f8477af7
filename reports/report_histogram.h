// The body-bends histogram data of a report ("Histogram Body_bends
// (experimental)" layout): the channel histograms of each report bin from the
// histogram files histo<nnnn>.bin, the well histograms built along the
// activity records, and the group histograms.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "reports/rebinning.h"
#include "reports/report_context.h"
#include "reports/report_statistics.h"

namespace orb {

inline constexpr int kHistogramClasses = 50;         // classes 0..49 are filled
inline constexpr int kWrittenHistogramClasses = 31;  // classes 0..30 are written

using ClassCounts = std::array<std::int64_t, kHistogramClasses>;

struct HistogramData {
  double classStep = 0;                         // H: mean seconds per sample of the last file read
  std::vector<bool> hasData;                    // [k], report bins 1..nBins
  std::vector<std::vector<ClassCounts>> well;   // [k][well]
  std::vector<std::vector<ClassCounts>> group;  // [g][k]
};

// The highest histogram file number in the folder: the digits after "histo"
// of the last histo*.bin name in name order; nothing when there is none.
std::optional<int> HighestHistogramFile(const std::filesystem::path& acquisitionFolder);

// Reads the histogram files and builds the well and group histograms for
// the report bins of `stats`. `series` gives the activity records' times.
// Nothing when the folder holds no histogram file (the generation then
// stops with "Error getting Histogram.bin data"). Counts are taken as the
// 32-bit values the files hold, never cut to 16 bits.
std::optional<HistogramData> LoadHistogramData(const std::filesystem::path& acquisitionFolder,
                                               const RecordSeries& series, const ReportStatistics& stats,
                                               const ReportContext& ctx,
                                               const std::array<std::int16_t, kChannelSlots>& channelGroup);

}  // namespace orb
