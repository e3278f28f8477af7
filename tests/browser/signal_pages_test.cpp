// The raw signal viewer's pages, buffer, well choice and plot.
#include "browser/signal_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "app/project_files.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

// A value that says where it came from: file, block, sample position and channel.
std::int16_t Sample(int file, int block, int position, int channel) {
  return static_cast<std::int16_t>(file * 1000 + block * 50 + position % 40 + channel % 7);
}

// Raw file `file` with `blocks` records; the last position of each record
// holds 0, as the acquisition writes it.
void WriteRawFile(const fs::path& folder, int file, int blocks) {
  std::ofstream out(folder / RawFileName(file), std::ios::binary);
  for (int b = 0; b < blocks; ++b) {
    RawRecord r;
    r.values.resize(std::size_t(kChannelSlots) * kSlotPositions);
    for (int p = 0; p < kSlotPositions - 1; ++p)
      for (int c = 0; c < kChannelSlots; ++c) r.values[std::size_t(p) * kChannelSlots + c] = Sample(file, b, p, c);
    out << PackRawRecord(r);
  }
}

void WriteSetup(const fs::path& folder, int rtBuffer) {
  ProjectSetup s = DefaultProjectSetup(folder.parent_path().parent_path(), 1);
  s.RT_Buffer = static_cast<std::int16_t>(rtBuffer);
  s.Name = "Worms";
  std::ofstream(folder / "setup.dat", std::ios::binary) << SetupFileBytes(s, 1);
}

struct Acquisition {
  TempFolder tmp;
  fs::path folder = tmp.path() / "p00001" / "20240131_1405";
  Acquisition() {
    fs::create_directories(folder);
    WriteSetup(folder, 500);
  }
};

TEST(SignalPages, OnlyNumberedBinFilesAreRawFiles) {
  Acquisition a;
  for (const char* name : {"0.bin", "1.bin", "12.bin", "counts.bin", "histo0000.bin", "histo0001.bin", "2.bak",
                           "x3.bin", ".bin"})
    std::ofstream(a.folder / name) << "x";
  fs::create_directory(a.folder / "4.bin");  // a folder is no file
  EXPECT_EQ(CountRawFiles(a.folder), 3);
  EXPECT_EQ(CountRawFiles(a.folder / "missing"), 0);
}

TEST(SignalPages, EveryFileIsOnAPage) {
  EXPECT_EQ(PageCount(0), 0);
  EXPECT_EQ(PageCount(1), 1);
  EXPECT_EQ(PageCount(5), 1);
  EXPECT_EQ(PageCount(7), 2);  // files 5 and 6 get a page of their own
  EXPECT_EQ(PageCount(8), 2);
  EXPECT_EQ(PageCount(10), 2);
  EXPECT_EQ(PageCount(11), 3);

  PageFiles f = FilesOfPage(1, 7);
  EXPECT_EQ(f.first, 0);
  EXPECT_EQ(f.last, 4);
  f = FilesOfPage(2, 7);
  EXPECT_EQ(f.first, 5);
  EXPECT_EQ(f.last, 6);
  f = FilesOfPage(2, 8);
  EXPECT_EQ(f.first, 5);
  EXPECT_EQ(f.last, 7);
  EXPECT_EQ(FilesOfPage(3, 8).count(), 0);
  EXPECT_EQ(FilesOfPage(0, 8).count(), 0);
  EXPECT_EQ(PageText(1, 0), "1/0");
}

TEST(SignalPages, FilesFillTheirSlotsAndTheLaterFileWinsTheSharedSlot) {
  Acquisition a;
  WriteRawFile(a.folder, 0, 11);
  WriteRawFile(a.folder, 1, 11);
  std::vector<std::pair<int, int>> progress;
  SignalPages pages;
  EXPECT_FALSE(pages.open(a.folder, [&](int done, int of) { progress.emplace_back(done, of); }));
  EXPECT_EQ(pages.fileCount(), 2);
  EXPECT_EQ(pages.pageText(), "1/1");
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
  ASSERT_EQ(pages.slots().size(), std::size_t(kPageSlots));

  EXPECT_EQ(pages.value(0, 0, 0), Sample(0, 0, 0, 0));
  EXPECT_EQ(pages.value(3, 17, 200), Sample(0, 3, 17, 200));
  EXPECT_EQ(pages.value(9, 499, 383), Sample(0, 9, 499, 383));
  // Slot 10: block 10 of file 0 and block 0 of file 1; file 1 wins.
  EXPECT_EQ(pages.value(10, 5, 1), Sample(1, 0, 5, 1));
  EXPECT_EQ(pages.value(20, 5, 1), Sample(1, 10, 5, 1));
  // Position 500 repeats sample 499 (the record holds 0 there).
  EXPECT_EQ(pages.value(4, 500, 33), Sample(0, 4, 499, 33));
  // Slots no file reaches are 0.
  EXPECT_EQ(pages.value(21, 5, 1), 0);
  EXPECT_EQ(pages.value(50, 5, 1), 0);
}

