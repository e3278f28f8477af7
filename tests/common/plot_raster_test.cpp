// The software rasterizer of PlotScenes and the BMP and PNG files it feeds.
#include "common/plot_raster.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace orb {
namespace {

std::uint32_t Le32(const std::string& s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
         std::uint32_t(std::uint8_t(s[at + 2])) << 16 | std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}
std::uint16_t Le16(const std::string& s, std::size_t at) {
  return std::uint16_t(std::uint8_t(s[at]) | std::uint8_t(s[at + 1]) << 8);
}
std::uint32_t Be32(const std::string& s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) << 24 | std::uint32_t(std::uint8_t(s[at + 1])) << 16 |
         std::uint32_t(std::uint8_t(s[at + 2])) << 8 | std::uint32_t(std::uint8_t(s[at + 3]));
}

constexpr PlotColour kGreen = 0x00FF00;

// A 10 x 10 picture, one user unit a pixel, y growing downwards.
PlotScene PixelScene() {
  PlotScene s;
  s.scale(0, 0, 10, 10);
  return s;
}

int CountColour(const RgbImage& img, PlotColour c) {
  int n = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) n += img.at(x, y) == c;
  return n;
}

TEST(PlotRaster, HorizontalLineLandsOnItsRowOnly) {
  PlotScene s = PixelScene();
  s.line({1, 3}, {8, 3}, kPlotRed);
  const RgbImage img = RasterizePlot(s, 10, 10);
  for (int x = 0; x < 10; ++x)
    for (int y = 0; y < 10; ++y)
      EXPECT_EQ(img.at(x, y), (y == 3 && x >= 1 && x <= 8) ? kPlotRed : kPlotWhite) << x << "," << y;
}

TEST(PlotRaster, YGrowsUpWhenTopIsAboveBottom) {
  PlotScene s;
  s.scale(0, 10, 10, 0);  // top 10, bottom 0
  s.line({0, 9.5}, {9.9, 9.5}, kPlotBlue);  // near the top
  const RgbImage img = RasterizePlot(s, 10, 10);
  EXPECT_EQ(img.at(5, 0), kPlotBlue);
  EXPECT_EQ(img.at(5, 9), kPlotWhite);
}

TEST(PlotRaster, DiagonalAndWideLines) {
  PlotScene s = PixelScene();
  s.line({0, 0}, {9, 9}, kPlotBlack);
  RgbImage img = RasterizePlot(s, 10, 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(img.at(i, i), kPlotBlack);
  EXPECT_EQ(CountColour(img, kPlotBlack), 10);

  PlotScene w = PixelScene();
  w.line({2, 5}, {7, 5}, kPlotRed, 3);
  img = RasterizePlot(w, 10, 10);
  // The square pen reaches one pixel beyond each end as well.
  EXPECT_EQ(CountColour(img, kPlotRed), 8 * 3);
  EXPECT_EQ(img.at(1, 5), kPlotRed);
  EXPECT_EQ(img.at(9, 5), kPlotWhite);
  EXPECT_EQ(img.at(4, 4), kPlotRed);
  EXPECT_EQ(img.at(4, 6), kPlotRed);
  EXPECT_EQ(img.at(4, 7), kPlotWhite);
}

TEST(PlotRaster, LinesFarOutsideAreClippedNotLost) {
  PlotScene s = PixelScene();
  s.line({-1e9, 4}, {1e9, 4}, kGreen);
  const RgbImage img = RasterizePlot(s, 10, 10);
  EXPECT_EQ(CountColour(img, kGreen), 10);
}

TEST(PlotRaster, BoxesFilledAndOutlined) {
  PlotScene s = PixelScene();
  s.filledBox({2, 2}, {5, 5}, kPlotBlue, kPlotBlack);
  s.box({7, 7}, {9, 9}, kPlotRed);
  s.fillBox({0, 8}, {1, 9}, kPlotLightBlue);
  const RgbImage img = RasterizePlot(s, 10, 10);
  EXPECT_EQ(img.at(3, 3), kPlotBlue);  // inside
  EXPECT_EQ(img.at(2, 2), kPlotBlack);  // outline over the fill
  EXPECT_EQ(img.at(5, 4), kPlotBlack);
  EXPECT_EQ(CountColour(img, kPlotBlue), 4);
  EXPECT_EQ(img.at(8, 8), kPlotWhite);  // an outlined box stays hollow
  EXPECT_EQ(CountColour(img, kPlotRed), 8);
  EXPECT_EQ(CountColour(img, kPlotLightBlue), 4);
}

TEST(PlotRaster, TextUsesTheBuiltInFontInItsCell) {
  PlotScene s;
  s.scale(0, 0, 30, 10);
  s.text({0, 0}, "I", kPlotBlack);
  RgbImage img = RasterizePlot(s, 30, 10);
  // "I": the middle column full height, serifs at top and bottom.
  for (int y = 0; y < 7; ++y) EXPECT_EQ(img.at(2, y), kPlotBlack) << y;
  EXPECT_EQ(img.at(1, 0), kPlotBlack);
  EXPECT_EQ(img.at(3, 6), kPlotBlack);
  EXPECT_EQ(img.at(0, 3), kPlotWhite);
  EXPECT_EQ(CountColour(img, kPlotBlack), 7 + 4);

  // Each character moves one cell; a blank draws nothing; scale 2 doubles.
  s.items.clear();
  s.text({0, 0}, " I");
  img = RasterizePlot(s, 30, 10);
  EXPECT_EQ(img.at(2, 3), kPlotWhite);
  EXPECT_EQ(img.at(kGlyphWidth + 2, 3), kPlotBlack);
  s.items.clear();
  s.text({0, 0}, "I");
  img = RasterizePlot(s, 30, 20, 2);
  EXPECT_EQ(CountColour(img, kPlotBlack), (7 + 4) * 4);
  // A character outside ASCII still shows (as a box), once.
  s.items.clear();
  s.text({0, 0}, "\xC3\xA9");
  img = RasterizePlot(s, 30, 10);
  EXPECT_EQ(CountColour(img, kPlotBlack), 20);
}

TEST(PlotRaster, BmpHeaderAndBottomUpPaddedRows) {
  RgbImage img(3, 2, kPlotWhite);
  img.set(0, 0, 0x102030);  // top-left
  img.set(2, 1, 0x405060);  // bottom-right
  const std::string bmp = EncodeBmp(img);
  const std::size_t row = 12;  // 9 bytes padded to 12
  ASSERT_EQ(bmp.size(), 54 + row * 2);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(Le32(bmp, 2), bmp.size());
  EXPECT_EQ(Le32(bmp, 10), 54u);
  EXPECT_EQ(Le32(bmp, 14), 40u);
  EXPECT_EQ(Le32(bmp, 18), 3u);
  EXPECT_EQ(Le32(bmp, 22), 2u);
  EXPECT_EQ(Le16(bmp, 26), 1);
  EXPECT_EQ(Le16(bmp, 28), 24);
  EXPECT_EQ(Le32(bmp, 30), 0u);
  EXPECT_EQ(Le32(bmp, 34), row * 2);
  // The first stored row is the bottom one, B G R.
  EXPECT_EQ(bmp.substr(54 + 6, 3), std::string("\x60\x50\x40", 3));
  EXPECT_EQ(bmp.substr(54 + 9, 3), std::string(3, '\0'));
  EXPECT_EQ(bmp.substr(54 + row, 3), std::string("\x30\x20\x10", 3));
}

TEST(PlotRaster, ChecksumsOfKnownTexts) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32(""), 0u);
  EXPECT_EQ(Adler32("Wikipedia"), 0x11E60398u);
  EXPECT_EQ(Adler32(""), 1u);
}

