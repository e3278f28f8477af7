// The main acquisition window. It is created first and, still hidden, runs
// the program's load sequence.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

namespace orb {

struct Program;
class Frm_Init;
class Frm_About;
class Frm_setup;
class Frm_offline;
class Connection;
class AcquisitionEngine;
class RunControl;
class CalibrationPlot;
class OutputPanels;
struct OutputState;

class Frm_Main : public QMainWindow {
  Q_OBJECT
 public:
  Frm_Main(Program& program, QString commandLine, QWidget* parent = nullptr);
  ~Frm_Main() override;

  // Runs the load sequence; false when it ended the program.
  bool load();

  int StartupStage = 0;
  int StartupStep = 0;
  int StartupStepDone = 0;
  bool Autorun = false;
  double snrThreshold = 1.8;   // the window's working signal-to-noise threshold
  double SnrFactor = 1.7;
  bool AutoCalibrationMode = false, AutoZeroMode = false, calibrationControl = false;

  Frm_Init* frmInit() const { return init_; }
  Frm_setup* frmSetup() const { return setup_; }

  // Controls, under their names.
  QTimer* Timerinicio = nullptr;
  QTimer* Timeradq = nullptr;
  QLineEdit *txt_projecto = nullptr, *txt_acqlapse = nullptr, *txt_wellformat = nullptr;
  QTextEdit* Txt_description = nullptr;
  QPushButton *CmdPlay = nullptr, *CmdPause = nullptr, *CmdStop = nullptr, *cmd_connect = nullptr;
  QLineEdit* Txt_time = nullptr;
  QProgressBar* picturetime = nullptr;
  QLabel* lbl_temperature = nullptr;
  QCheckBox* chk_bodybends = nullptr;
  QComboBox* combo_minutes = nullptr;
  QComboBox* combogrup = nullptr;
  QListWidget* lstgrup = nullptr;
  QGroupBox *frm_mn1 = nullptr, *Frame_light = nullptr, *Frame_temp = nullptr;
  QGroupBox* frm_autotext = nullptr;
  QLabel* lbl_autotext = nullptr;
  QLabel* lbl_autochannel = nullptr;
  CalibrationPlot* picturecal = nullptr;
  QLineEdit* txt_subproject = nullptr;   // the experiment's name
  QLabel* lblcalibrando = nullptr;       // "Setting Blank.... (n samples)"
  QPushButton* Cmdsetup = nullptr;       // ">Edit"
  QPushButton* Cmd_disconnect = nullptr;
  QPushButton* Cmdoffline = nullptr;
  QLabel* instrumentStatus = nullptr;  // the status bar's instrument line
  std::array<QAction*, 15> mncom1{};  // the port menu COM1..COM15
  QPushButton *cmd_calibra = nullptr, *Cmd_autozero = nullptr, *Cmd_readblank = nullptr;
  QComboBox* Cmb_organism = nullptr;
  QLabel* lbl_umbral = nullptr;
  QLineEdit* txt_snr_umbral = nullptr;
  QCheckBox* Chk_lenabled = nullptr;
  QLineEdit *txt_lon = nullptr, *txt_loff = nullptr;
  QPushButton* cmd_luz = nullptr;
  QGroupBox* frm_pulse = nullptr;
  QLineEdit *txt_pulsetimes = nullptr, *txt_pulseon = nullptr, *txt_pulseoff = nullptr;
  QCheckBox* Chk_tenabled = nullptr;
  QLineEdit* txttemp = nullptr;
  QPushButton *cmd_frio = nullptr, *cmd_ontemp = nullptr;
  QAction *mnexit = nullptr, *mncontent = nullptr, *mnabout = nullptr;
  QAction *mnCalibra = nullptr, *mnZero = nullptr, *mncal_on = nullptr, *mncal_off = nullptr;
  QAction* mn_userbin = nullptr;
  QAction *lght_ctl = nullptr, *temp_ctl = nullptr;

  // The calibration-control menu items.
  void calibrationControlOn();
  void calibrationControlOff();
  // Refresh on activation (header, body-bends option).
  void activate();
  // cmd_connect: the port search and the factory calibration.
  bool connectInstrument();
  void disconnectInstrument();
  Connection& connection() { return *connection_; }
  // Runs before every connection (the program maps its virtual instrument here).
  std::function<void()> beforeConnecting;

  // The acquisition: engine, run control and the outputs' state.
  AcquisitionEngine& engine() { return *engine_; }
  RunControl& run() { return *run_; }
  OutputState& outputs() { return *outputs_; }
  OutputPanels& outputPanels() { return *panels_; }
  // The report at the end of a recording (the report window, when there is one).
  std::function<void(bool autoreport)> reportCommand;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void buildControls();
  void buildMenus();
  void runLoadSequence();
  void statusStep(int step);
  void onStartupTimer();
  void applyProjectControls();
  void chooseOption(int index);
  void setAutoCalibration(bool on);
  void setAutoZero(bool on);
  void buildConnection();
  void showInstrumentStatus();
  void checkPortMenu(int port);
  void buildRun();
  void showRunState(int state);
  void fastCalibrate();
  void fastZero();
  // The calibration frame's organism list, SNR label and box, through the
  // core's menu logic.
  void chooseOrganism(int item);
  void toggleSnrBox();
  void leaveSnrBox();
  bool eventFilter(QObject* watched, QEvent* event) override;

  Program& program_;
  QString commandLine_;
  Frm_Init* init_ = nullptr;
  Frm_About* about_ = nullptr;
  Frm_setup* setup_ = nullptr;
  Frm_offline* offline_ = nullptr;
  bool closing_ = false;
  std::unique_ptr<Connection> connection_;
  std::unique_ptr<OutputState> outputs_;
  OutputPanels* panels_ = nullptr;
  std::unique_ptr<AcquisitionEngine> engine_;
  std::unique_ptr<RunControl> run_;
};

}  // namespace orb
