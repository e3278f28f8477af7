#include "acquisition/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "acquisition/run_control.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "device/device_link.h"
#include "device/port_settings.h"
#include "records/event_log.h"
#include "sim/virtual_instrument.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using std::chrono::milliseconds;

// The demo project of a fresh data folder, loaded as the program does, with
// a device link that is offline until `connect` is called.
struct Bench {
  testing::TempFolder data;
  std::filesystem::path root;  // the data folder: data, or another bench's
  ScriptedOperator op;
  FakeClock clock;
  CountingEventLoop loop;
  Workspace ws{root, op};
  SerialPorts ports;
  ConnectionState state;
  DeviceLink link{ports, state, loop, op};
  AcquisitionEngine engine{EngineRecordsOf(ws), link, clock, loop};
  OutputState outputs;
  RunControl run{ws, link, engine, outputs, op, clock, loop};
  std::unique_ptr<sim::VirtualInstrument> instrument;

  // A second program on `shared`'s data folder (another instrument of the
  // same project) when given.
  explicit Bench(const Bench* shared = nullptr) : root(shared ? shared->root : data.path()) {
    if (!shared) InitDataFolder(root, true);
    ws.config.Actual_Project_Number = 1;
    ws.ProjectPath = root / "p00001";
    LoadProject(ws, 1);
    run.freeDisk = [](const std::filesystem::path&) { return 100000LL; };
  }
  void connect(sim::InstrumentOptions options = {}) {
    instrument = std::make_unique<sim::VirtualInstrument>(options);
    state.currentPort = 3;
    ASSERT_EQ(ports.CommOpen(3, instrument->start(), kInstrumentPortSettings), CommResult::Ok);
    state.connected = true;
  }
  // Offline: the engine keeps what the test puts into the buffer.
  void offlineRun(int method, int window) {
    state.connected = true;
    state.offline = true;
    ws.setup.DSP_Method = static_cast<std::int16_t>(method);
    ws.setup.DSP_Interval = static_cast<std::int16_t>(window);
    engine.ResetTables();
    engine.runState = kRunning;
    engine.StartClock();
    for (auto& b : ws.thresholds) b = 10.0;
  }
  // One tick with every beam reading `value` in the current slot.
  void tick(int value) {
    for (int b = 0; b < kChannels; ++b)
      engine.RawBuffer.values[std::size_t(engine.SampleIndex) * kChannelSlots + b] = static_cast<std::int16_t>(value);
    clock.advance(milliseconds(30));
    engine.OnTick();
  }
};

// Real-time counting, method 1: nothing is counted during the warm-up
// (TickCount must pass 1.5 x DSP_Interval), a long dip counts once, and it
// counts again only after the signal came back to the threshold.
TEST(Engine, RealTimeCountingCountsEachCrossingOnce) {
  Bench b;
  b.offlineRun(1, 30);
  for (int t = 0; t < 40; ++t) b.tick(t == 35 ? 100 : 2000);  // a dip at tick 35: still warm-up
  EXPECT_EQ(b.engine.TotalCounts[0], 0);
  for (int t = 0; t < 10; ++t) b.tick(2000);
  ASSERT_GT(b.engine.TickCount, 45);
  EXPECT_GT(b.engine.lower(0, b.engine.SampleIndex - 1), 1500);  // the threshold follows the level
  for (int t = 0; t < 20; ++t) b.tick(100);  // below for 20 samples: one event
  EXPECT_EQ(b.engine.TotalCounts[0], 1);
  EXPECT_EQ(b.engine.TotalCounts[383], 1);
  for (int t = 0; t < 5; ++t) b.tick(2000);
  b.tick(100);
  EXPECT_EQ(b.engine.TotalCounts[0], 2);
  EXPECT_EQ(b.engine.IntervalCounts[0], 2);
}

// Method 0 counts at most one event per window of DSP_Interval + 1 ticks.
TEST(Engine, BinaryCountingCountsOncePerWindow) {
  Bench b;
  b.offlineRun(0, 30);
  while (b.engine.TickCount <= 46 || b.engine.WindowCounter != 0) b.tick(2000);
  const int before = b.engine.TotalCounts[7];
  for (int k = 0; k < 5; ++k) {  // five crossings inside one window
    b.tick(100);
    b.tick(2000);
  }
  while (b.engine.WindowCounter != 0) b.tick(2000);
  EXPECT_EQ(b.engine.TotalCounts[7] - before, 1);
}

