// A recording killed with SIGKILL in the middle of its run leaves only whole
// records: the real orbelune-cli, recording from the virtual instrument of a
// second orbelune-cli, killed without warning.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "records/record_files.h"
#include "tests/cli/demo_project.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace orb {
namespace {

pid_t Spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

void Kill(pid_t pid, int signal) {
  ::kill(pid, signal);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

TEST(Kill, AKilledRecordingLeavesOnlyWholeRecords) {
  testing::TempFolder data;
  // Short intervals with raw samples, no calibration at the start.
  testing::WriteDemoProject(data.path(), [](ProjectSetup& setup) {
    setup.RT_Buffer = 20;
    setup.Save_real = 1;
  });
  const std::string link = (data / "instrument").string();
  const pid_t simulator = Spawn({ORB_CLI_PATH, "simulate", "--link", link});
  ASSERT_GT(simulator, 0);
  for (int i = 0; i < 100 && !std::filesystem::exists(link); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(std::filesystem::exists(link));
  data.write("ports.dat", "COM4=" + link + "\n");

  const pid_t recorder =
      Spawn({ORB_CLI_PATH, "--data", data.path().string(), "acquire", "--name", "Killed", "--minutes", "30",
                                   "--no-auto-calibration", "--no-auto-zero"});
  ASSERT_GT(recorder, 0);
  std::filesystem::path folder;
  for (int i = 0; i < 500 && (folder.empty() || CountsRecordCount(folder) < 3); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (const auto& e : std::filesystem::directory_iterator(data / "p00001"))
      if (e.is_directory()) folder = e.path();
  }
  Kill(recorder, SIGKILL);
  Kill(simulator, SIGTERM);
  ASSERT_FALSE(folder.empty());

  const auto counts = std::filesystem::file_size(folder / "counts.bin");
  EXPECT_GE(counts, 3 * kCountsRecordSize);
  EXPECT_EQ(counts % kCountsRecordSize, 0u) << counts;
  std::uintmax_t rawRecords = 0;
  for (int f = 0; std::filesystem::exists(folder / RawFileName(f)); ++f) {
    const auto raw = std::filesystem::file_size(folder / RawFileName(f));
    EXPECT_EQ(raw % RawRecordSize(20), 0u) << f << ": " << raw;
    rawRecords += raw / RawRecordSize(20);
  }
  // The counts record is written before the interval's raw record: a kill
  // between the two leaves the raw files at most one record behind, never ahead.
  const std::uintmax_t countRecords = counts / kCountsRecordSize;
  EXPECT_LE(rawRecords, countRecords);
  EXPECT_LE(countRecords - rawRecords, 1u) << rawRecords << " raw records, " << countRecords << " counts";
}

}  // namespace
}  // namespace orb
