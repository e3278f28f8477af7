#include "acquisition/outputs.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

#include "app/records.h"
#include "common/format.h"
#include "device/device_link.h"

namespace orb {
namespace {

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;

std::int16_t Flag(bool on) { return on ? kTrue : kFalse; }

// Measured temperatures and set points are decimal readings; the 0.5 and
// 0.6 degree edges are meant as written, so a reading exactly on an edge
// must not fall on either side by a binary rounding of the subtraction.
constexpr double kEdgeSlack = 1e-9;

// Regulation limits: outside (10, 38) deg C nothing is powered.
constexpr double kLowestRegulated = 10.0;
constexpr double kHighestRegulated = 38.0;

BoxOutcome Accepted(std::int16_t value, std::string text) {
  BoxOutcome o;
  o.value = value;
  o.text = std::move(text);
  return o;
}

BoxOutcome Refused(std::int16_t value, std::string text, std::string message) {
  BoxOutcome o;
  o.value = value;
  o.text = std::move(text);
  o.message = std::move(message);
  return o;
}

std::optional<double> InRange(std::string_view text, double low, double high) {
  auto v = BoxNumber(text);
  if (!v || *v < low || *v > high) return std::nullopt;
  return v;
}

BoxOutcome ValidateHour(std::string_view text, std::int16_t fallback) {
  if (auto v = InRange(text, 0, 23)) {
    auto value = static_cast<std::int16_t>(RoundHalfEven(*v));
    return Accepted(value, FormatDigits(value, 2));
  }
  return Refused(fallback, std::to_string(fallback), "Invalid value: 0 to 23");
}

BoxOutcome ValidatePulseTime(std::string_view text) {
  if (auto v = InRange(text, 0.0, 1440.0)) {
    auto value = static_cast<std::int16_t>(RoundHalfEven(*v * 10));
    return Accepted(value, FormatFixed(value / 10.0, 1));
  }
  return Refused(0, "0", "Invalid value: 0.0 to 1440.0");
}

BoxOutcome ValidateRepetitions(std::string_view text) {
  BoxOutcome o;
  if (auto v = InRange(text, 0, 99)) {
    auto value = static_cast<std::int16_t>(RoundHalfEven(*v));
    o = Accepted(value, std::to_string(value));
  } else {
    o = Refused(0, "0", "Invalid value: 0-99");
  }
  // A pulse programme replaces the daily hours.
  o.hourBoxesEnabled = o.value == 0;
  return o;
}

BoxOutcome ValidateSetPoint(std::string_view text) {
  if (auto v = InRange(text, 5.0, 50.0)) {
    auto value = static_cast<std::int16_t>(RoundHalfEven(*v * 10));
    return Accepted(value, FormatFixed(value / 10.0, 1));
  }
  return Refused(200, "20", "Invalid value: 5.0 to 50.0");
}

}  // namespace

int OutputCode(const OutputState& s) {
  return (s.LightOn ? 4 : 0) + (s.HeatMode == kTrue ? 2 : 0) + (s.TempOutputOn ? 1 : 0);
}

std::uint32_t LightColour(const OutputState& s) { return s.LightOn ? kBgrGreen : kBgrRed; }

OutputLook LookOf(const OutputState& s) {
  OutputLook look;
  look.lightCaption = s.LightOn ? "ON" : "OFF";
  look.lightColour = LightColour(s);
  const bool heating = s.HeatMode == kTrue;
  look.modeCaption = heating ? "HEAT" : "COOL";
  look.powerCaption = s.TempOutputOn ? "ON" : "OFF";
  look.temperatureColour = !s.TempOutputOn ? kBgrWhite : heating ? kBgrRed : kBgrBlue;
  return look;
}

OutputSender SendThroughLink(DeviceLink& link) {
  return [&link](const OutputState& s) {
    link.SetOutputs(s.LightOn != 0, s.HeatMode == kTrue, s.TempOutputOn != 0);
  };
}

OutputLook SendOutputs(const OutputState& state, const OutputSender& send) {
  if (send) send(state);
  return LookOf(state);
}

LightProgramme LightProgrammeOf(const ProjectSetup& setup) {
  const auto& row = setup.MenuTable[Mn2];
  LightProgramme p;
  p.onHour = row[Time_ON];
  p.offHour = row[Time_OFF];
  p.repetitions = row[PulseCount];
  p.onMinutes = row[PulseOnx10] / 10.0;
  p.offMinutes = row[PulseOffx10] / 10.0;
  return p;
}

bool ScheduledLight(int onHour, int offHour, int hour) {
  if (onHour < offHour) return onHour <= hour && hour < offHour;
  if (onHour > offHour) return !(offHour <= hour && hour < onHour);
  return false;
}

std::optional<OutputLook> StartRunLight(OutputState& state, const ProjectSetup& setup, int hour,
                                        const OutputSender& send) {
  const LightProgramme p = LightProgrammeOf(setup);
  if (p.repetitions != 0 || !state.LightTimerEnabled) return std::nullopt;
  state.LightOn = Flag(ScheduledLight(p.onHour, p.offHour, hour));
  return SendOutputs(state, send);
}

void TakeSetPoint(OutputState& state, const ProjectSetup& setup) {
  state.SetPoint = setup.MenuTable[Mn3][Tempx10] / 10.0;
}

void ApplyHourSchedule(OutputState& state, const ProjectSetup& setup, int hour) {
  if (!state.LightTimerEnabled) return;
  // The hours act also while a pulse programme is set: at an interval close
  // within the on or off hour they decide the light until the next progress
  // check applies the pulses again.
  const LightProgramme p = LightProgrammeOf(setup);
  if (hour == p.onHour) state.LightOn = kTrue;
  if (hour == p.offHour) state.LightOn = kFalse;
}

std::optional<OutputLook> ApplyPulseProgramme(OutputState& state, const ProjectSetup& setup, double minutes,
                                              const OutputSender& send) {
  std::optional<OutputLook> look;
  const LightProgramme p = LightProgrammeOf(setup);
  if (p.repetitions >= 1 && state.LightTimerEnabled) {
    const double cycle = p.onMinutes + p.offMinutes;
    // A programme without length is over as soon as it starts (no division
    // by a zero cycle).
    const bool over = cycle <= 0 || minutes - cycle * p.repetitions >= 0;
    if (!over) {
      const double k = std::floor(minutes / cycle);
      const double r = minutes - k * cycle;
      state.LightOn = Flag(p.onMinutes > r);
    }
    look = SendOutputs(state, send);
  }
  if (state.OutputsPending) {
    state.OutputsPending = kFalse;
    look = SendOutputs(state, send);
  }
  return look;
}

OutputLook RegulateTemperature(OutputState& state, const ProjectSetup& setup, double measured, int hour,
                               const OutputSender& send) {
  if (measured <= kLowestRegulated || measured >= kHighestRegulated || !state.TempControlEnabled) {
    state.HeatMode = kFalse;
    state.TempOutputOn = kFalse;
  } else {
    const double d = measured - state.SetPoint;
    if (d >= 0.5 - kEdgeSlack) {
      state.HeatMode = kFalse;
      state.TempOutputOn = Flag(d >= 0.6 - kEdgeSlack);
    } else if (d <= -0.5 + kEdgeSlack) {
      state.HeatMode = kTrue;
      state.TempOutputOn = Flag(d <= -0.6 + kEdgeSlack);
    } else {
      state.TempOutputOn = kFalse;
    }
  }
  ApplyHourSchedule(state, setup, hour);
  return SendOutputs(state, send);
}

OutputLook SwitchOutputsOff(OutputState& state, const OutputSender& send) {
  state.LightOn = kFalse;
  state.TempOutputOn = kFalse;
  return SendOutputs(state, send);
}

std::optional<OutputLook> ManualToggle(OutputState& state, ManualOutput which, int runState,
                                       const OutputSender& send) {
  switch (which) {
    case ManualOutput::Light: state.LightOn = Flag(!state.LightOn); break;
    case ManualOutput::Mode:
      state.HeatMode = Flag(state.HeatMode != kTrue);
      state.TempOutputOn = kFalse;
      break;
    case ManualOutput::Power: state.TempOutputOn = Flag(!state.TempOutputOn); break;
  }
  if (runState == 1) {
    state.OutputsPending = kTrue;
    return std::nullopt;
  }
  return SendOutputs(state, send);
}

void SetLightTimerEnabled(OutputState& state, ProjectSetup& setup, bool on) {
  state.LightTimerEnabled = Flag(on);
  setup.MenuTable[Mn2][LightEnable] = on ? 1 : 0;
}

void SetTempControlEnabled(OutputState& state, ProjectSetup& setup, bool on) {
  state.TempControlEnabled = Flag(on);
  setup.MenuTable[Mn3][TempEnable] = on ? 1 : 0;
}

std::optional<double> BoxNumber(std::string_view text) {
  auto b = text.find_first_not_of(" \t");
  if (b == std::string_view::npos) return std::nullopt;
  auto e = text.find_last_not_of(" \t");
  const std::string t(text.substr(b, e - b + 1));
  std::size_t i = 0;
  auto digit = [&](std::size_t k) { return k < t.size() && std::isdigit(static_cast<unsigned char>(t[k])); };
  if (t[i] == '+' || t[i] == '-') ++i;
  bool digits = false;
  while (digit(i)) ++i, digits = true;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (digit(i)) ++i, digits = true;
  }
  if (!digits) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (!digit(i)) return std::nullopt;
    while (digit(i)) ++i;
  }
  if (i != t.size()) return std::nullopt;
  const double v = std::strtod(t.c_str(), nullptr);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

