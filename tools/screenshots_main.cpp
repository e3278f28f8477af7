// orbelune-screenshots DATA OUT: the pictures of the user guide, taken from
// the real windows of the desktop program on the virtual instrument. The
// demo project of the data folder DATA (created when missing) is opened:
// the start-up chooser and the project editor (with its project list) are
// pictured, the main window records two intervals and is pictured in the
// display modes of its activity picture (group, bars, plate map), then the
// report window, the report settings, the recorded-experiments browser on
// that recording (its group activity and its groups on the plate), the
// About box, the device self-test and the factory settings window. The
// pictures are written to the folder OUT as PNG. Run by
// tools/screenshots.sh under a virtual display.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <iostream>

#include "acquisition/run_control.h"
#include "app/data_folder.h"
#include "app/workspace.h"
#include "common/seams.h"
#include "sim/virtual_instrument.h"
#include "ui/app/frm_about.h"
#include "ui/app/frm_init.h"
#include "ui/app/program.h"
#include "ui/app/qt_seams.h"
#include "ui/browser/frm_offline.h"
#include "ui/main/frm_main.h"
#include "ui/reports/frm_report.h"
#include "ui/reports/frm_reportset.h"
#include "ui/reports/report_windows.h"
#include "ui/service/frm_device_test.h"
#include "ui/service/frm_factory.h"
#include "ui/service/service_windows.h"
#include "ui/setup/frm_setup.h"

