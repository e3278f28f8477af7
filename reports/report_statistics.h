// The statistics of a report: per report bin k = 1..nBins (bin k covers the
// minutes (k - 1) x bin to k x bin) the channel values, the well values
// (mean over the well's beams), and per group the mean, standard deviation,
// median and number of wells; per bin the samples, the has-data flag and
// the mean temperature.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "reports/rebinning.h"
#include "reports/report_context.h"

namespace orb {

struct GroupBinStatistics {
  std::int32_t mean = 0;
  std::int32_t sd = 0;
  std::int32_t median = 0;
};

struct ReportStatistics {
  int bin = 0;
  std::int32_t T = 0;
  int nBins = 0;
  // Indexed by report bin k (index 0 unused).
  std::vector<std::int32_t> timeLabel;  // min(k x bin, T)
  std::vector<bool> hasData;
  std::vector<int> samples;
  std::vector<std::int32_t> temperature;        // mean temperature in tenths of a degree
  std::vector<ChannelCounts> channel;           // channel values (32-bit re-binned counts)
  std::vector<std::vector<std::int32_t>> well;  // [k][well]

  int G = -1;                                          // largest group number (-1: no group)
  std::vector<std::vector<int>> groupWells;            // [g]: the member wells
  std::vector<std::vector<GroupBinStatistics>> group;  // [g][k]

  int groupN(int g) const { return static_cast<int>(groupWells[static_cast<std::size_t>(g)].size()); }
};

// Computes the statistics of a re-binned recording. `channelGroup` is the
// channel-to-group map in force (after the basal normalisation, which may
// have freed channels). Throws std::overflow_error for a group's standard
// deviation beyond 32 bits (the generation's "Report Calculation Error").
ReportStatistics ComputeStatistics(const RebinResult& rebinned, const ReportContext& ctx,
                                   const std::array<std::int16_t, kChannelSlots>& channelGroup);

// The median of the values: the middle value, or the mean of the two middle
// values rounded half to even; 0 for no values.
std::int32_t Median(std::vector<std::int32_t> values);

// The standard error written in the report: SD / sqrt(N) with one decimal;
// "0.0" when N < 1 or SD < 1.
std::string FormatStandardError(std::int32_t sd, int n);

}  // namespace orb
