#include "app/config_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/app/app_fixture.h"

namespace orb {
namespace {

using testing::ProjectFixture;
using testing::TempFolder;

const std::string kConfigHeader = "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n";
const std::string kConfigError = "Error opening config File >>>> Loading DEFAULT configuration...";

TEST(ConfigFile, SavedBytesAndRoundTrip) {
  TempFolder tmp;
  ScriptedOperator op;
  AppConfig config{3, 5, 4, 0};
  ASSERT_TRUE(SaveConfig(tmp.path(), config, op));
  EXPECT_EQ(tmp.read("config.dat"), kConfigHeader + "3,5,4,0\r\n");

  tmp.write("config.dat", kConfigHeader + "3,5,4,7\r\n");
  AppConfig loaded;
  EXPECT_TRUE(LoadConfig(tmp.path(), loaded, op));
  EXPECT_EQ(loaded.Actual_Project_Number, 3);
  EXPECT_EQ(loaded.Last_Project, 5);
  EXPECT_EQ(loaded.Serial_COM, 4);
  EXPECT_EQ(loaded.Restart_Time, 0);  // reserved: never kept
  EXPECT_TRUE(op.shown().empty());
}

TEST(ConfigFile, RangeRules) {
  TempFolder tmp;
  ScriptedOperator op;
  AppConfig c;
  tmp.write("config.dat", kConfigHeader + "-3,-5,0,7\r\n");
  LoadConfig(tmp.path(), c, op);
  EXPECT_EQ(c.Actual_Project_Number, 0);
  EXPECT_EQ(c.Last_Project, 0);
  EXPECT_EQ(c.Serial_COM, 1);
  EXPECT_EQ(c.Restart_Time, 0);

  tmp.write("config.dat", kConfigHeader + "5,2,40,0\r\n");
  LoadConfig(tmp.path(), c, op);
  EXPECT_EQ(c.Last_Project, 5);
  EXPECT_EQ(c.Serial_COM, 16);
  EXPECT_TRUE(op.shown().empty());
}

TEST(ConfigFile, UnreadableFileGivesDefaultsAndStaysUntouched) {
  const std::string damaged[] = {"", kConfigHeader + "3,5\r\n", kConfigHeader + "3,five,4,0\r\n",
                                 kConfigHeader + "3,5,40000,0\r\n", "\"unterminated"};
  for (const auto& bytes : damaged) {
    TempFolder tmp;
    ScriptedOperator op;
    tmp.write("config.dat", bytes);
    AppConfig c{9, 9, 9, 9};
    EXPECT_FALSE(LoadConfig(tmp.path(), c, op));
    EXPECT_EQ(op.texts(), std::vector<std::string>{kConfigError});
    EXPECT_EQ(c.Actual_Project_Number, 1);
    EXPECT_EQ(c.Last_Project, 1);
    EXPECT_EQ(c.Serial_COM, 4);
    EXPECT_EQ(c.Restart_Time, 0);
    EXPECT_EQ(tmp.read("config.dat"), bytes);
  }
  TempFolder tmp;
  ScriptedOperator op;
  AppConfig c;
  EXPECT_FALSE(LoadConfig(tmp / "missing", c, op));
  EXPECT_TRUE(op.saw(kConfigError));
}

TEST(ConfigFile, SaveFailureIsReported) {
  TempFolder tmp;
  ScriptedOperator op;
  EXPECT_FALSE(SaveConfig(tmp / "no-such-folder", AppConfig{}, op));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"<Error Saving Config File>"});
}

TEST_F(ProjectFixture, StatusAssignsByLineAndWritesOne) {
  ws.status.fill(0);
  // Channel numbers out of order and a value of 7; only three lines.
  tmp.write("p00001/status.dat", "\"<Channel>, <Enabled>\"\r\n5,7\r\n0,0\r\n9,1\r\n");
  ws.status[3] = -1;
  LoadChannelStatus(ws.ProjectPath, ws.status, 1, *ws.op);
  EXPECT_TRUE(op.shown().empty());
  EXPECT_EQ(ws.status[0], -1);  // first line, whatever number it carries
  EXPECT_EQ(ws.status[1], 0);
  EXPECT_EQ(ws.status[2], -1);
  EXPECT_EQ(ws.status[3], -1);  // past the end of the file: kept
  EXPECT_EQ(ws.status[4], 0);

  const std::string bytes = StatusFileBytes(ws.status);
  const std::string head = "\"<Channel>, <Enabled>\"\r\n0,1\r\n1,0\r\n";
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  EXPECT_NE(bytes.find("\r\n383,0\r\n"), std::string::npos);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 385);
}