namespace {

// Nobody sits at the virtual display: every question is answered Yes (or
// OK), the experiment is named, and each message is echoed on standard
// error so that a surprise shows in the script's output.
class GuideOperator final : public orb::Operator {
 public:
  orb::Answer ask(std::string_view text, orb::Buttons buttons) override {
    std::cerr << "orbelune-screenshots: message: " << text << "\n";
    return buttons == orb::Buttons::Ok || buttons == orb::Buttons::OkCancel ? orb::Answer::Ok : orb::Answer::Yes;
  }
  std::optional<std::string> input(std::string_view prompt, std::string_view, std::string_view) override {
    std::cerr << "orbelune-screenshots: input: " << prompt << "\n";
    return std::string("Guide demo");
  }
};

void Wait(int ms) {
  QEventLoop wait;
  QTimer::singleShot(ms, &wait, &QEventLoop::quit);
  wait.exec();
}

bool Click(QWidget& window, const char* name) {
  auto* button = window.findChild<QPushButton*>(name);
  if (!button) {
    std::cerr << "orbelune-screenshots: no control " << name << "\n";
    return false;
  }
  button->click();
  Wait(400);
  return true;
}

// Saves the window's picture; a picture of many colours is kept under
// ~150 KB by reducing it to a 256-colour palette, which window pictures
// survive without visible loss.
bool Save(QWidget* window, const QString& out, const char* name) {
  const QString file = QDir(out).filePath(name);
  if (!window) {
    std::cerr << "orbelune-screenshots: no window for " << name << "\n";
    return false;
  }
  window->raise();
  Wait(300);
  QImage image = window->grab().toImage();
  if (!image.save(file)) {
    std::cerr << "orbelune-screenshots: cannot write " << file.toStdString() << "\n";
    return false;
  }
  if (QFileInfo(file).size() > 150 * 1024) {
    image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither).save(file);
  }
  std::cout << file.toStdString() << "\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orbelune");
  QApplication::setQuitOnLastWindowClosed(false);
  if (argc != 3) {
    std::cerr << "usage: orbelune-screenshots DATA OUT\n";
    return 2;
  }
  const std::filesystem::path data = argv[1];
  const QString out = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(out);
  if (!std::filesystem::exists(data / "config.dat")) orb::InitDataFolder(data, true);

  GuideOperator op;
  orb::QtEventLoop loop;
  orb::QtLauncher launcher;
  orb::SystemClock clock;
  orb::Workspace ws(data, op);
  orb::Program program(ws, op, loop, launcher, clock);
  orb::sim::VirtualInstrument instrument;
  program.virtualInstrumentPath = instrument.start();

  orb::Frm_Main main(program, "");
  main.beforeConnecting = [&] { program.ports.portMap().assign(ws.config.Serial_COM, program.virtualInstrumentPath); };
  main.resize(1240, 760);
  if (!main.load()) return 1;
  Wait(500);
  bool ok = Save(main.frmInit(), out, "chooser.png");

  // "Setup a New Project": the project editor on the demo project.
  Q_EMIT main.frmInit()->optionChosen(0);
  Wait(800);
  ok = Save(main.frmSetup(), out, "project-editor.png") && ok;
  // "Load...": the list of projects to choose from, then Cancel.
  ok = Click(*main.frmSetup(), "cmdLoad") && Save(main.frmSetup(), out, "project-list.png") && ok;
  ok = Click(*main.frmSetup(), "Cmd_cancel") && ok;
  main.frmSetup()->hide();

  // "Run Latest Project": the main window connects; Play records.
  Q_EMIT main.frmInit()->optionChosen(1);
  Wait(1500);
  ok = Click(main, "CmdPlay") && ok;
  // Two intervals of the demo project, so that the plots have counts.
  Wait(75000);
  ok = Save(&main, out, "main-group-view.png") && ok;
  ok = Click(main, "Cmd_barplot") && Save(&main, out, "main-bar-plot.png") && ok;
  ok = Click(main, "Cmd_gridplot") && Save(&main, out, "main-plate-map.png") && ok;
  main.run().StopRun();
  Wait(1500);

  // "Show my report" on the recording just made, and the report settings.
  ok = main.reports().showMyReport() && ok;
  Wait(1000);
  ok = Save(main.reports().report(), out, "report-window.png") && ok;
  if (auto* report = main.reports().report()) report->hide();
  main.reports().userBinMenu(true);
  Wait(800);
  ok = Save(main.reports().settings(), out, "report-settings.png") && ok;
  if (auto* settings = main.reports().settings()) settings->hide();

  // "Analyze recorded experiments": the browser with the recording just
  // made opened on its group activity, then its groups on the plate.
  Q_EMIT main.frmInit()->optionChosen(2);
  Wait(800);
  if (orb::Frm_offline* browser = main.frmOffline()) {
    browser->resize(1240, 700);
    // Expand the current project and open its newest recording.
    for (int i = 0; i < static_cast<int>(browser->list().lines().size()); ++i) {
      if (browser->list().lines()[i].projectFolder == ws.ProjectPath.filename().string()) {
        browser->doubleClickLine(i);
        break;
      }
    }
    int newest = -1;
    for (int i = 0; i < static_cast<int>(browser->list().lines().size()); ++i)
      if (browser->list().lines()[i].kind == orb::LineKind::Acquisition) newest = i;
    if (newest >= 0) {
      browser->clickLine(newest);
      browser->Listpj->setCurrentRow(newest);
      browser->doubleClickLine(newest);
      Wait(500);
      browser->groupActivity();
      ok = Save(browser, out, "browser.png") && ok;
      browser->plateConfig();
      Wait(500);
      ok = Save(browser, out, "browser-groups.png") && ok;
      browser->exitGroupEdition();
    } else {
      std::cerr << "orbelune-screenshots: the browser lists no recording\n";
      ok = false;
    }
    browser->hide();
  }

  // Help > About.
  main.show();
  if (auto* about = main.findChild<QAction*>("mnabout")) about->trigger();
  Wait(500);
  ok = Save(main.findChild<orb::Frm_About*>(), out, "about.png") && ok;
  if (auto* about = main.findChild<orb::Frm_About*>()) about->hide();

  // "Test DEVICE" to its end, then "Factory Settings".
  main.show();
  main.service().openDeviceTest();
  Wait(30000);
  ok = Save(main.service().deviceTest(), out, "self-test.png") && ok;
  if (auto* test = main.service().deviceTest()) test->hide();
  main.service().openFactory();
  Wait(2500);
  ok = Save(main.service().factory(), out, "factory-settings.png") && ok;
  return ok ? 0 : 1;
}
