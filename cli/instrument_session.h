// What the instrument commands of the command line share: the data folder
// and its current project loaded as the program loads them, and the
// connection sequence of the program's Connect, with its port question
// answered by options (--port N types a port, --offline-on-failure the empty
// answer).
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "common/console_seams.h"
#include "device/connection.h"
#include "device/connection_state.h"
#include "device/device_link.h"
#include "device/serial_ports.h"

namespace orb {

class InstrumentSession {
 public:
  InstrumentSession(const std::string& dataOption, std::ostream& err);

  // Takes --port N / --port=N and --offline-on-failure out of `args`.
  void takeConnectionOptions(std::vector<std::string>& args);
  // config.dat and the current project; kExitConfig (with its message) when
  // the data folder has no config.dat.
  int loadProject(bool withProject = true);
  // The connection sequence; kExitOk when an instrument answered, else
  // kExitNoInstrument (with a hint when the port question had no answer).
  int connect(const std::string& command);
  void disconnect();

  std::ostream& err;
  ConsoleOperator op;
  Workspace ws;
  SerialPorts ports;
  ConnectionState state;
  ConsoleEventLoop loop;
  DeviceLink link;

 private:
  std::string typedPort_;
  bool offlineOnFailure_ = false;
  std::unique_ptr<Connection> connection_;
};

}  // namespace orb
