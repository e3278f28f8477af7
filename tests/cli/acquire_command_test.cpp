#include "cli/acquire_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "acquisition/engine.h"
#include "acquisition/run_control.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "records/record_files.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

// A recording whose tick fails inside (the interval analysis of a 200-sample
// buffer) stops as Stop does, says why on standard error, still prints its
// folder, and exits with kExitRunFailed instead of ending the process.
TEST(AcquireCommand, AFailingTickStopsTheRunWithItsOwnExitCode) {
  testing::TempFolder data;
  InitDataFolder(data.path(), true);
  {
    ScriptedOperator op;
    Workspace ws(data.path(), op);
    ws.config.Actual_Project_Number = 1;
    ws.ProjectPath = data / "p00001";
    LoadProject(ws, 1);
    ws.setup.RT_Buffer = 200;
    ws.setup.MenuTable[Mn1][Enab_Cal] = 0;
    ws.setup.MenuTable[Mn1][Enab_Zero] = 1;
    SaveProject(ws);
  }
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
