#include "common/plot_raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace orb {
namespace {

// The built-in 5 x 7 font, characters 32 to 126: five columns a glyph, left
// to right, bit 0 the top dot.
constexpr std::array<std::uint8_t, 95 * 5> kFont = {
    0x00, 0x00, 0x00, 0x00, 0x00,  // ' '
    0x00, 0x00, 0x5F, 0x00, 0x00,  // !
    0x00, 0x07, 0x00, 0x07, 0x00,  // "
    0x14, 0x7F, 0x14, 0x7F, 0x14,  // #
    0x24, 0x2A, 0x7F, 0x2A, 0x12,  // $
    0x23, 0x13, 0x08, 0x64, 0x62,  // %
    0x36, 0x49, 0x55, 0x22, 0x50,  // &
    0x00, 0x05, 0x03, 0x00, 0x00,  // '
    0x00, 0x1C, 0x22, 0x41, 0x00,  // (
    0x00, 0x41, 0x22, 0x1C, 0x00,  // )
    0x08, 0x2A, 0x1C, 0x2A, 0x08,  // *
    0x08, 0x08, 0x3E, 0x08, 0x08,  // +
    0x00, 0x50, 0x30, 0x00, 0x00,  // ,
    0x08, 0x08, 0x08, 0x08, 0x08,  // -
    0x00, 0x60, 0x60, 0x00, 0x00,  // .
    0x20, 0x10, 0x08, 0x04, 0x02,  // /
    0x3E, 0x51, 0x49, 0x45, 0x3E,  // 0
    0x00, 0x42, 0x7F, 0x40, 0x00,  // 1
    0x42, 0x61, 0x51, 0x49, 0x46,  // 2
    0x21, 0x41, 0x45, 0x4B, 0x31,  // 3
    0x18, 0x14, 0x12, 0x7F, 0x10,  // 4
    0x27, 0x45, 0x45, 0x45, 0x39,  // 5
    0x3C, 0x4A, 0x49, 0x49, 0x30,  // 6
    0x01, 0x71, 0x09, 0x05, 0x03,  // 7
    0x36, 0x49, 0x49, 0x49, 0x36,  // 8
    0x06, 0x49, 0x49, 0x29, 0x1E,  // 9
    0x00, 0x36, 0x36, 0x00, 0x00,  // :
    0x00, 0x56, 0x36, 0x00, 0x00,  // ;
    0x08, 0x14, 0x22, 0x41, 0x00,  // <
    0x14, 0x14, 0x14, 0x14, 0x14,  // =
    0x00, 0x41, 0x22, 0x14, 0x08,  // >
    0x02, 0x01, 0x51, 0x09, 0x06,  // ?
    0x32, 0x49, 0x79, 0x41, 0x3E,  // @
    0x7E, 0x11, 0x11, 0x11, 0x7E,  // A
    0x7F, 0x49, 0x49, 0x49, 0x36,  // B
    0x3E, 0x41, 0x41, 0x41, 0x22,  // C
    0x7F, 0x41, 0x41, 0x22, 0x1C,  // D
    0x7F, 0x49, 0x49, 0x49, 0x41,  // E
    0x7F, 0x09, 0x09, 0x09, 0x01,  // F
    0x3E, 0x41, 0x49, 0x49, 0x7A,  // G
    0x7F, 0x08, 0x08, 0x08, 0x7F,  // H
    0x00, 0x41, 0x7F, 0x41, 0x00,  // I
    0x20, 0x40, 0x41, 0x3F, 0x01,  // J
    0x7F, 0x08, 0x14, 0x22, 0x41,  // K
    0x7F, 0x40, 0x40, 0x40, 0x40,  // L
    0x7F, 0x02, 0x0C, 0x02, 0x7F,  // M
    0x7F, 0x04, 0x08, 0x10, 0x7F,  // N
    0x3E, 0x41, 0x41, 0x41, 0x3E,  // O
    0x7F, 0x09, 0x09, 0x09, 0x06,  // P
    0x3E, 0x41, 0x51, 0x21, 0x5E,  // Q
    0x7F, 0x09, 0x19, 0x29, 0x46,  // R
    0x46, 0x49, 0x49, 0x49, 0x31,  // S
    0x01, 0x01, 0x7F, 0x01, 0x01,  // T
    0x3F, 0x40, 0x40, 0x40, 0x3F,  // U
    0x1F, 0x20, 0x40, 0x20, 0x1F,  // V
    0x3F, 0x40, 0x38, 0x40, 0x3F,  // W
    0x63, 0x14, 0x08, 0x14, 0x63,  // X
    0x07, 0x08, 0x70, 0x08, 0x07,  // Y
    0x61, 0x51, 0x49, 0x45, 0x43,  // Z
    0x00, 0x7F, 0x41, 0x41, 0x00,  // [
    0x02, 0x04, 0x08, 0x10, 0x20,  // backslash
    0x00, 0x41, 0x41, 0x7F, 0x00,  // ]
    0x04, 0x02, 0x01, 0x02, 0x04,  // ^
    0x40, 0x40, 0x40, 0x40, 0x40,  // _
    0x00, 0x01, 0x02, 0x04, 0x00,  // `
    0x20, 0x54, 0x54, 0x54, 0x78,  // a
    0x7F, 0x48, 0x44, 0x44, 0x38,  // b
    0x38, 0x44, 0x44, 0x44, 0x20,  // c
    0x38, 0x44, 0x44, 0x48, 0x7F,  // d
    0x38, 0x54, 0x54, 0x54, 0x18,  // e
    0x08, 0x7E, 0x09, 0x01, 0x02,  // f
    0x0C, 0x52, 0x52, 0x52, 0x3E,  // g
    0x7F, 0x08, 0x04, 0x04, 0x78,  // h
    0x00, 0x44, 0x7D, 0x40, 0x00,  // i
    0x20, 0x40, 0x44, 0x3D, 0x00,  // j
    0x7F, 0x10, 0x28, 0x44, 0x00,  // k
    0x00, 0x41, 0x7F, 0x40, 0x00,  // l
    0x7C, 0x04, 0x18, 0x04, 0x78,  // m
    0x7C, 0x08, 0x04, 0x04, 0x78,  // n
    0x38, 0x44, 0x44, 0x44, 0x38,  // o
    0x7C, 0x14, 0x14, 0x14, 0x08,  // p
    0x08, 0x14, 0x14, 0x18, 0x7C,  // q
    0x7C, 0x08, 0x04, 0x04, 0x08,  // r
    0x48, 0x54, 0x54, 0x54, 0x20,  // s
    0x04, 0x3F, 0x44, 0x40, 0x20,  // t
    0x3C, 0x40, 0x40, 0x20, 0x7C,  // u
    0x1C, 0x20, 0x40, 0x20, 0x1C,  // v
    0x3C, 0x40, 0x30, 0x40, 0x3C,  // w
    0x44, 0x28, 0x10, 0x28, 0x44,  // x
    0x0C, 0x50, 0x50, 0x50, 0x3C,  // y
    0x44, 0x64, 0x54, 0x4C, 0x44,  // z
    0x00, 0x08, 0x36, 0x41, 0x00,  // {
    0x00, 0x00, 0x7F, 0x00, 0x00,  // |
    0x00, 0x41, 0x36, 0x08, 0x00,  // }
    0x08, 0x04, 0x08, 0x10, 0x08,  // ~
};
// The glyph of a character the font does not hold: a hollow box.
constexpr std::array<std::uint8_t, 5> kMissingGlyph = {0x7F, 0x41, 0x41, 0x41, 0x7F};

// Pixel positions are kept well inside int, whatever the user coordinates.
int ClampPixel(double v) {
  constexpr double limit = 1 << 28;
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::floor(std::clamp(v, -limit, limit)));
}

