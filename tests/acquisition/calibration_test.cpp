#include "acquisition/calibration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/config_files.h"
#include "app/workspace.h"
#include "device/device_link.h"
#include "device/port_settings.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

// ---- stepping ---------------------------------------------------------------

struct Channel {
  std::int16_t pinhole, gain;
  ChannelWork work;
  StepOutcome step(int reading) { return StepChannel(reading, pinhole, gain, work); }
};

TEST(CalibrationStepping, StepsAndLimits) {
  std::int16_t p = 2, g = 7;
  EXPECT_TRUE(StepUp(p, g));
  EXPECT_EQ(p * 10 + g, 30);
  EXPECT_TRUE(StepDown(p, g));
  EXPECT_EQ(p * 10 + g, 27);
  p = 7, g = 7;
  EXPECT_FALSE(StepUp(p, g));
  EXPECT_EQ(p * 10 + g, 77);
  p = 1, g = 0;
  EXPECT_FALSE(StepDown(p, g));
  EXPECT_EQ(p * 10 + g, 10);
  p = 0, g = 1;
  EXPECT_TRUE(StepDown(p, g));
  EXPECT_FALSE(StepDown(p, g));  // 0/0 is below the reachable lowest: stays
  EXPECT_EQ(p * 10 + g, 0);

  // Band edges.
  EXPECT_FALSE(InBand(1637));
  EXPECT_TRUE(InBand(1638));
  EXPECT_TRUE(InBand(1843));
  EXPECT_FALSE(InBand(1844));
}

TEST(CalibrationStepping, PassRules) {
  Channel a{2, 7, {}};
  EXPECT_EQ(a.step(1500), StepOutcome::Write);
  EXPECT_EQ(a.pinhole * 10 + a.gain, 30);
  EXPECT_EQ(a.work.direction, +1);
  EXPECT_FALSE(a.work.done);

  Channel b{1, 0, {}};
  EXPECT_EQ(b.step(2000), StepOutcome::DoneBottom);
  EXPECT_EQ(b.pinhole * 10 + b.gain, 10);
  EXPECT_TRUE(b.work.done);
  EXPECT_EQ(b.work.direction, 0);

  Channel top{7, 7, {}};
  EXPECT_EQ(top.step(1000), StepOutcome::DoneTop);
  EXPECT_TRUE(top.work.done);
  EXPECT_EQ(top.pinhole * 10 + top.gain, 77);

  // Up once, overshoots: rewritten unchanged with direction 0, stepped down
  // in the following pass, then done below the band without a further step.
  Channel c{3, 2, {}};
  EXPECT_EQ(c.step(1600), StepOutcome::Write);
  EXPECT_EQ(c.pinhole * 10 + c.gain, 33);
  EXPECT_EQ(c.step(1900), StepOutcome::Write);
  EXPECT_EQ(c.pinhole * 10 + c.gain, 33);
  EXPECT_EQ(c.work.direction, 0);
  EXPECT_EQ(c.step(1900), StepOutcome::Write);
  EXPECT_EQ(c.pinhole * 10 + c.gain, 32);
  EXPECT_EQ(c.work.direction, -1);
  EXPECT_EQ(c.step(1600), StepOutcome::DoneCrossed);
  EXPECT_EQ(c.pinhole * 10 + c.gain, 32);
  EXPECT_TRUE(c.work.done);

  // Coming down across a pinhole boundary, then landing in band.
  Channel d{3, 0, {}};
  EXPECT_EQ(d.step(2100), StepOutcome::Write);
  EXPECT_EQ(d.pinhole * 10 + d.gain, 27);
  EXPECT_EQ(d.step(1843), StepOutcome::InBand);
  EXPECT_TRUE(d.work.done);
  Channel e{3, 0, {}};
  EXPECT_EQ(e.step(1638), StepOutcome::InBand);
  EXPECT_EQ(e.pinhole * 10 + e.gain, 30);
}

// ---- auto-zero arithmetic ----------------------------------------------------

