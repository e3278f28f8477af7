// "Factory Settings" (Frm_Factory): the serial line, the calibration state,
// the temperature read once a second (Timer_temp) and "SET", the one-point
// calibration of service/factory_settings.h. The main window is hidden
// while it is open and shown again when it closes.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace orb {

struct Program;

class Frm_Factory : public QWidget {
  Q_OBJECT
 public:
  Frm_Factory(Program& program, QWidget& mainWindow);

  // The window's load and activation: state text, boxes, serial line and
  // the temperature poll.
  void open();
  void onTimer();
  void onSet();

  QLabel* lblserial = nullptr;
  QLineEdit* txt_mensaje = nullptr;
  QLineEdit* txt_current_temp = nullptr;
  QLineEdit* txt_set_temp = nullptr;
  QPushButton* Cmd_temp = nullptr;
  QTimer* Timer_temp = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Program& program_;
  QWidget& main_;
  int raw_ = -1;
};

}  // namespace orb
