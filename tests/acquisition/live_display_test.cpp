#include "acquisition/live_display.h"

#include <gtest/gtest.h>

#include "acquisition/engine.h"
#include "app/workspace.h"
#include "device/connection_state.h"
#include "device/device_link.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

// An engine without instrument or files: the tests fill its tables.
struct Rig {
  ScriptedOperator op;
  FakeClock clock;
  CountingEventLoop loop;
  Workspace ws{"unused", op};
  SerialPorts ports;
  ConnectionState state;
  DeviceLink link{ports, state, loop, op};
  AcquisitionEngine engine{EngineRecordsOf(ws), link, clock, loop};
  LiveDisplay display;

  explicit Rig(const std::string& plate = "k384", int rtBuffer = 500) {
    ws.setup.RT_Buffer = static_cast<std::int16_t>(rtBuffer);
    engine.ResetTables();
    EXPECT_TRUE(ApplyBuiltInPlateFormat(plate, ws.plate));
    ws.groups.ChannelGroup.fill(-1);
    for (int g = 0; g < kChannelSlots; ++g) ws.groups.GroupName[g] = "Name" + std::to_string(g);
  }
  void group(int channel, int g) { ws.groups.ChannelGroup[channel] = static_cast<std::int16_t>(g); }
  void raw(int beam, int n, int v) { engine.RawBuffer.values[std::size_t(n) * kChannelSlots + beam] = std::int16_t(v); }
  void lower(int beam, int n, int v) { engine.LowerTrace[std::size_t(n) * kChannelSlots + beam] = std::int16_t(v); }
  ActivityView redraw() { return display.RedrawActivityPlot(engine, ws.plate, ws.groups); }
};

std::vector<const PlotItem*> Find(const PlotScene& s, PlotItem::Kind kind, PlotColour colour) {
  std::vector<const PlotItem*> found;
  for (const auto& item : s.items)
    if (item.kind == kind && item.colour == colour) found.push_back(&item);
  return found;
}
// The bars of an activity plot: the boxes drawn 3 wide.
std::vector<const PlotItem*> Bars(const PlotScene& s) {
  std::vector<const PlotItem*> bars;
  for (const auto& item : s.items)
    if (item.kind == PlotItem::Kind::Box && item.width == 3) bars.push_back(&item);
  return bars;
}
double Height(const PlotItem* bar) { return bar->points[1].y; }
bool HasText(const PlotScene& s, const std::string& text, PlotPoint at) {
  for (const auto& item : s.items)
    if (item.kind == PlotItem::Kind::Text && item.text == text && item.points[0] == at) return true;
  return false;
}

// ---- the trace ------------------------------------------------------------------

TEST(LiveDisplayZoom, StopsAtTenAndTakesReferencesFromSamplesOneToBeforeCurrent) {
  Rig r;
  r.engine.SampleIndex = 10;
  r.raw(5, 0, 4000);  // sample 0 and the current sample are left out
  r.raw(5, 10, 4000);
  r.raw(5, 3, 1200);
  r.raw(5, 9, 1300);
  for (int i = 0; i < 11; ++i) r.display.ZoomPlus(r.engine);
  EXPECT_EQ(r.display.ZoomLevel, 10);
  EXPECT_EQ(r.display.ZoomReference[5], 1300);
  EXPECT_EQ(r.display.ZoomReference[6], 0);

  // Down to 1 the references are taken again; at 0 they are not.
  r.raw(5, 4, 1500);
  r.display.ZoomLevel = 2;
  r.display.ZoomMinus(r.engine);
  EXPECT_EQ(r.display.ZoomReference[5], 1500);
  r.raw(5, 5, 1700);
  r.display.ZoomMinus(r.engine);
  r.display.ZoomMinus(r.engine);
  EXPECT_EQ(r.display.ZoomLevel, 0);
  EXPECT_EQ(r.display.ZoomReference[5], 1500);
}

