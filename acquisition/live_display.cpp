#include "acquisition/live_display.h"

#include <algorithm>
#include <cctype>

#include "acquisition/engine.h"
#include "common/format.h"
#include "common/text_record.h"

namespace orb {

namespace {

// The bar plots' coordinates: -30..300 both ways, y up.
constexpr double kBarLow = -30, kBarHigh = 300;
// The heat map's margin beyond the plate drawing, in drawing units.
constexpr double kPlateMargin = 10;
// The trace's sweep: a white band from 4 to 10 samples ahead of the current
// one, from y 21 to 2048.
constexpr int kSweepFrom = 4, kSweepTo = 10;
constexpr double kSweepLow = 21, kSweepHigh = 2048;
// The counter text's corner on the trace.
constexpr PlotPoint kCounterAt{4, 2090};

bool IsGroup(int g) { return g >= 0 && g < kChannelSlots; }

// Rounds halves to the even neighbour; used for every real made whole.
std::int64_t Round(double v) { return RoundHalfEven(v); }

// Axis labels of the histogram plot: one decimal at most.
std::string AxisNumber(double v) { return FormatPlainReal(static_cast<double>(Round(v * 10)) / 10); }

// The row (0 = "A") of a row label as RowLabel writes it; -1 for no label.
int RowOfLabel(const std::string& label) {
  if (label.empty()) return -1;
  int n = 0;
  for (char ch : label) {
    const int c = std::toupper(static_cast<unsigned char>(ch));
    if (c < 'A' || c > 'Z' || n > 1000) return -1;
    n = n * 26 + (c - 'A' + 1);
  }
  return n - 1;
}

void BarScaleOf(PlotScene& s) { s.scale(kBarLow, kBarHigh, kBarHigh, kBarLow); }

// The heat map's coordinates: the plate drawing from its offsets (less a
// margin) to 2410 by 1610, y down as the plate is drawn.
void PlateScaleOf(PlotScene& s, const PlateFormat& plate) {
  s.scale(plate.ColumnOffset * kCellUnits - kPlateMargin, plate.RowOffset * kCellUnits - kPlateMargin,
          kGridColumns * kCellUnits + kPlateMargin, kGridRows * kCellUnits + kPlateMargin);
}

// The axes of the bar plots: thin black boxes up and across, tick marks at
// 0, 125 and 250, and "0" at the bottom.
void DrawBarAxes(PlotScene& s) {
  s.filledBox({0, 0}, {2, kBarTop}, kPlotBlack, kPlotBlack);
  s.filledBox({0, 0}, {290, 2}, kPlotBlack, kPlotBlack);
  for (double y : {0.0, 125.0, 250.0}) s.line({-8, y}, {0, y}, kPlotBlack);
  s.text({-24, 8}, "0");
}

// The slots of a page of `count` bars: s = 50 below 6 bars, else
// 300 / (count + 1); w = round(0.35 s); bar i from i s + w + 0.1 s to
// i s + w + 0.9 s.
struct Slot {
  double x1 = 0, x2 = 0;
};
std::vector<Slot> BarSlots(int count) {
  const double s = count < 6 ? 50.0 : 300.0 / (count + 1);
  const double w = static_cast<double>(Round(0.35 * s));
  std::vector<Slot> slots;
  slots.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) slots.push_back({i * s + w + 0.1 * s, i * s + w + 0.9 * s});
  return slots;
}

// A bar of `value` at scale `scale`: heights of 255 or more stop at the top
// of the band.
void DrawBar(PlotScene& s, double x1, double x2, double value, double scale) {
  const double h = std::min(value / scale, static_cast<double>(kBarTop));
  s.filledBox({x1, 0}, {x2, h}, kBarColour, kBarColour, 3);
}

// The samples from..to of an earlier drawing, as one polyline (nothing when
// fewer than two of them were drawn).
void DrawSamples(PlotScene& s, const std::vector<double>& ys, int from, int to, PlotColour colour) {
  from = std::max(from, 0);
  to = std::min(to, static_cast<int>(ys.size()) - 1);
  if (to - from < 1) return;
  std::vector<PlotPoint> pts;
  pts.reserve(static_cast<std::size_t>(to - from + 1));
  for (int k = from; k <= to; ++k) pts.push_back({static_cast<double>(k), ys[static_cast<std::size_t>(k)]});
  s.polyline(std::move(pts), colour);
}

void DrawAll(PlotScene& s, const std::vector<double>& ys, PlotColour colour) {
  std::vector<PlotPoint> pts;
  pts.reserve(ys.size());
  for (std::size_t k = 0; k < ys.size(); ++k) pts.push_back({static_cast<double>(k), ys[k]});
  s.polyline(std::move(pts), colour);
}

PlotScene BaseTrace(int rtBuffer) {
  PlotScene s;
  const double right = rtBuffer + 20;
  s.scale(0, kTraceTop, right, 0);
  s.line({0, 0}, {right, 0}, kPlotBlack);
  for (double y : {500.0, 1000.0, 1500.0, 2000.0}) s.line({0, y}, {right, y}, kPlotWhite);
  return s;
}

}  // namespace

