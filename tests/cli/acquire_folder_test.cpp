#include <gtest/gtest.h>

#include <sstream>

#include "acquisition/engine.h"
#include "cli/acquire_command.h"
#include "cli/commands.h"
#include "sim/virtual_instrument.h"
#include "tests/cli/demo_project.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

// The command line run twice in the same minute on one project: the second
// run does not append to the first one's records but takes the next
// minute's folder, says so on a line of its own, and prints that folder as
// the first line of its output, as every run prints its own.
TEST(AcquireCommand, ASecondRunOfTheSameMinuteRecordsIntoTheNextMinutesFolder) {
  testing::TempFolder data;
  testing::WriteDemoProject(data.path(), [](ProjectSetup& setup) {
    // One interval of 200 samples (whether auto zero analyses it or not).
    setup.RT_Buffer = 200;
    setup.Save_real = 1;
    setup.MenuTable[Mn1][Enab_Cal] = 0;
    setup.MenuTable[Mn1][Enab_Zero] = 1;
  });
  sim::VirtualInstrument instrument;
  data.write("ports.dat", "COM4=" + instrument.start() + "\n");

  FakeClock clock;  // the wall clock stays in 10:30 of 15 April 2022
  auto acquire = [&](const std::string& name, std::string& err) {
    AcquireHooks hooks;
    hooks.clock = &clock;
    hooks.afterTick = [&](AcquisitionEngine&) { clock.advance(std::chrono::milliseconds(6000)); };
    std::ostringstream out, errors;
    const int code =
        RunAcquire({"--data", data.path().string(), "--name", name, "--minutes", "1", "--proceed"}, out, errors, hooks);
    EXPECT_EQ(code, kExitOk) << errors.str();
    err = errors.str();
    return std::filesystem::path(out.str().substr(0, out.str().find('\n')));
  };
  std::string err1, err2;
  const auto first = acquire("Morning", err1);
  const auto second = acquire("Morning again", err2);
  EXPECT_EQ(first.filename(), "20220415_1030");
  EXPECT_EQ(second.filename(), "20220415_1031");
  EXPECT_EQ(err1.find("already holds a recording"), std::string::npos) << err1;
  EXPECT_NE(err2.find("\nThe folder 20220415_1030 already holds a recording; this run records into 20220415_1031.\n"),
            std::string::npos)
      << err2;
  EXPECT_EQ(ReadSubprojectName(first), "Morning");
  EXPECT_EQ(ReadSubprojectName(second), "Morning again");
  for (const auto& folder : {first, second}) {
    EXPECT_EQ(CountsRecordCount(folder), 1) << folder;
    EXPECT_EQ(std::filesystem::file_size(folder / "0.bin"), RawRecordSize(200)) << folder;
  }
}

}  // namespace
}  // namespace orb
