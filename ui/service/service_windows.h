// The service windows and their menu in the main window: "Test DEVICE"
// (mnstatustest) and "Factory Settings" (mn_factory).
#pragma once

#include <QMenuBar>
#include <QObject>
#include <functional>

namespace orb {

struct Program;
class Frm_DeviceTest;
class Frm_Factory;

class ServiceWindows : public QObject {
  Q_OBJECT
 public:
  // `runActive` tells whether an acquisition run is active.
  ServiceWindows(Program& program, QWidget& mainWindow, std::function<bool()> runActive);
  ~ServiceWindows() override;

  void addMenu(QMenuBar* bar);
  // The menu items' actions.
  void openDeviceTest();
  void openFactory();

  Frm_DeviceTest* deviceTest() const { return deviceTest_; }
  Frm_Factory* factory() const { return factory_; }

 private:
  Program& program_;
  QWidget& main_;
  std::function<bool()> runActive_;
  Frm_DeviceTest* deviceTest_ = nullptr;
  Frm_Factory* factory_ = nullptr;
};

}  // namespace orb