TEST(LiveDisplayZoom, RescaleKeepsTheLevelAndRenewsReferencesOnlyWhenZoomed) {
  Rig r;
  r.engine.SampleIndex = 6;
  r.raw(7, 2, 900);
  r.display.RescaleTrace(r.engine);
  EXPECT_EQ(r.display.ZoomLevel, 0);
  EXPECT_EQ(r.display.ZoomReference[7], 0);
  r.display.ZoomLevel = 10;
  r.display.RescaleTrace(r.engine);
  EXPECT_EQ(r.display.ZoomLevel, 10);
  EXPECT_EQ(r.display.ZoomReference[7], 900);
}

TEST(LiveDisplayTrace, ZoomFormulaAndItsFloorAtSix) {
  LiveDisplay d;
  EXPECT_EQ(d.TraceY(3000, 4), 3000);  // zoom 0: the value itself, even above the picture
  d.ZoomLevel = 3;
  d.ZoomReference[4] = 2000;
  EXPECT_EQ(d.TraceY(2010, 4), 1780);
  EXPECT_EQ(d.TraceY(1500, 4), 250);
  EXPECT_EQ(d.TraceY(1418, 4), 6);    // 1750 - 582 x 3 = 4
  EXPECT_EQ(d.TraceY(0, 4), 6);
  EXPECT_EQ(d.TraceY(1419, 4), 7);
}

TEST(LiveDisplayTrace, PictureOfTheCurrentInterval) {
  Rig r("k384", 100);
  r.display.SelectedBeam = 3;
  r.engine.SampleIndex = 4;
  r.engine.SamplesSinceBlank = 41;
  for (int n = 0; n <= 5; ++n) r.raw(3, n, 1000 + n), r.lower(3, n, 900);
  PlotScene s = r.display.RedrawTrace(r.engine);

  EXPECT_EQ(s.left, 0);
  EXPECT_EQ(s.right, 120);
  EXPECT_EQ(s.top, 2100);
  EXPECT_EQ(s.bottom, 0);
  auto marks = Find(s, PlotItem::Kind::Line, kPlotWhite);
  ASSERT_EQ(marks.size(), 4u);
  EXPECT_EQ(marks[2]->points[0].y, 1500);
  EXPECT_EQ(Find(s, PlotItem::Kind::Line, kPlotBlack).size(), 1u);

  auto red = Find(s, PlotItem::Kind::Polyline, kPlotRed);
  ASSERT_EQ(red.size(), 1u);
  ASSERT_EQ(red[0]->points.size(), 5u);  // samples 0..4
  EXPECT_EQ(red[0]->points[4], (PlotPoint{4, 1004}));
  EXPECT_EQ(Find(s, PlotItem::Kind::Polyline, kPlotBlue).size(), 1u);
  auto band = Find(s, PlotItem::Kind::Box, kPlotWhite);
  ASSERT_EQ(band.size(), 1u);
  EXPECT_EQ(band[0]->points[0], (PlotPoint{8, 21}));
  EXPECT_EQ(band[0]->points[1], (PlotPoint{14, 2048}));
  ASSERT_EQ(Find(s, PlotItem::Kind::Text, kPlotBlack).size(), 1u);
  EXPECT_EQ(Find(s, PlotItem::Kind::Text, kPlotBlack)[0]->text, "#41");

  // The blink flag turns the threshold light blue; the old number is
  // overwritten in white.
  r.engine.blink = true;
  r.engine.SampleIndex = 6;
  r.engine.SamplesSinceBlank = 43;
  s = r.display.RedrawTrace(r.engine);
  EXPECT_TRUE(Find(s, PlotItem::Kind::Polyline, kPlotBlue).empty());
  EXPECT_EQ(Find(s, PlotItem::Kind::Polyline, kPlotLightBlue).size(), 1u);
  ASSERT_EQ(Find(s, PlotItem::Kind::Text, kPlotWhite).size(), 1u);
  EXPECT_EQ(Find(s, PlotItem::Kind::Text, kPlotWhite)[0]->text, "#41");
  EXPECT_EQ(Find(s, PlotItem::Kind::Text, kPlotBlack)[0]->text, "#43");

  // The upper threshold is drawn in interval-analysis mode only.
  r.engine.calibration.autoZeroMode = true;
  EXPECT_EQ(Find(r.display.RedrawTrace(r.engine), PlotItem::Kind::Polyline, kPlotLightBlue).size(), 2u);
}

