#include "plate/plate_format.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using testing::TempFolder;

PlateFormat BuiltIn(const std::string& code) {
  PlateFormat p;
  EXPECT_TRUE(ApplyBuiltInPlateFormat(code, p));
  return p;
}

// A plate file of `records` channel records; channel c is well c, beam 0.
std::string PlateFile(const std::string& head, int records) {
  std::string s = "\"title\"\r\n\"second\"\r\n" + head + "\r\n\"<Label> <Well> <Beam>\"\r\n";
  for (int c = 0; c < records; ++c) s += "\"x\"," + std::to_string(c) + ",0\r\n";
  return s;
}

int StageOf(const TempFolder& dir, const std::string& code, PlateFormat& p) {
  try {
    ReloadPlateFormat(dir.path(), code, p);
  } catch (const PlateFileError& e) {
    return e.stage;
  }
  return -1;
}

TEST(PlateFormat, BuiltInLayouts) {
  PlateFormat k384 = BuiltIn("k384");
  EXPECT_EQ(k384.wellMap(200, 0), 200);
  EXPECT_EQ(WellRow(k384, 200), 8);
  EXPECT_EQ(WellLabel(k384, 200), "I13");
  EXPECT_EQ(k384.MaxWell, 383);

  PlateFormat u = BuiltIn("k96u");
  EXPECT_EQ(u.wellMap(0, 0), 0);
  EXPECT_EQ(u.wellMap(1, 0), 2);
  EXPECT_EQ(u.wellMap(7, 0), 14);
  EXPECT_EQ(u.wellMap(8, 0), 32);
  EXPECT_EQ(u.ChannelWell[16], -1);
  EXPECT_EQ(u.ChannelWell[18], -1);
  EXPECT_EQ(WellLabel(u, 95), "H12");
  EXPECT_EQ(u.MaxWell, 96);

  PlateFormat f = BuiltIn("k96f");
  EXPECT_EQ(f.wellMap(0, 0), 0);
  EXPECT_EQ(f.wellMap(0, 1), 16);
  EXPECT_EQ(f.wellMap(95, 1), 16 * 23 + 14);
  EXPECT_EQ(f.ChannelWell[1], -1);
  EXPECT_EQ(f.MaxBeam, 1);

  // k24 and k6 set the geometry only.
  PlateFormat p = BuiltIn("k384");
  ASSERT_TRUE(ApplyBuiltInPlateFormat("k24", p));
  EXPECT_EQ(p.Rows, 4);
  EXPECT_EQ(p.ChannelWell[300], 300);
  EXPECT_FALSE(ApplyBuiltInPlateFormat("k48", p));
  EXPECT_EQ(p.Rows, 4);
}

TEST(PlateFormat, DrawingGeometryAndLabels) {
  PlateFormat u = BuiltIn("k96u");
  Box b = WellBox(u, 9);  // B2: well row 1, well column 1
  EXPECT_EQ(std::vector<double>({b.x1, b.y1, b.x2, b.y2}), std::vector<double>({150, 150, 350, 350}));
  EXPECT_DOUBLE_EQ(ChannelCentre(34).x, 250);
  EXPECT_DOUBLE_EQ(ChannelCentre(34).y, 250);
  EXPECT_EQ(RowLabel(25) + RowLabel(26), "ZAA");
  PlateFormat empty;  // no rows: no division by zero
  EXPECT_EQ(WellRow(empty, 5), -1);
  EXPECT_EQ(empty.wellMap(0, 0), -1);
  EXPECT_EQ(u.wellMap(97, 0), -1);
}

TEST(PlateFormat, LoadFallsBackToBuiltInWithMessage) {
  TempFolder dir;
  ScriptedOperator op;
  PlateFormat p;
  std::string code = "96f";
  LoadPlateFormat(dir.path(), code, p, op);
  ASSERT_EQ(op.texts().size(), 1u);
  EXPECT_EQ(op.texts()[0], "Error [\\96f.dat] ID#0 => Loading plate format from default: 384,96f or 96u...");
  EXPECT_EQ(code, "k96f");
  EXPECT_EQ(p.wellMap(0, 1), 16);

  // A damaged k384.dat keeps its code and gets the built-in k384.
  dir.write("k384.dat", PlateFile("16,1,0,24,1,0", 10) + "\"x\",5\r\n");
  code = "k384";
  LoadPlateFormat(dir.path(), code, p, op);
  EXPECT_EQ(op.texts().back(), "Error [\\k384.dat] ID#2 => Loading plate format from default: 384,96f or 96u...");
  EXPECT_EQ(code, "k384");
  EXPECT_EQ(p.wellMap(383, 0), 383);

  // k24 has no channel map of its own to fall back on.
  code = "k24";
  LoadPlateFormat(dir.path(), code, p, op);
  EXPECT_EQ(code, "k96f");
  EXPECT_EQ(p.Rows, 8);
}

