#include "acquisition/outputs.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/records.h"
#include "device/device_link.h"
#include "device/port_settings.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

// Records every code put on the wire.
struct Wire {
  std::vector<int> codes;
  OutputSender sender() {
    return [this](const OutputState& s) { codes.push_back(OutputCode(s)); };
  }
};

ProjectSetup Light(int on, int off, int repetitions = 0, int onx10 = 0, int offx10 = 0) {
  ProjectSetup s;
  s.MenuTable[Mn2] = {1, static_cast<std::int16_t>(on), static_cast<std::int16_t>(off),
                      static_cast<std::int16_t>(repetitions), static_cast<std::int16_t>(onx10),
                      static_cast<std::int16_t>(offx10)};
  s.MenuTable[Mn3] = {1, 250, 0, 0, 0, 0};
  return s;
}

TEST(Outputs, CodeAndLook) {
  OutputState s;
  EXPECT_EQ(OutputCode(s), 0);
  s.LightOn = -1;
  s.HeatMode = -1;
  s.TempOutputOn = -1;
  EXPECT_EQ(OutputCode(s), 7);
  OutputLook look = LookOf(s);
  EXPECT_EQ(look.lightCaption, "ON");
  EXPECT_EQ(look.lightColour, 0x00FF00u);
  EXPECT_EQ(look.modeCaption, "HEAT");
  EXPECT_EQ(look.powerCaption, "ON");
  EXPECT_EQ(look.temperatureColour, 0x0000FFu);  // red in blue-green-red order
  s.HeatMode = 0;
  EXPECT_EQ(OutputCode(s), 5);  // light + cooling
  EXPECT_EQ(LookOf(s).temperatureColour, 0xFF0000u);  // blue
  EXPECT_EQ(LookOf(s).modeCaption, "COOL");
  s.TempOutputOn = 0;
  s.LightOn = 0;
  s.HeatMode = -1;
  EXPECT_EQ(OutputCode(s), 2);  // heating selected, unpowered
  look = LookOf(s);
  EXPECT_EQ(look.temperatureColour, 0xFFFFFFu);
  EXPECT_EQ(look.lightCaption, "OFF");
  EXPECT_EQ(look.lightColour, 0x0000FFu);
  EXPECT_EQ(look.powerCaption, "OFF");
}

TEST(Outputs, LightAtTheStartOfARun) {
  EXPECT_TRUE(ScheduledLight(9, 21, 9));
  EXPECT_TRUE(ScheduledLight(9, 21, 20));
  EXPECT_FALSE(ScheduledLight(9, 21, 21));
  EXPECT_FALSE(ScheduledLight(9, 21, 8));
  EXPECT_TRUE(ScheduledLight(21, 9, 23));   // across midnight
  EXPECT_TRUE(ScheduledLight(21, 9, 3));
  EXPECT_FALSE(ScheduledLight(21, 9, 9));
  EXPECT_FALSE(ScheduledLight(21, 9, 15));
  EXPECT_FALSE(ScheduledLight(12, 12, 12));

  Wire wire;
  OutputState s;
  s.LightTimerEnabled = -1;
  ProjectSetup night = Light(21, 9);
  ASSERT_TRUE(StartRunLight(s, night, 23, wire.sender()));
  EXPECT_EQ(s.LightOn, -1);
  EXPECT_EQ(wire.codes, std::vector<int>{4});

  // Nothing happens with a pulse programme or without the schedule.
  s.LightOn = 0;
  EXPECT_FALSE(StartRunLight(s, Light(21, 9, 2, 15, 30), 23, wire.sender()));
  s.LightTimerEnabled = 0;
  EXPECT_FALSE(StartRunLight(s, night, 23, wire.sender()));
  EXPECT_EQ(s.LightOn, 0);
  EXPECT_EQ(wire.codes.size(), 1u);
}

