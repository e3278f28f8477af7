// The calibration panel of the main window: the "Calibration" frame
// (frm_mn1: Fast CALIB, Fast ZERO, Read Blank, the organism list, the
// signal-to-noise label and box), the calibration status frame
// (frm_autotext: its title, its status line and the progress picture
// picturecal) and the Calibration menu (Auto Calibration, Auto Zero,
// Calibration Control ON / OFF).
//
// The calibration state is the core's (CalibrationMenus, held by the
// acquisition engine): on every event the panel calls the core's function
// for it and then moves Controls() of the state into its widgets.
#pragma once

#include <QObject>
#include <string>

class QAction;
class QComboBox;
class QEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QWidget;

namespace orb {

class CalibrationPlot;
class Operator;
class RunControl;
struct CalibrationMenus;
struct ConnectionView;
struct MainControls;
struct RunView;
struct Workspace;

class CalibrationPanel : public QObject {
  Q_OBJECT
 public:
  // The frames are created as children of `parent`, the menu items as the
  // panel's; messages go to `op`.
  CalibrationPanel(Workspace& ws, CalibrationMenus& state, RunControl& run, Operator& op, QWidget* parent);

  // Where the window places the panel.
  QGroupBox* frame() const { return frm_mn1; }
  QGroupBox* statusFrame() const { return frm_autotext; }
  void addMenu(QMenuBar* bar);

  // Points the members of `view` that the status frame shows at it.
  void attach(RunView& view);
  void attach(ConnectionView& view);

  // The load sequence: the frame shown or hidden, the organism list and the
  // project's organism with its preset; then the project's automatic switches.
  void showProjectPreset(const MainControls& controls);
  void showProjectSwitches(const MainControls& controls);
  // Calibration Control OFF: the menu item, and the end of the load.
  void calibrationControlOff();
  // The project editor's detection settings ("<<Back", "Continue to Run...").
  void takeEditorDetection(int organism, const std::string& snrText);
  // The organism list and the box are unavailable while a run is on.
  void followRunState(int state);
  void hideStatusFrame();

 Q_SIGNALS:
  // Calibration Control went OFF: the project setup window checks its box.
  void calibrationControlSwitchedOff();

 private:
  void build(QWidget* parent);
  void wire();
  // Controls() of the state into the widgets.
  void showState();
  void calibrationControlOn();
  void toggleAutoCalibration();
  void toggleAutoZero();
  void chooseOrganism(int item);
  void toggleSnrBox();
  void leaveSnrBox();
  void fastCalibrate();
  void fastZero();
  bool eventFilter(QObject* watched, QEvent* event) override;

  Workspace& ws_;
  CalibrationMenus& state_;
  RunControl& run_;
  Operator& op_;
  QGroupBox* frm_mn1 = nullptr;
  QPushButton *cmd_calibra = nullptr, *Cmd_autozero = nullptr, *Cmd_readblank = nullptr;
  QComboBox* Cmb_organism = nullptr;
  QLabel* lbl_umbral = nullptr;
  QLineEdit* txt_snr_umbral = nullptr;
  QGroupBox* frm_autotext = nullptr;
  QLabel* lbl_autotext = nullptr;
  QLabel* lbl_autochannel = nullptr;
  CalibrationPlot* picturecal = nullptr;
  QAction *mnCalibra = nullptr, *mnZero = nullptr, *mncal_on = nullptr, *mncal_off = nullptr;
};

}  // namespace orb