// TotalCounts stops at 10000 while the interval's count goes on.
TEST(Engine, TotalCountsStopAtTenThousand) {
  Bench b;
  b.offlineRun(1, 30);
  while (b.engine.TickCount <= 46) b.tick(2000);
  b.engine.TotalCounts[0] = 9999;
  b.tick(100);
  b.tick(2000);
  b.tick(2000);
  b.tick(100);
  EXPECT_EQ(b.engine.TotalCounts[0], 10000);
  EXPECT_EQ(b.engine.IntervalCounts[0], 2);
}

// An interval count that would pass 32767 ends the tick instead of
// wrapping around to a negative count.
TEST(Engine, CounterOverflowEndsTheTick) {
  Bench b;
  b.offlineRun(1, 30);
  while (b.engine.TickCount <= 46) b.tick(2000);
  b.engine.IntervalCounts[0] = 32767;
  const int ticks = b.engine.TickCount;
  b.tick(100);
  EXPECT_EQ(b.engine.IntervalCounts[0], 32767);
  EXPECT_EQ(b.engine.TickCount, ticks);  // the tick ended early
  b.engine.IntervalCounts[0] = 0;
  b.tick(2000);
  EXPECT_EQ(b.engine.TickCount, ticks + 1);

  // Past 32767 minutes every tick ends at the time computation: the minutes
  // keep their last value and the programmed end is never reached.
  b.clock.advance(std::chrono::minutes(32768));
  b.tick(2000);
  EXPECT_EQ(b.engine.ElapsedMinutes, 0);
  EXPECT_EQ(b.engine.TickCount, ticks + 1);
  EXPECT_FALSE(b.engine.Finished);
}

// Interval analysis: a beam with no level gets the factor x 100 + 1.
TEST(Engine, IntervalAnalysisDerivesTheBandFromTheNoise) {
  Bench b;
  b.offlineRun(1, 30);
  b.engine.calibration.autoZeroMode = true;
  b.engine.calibration.snrFactor = 1.8;
  int counted = 0;
  b.engine.analysis.count = [&](const RawRecord&, int, double snr, int method) {
    ++counted;
    EXPECT_EQ(snr, 1.8);
    EXPECT_EQ(method, 1);
    return std::int16_t(3);
  };
  for (int t = 0; t < b.ws.setup.RT_Buffer; ++t) b.tick(0);
  const int used = static_cast<int>(std::count_if(b.ws.plate.ChannelWell.begin(), b.ws.plate.ChannelWell.begin() + kChannels,
                                                  [](std::int16_t w) { return w >= 0; }));
  EXPECT_EQ(counted, used);
  const int beam = static_cast<int>(std::find_if(b.ws.plate.ChannelWell.begin(), b.ws.plate.ChannelWell.end(),
                                                 [](std::int16_t w) { return w >= 0; }) -
                                    b.ws.plate.ChannelWell.begin());
  EXPECT_DOUBLE_EQ(b.ws.thresholds[beam], 181.0);
  EXPECT_EQ(b.engine.IntervalCounts[beam], 3);
  EXPECT_EQ(b.engine.TotalCounts[beam], 3);
}

// A temperature query without reply (-1) is converted as any reading, which
// lies below the regulated range: the power goes off instead of being
// driven by the last good reading. Auto zero's samples never reach the
// buffer's last slot.
TEST(Engine, TemperatureWithoutReplyAndTheLastSlot) {
  Bench b;
  b.state.connected = true;  // online, but the port never answers
  b.state.currentPort = 3;
  b.ws.setup.RT_Buffer = 4;
  b.engine.ResetTables();
  b.engine.runState = kRunning;
  b.engine.StartClock();
  b.engine.Temperature = 24.0;
  b.outputs.TempControlEnabled = -1;
  b.outputs.SetPoint = 25.0;
  b.outputs.HeatMode = -1;
  b.outputs.TempOutputOn = -1;
  for (int t = 0; t < 4; ++t) b.engine.OnTick();
  EXPECT_EQ(b.engine.SampleIndex, 0);
  EXPECT_DOUBLE_EQ(b.engine.Temperature, -0.219);
  EXPECT_EQ(b.engine.TemperatureText, "-0.2");
  EXPECT_EQ(b.outputs.TempOutputOn, 0);
  EXPECT_EQ(b.outputs.HeatMode, 0);

  ChannelReadings readings;
  readings.fill(1000);
  b.run.storeSample(4, readings);
  b.run.storeSample(3, readings);
  EXPECT_EQ(b.engine.raw(0, 4), 0);
  EXPECT_EQ(b.engine.raw(0, 3), 1000);
}

