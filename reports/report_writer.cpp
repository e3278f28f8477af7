#include "reports/report_writer.h"

#include <cstdio>

#include "common/format.h"
#include "reports/report_writer_parts.h"

namespace orb {

namespace report_detail {

namespace {

constexpr const char* kAverageTitle = "<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>";
constexpr const char* kMedianTitle = "<<<<<< Group Activity: Median >>>>>>";
constexpr const char* kStdErrorTitle = "<<<<<< Group Activity: Standard Error >>>>>>";
constexpr const char* kStdDevTitle = "<<<<<< Group Activity: Standard Deviation >>>>>>";
constexpr const char* kWellsPerGroupTitle = "<<<<<< Group Activity: Number of wells/group >>>>>>";
constexpr const char* kSamplesTitle = "<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>";
constexpr const char* kTemperatureTitle = "<<<<<< Average Temperature [°C] >>>>>>";

}  // namespace

ReportBuilder::ReportBuilder(const ReportText& in)
    : in_(in), ctx_(*in.context), st_(*in.stats), groups_(*in.channelGroup), sp_(in.spacer) {}

void ReportBuilder::line(const std::string& text) {
  out_ += text;
  out_ += "\r\n";
}

std::string ReportBuilder::withMark(std::string text) const {
  for (char& c : text)
    if (c == '.') c = in_.decimalMark;
  return text;
}

std::string ReportBuilder::decimal1(double value) const { return withMark(FormatFixed(value, 1)); }

std::string ReportBuilder::timeLabel(int k) const { return std::to_string(st_.timeLabel[static_cast<std::size_t>(k)]); }

std::string ReportBuilder::timeRow(const std::string& first) const {
  std::string row = first;
  if (in_.basal) row += sp_ + "0";
  for (int k = 1; k <= st_.nBins; ++k)
    if (st_.hasData[k]) row += sp_ + timeLabel(k);
  return row;
}

std::string ReportBuilder::groupLabel(int group) const { return GroupLabel(ctx_.groups, group); }

std::string ReportBuilder::wellLabel(int well) const {
  const int ch = ctx_.wellChannel(well, 0);
  return ch < 0 ? std::string(kFreeLabel) : groupLabel(groups_[ch]);
}

std::string ReportBuilder::channelLabel(int channel) const { return groupLabel(groups_[channel]); }

void ReportBuilder::header() {
  line(quoted("DATE:") + sp_ + quoted(in_.date));
  line(quoted("FILE:") + sp_ + quoted(in_.folder));
  line(quoted("SUBPROJECT:") + sp_ + quoted(ctx_.subproject));
  line(quoted("SETTING:") + sp_ + quoted(ctx_.settingText));
  if (in_.basal) {
    line(quoted("TIME0(BASAL MEASSURE):") + sp_ + quoted(in_.basalText));
    empty();
    line(quoted("***DATA AS % OF BASAL ACTIVITY***"));
  } else {
    empty();
  }
}

void ReportBuilder::groupSection(const std::string& title, const GroupBasalCell& basalCell, const GroupCell& cell,
                                 bool asList) {
  line(quoted(title));
  if (!asList) {
    line(timeRow("Group/Time[m]"));
    for (int g = 0; g <= st_.G; ++g) {
      std::string row = groupLabel(g);
      if (in_.basal) row += sp_ + basalCell(g);
      for (int k = 1; k <= st_.nBins; ++k)
        if (st_.hasData[k]) row += sp_ + cell(g, k);
      line(row);
    }
    empty();
    return;
  }
  line("Time" + sp_ + "Group" + sp_ + "Value");
  empty();
  for (int g = 0; g <= st_.G; ++g) {
    const std::string label = groupLabel(g);
    if (in_.basal) line("0" + sp_ + label + sp_ + basalCell(g));
    for (int k = 1; k <= st_.nBins; ++k)
      if (st_.hasData[k]) line(timeLabel(k) + sp_ + label + sp_ + cell(g, k));
    empty();
  }
}

void ReportBuilder::mainSection() {
  auto hundred = [](int) { return std::string("100"); };
  switch (in_.layout) {
    case ReportLayout::Rows:
    case ReportLayout::List:
      groupSection(
          kAverageTitle, hundred, [&](int g, int k) { return std::to_string(st_.group[g][k].mean); }, list());
      if (in_.statistics.median)
        groupSection(
            kMedianTitle, hundred, [&](int g, int k) { return std::to_string(st_.group[g][k].median); }, list());
      break;
    case ReportLayout::WellArray: wellArrayConfiguration(); break;
    case ReportLayout::ChannelArray: channelArrayConfiguration(); break;
    case ReportLayout::Histogram: groupHistogram(); break;
  }
}

void ReportBuilder::statisticSections() {
  const StatisticsChoice& s = in_.statistics;
  const std::string zero = decimal1(0);
  auto zeroCell = [&](int) { return zero; };
  if (s.stdError && rowsOrList()) {
    auto se = [&](int g, int k) { return withMark(FormatStandardError(st_.group[g][k].sd, st_.groupN(g))); };
    groupSection(kStdErrorTitle, zeroCell, se, list());
  }
  // The histogram layout lays its standard deviations out in rows.
  if (s.stdDev && (rowsOrList() || in_.layout == ReportLayout::Histogram))
    groupSection(
        kStdDevTitle, zeroCell, [&](int g, int k) { return decimal1(st_.group[g][k].sd); }, list());
  if (s.n && rowsOrList()) {
    auto n = [&](int g) { return std::to_string(st_.groupN(g)); };
    groupSection(
        kWellsPerGroupTitle, n, [&](int g, int) { return n(g); }, list());
  }
}

void ReportBuilder::samples() {
  line(quoted(kSamplesTitle));
  const std::string bin = std::to_string(st_.bin);
  if (!list()) {
    line(timeRow("Time[m]"));
    std::string row = "#Samples";
    if (in_.basal) row += sp_ + bin;
    for (int k = 1; k <= st_.nBins; ++k)
      if (st_.hasData[k]) row += sp_ + std::to_string(st_.bin * st_.samples[k]);
    line(row);
    return;
  }
  line("Time" + sp_ + "#Samples");
  empty();
  if (in_.basal) line("0" + sp_ + bin);
  for (int k = 1; k <= st_.nBins; ++k)
    if (st_.hasData[k]) line(timeLabel(k) + sp_ + std::to_string(st_.bin * st_.samples[k]));
}

void ReportBuilder::temperature() {
  empty();
  line(quoted(kTemperatureTitle));
  auto value = [&](int k) { return decimal1(st_.temperature[k] / 10.0); };
  if (!list()) {
    line(timeRow("Time[m]"));
    std::string row = "Temp[°C]";
    if (in_.basal) row += sp_ + "?";
    for (int k = 1; k <= st_.nBins; ++k)
      if (st_.hasData[k]) row += sp_ + value(k);
    line(row);
    return;
  }
  line("Time" + sp_ + "Avrg_Temp[°C]");
  for (int k = 1; k <= st_.nBins; ++k)
    if (st_.hasData[k]) line(timeLabel(k) + sp_ + value(k));
}

std::string ReportBuilder::build() {
  header();
  mainSection();
  statisticSections();
  if (rowsOrList()) samples();
  temperature();
  wellActivity();
  if (!in_.basal) channelActivity();
  return std::move(out_);
}

}  // namespace report_detail

std::string WriteReportText(const ReportText& text) { return report_detail::ReportBuilder(text).build(); }

std::string FormatReportDate(const LocalDateTime& t) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
  return buf;
}

}  // namespace orb