TEST(AutoZeroArithmetic, StatisticsAndBand) {
  // Samples 0..9 are ignored; from 10 on a square wave 1980/2020: every
  // sample from 12 on is a turning point, so the spread settles at 40.
  std::vector<int> x(30, 5000);
  for (int k = 10; k < 30; ++k) x[k] = k % 2 ? 2020 : 1980;
  ZeroStats s = ZeroStatistics(x.data(), 30);
  EXPECT_EQ(s.count, 18);
  EXPECT_EQ(s.meanLevel, 2000);
  // k = 11: max found (2020), min still x(10) = 1980: 40; all later 40.
  EXPECT_EQ(s.meanSpread, 40);
  EXPECT_NEAR(ZeroBlankPercent(s, 1.8), 4.6, 1e-12);
  EXPECT_EQ(ZeroStatistics(std::vector<int>(100, 7).data(), 100).count, 88);

  EXPECT_DOUBLE_EQ(ZeroBlankPercent({40, 0, 18}, 1.8), 1.0);   // level 0
  EXPECT_DOUBLE_EQ(ZeroBlankPercent({0, 2000, 18}, 1.8), 1.0);  // flat signal
  EXPECT_DOUBLE_EQ(ZeroBlankPercent({-30, 2000, 18}, 1.8), 1.0);  // never below 1
  EXPECT_EQ(ZeroStatistics(x.data(), 12).count, 0);

  // Means are rounded half to even: levels 2 and 3 alternate from x(11) on
  // over an even count, sum / count = 2.5 -> 2.
  std::vector<int> y(14, 0);
  y[10] = 9;
  y[11] = 2, y[12] = 3;
  ZeroStats t = ZeroStatistics(y.data(), 14);
  EXPECT_EQ(t.count, 2);
  EXPECT_EQ(t.meanLevel, 2);

  EXPECT_EQ(AutoZeroSampleCount(true, true), 30);
  EXPECT_EQ(AutoZeroSampleCount(true, false), 100);
  EXPECT_EQ(AutoZeroSampleCount(false, true), 100);
}

// ---- signal-to-noise box and menus -------------------------------------------

TEST(SnrBox, ValidationAndFactor) {
  SnrValidation five = ValidateSnrBox("5");
  EXPECT_TRUE(five.accepted);
  EXPECT_EQ(five.snrx10, 50);
  EXPECT_EQ(five.boxText, "5.0");
  EXPECT_TRUE(ValidateSnrBox("1.05").accepted);
  EXPECT_EQ(ValidateSnrBox("2.25").snrx10, 22);  // 22.5 to even
  for (const char* bad : {"5.01", "1", "", "abc", "2,5", "-3", "1.5x"}) {
    SnrValidation v = ValidateSnrBox(bad);
    EXPECT_FALSE(v.accepted) << bad;
    EXPECT_EQ(v.snrx10, 18);
    EXPECT_EQ(v.boxText, "1.8");
  }
  EXPECT_DOUBLE_EQ(SnrBoxValue(" 2.7abc"), 2.7);
  EXPECT_DOUBLE_EQ(SnrBoxValue("abc"), 0.0);
  EXPECT_DOUBLE_EQ(RunStartSnrFactor("1.29"), 1.8);
  EXPECT_DOUBLE_EQ(RunStartSnrFactor("1.3"), 1.3);
  EXPECT_DOUBLE_EQ(RunStartSnrFactor(""), 1.8);
}