// After an interval closes, the previous interval's drawing stays where the
// sweep has not wiped it: up to the first band's left edge and from the
// present band's right edge on, as it was drawn.
TEST(LiveDisplayTrace, SweepKeepsThePreviousIntervalAheadOfTheBand) {
  Rig r("k384", 100);
  for (int n = 0; n < 100; ++n) r.raw(0, n, 1000);
  for (int n = 0; n <= 98; n += 2) {
    r.engine.SampleIndex = n;
    r.display.RedrawTrace(r.engine);
  }
  for (int n = 0; n <= 20; ++n) r.raw(0, n, 500);
  PlotScene s;
  for (int n = 0; n <= 20; n += 2) {
    r.engine.SampleIndex = n;
    s = r.display.RedrawTrace(r.engine);
  }
  auto red = Find(s, PlotItem::Kind::Polyline, kPlotRed);
  ASSERT_EQ(red.size(), 3u);
  EXPECT_EQ(red[0]->points.front(), (PlotPoint{0, 1000}));
  EXPECT_EQ(red[0]->points.back(), (PlotPoint{4, 1000}));
  EXPECT_EQ(red[1]->points.front(), (PlotPoint{30, 1000}));
  EXPECT_EQ(red[1]->points.back(), (PlotPoint{98, 1000}));
  EXPECT_EQ(red[2]->points.size(), 21u);
  EXPECT_EQ(red[2]->points.back(), (PlotPoint{20, 500}));

  // A zoom redraws this interval; the old drawing keeps its scale.
  s = r.display.ZoomPlus(r.engine);
  red = Find(s, PlotItem::Kind::Polyline, kPlotRed);
  ASSERT_EQ(red.size(), 3u);
  EXPECT_EQ(red[1]->points.front().y, 1000);
  EXPECT_EQ(red[2]->points.back().y, 1750);

  // A cleared trace has nothing old.
  r.display.ClearTrace(100);
  EXPECT_EQ(Find(r.display.RedrawTrace(r.engine), PlotItem::Kind::Polyline, kPlotRed).size(), 1u);
}

TEST(LiveDisplayTrace, TemperatureLabel) { EXPECT_EQ(TemperatureLabel("23.5"), "T=23.5*C"); }

// ---- choosing the beam ----------------------------------------------------------

TEST(LiveDisplaySelection, EntryTakesTheBeamThroughTheWellMapAndLowersTxtsub) {
  Rig r("k96f");
  BeamChoice c = r.display.TakeEntry("A1.1", r.ws.plate, r.ws.groups);
  EXPECT_TRUE(c.taken);
  EXPECT_EQ(c.beam, 16);
  EXPECT_EQ(c.lblcanal, "16");
  EXPECT_EQ(r.display.SelectedBeam, 16);

  c = r.display.TakeEntry("C2.5", r.ws.plate, r.ws.groups);  // k96f has beams 0 and 1
  EXPECT_EQ(c.txtsub, "1");
  EXPECT_EQ(c.well, 10);
  EXPECT_EQ(c.beam, 32 + 4 + 16);
  EXPECT_EQ(r.display.SelectedRow, "C");
  EXPECT_EQ(r.display.SelectedColumn, 2);

  Rig u("k96u");
  c = u.display.TakeEntry("H12.3", u.ws.plate, u.ws.groups);
  EXPECT_EQ(c.txtsub, "0");
  EXPECT_EQ(c.beam, 22 * 16 + 14);

  // Outside the plate nothing is taken.
  c = u.display.TakeEntry("I1.0", u.ws.plate, u.ws.groups);
  EXPECT_FALSE(c.taken);
  EXPECT_EQ(u.display.SelectedBeam, 22 * 16 + 14);
  EXPECT_EQ(RowLetters(u.ws.plate).back(), "H");
  EXPECT_EQ(ColumnNumbers(u.ws.plate).size(), 12u);
}