TEST(Outputs, HourScheduleSwitchesOnTheHourEdges) {
  // On 21, off 9, run started at 23:00: on, still on at 03:00, off within 09:xx.
  Wire wire;
  OutputState s;
  s.LightTimerEnabled = -1;
  ProjectSetup p = Light(21, 9);
  StartRunLight(s, p, 23, wire.sender());
  for (int hour : {23, 0, 1, 2, 3, 4, 8}) {
    RegulateTemperature(s, p, 20.0, hour, wire.sender());
    EXPECT_EQ(s.LightOn, -1) << hour;
  }
  RegulateTemperature(s, p, 20.0, 9, wire.sender());
  EXPECT_EQ(s.LightOn, 0);
  RegulateTemperature(s, p, 20.0, 15, wire.sender());
  EXPECT_EQ(s.LightOn, 0);
  RegulateTemperature(s, p, 20.0, 21, wire.sender());
  EXPECT_EQ(s.LightOn, -1);
  // Between the edges the state is kept, also a manual one.
  s.LightOn = 0;
  ApplyHourSchedule(s, p, 22);
  EXPECT_EQ(s.LightOn, 0);
  // Equal hours: on, then off at once.
  ProjectSetup same = Light(12, 12);
  s.LightOn = -1;
  ApplyHourSchedule(s, same, 12);
  EXPECT_EQ(s.LightOn, 0);
  // Disabled: untouched.
  s.LightTimerEnabled = 0;
  ApplyHourSchedule(s, p, 21);
  EXPECT_EQ(s.LightOn, 0);
  // The hours act also with pulse repetitions set: the on hour lights it
  // until the next progress check applies the pulses again.
  s.LightTimerEnabled = -1;
  ProjectSetup pulses = Light(21, 9, 2, 15, 30);
  wire.codes.clear();
  RegulateTemperature(s, pulses, 20.0, 21, wire.sender());
  EXPECT_EQ(s.LightOn, -1);
  ApplyPulseProgramme(s, pulses, 2.0, wire.sender());  // off phase of the first cycle
  EXPECT_EQ(s.LightOn, 0);
  EXPECT_EQ(wire.codes, (std::vector<int>{4, 0}));
}

TEST(Outputs, PulseProgrammeAndPendingChanges) {
  // On 1.5, off 3.0, two repetitions.
  Wire wire;
  OutputState s;
  s.LightTimerEnabled = -1;
  ProjectSetup p = Light(9, 21, 2, 15, 30);
  struct Step { double minutes; bool on; };
  for (Step step : {Step{0, true}, Step{1.49, true}, Step{1.5, false}, Step{4.49, false}, Step{4.5, true},
                    Step{5.99, true}, Step{6.0, false}, Step{8.99, false}}) {
    ASSERT_TRUE(ApplyPulseProgramme(s, p, step.minutes, wire.sender()));
    EXPECT_EQ(s.LightOn, step.on ? -1 : 0) << step.minutes;
  }
  // Over from minute 9 on: the last state (off) is kept and still sent.
  wire.codes.clear();
  ApplyPulseProgramme(s, p, 9.0, wire.sender());
  ApplyPulseProgramme(s, p, 600.0, wire.sender());
  EXPECT_EQ(s.LightOn, 0);
  EXPECT_EQ(wire.codes, (std::vector<int>{0, 0}));
  // A programme that ends during an on phase keeps the light on.
  ProjectSetup onLast = Light(9, 21, 1, 30, 0);
  ApplyPulseProgramme(s, onLast, 2.9, wire.sender());
  ApplyPulseProgramme(s, onLast, 3.5, wire.sender());
  EXPECT_EQ(s.LightOn, -1);
  // A programme without length is over at once, without dividing by zero.
  s.LightOn = 0;
  ApplyPulseProgramme(s, Light(9, 21, 3, 0, 0), 0.0, wire.sender());
  EXPECT_EQ(s.LightOn, 0);

  // No programme: only a pending manual change is sent, once.
  ProjectSetup none = Light(9, 21);
  wire.codes.clear();
  EXPECT_FALSE(ApplyPulseProgramme(s, none, 1.0, wire.sender()));
  ASSERT_FALSE(ManualToggle(s, ManualOutput::Light, 1, wire.sender()));  // running: waits
  EXPECT_EQ(s.OutputsPending, -1);
  EXPECT_TRUE(wire.codes.empty());
  ASSERT_TRUE(ApplyPulseProgramme(s, none, 1.0, wire.sender()));
  EXPECT_EQ(s.OutputsPending, 0);
  EXPECT_EQ(wire.codes, std::vector<int>{4});
  EXPECT_FALSE(ApplyPulseProgramme(s, none, 1.0, wire.sender()));
  // With a programme and a pending change the programme's state is sent,
  // then the pending change is sent as well.
  ManualToggle(s, ManualOutput::Power, 1, wire.sender());
  wire.codes.clear();
  ApplyPulseProgramme(s, p, 0.5, wire.sender());
  EXPECT_EQ(wire.codes, (std::vector<int>{5, 5}));
  EXPECT_EQ(s.OutputsPending, 0);
  // The schedule disabled: the programme is not applied.
  s.LightTimerEnabled = 0;
  s.LightOn = 0;
  EXPECT_FALSE(ApplyPulseProgramme(s, p, 0.5, wire.sender()));
  EXPECT_EQ(s.LightOn, 0);
}

