// A picture of the program as a retained list of drawing items in the
// picture's own (user) coordinates: what the core says to draw, which a
// window's plotting widget only paints. The live trace, the activity plots,
// the browser's signal viewer and the self-test grid are all PlotScenes.
//
// The user coordinate system maps `left`..`right` across the picture and
// `bottom`..`top` up it (y grows upwards when top > bottom, as in the
// instrument's pictures); any of them may be negative.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orb {

// 0xRRGGBB.
using PlotColour = std::uint32_t;
inline constexpr PlotColour kPlotWhite = 0xFFFFFF;
inline constexpr PlotColour kPlotBlack = 0x000000;
inline constexpr PlotColour kPlotRed = 0xFF0000;
inline constexpr PlotColour kPlotBlue = 0x0000FF;
inline constexpr PlotColour kPlotLightBlue = 0x80C0FF;

inline constexpr PlotColour PlotGrey(int level) {
  const auto v = static_cast<PlotColour>(level < 0 ? 0 : level > 255 ? 255 : level);
  return (v << 16) | (v << 8) | v;
}

struct PlotPoint {
  double x = 0, y = 0;
  bool operator==(const PlotPoint&) const = default;
};

struct PlotItem {
  enum class Kind { Line, Polyline, Box, Text };
  Kind kind = Kind::Line;
  PlotColour colour = kPlotBlack;
  // Line: points[0] to points[1]. Polyline: every point in turn.
  // Box: the corners points[0] and points[1]. Text: its top-left corner at points[0].
  std::vector<PlotPoint> points;
  int width = 1;               // line width in pixels (Line, Polyline, outlined Box)
  bool filled = false;         // Box: filled with `fill` (and outlined in `colour` unless noOutline)
  bool noOutline = false;      // Box: fill only
  PlotColour fill = kPlotWhite;
  std::string text;            // Text, UTF-8
  bool operator==(const PlotItem&) const = default;
};

struct PlotScene {
  double left = 0, top = 1, right = 1, bottom = 0;
  PlotColour background = kPlotWhite;
  std::vector<PlotItem> items;

  void scale(double l, double t, double r, double b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  void line(PlotPoint a, PlotPoint b, PlotColour c, int w = 1) {
    items.push_back({PlotItem::Kind::Line, c, {a, b}, w, false, false, kPlotWhite, {}});
  }
  void polyline(std::vector<PlotPoint> pts, PlotColour c, int w = 1) {
    items.push_back({PlotItem::Kind::Polyline, c, std::move(pts), w, false, false, kPlotWhite, {}});
  }
  // An outlined box.
  void box(PlotPoint a, PlotPoint b, PlotColour c, int w = 1) {
    items.push_back({PlotItem::Kind::Box, c, {a, b}, w, false, false, kPlotWhite, {}});
  }
  // A box filled with `fill`, outlined in `outline`.
  void filledBox(PlotPoint a, PlotPoint b, PlotColour fill, PlotColour outline, int w = 1) {
    items.push_back({PlotItem::Kind::Box, outline, {a, b}, w, true, false, fill, {}});
  }
  // A box filled with `fill`, without outline (a wipe).
  void fillBox(PlotPoint a, PlotPoint b, PlotColour fill) {
    items.push_back({PlotItem::Kind::Box, fill, {a, b}, 1, true, true, fill, {}});
  }
  void text(PlotPoint at, std::string s, PlotColour c = kPlotBlack) {
    items.push_back({PlotItem::Kind::Text, c, {at}, 1, false, false, kPlotWhite, std::move(s)});
  }
};

}  // namespace orb