TEST(CalibrationMenus, SwitchesPresetsAndBox) {
  CalibrationMenus m;
  ProjectSetup setup;
  ToggleAutoCalibration(m, setup);
  CalibrationControls c = Controls(m);
  EXPECT_TRUE(c.mnCalibraChecked);
  EXPECT_FALSE(c.fastCalibVisible);
  EXPECT_TRUE(c.fastZeroVisible);
  EXPECT_EQ(setup.MenuTable[Mn1][Enab_Cal], 1);
  ToggleAutoCalibration(m, setup);
  EXPECT_TRUE(Controls(m).fastCalibVisible);
  EXPECT_EQ(setup.MenuTable[Mn1][Enab_Cal], 0);

  CalibrationControlOff(m, setup);
  c = Controls(m);
  EXPECT_TRUE(c.mnCalibraChecked && c.mnZeroChecked);
  EXPECT_FALSE(c.mnCalibraEnabled || c.mnZeroEnabled || c.readBlankVisible);
  EXPECT_FALSE(c.fastCalibVisible || c.fastZeroVisible);
  EXPECT_TRUE(c.calOffChecked && !c.calOnChecked);
  EXPECT_EQ(setup.MenuTable[Mn1][Enab_Cal] * 10 + setup.MenuTable[Mn1][Enab_Zero], 11);
  CalibrationControlOn(m);
  c = Controls(m);
  EXPECT_TRUE(c.mnCalibraEnabled && c.mnZeroEnabled && c.readBlankVisible && c.calOnChecked);
  EXPECT_TRUE(c.mnCalibraChecked && c.mnZeroChecked);  // ON keeps the switches

  ChooseOrganism(m, setup, 1);
  EXPECT_DOUBLE_EQ(m.snrFactor, 2.8);
  EXPECT_EQ(m.snrText, "2.8");
  EXPECT_EQ(m.umbralLabel, ">>>>");
  EXPECT_FALSE(m.snrBoxVisible);
  EXPECT_EQ(setup.MenuTable[Mn1][Organism], 1);
  ToggleSnrBox(m);
  EXPECT_TRUE(m.snrBoxVisible);
  EXPECT_EQ(m.umbralLabel, "> Zero SNR:");
  ToggleSnrBox(m);
  EXPECT_EQ(m.umbralLabel, ">>>>");

  // Leaving the box selects "Customized", whose preset takes the box value.
  EXPECT_FALSE(LeaveSnrBox(m, setup, "3.3"));
  EXPECT_EQ(setup.MenuTable[Mn1][SNRx10], 33);
  EXPECT_EQ(setup.MenuTable[Mn1][Organism], 2);
  EXPECT_DOUBLE_EQ(m.snrFactor, 3.3);
  EXPECT_EQ(m.snrText, "3.3");
  EXPECT_TRUE(m.snrBoxVisible);
  EXPECT_EQ(LeaveSnrBox(m, setup, "5.01"), std::optional<std::string>("Invalid value: 1.1 to 5.0"));
  EXPECT_EQ(setup.MenuTable[Mn1][SNRx10], 18);
  EXPECT_DOUBLE_EQ(m.snrFactor, 1.8);
  EXPECT_EQ(m.snrText, "1.8");
}

// What the load sequence and the Fast buttons do to the state.
TEST(CalibrationMenus, LoadedSwitchesPresetAndTheFactorsOfTheBox) {
  CalibrationMenus m;
  ProjectSetup setup;
  setup.MenuTable[Mn1][Enab_Cal] = 2;  // any value but 1 loads as off
  SetAutoCalibration(m, setup, false);
  SetAutoZero(m, setup, true);
  SetAutoZero(m, setup, true);  // setting is not toggling
  EXPECT_FALSE(m.autoCalibrationMode);
  EXPECT_TRUE(m.autoZeroMode);
  EXPECT_EQ(setup.MenuTable[Mn1][Enab_Cal] * 10 + setup.MenuTable[Mn1][Enab_Zero], 1);

  // The project's organism comes in without being stored back.
  setup.MenuTable[Mn1][Organism] = 7;
  TakePreset(m, -1, ApplyDetectionPreset(-1, m.snrFactor, "2.2"));
  EXPECT_EQ(m.organism, -1);
  EXPECT_DOUBLE_EQ(m.snrFactor, 1.7);  // no organism keeps the factor
  EXPECT_EQ(Controls(m).snrText, "2.2");
  EXPECT_EQ(setup.MenuTable[Mn1][Organism], 7);
  TakePreset(m, 0, ApplyDetectionPreset(0, m.snrFactor, "2.2"));
  EXPECT_EQ(Controls(m).organism, 0);
  EXPECT_EQ(Controls(m).umbralLabel, ">>>>");
  EXPECT_FALSE(Controls(m).snrBoxVisible);

  // Fast CALIB / Fast ZERO take the box as it stands; a run start holds it
  // to 1.3 and above.
  for (const auto& [box, fast, start] : std::vector<std::tuple<std::string, double, double>>{
           {"1.2", 1.2, 1.8}, {"abc", 0.0, 1.8}, {"3.5", 3.5, 3.5}, {"1.3", 1.3, 1.3}}) {
    m.snrText = box;
    TakeSnrBoxFactor(m);
    EXPECT_DOUBLE_EQ(m.snrFactor, fast) << box;
    TakeRunStartFactor(m);
    EXPECT_DOUBLE_EQ(m.snrFactor, start) << box;
  }
}

