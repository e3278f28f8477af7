// Writes the plate files shipped in data/ (k384, k96f, k96u, k96flat, k48,
// k24, k6). Not part of the build; run it by hand after changing a layout:
//   g++ -std=c++20 -I. -o /tmp/make_plate_files tests/plate/make_plate_files.cpp
//   /tmp/make_plate_files data
// plate_files_test.cpp checks the files it writes.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "common/beam_geometry.h"

namespace {

using orb::kChannels;
using orb::kGridColumns;
using orb::kGridRows;

struct Layout {
  const char* code;
  const char* title;
  int rows;
  double rowStep, rowOffset;
  int columns;
  double columnStep, columnOffset;
  // Well and beam of the channel in grid row `gr`, grid column `gc`; well -1
  // for an unused channel.
  std::function<void(int gr, int gc, int& well, int& beam)> map;
};

std::string Real(double v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

std::string Label(const Layout& l, int well) {
  if (well < 0) return "none";
  return std::string(1, static_cast<char>('A' + well % l.rows)) + std::to_string(well / l.rows + 1);
}

void Write(const Layout& l, const std::string& folder) {
  std::string out = "\"" + std::string(l.title) + "\"\r\n";
  out += "\"Plate file " + std::string(l.code) +
         ": <Rows> <RowStep> <RowOffset> <Columns> <ColumnStep> <ColumnOffset>\"\r\n";
  out += std::to_string(l.rows) + "," + Real(l.rowStep) + "," + Real(l.rowOffset) + "," +
         std::to_string(l.columns) + "," + Real(l.columnStep) + "," + Real(l.columnOffset) + "\r\n";
  out += "\"<Label> <ChannelWell> <ChannelBeam>\"\r\n";
  for (int c = 0; c < kChannels; ++c) {
    int well = -1, beam = 0;
    l.map(c % kGridRows, c / kGridRows, well, beam);
    out += "\"" + Label(l, well) + "\"," + std::to_string(well) + "," + std::to_string(beam) + "\r\n";
  }
  std::ofstream(folder + "/" + l.code + ".dat", std::ios::binary) << out;
}

// Beams of a well numbered in channel order (down the grid columns) among the
// cells of its block for which `inWell` holds.
void BlockMap(int gr, int gc, int blockRows, int blockColumns, int wellRows,
              const std::function<bool(int r, int c)>& inWell, int& well, int& beam) {
  int r0 = gr / blockRows * blockRows, c0 = gc / blockColumns * blockColumns;
  if (!inWell(gr - r0, gc - c0)) return;
  well = (gc / blockColumns) * wellRows + gr / blockRows;
  beam = 0;
  for (int c = 0; c < blockColumns; ++c)
    for (int r = 0; r < blockRows; ++r) {
      if (r == gr - r0 && c == gc - c0) return;
      if (inWell(r, c)) ++beam;
    }
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : "data";
  const Layout layouts[] = {
      {"k384", "384 Well microplate [1microbeams/well]", 16, 1, 0, 24, 1, 0,
       [](int gr, int gc, int& w, int& b) { w = gc * kGridRows + gr; b = 0; }},
      {"k96u", "96 Wells U shape bottom [1microbeam/well]", 8, 2, -0.5, 12, 2, -0.5,
       [](int gr, int gc, int& w, int& b) {
         if (gr % 2 == 0 && gc % 2 == 0) w = gc / 2 * 8 + gr / 2, b = 0;
       }},
      {"k96f", "96 Wells flat bottom [2microbeams/well]", 8, 2, -0.5, 12, 2, 0,
       [](int gr, int gc, int& w, int& b) {
         if (gr % 2 == 0) w = gc / 2 * 8 + gr / 2, b = gc % 2;
       }},
      {"k96flat", "96 Wells flat bottom [4microbeams/well]", 8, 2, 0, 12, 2, 0,
       [](int gr, int gc, int& w, int& b) { w = gc / 2 * 8 + gr / 2; b = gr % 2 + 2 * (gc % 2); }},
      // 6 rows of 2.6 grid rows from 0.2 to 15.8; 8 columns of 3 grid columns.
      // The middle grid column of each well, grid rows whose centre lies within
      // one cell of the well's centre: 3 beams in rows A and F, 2 elsewhere.
      {"k48", "48 Wells flat bottom [1-3microbeams/well]", 6, 2.6, 0.2, 8, 3, 0,
       [](int gr, int gc, int& w, int& b) {
         if (gc % 3 != 1) return;
         for (int r = 0; r < 6; ++r) {
           int centreY10 = 15 + 26 * r, cellY10 = 10 * gr + 5;
           if (std::abs(cellY10 - centreY10) > 10) continue;
           w = gc / 3 * 6 + r;
           b = 0;
           for (int g = 0; g < gr; ++g)
             if (std::abs(10 * g + 5 - centreY10) <= 10) ++b;
           return;
         }
       }},
      // 4 x 6 wells of 4 x 4 cells; the 2 x 2 cells in the middle of each.
      {"k24", "24 Wells flat bottom [4microbeams/well]", 4, 4, 0, 6, 4, 0,
       [](int gr, int gc, int& w, int& b) {
         BlockMap(gr, gc, 4, 4, 4, [](int r, int c) { return (r == 1 || r == 2) && (c == 1 || c == 2); }, w, b);
       }},
      // 2 x 3 wells of 8 x 8 cells; the 32 cells whose centre lies within
      // about 2.9 cells of the well's centre.
      {"k6", "6 Wells flat bottom [30-32microbeams/well]", 2, 8, 0, 3, 8, 0,
       [](int gr, int gc, int& w, int& b) {
         BlockMap(gr, gc, 8, 8, 2,
                  [](int r, int c) { return (2 * r - 7) * (2 * r - 7) + (2 * c - 7) * (2 * c - 7) <= 34; }, w, b);
       }},
  };
  for (const auto& l : layouts) Write(l, folder);
  std::printf("plate files written to %s\n", folder.c_str());
  return 0;
}
