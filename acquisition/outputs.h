// Light and temperature outputs: the light source, the heat/cool direction
// and the heater/cooler power, always sent to the instrument together as
// one three-bit code. The programmes (daily hours or pulses for the light, a
// set point for the temperature) are kept in rows Mn2 and Mn3 of the
// project's MenuTable; the state below belongs to the main window.
//
// Everything here is free of windows: the engine calls the rules with the
// clock hour or the minutes since the start, the panels call the manual
// commands and the box validation, and both hand over an OutputSender that
// puts the code on the wire (and refreshes the panel when there is one).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orb {

class DeviceLink;
struct ProjectSetup;

// 16-bit flags: -1 true, 0 false.
struct OutputState {
  std::int16_t LightOn = 0;
  std::int16_t HeatMode = 0;            // -1 heats, 0 cools
  std::int16_t TempOutputOn = 0;        // the heater/cooler is powered
  std::int16_t LightTimerEnabled = 0;   // Chk_lenabled
  std::int16_t TempControlEnabled = 0;  // Chk_tenabled
  std::int16_t OutputsPending = 0;      // a manual change waits for the next tick
  double SetPoint = 20.0;               // working set point of the regulation, deg C
};

// 4 x light + 2 x heat + power, 0..7: 3 heats, 1 cools, 0 and 2 leave the
// temperature output unpowered.
int OutputCode(const OutputState& state);

// Colour values in the blue-green-red order of the display layer (0xBBGGRR).
inline constexpr std::uint32_t kBgrGreen = 0x00FF00;
inline constexpr std::uint32_t kBgrRed = 0x0000FF;
inline constexpr std::uint32_t kBgrBlue = 0xFF0000;
inline constexpr std::uint32_t kBgrWhite = 0xFFFFFF;

// What the panels show for a sent state.
struct OutputLook {
  std::string lightCaption;        // cmd_luz: "ON" / "OFF"
  std::uint32_t lightColour = 0;   // shape_light: green on, red off
  std::string modeCaption;         // cmd_frio: "HEAT" / "COOL"
  std::string powerCaption;        // cmd_ontemp: "ON" / "OFF"
  std::uint32_t temperatureColour = 0;  // shape_temp: white unpowered, blue cooling, red heating
  bool operator==(const OutputLook&) const = default;
};
OutputLook LookOf(const OutputState& state);
std::uint32_t LightColour(const OutputState& state);

// Puts a state on the wire. The main window wraps the device link's sender
// to refresh its panels as well; tests record the codes.
using OutputSender = std::function<void(const OutputState&)>;
// The instrument's Set outputs frame (nothing is read back).
OutputSender SendThroughLink(DeviceLink& link);

// Sends the state and returns what the panels now show.
OutputLook SendOutputs(const OutputState& state, const OutputSender& send);

// ---- programmes (rows Mn2 and Mn3) -----------------------------------------

struct LightProgramme {
  int onHour = 9, offHour = 21;
  int repetitions = 0;              // pulse repetitions; 0 = the daily schedule
  double onMinutes = 0, offMinutes = 0;
};
LightProgramme LightProgrammeOf(const ProjectSetup& setup);

// The light of the daily schedule at clock hour h for on hour A and off
// hour B: A < B on in [A, B); A > B on outside [B, A); A = B never on.
bool ScheduledLight(int onHour, int offHour, int hour);

// Start of a run: with no pulse repetitions and the schedule enabled the
// light is set from the hours and sent. Returns the look when sent.
std::optional<OutputLook> StartRunLight(OutputState& state, const ProjectSetup& setup, int hour,
                                        const OutputSender& send);

// The working set point from the stored set point (run start and "SET").
void TakeSetPoint(OutputState& state, const ProjectSetup& setup);

// Interval close, schedule part: on at the on hour, then off at the off
// hour, while the schedule is enabled (whether or not pulse repetitions are
// set). The hours switch only on their edges; between them the state is
// kept. Sends nothing.
void ApplyHourSchedule(OutputState& state, const ProjectSetup& setup, int hour);

// The engine's progress check: the pulse programme (repetitions >= 1 and
// the schedule enabled; each cycle starts with its on phase, and after the
// last cycle the light keeps its last state), then a pending manual change.
// `minutes` is the exact time since the start of the run. Returns the look
// when something was sent (the programme's state, then the pending change,
// each sent on its own).
std::optional<OutputLook> ApplyPulseProgramme(OutputState& state, const ProjectSetup& setup, double minutes,
                                              const OutputSender& send);

// Interval close, after the temperature was read: regulation against the
// working set point (power only 0.6 deg C or more away from it and only
// between 10 and 38 deg C), then the hour schedule, then the combined state
// is sent.
OutputLook RegulateTemperature(OutputState& state, const ProjectSetup& setup, double measured, int hour,
                               const OutputSender& send);

// Stop and the end of the programmed time: light and power off, sent;
// the heat/cool direction is kept.
OutputLook SwitchOutputsOff(OutputState& state, const OutputSender& send);

// ---- manual commands -------------------------------------------------------

enum class ManualOutput {
  Light,  // cmd_luz: toggles the light
  Mode,   // cmd_frio: toggles heat/cool and removes the power
  Power,  // cmd_ontemp: toggles the power
};
// While running (run state 1) the change only waits for the next progress
// check (OutputsPending); otherwise it is sent at once and the look returned.
std::optional<OutputLook> ManualToggle(OutputState& state, ManualOutput which, int runState,
                                       const OutputSender& send);

// The check boxes: the window's flag and the stored Enable of the row.
void SetLightTimerEnabled(OutputState& state, ProjectSetup& setup, bool on);
void SetTempControlEnabled(OutputState& state, ProjectSetup& setup, bool on);

// ---- the boxes -------------------------------------------------------------

enum class OutputBox {
  OnHour,            // txt_lon
  OffHour,           // txt_loff
  PulseRepetitions,  // txt_pulsetimes
  PulseOn,           // txt_pulseon
  PulseOff,          // txt_pulseoff
  SetPoint,          // txttemp
};

// The outcome of leaving a box: the value to store, the text the box shows
// and, when the text was refused, the message to show.
struct BoxOutcome {
  std::int16_t value = 0;
  std::string text;
  std::string message;            // empty when accepted
  bool hourBoxesEnabled = true;   // txt_pulsetimes: txt_lon and txt_loff enabled
  bool accepted() const { return message.empty(); }
};

// A number as a person types it: blanks around it, a sign, digits with an
// optional decimal point and exponent; nothing else.
std::optional<double> BoxNumber(std::string_view text);

BoxOutcome ValidateOutputBox(OutputBox box, std::string_view text);
// Validates and stores the value into its place of row Mn2 or Mn3.
BoxOutcome LeaveOutputBox(ProjectSetup& setup, OutputBox box, std::string_view text);

}  // namespace orb
