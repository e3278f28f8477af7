#include "cli/acquire_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "acquisition/engine.h"
#include "acquisition/run_control.h"
#include "cli/commands.h"
#include "common/fileio.h"
#include "records/event_log.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/cli/demo_project.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

// A recording whose tick fails inside (the interval analysis of a 60-sample
// buffer, which a setup.dat edited by hand can hold) stops as Stop does, says why on standard error, still prints its
// folder, and exits with kExitRunFailed instead of ending the process.
TEST(AcquireCommand, AFailingTickStopsTheRunWithItsOwnExitCode) {
  testing::TempFolder data;
  testing::WriteDemoProject(data.path(), [](ProjectSetup& setup) {
    setup.RT_Buffer = 60;
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
  const int code = RunAcquire({"--data", data.path().string(), "--name", "Short buffer", "--proceed", "--no-auto-calibration"}, out, err, hooks);
  EXPECT_EQ(code, kExitRunFailed) << err.str();
  EXPECT_EQ(ticks, 60);
  EXPECT_NE(err.str().find(kTickFailedMessage), std::string::npos) << err.str();
  const std::string folder = out.str().substr(0, out.str().find('\n'));
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "subproj.dat"));
  EXPECT_EQ(instrument.model().outputs(), 0);  // switched off by the stop
}

// The command line starts a run as the program does after its load: the
// calibration control off switches the automatic calibration and auto
// zero on, whatever the project had stored; the options switch them off as
// the menu items do.
TEST(AcquireCommand, CalibratesAsTheWindowDoesUnlessToldOtherwise) {
  testing::TempFolder data;
  testing::WriteDemoProject(data.path(), [](ProjectSetup& setup) {
    setup.RT_Buffer = 50;
    setup.MenuTable[Mn1][Enab_Cal] = 0;
    setup.MenuTable[Mn1][Enab_Zero] = 0;
  });
  sim::VirtualInstrument instrument;
  data.write("ports.dat", "COM4=" + instrument.start() + "\n");
  auto run = [&](std::vector<std::string> options, bool& calibrationOn, bool& zeroOn) {
    FakeClock clock;
    AcquireHooks hooks;
    hooks.clock = &clock;
    hooks.afterTick = [&](AcquisitionEngine& e) {
      calibrationOn = e.calibration.autoCalibrationMode;
      zeroOn = e.calibration.autoZeroMode;
      clock.advance(std::chrono::milliseconds(100));
    };
    hooks.stop = [&](const AcquisitionEngine& e) { return e.TickCount >= 1; };
    std::vector<std::string> args = {"--data", data.path().string(), "--name", "Parity", "--proceed"};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out, err;
    EXPECT_EQ(RunAcquire(args, out, err, hooks), kExitOk) << err.str();
    return std::filesystem::path(out.str().substr(0, out.str().find('\n')));
  };
  bool calibrationOn = false, zeroOn = false;
  run({}, calibrationOn, zeroOn);
  EXPECT_TRUE(calibrationOn);
  EXPECT_TRUE(zeroOn);

  run({"--no-auto-calibration"}, calibrationOn, zeroOn);
  EXPECT_FALSE(calibrationOn);
  EXPECT_TRUE(zeroOn);
  run({"--no-auto-calibration", "--no-auto-zero"}, calibrationOn, zeroOn);
  EXPECT_FALSE(calibrationOn);
  EXPECT_FALSE(zeroOn);
}

