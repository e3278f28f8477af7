// The well and channel activity sections of a report.
#include "reports/report_writer_parts.h"

namespace orb::report_detail {

namespace {
constexpr const char* kWellTitle = "<<<<<< Well Activity >>>>>>";
constexpr const char* kChannelTitle = "<<<<<< Channel Activity >>>>>>";
}  // namespace

void ReportBuilder::wellActivity() {
  empty();
  switch (in_.layout) {
    case ReportLayout::Rows: wellsRows(); break;
    case ReportLayout::List: wellsList(); break;
    case ReportLayout::WellArray: wellArrayBlocks(); break;
    case ReportLayout::Histogram: wellHistogram(); break;
    case ReportLayout::ChannelArray: break;  // its wells are its channels
  }
}

void ReportBuilder::wellsRows() {
  line(quoted(kWellTitle));
  line(timeRow("Well" + sp_ + "Group/Time[m]"));
  for (int w = 0; w < ctx_.wellCount(); ++w) {
    std::string row = ctx_.wellName(w) + sp_ + wellLabel(w);
    if (in_.basal) row += sp_ + "100";
    for (int k = 1; k <= st_.nBins; ++k)
      if (st_.hasData[k]) row += sp_ + std::to_string(st_.well[k][w]);
    line(row);
  }
}

void ReportBuilder::wellsList() {
  line(quoted(kWellTitle));
  line("Time" + sp_ + "Well" + sp_ + "Group" + sp_ + "Value");
  empty();
  for (int w = 0; w < ctx_.wellCount(); ++w) {
    const std::string prefix = sp_ + ctx_.wellName(w) + sp_ + wellLabel(w) + sp_;
    if (in_.basal) line("0" + prefix + "100");
    for (int k = 1; k <= st_.nBins; ++k)
      if (st_.hasData[k]) line(timeLabel(k) + prefix + std::to_string(st_.well[k][w]));
    empty();
  }
}

void ReportBuilder::channelActivity() {
  switch (in_.layout) {
    case ReportLayout::Rows: channelsRows(); break;
    case ReportLayout::List: channelsList(); break;
    case ReportLayout::WellArray:
    case ReportLayout::ChannelArray: channelArrayBlocks(); break;
    case ReportLayout::Histogram: break;  // the histogram layout has no channel section
  }
}

void ReportBuilder::channelsRows() {
  line(quoted(kChannelTitle));
  line(timeRow("Channel" + sp_ + "Well" + sp_ + "Group/Time[m]"));
  for (int ch = 0; ch < kChannels; ++ch) {
    const int well = ctx_.channelWell(ch);
    if (well < 0) continue;
    std::string row = "CH" + std::to_string(ch) + sp_ + ctx_.wellName(well) + "." +
                      std::to_string(ctx_.channelBeam(ch)) + sp_ + channelLabel(ch);
    for (int k = 1; k <= st_.nBins; ++k)
      if (st_.hasData[k]) row += sp_ + std::to_string(st_.channel[k][ch]);
    line(row);
  }
}

void ReportBuilder::channelsList() {
  line("Time" + sp_ + "Channel" + sp_ + "Well" + sp_ + "Group" + sp_ + "Value");
  for (int ch = 0; ch < kChannels; ++ch) {
    const int well = ctx_.channelWell(ch);
    if (well < 0) continue;
    // Time and channel are separated by a blank, not by the separator.
    const std::string rest = " CH" + std::to_string(ch) + sp_ + ctx_.wellName(well) + "." +
                             std::to_string(ctx_.channelBeam(ch)) + sp_ + channelLabel(ch) + sp_;
    for (int k = 1; k <= st_.nBins; ++k)
      if (st_.hasData[k]) line(timeLabel(k) + rest + std::to_string(st_.channel[k][ch]));
  }
}

}  // namespace orb::report_detail