void Dot(RgbImage& img, int x, int y, int width, PlotColour c) {
  const int lo = -(width - 1) / 2;
  for (int dy = lo; dy < lo + width; ++dy)
    for (int dx = lo; dx < lo + width; ++dx) img.set(x + dx, y + dy, c);
}

// Cuts the segment to the rectangle [x0, x1] x [y0, y1] (Liang-Barsky);
// false when nothing of it lies inside.
bool ClipSegment(double& ax, double& ay, double& bx, double& by, double x0, double y0, double x1, double y1) {
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {ax - x0, x1 - ax, ay - y0, y1 - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
  }
  const double sx = ax, sy = ay;
  ax = sx + t0 * dx;
  ay = sy + t0 * dy;
  bx = sx + t1 * dx;
  by = sy + t1 * dy;
  return true;
}

// A line between two pixels (Bresenham), drawn with a square pen.
void PixelLine(RgbImage& img, int x0, int y0, int x1, int y1, int width, PlotColour c) {
  const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    Dot(img, x0, y0, width, c);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

struct Mapper {
  const PlotScene& scene;
  int width, height;
  double fx(double x) const { return (x - scene.left) * width / (scene.right - scene.left); }
  double fy(double y) const { return (y - scene.top) * height / (scene.bottom - scene.top); }
};

void UserLine(RgbImage& img, const Mapper& m, PlotPoint a, PlotPoint b, int width, PlotColour c) {
  double ax = m.fx(a.x), ay = m.fy(a.y), bx = m.fx(b.x), by = m.fy(b.y);
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by)) return;
  // Only the part near the picture is walked pixel by pixel.
  const double margin = width + 2;
  if (!ClipSegment(ax, ay, bx, by, -margin, -margin, img.width + margin, img.height + margin)) return;
  PixelLine(img, ClampPixel(ax), ClampPixel(ay), ClampPixel(bx), ClampPixel(by), width, c);
}

