// Drawing a PlotScene into pixels without a window, and the two picture
// files the program writes: a 24-bit Windows bitmap and a PNG. The window's
// "Export to BMP..." and the command line both use this rasterizer, so the
// same scene gives the same bytes wherever it is saved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/plot_scene.h"

namespace orb {

// An RGB picture, rows top to bottom, 3 bytes a pixel (R, G, B).
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  RgbImage() = default;
  RgbImage(int w, int h, PlotColour background);
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  PlotColour at(int x, int y) const;
  void set(int x, int y, PlotColour c);  // outside the picture: nothing
};

// The glyph cell of the built-in font: 5 x 7 dots in a 6 x 8 cell.
inline constexpr int kGlyphWidth = 6;
inline constexpr int kGlyphHeight = 8;

// The pixel column / row of a user coordinate of `scene` in a picture of
// `width` x `height` (the pixel the point falls in; may lie outside).
int PixelX(const PlotScene& scene, int width, double x);
int PixelY(const PlotScene& scene, int height, double y);

// Draws every item of the scene in order over its background. Lines of
// width w are drawn with a square pen of w pixels centred on the line;
// texts with the built-in font (printable ASCII; any other character is a
// box), each dot `textScale` pixels square, the text's top-left corner at
// its point.
RgbImage RasterizePlot(const PlotScene& scene, int width, int height, int textScale = 1);

// A Windows bitmap file: BITMAPFILEHEADER, BITMAPINFOHEADER (40 bytes),
// 24 bits a pixel in B, G, R order, rows bottom-up, each padded to 4 bytes,
// 96 dots per inch.
std::string EncodeBmp(const RgbImage& image);
// A PNG file: 8-bit RGB, no interlace, the picture in stored (uncompressed)
// deflate blocks inside one IDAT chunk.
std::string EncodePng(const RgbImage& image);

// The checksums of PNG chunks (CRC-32, polynomial 0xEDB88320) and of zlib
// streams (Adler-32).
std::uint32_t Crc32(std::string_view bytes);
std::uint32_t Adler32(std::string_view bytes);

}  // namespace orb