std::string TemperatureLabel(const std::string& temperatureText) { return "T=" + temperatureText + "*C"; }

// ---- groups, wells and beams ------------------------------------------------

std::vector<std::string> GroupListEntries(const GroupTable& groups) {
  int highest = -1;
  for (int c = 0; c < kChannels; ++c) {
    const int g = groups.ChannelGroup[static_cast<std::size_t>(c)];
    if (IsGroup(g)) highest = std::max(highest, g);
  }
  std::vector<std::string> entries;
  for (int g = 0; g <= highest; ++g) entries.push_back(GroupEntry(groups, g));
  return entries;
}

std::string GroupBarLabel(const GroupTable& groups, int group) {
  const std::string name = IsGroup(group) ? groups.GroupName[static_cast<std::size_t>(group)] : std::string();
  return "G" + std::to_string(group) + "_" + name;
}

std::vector<std::string> RowLetters(const PlateFormat& plate) {
  std::vector<std::string> rows;
  for (int r = 0; r < plate.Rows; ++r) rows.push_back(RowLabel(r));
  return rows;
}

std::vector<std::string> ColumnNumbers(const PlateFormat& plate) {
  std::vector<std::string> columns;
  for (int k = 1; k <= plate.Columns; ++k) columns.push_back(std::to_string(k));
  return columns;
}

std::vector<int> WellsOfGroup(const PlateFormat& plate, const GroupTable& groups, int group) {
  std::vector<int> wells;
  if (!IsGroup(group)) return wells;
  const int count = static_cast<int>(plate.WellMap.size());
  for (int w = 0; w < count; ++w) {
    const int first = BeamOfWell(plate, w, 0);
    if (first >= 0 && groups.ChannelGroup[static_cast<std::size_t>(first)] == group) wells.push_back(w);
  }
  return wells;
}

// ---- the body-bends switch ------------------------------------------------------

BodyBendsSwitch SetBodyBendsMode(bool checked, const std::string& plateFormat) {
  const bool roundBottom = plateFormat == "k96u";
  BodyBendsSwitch r;
  if (checked && roundBottom) {
    r.mode = true;
    r.boxChecked = true;
    r.boxVisible = true;
    r.histoplotEnabled = true;
    r.message = kBodyBendsWarning;
  } else {
    // Checked on another plate, or cleared: the mode is off and the
    // histogram plot has nothing to show; the box stays only on k96u.
    r.boxVisible = roundBottom;
  }
  return r;
}

// ---- run start --------------------------------------------------------------------

void LiveDisplay::PrepareRun(const PlateFormat& plate, const GroupTable& groups) {
  ZoomReference.fill(0);
  BarScale = 1.0;
  ForgetTrace();
  SetSelectedBeam(SelectedBeam, plate, groups);
}

void LiveDisplay::ForgetTrace() {
  current_ = {};
  previous_ = {};
  lastIndex_ = -1;
  firstIndex_ = 0;
  counterShown_.clear();
}

