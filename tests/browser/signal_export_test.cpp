// The signal viewer's text table and picture exports.
#include "browser/signal_export.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/project_files.h"
#include "common/fileio.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

std::int16_t Value(int block, int position, int channel) {
  return static_cast<std::int16_t>(block * 100 + position % 97 + channel);
}

struct ExportTest : ::testing::Test {
  TempFolder tmp;
  fs::path folder = tmp.path() / "p00001" / "20240131_1405";
  PlateFormat plate;
  void SetUp() override {
    fs::create_directories(folder);
    ProjectSetup s = DefaultProjectSetup(tmp.path(), 1);
    s.Name = "Worms \xC3\xA9t\xC3\xA9";  // "Worms été"
    std::ofstream(folder / "setup.dat", std::ios::binary) << SetupFileBytes(s, 1);
    ASSERT_TRUE(ApplyBuiltInPlateFormat("k96f", plate));
  }
  void WriteRaw(int blocks) {
    std::ofstream out(folder / "0.bin", std::ios::binary);
    for (int b = 0; b < blocks; ++b) {
      RawRecord r;
      r.values.resize(std::size_t(kChannelSlots) * kSlotPositions);
      for (int p = 0; p < kSlotPositions - 1; ++p)
        for (int c = 0; c < kChannelSlots; ++c) r.values[std::size_t(p) * kChannelSlots + c] = Value(b, p, c);
      out << PackRawRecord(r);
    }
  }
};

std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

TEST_F(ExportTest, AsciiTableOfATwoBeamWell) {
  WriteRaw(11);
  SignalPages pages;
  ASSERT_FALSE(pages.open(folder));
  EXPECT_EQ(AcquisitionProjectName(folder), "Worms \xC3\xA9t\xC3\xA9");
  const SignalExport e = ExportSignalAscii(pages, plate, 0);
  ASSERT_TRUE(e.ok()) << e.error;
  EXPECT_EQ(*e.file, folder / "signal_A1_page1.txt");
  const std::string bytes = *ReadWholeFile(*e.file);
  EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1);  // CR LF line ends
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), std::count(bytes.begin(), bytes.end(), '\r'));
  const auto lines = CrLfLines(bytes);
  ASSERT_EQ(lines.size(), 6u + kSamplesPerPage);
  EXPECT_EQ(lines[0], "\"Worms \xE9t\xE9\"");  // Windows-1252
  EXPECT_EQ(lines[1], "\"" + folder.string() + "\"");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "Well: A1 Page[1/1] [#0k-25k]");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], "A1.0 A1.1 ");
  // Slot 0 position 1, beams in channels 0 and 16.
  EXPECT_EQ(lines[6], std::to_string(Value(0, 1, 0)) + " " + std::to_string(Value(0, 1, 16)) + " ");
  // Slot 3 position 500 repeats its position 499.
  EXPECT_EQ(lines[6 + 3 * 500 + 499], std::to_string(Value(3, 499, 0)) + " " + std::to_string(Value(3, 499, 16)) + " ");
  // Slots beyond the file are 0.
  EXPECT_EQ(lines.back(), "0 0 ");
}

TEST_F(ExportTest, AsciiHeaderOfALaterPage) {
  RawRecord slot;
  slot.values.assign(std::size_t(kChannelSlots) * kSlotPositions, 7);
  std::vector<RawRecord> slots(kPageSlots, slot);
  const std::vector<BeamTrace> beams{{0, 5, kPlotRed}};
  const auto lines = CrLfLines(SignalAsciiBytes("P", "/x/20240131_1405", "F3", 2, 3, beams, slots));
  EXPECT_EQ(lines[3], "Well: F3 Page[2/3] [#25k-50k]");
  EXPECT_EQ(lines[5], "F3.0 ");
  EXPECT_EQ(lines[6], "7 ");
}

