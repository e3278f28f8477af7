#include "reports/basal.h"

#include <gtest/gtest.h>

#include "common/encoding.h"
#include "reports/report_generator.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

using testing::AcquisitionFixture;
using testing::Rec;

const std::string kBasalText = "20240130_0800 basal run";

// The recording of the generator tests (wells A1, B1, C1 in "Control", A2
// in "Drug", B2 free; bins 30 and 60), and a basal recording of 40 minutes
// beside it: one 30-minute basal bin (no question asked) with the basal
// values A1 20, B1 40, C1 0, A2 30.
class BasalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    folder = fx.acquisition();
    testing::WriteStandardRecording(fx, folder);

    basalFolder = fx.acquisition("20240130_0800");
    std::vector<CountsRecord> basal;
    for (int m : {0, 5, 10, 30, 40}) basal.push_back(Rec(m, {{0, 5}, {1, 10}, {2, 0}, {16, 7}, {17, 1}}));
    basal[3].IntervalCounts[16] = 9;  // 7 + 7 + 7 + 9 = 30
    fx.writeCounts(basalFolder, basal);

    request.programFolder = fx.program();
    request.acquisitionFolder = folder;
    request.clock = &clock;
    request.basalText = kBasalText;
  }

  std::string Report() { return Cp1252ToUtf8(fx.read(folder / "report.csv")); }
  std::string FolderTail() const {
    const std::string s = folder.string();
    return s.substr(s.size() - 20);
  }

  AcquisitionFixture fx;
  std::filesystem::path folder, basalFolder;
  FakeClock clock;
  ScriptedOperator op;
  RecordingLauncher launcher;
  ReportRequest request;
};

TEST_F(BasalTest, ReportAsPercentageOfBasalWithMaximumForZeroWells) {
  op.answer(Answer::Yes).answer(Answer::Yes);  // proceed; replace with the well's maximum
  ReportResult r = GenerateReport(request, op, launcher);
  ASSERT_TRUE(r.ok()) << ::testing::PrintToString(op.texts());
  EXPECT_TRUE(r.basal);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{"Using Groups Selected in Experiment: " + FolderTail(),
                                                  ZeroBasalWellsQuestion(1), ZeroBasalChoiceQuestion()}));
  EXPECT_EQ(op.shown()[1].buttons, Buttons::YesNo);
  EXPECT_EQ(op.shown()[2].buttons, Buttons::YesNoCancel);
  EXPECT_TRUE(op.prompts().empty());  // 40 minutes with bin 30: no period question
  // A1: 10 / 20, 18 / 20; B1: 40 / 40, 30 / 40; C1 (zero basal, replaced by
  // its largest count 12): 12 / 12, 9 / 12; A2: 0 / 30, 60 / 30.
  EXPECT_EQ(Report(), "\"DATE:\",\"15/04/2022 10:30:00\"\r\n\"FILE:\",\"" + folder.string() +
                          "\"\r\n\"SUBPROJECT:\",\"Growth test\"\r\n\"SETTING:\",\"Mode2 Zebrafish[snr=2.5]\"\r\n"
                          "\"TIME0(BASAL MEASSURE):\",\"20240130_0800 basal run\"\r\n"
                          "\r\n"
                          "\"***DATA AS % OF BASAL ACTIVITY***\"\r\n"
                          "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"\r\n"
                          "Group/Time[m],0,30,60\r\n"
                          "\"000_Control\",100,83,80\r\n"
                          "\"001_Drug\",100,0,200\r\n"
                          "\"002_Empty\",100,0,0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Standard Error >>>>>>\"\r\n"
                          "Group/Time[m],0,30,60\r\n"
                          "\"000_Control\",0.0,16.7,5.2\r\n"
                          "\"001_Drug\",0.0,0.0,0.0\r\n"
                          "\"002_Empty\",0.0,0.0,0.0\r\n"
                          "\r\n"
                          "\"<<<<<< Group Activity: Number of wells/group >>>>>>\"\r\n"
                          "Group/Time[m],0,30,60\r\n"
                          "\"000_Control\",3,3,3\r\n"
                          "\"001_Drug\",1,1,1\r\n"
                          "\"002_Empty\",0,0,0\r\n"
                          "\r\n"
                          "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"\r\n"
                          "Time[m],0,30,60\r\n"
                          "#Samples,30,30,30\r\n"
                          "\r\n"
                          "\"<<<<<< Average Temperature [°C] >>>>>>\"\r\n"
                          "Time[m],0,30,60\r\n"
                          "Temp[°C],?,24.1,25.2\r\n"
                          "\r\n"
                          "\"<<<<<< Well Activity >>>>>>\"\r\n"
                          "Well,Group/Time[m],0,30,60\r\n"
                          "A1,\"000_Control\",100,50,90\r\n"
                          "B1,\"000_Control\",100,100,75\r\n"
                          "C1,\"000_Control\",100,100,75\r\n"
                          "A2,\"001_Drug\",100,0,200\r\n"
                          "B2,\"999_Free\",100,8,6\r\n");
}