void FillPixels(RgbImage& img, int x0, int y0, int x1, int y1, PlotColour c) {
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, img.width - 1);
  y1 = std::min(y1, img.height - 1);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) img.set(x, y, c);
}

void DrawText(RgbImage& img, int x, int y, const std::string& text, PlotColour c, int scale) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto ch = static_cast<unsigned char>(text[i]);
    if ((ch & 0xC0) == 0x80) continue;  // the rest of a UTF-8 character: one glyph for it
    const std::uint8_t* glyph =
        ch >= 32 && ch <= 126 ? &kFont[std::size_t(ch - 32) * 5] : kMissingGlyph.data();
    for (int col = 0; col < 5; ++col)
      for (int row = 0; row < 7; ++row)
        if (glyph[col] & (1u << row))
          FillPixels(img, x + col * scale, y + row * scale, x + (col + 1) * scale - 1, y + (row + 1) * scale - 1, c);
    x += kGlyphWidth * scale;
  }
}

void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
void Put32Big(std::string& s, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
}

void PngChunk(std::string& out, std::string_view type, std::string_view data) {
  Put32Big(out, static_cast<std::uint32_t>(data.size()));
  std::string body(type);
  body += data;
  out += body;
  Put32Big(out, Crc32(body));
}

}  // namespace

RgbImage::RgbImage(int w, int h, PlotColour background)
    : width(std::max(w, 0)), height(std::max(h, 0)), pixels(std::size_t(width) * height * 3) {
  for (std::size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = static_cast<std::uint8_t>(background >> 16);
    pixels[i + 1] = static_cast<std::uint8_t>(background >> 8);
    pixels[i + 2] = static_cast<std::uint8_t>(background);
  }
}

PlotColour RgbImage::at(int x, int y) const {
  if (!contains(x, y)) return 0;
  const std::size_t i = (std::size_t(y) * width + x) * 3;
  return (PlotColour(pixels[i]) << 16) | (PlotColour(pixels[i + 1]) << 8) | pixels[i + 2];
}

void RgbImage::set(int x, int y, PlotColour c) {
  if (!contains(x, y)) return;
  const std::size_t i = (std::size_t(y) * width + x) * 3;
  pixels[i] = static_cast<std::uint8_t>(c >> 16);
  pixels[i + 1] = static_cast<std::uint8_t>(c >> 8);
  pixels[i + 2] = static_cast<std::uint8_t>(c);
}

int PixelX(const PlotScene& scene, int width, double x) { return ClampPixel(Mapper{scene, width, 0}.fx(x)); }
int PixelY(const PlotScene& scene, int height, double y) { return ClampPixel(Mapper{scene, 0, height}.fy(y)); }