BoxOutcome ValidateOutputBox(OutputBox box, std::string_view text) {
  switch (box) {
    case OutputBox::OnHour: return ValidateHour(text, 9);
    case OutputBox::OffHour: return ValidateHour(text, 21);
    case OutputBox::PulseRepetitions: return ValidateRepetitions(text);
    case OutputBox::PulseOn:
    case OutputBox::PulseOff: return ValidatePulseTime(text);
    case OutputBox::SetPoint: return ValidateSetPoint(text);
  }
  return {};
}

BoxOutcome LeaveOutputBox(ProjectSetup& setup, OutputBox box, std::string_view text) {
  BoxOutcome o = ValidateOutputBox(box, text);
  auto& light = setup.MenuTable[Mn2];
  switch (box) {
    case OutputBox::OnHour: light[Time_ON] = o.value; break;
    case OutputBox::OffHour: light[Time_OFF] = o.value; break;
    case OutputBox::PulseRepetitions: light[PulseCount] = o.value; break;
    case OutputBox::PulseOn: light[PulseOnx10] = o.value; break;
    case OutputBox::PulseOff: light[PulseOffx10] = o.value; break;
    case OutputBox::SetPoint: setup.MenuTable[Mn3][Tempx10] = o.value; break;
  }
  return o;
}

}  // namespace orb
