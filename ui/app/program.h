// What the windows of the program share: the program-wide records, the
// seams, the serial ports and the connection to the instrument. Owned by
// main() (or a test) for the life of the program.
#pragma once

#include <functional>
#include <string>

#include "app/workspace.h"
#include "common/seams.h"
#include "device/connection_state.h"
#include "device/device_link.h"
#include "device/serial_ports.h"
#include "reports/report_config.h"

namespace orb {

struct Program {
  Program(Workspace& ws, Operator& op, EventLoop& loop, Launcher& launcher, Clock& clock)
      : ws(ws), op(op), loop(loop), launcher(launcher), clock(clock),
        ports(PortMap(ws.programFolder)), link(ports, connection, loop, op) {}

  Workspace& ws;
  Operator& op;
  EventLoop& loop;
  Launcher& launcher;
  Clock& clock;
  ReportConfig report;

  SerialPorts ports;
  ConnectionState connection;  // connected and offline flags, port, serial, factory calibration
  DeviceLink link;

  // Set when the program serves itself a virtual instrument (--simulate).
  std::string virtualInstrumentPath;

  // Ends the program with an exit code (QApplication::exit in the program,
  // recorded by tests). Windows stop acting once it was called.
  std::function<void(int)> endProgram;
  bool ended = false;
  int exitCode = 0;
  void end(int code) {
    if (ended) return;
    ended = true;
    exitCode = code;
    if (endProgram) endProgram(code);
  }
};

}  // namespace orb
