// The light panel ("Light Control", Frame_light) and the temperature panel
// ("Temperature", Frame_temp) of the main window, with the Tools menu that
// shows and hides them. They move values between their controls and the
// output rules of acquisition/outputs.h; the main window places the two
// frames and hands showLook to whatever sends the outputs during a run.
#pragma once

#include <QColor>
#include <QObject>
#include <cstdint>
#include <functional>

#include "acquisition/outputs.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QWidget;

namespace orb {

class DeviceLink;
struct MainControls;
struct Workspace;

// A colour value in the blue-green-red order of the display layer as a Qt colour.
QColor ColourFromBgr(std::uint32_t bgr);

class OutputPanels : public QObject {
  Q_OBJECT
 public:
  // `send` puts a state on the wire (run control's sender, say); `runState`
  // tells 0 stopped, 1 running, 2 paused. The frames are created as
  // children of `parent`; the messages go to the workspace's Operator.
  OutputPanels(OutputState& state, Workspace& ws, OutputSender send, std::function<int()> runState,
               QWidget* parent);
  // The same, sending through the instrument's Set outputs frame.
  OutputPanels(OutputState& state, Workspace& ws, DeviceLink& link, std::function<int()> runState,
               QWidget* parent);

  // Where the window places the panels.
  QGroupBox* lightFrame() const { return Frame_light; }
  QGroupBox* temperatureFrame() const { return Frame_temp; }
  // The Tools menu: "Light Control" (lght_ctl) and "Temperature" (temp_ctl).
  void addMenu(QMenuBar* bar);

  // The menu items lght_ctl and temp_ctl: a visible panel is hidden;
  // otherwise "Only available in some hardware versions" is shown and then
  // the panel. Menu2 / Menu3 of the project's tools take the visibility (0/1).
  void lght_ctl();
  void temp_ctl();

  // The buttons and the light switch as the program's load starts them:
  // "COOL", "OFF", "OFF"; the light timer enabled and its box checked, the
  // light off.
  void showLoadStart();

  // Shows a state that was sent: captions and indicator colours.
  void showLook(const OutputLook& look);
  // `send` followed by showLook: for a caller that has no panel refresh of
  // its own.
  OutputSender sender();

  // Fills the controls from the loaded project (the main window's load
  // sequence, after DeriveMainControls): frames, check boxes with the
  // window's flags, hours, pulses and set point.
  void showProject(const MainControls& controls);

  // The colours the indicators show now.
  QColor lightIndicator() const;
  QColor temperatureIndicator() const;

 private:
  void build(QWidget* parent);
  void wire();
  void leaveBox(QLineEdit* box, OutputBox which);
  void manual(ManualOutput which);
  void togglePanel(QGroupBox* frame, int menu);
  static void paint(QFrame* shape, std::uint32_t bgr);

  // Light Control.
  QGroupBox* Frame_light = nullptr;
  QCheckBox* Chk_lenabled = nullptr;
  QLineEdit *txt_lon = nullptr, *txt_loff = nullptr;
  QPushButton* cmd_luz = nullptr;
  QFrame* shape_light = nullptr;
  QPushButton* cmd_cyclepulse = nullptr;
  QGroupBox* frm_pulse = nullptr;
  QLineEdit *txt_pulsetimes = nullptr, *txt_pulseon = nullptr, *txt_pulseoff = nullptr;
  QPushButton* cmd_nextwindows1 = nullptr;
  // Temperature.
  QGroupBox* Frame_temp = nullptr;
  QCheckBox* Chk_tenabled = nullptr;
  QLineEdit* txttemp = nullptr;
  QPushButton* Cmd_settemp = nullptr;
  QPushButton *cmd_frio = nullptr, *cmd_ontemp = nullptr;
  QFrame* shape_temp = nullptr;
  QPushButton* cmd_nextwindows2 = nullptr;
  // Tools.
  QAction *lght_ctl_ = nullptr, *temp_ctl_ = nullptr;

  OutputState& state_;
  Workspace& ws_;
  OutputSender send_;
  std::function<int()> runState_;
  bool validating_ = false;  // a message box must not validate the box a second time
};

}  // namespace orb
