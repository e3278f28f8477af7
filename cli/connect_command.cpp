#include "cli/connect_command.h"

#include <ostream>

#include "app/config_files.h"
#include "app/data_folder.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "common/console_seams.h"
#include "common/fileio.h"
#include "common/format.h"
#include "device/connection.h"

namespace orb {

int RunConnect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string data;
  bool offlineOnFailure = false;
  std::string typedPort;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--offline-on-failure") {
      offlineOnFailure = true;
    } else if (a == "--port" && i + 1 < args.size()) {
      typedPort = args[++i];
    } else if (a.rfind("--port=", 0) == 0) {
      typedPort = a.substr(7);
    } else if (a == "--data" && i + 1 < args.size()) {
      data = args[++i];
    } else if (a.rfind("--data=", 0) == 0) {
      data = a.substr(7);
    } else {
      err << "orbelune-cli connect: unknown option " << a << "\n";
      return kExitUsage;
    }
  }

  const auto folder = ResolveDataFolder(data);
  ConsoleOperator op(err);
  // The port question after a failed search: --port types a port number,
  // --offline-on-failure the empty answer that goes offline.
  if (!typedPort.empty()) {
    op.typeWhen("PORT ERROR", typedPort);
  } else if (offlineOnFailure) {
    op.typeWhen("PORT ERROR", "");
  }
  Workspace ws(folder, op);
  if (!FileExists(ws.programFile("config.dat"))) {
    err << "Config file not found: Check correct software installation\n";
    err << "(data folder " << folder.string() << "; create it with: orbelune-cli init)\n";
    return kExitConfig;
  }
  LoadConfig(ws.programFolder, ws.config, op);

  SerialPorts ports{PortMap(folder)};
  ConnectionState state;
  ConsoleEventLoop loop;
  DeviceLink link(ports, state, loop, op);
  ConnectionView view;
  view.autochannel = [&err](const std::string& text) {
    if (!text.empty()) err << text << "\n";
  };
  view.news = [&err](const std::string& text) { err << text << "\n"; };
  Connection connection(link, ws, view);

  bool connected = false;
  try {
    connected = connection.Connect();
  } catch (const UnansweredQuestion& e) {
    err << "orbelune-cli connect: " << e.what() << "\n"
        << "(give --port N to try another port, or --offline-on-failure to go offline)\n";
    return kExitNoInstrument;
  }
  if (!connected) return kExitNoInstrument;

  const FactoryCalibration& f = state.factory;
  out << "Port: COM" << state.currentPort << "\n";
  out << "Device: " << ports.portMap().devicePath("COM" + std::to_string(state.currentPort)) << "\n";
  out << "Serial number: " << state.serial << "\n";
  out << "Calibrated: " << (f.calibrated ? "yes" : "no") << "\n";
  out << "Month: " << f.month << "\n";
  out << "Year: " << f.year << "\n";
  out << "Slope: " << FormatFixed(f.slope, 3) << "\n";
  out << "Offset: " << FormatFixed(f.offset, 1) << "\n";
  connection.Disconnect();
  return kExitOk;
}

}  // namespace orb
