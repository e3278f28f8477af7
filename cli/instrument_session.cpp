#include "cli/instrument_session.h"

#include "app/config_files.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/remembered_port.h"
#include "app/startup.h"
#include "cli/commands.h"
#include "common/fileio.h"
#include "device/port_map.h"

namespace orb {

InstrumentSession::InstrumentSession(const std::string& dataOption, std::ostream& e)
    : err(e),
      op(e),
      ws(ResolveDataFolder(dataOption), op),
      ports(PortMap(ws.programFolder)),
      link(ports, state, loop, op) {}

void InstrumentSession::takeConnectionOptions(std::vector<std::string>& args) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--port" && i + 1 < args.size()) {
      typedPort_ = args[++i];
    } else if (a.rfind("--port=", 0) == 0) {
      typedPort_ = a.substr(7);
    } else if (a == "--offline-on-failure") {
      offlineOnFailure_ = true;
    } else {
      rest.push_back(a);
    }
  }
  args = rest;
}

int InstrumentSession::loadProject(bool withProject) {
  return LoadForCommand(ws, withProject ? LoadScope::Project : LoadScope::Config, err);
}

int InstrumentSession::connect(const std::string& command) {
  // The port question after a failed search.
  if (!typedPort_.empty()) {
    op.typeWhen("PORT ERROR", typedPort_);
  } else if (offlineOnFailure_) {
    op.typeWhen("PORT ERROR", "");
  }
  ConnectionView view;
  view.autochannel = [this](const std::string& text) {
    if (!text.empty()) err << text << "\n";
  };
  view.news = [this](const std::string& text) { err << text << "\n"; };
  connection_ = std::make_unique<Connection>(link, RememberedPortOf(ws), view);
  try {
    return connection_->Connect() ? kExitOk : kExitNoInstrument;
  } catch (const UnansweredQuestion& e) {
    err << "orbelune-cli " << command << ": " << e.what() << "\n"
        << "(give --port N to try another port, or --offline-on-failure to go offline)\n";
    return kExitNoInstrument;
  }
}

void InstrumentSession::disconnect() {
  if (connection_) connection_->Disconnect();
}

}  // namespace orb