TEST(Outputs, TemperatureRegulation) {
  Wire wire;
  OutputState s;
  s.TempControlEnabled = -1;
  ProjectSetup p = Light(9, 21);
  p.MenuTable[Mn2][LightEnable] = 0;
  TakeSetPoint(s, p);
  EXPECT_DOUBLE_EQ(s.SetPoint, 25.0);

  RegulateTemperature(s, p, 24.45, 12, wire.sender());  // heating selected, within 0.6
  EXPECT_EQ(s.HeatMode, -1);
  EXPECT_EQ(s.TempOutputOn, 0);
  RegulateTemperature(s, p, 24.3, 12, wire.sender());
  EXPECT_EQ(s.HeatMode, -1);
  EXPECT_EQ(s.TempOutputOn, -1);
  RegulateTemperature(s, p, 24.4, 12, wire.sender());  // exactly 0.6 below: powered
  EXPECT_EQ(s.TempOutputOn, -1);
  RegulateTemperature(s, p, 25.2, 12, wire.sender());  // inside the band: power off, mode kept
  EXPECT_EQ(s.HeatMode, -1);
  EXPECT_EQ(s.TempOutputOn, 0);
  RegulateTemperature(s, p, 25.7, 12, wire.sender());
  EXPECT_EQ(s.HeatMode, 0);
  EXPECT_EQ(s.TempOutputOn, -1);
  RegulateTemperature(s, p, 25.5, 12, wire.sender());  // 0.5 above: cooling selected, unpowered
  EXPECT_EQ(s.HeatMode, 0);
  EXPECT_EQ(s.TempOutputOn, 0);
  EXPECT_EQ(wire.codes, (std::vector<int>{2, 3, 3, 2, 1, 0}));

  // Outside 10..38 everything is off whatever the set point.
  s.SetPoint = 5.0;
  s.HeatMode = -1;
  s.TempOutputOn = -1;
  RegulateTemperature(s, p, 9.8, 12, wire.sender());
  EXPECT_EQ(OutputCode(s), 0);
  s.SetPoint = 45.0;
  RegulateTemperature(s, p, 38.0, 12, wire.sender());
  EXPECT_EQ(s.TempOutputOn, 0);
  RegulateTemperature(s, p, 10.0, 12, wire.sender());
  EXPECT_EQ(s.TempOutputOn, 0);
  // Regulation disabled: cooling, unpowered.
  s.TempControlEnabled = 0;
  s.SetPoint = 25.0;
  RegulateTemperature(s, p, 20.0, 12, wire.sender());
  EXPECT_EQ(OutputCode(s), 0);
}

TEST(Outputs, StopAndManualCommands) {
  Wire wire;
  OutputState s;
  s.LightOn = -1;
  s.HeatMode = -1;
  s.TempOutputOn = -1;
  OutputLook look = SwitchOutputsOff(s, wire.sender());
  EXPECT_EQ(wire.codes, std::vector<int>{2});  // the heat direction is kept
  EXPECT_EQ(look.modeCaption, "HEAT");
  EXPECT_EQ(look.powerCaption, "OFF");

  // Stopped or paused: sent at once.
  wire.codes.clear();
  ASSERT_TRUE(ManualToggle(s, ManualOutput::Power, 0, wire.sender()));
  ASSERT_TRUE(ManualToggle(s, ManualOutput::Light, 2, wire.sender()));
  auto sent = ManualToggle(s, ManualOutput::Mode, 0, wire.sender());  // cools and removes the power
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->modeCaption, "COOL");
  EXPECT_EQ(wire.codes, (std::vector<int>{3, 7, 4}));
  EXPECT_EQ(s.OutputsPending, 0);
  // Running: nothing leaves until the progress check.
  EXPECT_FALSE(ManualToggle(s, ManualOutput::Mode, 1, wire.sender()));
  EXPECT_EQ(s.HeatMode, -1);
  EXPECT_EQ(s.OutputsPending, -1);
  EXPECT_EQ(wire.codes.size(), 3u);

  ProjectSetup p;
  SetLightTimerEnabled(s, p, true);
  SetTempControlEnabled(s, p, true);
  EXPECT_EQ(s.LightTimerEnabled, -1);
  EXPECT_EQ(p.MenuTable[Mn2][LightEnable], 1);
  EXPECT_EQ(p.MenuTable[Mn3][TempEnable], 1);
  SetLightTimerEnabled(s, p, false);
  EXPECT_EQ(s.LightTimerEnabled, 0);
  EXPECT_EQ(p.MenuTable[Mn2][LightEnable], 0);
}

