// The main acquisition window. It is created first and, still hidden, runs
// the program's load sequence. It holds the core's acquisition (engine, run
// control and the outputs' state, the engine holding the calibration
// state), builds its panels over them and lays them out:
//   ConnectionPanel   Connect, Disconnect, << Back, the port menu, the instrument line
//   RunPanel          the project header, Start, Pause, Stop, >Edit, the run's time and temperature
//   CalibrationPanel  the Calibration frame, the calibration status frame, the Calibration menu
//   OutputPanels      the light and temperature panels and the Tools menu
//   GroupsPanel       the group list and the report bin with the Report menu
// Every control keeps its documented name as objectName.
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

class QLabel;
class QTimer;

namespace orb {

struct Program;
class Frm_Init;
class Frm_About;
class Frm_setup;
class Frm_offline;
class Connection;
class AcquisitionEngine;
class RunControl;
struct OutputState;
class ConnectionPanel;
class RunPanel;
class CalibrationPanel;
class OutputPanels;
class GroupsPanel;
class LivePanel;
class LiveDisplay;
class ReportWindows;
class ServiceWindows;

class Frm_Main : public QMainWindow {
  Q_OBJECT
 public:
  Frm_Main(Program& program, QString commandLine, QWidget* parent = nullptr);
  ~Frm_Main() override;

  // Runs the load sequence; false when it ended the program.
  bool load();
  // How far the load came: the number in "Error loading INIT parameters
  // #ERROR:", 9 at its end.
  int startupStage() const { return StartupStage; }

  // The chooser and the project setup window, created by the load.
  Frm_Init* frmInit() const { return init_; }
  Frm_setup* frmSetup() const { return setup_; }
  Frm_offline* frmOffline() const { return offline_; }

  // Refresh on activation: the project header and the body-bends option.
  void activate();

  // The core the window shows: the instrument connection, the acquisition
  // engine (with the calibration state), run control and the outputs' state.
  Connection& connection();
  AcquisitionEngine& engine() { return *engine_; }
  RunControl& run() { return *run_; }
  // The display model of the live pictures.
  LiveDisplay& liveDisplay();
  OutputState& outputs() { return *outputs_; }
  // "Show my report", the report window and the report settings dialog.
  ReportWindows& reports() { return *reports_; }
  // "Test DEVICE" and "Factory Settings".
  ServiceWindows& service() { return *service_; }

  // Runs before every connection (the program maps its virtual instrument here).
  std::function<void()> beforeConnecting;
  // Also told of the report at the end of a recording, after the report window.
  std::function<void(bool autoreport)> reportCommand;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void buildPanels();
  void buildMenus();
  void layOut();
  void wireRun();
  void showRunState(int state);
  void showBlankReading(bool reading);
  bool connectInstrument();
  void backToChooser();
  void runLoadSequence();
  void statusStep(int step);
  void onStartupTimer();
  void applyProjectControls();
  void chooseOption(int index);

  Program& program_;
  QString commandLine_;
  int StartupStage = 0;
  int StartupStep = 0;
  int StartupStepDone = 0;
  QTimer* Timerinicio = nullptr;
  Frm_Init* init_ = nullptr;
  Frm_About* about_ = nullptr;
  Frm_setup* setup_ = nullptr;
  Frm_offline* offline_ = nullptr;
  // The instrument's link during a run: shown while it is lost, then says
  // for a while that it is back.
  QLabel* linkNotice_ = nullptr;
  bool closing_ = false;

  std::unique_ptr<OutputState> outputs_;
  std::unique_ptr<AcquisitionEngine> engine_;
  std::unique_ptr<RunControl> run_;

  ConnectionPanel* connectionPanel_ = nullptr;
  RunPanel* runPanel_ = nullptr;
  CalibrationPanel* calibrationPanel_ = nullptr;
  OutputPanels* outputPanels_ = nullptr;
  GroupsPanel* groupsPanel_ = nullptr;
  LivePanel* livePanel_ = nullptr;
  ReportWindows* reports_ = nullptr;
  ServiceWindows* service_ = nullptr;
};

}  // namespace orb