TEST_F(BasalTest, ListLayoutWithMedianAndPlateAverageForZeroWells) {
  op.answer(Answer::Yes).answer(Answer::No);  // proceed; replace with the plate average
  request.layout = ReportLayout::List;
  request.statistics = {true, true, false, false, false};
  ASSERT_TRUE(GenerateReport(request, op, launcher).ok());
  // The plate average of the basal values at C1's turn: (20 + 40 + 0 + 30) / 4
  // = 22.5 -> 22; C1 = 12 / 22 -> 55 and 9 / 22 -> 41.
  const std::string report = Report();
  EXPECT_NE(report.find("\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"\r\n"
                        "Time,Group,Value\r\n\r\n"
                        "0,\"000_Control\",100\r\n30,\"000_Control\",68\r\n60,\"000_Control\",69\r\n\r\n"
                        "0,\"001_Drug\",100\r\n30,\"001_Drug\",0\r\n60,\"001_Drug\",200\r\n\r\n"
                        "0,\"002_Empty\",100\r\n30,\"002_Empty\",0\r\n60,\"002_Empty\",0\r\n\r\n"
                        "\"<<<<<< Group Activity: Median >>>>>>\"\r\n"
                        "Time,Group,Value\r\n\r\n"
                        "0,\"000_Control\",100\r\n30,\"000_Control\",55\r\n60,\"000_Control\",75\r\n\r\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("Time,#Samples\r\n\r\n0,30\r\n30,30\r\n60,30\r\n"), std::string::npos);
  EXPECT_NE(report.find("Time,Avrg_Temp[°C]\r\n30,24.1\r\n60,25.2\r\n"), std::string::npos);
  EXPECT_NE(report.find("0,C1,\"000_Control\",100\r\n30,C1,\"000_Control\",55\r\n60,C1,\"000_Control\",41\r\n\r\n"),
            std::string::npos);
  EXPECT_EQ(report.find("Channel"), std::string::npos);  // no channel section with basal
}

TEST_F(BasalTest, DiscardedWellsGoToTheFreeGroup) {
  op.answer(Answer::Yes).answer(Answer::Cancel);  // proceed; discard
  ReportResult r = GenerateReport(request, op, launcher);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(op.texts().back(), "ERROR in 1 BASAL channels.\r\nChannels were discarded and transferred to Free Group");
  const std::string report = Report();
  EXPECT_NE(report.find("C1,\"999_Free\",100,-999,-999\r\n"), std::string::npos);
  // Control keeps A1 and B1 only: (50 + 100) / 2 = 75, (90 + 75) / 2 = 82.5 -> 82.
  EXPECT_NE(report.find("\"000_Control\",100,75,82\r\n"), std::string::npos);
  EXPECT_NE(report.find("\"000_Control\",2,2,2\r\n"), std::string::npos);
}

TEST_F(BasalTest, StopsWithoutReport) {
  // No to the zero-activity question: nothing written.
  op.answer(Answer::No);
  ReportResult r = GenerateReport(request, op, launcher);
  EXPECT_EQ(r.status, ReportStatus::Stopped);
  EXPECT_FALSE(std::filesystem::exists(folder / "report.csv"));
  EXPECT_TRUE(launcher.opened.empty());

  // A basal folder without counts.bin: the load fails, then the re-binning.
  op.clear();
  request.basalText = "20240101_0000 missing";
  r = GenerateReport(request, op, launcher);
  EXPECT_EQ(r.status, ReportStatus::ResamplingError);
  EXPECT_EQ(op.texts(),
            (std::vector<std::string>{"Using Groups Selected in Experiment: " + FolderTail(),
                                      "Error loading " + (fx.acquisition("20240101_0000") / "counts.bin").string(),
                                      "Resampling ERROR"}));
  EXPECT_FALSE(std::filesystem::exists(folder / "report.csv"));

  // A basal text that would leave the project folder names no folder at all.
  op.clear();
  request.basalText = "../../../etc/passwd";
  EXPECT_EQ(GenerateReport(request, op, launcher).status, ReportStatus::ResamplingError);
  EXPECT_EQ(BasalFolder(folder, "../../../etc/passwd"), std::filesystem::path());
  EXPECT_EQ(BasalFolder(folder / "", kBasalText), fx.acquisition("20240130_0800"));
}

TEST_F(BasalTest, ActivationOfTheBasalList) {
  EXPECT_FALSE(BasalActive(""));
  EXPECT_FALSE(BasalActive("-"));
  EXPECT_FALSE(BasalActive("20240130_080"));  // 12 characters
  EXPECT_TRUE(BasalActive("20240130_0800"));
  request.basalText = "-";
  ASSERT_TRUE(GenerateReport(request, op, launcher).ok());
  EXPECT_TRUE(op.texts().empty());
  EXPECT_NE(Report().find("\"<<<<<< Channel Activity >>>>>>\""), std::string::npos);
}

TEST(BasalPeriodTest, QuestionLoopUntilAValueInRange) {
  // 1.5 x bin >= L: no question.
  ScriptedOperator quiet;
  EXPECT_EQ(AskBasalPeriod(40, 30, quiet), 30);
  EXPECT_TRUE(quiet.prompts().empty());

  // 120 minutes, bin 30: out-of-range answers bring the range box, then the
  // question again, until a value between 30 and 120.
  ScriptedOperator op;
  op.type("20").type("150").type("abc").type(std::nullopt).type(" 89.6 min");
  EXPECT_EQ(AskBasalPeriod(120, 30, op), 90);
  const std::string period = BasalPeriodQuestion(120, 30);
  const std::string range = "Enter a value between 30 and 120";
  EXPECT_EQ(op.prompts(), (std::vector<std::string>{period, range, period, range, period}));
  EXPECT_EQ(period,
            "Basal acquisition is 120min long, and BinSize=30min. \r\n\r\n"
            "How many minutes do you want to use to calculate Basal Meassurement?");

  // A valid answer in the range box ends the loop there.
  ScriptedOperator second;
  second.type("10").type("45");
  EXPECT_EQ(AskBasalPeriod(120, 30, second), 45);
  EXPECT_EQ(second.prompts().size(), 2u);
}

TEST(BasalPeriodTest, BasalValuesOverThePeriod) {
  RebinResult basal;
  basal.bin = 30;
  basal.endTime = {30, 60, 90, 120};
  basal.counts.assign(4, ChannelCounts{});
  basal.lastBin = 3;
  const int perBin[] = {100, 200, 301, 1000};
  for (int i = 0; i < 4; ++i) basal.counts[i][5] = static_cast<std::int16_t>(perBin[i]);
  // 90 minutes: the mean per bin over the first three bins, 601 / 3 = 200.33.
  EXPECT_EQ(BasalChannelValues(basal, 90)[5], 200);
  // 30 minutes: the first bin as it is.
  EXPECT_EQ(BasalChannelValues(basal, 30)[5], 100);
  // 45 minutes: one whole bin scaled by 30 / 45.
  EXPECT_EQ(BasalChannelValues(basal, 45)[5], 67);
  // Bins past the basal's last bin are not used.
  basal.lastBin = 1;
  EXPECT_EQ(BasalChannelValues(basal, 120)[5], 75);  // 300 x 30 / 120
}

// A context of wells given by (well, beam) per channel.
ReportContext Wells(const std::map<int, std::pair<int, int>>& channels, int wells, int beams) {
  ReportContext ctx;
  ctx.hasPlate = true;
  ctx.plate.Rows = 8;
  ctx.plate.Columns = 12;
  ctx.plate.ChannelWell.fill(-1);
  ctx.wellChannels.assign(static_cast<std::size_t>(wells), std::vector<int>(static_cast<std::size_t>(beams), -1));
  for (const auto& [ch, wb] : channels) {
    ctx.plate.ChannelWell[ch] = static_cast<std::int16_t>(wb.first);
    ctx.plate.ChannelBeam[ch] = static_cast<std::int16_t>(wb.second);
    ctx.wellChannels[wb.first][wb.second] = ch;
  }
  return ctx;
}

TEST(BasalNormaliseTest, WellAveragingCapAndUngroupedChannels) {
  // Well 0: channels 0 and 16 (basal 1 and 0: mean 0.5 -> 0 for both, not a
  // zero-activity well, so the default choice replaces it with the maximum).
  // Well 1: channel 1 alone, basal 10: counts 500 and 1500 -> 5000 and the
  // cap 10000. Well 2: channel 2 in group 999 and well 3: channel 3 free:
  // not normalised, but still averaged over their beams.
  ReportContext ctx = Wells({{0, {0, 0}}, {16, {0, 1}}, {1, {1, 0}}, {2, {2, 0}}, {3, {3, 0}}, {19, {3, 1}}}, 4, 2);
  std::array<std::int16_t, kChannelSlots> groups;
  groups.fill(-1);
  groups[0] = groups[16] = groups[1] = 0;
  groups[2] = 999;
  // A third output bin, dropped by the tail rule (last bin 1), whose count
  // would otherwise be well 0's maximum.
  RebinResult rec;
  rec.bin = 30;
  rec.endTime = {30, 60, 90};
  rec.counts.assign(3, ChannelCounts{});
  rec.lastBin = 1;
  rec.counts[2][0] = 50;
  rec.counts[0][0] = 4;
  rec.counts[0][16] = 7;  // well 0: 5.5 -> 6 and (3 + 4) / 2 = 3.5 -> 4
  rec.counts[1][0] = 3;
  rec.counts[1][16] = 4;
  rec.counts[0][1] = 500;
  rec.counts[1][1] = 1500;
  rec.counts[0][2] = 77;
  rec.counts[0][3] = 10;
  rec.counts[0][19] = 21;  // well 3: 15.5 -> 16
  std::array<std::int32_t, kChannels> basal{};
  basal[0] = 1;
  basal[16] = 0;
  basal[1] = 10;
  basal[2] = 0;
  ScriptedOperator op;
  BasalOutcome out = NormaliseToBasal(basal, rec, ctx, groups, op);
  EXPECT_TRUE(out.proceed);
  EXPECT_EQ(out.zeroWells, 0);
  EXPECT_TRUE(op.texts().empty());
  // Well 0's beams: basal 0 -> replaced by their largest count 6: 6 -> 100 %, 4 -> 67 %.
  EXPECT_EQ(rec.counts[0][0], 100);
  EXPECT_EQ(rec.counts[1][0], 67);
  EXPECT_EQ(rec.counts[0][16], 100);
  EXPECT_EQ(rec.counts[0][1], 5000);
  EXPECT_EQ(rec.counts[1][1], 10000);
  EXPECT_EQ(rec.counts[0][2], 77);
  EXPECT_EQ(rec.counts[0][3], 16);
  EXPECT_EQ(rec.counts[0][19], 16);
  EXPECT_EQ(groups[2], 999);

  // A well of zero basal activity counted in box 4, then discarded: both
  // its beams are freed and set to -999, and counted as two channels.
  ReportContext two = Wells({{0, {0, 0}}, {16, {0, 1}}}, 1, 2);
  std::array<std::int16_t, kChannelSlots> g2;
  g2.fill(-1);
  g2[0] = g2[16] = 4;
  RebinResult rec2;
  rec2.bin = 30;
  rec2.endTime = {30};
  rec2.counts.assign(1, ChannelCounts{});
  rec2.lastBin = 0;
  rec2.counts[0][0] = 9;
  ScriptedOperator op2;
  op2.answer(Answer::Yes).answer(Answer::Cancel);
  out = NormaliseToBasal({}, rec2, two, g2, op2);
  EXPECT_EQ(out.zeroWells, 1);
  EXPECT_EQ(out.discarded, 2);
  EXPECT_EQ(g2[0], -1);
  EXPECT_EQ(g2[16], -1);
  EXPECT_EQ(rec2.counts[0][0], -999);
  EXPECT_EQ(op2.texts().back(), DiscardedChannelsMessage(2));
}

}  // namespace
}  // namespace orb
