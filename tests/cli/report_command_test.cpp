#include "cli/report_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/commands.h"
#include "tests/reports/report_fixture.h"

namespace orb {
namespace {

using testing::AcquisitionFixture;
using testing::Rec;

struct CliRun {
  int code;
  std::string out, err;
};

class ReportCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    folder = fx.acquisition();
    testing::WriteStandardRecording(fx, folder);
  }

  CliRun Report(std::vector<std::string> options) {
    std::vector<std::string> args = {"--data", fx.program().string(), folder.string()};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out, err;
    const int code = RunReport(args, out, err);
    return {code, out.str(), err.str()};
  }

  // A regular 120-minute basal recording beside the recording; channel 2
  // (well C1) has no basal activity.
  void WriteBasal() {
    std::vector<CountsRecord> basal;
    for (int m = 0; m <= 120; ++m) basal.push_back(Rec(m, {{0, 5}, {1, 10}, {16, 7}}));
    fx.writeCounts(fx.acquisition("20240130_0800"), basal);
  }

  AcquisitionFixture fx;
  std::filesystem::path folder;
};

TEST_F(ReportCommandTest, WritesTheReportWithTheOptions) {
  CliRun r = Report({"--layout", "list", "--type", "txt", "--stats", "n,median"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, (folder / "report.txt").string() + "\n" + (folder / "Growth_test.txt").string() + "\n");
  const std::string report = fx.read(folder / "report.txt");
  // A text report: a blank between the fields.
  EXPECT_NE(report.find("Time Group Value\r\n\r\n30 \"000_Control\" 21\r\n"), std::string::npos);
  EXPECT_NE(
      report.find("\"<<<<<< Group Activity: Median >>>>>>\"\r\nTime Group Value\r\n\r\n30 \"000_Control\" 12\r\n"),
      std::string::npos);
  EXPECT_NE(report.find("\"<<<<<< Group Activity: Number of wells/group >>>>>>\""), std::string::npos);
  EXPECT_EQ(report.find("Standard Error"), std::string::npos);

  // --spacer wins over the type's separator.
  r = Report({"--type", "csv", "--spacer", "|", "--bin", "60"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(fx.read(folder / "report.csv").find("Group/Time[m]|60\r\n\"000_Control\"|40\r\n"), std::string::npos);
}

TEST_F(ReportCommandTest, DefaultsComeFromTheReportSettings) {
  AcquisitionFixture::write(fx.program() / "repoconf.dat",
                            "\"<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, "
                            "<organism>, <method>, <threshold>, <rawexport>\"\r\n1,60,1,\";\",0,1,0,0,0,1,18,0\r\n");
  const std::string before = fx.read(fx.program() / "repoconf.dat");
  CliRun r = Report({});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::string report = fx.read(folder / "report.txt");
  EXPECT_NE(report.find("Group/Time[m];60\r\n\"000_Control\";40\r\n"), std::string::npos);
  EXPECT_NE(report.find("Standard Deviation"), std::string::npos);
  EXPECT_EQ(report.find("Standard Error"), std::string::npos);
  EXPECT_EQ(fx.read(fx.program() / "repoconf.dat"), before);  // read, never rewritten

  // A folder with histogram files defaults to the histogram layout.
  HistogramRecord h;
  h.ElapsedMinutesExact = 10;
  h.SecondsPerSample = 1;
  AcquisitionFixture::write(folder / "histo0000.bin", PackHistogramRecord(h));
  ASSERT_EQ(Report({}).code, kExitOk);
  EXPECT_NE(fx.read(folder / "report.txt").find("Group Histogram"), std::string::npos);
  ASSERT_EQ(Report({"--layout", "rows"}).code, kExitOk);
  EXPECT_EQ(fx.read(folder / "report.txt").find("Group Histogram"), std::string::npos);
}

TEST_F(ReportCommandTest, BasalQuestionsAreAnsweredByOptions) {
  WriteBasal();
  const std::vector<std::string> basal = {"--basal", "20240130_0800"};

  // The basal period is asked (120 minutes, bin 30): without its option, an
  // error that names it.
  CliRun r = Report(basal);
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("--basal-minutes"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "report.csv"));

  // A period out of range would be asked again and again: an error.
  r = Report({"--basal", "20240130_0800", "--basal-minutes", "20"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("--basal-minutes 20 is out of range: Enter a value between 30 and 120"), std::string::npos);

  // Well C1 has no basal activity: the next question needs --zero-basal.
  r = Report({"--basal", "20240130_0800", "--basal-minutes", "60"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("You have 1 BASAL WELLS with 0 activity. Proceed anyway??"), std::string::npos);
  EXPECT_NE(r.err.find("--zero-basal"), std::string::npos);

  r = Report({"--basal", "20240130_0800", "--basal-minutes", "60", "--zero-basal", "stop"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(std::filesystem::exists(folder / "report.csv"));

  r = Report({"--basal", "20240130_0800", "--basal-minutes", "60", "--zero-basal", "discard"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.err.find("ERROR in 1 BASAL channels."), std::string::npos);
  const std::string report = fx.read(folder / "report.csv");
  EXPECT_NE(
      report.find("\"TIME0(BASAL MEASSURE):\",\"20240130_0800\"\r\n\r\n\"***DATA AS % OF BASAL ACTIVITY***\"\r\n"),
      std::string::npos);
  EXPECT_NE(report.find("C1,\"999_Free\",100,-999,-999\r\n"), std::string::npos);
}

TEST_F(ReportCommandTest, UsageAndFailures) {
  std::ostringstream out, err;
  EXPECT_EQ(RunReport({}, out, err), kExitUsage);
  EXPECT_NE(err.str().find("which acquisition folder?"), std::string::npos);
  for (const auto& bad : std::vector<std::vector<std::string>>{{"--layout", "pie"},
                                                               {"--bin", "ten"},
                                                               {"--type", "xls"},
                                                               {"--stats", "se,mode"},
                                                               {"--zero-basal", "max"},
                                                               {"--basal", "2024"},
                                                               {"--basal", "20240130_0800", "--zero-basal", "maybe"},
                                                               {"--frobnicate"},
                                                               {"second-folder"}}) {
    CliRun r = Report(bad);
    EXPECT_EQ(r.code, kExitUsage) << bad[0];
    EXPECT_NE(r.err.find("usage: orbelune-cli"), std::string::npos);
  }
  // --basal names exactly an acquisition folder of the same project: a path,
  // extra characters or a folder that is not there are refused by name, not
  // cut to 13 characters.
  WriteBasal();
  for (const std::string& basal :
       {(fx.project() / "20240130_0800").string(), std::string("20240130_0800xyz"), std::string("20240130_080"),
        std::string("2024013a_0800"), std::string("20240130_0801")}) {
    CliRun r = Report({"--basal", basal, "--basal-minutes", "60", "--zero-basal", "max"});
    EXPECT_EQ(r.code, kExitUsage) << basal;
    EXPECT_NE(r.err.find("--basal"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Error loading"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Report({"--basal", "20240130_0800", "--basal-minutes", "60", "--zero-basal", "max"}).code, kExitOk);

  // Inputs missing or unreadable have their own exit code and are named
  // with the reason; nothing is written.
  std::filesystem::rename(folder / "counts.bin", folder / "counts.keep");
  CliRun r = Report({});
  EXPECT_EQ(r.code, kExitInput);
  EXPECT_EQ(r.err, "orbelune-cli report: " + (folder / "counts.bin").string() + ": no such file\n");
  std::filesystem::create_directory(folder / "counts.bin");
  r = Report({});
  EXPECT_EQ(r.code, kExitInput);
  EXPECT_NE(r.err.find("counts.bin: not a regular file"), std::string::npos) << r.err;
  std::filesystem::remove(folder / "counts.bin");
  std::filesystem::rename(folder / "counts.keep", folder / "counts.bin");

  // A plate without its file and without a built-in layout: no report
  // without wells, but the plate file named and a non-zero exit.
  fx.writeSetup(folder, "k77x");
  r = Report({});
  EXPECT_EQ(r.code, kExitInput);
  EXPECT_NE(r.err.find("k77x.dat: no such plate file (nor k77x.bak), and the plate k77x has no built-in layout"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(r.out.empty());
}

}  // namespace
}  // namespace orb