TEST(PlateFormat, ReloadReportsTheStageAndKeepsThePlate) {
  TempFolder dir;
  PlateFormat p = BuiltIn("k96u");
  const PlateFormat before = p;
  EXPECT_EQ(StageOf(dir, "k0", p), 0);
  dir.write("k0.dat", PlateFile("8,2,0,12,2,0", 3));
  EXPECT_EQ(StageOf(dir, "../" + dir.path().filename().string() + "/k0", p), 0);  // not a name
  const std::pair<std::string, int> files[] = {
      {"\"t\",\"t\",8,2,-0.5\r\n", 1},
      {PlateFile("0,2,0,12,2,0", 384), 1},  // no rows
      {PlateFile("8,2,0,12,0,0", 384), 1},  // no width
      {PlateFile("8,two,0,12,2,0", 384), 1},
      {PlateFile("8,2,0,12,2,0", 3) + "\"x\",-2,0\r\n", 2},
      {PlateFile("8,2,0,12,2,0", 3) + "\"x\",1000,0\r\n", 2},
      {PlateFile("8,2,0,12,2,0", 3) + "\"x\",4,-3\r\n", 2},
      {PlateFile("8,2,0,12,2,0", 3) + "\"x\",4,40000\r\n", 2},
      {PlateFile("8,2,0,12,2,0", 3) + "\"x\",4\r\n", 2},
  };
  for (const auto& [bytes, stage] : files) {
    dir.write("k1.dat", bytes);
    EXPECT_EQ(StageOf(dir, "k1", p), stage) << bytes.substr(0, 40);
  }
  EXPECT_EQ(p.ChannelWell, before.ChannelWell);
  EXPECT_EQ(p.Rows, before.Rows);
  EXPECT_EQ(p.WellMap, before.WellMap);
}

TEST(PlateFormat, ReloadReadsRecordsInOrder) {
  TempFolder dir;
  PlateFormat p = BuiltIn("k384");
  std::string file = PlateFile("16,1,0,24,1,0", 384) + "\"spare\",5,1\r\n\"x\",bad,bad\r\n";
  file.replace(file.find("\"x\",7,0"), 7, "\"x\",-1,0");
  dir.write("k9.dat", file);
  ASSERT_EQ(StageOf(dir, "k9", p), -1);  // nothing after the 385th record is read
  EXPECT_EQ(p.ChannelWell[7], -1);
  EXPECT_EQ(p.ChannelWell[384], 5);
  EXPECT_EQ(p.MaxBeam, 1);
  EXPECT_EQ(p.wellMap(5, 1), 0);  // channel 384 is never mapped
  for (int w = 0; w <= p.MaxWell; ++w) EXPECT_NE(p.wellMap(w, 0), 7);

  // A short file: the channels it does not list are unused.
  dir.write("k10.dat", PlateFile("2,8,0,3,8,0", 5));
  ASSERT_EQ(StageOf(dir, "k10", p), -1);
  EXPECT_EQ(p.ChannelWell[4], 4);
  EXPECT_EQ(p.ChannelWell[5], -1);
  EXPECT_EQ(p.MaxWell, 4);
  EXPECT_EQ(p.Rows, 2);
  EXPECT_EQ(p.RowStep, 8.0);
}

TEST(PlateFormat, RandomFilesNeverBreakTheLoader) {
  TempFolder dir;
  std::mt19937 rng(20240611);
  const std::string good = PlateFile("8,2,-0.5,12,2,0", 384);
  const std::size_t headingStart = good.find("\"<Label>");
  const std::size_t recordsStart = good.find("\"x\"");
  const std::string alphabet = "0123456789,-.\"\r\n abcAB#+e";
  for (int round = 0; round < 400; ++round) {
    std::string file = good;
    int kind = round % 3;
    std::size_t cut = rng() % file.size();
    if (kind == 0) {  // truncated
      file.resize(cut);
    } else if (kind == 1) {  // bytes changed
      for (int i = 0, n = 1 + rng() % 8; i < n; ++i) file[rng() % file.size()] = alphabet[rng() % alphabet.size()];
    } else {  // records with arbitrary numbers
      for (int i = 0, n = 1 + rng() % 4; i < n; ++i) {
        std::size_t at = file.find("\"x\"," + std::to_string(rng() % 384) + ",");
        int big = static_cast<int>(rng() % 80000) - 40000;
        file.insert(at, "\"x\"," + std::to_string(big) + "," + std::to_string(big / 3) + "\r\n");
      }
    }
    dir.write("kr.dat", file);
    PlateFormat p = BuiltIn("k96f");
    int stage = StageOf(dir, "kr", p);
    ASSERT_TRUE(stage >= -1 && stage <= 2) << round;
    if (kind == 0 && cut <= headingStart) {
      EXPECT_EQ(stage, 1) << cut;
    } else if (kind == 0 && cut >= recordsStart) {
      EXPECT_TRUE(stage == -1 || stage == 2) << cut;
    }
    // Whatever was loaded, the map and the channel tables agree.
    ASSERT_LE(p.WellMap.size(), 384u);
    ASSERT_LE(p.WellMap.at(0).size(), 384u);
    for (int c = 0; c < kChannels; ++c) {
      int w = p.ChannelWell[c], b = p.ChannelBeam[c];
      ASSERT_TRUE(w >= -1 && w <= 383);
      if (w < 0) continue;
      int m = p.wellMap(w, b);
      ASSERT_GE(m, c) << round;  // a later channel at the same place wins
      ASSERT_EQ(p.ChannelWell[m], w);
      ASSERT_EQ(p.ChannelBeam[m], b);
    }
  }
}

TEST(PlateFormat, ChangeMessages) {
  EXPECT_EQ(PlateChangeMessage("k96flat"),
            "96 Wells flat bottom [4microbeams/well]\r\nUSE 'K384' or 'K96x4' plate Adapter\r\n"
            "NOTE: DISCONTINUED. Contact provider");
  EXPECT_EQ(PlateChangeMessage("k96u"), "96 Wells U shape bottom [1microbeam/well]\r\nUSE 'K96U' plate Adapter");
  EXPECT_EQ(PlateChangeMessage("k12"), "");
  EXPECT_EQ(PlateDescriptions().size(), 7u);
}

}  // namespace
}  // namespace orb