PlotScene LiveDisplay::ClearTrace(int rtBuffer) {
  traceBuffer_ = std::max(rtBuffer, 1);
  ForgetTrace();
  return BaseTrace(traceBuffer_);
}

PlotScene LiveDisplay::PreparedActivity(const PlateFormat& plate) const {
  PlotScene s;
  if (DisplayMode == kPlateMap)
    PlateScaleOf(s, plate);
  else
    BarScaleOf(s);
  return s;
}

// ---- the trace --------------------------------------------------------------------

double LiveDisplay::TraceY(int value, int beam) const {
  if (ZoomLevel < 1) return value;
  const int ref = beam >= 0 && beam < kChannelSlots ? ZoomReference[static_cast<std::size_t>(beam)] : 0;
  return std::max(1750.0 + static_cast<double>(value - ref) * ZoomLevel, 6.0);
}

std::string LiveDisplay::CounterText(const AcquisitionEngine& engine) {
  return "#" + std::to_string(engine.SamplesSinceBlank);
}

// The picture on screen is what the incremental drawing leaves: every
// redraw draws the interval's samples 0..n over what is there, and the white
// band 4..10 samples ahead wipes the previous interval's drawing as it
// sweeps. Since the window repaints the whole scene, the scene holds that
// result: the previous interval's last drawing (kept as drawn, with the beam,
// zoom and colour of its time) where this interval's bands have not wiped
// it, that is up to the first band's left edge and from the band's right
// edge on, then the band, then this interval's samples at the present zoom.
// Two simplifications: a zoom or beam change within an interval shows this
// interval only as now drawn (the screen would keep the earlier drawing
// beneath it until the next sweep), and the band's wipe is taken as full
// height (the screen keeps what lies below y 21 or above 2048).
PlotScene LiveDisplay::RedrawTrace(const AcquisitionEngine& engine) {
  const int rt = engine.rtBuffer();
  if (rt != traceBuffer_) ClearTrace(rt);
  const int beam = std::clamp(SelectedBeam, 0, kChannels - 1);
  const int n = std::clamp(engine.SampleIndex, 0, rt - 1);
  if (lastIndex_ < 0) {
    firstIndex_ = n;
  } else if (n < lastIndex_) {
    // A new interval: the last drawing of the one before stays on screen.
    previous_ = std::move(current_);
    firstIndex_ = n;
  }
  lastIndex_ = n;

  const bool upper = engine.calibration.autoZeroMode && !engine.BlankReading;
  current_ = {};
  current_.threshold = engine.blink ? kPlotLightBlue : kPlotBlue;
  current_.raw.resize(static_cast<std::size_t>(n) + 1);
  current_.lower.resize(static_cast<std::size_t>(n) + 1);
  if (upper) current_.upper.resize(static_cast<std::size_t>(n) + 1);
  for (int k = 0; k <= n; ++k) {
    const auto i = static_cast<std::size_t>(k);
    current_.raw[i] = TraceY(engine.raw(beam, k), beam);
    current_.lower[i] = TraceY(engine.lower(beam, k), beam);
    if (upper) current_.upper[i] = TraceY(engine.upper(beam, k), beam);
  }

  PlotScene s = BaseTrace(rt);
  const int keptTo = firstIndex_ + kSweepFrom;  // never wiped in this interval
  const int keptFrom = n + kSweepTo;            // not reached by the sweep yet
  for (int part = 0; part < 2; ++part) {
    const int from = part == 0 ? 0 : keptFrom;
    const int to = part == 0 ? keptTo : rt;
    DrawSamples(s, previous_.raw, from, to, kPlotRed);
    DrawSamples(s, previous_.lower, from, to, previous_.threshold);
    DrawSamples(s, previous_.upper, from, to, previous_.threshold);
  }
  s.fillBox({static_cast<double>(n + kSweepFrom), kSweepLow}, {static_cast<double>(n + kSweepTo), kSweepHigh},
            kPlotWhite);
  DrawAll(s, current_.raw, kPlotRed);
  DrawAll(s, current_.lower, current_.threshold);
  if (upper) DrawAll(s, current_.upper, current_.threshold);

  // The counter: the number shown before is overwritten in white first.
  const std::string counter = CounterText(engine);
  if (!counterShown_.empty() && counterShown_ != counter) s.text(kCounterAt, counterShown_, kPlotWhite);
  s.text(kCounterAt, counter, kPlotBlack);
  counterShown_ = counter;
  return s;
}