TEST(LiveDisplaySelection, GroupWellsAndTheirEntries) {
  Rig r("k96f");
  for (int c : {0, 16, 2, 18}) r.group(c, 2);  // A1 and B1, both beams
  r.group(32, 5);                              // A2
  r.display.SetSelectedBeam(18, r.ws.plate, r.ws.groups);
  EXPECT_EQ(r.display.GroupWells, (std::vector<int>{0, 1}));
  EXPECT_EQ(r.display.BeamEntries(r.ws.plate), (std::vector<std::string>{"A1.0", "A1.1", "B1.0", "B1.1"}));
  r.display.SetSelectedBeam(4, r.ws.plate, r.ws.groups);  // no group: the list stays
  EXPECT_EQ(r.display.GroupWells.size(), 2u);

  // k96u's map names 96 wells although MaxWell is 96: the 97th is no well
  // of channel 0's group.
  Rig u("k96u");
  u.group(0, 0);
  EXPECT_EQ(WellsOfGroup(u.ws.plate, u.ws.groups, 0), (std::vector<int>{0}));
}

TEST(LiveDisplaySelection, BeamButtonsStepWithinTheList) {
  Rig r("k96f");
  for (int c : {0, 16, 2, 18}) r.group(c, 2);
  r.display.SetSelectedBeam(0, r.ws.plate, r.ws.groups);
  EntryStep st = r.display.StepEntry(-1, +1, r.ws.plate, r.ws.groups);
  EXPECT_EQ(st.index, 0);
  st = r.display.StepEntry(2, +1, r.ws.plate, r.ws.groups);
  EXPECT_EQ(st.index, 3);
  EXPECT_EQ(st.txtbeam, "B1.1");
  EXPECT_EQ(r.display.SelectedBeam, 18);
  EXPECT_EQ(r.display.StepEntry(3, +1, r.ws.plate, r.ws.groups).index, 3);
  EXPECT_EQ(r.display.StepEntry(0, -1, r.ws.plate, r.ws.groups).index, 0);
}

TEST(LiveDisplaySelection, GroupListAndChoosingAGroup) {
  Rig r("k96u");
  EXPECT_TRUE(GroupListEntries(r.ws.groups).empty());
  r.group(2, 3);   // B1
  r.group(32, 3);  // A2
  r.group(0, 0);
  EXPECT_EQ(GroupListEntries(r.ws.groups),
            (std::vector<std::string>{"000_Name0", "001_Name1", "002_Name2", "003_Name3"}));
  EXPECT_EQ(GroupOfEntry("012_x"), 12);
  EXPECT_EQ(GroupOfEntry("Free"), -1);

  r.display.DisplayMode = kBarPlot;
  GroupChoice g = r.display.ChooseGroup("003_Name3", r.engine, r.ws.plate, r.ws.groups);
  EXPECT_EQ(r.display.DisplayMode, kGroupView);
  EXPECT_FALSE(g.view.pageButtonsVisible);
  EXPECT_EQ(g.entries, (std::vector<std::string>{"B1.0", "A2.0"}));
  EXPECT_EQ(g.selectedEntry, 0);
  EXPECT_EQ(r.display.SelectedBeam, 2);
  EXPECT_EQ(g.view.scene.left, -30);
  EXPECT_EQ(g.view.scene.top, 300);

  g = r.display.ChooseGroup("001_Name1", r.engine, r.ws.plate, r.ws.groups);
  EXPECT_TRUE(g.entries.empty());
  EXPECT_EQ(g.selectedEntry, -1);
  EXPECT_EQ(r.display.SelectedBeam, 2);
}

