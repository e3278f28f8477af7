#include "cli/connect_command.h"

#include <ostream>

#include "cli/commands.h"
#include "cli/instrument_session.h"
#include "cli/options.h"
#include "common/format.h"
#include "device/port_map.h"

namespace orb {

int RunConnect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> rest = args;
  const std::string data = TakeDataOption(rest);
  InstrumentSession s(data, err);
  s.takeConnectionOptions(rest);
  if (!rest.empty()) {
    err << "orbelune-cli connect: unknown option " << rest.front() << "\n";
    return kExitUsage;
  }
  if (int code = s.loadProject(false); code != kExitOk) return code;
  if (int code = s.connect("connect"); code != kExitOk) return code;

  const FactoryCalibration& f = s.state.factory;
  out << "Port: COM" << s.state.currentPort << "\n";
  out << "Device: " << s.ports.portMap().devicePath("COM" + std::to_string(s.state.currentPort)) << "\n";
  out << "Serial number: " << s.state.serial << "\n";
  out << "Calibrated: " << (f.calibrated ? "yes" : "no") << "\n";
  out << "Month: " << f.month << "\n";
  out << "Year: " << f.year << "\n";
  out << "Slope: " << FormatFixed(f.slope, 3) << "\n";
  out << "Offset: " << FormatFixed(f.offset, 1) << "\n";
  s.disconnect();
  return kExitOk;
}

}  // namespace orb