void LiveDisplay::TakeZoomReferences(const AcquisitionEngine& engine) {
  // Sample by sample over all beams, the order the buffer is stored in.
  const int last = std::min(engine.SampleIndex - 1, engine.rtBuffer());
  ZoomReference.fill(0);
  for (int k = 1; k <= last; ++k) {
    const std::int16_t* sample = &engine.RawBuffer.values[static_cast<std::size_t>(k) * kChannelSlots];
    for (std::size_t beam = 0; beam < kChannelSlots; ++beam)
      ZoomReference[beam] = std::max(ZoomReference[beam], sample[beam]);
  }
}

PlotScene LiveDisplay::ZoomPlus(const AcquisitionEngine& engine) {
  ZoomLevel = std::min(ZoomLevel + 1, kMaxZoomLevel);
  TakeZoomReferences(engine);
  return RedrawTrace(engine);
}

PlotScene LiveDisplay::ZoomMinus(const AcquisitionEngine& engine) {
  ZoomLevel = std::max(ZoomLevel - 1, 0);
  if (ZoomLevel > 0) TakeZoomReferences(engine);
  return RedrawTrace(engine);
}

PlotScene LiveDisplay::RescaleTrace(const AcquisitionEngine& engine) {
  if (ZoomLevel < 1) return RedrawTrace(engine);
  --ZoomLevel;
  return ZoomPlus(engine);
}

// ---- choosing the beam ----------------------------------------------------------

void LiveDisplay::SetSelectedBeam(int beam, const PlateFormat& plate, const GroupTable& groups) {
  if (beam < 0 || beam >= kChannels) return;
  SelectedBeam = beam;
  const int well = plate.ChannelWell[static_cast<std::size_t>(beam)];
  if (well >= 0 && plate.Rows > 0) {
    SelectedRow = RowLabel(WellRow(plate, well));
    SelectedColumn = WellColumn(plate, well) + 1;
  }
  const int group = groups.ChannelGroup[static_cast<std::size_t>(beam)];
  if (IsGroup(group)) GroupWells = WellsOfGroup(plate, groups, group);
}

std::vector<std::string> LiveDisplay::BeamEntries(const PlateFormat& plate) const {
  std::vector<std::string> entries;
  for (int w : GroupWells) {
    const std::string well = WellLabel(plate, w);
    if (well.empty()) continue;
    for (int b = 0; b <= plate.MaxBeam; ++b)
      if (BeamOfWell(plate, w, b) >= 0) entries.push_back(well + "." + std::to_string(b));
  }
  return entries;
}

BeamChoice LiveDisplay::SelectWell(const std::string& row, int column, int beamInWell, const PlateFormat& plate,
                                   const GroupTable& groups) {
  BeamChoice choice;
  const int sub = std::clamp(beamInWell, 0, std::max<int>(plate.MaxBeam, 0));
  choice.txtsub = std::to_string(sub);
  const int r = RowOfLabel(row);
  if (r < 0 || r >= plate.Rows || column < 1 || column > plate.Columns) return choice;
  const int well = (column - 1) * plate.Rows + r;
  const int beam = BeamOfWell(plate, well, sub);
  if (beam < 0) return choice;
  SetSelectedBeam(beam, plate, groups);
  choice.taken = true;
  choice.row = RowLabel(r);
  choice.column = column;
  choice.well = well;
  choice.beam = beam;
  choice.lblcanal = std::to_string(beam);
  return choice;
}

