// Factory settings ("Factory Settings", Frm_Factory): the serial line, the
// state of the instrument's temperature calibration, the temperature shown
// once a second, and the one-point calibration ("SET") that stores month,
// year, offset and slope in the instrument's factory memory with seven
// verified writes.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "common/datetime.h"
#include "device/connection_state.h"
#include "device/protocol.h"

namespace orb {

class DeviceLink;
class Operator;

inline constexpr double kMinReferenceTemperature = 4.0;
inline constexpr double kMaxReferenceTemperature = 50.0;
// The factory memory holds offsets of -10..10 degC only (a connection
// rejects anything else).
inline constexpr double kMaxFactoryOffset = 10.0;

inline constexpr const char* kFactoryRefusal = "Only possible to access in: ONLINE mode and STOP experiment";
inline constexpr const char* kReferenceRangeMessage =
    "invalid Calibration Parameter: value must be between 4°C and 50°C";
inline constexpr const char* kNoTemperatureMessage =
    "No temperature reading from the equipment: nothing was written. Check COM and Try again";
inline constexpr const char* kOffsetRangeMessage =
    "invalid Calibration: the new offset would be outside -10°C..10°C; nothing was written";
inline constexpr const char* kNotCalibratedText = "NON Calibrated";

// "Factory Settings" chosen: allowed only when connected, not offline and no
// run active; otherwise the refusal message. True when the window may open.
bool FactorySettingsAllowed(const ConnectionState& state, bool runActive, Operator& op);

// "SERIAL : ORBL" + serial as five digits.
std::string FactorySerialLine(int serial);
// "OK Last Factory Calibration mm/yy [mm/yy]" or "NON Calibrated".
std::string CalibrationStateText(const FactoryCalibration& f);
// The window's load: an uncalibrated instrument's conversion goes back to
// slope 0.219, offset 0. Returns the state text.
std::string LoadFactoryWindow(ConnectionState& state);
// raw * slope + offset as "0.0".
std::string TemperatureText(int raw, const FactoryCalibration& f);

// 4 <= reference <= 50.
inline bool ReferenceInRange(double reference) {
  return reference >= kMinReferenceTemperature && reference <= kMaxReferenceTemperature;
}

// The numeric value of the reference box: its leading number ("23.5",
// " 23.5 C" -> 23.5); 0 when it does not start with one.
double ReferenceValue(std::string_view text);

// The offset that makes raw read as reference: reference - raw * slope.
double CalibratedOffset(double reference, int raw, double slope);
// Factory bytes k0..k6: 0, month, year, sign (1 = negative), |offset| * 10
// and slope * 1000 as low and high byte, each rounded half to even.
std::array<int, 7> FactoryCalibrationBytes(int month, int year, double offset, double slope);

enum class SetOutcome {
  Written,        // all seven bytes written; the conversion uses the new offset
  OutOfRange,     // reference outside 4..50 degC; nothing written
  NoTemperature,  // the instrument did not answer the temperature query; nothing written
  OffsetTooLarge, // the new offset cannot be stored; nothing written
  WriteFailed,    // a factory write failed (its message shown); memory partly written
};

struct SetResult {
  SetOutcome outcome = SetOutcome::OutOfRange;
  std::array<int, 7> bytes{};  // what was (to be) written
  int raw = -1;
  double offset = 0.0;         // the new offset
  std::string stateText;       // txt_mensaje afterwards; empty when unchanged
};

// "SET": reads the raw temperature, checks the reference, computes the new
// offset and writes the seven factory bytes in order, stopping at the first
// failed write. On success the shared calibration takes the new offset,
// month and year (the slope stays) and is marked calibrated.
SetResult SetReferenceTemperature(DeviceLink& link, double reference, const LocalDateTime& now);

}  // namespace orb