TEST(LiveDisplaySelection, RunStartResetsZoomReferencesAndBarScale) {
  Rig r("k96u");
  r.group(2, 1);
  r.display.ZoomLevel = 4;
  r.display.ZoomReference[9] = 77;
  r.display.BarScale = 3.5;
  r.display.SelectedBeam = 2;
  r.display.DisplayMode = kPlateMap;
  r.display.PrepareRun(r.ws.plate, r.ws.groups);
  EXPECT_EQ(r.display.ZoomReference[9], 0);
  EXPECT_EQ(r.display.BarScale, 1.0);
  EXPECT_EQ(r.display.GroupWells, (std::vector<int>{1}));
  EXPECT_EQ(r.display.ZoomLevel, 4);
  EXPECT_EQ(r.display.DisplayMode, kPlateMap);
}

// ---- the activity plots -----------------------------------------------------------

TEST(LiveDisplayBarPlot, PagesOfTwelveBars) {
  Rig r;
  for (int g = 0; g < 12; ++g) r.group(g, g);
  r.group(300, -1);
  EXPECT_FALSE(r.display.BarPlot(r.engine, r.ws.plate, r.ws.groups).pageButtonsVisible);
  r.group(100, 40);
  ActivityView v = r.display.BarPlot(r.engine, r.ws.plate, r.ws.groups);
  EXPECT_TRUE(v.pageButtonsVisible);
  EXPECT_EQ(v.pages, 2);
  EXPECT_EQ(Bars(v.scene).size(), 12u);
  v = r.display.PageUp(r.engine, r.ws.plate, r.ws.groups);
  EXPECT_EQ(r.display.PlotPage, 1);
  ASSERT_EQ(Bars(v.scene).size(), 1u);
  EXPECT_TRUE(HasText(v.scene, "G40_Name40", {Bars(v.scene)[0]->points[0].x, -3}));
  r.display.PageUp(r.engine, r.ws.plate, r.ws.groups);
  EXPECT_EQ(r.display.PlotPage, 1);
  r.display.PageDown(r.engine, r.ws.plate, r.ws.groups);
  r.display.PageDown(r.engine, r.ws.plate, r.ws.groups);
  EXPECT_EQ(r.display.PlotPage, 0);
}

TEST(LiveDisplayBarPlot, ValuesRoundHalvesToEvenAndHeightsStopAt255) {
  Rig r;
  r.group(0, 0), r.group(1, 0);  // 2 and 3: 2.5 -> 2
  r.group(2, 1), r.group(3, 1);  // 3 and 4: 3.5 -> 4
  r.group(4, 2);                 // 600: drawn at 255
  r.engine.TotalCounts[0] = 2, r.engine.TotalCounts[1] = 3;
  r.engine.TotalCounts[2] = 3, r.engine.TotalCounts[3] = 4;
  r.engine.TotalCounts[4] = 600;
  r.display.DisplayMode = kBarPlot;
  const ActivityView v = r.redraw();
  auto bars = Bars(v.scene);
  ASSERT_EQ(bars.size(), 3u);
  EXPECT_EQ(Height(bars[0]), 2);
  EXPECT_EQ(Height(bars[1]), 4);
  EXPECT_EQ(Height(bars[2]), 255);
  // Three bars: slots 50 apart, w = round(17.5) = 18.
  EXPECT_DOUBLE_EQ(bars[1]->points[0].x, 50 + 18 + 5);
  EXPECT_DOUBLE_EQ(bars[1]->points[1].x, 50 + 18 + 45);
}