BeamChoice LiveDisplay::TakeEntry(const std::string& entry, const PlateFormat& plate, const GroupTable& groups) {
  // Row letters, the column number, ".", the beam-in-well (0 when missing).
  const EntryParts parts = SplitEntry(entry);
  if (parts.rowLetters.empty() || parts.column < 0) return {};
  return SelectWell(parts.rowLetters, parts.column, std::max(parts.beam, 0), plate, groups);
}

EntryStep LiveDisplay::StepEntry(int current, int delta, const PlateFormat& plate, const GroupTable& groups) {
  EntryStep step;
  const std::vector<std::string> entries = BeamEntries(plate);
  if (entries.empty()) return step;
  const int last = static_cast<int>(entries.size()) - 1;
  step.index = current < 0 ? 0 : std::clamp(current + delta, 0, last);
  step.txtbeam = entries[static_cast<std::size_t>(step.index)];
  step.choice = TakeEntry(step.txtbeam, plate, groups);
  return step;
}

GroupChoice LiveDisplay::ChooseGroup(const std::string& entry, const AcquisitionEngine& engine,
                                     const PlateFormat& plate, const GroupTable& groups) {
  GroupChoice result;
  result.group = GroupOfEntry(entry);
  ViewGroup = result.group;
  GroupWells = WellsOfGroup(plate, groups, result.group);
  DisplayMode = kGroupView;
  result.view = DrawGroupView(engine, plate, groups);
  result.entries = BeamEntries(plate);
  if (!result.entries.empty()) {
    result.selectedEntry = 0;
    result.choice = TakeEntry(result.entries.front(), plate, groups);
  }
  return result;
}

// ---- the activity plot --------------------------------------------------------------

int LiveDisplay::PageCount(const GroupTable& groups) const {
  if (DisplayMode == kHistogramPlot) return kHistogramPages;
  if (DisplayMode != kBarPlot) return 1;
  std::array<bool, kChannelSlots> used{};
  for (int c = 0; c < kChannels; ++c) {
    const int g = groups.ChannelGroup[static_cast<std::size_t>(c)];
    if (IsGroup(g)) used[static_cast<std::size_t>(g)] = true;
  }
  const int bars = static_cast<int>(std::count(used.begin(), used.end(), true));
  return (bars + kBarsPerPage - 1) / kBarsPerPage;
}

ActivityView LiveDisplay::RedrawActivityPlot(const AcquisitionEngine& engine, const PlateFormat& plate,
                                             const GroupTable& groups) {
  switch (DisplayMode) {
    case kGroupView: return DrawGroupView(engine, plate, groups);
    case kBarPlot: return DrawBarPlot(engine, groups);
    case kPlateMap: return DrawPlateMap(engine, plate);
    case kHistogramPlot: return DrawHistogramPlot(engine, groups);
    default: {
      ActivityView view;
      BarScaleOf(view.scene);
      view.page = PlotPage;
      return view;
    }
  }
}

ActivityView LiveDisplay::BarPlot(const AcquisitionEngine& engine, const PlateFormat& plate, const GroupTable& groups) {
  DisplayMode = kBarPlot;
  return RedrawActivityPlot(engine, plate, groups);
}

ActivityView LiveDisplay::GridPlot(const AcquisitionEngine& engine, const PlateFormat& plate, const GroupTable& groups) {
  DisplayMode = kPlateMap;
  return RedrawActivityPlot(engine, plate, groups);
}

ActivityView LiveDisplay::HistoPlot(const AcquisitionEngine& engine, const PlateFormat& plate,
                                    const GroupTable& groups) {
  DisplayMode = kHistogramPlot;
  return RedrawActivityPlot(engine, plate, groups);
}

ActivityView LiveDisplay::PageUp(const AcquisitionEngine& engine, const PlateFormat& plate, const GroupTable& groups) {
  if (PlotPage + 1 < PageCount(groups)) ++PlotPage;
  return RedrawActivityPlot(engine, plate, groups);
}

