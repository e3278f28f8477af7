#include "browser/group_activity.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/data_folder.h"
#include "browser/regroup.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;

// A plate of 2 rows x 2 columns, two beams a well: well w has channels
// 2w and 2w + 1.
PlateFormat SmallPlate() {
  PlateFormat p;
  p.Rows = 2;
  p.Columns = 2;
  p.RowStep = p.ColumnStep = 1;
  p.ChannelWell.fill(-1);
  for (int w = 0; w < 4; ++w)
    for (int b = 0; b < 2; ++b) {
      p.ChannelWell[2 * w + b] = static_cast<std::int16_t>(w);
      p.ChannelBeam[2 * w + b] = static_cast<std::int16_t>(b);
    }
  p.MaxWell = 3;
  p.MaxBeam = 1;
  BuildWellMap(p);
  return p;
}

bool HasText(const PlotScene& s, const std::string& text) {
  for (const auto& item : s.items)
    if (item.kind == PlotItem::Kind::Text && item.text.find(text) != std::string::npos) return true;
  return false;
}

TEST(GroupActivity, MeanPerChannelOfEachGroupInUse) {
  const PlateFormat plate = SmallPlate();
  GroupTable groups;
  groups.GroupName.fill("Free");
  groups.GroupName[0] = "Control";
  groups.ChannelGroup.fill(-1);
  for (int c : {0, 1, 2, 3}) groups.ChannelGroup[c] = 0;  // wells A1, B1
  for (int c : {4, 5}) groups.ChannelGroup[c] = 2;        // well A2, named Free
  groups.ChannelGroup[300] = 5;                           // not on the plate
  ChannelStatus status;
  status.fill(-1);
  status[3] = 0;  // out of use: not averaged

  std::vector<CountsRecord> records(3);
  for (int i = 0; i < 3; ++i) {
    records[i].ElapsedMinutes = i < 2 ? 5 : 6;  // two records in minute 5
    records[i].IntervalCounts[0] = static_cast<std::int16_t>(10 * i);
    records[i].IntervalCounts[1] = 2;
    records[i].IntervalCounts[2] = 3;
    records[i].IntervalCounts[3] = 1000;
    records[i].IntervalCounts[4] = 7;
    records[i].IntervalCounts[5] = 8;
  }
  const GroupActivity a = BuildGroupActivity(records, plate, groups, status);
  EXPECT_EQ(a.minutes, (std::vector<double>{5, 5, 6}));
  ASSERT_EQ(a.series.size(), 2u);
  EXPECT_EQ(a.series[0].label, "000_Control");
  EXPECT_EQ(a.series[0].channels, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(a.series[0].wells, (std::vector<int>{0, 1}));
  EXPECT_EQ(a.series[0].mean, (std::vector<double>{5.0 / 3, 15.0 / 3, 25.0 / 3}));
  EXPECT_EQ(a.series[1].label, "002_Group2");
  EXPECT_EQ(a.series[1].mean, (std::vector<double>{7.5, 7.5, 7.5}));
  EXPECT_DOUBLE_EQ(a.highest, 25.0 / 3);
  EXPECT_NE(a.series[0].colour, a.series[1].colour);

  // The curves: the records of one minute spread across it.
  const auto curve = std::find_if(a.scene.items.begin(), a.scene.items.end(),
                                  [](const PlotItem& i) { return i.kind == PlotItem::Kind::Polyline; });
  ASSERT_NE(curve, a.scene.items.end());
  EXPECT_EQ(curve->points, (std::vector<PlotPoint>{{5, 5.0 / 3}, {5.5, 5}, {6, 25.0 / 3}}));
  EXPECT_TRUE(HasText(a.scene, "Time[min]"));
  EXPECT_TRUE(HasText(a.scene, "000_Control  A1 B1"));
  EXPECT_TRUE(HasText(a.scene, "002_Group2  A2"));
  // Every curve point lies inside the picture's scale.
  for (const auto& item : a.scene.items)
    for (const auto& p : item.points) {
      EXPECT_GE(p.x, a.scene.left);
      EXPECT_LE(p.x, a.scene.right);
      EXPECT_GE(p.y, a.scene.bottom);
      EXPECT_LE(p.y, a.scene.top);
    }
}

TEST(GroupChoice, FreeEntryListsTheFreeWells) {
  testing::TempFolder data;
  InitDataFolder(data.path(), true);
  const fs::path acqFolder = data.path() / "p00001" / "20240131_1405";
  fs::create_directories(acqFolder);
  for (const char* f : {"setup.dat", "status.dat", "groups.dat", "chgroup.dat"})
    fs::copy_file(data.path() / "p00001" / f, acqFolder / f);
  ScriptedOperator op;
  AcquisitionGroups acq = LoadAcquisitionGroups(data.path(), acqFolder, op);
  ASSERT_TRUE(acq.hasPlate);
  SetWellGroup(acq.groups, acq.plate, WellOfEntry(acq.plate, "H12"), -1);

  const auto entries = ActivityGroupEntries(acq);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.back(), "999_Free");
  EXPECT_EQ(entries.front().substr(0, 4), "000_");
  EXPECT_EQ(ActivityGroupWells(acq, "999_Free"), (std::vector<std::string>{"H12.0", "H12.1"}));
  const auto first = ActivityGroupWells(acq, entries.front());
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.front(), "A1.0");
  EXPECT_TRUE(ActivityGroupWells(acq, "abc").empty());
}