TEST(Outputs, BoxValidation) {
  ProjectSetup p;
  BoxOutcome o = LeaveOutputBox(p, OutputBox::OnHour, " 7 ");
  EXPECT_TRUE(o.accepted());
  EXPECT_EQ(o.text, "07");
  EXPECT_EQ(p.MenuTable[Mn2][Time_ON], 7);
  for (const char* bad : {"", "24", "-1", "abc", "7h", "23.4"}) {
    o = LeaveOutputBox(p, OutputBox::OnHour, bad);
    EXPECT_EQ(o.message, "Invalid value: 0 to 23") << bad;
    EXPECT_EQ(o.text, "9");
    EXPECT_EQ(p.MenuTable[Mn2][Time_ON], 9);
  }
  o = LeaveOutputBox(p, OutputBox::OffHour, "x");
  EXPECT_EQ(o.text, "21");
  EXPECT_EQ(p.MenuTable[Mn2][Time_OFF], 21);
  EXPECT_EQ(LeaveOutputBox(p, OutputBox::OffHour, "0").text, "00");
  EXPECT_EQ(LeaveOutputBox(p, OutputBox::OffHour, "22.5").text, "22");  // halves to even

  o = LeaveOutputBox(p, OutputBox::PulseOn, "-5");
  EXPECT_EQ(o.message, "Invalid value: 0.0 to 1440.0");
  EXPECT_EQ(o.text, "0");
  EXPECT_EQ(p.MenuTable[Mn2][PulseOnx10], 0);
  o = LeaveOutputBox(p, OutputBox::PulseOff, "1.5");
  EXPECT_TRUE(o.accepted());
  EXPECT_EQ(o.text, "1.5");
  EXPECT_EQ(p.MenuTable[Mn2][PulseOffx10], 15);
  o = LeaveOutputBox(p, OutputBox::PulseOn, "1440");
  EXPECT_EQ(o.text, "1440.0");
  EXPECT_EQ(p.MenuTable[Mn2][PulseOnx10], 14400);
  EXPECT_FALSE(LeaveOutputBox(p, OutputBox::PulseOn, "1440.01").accepted());
  EXPECT_EQ(LeaveOutputBox(p, OutputBox::PulseOn, "0.25").value, 2);  // 2.5 tenths -> 2

  o = LeaveOutputBox(p, OutputBox::PulseRepetitions, "3");
  EXPECT_EQ(o.text, "3");
  EXPECT_FALSE(o.hourBoxesEnabled);
  EXPECT_EQ(p.MenuTable[Mn2][PulseCount], 3);
  o = LeaveOutputBox(p, OutputBox::PulseRepetitions, "0");
  EXPECT_TRUE(o.hourBoxesEnabled);
  o = LeaveOutputBox(p, OutputBox::PulseRepetitions, "100");
  EXPECT_EQ(o.message, "Invalid value: 0-99");
  EXPECT_EQ(o.text, "0");
  EXPECT_TRUE(o.hourBoxesEnabled);
  EXPECT_EQ(p.MenuTable[Mn2][PulseCount], 0);

  o = LeaveOutputBox(p, OutputBox::SetPoint, "37.25");
  EXPECT_EQ(o.text, "37.2");
  EXPECT_EQ(p.MenuTable[Mn3][Tempx10], 372);
  for (const char* bad : {"4.9", "50.1", "nan", "inf", "1e400", "--5", "."}) {
    o = LeaveOutputBox(p, OutputBox::SetPoint, bad);
    EXPECT_EQ(o.message, "Invalid value: 5.0 to 50.0") << bad;
    EXPECT_EQ(o.text, "20");
    EXPECT_EQ(p.MenuTable[Mn3][Tempx10], 200);
  }
  EXPECT_EQ(LeaveOutputBox(p, OutputBox::SetPoint, "5e0").value, 50);
}

// The whole path to the instrument: the code arrives as the Set outputs
// frame and the virtual instrument's plate follows the heater.
TEST(Outputs, SentThroughTheDeviceLink) {
  sim::VirtualInstrument instrument;
  SerialPorts ports;
  ConnectionState connection;
  connection.currentPort = 3;
  CountingEventLoop loop;
  ScriptedOperator op;
  DeviceLink link(ports, connection, loop, op);
  ASSERT_EQ(ports.CommOpen(3, instrument.start(), kInstrumentPortSettings), CommResult::Ok);

  OutputState s;
  s.LightOn = -1;
  s.HeatMode = -1;
  s.TempOutputOn = -1;
  SendOutputs(s, SendThroughLink(link));
  EXPECT_GE(link.ReadTemperatureRaw(), 0);  // answered after the frame without reply
  EXPECT_EQ(instrument.model().outputs(), 7);
  const double before = instrument.model().temperature();
  instrument.model().advance(std::chrono::minutes(10));
  EXPECT_GT(instrument.model().temperature(), before);

  SwitchOutputsOff(s, SendThroughLink(link));
  EXPECT_GE(link.ReadTemperatureRaw(), 0);
  EXPECT_EQ(instrument.model().outputs(), 2);
}

}  // namespace
}  // namespace orb
