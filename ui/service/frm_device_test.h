// "Test DEVICE": the self-test window. Timer_test advances the core's step
// machine (service/self_test.h) one step per tick; the window shows the
// beams' grid with the progress line (a PlotScene), the step's caption
// (lbl_temperature) and the door hint (lbl_autostart), and offers Cancel.
// The report is shown through the Launcher by the step machine itself.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "service/self_test.h"

namespace orb {

struct Program;
class PlotWidget;

class Frm_DeviceTest : public QWidget {
  Q_OBJECT
 public:
  Frm_DeviceTest(Program& program, std::function<bool()> runActive, QWidget* parent = nullptr);
  ~Frm_DeviceTest() override;

  // The menu item: refused during a run, else the OK/Cancel question; OK
  // starts the test and shows the window. True when the test started.
  bool start();
  // Cancel: stops the test at once.
  void cancelTest();
  // One tick of Timer_test (also called by tests).
  void onTick();

  SelfTest& test() { return *test_; }

  QLabel* lbl_temperature = nullptr;
  QLabel* lbl_autostart = nullptr;
  QPushButton* cmd_cancel = nullptr;
  QTimer* Timer_test = nullptr;
  PlotWidget* picture = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void finish();
  Program& program_;
  std::function<bool()> runActive_;
  std::unique_ptr<SelfTest> test_;
};

}  // namespace orb