// ---- against the virtual instrument ------------------------------------------

// Records what the routines show and can stop the run when told.
struct FakeHost {
  bool active = true;
  int stopRuns = 0;
  bool frame = false;
  std::vector<std::string> statuses;
  std::vector<int> slots;
  std::function<void(const std::string&)> onStatus;

  CalibrationView view() {
    CalibrationView v;
    v.runActive = [this] { return active; };
    v.stopRun = [this] {
      ++stopRuns;
      active = false;
    };
    v.showFrame = [this](bool visible) { frame = visible; };
    v.showStatus = [this](const std::string& text) {
      statuses.push_back(text);
      if (onStatus) onStatus(text);
    };
    v.storeSample = [this](int slot, const ChannelReadings&) { slots.push_back(slot); };
    return v;
  }
  bool saw(const std::string& text) const {
    return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
  }
};

// A data folder, a 96-well plate of four beams per well, and the link on
// COM3 wired to a virtual instrument.
struct Bench {
  testing::TempFolder data;
  sim::VirtualInstrument instrument;
  SerialPorts ports;
  ConnectionState state;
  CountingEventLoop loop;
  ScriptedOperator op;
  DeviceLink link{ports, state, loop, op};
  Workspace ws{data.path(), op};
  FakeHost host;

  explicit Bench(sim::InstrumentOptions options = quiet()) : instrument(options) {
    state.currentPort = 3;
    EXPECT_EQ(ports.CommOpen(3, instrument.start(), kInstrumentPortSettings), CommResult::Ok) << ports.lastError().message;
    EXPECT_TRUE(ApplyBuiltInPlateFormat("k96f", ws.plate));
    ws.thresholds.fill(3.0);
  }
  static sim::InstrumentOptions quiet() {
    sim::InstrumentOptions o;
    o.animals = false;
    return o;
  }
  bool used(int ch) const { return ws.plate.ChannelWell[ch] >= 0; }
  int settingOnInstrument(int ch) { return instrument.model().channelSetting(ch); }
};

TEST(ReadAllChannels, MapsTheBlocksAndKeepsUnreadOnes) {
  sim::InstrumentOptions o = Bench::quiet();
  o.faults.deadBeams = {5, 130, 383};
  Bench b(o);
  ChannelReadings r;
  r.fill(-7);
  EXPECT_EQ(ReadAllChannelsOnce(b.link, ReadVariant::Calibrate, r), 0xF);
  for (int ch : {5, 130, 383}) EXPECT_EQ(r[ch], 0) << ch;
  for (int ch : {4, 6, 129, 131, 257, 382}) EXPECT_GT(r[ch], 1000) << ch;  // 2/3 reads about 1740
  EXPECT_EQ(ReadAllChannelsOnce(b.link, ReadVariant::Zero, r), 0xF);
  EXPECT_EQ(BlockOfChannel(383), 3);
  EXPECT_EQ(BlockOfChannel(160), 1);

  b.state.offline = true;
  r.fill(-7);
  EXPECT_EQ(ReadAllChannelsOnce(b.link, ReadVariant::Adjust, r), 0);
  WarmUpReads(b.link, ReadVariant::Adjust);
  EXPECT_EQ(r[6], -7);
  b.state.offline = false;
  const auto frames = b.instrument.model().framesReceived();
  const long long slept = b.loop.sleptMs;
  WarmUpReads(b.link, ReadVariant::Zero);  // no pause after the warm-up
  EXPECT_EQ(b.loop.sleptMs, slept);
  WarmUpReads(b.link, ReadVariant::Adjust);
  EXPECT_EQ(b.loop.sleptMs, slept + 50);
  EXPECT_EQ(b.instrument.model().framesReceived(), frames + 8);
}