// An acquisition folder that cannot be created is a file fault (exit 4,
// the folder and the reason on standard error), not a usage error.
TEST(AcquireCommand, AFolderThatCannotBeCreatedExitsAsAFileFault) {
  testing::TempFolder data;
  testing::WriteDemoProject(data.path(), [](ProjectSetup&) {});
  sim::VirtualInstrument instrument;
  data.write("ports.dat", "COM4=" + instrument.start() + "\n");
  FakeClock clock;  // 10:30 of 15 April 2022
  // A file where the run's folder must go (as root, a read-only folder
  // would not refuse it).
  data.write("p00001/20220415_1030", "not a folder");
  AcquireHooks hooks;
  hooks.clock = &clock;
  std::ostringstream out, err;
  const int code = RunAcquire({"--data", data.path().string(), "--name", "No folder", "--proceed",
                               "--no-auto-calibration", "--no-auto-zero"},
                              out, err, hooks);
  EXPECT_EQ(code, kExitFile) << err.str();
  EXPECT_NE(err.str().find("The acquisition folder could not be created:"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("20220415_1030"), std::string::npos) << err.str();
  EXPECT_TRUE(out.str().empty());
}

// Interval analysis over buffers shorter and longer than 500 samples, in
// each detection method: every interval is counted and recorded, the
// animals of the virtual instrument are seen, and the run ends as
// programmed.
TEST(AcquireCommand, IntervalAnalysisRunsAtEveryBufferLengthAndMethod) {
  for (const int buffer : {200, 498}) {
    for (int method = 0; method <= 2; ++method) {
      SCOPED_TRACE("RT_Buffer " + std::to_string(buffer) + " method " + std::to_string(method));
      testing::TempFolder data;
      testing::WriteDemoProject(data.path(), [&](ProjectSetup& setup) {
        setup.RT_Buffer = buffer;
        setup.DSP_Method = method;
      });
      sim::VirtualInstrument instrument;
      data.write("ports.dat", "COM4=" + instrument.start() + "\n");
      FakeClock clock;
      AcquireHooks hooks;
      hooks.clock = &clock;
      hooks.afterTick = [&](AcquisitionEngine&) { clock.advance(std::chrono::milliseconds(100)); };
      // The first interval (where these runs used to stop) and the start of the next.
      hooks.stop = [&](const AcquisitionEngine& e) { return CountsRecordCount(e.acquisitionFolder) >= 1; };
      std::ostringstream out, err;
      const int code = RunAcquire({"--data", data.path().string(), "--name", "Buffer", "--proceed", "--no-auto-calibration"}, out, err, hooks);
      ASSERT_EQ(code, kExitOk) << err.str();
      const std::filesystem::path folder = out.str().substr(0, out.str().find('\n'));
      const auto records = ReadCountsFile(folder);
      ASSERT_TRUE(records.has_value());
      ASSERT_EQ(records->size(), 1u);
      long long total = 0;
      for (const CountsRecord& r : *records) {
        for (auto c : r.IntervalCounts) total += c;
      }
      EXPECT_GT(total, 0);
      EXPECT_EQ(instrument.model().outputs(), 0);
    }
  }
}

// The instrument goes away in the middle of a run (its device name
// disappears, as with a pulled USB cable) and comes back under the same
// name: the operator is told once when no valid block came for 5 s and
// once when it is back, the port is reopened meanwhile, events.log of the
// acquisition says which intervals were not measured, and the run goes on
// to its end.
TEST(AcquireCommand, AnInstrumentThatGoesAwayIsToldLoggedAndFoundAgain) {
  testing::TempFolder data;
  testing::WriteDemoProject(data.path(), [](ProjectSetup& setup) {
    setup.RT_Buffer = 200;
  });
  sim::InstrumentOptions options;
  options.linkPath = (data.path() / "ttyInstrument").string();
  sim::VirtualInstrument instrument(options);
  instrument.start();
  data.write("ports.dat", "COM4=" + options.linkPath + "\n");

  FakeClock clock;
  AcquireHooks hooks;
  hooks.clock = &clock;
  int ticks = 0;
  bool away = false;
  hooks.afterTick = [&](AcquisitionEngine&) {
    clock.advance(std::chrono::milliseconds(100));
    ++ticks;
    // Gone from the middle of the second interval for 15 s of the run.
    if (ticks == 300) {
      instrument.stop();
      away = true;
    }
    if (ticks == 450) {
      instrument.start();
      away = false;
    }
  };
  hooks.stop = [&](const AcquisitionEngine& e) { return CountsRecordCount(e.acquisitionFolder) >= 4; };
  std::ostringstream out, err;
  const int code = RunAcquire({"--data", data.path().string(), "--name", "Unplugged", "--proceed", "--no-auto-calibration"}, out, err, hooks);
  EXPECT_EQ(code, kExitOk) << err.str();
  EXPECT_FALSE(away);
  const std::string messages = err.str();
  const auto lost = messages.find("Instrument link lost: no valid reply for 5 s.");
  ASSERT_NE(lost, std::string::npos) << messages;
  EXPECT_EQ(messages.find("Instrument link lost", lost + 1), std::string::npos) << "told once";
  const auto back = messages.find("Instrument link back after ");
  ASSERT_NE(back, std::string::npos) << messages;
  EXPECT_GT(back, lost);

  const std::filesystem::path folder = out.str().substr(0, out.str().find('\n'));
  ASSERT_EQ(CountsRecordCount(folder), 4);
  const std::string log = ReadWholeFile(folder / kEventsFile).value_or("");
  // Lost 5 s after the last valid block (tick 300, in the second interval),
  // back in the third interval (ticks 400..599); the temperature at the
  // second interval's close (tick 400) was not read either.
  EXPECT_NE(log.find("interval 2 (minute 0): Instrument link lost"), std::string::npos) << log;
  EXPECT_NE(log.find("interval 2 (minute 0): temperature could not be read: the record's -2.7 C"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(": Instrument link back after 1"), std::string::npos) << log;
  EXPECT_EQ(instrument.model().outputs(), 0);
}

}  // namespace
}  // namespace orb