TEST(SignalPages, SecondPageOfEightFilesAndNoLeftoversOfThePageBefore) {
  Acquisition a;
  for (int f = 0; f < 8; ++f) WriteRawFile(a.folder, f, f == 4 ? 11 : 1);
  SignalPages pages;
  EXPECT_FALSE(pages.open(a.folder));
  EXPECT_EQ(pages.pageText(), "1/2");
  EXPECT_EQ(pages.value(40, 1, 2), Sample(4, 0, 1, 2));
  EXPECT_EQ(pages.value(50, 1, 2), Sample(4, 10, 1, 2));

  EXPECT_TRUE(pages.loadPage(2));
  EXPECT_EQ(pages.pageText(), "2/2");
  EXPECT_EQ(pages.value(0, 1, 2), Sample(5, 0, 1, 2));
  EXPECT_EQ(pages.value(10, 1, 2), Sample(6, 0, 1, 2));
  EXPECT_EQ(pages.value(20, 1, 2), Sample(7, 0, 1, 2));
  // Page 1 had file 4 in slots 40..50: page 2 does not show it.
  EXPECT_EQ(pages.value(40, 1, 2), 0);
  EXPECT_EQ(pages.value(50, 1, 2), 0);
  // A short file leaves its missing blocks at 0.
  EXPECT_EQ(pages.value(1, 1, 2), 0);

  EXPECT_FALSE(pages.loadPage(3));
  EXPECT_EQ(pages.page(), 2);
}

TEST(SignalPages, RawFilesOfAnotherBufferSizeAreRefused) {
  Acquisition a;
  WriteSetup(a.folder, 1000);
  WriteRawFile(a.folder, 0, 1);
  SignalPages pages;
  const auto refusal = pages.open(a.folder);
  ASSERT_TRUE(refusal);
  EXPECT_NE(refusal->find("RT_Buffer=1000"), std::string::npos) << *refusal;
  EXPECT_FALSE(pages.hasRawData());
  EXPECT_EQ(pages.pageText(), "1/0");
}

TEST(SignalPages, ARawFileLongerThanElevenRecordsIsRefused) {
  Acquisition a;
  WriteRawFile(a.folder, 0, 12);
  SignalPages pages;
  const auto refusal = pages.open(a.folder);
  ASSERT_TRUE(refusal);
  EXPECT_NE(refusal->find("0.bin"), std::string::npos) << *refusal;
  EXPECT_FALSE(pages.hasRawData());
}

TEST(SignalPages, NoRawFilesGivesPageOneOfNoneAndAnEmptyPlot) {
  Acquisition a;
  SignalPages pages;
  EXPECT_FALSE(pages.open(a.folder));
  EXPECT_EQ(pages.pageText(), "1/0");
  PlateFormat plate;
  ASSERT_TRUE(ApplyBuiltInPlateFormat("k384", plate));
  const PlotScene scene = ChannelSignalScene(pages, WellBeams(plate, 0));
  EXPECT_TRUE(std::none_of(scene.items.begin(), scene.items.end(),
                           [](const PlotItem& i) { return i.kind == PlotItem::Kind::Polyline; }));
  EXPECT_EQ(scene.items.size(), 7u);  // two axes, five labels
}

TEST(SignalPages, WellSelectionAndInvalidEntries) {
  PlateFormat plate;
  ASSERT_TRUE(ApplyBuiltInPlateFormat("k96f", plate));
  EXPECT_EQ(WellIndex(8, 2, 'C'), 10);

  WellSelection s = SelectWell(plate, "B", "1", "1");
  EXPECT_EQ(s.well, 1);
  EXPECT_EQ(s.channel, 18);  // beam 1 of B1 lies one grid column right of beam 0 (channel 2)
  EXPECT_FALSE(s.rowReset);
  EXPECT_EQ(SelectWell(plate, "A", "2", "0").channel, 32);
  EXPECT_EQ(SelectWell(plate, "A", "1", "2").channel, -1);  // no third beam

  for (const auto& [row, column, beam] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"I", "3", "0"}, {"b", "3", "0"}, {"", "3", "0"}, {"C", "3", "x"}, {"C", "13", "0"}, {"C", "0", "0"}}) {
    s = SelectWell(plate, row, column, beam);
    EXPECT_TRUE(s.rowReset) << row << column << beam;
    EXPECT_EQ(s.rowText, "A");
  }
  s = SelectWell(plate, "I", "3", "0");
  EXPECT_EQ(s.well, 16);
  EXPECT_EQ(s.channel, 64);
  s = SelectWell(plate, "C", "13", "0");
  EXPECT_EQ(s.well, -1);
  EXPECT_EQ(s.channel, -1);
}