TEST(Engine, ElapsedTimeText) {
  EXPECT_EQ(AcquisitionEngine::FormatElapsed(milliseconds(0)), "00:00:00 [0d]");
  EXPECT_EQ(AcquisitionEngine::FormatElapsed(milliseconds((26 * 3600 + 61) * 1000LL + 999)), "02:01:01 [1d]");
}

// ---- whole runs against the virtual instrument ---------------------------------

// A named run of 1 minute with 50 samples per interval, the clock moving
// 300 ms a tick: counts.bin, 0.bin and the end of the acquisition.
TEST(Run, RecordsUntilTheProgrammedTimeAndEnds) {
  Bench b;
  b.connect();
  b.ws.setup.Aq_lapse = 1;
  b.ws.setup.RT_Buffer = 50;
  b.ws.setup.Save_real = 1;
  b.op.type(std::string("Dose 1"));
  b.op.answer(Answer::Ok);  // "Acquisition finished"
  std::vector<int> codes;
  ASSERT_TRUE(b.run.StartRun());
  EXPECT_EQ(b.engine.runState, kRunning);
  EXPECT_TRUE(b.engine.timerEnabled);
  ASSERT_FALSE(b.run.lastFolder.empty());
  EXPECT_EQ(b.run.lastFolder.filename(), "20220415_1030");
  EXPECT_EQ(ReadSubprojectName(b.run.lastFolder), "Dose 1");
  int ticks = 0;
  while (b.engine.timerEnabled && ticks < 1000) {
    b.clock.advance(milliseconds(300));
    b.engine.OnTick();
    ++ticks;
  }
  EXPECT_TRUE(b.engine.Finished);
  EXPECT_EQ(b.engine.runState, kStopped);
  EXPECT_TRUE(b.op.saw("Acquisition finished"));
  // 50 ticks of 300 ms = 15 s per interval: the run ends at the first close
  // at or after 1 minute, that is after the fourth interval.
  EXPECT_EQ(ticks, 200);
  auto counts = ReadCountsFile(b.run.lastFolder);
  ASSERT_TRUE(counts);
  ASSERT_EQ(counts->size(), 4u);
  EXPECT_EQ((*counts)[0].ElapsedMinutes, 0);
  EXPECT_EQ((*counts)[3].ElapsedMinutes, 0);  // written before the tick's time step
  EXPECT_GT((*counts)[3].TemperatureTenths, 100);
  EXPECT_EQ(std::filesystem::file_size(b.run.lastFolder / "0.bin"), 4 * RawRecordSize(50));
  // The raw record holds the beams' readings: a used beam reads its level.
  EXPECT_EQ(b.outputs.LightOn, 0);
  EXPECT_EQ(b.outputs.TempOutputOn, 0);
}

// A tick that fails inside (here the interval analysis of a 60-sample
// buffer, which the count routine refuses) stops the run as Stop does and
// says why, instead of ending the program; the next firing does nothing.
TEST(Run, AFailingTickStopsTheRunAsStopDoesAndSaysWhy) {
  Bench b;
  b.connect();
  b.ws.setup.RT_Buffer = 60;
  b.ws.setup.Aq_lapse = 10;
  b.engine.calibration.autoZeroMode = true;
  b.op.type(std::string("Short buffer"));
  b.op.answer(Answer::Ok);  // the message
  ASSERT_TRUE(b.run.StartRun());
  b.outputs.LightOn = 1;
  int ticks = 0;
  while (b.engine.timerEnabled && ticks < 1000) {
    b.clock.advance(milliseconds(300));
    b.run.Tick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 60);  // the first interval close
  EXPECT_EQ(b.engine.runState, kStopped);
  EXPECT_FALSE(b.engine.timerEnabled);
  EXPECT_EQ(b.outputs.LightOn, 0);  // switched off as Stop does
  ASSERT_FALSE(b.op.texts().empty());
  EXPECT_EQ(b.op.texts().back().rfind(kTickFailedMessage, 0), 0u) << b.op.texts().back();
  EXPECT_NE(b.op.texts().back().find("too short to analyse"), std::string::npos) << b.op.texts().back();
  b.run.Tick();  // a late firing of the timer
  EXPECT_EQ(b.engine.runState, kStopped);
}