TEST_F(ExportTest, ExportsNeverOverwriteAnEarlierOne) {
  WriteRaw(1);
  SignalPages pages;
  ASSERT_FALSE(pages.open(folder));
  std::ofstream(folder / "signal_B2_page1.txt") << "earlier";
  const SignalExport first = ExportSignalAscii(pages, plate, 9);  // B2
  ASSERT_TRUE(first.ok()) << first.error;
  EXPECT_EQ(*first.file, folder / "signal_B2_page1_2.txt");
  const SignalExport second = ExportSignalAscii(pages, plate, 9);
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(*second.file, folder / "signal_B2_page1_3.txt");
  EXPECT_EQ(ReadWholeFile(folder / "signal_B2_page1.txt"), "earlier");

  EXPECT_TRUE(WriteNewFile(folder / "signal_B2_page1.txt", "new"));  // refused
  EXPECT_EQ(ReadWholeFile(folder / "signal_B2_page1.txt"), "earlier");
  EXPECT_FALSE(WriteNewFile(folder / "signal_B2_page1.txt", "new", true));
  EXPECT_EQ(ReadWholeFile(folder / "signal_B2_page1.txt"), "new");
}

TEST_F(ExportTest, NoAsciiExportWithoutRawDataOrBeams) {
  SignalPages pages;
  ASSERT_FALSE(pages.open(folder));
  SignalExport e = ExportSignalAscii(pages, plate, 0);
  EXPECT_FALSE(e.ok());
  EXPECT_FALSE(e.error.empty());
  WriteRaw(1);
  ASSERT_FALSE(pages.open(folder));
  e = ExportSignalAscii(pages, plate, 200);  // no such well on a 96-well plate
  EXPECT_FALSE(e.ok());
  for (const auto& entry : fs::directory_iterator(folder))
    EXPECT_NE(entry.path().filename().string().rfind("signal_", 0), 0u) << entry.path();
}

TEST_F(ExportTest, ImageExportIsTheRasterizedPlot) {
  WriteRaw(1);
  SignalPages pages;
  ASSERT_FALSE(pages.open(folder));
  const SignalExport bmp = ExportSignalImage(pages, plate, 0, ImageFormat::Bmp);
  ASSERT_TRUE(bmp.ok()) << bmp.error;
  EXPECT_EQ(*bmp.file, folder / "signal_A1_page1.bmp");
  const std::string bytes = *ReadWholeFile(*bmp.file);
  EXPECT_EQ(bytes.size(), 54u + std::size_t(kSignalImageWidth) * 3 * kSignalImageHeight);
  EXPECT_EQ(bytes, SignalImageBytes(ChannelSignalScene(pages, WellBeams(plate, 0)), ImageFormat::Bmp));

  // The plot's red trace is in the picture: the value of slot 0, sample 250
  // (channel 0) at x = 250.
  const PlotScene scene = ChannelSignalScene(pages, WellBeams(plate, 0));
  const RgbImage img = RasterizePlot(scene, kSignalImageWidth, kSignalImageHeight);
  const int x = PixelX(scene, img.width, 250);
  bool red = false;
  for (int dy = -2; dy <= 2; ++dy) red |= img.at(x, PixelY(scene, img.height, Value(0, 250, 0)) + dy) == kPlotRed;
  EXPECT_TRUE(red);

  const SignalExport png = ExportSignalImage(pages, plate, 0, ImageFormat::Png);
  ASSERT_TRUE(png.ok());
  EXPECT_EQ(*png.file, folder / "signal_A1_page1.png");
  EXPECT_EQ(ReadWholeFile(*png.file)->substr(1, 3), "PNG");

  EXPECT_EQ(ImageFormatOf("a/b.BMP"), ImageFormat::Bmp);
  EXPECT_EQ(ImageFormatOf("b.png"), ImageFormat::Png);
  EXPECT_FALSE(ImageFormatOf("b.jpg"));
  EXPECT_FALSE(ImageFormatOf("bmp"));
}

}  // namespace
}  // namespace orb