TEST_F(ProjectFixture, StatusExtraLinesIgnoredDamagedGivesAllEnabled) {
  std::string file = "\"<Channel>, <Enabled>\"\r\n";
  for (int c = 0; c < 400; ++c) file += std::to_string(c) + ",0\r\n";
  tmp.write("p00001/status.dat", file);
  LoadChannelStatus(ws.ProjectPath, ws.status, 1, *ws.op);
  EXPECT_TRUE(op.shown().empty());
  EXPECT_EQ(ws.status[383], 0);

  tmp.write("p00001/status.dat", "\"<Channel>, <Enabled>\"\r\n0,0\r\n1,x\r\n");
  LoadChannelStatus(ws.ProjectPath, ws.status, 1, *ws.op);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Error [\\p00001\\status.dat] => Loading default values..."});
  for (int c = 0; c < kChannels; ++c) ASSERT_EQ(ws.status[c], -1);
}

TEST_F(ProjectFixture, ThresholdsRoundedOnWriteAndDefaults) {
  ws.thresholds.fill(3.0);
  ws.thresholds[0] = 2.4996;
  ws.thresholds[1] = 0.0005;
  SaveThresholds(ws.ProjectPath, ws.thresholds);
  const std::string bytes = tmp.read("p00001/threshld.dat");
  const std::string head = "\"<Channel>, <Threshold>\"\r\n0,2.5\r\n1,0.001\r\n";
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  EXPECT_NE(bytes.find("\r\n383,3\r\n"), std::string::npos);

  ws.thresholds.fill(7.0);
  LoadThresholds(ws.ProjectPath, ws.thresholds, 1, *ws.op);
  EXPECT_TRUE(op.shown().empty());
  EXPECT_DOUBLE_EQ(ws.thresholds[0], 2.5);
  EXPECT_DOUBLE_EQ(ws.thresholds[383], 3.0);

  std::filesystem::remove(ws.projectFile("threshld.dat"));
  ws.thresholds.fill(7.0);
  LoadThresholds(ws.ProjectPath, ws.thresholds, 12, *ws.op);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Error [\\p00012\\threshld.dat] => Loading default values..."});
  EXPECT_DOUBLE_EQ(ws.thresholds[0], 3.0);
  EXPECT_DOUBLE_EQ(ws.thresholds[383], 3.0);
}

TEST(CalibrationFile, ResetWritesTwoThreeAndLoadKeepsPartialValues) {
  TempFolder tmp;
  ChannelCalibration cal;
  ASSERT_TRUE(ResetCalibration(tmp.path(), cal));
  std::string expected = "\"<Num_Channel>, <PinHole>, <Gain> \"\r\n";
  for (int c = 0; c < kChannels; ++c) expected += std::to_string(c) + ",2,3\r\n";
  EXPECT_EQ(tmp.read("calvalue.dat"), expected);

  ChannelCalibration loaded;
  EXPECT_TRUE(LoadCalibration(tmp.path(), loaded));
  EXPECT_EQ(loaded.PinHole[383], 2);
  EXPECT_EQ(loaded.Gain[383], 3);

  // Two good lines, then a damaged one: the failure is returned, the two
  // lines read before it keep their new values, the rest is left alone.
  tmp.write("calvalue.dat", "\"h\"\r\n0,5,6\r\n1,7,1\r\n2,x,1\r\n");
  EXPECT_FALSE(LoadCalibration(tmp.path(), loaded));
  EXPECT_EQ(loaded.PinHole[0], 5);
  EXPECT_EQ(loaded.Gain[1], 1);
  EXPECT_EQ(loaded.PinHole[2], 2);
  EXPECT_FALSE(LoadCalibration(tmp / "missing", loaded));
  EXPECT_FALSE(SaveCalibration(tmp / "missing", loaded));
}

}  // namespace
}  // namespace orb