// Faults of the instrument during a run (short or corrupt blocks, dead
// beams, late replies, the instrument gone) never stop it: it ends at its
// programmed time with every interval recorded.
TEST(Run, InstrumentFaultsNeverStopTheRun) {
  // One interval of 10 samples, 6 s a tick: the run ends at its first close.
  auto run = [](sim::Faults faults, bool disappear) {
    Bench b;
    sim::InstrumentOptions options;
    options.faults = faults;
    b.connect(options);
    b.ws.setup.Aq_lapse = 1;
    b.ws.setup.RT_Buffer = 10;
    b.ws.setup.Save_real = 1;
    b.op.type(std::string("Faults")).answer(Answer::Ok);
    EXPECT_TRUE(b.run.StartRun());
    for (int t = 0; t < 100 && b.engine.timerEnabled; ++t) {
      if (disappear && t == 5) b.instrument->stop();
      b.clock.advance(milliseconds(6000));
      b.engine.OnTick();
    }
    EXPECT_TRUE(b.engine.Finished);
    EXPECT_EQ(b.engine.runState, kStopped);
    EXPECT_EQ(CountsRecordCount(b.run.lastFolder), 1);
    EXPECT_EQ(std::filesystem::file_size(b.run.lastFolder / "0.bin"), RawRecordSize(10));
    return b.engine.RawBuffer;
  };
  sim::Faults shortReplies;
  shortReplies.shortReplyEvery = 25;
  run(shortReplies, false);
  sim::Faults corrupt;
  corrupt.badHighBytes = true;
  run(corrupt, false);
  sim::Faults late;
  late.delayMs = 2;
  late.deadBeams = {5, 200};
  const RawRecord raw = run(late, false);
  EXPECT_EQ(raw.at(8, 5), 0);
  EXPECT_EQ(raw.at(8, 200), 0);
  run(sim::Faults{}, true);
}

// Raw files rotate every eleven intervals; counts.bin holds them all.
TEST(Run, RawFilesRotateEveryElevenIntervals) {
  Bench b;
  b.connect();
  b.ws.setup.Aq_lapse = 1;
  b.ws.setup.RT_Buffer = 4;
  b.ws.setup.Save_real = 1;
  b.op.type(std::string("Rotation")).answer(Answer::Ok);
  ASSERT_TRUE(b.run.StartRun());
  for (int t = 0; t < 1000 && b.engine.timerEnabled; ++t) {
    b.clock.advance(milliseconds(300));
    b.engine.OnTick();
  }
  ASSERT_TRUE(b.engine.Finished);
  EXPECT_EQ(CountsRecordCount(b.run.lastFolder), 50);  // 4 x 300 ms per interval, one minute
  for (int f = 0; f < 4; ++f)
    EXPECT_EQ(std::filesystem::file_size(b.run.lastFolder / RawFileName(f)), 11 * RawRecordSize(4)) << f;
  EXPECT_EQ(std::filesystem::file_size(b.run.lastFolder / "4.bin"), 6 * RawRecordSize(4));
  EXPECT_FALSE(std::filesystem::exists(b.run.lastFolder / "5.bin"));
  const auto counts = ReadCountsFile(b.run.lastFolder);
  EXPECT_EQ(counts->back().ElapsedMinutes, 0);  // the minute of the previous tick
  EXPECT_EQ(counts->at(25).ElapsedMinutes, 0);
}

// A pause that stops the clock moves the end of the run by its length; a
// pause with the clock running does not.
TEST(Run, PauseWithTheClockStoppedMovesTheEnd) {
  Bench b;
  b.connect();
  b.ws.setup.Aq_lapse = 30;
  b.op.type(std::string(""));
  b.op.answer(Answer::Ok);  // monitor mode
  ASSERT_TRUE(b.run.StartRun());
  EXPECT_FALSE(b.engine.Recording);
  b.clock.advance(milliseconds(5 * 60000));
  b.op.answer(Answer::Yes);
  b.run.PauseOrResume();
  EXPECT_EQ(b.engine.runState, kPaused);
  EXPECT_FALSE(b.engine.timerEnabled);
  b.clock.advance(milliseconds(10 * 60000));
  b.run.PauseOrResume();
  EXPECT_EQ(b.engine.runState, kRunning);
  EXPECT_EQ(b.engine.elapsed(), milliseconds(5 * 60000));

  // Paused with the clock running: the end check still runs every tick.
  b.op.answer(Answer::No);
  b.run.PauseOrResume();
  EXPECT_TRUE(b.engine.timerEnabled);
  b.clock.advance(milliseconds(25 * 60000));
  b.op.answer(Answer::Ok);
  b.engine.OnTick();
  EXPECT_TRUE(b.engine.Finished);
  EXPECT_EQ(b.engine.runState, kStopped);
}

