#include "service/self_test_checks.h"

#include <gtest/gtest.h>

#include "service/self_test.h"

namespace orb {
namespace {

BeamReadings All(int value) {
  BeamReadings r;
  r.fill(value);
  return r;
}

// Column c lit at `high`, every other beam at `low`.
BeamReadings ColumnLit(int column, int high = 3000, int low = 10) {
  BeamReadings r = All(low);
  for (int ch : GridColumnChannels(column)) r[ch] = high;
  return r;
}

TEST(SelfTestChecks, ThresholdsAndPercentScale) {
  EXPECT_FALSE(PassesHigh(1638));  // 1638 < 1638.4
  EXPECT_TRUE(PassesHigh(1639));
  EXPECT_TRUE(PassesLow(1024));
  EXPECT_FALSE(PassesLow(1025));
  EXPECT_EQ(SelfTestPercent(1500), 73);  // 73.24 cut, not rounded
  EXPECT_EQ(SelfTestPercent(2047), 99);
  EXPECT_EQ(SelfTestPercent(2048), 100);
  EXPECT_EQ(SelfTestPercent(4095), 199);
  EXPECT_EQ(SelfTestPercent(0), 0);
}

TEST(SelfTestChecks, PrintZonePaddingReachesTheNextZone) {
  EXPECT_EQ(PrintZonePadding("Col[6]: NONPASS 15").size(), 10u);  // 18 -> 28
  EXPECT_EQ(PrintZonePadding("").size(), 14u);
  EXPECT_EQ(PrintZonePadding(std::string(14, 'x')).size(), 14u);
  EXPECT_EQ(PrintZonePadding(std::string(13, 'x')).size(), 1u);
}

TEST(SelfTestChecks, AllHighAndAllLowSections) {
  CheckResult a = CheckAllHigh(All(3000));
  EXPECT_TRUE(a.passed);
  EXPECT_EQ(a.label, "[Test100%=PASS!]");
  EXPECT_EQ(a.reportLines,
            (std::vector<std::string>{"", "Test_all_100%: OK PASS!", "Number of Channels > 80% = 384"}));

  BeamReadings r = All(3000);
  r[7] = 1638;
  r[300] = 0;
  a = CheckAllHigh(r);
  EXPECT_FALSE(a.passed);
  EXPECT_EQ(a.label, "[Test100%= CHECK!]");
  EXPECT_EQ(a.reportLines, (std::vector<std::string>{"", "Test_all_100%:  NEEDS REVISION!",
                                                     "Number of Channels > 80% = 382",
                                                     "Channels < 80%: CH7[79%], CH300[0%], "}));

  CheckResult b = CheckAllLow(All(1024));
  EXPECT_TRUE(b.passed);
  EXPECT_EQ(b.label, "[Test0%=PASS!]");
  EXPECT_EQ(b.reportLines, (std::vector<std::string>{"", "Test_all_0%: OK PASS!", "Number of Channels < 20% = 384"}));
  r = All(0);
  r[383] = 1025;
  b = CheckAllLow(r);
  EXPECT_EQ(b.label, "[Test0%= CHECK!]");
  EXPECT_EQ(b.reportLines, (std::vector<std::string>{"", "Test_all_0%:  NEEDS REVISION!",
                                                     "Number of Channels < 20% = 383", "Channels > 20%: CH383[50%], "}));
}

TEST(SelfTestChecks, ColumnCheckFindsADeadBeam) {
  CheckResult ok = CheckColumn(ColumnLit(5), 5);
  EXPECT_TRUE(ok.passed);
  EXPECT_EQ(ok.label, "Col[6]: PASS!");
  EXPECT_EQ(ok.reportLines, std::vector<std::string>{"Col[6]: PASS!"});

  BeamReadings r = ColumnLit(5);
  r[85] = 0;  // row 5 of column 5 is dead
  CheckResult dead = CheckColumn(r, 5);
  EXPECT_FALSE(dead.passed);
  EXPECT_EQ(dead.label, "Col[6]: CHECK!");
  ASSERT_EQ(dead.reportLines.size(), 1u);
  EXPECT_EQ(dead.reportLines[0], "Col[6]: NONPASS 15          CH > 80% (NONOK:CH85[0%], ); 368CH < 20% (NONOK:)");
  // The same readings checked as column 4: all 16 of column 4 are dark
  // and 15 lit beams of column 5 light where they should not.
  CheckResult wrong = CheckColumn(r, 4);
  EXPECT_EQ(wrong.reportLines[0].rfind("Col[5]: NONPASS 0", 0), 0u);
  EXPECT_NE(wrong.reportLines[0].find("); 353CH < 20% (NONOK:CH80[146%], "), std::string::npos);
}

TEST(SelfTestChecks, RowCheckFindsCrossedBeams) {
  // Row 2 lit, but beams 2 and 3 crossed: 3 reads the light meant for 2.
  BeamReadings r = All(5);
  for (int ch : GridRowChannels(2)) r[ch] = 3000;
  std::swap(r[2], r[3]);
  CheckResult c = CheckRow(r, 2);
  EXPECT_FALSE(c.passed);
  EXPECT_EQ(c.label, "Row[3]: CHECK!");
  EXPECT_EQ(c.reportLines[0],
            "Row[3]: NONPASS 23          CH > 80% (NONOK:CH2[0%], ); 359CH < 20% (NONOK:CH3[146%], )");
  EXPECT_TRUE(CheckRow(r, 5).passed == false);  // the lit row is not row 5
  EXPECT_EQ(GridRowChannels(15).front(), 15);
  EXPECT_EQ(GridRowChannels(15).back(), 383);
  EXPECT_EQ(GridColumnChannels(23).front(), 368);
}

}  // namespace
}  // namespace orb