TEST(LiveDisplayBarPlot, SlotsOfNineBarsAndTheirWipes) {
  Rig r;
  for (int g = 0; g < 9; ++g) r.group(g, g);
  r.display.DisplayMode = kBarPlot;
  ActivityView v = r.redraw();
  // s = 30, w = round(10.5) = 10.
  auto bars = Bars(v.scene);
  ASSERT_EQ(bars.size(), 9u);
  EXPECT_DOUBLE_EQ(bars[2]->points[0].x, 60 + 10 + 3);
  EXPECT_DOUBLE_EQ(bars[2]->points[1].x, 60 + 10 + 27);
  auto wipes = Find(v.scene, PlotItem::Kind::Box, kPlotWhite);
  ASSERT_EQ(wipes.size(), 9u);
  EXPECT_EQ(wipes[2]->points[0], (PlotPoint{73, 1}));
  EXPECT_EQ(wipes[2]->points[1], (PlotPoint{97, 275}));
}

TEST(LiveDisplayBarPlot, BarScaleGrowsAfterRedrawsAboveTwoHundredFifty) {
  Rig r;
  r.group(0, 0);
  r.display.DisplayMode = kBarPlot;
  r.engine.TotalCounts[0] = 300;
  EXPECT_EQ(Height(Bars(r.redraw().scene)[0]), 255);  // drawn at 1.0, then 1.5
  EXPECT_EQ(r.display.BarScale, 1.5);
  EXPECT_EQ(Height(Bars(r.redraw().scene)[0]), 200);
  EXPECT_EQ(r.display.BarScale, 1.5);
  r.engine.TotalCounts[0] = 400;  // 266.7
  r.redraw();
  EXPECT_EQ(r.display.BarScale, 2.0);
  r.display.BarScale = 0;
  EXPECT_EQ(Height(Bars(r.redraw().scene)[0]), 255);
  EXPECT_EQ(r.display.BarScale, 1.5);
}

TEST(LiveDisplayGroupView, TwoBeamWellsAreAveragedAndSpacedAtMost25) {
  Rig r("k96f");
  for (int c : {0, 16, 2, 18}) r.group(c, 4);
  r.engine.TotalCounts[0] = 10, r.engine.TotalCounts[16] = 15;  // A1: 12.5 -> 12
  r.engine.TotalCounts[2] = 10, r.engine.TotalCounts[18] = 17;  // B1: 13.5 -> 14
  GroupChoice g = r.display.ChooseGroup("004_Name4", r.engine, r.ws.plate, r.ws.groups);
  auto bars = Bars(g.view.scene);
  ASSERT_EQ(bars.size(), 2u);
  EXPECT_EQ(Height(bars[0]), 12);
  EXPECT_EQ(Height(bars[1]), 14);
  EXPECT_DOUBLE_EQ(bars[1]->points[0].x - bars[0]->points[0].x, 25);
  EXPECT_TRUE(HasText(g.view.scene, "G4_Name4", {10, 295}));

  // Eleven wells: round(260 / 11) = 24 apart.
  for (int w = 2; w < 11; ++w) r.group(BeamOfWell(r.ws.plate, w, 0), 4);
  g = r.display.ChooseGroup("004_Name4", r.engine, r.ws.plate, r.ws.groups);
  bars = Bars(g.view.scene);
  ASSERT_EQ(bars.size(), 11u);
  EXPECT_DOUBLE_EQ(bars[1]->points[0].x - bars[0]->points[0].x, 24);
}