TEST(AnalyzeBoxes, ThresholdOutsideOnePointOneToSixIsReset) {
  struct Case {
    const char* text;
    const char* shown;
    bool reset;
  } cases[] = {{"2.5", "2.5", false}, {"1.1", "1.1", false}, {"6", "6", false},   {"6.01", "1.8", true},
               {"7", "1.8", true},     {"1.09", "1.8", true}, {"0", "1.8", true}, {"abc", "1.8", true},
               {"", "1.8", true},      {"2,5", "2,5", false}, {"-3", "1.8", true}};
  for (const Case& c : cases) {
    const AnalyzeThreshold t = CheckAnalyzeThreshold(c.text);
    EXPECT_EQ(t.text, c.shown) << c.text;
    EXPECT_EQ(t.reset, c.reset) << c.text;
    if (c.reset) {
      EXPECT_DOUBLE_EQ(t.snr, 1.8) << c.text;
    }
  }
  EXPECT_DOUBLE_EQ(CheckAnalyzeThreshold("2,5").snr, 2.5);
  EXPECT_EQ(AnalyzeMethod("Mode:0"), 0);
  EXPECT_EQ(AnalyzeMethod("Mode:1"), 1);
  EXPECT_EQ(AnalyzeMethod("Mode:2"), 0);
}

TEST(AnalyzePage, SlotMinutesFollowThePagesFilesAndBlocks) {
  std::vector<CountsRecord> records(200);
  for (int i = 0; i < 200; ++i) records[i].ElapsedMinutes = 1000 + i;
  // Page 2 of 8 raw files: files 5, 6, 7. Slot 10 is file 6 block 0; slot
  // 30 has no file 8 and keeps block 10 of file 7; slot 31 holds nothing.
  const auto m = PageSlotMinutes(records, 2, 8);
  ASSERT_EQ(m.size(), 50u);
  EXPECT_EQ(m[0], 1000 + 55);
  EXPECT_EQ(m[9], 1000 + 64);
  EXPECT_EQ(m[10], 1000 + 66);
  EXPECT_EQ(m[29], 1000 + 86);
  EXPECT_EQ(m[30], 1000 + 87);
  EXPECT_TRUE(std::isnan(m[31]));
  // Intervals counts.bin does not reach have no minutes.
  EXPECT_TRUE(std::isnan(PageSlotMinutes(std::span(records).first(60), 2, 8)[10]));
}

// A slot of raw samples: a level of 2000 with dips on beam `dipBeam` every
// `every` samples (an animal crossing), a little noise elsewhere.
RawRecord Slot(int dipBeam, int every, int seed) {
  RawRecord r;
  r.values.assign(std::size_t(kChannelSlots) * kSignalSampleSlots, 0);
  for (int s = 0; s < kSignalSampleSlots; ++s)
    for (int b = 0; b < kChannelSlots; ++b) {
      int v = 2000 + ((s * 7 + b * 13 + seed) % 11) - 5;
      if (b == dipBeam && s % every < 6) v -= 900;
      r.values[std::size_t(s) * kChannelSlots + b] = static_cast<std::int16_t>(v);
    }
  return r;
}

TEST(AnalyzePage, CountsEveryWholeSlotOfEachBeamOnACopy) {
  const PlateFormat plate = SmallPlate();
  std::vector<RawRecord> page;
  for (int s = 0; s < 51; ++s) page.push_back(Slot(s % 2 == 0 ? 2 : 3, 40 + s, s));
  page[7].values.clear();  // a slot without data
  const std::vector<RawRecord> before = page;

  const AnalyzeResult r = AnalyzePage(page, plate, 1, "9", "Mode:1");
  EXPECT_EQ(r.threshold.text, "1.8");
  EXPECT_TRUE(r.threshold.reset);
  EXPECT_EQ(r.method, 1);
  ASSERT_EQ(r.beams.size(), 2u);  // well B1: channels 2 and 3
  EXPECT_EQ(r.beams[0].channel, 2);
  EXPECT_EQ(r.beams[1].channel, 3);
  ASSERT_EQ(r.beams[0].slots.size(), 49u);  // slots 0..49 but 7
  EXPECT_EQ(r.beams[0].slots[7].slot, 8);

  // The page itself is not clipped.
  for (std::size_t s = 0; s < page.size(); ++s) ASSERT_EQ(page[s].values, before[s].values) << s;

  // Each count is the routine's on a fresh copy of the slot.
  IntervalAnalyzer reference;
  int total = 0;
  for (const BeamAnalysis& b : r.beams)
    for (const SlotCounts& sc : b.slots) {
      std::vector<std::int16_t> copy = page[static_cast<std::size_t>(sc.slot)].values;
      ASSERT_EQ(sc.count, reference.Count(copy, b.channel, 1.8, 1)) << b.channel << " slot " << sc.slot;
      EXPECT_EQ(sc.lower, reference.LowerTrace());
      total += sc.count;
    }
  EXPECT_EQ(r.total, total);
  EXPECT_GT(r.beams[0].slots[0].count, 0);  // the dips are counted
  EXPECT_TRUE(HasText(r.scene, "Time(min)"));
  EXPECT_TRUE(HasText(r.scene, "#10"));  // no minutes given: the slots label the axis
  EXPECT_TRUE(HasText(r.scene, "Ch2: " + std::to_string(r.beams[0].total)));

  // Method 0 counts at most one event a 30-sample window.
  const AnalyzeResult r0 = AnalyzePage(page, plate, 1, "2", "Mode:0");
  EXPECT_EQ(r0.method, 0);
  EXPECT_EQ(r0.threshold.text, "2");
  for (const SlotCounts& sc : r0.beams[0].slots) EXPECT_LE(sc.count, 16);

  // A well the plate does not have: nothing counted, the axes still drawn.
  const AnalyzeResult none = AnalyzePage(page, plate, 9, "1.8", "Mode:1");
  EXPECT_TRUE(none.beams.empty());
  EXPECT_TRUE(HasText(none.scene, "Time(min)"));
}

}  // namespace
}  // namespace orb
