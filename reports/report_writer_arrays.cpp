// The array layouts of a report: the group configuration laid out on the
// plate's wells ("W.Array") or on the channel grid ("CH.Array"), and the
// per-bin blocks of well and channel values on the same grids. Each block
// starts with its "Time_Block[m]" line and ends with an empty line.
#include "reports/report_writer_parts.h"

namespace orb::report_detail {

namespace {
constexpr const char* kFreeChannelCell = "\" 999_Free\"";
}  // namespace

void ReportBuilder::columnHeader(int columns) {
  std::string row = "Row/Column" + sp_;
  for (int c = 1; c <= columns; ++c) row += std::to_string(c) + sp_;
  line(row);
}

void ReportBuilder::wellArrayConfiguration() {
  line(quoted("<<<<<<WELL ARRAY. Group Configuration>>>>>>"));
  const PlateFormat& p = ctx_.plate;
  columnHeader(p.Columns);
  for (int r = 0; r < p.Rows; ++r) {
    std::string row = quoted(RowLabel(r));
    for (int c = 0; c < p.Columns; ++c) {
      const int ch = ctx_.wellChannel(c * p.Rows + r, 0);
      row += sp_ + (ch < 0 ? std::string("-") : groupLabel(groups_[ch]));
    }
    line(row);
  }
  empty();
}

void ReportBuilder::channelArrayConfiguration() {
  line(quoted("<<<<<<CHANNEL ARRAY. Group Configuration>>>>>>"));
  columnHeader(kGridColumns);
  for (int r = 0; r < kGridRows; ++r) {
    std::string row = quoted(RowLabel(r));
    for (int c = 0; c < kGridColumns; ++c) {
      const int ch = c * kGridRows + r;
      std::string cell;
      if (ctx_.channelWell(ch) < 0)
        cell = "-";
      else if (groups_[ch] < 0)
        cell = kFreeChannelCell;
      else
        cell = groupLabel(groups_[ch]);
      row += sp_ + cell;
    }
    line(row);
  }
  empty();
}

void ReportBuilder::wellArrayBlocks() {
  line(quoted("<<<<<<WELL ARRAY. Well Activity>>>>>>"));
  const PlateFormat& p = ctx_.plate;
  for (int k = 1; k <= st_.nBins; ++k) {
    if (!st_.hasData[k]) continue;
    line("Time_Block[m]" + sp_ + timeLabel(k));
    columnHeader(p.Columns);
    for (int r = 0; r < p.Rows; ++r) {
      std::string row = quoted(RowLabel(r));
      for (int c = 0; c < p.Columns; ++c) {
        const int w = c * p.Rows + r;
        row += sp_ + (ctx_.wellChannel(w, 0) < 0 ? std::string("-") : std::to_string(st_.well[k][w]));
      }
      line(row);
    }
    empty();
  }
}

void ReportBuilder::channelArrayBlocks() {
  line("ARRAY OUTPUT FORMAT");
  for (int k = 1; k <= st_.nBins; ++k) {
    if (!st_.hasData[k]) continue;
    line("Time_Block[m]" + sp_ + timeLabel(k));
    columnHeader(kGridColumns);
    for (int r = 0; r < kGridRows; ++r) {
      std::string row = quoted(RowLabel(r));
      for (int c = 0; c < kGridColumns; ++c) {
        const int ch = c * kGridRows + r;
        row += sp_ + (ctx_.channelWell(ch) < 0 ? std::string("-") : std::to_string(st_.channel[k][ch]));
      }
      line(row);
    }
    empty();
  }
}

}  // namespace orb::report_detail