// The wall clock jumping an hour (daylight saving) does not move the run.
TEST(Run, WallClockJumpsDoNotChangeElapsedTime) {
  Bench b;
  b.connect();
  b.op.type(std::string(""));
  b.op.answer(Answer::Ok);
  ASSERT_TRUE(b.run.StartRun());
  b.clock.advance(milliseconds(60000));
  b.clock.local.hour += 1;
  b.engine.OnTick();
  EXPECT_EQ(b.engine.ElapsedMinutes, 1);
}

TEST(Run, RefusalsAndTheNameDialog) {
  Bench b;
  // Project 0.
  b.ws.config.Actual_Project_Number = 0;
  b.op.type(std::string("x"));
  EXPECT_FALSE(b.run.StartRun());
  EXPECT_TRUE(b.op.saw("Operation not allowed in Project #0:Default. Go to <Setup> and Save it with another name"));
  // Offline.
  b.ws.config.Actual_Project_Number = 1;
  b.op.type(std::string("x"));
  EXPECT_FALSE(b.run.StartRun());
  EXPECT_TRUE(b.op.saw("Acquisition not allowed in OFFLINE MODE. Connect the equipment and press Connect."));
  EXPECT_EQ(b.engine.runState, kStopped);

  // An empty name, Cancel, then a name typed into the second dialog.
  b.connect();
  b.op.clear();
  b.op.type(std::string("")).answer(Answer::Cancel).type(std::string("Second try"));
  ASSERT_TRUE(b.run.StartRun());
  ASSERT_EQ(b.op.prompts().size(), 2u);
  EXPECT_EQ(b.op.prompts()[1], "Enter a Name for this experiment");
  EXPECT_NE(b.op.prompts()[0].find("***   Enter a Name for this Experiment  ***\r\n"), std::string::npos);
  EXPECT_NE(b.op.prompts()[0].find("> Auto Calibration is OFF: Remember to read Blank.\r\n"), std::string::npos);
  EXPECT_TRUE(b.engine.Recording);
  EXPECT_EQ(ReadSubprojectName(b.run.lastFolder), "Second try");
  b.run.StopRun();
  EXPECT_EQ(b.engine.runState, kStopped);
  EXPECT_FALSE(b.engine.timerEnabled);

  // A name the files cannot hold is refused before anything is written.
  b.op.type(std::string("Dose \xE2\x86\x92 2"));  // an arrow: not in Windows-1252
  EXPECT_FALSE(b.run.StartRun());
  const std::string refused =
      "The experiment name or its description holds characters that cannot be stored "
      "(double quotes, or characters outside Windows-1252). Please type them again.";
  EXPECT_TRUE(b.op.saw(refused));
  EXPECT_EQ(b.engine.runState, kStopped);
  // So is a double quote, which would end the name's field in subproj.dat.
  b.op.clear();
  b.op.type(std::string("Dose \"2\""));
  EXPECT_FALSE(b.run.StartRun());
  EXPECT_TRUE(b.op.saw(refused));
  EXPECT_EQ(b.engine.runState, kStopped);
}

// Stop pressed during the calibration at the start: the auto zero still
// begins and notices the stop at its first sample; the run does not start.
// Stop disables the self-test timer and, when it was running, blanks the
// temperature label.
TEST(Run, StopDuringTheStartCalibration) {
  Bench b;
  b.connect();
  b.engine.calibration.autoCalibrationMode = b.engine.calibration.autoZeroMode = true;
  std::vector<std::string> statuses;
  std::string temperature;
  int selfTestStops = 0;
  b.run.view.stopSelfTest = [&] { return ++selfTestStops == 2; };
  b.run.view.temperature = [&](const std::string& t) { temperature = t; };
  b.run.view.autochannel = [&](const std::string& t) {
    statuses.push_back(t);
    if (t == "Acquiring...") b.run.StopRun();
  };
  b.op.type(std::string("Stopped early"));
  EXPECT_FALSE(b.run.StartRun());
  EXPECT_EQ(b.engine.runState, kStopped);
  EXPECT_FALSE(b.engine.timerEnabled);
  EXPECT_EQ(selfTestStops, 2);  // at the start, and by Stop
  EXPECT_EQ(temperature, "__");
  auto at = [&](const std::string& t) { return std::find(statuses.begin(), statuses.end(), t) - statuses.begin(); };
  EXPECT_LT(at("Calibration OK"), at("AutoZero Calculation .... <000>"));
  EXPECT_LT(at("AutoZero... <0>"), long(statuses.size()));
  EXPECT_EQ(at("AutoZero... <1>"), long(statuses.size()));
}

