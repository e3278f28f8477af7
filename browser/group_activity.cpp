#include "browser/group_activity.h"

#include "browser/signal_pages.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "browser/regroup.h"
#include "common/format.h"
#include "reports/reanalysis.h"
#include "setup/group_editor.h"

namespace orb {

namespace {

bool InUse(const ChannelStatus& status, int c) { return status[static_cast<std::size_t>(c)] != 0; }

// The channels in use on the plate of each group 0..383.
std::vector<std::vector<int>> ChannelsByGroup(const PlateFormat& plate, const GroupTable& groups,
                                              const ChannelStatus& status) {
  std::vector<std::vector<int>> byGroup(kLastGroup + 1);
  for (int c = 0; c < kChannels; ++c) {
    const int g = groups.ChannelGroup[static_cast<std::size_t>(c)];
    if (g < 0 || g > kLastGroup || plate.ChannelWell[static_cast<std::size_t>(c)] < 0 || !InUse(status, c))
      continue;
    byGroup[static_cast<std::size_t>(g)].push_back(c);
  }
  return byGroup;
}

// A number for an axis label: whole numbers without decimals.
std::string AxisNumber(double v) {
  if (std::fabs(v - std::round(v)) < 1e-9) return std::to_string(static_cast<long long>(std::llround(v)));
  return FormatFixed(v, 1);
}

std::string WellList(const PlateFormat& plate, const std::vector<int>& wells) {
  constexpr std::size_t kShown = 6;
  std::string list;
  for (std::size_t i = 0; i < wells.size() && i < kShown; ++i) list += (i ? " " : "") + WellLabel(plate, wells[i]);
  if (wells.size() > kShown) list += " ...";
  return list;
}

}  // namespace

// ---- the group choice ----------------------------------------------------------------

std::vector<std::string> ActivityGroupEntries(const AcquisitionGroups& acq) {
  std::vector<std::string> entries;
  const auto byGroup = ChannelsByGroup(acq.plate, acq.groups, acq.status);
  for (int g = 0; g <= kLastGroup; ++g)
    if (!byGroup[static_cast<std::size_t>(g)].empty()) entries.push_back(ShownGroupEntry(acq.groups, g));
  entries.push_back(FormatDigits(kFreeGroupNumber, 3) + "_" + kFreeGroupName);
  return entries;
}

std::vector<std::string> ActivityGroupWells(const AcquisitionGroups& acq, const std::string& entry) {
  const int g = GroupOfEntry(entry);
  if (g == kFreeGroupNumber) return FreeWellEntries(acq.plate, acq.groups, acq.status);
  if (g < 0) return {};
  return GroupWellEntries(acq.plate, acq.groups, acq.status, g);
}

// ---- the group activity view ---------------------------------------------------------

PlotColour GroupCurveColour(int group) {
  static constexpr std::array<PlotColour, 12> kColours = {0xFF0000, 0x0000FF, 0x008000, 0xC88000,
                                                          0x800080, 0x008080, 0x000000, 0xFF00FF,
                                                          0x808000, 0x0080FF, 0x800000, 0x808080};
  return kColours[static_cast<std::size_t>(((group % 12) + 12) % 12)];
}

GroupActivity BuildGroupActivity(std::span<const CountsRecord> records, const PlateFormat& plate,
                                 const GroupTable& groups, const ChannelStatus& status) {
  GroupActivity a;
  for (const CountsRecord& r : records) a.minutes.push_back(r.ElapsedMinutes);

  const auto byGroup = ChannelsByGroup(plate, groups, status);
  for (int g = 0; g <= kLastGroup; ++g) {
    const std::vector<int>& channels = byGroup[static_cast<std::size_t>(g)];
    if (channels.empty()) continue;
    GroupSeries s;
    s.group = g;
    s.label = ShownGroupEntry(groups, g);
    s.colour = GroupCurveColour(g);
    s.channels = channels;
    for (int c : channels) s.wells.push_back(plate.ChannelWell[static_cast<std::size_t>(c)]);
    std::sort(s.wells.begin(), s.wells.end());
    s.wells.erase(std::unique(s.wells.begin(), s.wells.end()), s.wells.end());
    for (const CountsRecord& r : records) {
      double sum = 0;
      for (int c : channels) sum += r.IntervalCounts[static_cast<std::size_t>(c)];
      const double mean = sum / static_cast<double>(channels.size());
      s.mean.push_back(mean);
      a.highest = std::max(a.highest, mean);
    }
    a.series.push_back(std::move(s));
  }

  // Scale: time from 0 (or the first record, when earlier) to the last
  // record across, 0 to a tenth above the highest mean up; room on the left
  // for the numbers and on the right for the labels.
  double t0 = 0, t1 = 1;
  if (!a.minutes.empty()) {
    t0 = std::min(0.0, *std::min_element(a.minutes.begin(), a.minutes.end()));
    // The records of the last minute are spread across it.
    t1 = std::max(*std::max_element(a.minutes.begin(), a.minutes.end()) + 1, t0 + 1);
  }
  const double span = t1 - t0;
  const double top = a.highest > 0 ? a.highest * 1.1 : 1;
  PlotScene& sc = a.scene;
  sc.scale(t0 - span * 0.12, top * 1.05, t1 + span * 0.45, -top * 0.12);
  sc.line({t0, 0}, {t1, 0}, kPlotBlack);
  sc.line({t0, 0}, {t0, top}, kPlotBlack);
  sc.text({t0 - span * 0.1, top}, AxisNumber(top));
  sc.text({t0 - span * 0.1, top * 0.03}, "0");
  sc.text({t0, -top * 0.03}, AxisNumber(t0));
  sc.text({t0 + span * 0.45, -top * 0.03}, "Time[min]");
  sc.text({t1 - span * 0.03, -top * 0.03}, AxisNumber(t1));

  // counts.bin holds whole minutes and several records share one: the
  // records of a minute are spread evenly across it, in their order.
  std::vector<double> x(a.minutes.size());
  for (std::size_t k = 0; k < a.minutes.size();) {
    std::size_t end = k;
    while (end < a.minutes.size() && a.minutes[end] == a.minutes[k]) ++end;
    for (std::size_t j = k; j < end; ++j)
      x[j] = a.minutes[k] + static_cast<double>(j - k) / static_cast<double>(end - k);
    k = end;
  }
  for (std::size_t i = 0; i < a.series.size(); ++i) {
    const GroupSeries& s = a.series[i];
    std::vector<PlotPoint> pts;
    for (std::size_t k = 0; k < s.mean.size(); ++k) pts.push_back({x[k], s.mean[k]});
    if (pts.size() == 1) pts.push_back(pts.front());  // one record still shows as a dot
    if (!pts.empty()) sc.polyline(std::move(pts), s.colour, 2);
    // The labels one under the other beside the plot, as many as fit.
    const double step = top / std::max<double>(20, static_cast<double>(a.series.size()));
    sc.text({t1 + span * 0.03, top - static_cast<double>(i) * step}, s.label + "  " + WellList(plate, s.wells),
            s.colour);
  }
  return a;
}

std::optional<GroupActivity> LoadGroupActivity(const AcquisitionGroups& acq) {
  auto records = ReadCountsFile(acq.folder);
  if (!records) return std::nullopt;
  return BuildGroupActivity(*records, acq.plate, acq.groups, acq.status);
}

// ---- "Analyze" ---------------------------------------------------------------------------

AnalyzeThreshold CheckAnalyzeThreshold(const std::string& text) {
  AnalyzeThreshold t;
  const double v = BoxValue(text);
  if (!std::isfinite(v) || v > kHighestAnalyzeThreshold || v < kLowestAnalyzeThreshold) {
    t.text = kDefaultAnalyzeThreshold;
    t.snr = BoxValue(kDefaultAnalyzeThreshold);
    t.reset = true;
    return t;
  }
  t.text = text;
  t.snr = v;
  return t;
}

int AnalyzeMethod(const std::string& modeText) { return modeText == "Mode:1" ? 1 : 0; }

std::vector<double> PageSlotMinutes(std::span<const CountsRecord> records, int page, int rawFiles) {
  std::vector<double> minutes(kAnalyzedSlots, std::nan(""));
  if (page < 1) return minutes;
  const long long lastFile = static_cast<long long>(rawFiles) - 1;
  for (int s = 0; s < kAnalyzedSlots; ++s) {
    long long file = (page - 1) * 5LL + s / 10;
    long long block = s % 10;
    if (file > lastFile && block == 0 && s > 0) {
      // The slot keeps block 10 of the file before it.
      --file;
      block = kRecordsPerFile - 1;
    }
    if (file > lastFile) continue;
    const long long interval = file * kRecordsPerFile + block;
    if (interval < static_cast<long long>(records.size()))
      minutes[static_cast<std::size_t>(s)] = records[static_cast<std::size_t>(interval)].ElapsedMinutes;
  }
  return minutes;
}

AnalyzeResult AnalyzePage(std::span<const RawRecord> slots, const PlateFormat& plate, int well,
                          const std::string& thresholdText, const std::string& modeText,
                          std::span<const double> slotMinutes) {
  AnalyzeResult r;
  r.threshold = CheckAnalyzeThreshold(thresholdText);
  r.method = AnalyzeMethod(modeText);

  // The well's beams in the colours the signal view draws them in.
  const std::vector<BeamTrace> beams = WellBeams(plate, well);

  IntervalAnalyzer analyzer;
  std::vector<std::int16_t> copy;
  const int slotCount = std::min<int>(static_cast<int>(slots.size()), kAnalyzedSlots);
  for (std::size_t k = 0; k < beams.size(); ++k) {
    const int c = beams[k].channel;
    BeamAnalysis ba;
    ba.beam = beams[k].beam;
    ba.channel = c;
    ba.colour = beams[k].colour;
    for (int s = 0; s < slotCount; ++s) {
      const RawRecord& rec = slots[static_cast<std::size_t>(s)];
      if (rec.values.size() < kSignalMinValues) continue;  // no interval in this slot
      // The routine clips the buffer it is given: it works on a copy.
      copy.assign(rec.values.begin(), rec.values.end());
      SlotCounts sc;
      sc.slot = s;
      sc.count = analyzer.Count(copy, c, r.threshold.snr, r.method);
      sc.lower = analyzer.LowerTrace();
      sc.marks = std::string(analyzer.Marks());
      ba.total += sc.count;
      ba.slots.push_back(std::move(sc));
    }
    r.total += ba.total;
    r.beams.push_back(std::move(ba));
  }

  // Drawn on the signal view's scale: x the samples of the page (slot s from
  // s x 500), y the signal value.
  PlotScene& sc = r.scene;
  sc.scale(-1000, 2150, 25000, -150);
  sc.line({0, 2150}, {0, 0}, kPlotBlack);
  sc.line({0, 0}, {24900, 0}, kPlotBlack);
  sc.text({11500, -40}, "Time(min)");
  for (int s = 0; s < kAnalyzedSlots; s += 10) {
    const bool known = s < static_cast<int>(slotMinutes.size()) && std::isfinite(slotMinutes[s]);
    sc.line({s * 500.0, 0}, {s * 500.0, -40}, kPlotBlack);
    sc.text({s * 500.0, -80}, known ? AxisNumber(slotMinutes[s]) : "#" + std::to_string(s));
  }
  for (std::size_t i = 0; i < r.beams.size(); ++i) {
    const BeamAnalysis& ba = r.beams[i];
    for (const SlotCounts& slot : ba.slots) {
      const double x0 = slot.slot * 500.0;
      std::vector<PlotPoint> pts;
      pts.reserve(slot.lower.size());
      for (std::size_t j = 0; j < slot.lower.size(); ++j) pts.push_back({x0 + static_cast<double>(j), double(slot.lower[j])});
      if (!pts.empty()) sc.polyline(std::move(pts), ba.colour);
      // Each counted sample as a tick under its threshold.
      for (std::size_t j = 0; j < slot.marks.size() && j < slot.lower.size(); ++j)
        if (slot.marks[j] == '1')
          sc.line({x0 + static_cast<double>(j), double(slot.lower[j])},
                  {x0 + static_cast<double>(j), double(slot.lower[j]) - 120}, ba.colour, 2);
      sc.text({x0 + 100, 2100 - 70.0 * static_cast<double>(i)}, std::to_string(slot.count), ba.colour);
    }
    // The beam's total under the rows of counts.
    sc.text({100, 2100 - 70.0 * static_cast<double>(r.beams.size() + i)},
            "Ch" + std::to_string(ba.channel) + ": " + std::to_string(ba.total), ba.colour);
  }
  return r;
}

}  // namespace orb