TEST(AutoCalibrate, BringsEveryUsedChannelIntoTheBand) {
  Bench b;
  int unused = 0;
  for (int ch = 0; ch < kChannels; ++ch) unused += !b.used(ch);
  ASSERT_GT(unused, 0);  // the plate leaves some beams dark

  CalibrationResult r = AutoCalibrate(BeamSettingsOf(b.ws), b.link, b.host.view());
  EXPECT_EQ(r.end, CalibrationEnd::Completed);
  EXPECT_TRUE(r.saved);
  EXPECT_GE(r.passes, 2);
  EXPECT_TRUE(b.op.shown().empty()) << b.op.texts().front();
  EXPECT_EQ(b.host.stopRuns, 0);
  EXPECT_TRUE(b.host.saw("Writing First Time Calibration..."));
  EXPECT_TRUE(b.host.saw("Writing calibration...383"));
  EXPECT_TRUE(b.host.saw("Acquiring..."));
  EXPECT_TRUE(b.host.saw("Calibrating... [383]"));
  EXPECT_EQ(b.host.statuses.back(), "Calibration OK");
  EXPECT_EQ(r.count(ChannelEnd::Unused), unused);
  EXPECT_EQ(r.count(ChannelEnd::InBand), kChannels - unused);

  const ChannelCalibration& cal = b.ws.calibration;
  for (int ch = 0; ch < kChannels; ++ch) {
    SCOPED_TRACE("channel " + std::to_string(ch));
    // The instrument holds what the program holds.
    EXPECT_EQ(b.settingOnInstrument(ch), ChannelSettingByte(cal.PinHole[ch], cal.Gain[ch]));
    if (!b.used(ch)) {
      EXPECT_EQ(cal.PinHole[ch] * 10 + cal.Gain[ch], 0);
      continue;
    }
    EXPECT_TRUE(InBand(r.readings[ch])) << r.readings[ch];
    // The noiseless level of the final setting is in the band but for the
    // noise of the deciding reading.
    double level = b.instrument.model().level(ch);
    EXPECT_GT(level, kBandLow - 25);
    EXPECT_LT(level, kBandHigh + 25);
  }
  ChannelCalibration saved;
  ASSERT_TRUE(LoadCalibration(b.data.path(), saved));
  EXPECT_EQ(saved.PinHole, cal.PinHole);
  EXPECT_EQ(saved.Gain, cal.Gain);

  // AutoZero on the calibrated plate: 30 samples into the raw history, and
  // a noise band for every channel from its readings.
  ZeroResult z = AutoZero(b.ws.thresholds, b.link, b.host.view(), 1.8, AutoZeroSampleCount(true, true));
  EXPECT_EQ(z.end, ZeroEnd::Completed);
  EXPECT_EQ(z.samples, 30);
  ASSERT_EQ(b.host.slots.size(), 30u);
  EXPECT_EQ(b.host.slots.front(), 0);
  EXPECT_EQ(b.host.slots.back(), 29);
  EXPECT_TRUE(b.host.saw("AutoZero Calculation .... <000>"));
  EXPECT_TRUE(b.host.saw("AutoZero... <29>"));
  for (int ch = 0; ch < kChannels; ++ch) {
    SCOPED_TRACE("channel " + std::to_string(ch));
    // Noise of about +-5 on a level near 1740, times 1.8: a band of a few
    // percent. (Dark channels read a noise of 0..2 and get a huge band;
    // they belong to no well.)
    if (b.used(ch)) {
      EXPECT_GT(b.ws.thresholds[ch], 1.0);
      EXPECT_LT(b.ws.thresholds[ch], 5.0);
    } else {
      EXPECT_GE(b.ws.thresholds[ch], 1.0);
    }
  }
}

TEST(AutoCalibrate, StartsFromTheSavedValuesHeldToTheirRange) {
  Bench b;
  ChannelCalibration start;
  for (int ch = 0; ch < kChannels; ++ch) start.PinHole[ch] = 2, start.Gain[ch] = 3;
  const int dark = 20, wild = 22;  // both used on this plate
  ASSERT_TRUE(b.used(dark) && b.used(wild));
  start.PinHole[dark] = 0, start.Gain[dark] = 0;  // used but dark: starts at pinhole 2
  start.PinHole[wild] = 3, start.Gain[wild] = 12;  // impossible gain: taken as 7
  ASSERT_TRUE(SaveCalibration(b.data.path(), start));

  CalibrationResult r = AutoCalibrate(BeamSettingsOf(b.ws), b.link, b.host.view());
  EXPECT_EQ(r.end, CalibrationEnd::Completed);
  EXPECT_TRUE(b.host.saw("Writing Calibration..."));
  EXPECT_FALSE(b.host.saw("Writing First Time Calibration..."));
  for (int ch : {dark, wild}) {
    EXPECT_EQ(r.channels[ch], ChannelEnd::InBand) << ch;
    EXPECT_TRUE(InBand(r.readings[ch])) << ch;
    EXPECT_LE(b.ws.calibration.Gain[ch], 7);
  }
  // wild came down from 3/7 (index 31): several passes.
  EXPECT_GE(r.passes, 5);
}

