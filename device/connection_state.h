// The shared connection state, owned by the main window for the life of the
// program and read by the acquisition, the calibration and the service
// windows.
#pragma once

#include <cstdint>

#include "device/protocol.h"

namespace orb {

struct ConnectionState {
  // COM number 1..15 (0 while searching); also the port identifier of the
  // serial layer. The connection keeps AppConfig::Serial_COM equal to it.
  std::int16_t currentPort = 0;
  std::int16_t serial = 0;  // 10..200 when an instrument was identified, else 0
  bool connected = false;
  bool offline = false;
  FactoryCalibration factory;  // calibrated flag, month, year, slope, offset

  double temperature(int raw) const { return ConvertTemperature(raw, factory.slope, factory.offset); }
};

}  // namespace orb
