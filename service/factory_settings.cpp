#include "service/factory_settings.h"

#include <charconv>
#include <cmath>

#include "common/format.h"
#include "common/seams.h"
#include "device/device_link.h"

namespace orb {

bool FactorySettingsAllowed(const ConnectionState& state, bool runActive, Operator& op) {
  if (state.offline || !state.connected || runActive) {
    op.inform(kFactoryRefusal);
    return false;
  }
  return true;
}

std::string FactorySerialLine(int serial) { return "SERIAL : ORBL" + FormatDigits(serial, 5); }

std::string CalibrationStateText(const FactoryCalibration& f) {
  if (!f.calibrated) return kNotCalibratedText;
  return "OK Last Factory Calibration " + FormatDigits(f.month, 2) + "/" + FormatDigits(f.year, 2) + " [mm/yy]";
}

std::string LoadFactoryWindow(ConnectionState& state) {
  if (!state.factory.calibrated) {
    state.factory.slope = kDefaultSlope;
    state.factory.offset = kDefaultOffset;
  }
  return CalibrationStateText(state.factory);
}

std::string TemperatureText(int raw, const FactoryCalibration& f) {
  return FormatFixed(ConvertTemperature(raw, f.slope, f.offset), 1);
}

double ReferenceValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  double v = 0.0;
  auto [p, ec] = std::from_chars(text.data() + i, text.data() + text.size(), v);
  (void)p;
  return ec == std::errc() && std::isfinite(v) ? v : 0.0;
}

double CalibratedOffset(double reference, int raw, double slope) { return reference - raw * slope; }

std::array<int, 7> FactoryCalibrationBytes(int month, int year, double offset, double slope) {
  // slope * 1000 is rounded once and then split, so that the low byte can
  // never reach 256 (a slope of 0.25599999 stores 256 as 1, 0).
  const auto milli = RoundHalfEven(slope * 1000.0);
  return {0,
          month,
          year % 100,
          offset < 0 ? 1 : 0,
          static_cast<int>(RoundHalfEven(std::fabs(offset) * 10.0)),
          static_cast<int>(milli % 256),
          static_cast<int>(milli / 256)};
}

SetResult SetReferenceTemperature(DeviceLink& link, double reference, const LocalDateTime& now) {
  ConnectionState& state = link.state();
  Operator& op = link.op();
  SetResult r;
  r.raw = link.ReadTemperatureRaw();
  if (!ReferenceInRange(reference)) {
    op.inform(kReferenceRangeMessage);
    r.outcome = SetOutcome::OutOfRange;
    return r;
  }
  // A missing reply would make the new offset wrong by the whole
  // temperature: nothing is written.
  if (r.raw < 0) {
    op.inform(kNoTemperatureMessage);
    r.outcome = SetOutcome::NoTemperature;
    return r;
  }
  const double slope = state.factory.slope;
  r.offset = CalibratedOffset(reference, r.raw, slope);
  r.bytes = FactoryCalibrationBytes(now.month, now.year % 100, r.offset, slope);
  if (std::fabs(r.offset) > kMaxFactoryOffset) {
    op.inform(kOffsetRangeMessage);
    r.outcome = SetOutcome::OffsetTooLarge;
    return r;
  }
  for (int k = 0; k < 7; ++k) {
    if (link.WriteFactoryByte(k, r.bytes[k]) != 1) {  // the write showed its message
      r.outcome = SetOutcome::WriteFailed;
      r.stateText = kNotCalibratedText;
      return r;
    }
  }
  state.factory.offset = r.offset;
  state.factory.calibrated = true;
  state.factory.month = r.bytes[1];
  state.factory.year = r.bytes[2];
  r.outcome = SetOutcome::Written;
  r.stateText = CalibrationStateText(state.factory);
  return r;
}

}  // namespace orb
