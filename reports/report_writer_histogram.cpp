// The sections of the "Histogram Body_bends (experimental)" layout: group
// and well histograms, classes 0 to 30, headed by the class values c x H.
#include "reports/report_writer_parts.h"

namespace orb::report_detail {

std::string ReportBuilder::classHeader(const std::string& first) const {
  std::string row = first + sp_ + "Group/Frequency:";
  for (int c = 0; c < kWrittenHistogramClasses; ++c) row += sp_ + decimal1(c * in_.histogram->classStep);
  return row;
}

void ReportBuilder::groupHistogram() {
  const HistogramData& h = *in_.histogram;
  line(quoted("<<<<<< Group Histogram: Average Number of Frequency Counts per Data Interval>>>>>>"));
  line(classHeader("Time[m]"));
  for (int k = 1; k <= st_.nBins; ++k) {
    if (!h.hasData[k]) continue;
    for (int g = 0; g <= st_.G; ++g) {
      std::string row = timeLabel(k) + sp_ + groupLabel(g);
      for (int c = 0; c < kWrittenHistogramClasses; ++c) row += sp_ + std::to_string(h.group[g][k][c]);
      line(row);
    }
  }
}

void ReportBuilder::wellHistogram() {
  const HistogramData& h = *in_.histogram;
  line(quoted("<<<<<< Well Histogram: Average Number of Frequency Counts per Data Interval>>>>>>"));
  line(classHeader("Time[m]" + sp_ + "Well"));
  for (int k = 1; k <= st_.nBins; ++k) {
    if (!h.hasData[k]) continue;
    for (int w = 0; w < ctx_.wellCount(); ++w) {
      const int first = ctx_.wellChannel(w, 0);
      if (first < 0) continue;
      // The bin's own end, not limited to the recording's length.
      std::string row = std::to_string(k * st_.bin) + sp_ + ctx_.wellName(w) + sp_ + groupLabel(groups_[first]);
      for (int c = 0; c < kWrittenHistogramClasses; ++c) row += sp_ + std::to_string(h.well[k][w][c]);
      line(row);
    }
  }
}

}  // namespace orb::report_detail
