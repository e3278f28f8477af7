// orbelune: the desktop program.
//   orbelune [--data DIR] [/run]
#include <QApplication>
#include <QStringList>
#include <iostream>

#include "app/data_folder.h"
#include "app/workspace.h"
#include "ui/frm_main.h"
#include "ui/program.h"
#include "ui/qt_seams.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orbelune");
  // The program ends only by EXIT or by closing the main window, never
  // because the chooser was hidden for a moment.
  QApplication::setQuitOnLastWindowClosed(false);

  std::string dataOption;
  QStringList rest;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--data" && i + 1 < args.size()) {
      dataOption = args[++i].toStdString();
    } else if (args[i].startsWith("--data=")) {
      dataOption = args[i].mid(7).toStdString();
    } else if (args[i] == "--help" || args[i] == "-h") {
      std::cout << "usage: orbelune [--data DIR] [/run]\n"
                   "The data folder is --data DIR, else $ORBELUNE_DATA, else ~/Orbelune.\n";
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

  orb::Frm_Main main(program, rest.join(' '));
  op.setParent(&main);
  if (!main.load()) return program.exitCode;
  return QApplication::exec();
}