// The calibration state is the engine's, and run control reads it: the
// name dialog tells whether both automatic switches are on, the start of a
// recording takes the factor from the box with its lower limit (1.8 below
// 1.3), Fast ZERO takes the box's number as it stands.
TEST(Run, StartAndFastZeroTakeTheFactorFromTheEnginesCalibrationState) {
  Bench b;
  CalibrationMenus& cal = b.engine.calibration;
  cal.autoCalibrationMode = cal.autoZeroMode = true;
  EXPECT_NE(b.run.NamePrompt().find("> Auto Calibration is ON: Use experimental Microplate Direclty."),
            std::string::npos);
  cal.autoCalibrationMode = false;
  EXPECT_NE(b.run.NamePrompt().find("> Auto Calibration is OFF"), std::string::npos);

  // Stopped: Fast ZERO takes the factor but measures nothing.
  for (auto& t : b.ws.thresholds) t = 7.0;
  cal.snrText = "1.2";
  b.run.FastZero();
  EXPECT_DOUBLE_EQ(cal.snrFactor, 1.2);
  EXPECT_DOUBLE_EQ(b.ws.thresholds[0], 7.0);

  // Recordings with the automatic zero: the factor of the start, and a zero
  // that set the bands.
  b.connect();
  b.op.type(std::string("Low box"));
  ASSERT_TRUE(b.run.StartRun());
  EXPECT_DOUBLE_EQ(cal.snrFactor, 1.8);
  EXPECT_NE(b.ws.thresholds[0], 7.0);
  b.run.StopRun();
  cal.snrText = "2.5";
  b.op.type(std::string("Box taken"));
  ASSERT_TRUE(b.run.StartRun());
  EXPECT_DOUBLE_EQ(cal.snrFactor, 2.5);
  b.run.StopRun();
}

TEST(Run, DiskCheckTexts) {
  // What a run writes: a raw record of 385 x 501 x 2 bytes and a counts
  // record of 774 bytes every 500 samples of at least 7,880 bits at 115200
  // baud, 678,119 bytes (0.647 MB) a minute; a day is 931 MB.
  EXPECT_EQ(RawSavingMegabytes(1440, 500), 931);
  // A smaller buffer writes more per minute: 385 x 201 x 2 + 774 bytes every 200 samples.
  EXPECT_EQ(RawSavingMegabytes(1440, 200), 937);
  EXPECT_EQ(RawSavingMegabytes(0, 500), 0);

  EXPECT_EQ(DiskWarning(1547, 100000, 500), "");  // 1,000 MB: no question
  const std::string always = DiskWarning(1548, 100000, 500);
  EXPECT_EQ(always,
            "WARNING:\r\nProgrammed Acquisition lapse = 1548minutes & RealTime_recording=YES\r\n"
            "Required Disk space for RealTime Saving = 1001MB\r\nCurrent Disk Space=100000MB\r\n\r\nPROCEED?");
  const std::string low = DiskWarning(1547, 1500, 500);
  EXPECT_NE(low.find("LOW DISK SPACE\r\n"), std::string::npos);
  EXPECT_EQ(low.find("NOT ENOUGH"), std::string::npos);
  const std::string none = DiskWarning(100, -1, 500);
  EXPECT_NE(none.find("Current Disk Space=-1MB\r\nLOW DISK SPACE\r\nNOT ENOUGH DISK SPACE\r\n (Please, Increase"),
            std::string::npos);

  // Answered No: the setup screen opens and nothing starts.
  Bench b;
  b.connect();
  b.ws.setup.Aq_lapse = 2503;
  b.ws.setup.Save_real = 1;
  bool setupOpened = false;
  b.run.view.openSetup = [&] { setupOpened = true; };
  b.op.type(std::string("Long run")).answer(Answer::No);
  EXPECT_FALSE(b.run.StartRun());
  EXPECT_TRUE(setupOpened);
  EXPECT_EQ(b.engine.runState, kStopped);
  // Thirty minutes never ask.
  b.ws.setup.Aq_lapse = 30;
  b.op.type(std::string("Short run"));
  EXPECT_TRUE(b.run.StartRun());
}

