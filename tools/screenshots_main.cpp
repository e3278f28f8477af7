// orbelune-screenshots DATA OUT: the desktop program on the virtual
// instrument, recording the demo project of the data folder DATA (created
// when missing), and a picture of its main window in each display mode of
// the live pictures, written to the folder OUT. Run by tools/screenshots.sh
// under a virtual display; the user guide takes its pictures from it.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "acquisition/run_control.h"
#include "app/data_folder.h"
#include "app/workspace.h"
#include "sim/virtual_instrument.h"
#include "ui/app/program.h"
#include "ui/app/qt_seams.h"
#include "ui/main/frm_main.h"

namespace {

void Wait(int ms) {
  QEventLoop wait;
  QTimer::singleShot(ms, &wait, &QEventLoop::quit);
  wait.exec();
}

bool Click(orb::Frm_Main& main, const char* name) {
  auto* button = main.findChild<QPushButton*>(name);
  if (!button) {
    std::cerr << "orbelune-screenshots: no control " << name << "\n";
    return false;
  }
  button->click();
  Wait(400);
  return true;
}

bool Save(orb::Frm_Main& main, const QString& out, const char* name) {
  const QString file = QDir(out).filePath(name);
  if (!main.grab().save(file)) {
    std::cerr << "orbelune-screenshots: cannot write " << file.toStdString() << "\n";
    return false;
  }
  std::cout << file.toStdString() << "\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  if (argc != 3) {
    std::cerr << "usage: orbelune-screenshots DATA OUT\n";
    return 2;
  }
  const std::filesystem::path data = argv[1];
  const QString out = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(out);
  if (!std::filesystem::exists(data / "config.dat")) orb::InitDataFolder(data, true);

  orb::QtOperator op;
  orb::QtEventLoop loop;
  orb::QtLauncher launcher;
  orb::SystemClock clock;
  orb::Workspace ws(data, op);
  orb::Program program(ws, op, loop, launcher, clock);
  orb::sim::VirtualInstrument instrument;
  program.virtualInstrumentPath = instrument.start();

  orb::Frm_Main main(program, "/run");
  op.setParent(&main);
  main.beforeConnecting = [&] { program.ports.portMap().assign(ws.config.Serial_COM, program.virtualInstrumentPath); };
  main.resize(1240, 760);
  if (!main.load()) return 1;
  // Two intervals of the demo project, so that the plots have counts.
  Wait(75000);
  bool ok = Save(main, out, "main-group-view.png");
  ok = Click(main, "Cmd_barplot") && Save(main, out, "main-bar-plot.png") && ok;
  ok = Click(main, "Cmd_gridplot") && Save(main, out, "main-plate-map.png") && ok;
  for (int i = 0; i < 3; ++i) Click(main, "Cmdzoom_plus");
  ok = Save(main, out, "main-trace-zoom-3.png") && ok;
  main.run().StopRun();
  return ok ? 0 : 1;
}