RgbImage RasterizePlot(const PlotScene& scene, int width, int height, int textScale) {
  RgbImage img(width, height, scene.background);
  if (img.width == 0 || img.height == 0 || scene.right == scene.left || scene.bottom == scene.top) return img;
  const Mapper m{scene, img.width, img.height};
  const int scale = std::max(textScale, 1);
  for (const PlotItem& item : scene.items) {
    const int w = std::clamp(item.width, 1, 64);
    switch (item.kind) {
      case PlotItem::Kind::Line:
        if (item.points.size() >= 2) UserLine(img, m, item.points[0], item.points[1], w, item.colour);
        break;
      case PlotItem::Kind::Polyline:
        if (item.points.size() == 1) UserLine(img, m, item.points[0], item.points[0], w, item.colour);
        for (std::size_t i = 1; i < item.points.size(); ++i)
          UserLine(img, m, item.points[i - 1], item.points[i], w, item.colour);
        break;
      case PlotItem::Kind::Box: {
        if (item.points.size() < 2) break;
        const PlotPoint a = item.points[0], b = item.points[1];
        if (item.filled)
          FillPixels(img, ClampPixel(m.fx(a.x)), ClampPixel(m.fy(a.y)), ClampPixel(m.fx(b.x)),
                     ClampPixel(m.fy(b.y)), item.fill);
        if (!item.noOutline) {
          UserLine(img, m, {a.x, a.y}, {b.x, a.y}, w, item.colour);
          UserLine(img, m, {b.x, a.y}, {b.x, b.y}, w, item.colour);
          UserLine(img, m, {b.x, b.y}, {a.x, b.y}, w, item.colour);
          UserLine(img, m, {a.x, b.y}, {a.x, a.y}, w, item.colour);
        }
        break;
      }
      case PlotItem::Kind::Text:
        if (!item.points.empty())
          DrawText(img, ClampPixel(m.fx(item.points[0].x)), ClampPixel(m.fy(item.points[0].y)), item.text,
                   item.colour, scale);
        break;
    }
  }
  return img;
}

std::string EncodeBmp(const RgbImage& image) {
  const std::uint32_t rowBytes = (std::uint32_t(image.width) * 3 + 3) & ~3u;
  const std::uint32_t imageBytes = rowBytes * std::uint32_t(image.height);
  const std::uint32_t headers = 14 + 40;
  std::string out;
  out.reserve(headers + imageBytes);
  out += "BM";
  Put32(out, headers + imageBytes);  // file size
  Put32(out, 0);                     // reserved
  Put32(out, headers);               // offset of the pixels
  Put32(out, 40);                    // BITMAPINFOHEADER
  Put32(out, std::uint32_t(image.width));
  Put32(out, std::uint32_t(image.height));  // positive: bottom-up rows
  Put16(out, 1);                            // planes
  Put16(out, 24);                           // bits a pixel
  Put32(out, 0);                            // BI_RGB
  Put32(out, imageBytes);
  Put32(out, 3780);  // 96 dots per inch, in dots per metre
  Put32(out, 3780);
  Put32(out, 0);  // colours used
  Put32(out, 0);  // important colours
  for (int y = image.height - 1; y >= 0; --y) {
    const std::size_t row = std::size_t(y) * image.width * 3;
    for (int x = 0; x < image.width; ++x) {
      const std::size_t i = row + std::size_t(x) * 3;
      out += static_cast<char>(image.pixels[i + 2]);
      out += static_cast<char>(image.pixels[i + 1]);
      out += static_cast<char>(image.pixels[i]);
    }
    out.append(rowBytes - std::uint32_t(image.width) * 3, '\0');
  }
  return out;
}

std::string EncodePng(const RgbImage& image) {
  // The scan lines, each behind its filter byte (0, none).
  std::string raw;
  const std::size_t rowBytes = std::size_t(image.width) * 3;
  raw.reserve((rowBytes + 1) * image.height);
  for (int y = 0; y < image.height; ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(image.pixels.data()) + y * rowBytes, rowBytes);
  }
  // A zlib stream of stored deflate blocks of at most 65,535 bytes.
  std::string z;
  z += static_cast<char>(0x78);
  z += static_cast<char>(0x01);
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
    const bool last = pos + n == raw.size();
    z += static_cast<char>(last ? 1 : 0);
    Put16(z, static_cast<std::uint32_t>(n));
    Put16(z, static_cast<std::uint32_t>(~n & 0xFFFF));
    z.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  Put32Big(z, Adler32(raw));

  std::string out("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  Put32Big(ihdr, std::uint32_t(image.width));
  Put32Big(ihdr, std::uint32_t(image.height));
  ihdr += static_cast<char>(8);  // bits a sample
  ihdr += static_cast<char>(2);  // colour type: RGB
  ihdr += static_cast<char>(0);  // deflate
  ihdr += static_cast<char>(0);  // adaptive filtering
  ihdr += static_cast<char>(0);  // no interlace
  PngChunk(out, "IHDR", ihdr);
  PngChunk(out, "IDAT", z);
  PngChunk(out, "IEND", {});
  return out;
}

std::uint32_t Crc32(std::string_view bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(std::string_view bytes) {
  std::uint32_t a = 1, b = 0;
  for (unsigned char v : bytes) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

}  // namespace orb