// Two programs recording the same project, started in the same minute, and
// running side by side: each records into a folder of its own, which it
// holds locked until its end, with its own whole records and subproj.dat.
TEST(Run, TwoRunsOfOneMinuteRecordIntoTwoFolders) {
  Bench first;
  Bench second(&first);
  std::vector<std::string> told;
  second.run.view.recordError = [&](const std::string& m) { told.push_back(m); };
  for (Bench* b : {&first, &second}) {
    b->connect();
    b->ws.setup.Aq_lapse = 1;
    b->ws.setup.RT_Buffer = 4;
    b->ws.setup.Save_real = 1;
  }
  first.op.type(std::string("Left plate")).answer(Answer::Ok);
  second.op.type(std::string("Right plate")).answer(Answer::Ok);
  ASSERT_TRUE(first.run.StartRun());
  ASSERT_TRUE(second.run.StartRun());
  EXPECT_EQ(first.run.lastFolder.filename(), "20220415_1030");
  EXPECT_EQ(second.run.lastFolder.filename(), "20220415_1031");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0], "The folder 20220415_1030 already holds a recording; this run records into 20220415_1031.");
  EXPECT_FALSE(FolderLock::TryLock(first.run.lastFolder).held());
  for (int t = 0; t < 1000 && (first.engine.timerEnabled || second.engine.timerEnabled); ++t) {
    for (Bench* b : {&first, &second}) {
      if (!b->engine.timerEnabled) continue;
      b->clock.advance(milliseconds(300));
      b->engine.OnTick();
    }
  }
  ASSERT_TRUE(first.engine.Finished);
  ASSERT_TRUE(second.engine.Finished);
  for (Bench* b : {&first, &second}) {
    const auto folder = b->run.lastFolder;
    EXPECT_EQ(CountsRecordCount(folder), 50) << folder;
    EXPECT_EQ(std::filesystem::file_size(folder / kCountsFile), 50 * kCountsRecordSize) << folder;
    EXPECT_EQ(std::filesystem::file_size(folder / "4.bin"), 6 * RawRecordSize(4)) << folder;
    // Ended: the lock is gone with the run.
    EXPECT_TRUE(FolderLock::TryLock(folder).held()) << folder;
  }
  EXPECT_EQ(ReadSubprojectName(first.run.lastFolder), "Left plate");
  EXPECT_EQ(ReadSubprojectName(second.run.lastFolder), "Right plate");
}

// One interval of RT_Buffer 500 samples, every sample of every beam at
// `value`, on the offline engine.
void RecordInterval(Bench& b, int value) {
  do b.tick(value);
  while (b.engine.SampleIndex != 0);
}

// An offline recording into `folder` with raw samples, whose interval
// messages the test collects.
void StartOfflineRecording(Bench& b, const std::filesystem::path& folder, std::vector<std::string>& told) {
  b.ws.setup.RT_Buffer = kStandardRawBuffer;
  b.ws.setup.Save_real = 1;
  b.ws.setup.Aq_lapse = 1000;
  b.offlineRun(1, 30);
  std::filesystem::create_directories(folder);
  b.engine.acquisitionFolder = folder;
  b.engine.Recording = true;
  b.run.view.recordError = [&](const std::string& m) { told.push_back(m); };
}