TEST(LiveDisplayPlateMap, GreyAgainstTheLargestTotalButAtLeast255) {
  Rig r("k96f");
  r.display.DisplayMode = kPlateMap;
  r.engine.TotalCounts[0] = 60, r.engine.TotalCounts[16] = 40;  // A1: 100
  ActivityView v = r.redraw();
  EXPECT_EQ(v.scene.left, -10);  // k96f: column offset 0, row offset -0.5
  EXPECT_EQ(v.scene.top, -60);
  EXPECT_EQ(v.scene.right, 2410);
  EXPECT_EQ(v.scene.bottom, 1610);
  auto wells = Find(v.scene, PlotItem::Kind::Box, kPlotRed);
  ASSERT_EQ(wells.size(), 96u);
  EXPECT_EQ(wells[0]->fill, PlotGrey(155));  // relative to 255
  EXPECT_EQ(wells[1]->fill, kPlotWhite);
  EXPECT_EQ(wells[0]->points[0], (PlotPoint{0, -50}));
  EXPECT_EQ(wells[0]->points[1], (PlotPoint{200, 150}));

  r.engine.TotalCounts[2] = 510;  // B1 is now the most active
  v = r.redraw();
  wells = Find(v.scene, PlotItem::Kind::Box, kPlotRed);
  EXPECT_EQ(wells[0]->fill, PlotGrey(205));
  EXPECT_EQ(wells[1]->fill, kPlotBlack);
}

TEST(LiveDisplayHistogramPlot, ScaleFromTheLargestAveragedBin) {
  Rig r("k96u");
  r.group(0, 5), r.group(2, 5);
  auto bin = [&](int beam, int b, int v) { r.engine.Histogram.counts[std::size_t(b) * kChannelSlots + beam] = v; };
  bin(0, 3, 100), bin(2, 3, 200);  // mean 150
  bin(0, 7, 50);                   // mean 25
  bin(0, 30, 9000);                // beyond bin 25: not shown
  r.display.PlotPage = 5;
  ActivityView v = r.display.HistoPlot(r.engine, r.ws.plate, r.ws.groups);
  EXPECT_DOUBLE_EQ(r.display.BarScale, 150.0 / 250 * 1.2);
  EXPECT_TRUE(v.pageButtonsVisible);
  EXPECT_EQ(v.pages, 96);
  auto bars = Bars(v.scene);
  ASSERT_EQ(bars.size(), 26u);
  EXPECT_NEAR(Height(bars[3]), 250 / 1.2, 1e-9);
  EXPECT_NEAR(Height(bars[7]), 25 / 0.72, 1e-9);
  EXPECT_TRUE(HasText(v.scene, "180", {-30, 260}));
  EXPECT_TRUE(HasText(v.scene, "90", {-30, 130}));
  EXPECT_TRUE(HasText(v.scene, "G5_", {10, 295}));

  // A group without beams scales as if its largest bin were 100; one whose
  // bins are all 0 falls back to 1.0.
  r.display.PlotPage = 6;
  v = r.redraw();
  EXPECT_DOUBLE_EQ(r.display.BarScale, 0.48);
  EXPECT_TRUE(HasText(v.scene, "120", {-30, 260}));
  r.group(4, 6);
  r.redraw();
  EXPECT_EQ(r.display.BarScale, 1.0);

  r.display.PlotPage = 95;
  r.display.PageUp(r.engine, r.ws.plate, r.ws.groups);
  EXPECT_EQ(r.display.PlotPage, 95);
}

// ---- the body-bends switch ----------------------------------------------------------

TEST(LiveDisplayBodyBends, OnlyRoundBottomPlatesHaveTheMode) {
  BodyBendsSwitch s = SetBodyBendsMode(true, "k96u");
  EXPECT_TRUE(s.mode && s.boxChecked && s.boxVisible && s.histoplotEnabled);
  EXPECT_EQ(s.message, "WARNING!\r\nExperimental functionality! Beta testing.\r\nContact us for more information");

  s = SetBodyBendsMode(true, "k96f");
  EXPECT_FALSE(s.mode || s.boxChecked || s.boxVisible || s.histoplotEnabled);
  EXPECT_TRUE(s.message.empty());

  s = SetBodyBendsMode(false, "k96u");
  EXPECT_FALSE(s.mode || s.histoplotEnabled);
  EXPECT_TRUE(s.boxVisible);
  EXPECT_FALSE(SetBodyBendsMode(false, "K96U").boxVisible);
}

}  // namespace
}  // namespace orb