ActivityView LiveDisplay::PageDown(const AcquisitionEngine& engine, const PlateFormat& plate,
                                   const GroupTable& groups) {
  if (PlotPage > 0) --PlotPage;
  return RedrawActivityPlot(engine, plate, groups);
}

// Every group with at least one beam is a bar valued at the rounded mean of
// its beams' totals; twelve bars to a page.
ActivityView LiveDisplay::DrawBarPlot(const AcquisitionEngine& engine, const GroupTable& groups) {
  if (!(BarScale > 0)) BarScale = 1.0;
  std::array<std::int64_t, kChannelSlots> sum{};
  std::array<int, kChannelSlots> count{};
  for (int c = 0; c < kChannels; ++c) {
    const int g = groups.ChannelGroup[static_cast<std::size_t>(c)];
    if (!IsGroup(g)) continue;
    sum[static_cast<std::size_t>(g)] += engine.TotalCounts[static_cast<std::size_t>(c)];
    ++count[static_cast<std::size_t>(g)];
  }
  std::vector<int> bars;
  for (int g = 0; g < kChannelSlots; ++g)
    if (count[static_cast<std::size_t>(g)] > 0) bars.push_back(g);

  ActivityView view;
  const int total = static_cast<int>(bars.size());
  view.pages = (total + kBarsPerPage - 1) / kBarsPerPage;
  view.pageButtonsVisible = total > kBarsPerPage;
  PlotPage = std::clamp(PlotPage, 0, std::max(view.pages - 1, 0));
  view.page = PlotPage;
  const int first = PlotPage * kBarsPerPage;
  const int onPage = std::clamp(total - first, 0, kBarsPerPage);
  const std::vector<Slot> slots = BarSlots(onPage);

  PlotScene& s = view.scene;
  BarScaleOf(s);
  for (const Slot& slot : slots) s.fillBox({slot.x1, 1}, {slot.x2, 275}, kPlotWhite);
  DrawBarAxes(s);
  const double scale = BarScale;
  std::int64_t tallest = 0;
  for (int i = 0; i < onPage; ++i) {
    const auto g = static_cast<std::size_t>(bars[static_cast<std::size_t>(first + i)]);
    const std::int64_t value = Round(static_cast<double>(sum[g]) / count[g]);
    tallest = std::max(tallest, value);
    const Slot& slot = slots[static_cast<std::size_t>(i)];
    DrawBar(s, slot.x1, slot.x2, static_cast<double>(value), scale);
    // Labels of neighbouring bars on two lines, so long group names do not
    // run into each other.
    const double labelY = onPage > 4 && i % 2 == 1 ? -16 : -3;
    s.text({slot.x1, labelY}, GroupBarLabel(groups, static_cast<int>(g)));
  }
  if (static_cast<double>(tallest) / scale > 250) BarScale += 0.5;
  return view;
}

// The wells of GroupWells, each valued at the rounded mean of its beams'
// totals (the total itself on plates of one beam per well), spaced
// round(260 / wells) apart, at most 25.
ActivityView LiveDisplay::DrawGroupView(const AcquisitionEngine& engine, const PlateFormat& plate,
                                        const GroupTable& groups) {
  if (!(BarScale > 0)) BarScale = 1.0;
  ActivityView view;
  view.page = PlotPage;
  PlotScene& s = view.scene;
  BarScaleOf(s);
  DrawBarAxes(s);
  const int wells = static_cast<int>(GroupWells.size());
  const double spacing = wells > 0 ? static_cast<double>(std::min<std::int64_t>(25, Round(260.0 / wells))) : 25;
  const double scale = BarScale;
  std::int64_t tallest = 0;
  for (int i = 0; i < wells; ++i) {
    const int w = GroupWells[static_cast<std::size_t>(i)];
    std::int64_t sum = 0;
    int beams = 0;
    for (int b = 0; b <= plate.MaxBeam; ++b) {
      const int c = BeamOfWell(plate, w, b);
      if (c < 0) continue;
      sum += engine.TotalCounts[static_cast<std::size_t>(c)];
      ++beams;
    }
    const std::int64_t value = beams > 0 ? Round(static_cast<double>(sum) / beams) : 0;
    tallest = std::max(tallest, value);
    const double x = 5 + i * spacing;
    DrawBar(s, x + 0.1 * spacing, x + 0.9 * spacing, static_cast<double>(value), scale);
  }
  if (IsGroup(ViewGroup)) s.text({10, 295}, GroupBarLabel(groups, ViewGroup));
  if (static_cast<double>(tallest) / scale > 250) BarScale += 0.5;
  return view;
}

