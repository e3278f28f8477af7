// Inside the report writer: the line builder shared by the section writers
// (report_writer*.cpp). Not for use elsewhere.
#pragma once

#include <functional>
#include <string>

#include "reports/report_writer.h"

namespace orb::report_detail {

class ReportBuilder {
 public:
  explicit ReportBuilder(const ReportText& in);
  std::string build();

 private:
  using GroupCell = std::function<std::string(int group, int k)>;
  using GroupBasalCell = std::function<std::string(int group)>;

  // ---- line helpers (report_writer.cpp)
  void line(const std::string& text);
  void empty() { line(""); }
  static std::string quoted(const std::string& text) { return "\"" + text + "\""; }
  std::string withMark(std::string text) const;  // the period of a number's text as the decimal mark
  std::string decimal1(double value) const;        // "0.0" with the decimal mark
  std::string timeRow(const std::string& first) const;
  std::string timeLabel(int k) const;
  bool list() const { return in_.layout == ReportLayout::List; }
  bool rowsOrList() const { return in_.layout == ReportLayout::Rows || list(); }
  bool arrays() const { return in_.layout == ReportLayout::WellArray || in_.layout == ReportLayout::ChannelArray; }
  std::string groupLabel(int group) const;
  std::string wellLabel(int well) const;  // the label of the well's first beam's channel
  std::string channelLabel(int channel) const;

  // ---- sections (report_writer.cpp)
  void header();
  void mainSection();
  void groupSection(const std::string& title, const GroupBasalCell& basalCell, const GroupCell& cell, bool asList);
  void statisticSections();
  void samples();
  void temperature();

  // ---- wells and channels (report_writer_wells.cpp)
  void wellActivity();
  void wellsRows();
  void wellsList();
  void channelActivity();
  void channelsRows();
  void channelsList();

  // ---- array layouts (report_writer_arrays.cpp)
  void columnHeader(int columns);
  void wellArrayConfiguration();
  void channelArrayConfiguration();
  void wellArrayBlocks();
  void channelArrayBlocks();

  // ---- histogram layout (report_writer_histogram.cpp)
  std::string classHeader(const std::string& first) const;
  void groupHistogram();
  void wellHistogram();

  const ReportText& in_;
  const ReportContext& ctx_;
  const ReportStatistics& st_;
  const std::array<std::int16_t, kChannelSlots>& groups_;
  const std::string& sp_;
  std::string out_;
};

}  // namespace orb::report_detail