TEST(AutoCalibrate, OfflineDoesNothing) {
  Bench b;
  b.state.offline = true;
  CalibrationResult r = AutoCalibrate(BeamSettingsOf(b.ws), b.link, b.host.view());
  EXPECT_EQ(r.end, CalibrationEnd::Offline);
  EXPECT_EQ(b.op.texts(), std::vector<std::string>{"Operation not possible in OFFLINE mode"});
  EXPECT_FALSE(std::filesystem::exists(b.data / "calvalue.dat"));
  EXPECT_EQ(b.instrument.model().framesReceived(), 0u);

  // AutoZero offline keeps the thresholds and asks the instrument nothing.
  ZeroResult z = AutoZero(b.ws.thresholds, b.link, b.host.view(), 1.8, 100);
  EXPECT_EQ(z.end, ZeroEnd::Offline);
  EXPECT_DOUBLE_EQ(b.ws.thresholds[5], 3.0);
  EXPECT_TRUE(b.host.slots.empty());
}

TEST(AutoCalibrate, FailedFirstWriteSavesNothing) {
  sim::InstrumentOptions o = Bench::quiet();
  o.faults.wrongEcho = true;
  Bench b(o);
  ChannelCalibration start;
  for (int ch = 0; ch < kChannels; ++ch) start.PinHole[ch] = 4, start.Gain[ch] = 1;
  ASSERT_TRUE(SaveCalibration(b.data.path(), start));
  const std::string before = b.data.read("calvalue.dat");

  CalibrationResult r = AutoCalibrate(BeamSettingsOf(b.ws), b.link, b.host.view());
  EXPECT_EQ(r.end, CalibrationEnd::FirstWriteFailed);
  EXPECT_FALSE(r.saved);
  EXPECT_EQ(b.op.texts(), (std::vector<std::string>{"Ops...Data Writing ERROR: reg(0)... Check COM and Try again",
                                                    "Communication error. Check COM PORT and equipment connection."}));
  EXPECT_EQ(b.data.read("calvalue.dat"), before);
  EXPECT_FALSE(b.host.saw("Calibration OK"));
  EXPECT_EQ(b.host.stopRuns, 0);  // the run is not stopped by the write-out
}

TEST(AutoCalibrate, FailuresDuringThePassesStopTheRunUnsaved) {
  // A write that fails in a pass.
  {
    Bench b;
    ASSERT_TRUE(ResetCalibration(b.data.path(), b.ws.calibration));
    const std::string before = b.data.read("calvalue.dat");
    b.host.onStatus = [&b](const std::string& s) {
      if (s == "Acquiring...") {
        sim::Faults f;
        f.wrongEcho = true;
        b.instrument.model().setFaults(f);
      }
    };
    CalibrationResult r = AutoCalibrate(BeamSettingsOf(b.ws), b.link, b.host.view());
    EXPECT_EQ(r.end, CalibrationEnd::PassWriteFailed);
    EXPECT_EQ(b.host.stopRuns, 1);
    EXPECT_EQ(b.op.texts().size(), 1u);  // the write's own message only
    EXPECT_EQ(b.data.read("calvalue.dat"), before);
  }
  // No block answers in a pass: nothing to step on.
  {
    Bench b;
    ASSERT_TRUE(ResetCalibration(b.data.path(), b.ws.calibration));
    const std::string before = b.data.read("calvalue.dat");
    b.host.onStatus = [&b](const std::string& s) {
      if (s == "Acquiring...") b.state.currentPort = 4;  // a port that is not open
    };
    CalibrationResult r = AutoCalibrate(BeamSettingsOf(b.ws), b.link, b.host.view());
    EXPECT_EQ(r.end, CalibrationEnd::ReadFailed);
    EXPECT_EQ(b.host.stopRuns, 1);
    EXPECT_EQ(b.op.texts(), std::vector<std::string>{"Communication error. Check COM PORT and equipment connection."});
    EXPECT_EQ(b.data.read("calvalue.dat"), before);
  }
}

