#include "service/factory_settings.h"

#include <gtest/gtest.h>

#include "common/format.h"
#include "device/device_link.h"
#include "device/port_settings.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

using Bytes = std::array<int, 7>;

TEST(FactorySettings, CalibrationBytes) {
  // Slope 0.219, raw 100, offset 0, reference 23.5: current 21.9, offset 1.6.
  const double offset = CalibratedOffset(23.5, 100, 0.219);
  EXPECT_NEAR(offset, 1.6, 1e-9);
  EXPECT_EQ(FactoryCalibrationBytes(6, 24, offset, 0.219), (Bytes{0, 6, 24, 0, 16, 219, 0}));
  // A negative offset: the sign byte, and 22.5 rounds half to even.
  EXPECT_EQ(FactoryCalibrationBytes(12, 2026, -2.25, 0.219), (Bytes{0, 12, 26, 1, 22, 219, 0}));
  EXPECT_EQ(FactoryCalibrationBytes(1, 0, 2.35, 0.219)[4], 24);
  // Slope 0.3: 300 = 1 * 256 + 44; slope 0.256 is exactly 1, 0.
  EXPECT_EQ(FactoryCalibrationBytes(1, 24, 0.0, 0.3), (Bytes{0, 1, 24, 0, 0, 44, 1}));
  EXPECT_EQ(FactoryCalibrationBytes(1, 24, 0.0, 0.2559999999)[5], 0);
  EXPECT_EQ(FactoryCalibrationBytes(1, 24, 0.0, 0.2559999999)[6], 1);
}

TEST(FactorySettings, ReferenceRangeAndValue) {
  EXPECT_FALSE(ReferenceInRange(3.9));
  EXPECT_TRUE(ReferenceInRange(4.0));
  EXPECT_TRUE(ReferenceInRange(50.0));
  EXPECT_FALSE(ReferenceInRange(50.1));
  EXPECT_DOUBLE_EQ(ReferenceValue("23.5"), 23.5);
  EXPECT_DOUBLE_EQ(ReferenceValue(" 23.5 C"), 23.5);
  EXPECT_DOUBLE_EQ(ReferenceValue("23,5"), 23.0);
  EXPECT_DOUBLE_EQ(ReferenceValue("-3"), -3.0);
  EXPECT_DOUBLE_EQ(ReferenceValue("abc"), 0.0);
  EXPECT_DOUBLE_EQ(ReferenceValue(""), 0.0);
}

TEST(FactorySettings, WindowTexts) {
  EXPECT_EQ(FactorySerialLine(100), "SERIAL : ORBL00100");
  FactoryCalibration f{true, 6, 4, 0.219, -2.5};
  EXPECT_EQ(CalibrationStateText(f), "OK Last Factory Calibration 06/04 [mm/yy]");
  EXPECT_EQ(TemperatureText(112, f), "22.0");
  EXPECT_EQ(TemperatureText(-1, f), "-2.7");

  ConnectionState s;
  s.factory = {false, 0, 0, 0.3, 1.5};
  EXPECT_EQ(LoadFactoryWindow(s), "NON Calibrated");
  EXPECT_DOUBLE_EQ(s.factory.slope, 0.219);
  EXPECT_DOUBLE_EQ(s.factory.offset, 0.0);
  s.factory = f;
  EXPECT_EQ(LoadFactoryWindow(s), "OK Last Factory Calibration 06/04 [mm/yy]");
  EXPECT_DOUBLE_EQ(s.factory.offset, -2.5);

  ScriptedOperator op;
  s.connected = true;
  EXPECT_TRUE(FactorySettingsAllowed(s, false, op));
  EXPECT_FALSE(FactorySettingsAllowed(s, true, op));
  s.offline = true;
  EXPECT_FALSE(FactorySettingsAllowed(s, false, op));
  s = {};
  EXPECT_FALSE(FactorySettingsAllowed(s, false, op));
  EXPECT_EQ(op.texts(), std::vector<std::string>(3, "Only possible to access in: ONLINE mode and STOP experiment"));
}

// The link on COM3 to a virtual instrument at 22 degC whose factory memory
// says offset -2.5, slope 0.219; the calibration read as at connection.
struct FactoryBench {
  sim::VirtualInstrument instrument;
  SerialPorts ports;
  ConnectionState state;
  CountingEventLoop loop;
  ScriptedOperator op;
  DeviceLink link{ports, state, loop, op};
  const LocalDateTime now{2022, 4, 15, 10, 30, 0};

