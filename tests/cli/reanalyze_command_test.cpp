#include "cli/reanalyze_command.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sstream>

#include "cli/commands.h"
#include "tests/reports/reanalysis_fixture.h"

namespace orb {
namespace {

namespace fs = std::filesystem;
using testing::AcquisitionFixture;
using testing::Dips;
class ReanalysisTest : public testing::ReanalysisFixture {};

// Ctrl+C during "RUN" on the command line acts as "STOP"; the previous
// SIGINT handler is back afterwards.
std::atomic<int> gOutsideInterrupts{0};
extern "C" void CountOutsideInterrupt(int) { ++gOutsideInterrupts; }

TEST_F(ReanalysisTest, CommandLineCtrlCStopsTheRun) {
  AcquisitionFixture::write(fx.program() / "config.dat", "\"x\"\r\n1,1,4,0\r\n");
  events.onProcess = [this] {
    if (events.processed == 2) std::raise(SIGINT);
  };
  const auto before = std::signal(SIGINT, CountOutsideInterrupt);
  std::ostringstream out, err;
  const int code =
      RunReanalyze({"--data", fx.program().string(), folder.string(), "--replace"}, out, err, &events);
  const auto after = std::signal(SIGINT, before);
  EXPECT_EQ(after, &CountOutsideInterrupt);
  EXPECT_EQ(gOutsideInterrupts, 0);
  EXPECT_EQ(code, kExitFile);
  EXPECT_EQ(events.processed, 2);
  EXPECT_NE(err.str().find("2 of 13 records analysed"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("stopped"), std::string::npos);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(AcquisitionFixture::read(folder / "counts.bin"), oldCounts);
  EXPECT_FALSE(fs::exists(folder / "counts.bin.bak"));
  EXPECT_FALSE(fs::exists(folder / "report.csv"));
}

// ---- the command line -------------------------------------------------------

TEST_F(ReanalysisTest, CommandLineReanalysesAndPrintsTheFilesWritten) {
  std::ostringstream out, err;
  const std::vector<std::string> base = {"--data", fx.program().string(), folder.string()};
  EXPECT_EQ(RunReanalyze(base, out, err), kExitConfig) << err.str();

  AcquisitionFixture::write(fx.program() / "config.dat", "\"x\"\r\n1,1,4,0\r\n");
  auto args = base;
  args.insert(args.end(), {"--method", "0", "--snr", "2.5", "--replace"});
  out.str("");
  err.str("");
  ASSERT_EQ(RunReanalyze(args, out, err), kExitOk) << err.str();
  EXPECT_FALSE(fs::exists(fx.program() / "repoconf.dat"));
  const std::string printed = out.str();
  for (const char* name : {"counts.bin.bak", "counts.bin", "setup.dat", "report.csv"})
    EXPECT_NE(printed.find((folder / name).string() + "\n"), std::string::npos) << name << "\n" << printed;
  EXPECT_EQ(countsOnDisk()[3].IntervalCounts[5], Dips(5, 3));
  const std::string report = AcquisitionFixture::read(folder / "report.csv");
  EXPECT_NE(report.find("Mode0 C.elegans[snr=2.5]"), std::string::npos) << report;
  EXPECT_NE(report.find("\"000_Control\""), std::string::npos);

  for (std::vector<std::string> bad : {std::vector<std::string>{"--method", "3"}, {"--snr", "7"}, {"--snr", "x"}, {"--hours", "0,5"},
                                       {"--organism", "2"}, {"--hours", "-1"}, {"--frobnicate"}}) {
    auto a = base;
    a.insert(a.end(), bad.begin(), bad.end());
    EXPECT_EQ(RunReanalyze(a, out, err), kExitUsage) << bad[0];
  }
  EXPECT_EQ(RunReanalyze({"--data", fx.program().string()}, out, err), kExitUsage);
  EXPECT_EQ(RunReanalyze({"--data", fx.program().string(), (folder / "nowhere").string()}, out, err), kExitUsage);

  fs::remove(folder / "0.bin");
  err.str("");
  EXPECT_EQ(RunReanalyze(base, out, err), kExitInput);
  EXPECT_NE(err.str().find("Real Time Data Not Found"), std::string::npos);
}

}  // namespace
}  // namespace orb