TEST(AutoCalibrate, StoppingTheRunEndsAndSaves) {
  Bench b;
  // The write-out spins every 20 channels (20 spins); the first pass ends
  // with the 21st: Stop is pressed then.
  b.loop.onProcess = [&b] {
    if (b.loop.processed == 21) b.host.active = false;
  };
  CalibrationResult r = AutoCalibrate(BeamSettingsOf(b.ws), b.link, b.host.view());
  EXPECT_EQ(r.end, CalibrationEnd::Stopped);
  EXPECT_EQ(r.passes, 1);
  EXPECT_TRUE(r.saved);
  EXPECT_EQ(b.host.statuses.back(), "Calibration OK");
  EXPECT_GT(r.count(ChannelEnd::NotDone), 0);

  // Not running at all: nothing is written, the values are saved as loaded.
  Bench idle;
  idle.host.active = false;
  CalibrationResult none = AutoCalibrate(BeamSettingsOf(idle.ws), idle.link, idle.host.view());
  EXPECT_EQ(none.end, CalibrationEnd::Stopped);
  EXPECT_EQ(none.passes, 0);
  EXPECT_EQ(idle.instrument.model().framesReceived(), 0u);
  EXPECT_TRUE(std::filesystem::exists(idle.data / "calvalue.dat"));

  // AutoZero notices the stop at its first spin.
  ZeroResult z = AutoZero(idle.ws.thresholds, idle.link, idle.host.view(), 1.8, 100);
  EXPECT_EQ(z.end, ZeroEnd::Stopped);
  EXPECT_EQ(z.samples, 1);
  EXPECT_DOUBLE_EQ(idle.ws.thresholds[5], 3.0);
}

TEST(AutoAdjust, StepsOnlyTheListedChannels) {
  Bench b;
  ChannelCalibration& cal = b.ws.calibration;
  const int hot = 40, other = 42;
  ASSERT_TRUE(b.used(hot) && b.used(other));
  int unusedChannel = -1;
  for (int ch = 0; ch < kChannels && unusedChannel < 0; ++ch)
    if (!b.used(ch)) unusedChannel = ch;
  for (int ch = 0; ch < kChannels; ++ch) cal.PinHole[ch] = 2, cal.Gain[ch] = 3;
  cal.PinHole[hot] = 3, cal.Gain[hot] = 4;  // index 28: well above the band
  ASSERT_EQ(b.link.WriteChannelSetting(hot, 3, 4), 1);
  cal.PinHole[other] = 4, cal.Gain[other] = 0;  // too bright too, but not listed

  AdjustList list;
  list.fill(-1);
  list[hot] = 0;
  list[unusedChannel] = 0;
  CalibrationResult r = AutoAdjust(BeamSettingsOf(b.ws), b.link, b.host.view(), list);
  EXPECT_EQ(r.end, CalibrationEnd::Completed);
  EXPECT_TRUE(r.saved);
  EXPECT_FALSE(b.host.frame);  // shown, then hidden
  EXPECT_TRUE(b.host.saw("Auto-Adjustment..."));
  EXPECT_EQ(r.channels[hot], ChannelEnd::InBand);
  EXPECT_TRUE(InBand(r.readings[hot]));
  EXPECT_LT(cal.PinHole[hot] * 8 + cal.Gain[hot], 28);
  EXPECT_EQ(list[hot], -1);
  EXPECT_EQ(list[unusedChannel], -1);
  EXPECT_EQ(cal.PinHole[unusedChannel] * 10 + cal.Gain[unusedChannel], 0);
  EXPECT_EQ(cal.PinHole[other] * 10 + cal.Gain[other], 40);
  EXPECT_EQ(r.channels[other], ChannelEnd::Skipped);

  b.state.offline = true;
  list[hot] = 0;
  EXPECT_EQ(AutoAdjust(BeamSettingsOf(b.ws), b.link, b.host.view(), list).end, CalibrationEnd::Offline);
  EXPECT_TRUE(b.op.shown().empty());
}

}  // namespace
}  // namespace orb
