// The plate files shipped in data/.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "plate/plate_format.h"

namespace orb {
namespace {

const std::filesystem::path kData = ORB_DATA_DIR;

PlateFormat Load(const std::string& code) {
  PlateFormat p;
  EXPECT_NO_THROW(ReloadPlateFormat(kData, code, p)) << code;
  return p;
}

TEST(PlateFiles, FilesMatchTheBuiltInLayouts) {
  for (std::string code : {"k384", "k96f", "k96u", "k24", "k6"}) {
    PlateFormat file = Load(code), builtIn;
    ASSERT_TRUE(ApplyBuiltInPlateFormat(code, builtIn));
    EXPECT_EQ(std::vector<double>({double(file.Rows), file.RowStep, file.RowOffset, double(file.Columns),
                                   file.ColumnStep, file.ColumnOffset}),
              std::vector<double>({double(builtIn.Rows), builtIn.RowStep, builtIn.RowOffset,
                                   double(builtIn.Columns), builtIn.ColumnStep, builtIn.ColumnOffset}))
        << code;
    if (code == "k24" || code == "k6") continue;  // their built-ins set the geometry only
    EXPECT_EQ(file.MaxBeam, builtIn.MaxBeam) << code;
    for (int c = 0; c < kChannels; ++c) {
      EXPECT_EQ(file.ChannelWell[c], builtIn.ChannelWell[c]) << code << " channel " << c;
      EXPECT_EQ(file.ChannelBeam[c], builtIn.ChannelBeam[c]) << code << " channel " << c;
    }
    for (int w = 0; w <= file.MaxWell; ++w)
      for (int b = 0; b <= file.MaxBeam; ++b) EXPECT_EQ(file.wellMap(w, b), builtIn.wellMap(w, b)) << code;
  }
}

TEST(PlateFiles, EveryFileIsAConsistentPlate) {
  struct Expect { int wells, minBeams, maxBeams; };
  const std::map<std::string, Expect> files = {
      {"k384", {384, 1, 1}}, {"k96f", {96, 2, 2}}, {"k96u", {96, 1, 1}}, {"k96flat", {96, 4, 4}},
      {"k48", {48, 1, 3}},   {"k24", {24, 4, 4}},  {"k6", {6, 30, 32}}};
  for (const auto& [code, expect] : files) {
    PlateFormat p = Load(code);
    EXPECT_EQ(p.Rows * p.Columns, expect.wells) << code;
    EXPECT_EQ(p.MaxWell, expect.wells - 1) << code;
    EXPECT_FALSE(PlateChangeMessage(code).empty()) << code;
    std::map<int, std::set<int>> beams;
    for (int c = 0; c < kChannels; ++c) {
      int w = p.ChannelWell[c];
      if (w < 0) continue;
      EXPECT_TRUE(beams[w].insert(p.ChannelBeam[c]).second) << code << ": beam used twice, channel " << c;
      Box box = WellBox(p, w);
      Point centre = ChannelCentre(c);
      EXPECT_TRUE(centre.x > box.x1 && centre.x < box.x2 && centre.y > box.y1 && centre.y < box.y2)
          << code << ": channel " << c << " outside well " << WellLabel(p, w);
      EXPECT_GE(box.x1, -50) << code;
      EXPECT_LE(box.x2, 2450) << code;
      EXPECT_GE(box.y1, -50) << code;
      EXPECT_LE(box.y2, 1650) << code;
    }
    EXPECT_EQ(static_cast<int>(beams.size()), expect.wells) << code;
    for (const auto& [w, set] : beams) {
      // Beams are numbered 0, 1, ... without gaps.
      EXPECT_EQ(*set.rbegin() + 1, static_cast<int>(set.size())) << code << " well " << w;
      EXPECT_GE(static_cast<int>(set.size()), expect.minBeams) << code << " well " << w;
      EXPECT_LE(static_cast<int>(set.size()), expect.maxBeams) << code << " well " << w;
    }
  }
}

}  // namespace
}  // namespace orb
