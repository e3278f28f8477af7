#include "cli/simulate_command.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/pty_client.h"
#include "tests/support/temp_folder.h"

namespace orb::sim {
namespace {

namespace fs = std::filesystem;

TEST(SimulateCommand, ValidatesOptions) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"}, {"--serial"}, {"--serial", "65280"}, {"--serial", "12x"}, {"--factory", "0,6,24,1,25,219,0"},
      {"--factory", "0,6,24,1,25,256,0,0"}, {"--dead", "5,384"}, {"--dead", "5,,6"}, {"--delay", "-1"},
      {"--short-every", "0"}, {"--pace=1"}, {"--link", ""}, {"--crossed", "5"}, {"--crossed", "5,384"},
  };
  for (const auto& args : bad) {
    std::ostringstream out, err;
    EXPECT_EQ(RunSimulate(args, out, err), kSimulateUsage) << args[0];
    EXPECT_TRUE(out.str().empty());
    EXPECT_NE(err.str().find("orbelune-cli simulate: "), std::string::npos);
  }
  SimulateOptions o;
  std::ostringstream err;
  ASSERT_TRUE(ParseSimulateOptions({"--serial=257", "--factory", "0,1,2,3,4,5,6,7", "--short-every", "4", "--delay",
                                    "30", "--dead", "1,383", "--seed", "4294967295", "--wrong-echo", "--crossed",
                                    "5,40,7,8"},
                                   o, err));
  const InstrumentOptions& i = o.instrument;
  EXPECT_TRUE(i.serial == 257 && i.factory[7] == 7 && i.seed == 4294967295u && i.faults.wrongEcho);
  EXPECT_TRUE(i.faults.shortReplyEvery == 4 && i.faults.delayMs == 30);
  EXPECT_EQ(i.faults.deadBeams, (std::vector<int>{1, 383}));
  EXPECT_EQ(i.faults.crossedBeams, (std::vector<std::pair<int, int>>{{5, 40}, {7, 8}}));
}

TEST(SimulateCommand, ServesUntilTerminatedAndRemovesItsLink) {
  orb::testing::TempFolder tmp;
  std::string link = (tmp / "orb-port").string();
  fs::create_symlink("/nonexistent/old", link);  // a stale link is replaced
  std::ostringstream out, err;
  int rc = -1;
  std::thread server([&] { rc = RunSimulate({"--link", link, "--serial", "257"}, out, err); });
  std::string target;
  for (int i = 0; i < 500 && target.rfind("/dev/", 0) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::error_code ec;
    target = fs::read_symlink(link, ec).string();
  }
  ASSERT_EQ(target.rfind("/dev/", 0), 0u);
  {
    testing::PtyClient c(link);
    EXPECT_EQ(c.exchange(testing::Frame(0x00, 0x00, 0x00), 2), (testing::Bytes{1, 2}));
  }
  pthread_kill(server.native_handle(), SIGTERM);
  server.join();
  EXPECT_EQ(rc, kSimulateOk);
  EXPECT_EQ(out.str(), target + "\n");
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(SimulateCommand, NeverReplacesAFileWithTheLink) {
  orb::testing::TempFolder tmp;
  tmp.write("data.txt", "keep me");
  std::ostringstream out, err;
  EXPECT_EQ(RunSimulate({"--link", (tmp / "data.txt").string()}, out, err), kSimulateFile);
  EXPECT_EQ(tmp.read("data.txt"), "keep me");
  EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace orb::sim