// Every well of the plate as its box, grey by its total against the
// largest total (at least 255), outlined in red.
ActivityView LiveDisplay::DrawPlateMap(const AcquisitionEngine& engine, const PlateFormat& plate) const {
  ActivityView view;
  view.page = PlotPage;
  PlateScaleOf(view.scene, plate);
  if (plate.Rows <= 0 || plate.Columns <= 0) return view;
  const int wells = plate.Rows * plate.Columns;
  std::vector<std::int64_t> totals(static_cast<std::size_t>(wells), 0);
  for (int c = 0; c < kChannels; ++c) {
    const int w = plate.ChannelWell[static_cast<std::size_t>(c)];
    if (w >= 0 && w < wells) totals[static_cast<std::size_t>(w)] += engine.TotalCounts[static_cast<std::size_t>(c)];
  }
  std::int64_t highest = 255;
  for (std::int64_t t : totals) highest = std::max(highest, t);
  for (int k = 0; k < plate.Columns; ++k) {
    for (int r = 0; r < plate.Rows; ++r) {
      const int w = k * plate.Rows + r;
      const Box b = WellBox(plate, w);
      const double t = static_cast<double>(totals[static_cast<std::size_t>(w)]);
      const int grey = 255 - static_cast<int>(Round(255.0 * t / static_cast<double>(highest)));
      view.scene.filledBox({b.x1, b.y1}, {b.x2, b.y2}, PlotGrey(grey), kPlotRed);
    }
  }
  return view;
}

// One group per page: bins 0..25 of the run's histogram averaged over the
// group's beams, scaled so that the tallest bin reaches 250 / 1.2.
ActivityView LiveDisplay::DrawHistogramPlot(const AcquisitionEngine& engine, const GroupTable& groups) {
  ActivityView view;
  view.pages = kHistogramPages;
  view.pageButtonsVisible = true;
  PlotPage = std::clamp(PlotPage, 0, kHistogramPages - 1);
  view.page = PlotPage;
  const int group = PlotPage;

  std::array<double, kHistogramPlotBins> mean{};
  int beams = 0;
  for (int c = 0; c < kChannels; ++c) {
    if (groups.ChannelGroup[static_cast<std::size_t>(c)] != group) continue;
    ++beams;
    for (int bin = 0; bin < kHistogramPlotBins; ++bin) mean[static_cast<std::size_t>(bin)] += engine.Histogram.at(c, bin);
  }
  double highest = 100;
  if (beams > 0) {
    for (double& m : mean) m /= beams;
    highest = *std::max_element(mean.begin(), mean.end());
  }
  BarScale = highest / 250 * 1.2;
  if (!(BarScale > 0)) BarScale = 1.0;

  PlotScene& s = view.scene;
  BarScaleOf(s);
  const std::vector<Slot> slots = BarSlots(kHistogramPlotBins);
  for (const Slot& slot : slots) s.fillBox({slot.x1, 1}, {slot.x2, 275}, kPlotWhite);
  DrawBarAxes(s);
  s.text({-30, 260}, AxisNumber(BarScale * 250));
  s.text({-30, 130}, AxisNumber(BarScale * 125));
  for (int bin = 0; bin < kHistogramPlotBins; ++bin) {
    const Slot& slot = slots[static_cast<std::size_t>(bin)];
    DrawBar(s, slot.x1, slot.x2, mean[static_cast<std::size_t>(bin)], BarScale);
  }
  s.text({10, 295}, "G" + std::to_string(group) + "_");
  return view;
}

}  // namespace orb