  explicit FactoryBench(sim::Faults faults = {}) : instrument(Options(faults)) {
    state.currentPort = 3;
    state.connected = true;
    EXPECT_EQ(ports.CommOpen(3, instrument.start(), kInstrumentPortSettings), CommResult::Ok);
    link.ReadFactoryCalibration();
    EXPECT_TRUE(state.factory.calibrated);
  }
  static sim::InstrumentOptions Options(sim::Faults faults) {
    sim::InstrumentOptions o;
    o.faults = std::move(faults);
    return o;
  }
  Bytes memory() {
    Bytes b{};
    for (int k = 0; k < 7; ++k) b[k] = instrument.model().factoryByte(k);
    return b;
  }
};

TEST(FactorySettings, CalibratesTheVirtualInstrument) {
  FactoryBench b;
  const int raw = b.instrument.model().rawTemperature();
  SetResult r = SetReferenceTemperature(b.link, 23.5, b.now);
  ASSERT_EQ(r.outcome, SetOutcome::Written);
  EXPECT_EQ(r.raw, raw);
  EXPECT_NEAR(r.offset, 23.5 - raw * 0.219, 1e-9);
  EXPECT_EQ(r.stateText, "OK Last Factory Calibration 04/22 [mm/yy]");
  EXPECT_NEAR(b.state.factory.offset, r.offset, 1e-12);
  EXPECT_DOUBLE_EQ(b.state.factory.slope, 0.219);
  // The instrument's memory holds the bytes, and the next connection reads
  // back the same calibration.
  EXPECT_EQ(b.memory(), r.bytes);
  EXPECT_EQ(r.bytes[3], r.offset < 0 ? 1 : 0);
  b.state.factory = {};
  b.link.ReadFactoryCalibration();
  EXPECT_TRUE(b.state.factory.calibrated);
  EXPECT_EQ(b.state.factory.month, 4);
  EXPECT_EQ(b.state.factory.year, 22);
  EXPECT_NEAR(b.state.factory.offset, RoundHalfEven(r.offset * 10) / 10.0, 1e-9);
  EXPECT_EQ(TemperatureText(raw, b.state.factory), "23.5");
  EXPECT_TRUE(b.op.texts().empty());
}

TEST(FactorySettings, RefusalsWriteNothing) {
  FactoryBench b;
  const Bytes before = b.memory();
  for (double bad : {3.9, 50.1}) {
    b.op.clear();
    EXPECT_EQ(SetReferenceTemperature(b.link, bad, b.now).outcome, SetOutcome::OutOfRange);
    EXPECT_EQ(b.op.texts(), std::vector<std::string>{"invalid Calibration Parameter: value must be between 4°C and 50°C"});
  }
  // 4 degC is a valid reference, but the sensor reads 22: the offset would
  // be -18, which the factory memory cannot hold.
  b.op.clear();
  SetResult far = SetReferenceTemperature(b.link, 4.0, b.now);
  EXPECT_EQ(far.outcome, SetOutcome::OffsetTooLarge);
  EXPECT_TRUE(b.op.saw(kOffsetRangeMessage));
  EXPECT_EQ(b.memory(), before);
  EXPECT_DOUBLE_EQ(b.state.factory.offset, -2.5);

  sim::Faults silent;
  silent.silent = true;
  b.instrument.model().setFaults(silent);
  b.op.clear();
  SetResult none = SetReferenceTemperature(b.link, 23.5, b.now);
  EXPECT_EQ(none.outcome, SetOutcome::NoTemperature);
  EXPECT_EQ(none.raw, -1);
  EXPECT_EQ(b.op.texts(), std::vector<std::string>{kNoTemperatureMessage});
  EXPECT_EQ(b.memory(), before);
  EXPECT_DOUBLE_EQ(b.state.factory.offset, -2.5);
  EXPECT_TRUE(none.stateText.empty());
}

TEST(FactorySettings, FailedWriteStopsAtTheFirstByte) {
  FactoryBench b;
  sim::Faults wrong;
  wrong.wrongEcho = true;
  b.instrument.model().setFaults(wrong);
  SetResult r = SetReferenceTemperature(b.link, 23.5, b.now);
  EXPECT_EQ(r.outcome, SetOutcome::WriteFailed);
  EXPECT_EQ(r.stateText, "NON Calibrated");
  EXPECT_EQ(b.op.texts(), std::vector<std::string>{"Ops...Data Writing ERROR: reg(128)... Check COM and Try again"});
  EXPECT_EQ(b.instrument.model().factoryByte(1), 6);  // later bytes never sent
  EXPECT_DOUBLE_EQ(b.state.factory.offset, -2.5);
  EXPECT_TRUE(b.state.factory.calibrated);
}

}  // namespace
}  // namespace orb
