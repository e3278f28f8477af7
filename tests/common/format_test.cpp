#include "common/format.h"

#include <gtest/gtest.h>

#include "common/binary.h"
#include "common/datetime.h"

namespace orb {
namespace {

TEST(Rounding, HalfToEvenForIntegers) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(1638.4), 1638);
  EXPECT_EQ(RoundHalfEven(18.0000001), 18);
}

TEST(Rounding, DecimalsHalfAwayFromZeroOnTheDecimalText) {
  // 4.25 and 0.15 are not exact in binary; the decimal text decides.
  EXPECT_EQ(FormatFixed(4.25, 1), "4.3");
  EXPECT_EQ(FormatFixed(0.15, 1), "0.2");
  EXPECT_EQ(FormatFixed(-0.15, 1), "-0.2");
  EXPECT_EQ(FormatFixed(1.8, 1), "1.8");
  EXPECT_EQ(FormatFixed(20, 1), "20.0");
  EXPECT_EQ(FormatFixed(9.96, 1), "10.0");
  EXPECT_EQ(FormatFixed(0.004, 2), "0.00");
  EXPECT_EQ(FormatFixed(-0.004, 2), "0.00");
  EXPECT_EQ(FormatFixed(1.005, 2), "1.01");
  EXPECT_EQ(FormatFixed(123456.5, 0), "123457");
  EXPECT_DOUBLE_EQ(RoundHalfAwayDecimal(2.4996, 3), 2.5);
  EXPECT_DOUBLE_EQ(RoundHalfAwayDecimal(2.0005, 3), 2.001);
  EXPECT_DOUBLE_EQ(RoundHalfAwayDecimal(3, 3), 3);
}

TEST(Format, ZeroPaddedDigits) {
  EXPECT_EQ(FormatDigits(1, 5), "00001");
  EXPECT_EQ(FormatDigits(32000, 5), "32000");
  EXPECT_EQ(FormatDigits(7, 3), "007");
  EXPECT_EQ(FormatDigits(5, 2), "05");
  EXPECT_EQ(FormatDigits(123456, 5), "123456");
  EXPECT_EQ(FormatDigits(-5, 3), "-005");
}

TEST(Format, DateTexts) {
  LocalDateTime t{2022, 4, 5, 9, 7, 31};
  EXPECT_EQ(FormatFolderStamp(t), "20220405_0907");
  EXPECT_EQ(FormatDayMonthYear(t), "05/04/2022 09:07");
  EXPECT_EQ(FormatIsoStamp(t), "2022-04-05_09:07");
}

TEST(Binary, LittleEndianRoundTrip) {
  LeWriter w;
  w.i16(-2).u16(0x1234).i32(-100000).f32(1.5f).f64(-2.25).u8(0xAB);
  const std::string& b = w.bytes();
  ASSERT_EQ(b.size(), 2u + 2 + 4 + 4 + 8 + 1);
  EXPECT_EQ(static_cast<unsigned char>(b[0]), 0xFE);
  EXPECT_EQ(static_cast<unsigned char>(b[1]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(b[2]), 0x34);
  EXPECT_EQ(static_cast<unsigned char>(b[3]), 0x12);
  LeReader r(b);
  EXPECT_EQ(r.i16(), -2);
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.i32(), -100000);
  EXPECT_EQ(r.f32(), 1.5f);
  EXPECT_EQ(r.f64(), -2.25);
  EXPECT_EQ(r.u8(), 0xAB);
  EXPECT_THROW(r.u8(), std::out_of_range);
}

}  // namespace
}  // namespace orb