TEST(SignalPages, BeamColours) {
  EXPECT_EQ(TraceColour(0, 1), 0xFF0000u);
  EXPECT_EQ(TraceColour(1, 4), 0x0000FFu);
  EXPECT_EQ(TraceColour(2, 4), 0x00FF00u);
  EXPECT_EQ(TraceColour(3, 4), 0xC88000u);
  // More than four beams: RGB(255 i / n, 255 - 255 i / n, 0), rounded.
  EXPECT_EQ(TraceColour(0, 5), 0x00FF00u);
  EXPECT_EQ(TraceColour(4, 5), 0xCC3300u);      // 204, 51
  EXPECT_EQ(TraceColour(1, 8), 0x20DF00u);      // 31.875 -> 32, 223.125 -> 223
  EXPECT_EQ(TraceColour(31, 32), 0xF70800u);    // 247.03 -> 247, 7.97 -> 8
}

std::vector<const PlotItem*> Traces(const PlotScene& scene) {
  std::vector<const PlotItem*> t;
  for (const PlotItem& i : scene.items)
    if (i.kind == PlotItem::Kind::Polyline) t.push_back(&i);
  return t;
}

TEST(SignalPages, AOneBeamWellIsDrawnInRedOnly) {
  Acquisition a;
  WriteRawFile(a.folder, 0, 11);
  SignalPages pages;
  ASSERT_FALSE(pages.open(a.folder));
  PlateFormat plate;
  ASSERT_TRUE(ApplyBuiltInPlateFormat("k96u", plate));
  const auto beams = WellBeams(plate, 1);
  ASSERT_EQ(beams.size(), 1u);
  EXPECT_EQ(beams[0].channel, 2);
  const PlotScene scene = ChannelSignalScene(pages, beams);
  const auto traces = Traces(scene);
  ASSERT_EQ(traces.size(), std::size_t(kPlottedSlots));
  for (const PlotItem* t : traces) EXPECT_EQ(t->colour, kPlotRed);
  // Slot 3 sample j at x = 3 x 500 + j with its value.
  const PlotItem& slot3 = *traces[3];
  ASSERT_EQ(slot3.points.size(), std::size_t(kSlotPositions));
  EXPECT_EQ(slot3.points[7], (PlotPoint{1507, double(Sample(0, 3, 7, 2))}));
  EXPECT_EQ(slot3.points[500], (PlotPoint{2000, double(Sample(0, 3, 499, 2))}));
}

TEST(SignalPages, PlotScaleAxesAndLabelsOfThePage) {
  Acquisition a;
  for (int f = 0; f < 6; ++f) WriteRawFile(a.folder, f, 1);
  SignalPages pages;
  ASSERT_FALSE(pages.open(a.folder));
  ASSERT_TRUE(pages.loadPage(2));
  PlateFormat plate;
  ASSERT_TRUE(ApplyBuiltInPlateFormat("k96f", plate));
  const PlotScene scene = ChannelSignalScene(pages, WellBeams(plate, 0));
  EXPECT_EQ(scene.left, -1000);
  EXPECT_EQ(scene.right, 25000);
  EXPECT_EQ(scene.top, 2150);
  EXPECT_EQ(scene.bottom, -150);
  ASSERT_GE(scene.items.size(), 7u);
  EXPECT_EQ(scene.items[0].points, (std::vector<PlotPoint>{{0, 2150}, {0, 0}}));
  EXPECT_EQ(scene.items[1].points, (std::vector<PlotPoint>{{0, 0}, {24900, 0}}));
  EXPECT_EQ(scene.items[0].colour, kPlotBlack);
  std::vector<std::string> labels;
  for (const PlotItem& i : scene.items)
    if (i.kind == PlotItem::Kind::Text) labels.push_back(i.text);
  EXPECT_EQ(labels, (std::vector<std::string>{"100%", "  0%", "k25", "[sample]", "k50"}));
  // Two beams: red and blue.
  const auto traces = Traces(scene);
  ASSERT_EQ(traces.size(), 2u * kPlottedSlots);
  EXPECT_EQ(traces.front()->colour, kPlotRed);
  EXPECT_EQ(traces.back()->colour, kPlotBlue);
  EXPECT_EQ(traces[kPlottedSlots]->points[1].y, Sample(5, 0, 1, 16));  // beam 1 (channel 16), slot 0
}

TEST(SignalPages, ProgressBarLine) {
  const PlotScene s = ProgressScene(40);
  ASSERT_EQ(s.items.size(), 1u);
  EXPECT_EQ(s.items[0].colour, kPlotBlue);
  EXPECT_EQ(s.items[0].points, (std::vector<PlotPoint>{{0, 0}, {40, 100}}));
}

}  // namespace
}  // namespace orb