std::vector<std::string> EventLines(const std::filesystem::path& folder) {
  std::vector<std::string> lines;
  std::ifstream in(folder / kEventsFile);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The disk refusing the raw samples (here the raw files replaced by folders
// for intervals 6..25) does not cost the counts: every interval's counts
// are recorded, the operator hears once that raw saving is suspended and
// once that it resumed, events.log says which intervals have no raw
// samples, and the raw records after it stay paired with their counts.
TEST(Run, RawSavingFailureKeepsTheCountsAndResumesInPlace) {
  Bench b;
  std::vector<std::string> told;
  const auto folder = b.data / "p00001" / "20220415_1030";
  StartOfflineRecording(b, folder, told);
  for (int i = 0; i < 5; ++i) RecordInterval(b, 1000 + i);
  std::filesystem::rename(folder / "0.bin", folder / "0.keep");
  for (const char* f : {"0.bin", "1.bin", "2.bin"}) std::filesystem::create_directories(folder / f);
  for (int i = 5; i < 25; ++i) RecordInterval(b, 1000 + i);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0], "Raw data saving suspended: " + (folder / "0.bin").string() +
                         ": Is a directory.\r\nThe counts are still recorded; raw saving is retried at every interval.");
  for (const char* f : {"0.bin", "1.bin", "2.bin"}) std::filesystem::remove(folder / f);
  std::filesystem::rename(folder / "0.keep", folder / "0.bin");
  for (int i = 25; i < 27; ++i) RecordInterval(b, 1000 + i);

  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[1], "Raw data saving resumed.\r\nIntervals 6 to 25 have no raw samples (they read as zeros).");
  EXPECT_EQ(b.engine.RawFileIndex, 2);
  EXPECT_EQ(b.engine.RawFileFill, 5);
  const auto counts = ReadCountsFile(folder);
  ASSERT_TRUE(counts);
  ASSERT_EQ(counts->size(), 27u);
  EXPECT_EQ(RawIntervalCount(folder), 27);
  for (int i = 0; i < 27; ++i) {
    const auto raw = ReadRawInterval(folder, i);
    ASSERT_TRUE(raw) << i;
    EXPECT_EQ(raw->at(7, 20), i >= 5 && i < 25 ? 0 : 1000 + i) << i;
  }
  const auto lines = EventLines(folder);
  ASSERT_EQ(lines.size(), 2u);
  const std::string minute5 = std::to_string((*counts)[5].ElapsedMinutes);
  const std::string minute25 = std::to_string((*counts)[25].ElapsedMinutes);
  EXPECT_EQ(lines[0], "2022-04-15 10:30:00 interval 6 (minute " + minute5 + "): raw saving suspended: " +
                          (folder / "0.bin").string() + ": Is a directory; the counts are still recorded\r");
  EXPECT_EQ(lines[1], "2022-04-15 10:30:00 interval 26 (minute " + minute25 +
                          "): raw saving resumed; intervals 6 to 25 have no raw samples (they read as zeros)\r");
}

// counts.bin that cannot be written keeps nothing of the interval (no raw
// record either) and leaves the rotation where it is; each lost interval
// gets a line in events.log, the operator hears of it once.
TEST(Run, ALostIntervalIsLoggedAndKeepsNothing) {
  Bench b;
  std::vector<std::string> told;
  const auto folder = b.data / "p00001" / "20220415_1030";
  StartOfflineRecording(b, folder, told);
  RecordInterval(b, 1000);
  std::filesystem::rename(folder / kCountsFile, folder / "counts.keep");
  std::filesystem::create_directories(folder / kCountsFile);
  RecordInterval(b, 1001);
  RecordInterval(b, 1002);
  std::filesystem::remove(folder / kCountsFile);
  std::filesystem::rename(folder / "counts.keep", folder / kCountsFile);
  RecordInterval(b, 1003);

  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("Recording error: the interval could not be written to\r\n" + (folder / kCountsFile).string()),
            std::string::npos);
  EXPECT_EQ(CountsRecordCount(folder), 2);
  EXPECT_EQ(RawIntervalCount(folder), 2);
  EXPECT_EQ(ReadRawInterval(folder, 1)->at(7, 20), 1003);
  const auto lines = EventLines(folder);
  ASSERT_EQ(lines.size(), 2u);
  for (const auto& line : lines)
    EXPECT_NE(line.find("interval 2 (minute 0): record write failure: " + (folder / kCountsFile).string() +
                        ": Is a directory; nothing of this interval is recorded"),
              std::string::npos)
        << line;
}

// A record that cannot be written is told once while the fault lasts; the
// run goes on.
TEST(Run, RecordErrorsAreToldOnceAndTheRunGoesOn) {
  Bench b;
  b.connect();
  b.ws.setup.RT_Buffer = 20;
  b.ws.setup.Save_real = 0;
  b.op.type(std::string("Broken disk"));
  ASSERT_TRUE(b.run.StartRun());
  std::vector<std::string> told;
  b.run.view.recordError = [&](const std::string& m) { told.push_back(m); };
  std::filesystem::remove_all(b.run.lastFolder);
  for (int t = 0; t < 60; ++t) {
    b.clock.advance(milliseconds(30));
    b.engine.OnTick();
  }
  EXPECT_EQ(b.engine.runState, kRunning);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("counts.bin"), std::string::npos);
  // Writing works again: the next failure is told again.
  std::filesystem::create_directories(b.run.lastFolder);
  for (int t = 0; t < 20; ++t) b.engine.OnTick();
  EXPECT_EQ(CountsRecordCount(b.run.lastFolder), 1);
  // Only the interval that was written moved the raw-file rotation on.
  EXPECT_EQ(b.engine.RawFileFill, 1);
}

}  // namespace
}  // namespace orb
