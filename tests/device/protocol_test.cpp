#include "device/protocol.h"

#include <gtest/gtest.h>

namespace orb {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

TEST(Protocol, Frames) {
  struct Case {
    int channel, pinhole, gain;
    std::string frame;
  } cases[] = {
      {127, 2, 3, Bytes({0xFF, 0x80, 0x7F, 0x62, 0xF0})},
      {130, 7, 7, Bytes({0xFF, 0x81, 0x02, 0xE7, 0xF0})},
      {383, 5, 1, Bytes({0xFF, 0x81, 0xFF, 0x25, 0xF0})},  // B2 = FF is data here
  };
  for (const auto& c : cases) {
    ChannelAddress a = ChannelWriteAddress(c.channel);
    EXPECT_EQ(BuildFrame(a.b2, ChannelSettingByte(c.pinhole, c.gain), a.b1), c.frame) << c.channel;
  }
  EXPECT_EQ(ChannelSettingByte(9, -1), 0x07);  // held to 0..7, never spilling into the gain
  EXPECT_EQ(BuildFrame(kCmdReadBlock, 96, kModeQuery), Bytes({0xFF, 0x00, 0x30, 0x60, 0xF0}));
  EXPECT_EQ(BuildFrame(kCmdReadFactory, kFactoryAddress + 5, kModeQuery), Bytes({0xFF, 0x00, 0x20, 0x85, 0xF0}));
  EXPECT_EQ(OutputsArgument(true, false, true), 5);
  EXPECT_EQ(OutputsArgument(false, true, false), 2);
}

TEST(Protocol, BlockReplies) {
  std::string reply;
  for (int i = 0; i < 96; ++i) reply += Bytes({i % 16, (i * 7) & 0xFF});
  auto block = ParseBlock(reply);
  ASSERT_TRUE(block);
  EXPECT_FALSE(block->highByteOutOfRange);
  EXPECT_EQ(block->values[0], 0);
  EXPECT_EQ(block->values[95], 15 * 256 + ((95 * 7) & 0xFF));
  reply[10] = 0x10;
  block = ParseBlock(reply);
  ASSERT_TRUE(block);
  EXPECT_TRUE(block->highByteOutOfRange);
  EXPECT_EQ(block->values[5], 15 * 256 + ((5 * 7) & 0xFF));
  EXPECT_FALSE(ParseBlock(reply.substr(0, 191)));
  EXPECT_FALSE(ParseBlock(reply + "x"));
  EXPECT_EQ(BlockChannel(0, 7), 130);
  EXPECT_EQ(BlockChannel(96, 95), 383);
  EXPECT_EQ(BlockChannel(32, 3), 33);
}

TEST(Protocol, SerialNumbers) {
  EXPECT_EQ(SerialFromReply(Bytes({1, 2})), 257);
  EXPECT_EQ(SerialFromReply(Bytes({0, 12})), 12);
  EXPECT_EQ(SerialFromReply(Bytes({1})), 255);
  EXPECT_EQ(SerialFromReply(""), -1);
}

TEST(Protocol, FactoryCalibration) {
  auto ok = CheckFactoryCalibration({0, 6, 24, 1, 25, 219, 0, 0});
  ASSERT_TRUE(ok);
  EXPECT_TRUE(ok->calibrated && ok->month == 6 && ok->year == 24);
  EXPECT_DOUBLE_EQ(ok->offset, -2.5);
  EXPECT_DOUBLE_EQ(ok->slope, 0.219);
  EXPECT_NEAR(ConvertTemperature(100, ok->slope, ok->offset), 19.4, 1e-9);
  // Limits are inclusive: slope 0.45 (450 = 1 * 256 + 194), offset +10.
  EXPECT_TRUE(CheckFactoryCalibration({0, 12, 99, 0, 100, 194, 1, 7}));
  std::array<int, 8> rejected[] = {
      {0, 6, 24, 0, 25, 204, 1, 0},   // slope 0.46
      {0, 6, 24, 0, 105, 219, 0, 0},  // offset 10.5
      {0, 6, 24, 1, 105, 219, 0, 0},  // offset -10.5
      {0, 6, 24, 0, 0, 99, 0, 0},     // slope 0.099
      {1, 6, 24, 0, 25, 219, 0, 0},   // marker
      {0, 0, 24, 0, 25, 219, 0, 0},   // month
      {0, 6, 100, 0, 25, 219, 0, 0},  // year
      {0, 6, 24, 2, 25, 219, 0, 0},   // sign
      {0, 6, 24, 0, 25, 0, 1, 0},     // slope low byte 0 (0.256)
      {0, 6, -1, 0, 25, 219, 0, 0},   // never read
  };
  for (const auto& b : rejected) EXPECT_FALSE(CheckFactoryCalibration(b)) << b[1] << "," << b[4] << "," << b[5];
}

}  // namespace
}  // namespace orb