TEST(PlotRaster, PngChunksCarryTheirLengthsAndCrcs) {
  RgbImage img(200, 150, kPlotWhite);  // 90,150 bytes of scan lines: two stored blocks
  img.set(0, 0, 0xABCDEF);
  img.set(199, 149, 0x123456);
  const std::string png = EncodePng(img);
  ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

  std::size_t at = 8;
  std::string idat;
  std::vector<std::string> types;
  while (at + 12 <= png.size()) {
    const std::uint32_t length = Be32(png, at);
    const std::string type = png.substr(at + 4, 4);
    ASSERT_LE(at + 12 + length, png.size());
    const std::string body = png.substr(at + 4, 4 + length);
    EXPECT_EQ(Be32(png, at + 8 + length), Crc32(body)) << type;
    if (type == "IHDR") {
      EXPECT_EQ(length, 13u);
      EXPECT_EQ(Be32(png, at + 8), 200u);
      EXPECT_EQ(Be32(png, at + 12), 150u);
      EXPECT_EQ(png.substr(at + 16, 5), std::string("\x08\x02\x00\x00\x00", 5));
    }
    if (type == "IDAT") idat += png.substr(at + 8, length);
    types.push_back(type);
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

  // The zlib stream: header, stored blocks whose LEN / NLEN agree, Adler-32
  // of the scan lines; the scan lines hold the pixels behind filter byte 0.
  ASSERT_GE(idat.size(), 6u);
  EXPECT_EQ((std::uint8_t(idat[0]) * 256 + std::uint8_t(idat[1])) % 31, 0);
  std::string raw;
  std::size_t p = 2;
  bool last = false;
  while (!last) {
    ASSERT_LE(p + 5, idat.size());
    last = (idat[p] & 1) != 0;
    EXPECT_EQ(idat[p] & 6, 0);  // stored
    const std::uint16_t len = Le16(idat, p + 1), nlen = Le16(idat, p + 3);
    EXPECT_EQ(std::uint16_t(~len), nlen);
    raw += idat.substr(p + 5, len);
    p += 5 + len;
  }
  ASSERT_EQ(p + 4, idat.size());
  EXPECT_EQ(Be32(idat, p), Adler32(raw));
  ASSERT_EQ(raw.size(), 150u * (200 * 3 + 1));
  EXPECT_EQ(raw.substr(0, 4), std::string("\x00\xAB\xCD\xEF", 4));
  EXPECT_EQ(raw.substr(raw.size() - 3), std::string("\x12\x34\x56", 3));
}

}  // namespace
}  // namespace orb
