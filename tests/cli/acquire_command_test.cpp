#include "cli/acquire_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "acquisition/engine.h"
#include "acquisition/run_control.h"
#include "cli/commands.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/cli/demo_project.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

// A recording whose tick fails inside (the interval analysis of a 200-sample
// buffer) stops as Stop does, says why on standard error, still prints its
// folder, and exits with kExitRunFailed instead of ending the process.
TEST(AcquireCommand, AFailingTickStopsTheRunWithItsOwnExitCode) {
  testing::TempFolder data;
  testing::WriteDemoProject(data.path(), [](ProjectSetup& setup) {
    setup.RT_Buffer = 200;
    setup.MenuTable[Mn1][Enab_Cal] = 0;
    setup.MenuTable[Mn1][Enab_Zero] = 1;
  });
  sim::VirtualInstrument instrument;
  data.write("ports.dat", "COM4=" + instrument.start() + "\n");

  FakeClock clock;
  AcquireHooks hooks;
  hooks.clock = &clock;
  int ticks = 0;
  hooks.afterTick = [&](AcquisitionEngine&) {
    ++ticks;
    clock.advance(std::chrono::milliseconds(70));
  };
  std::ostringstream out, err;
  const int code = RunAcquire({"--data", data.path().string(), "--name", "Short buffer", "--proceed"}, out, err, hooks);
  EXPECT_EQ(code, kExitRunFailed) << err.str();
  EXPECT_EQ(ticks, 200);
  EXPECT_NE(err.str().find(kTickFailedMessage), std::string::npos) << err.str();
  const std::string folder = out.str().substr(0, out.str().find('\n'));
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "subproj.dat"));
  EXPECT_EQ(instrument.model().outputs(), 0);  // switched off by the stop
}

}  // namespace
}  // namespace orb
