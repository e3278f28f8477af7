// orbelune: the desktop program.
//   orbelune [--data DIR] [--simulate] [/run]
#include <QApplication>
#include <QStringList>
#include <iostream>
#include <memory>

#include "app/data_folder.h"
#include "app/workspace.h"
#include "sim/virtual_instrument.h"
#include "ui/app/program.h"
#include "ui/app/qt_seams.h"
#include "ui/main/frm_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orbelune");
  // The program ends only by EXIT or by closing the main window, never
  // because the chooser was hidden for a moment.
  QApplication::setQuitOnLastWindowClosed(false);

  std::string dataOption;
  bool simulate = false;
  QStringList rest;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--data" && i + 1 < args.size()) {
      dataOption = args[++i].toStdString();
    } else if (args[i].startsWith("--data=")) {
      dataOption = args[i].mid(7).toStdString();
    } else if (args[i] == "--simulate") {
      simulate = true;
    } else if (args[i] == "--help" || args[i] == "-h") {
      std::cout << "usage: orbelune [--data DIR] [--simulate] [/run]\n"
                   "The data folder is --data DIR, else $ORBELUNE_DATA, else ~/Orbelune.\n"
                   "--simulate serves a virtual instrument on the configured COM port.\n";
      return 0;
    } else {
      rest << args[i];
    }
  }

  orb::QtOperator op;
  orb::QtEventLoop loop;
  orb::QtLauncher launcher;
  orb::SystemClock clock;
  orb::Workspace ws(orb::ResolveDataFolder(dataOption), op);
  orb::Program program(ws, op, loop, launcher, clock);
  program.endProgram = [](int code) { QCoreApplication::exit(code); };

  // The virtual instrument, only when asked for: it answers on a
  // pseudo-terminal that the configured COM port is mapped to.
  std::unique_ptr<orb::sim::VirtualInstrument> instrument;
  if (simulate) {
    instrument = std::make_unique<orb::sim::VirtualInstrument>();
    try {
      program.virtualInstrumentPath = instrument->start();
    } catch (const std::exception& e) {
      std::cerr << "orbelune: the virtual instrument cannot start: " << e.what() << "\n";
      return 1;
    }
  }

  orb::Frm_Main main(program, rest.join(' '));
  op.setParent(&main);
  if (simulate) {
    main.setWindowTitle(main.windowTitle() + "   [VIRTUAL INSTRUMENT]");
    main.beforeConnecting = [&] {
      // The port the connection tries first answers with the virtual instrument.
      program.ports.portMap().assign(ws.config.Serial_COM, program.virtualInstrumentPath);
    };
  }
  if (!main.load()) return program.exitCode;
  return QApplication::exec();
}
