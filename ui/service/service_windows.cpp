#include "ui/service/service_windows.h"

#include <QMenu>

#include "service/factory_settings.h"
#include "ui/app/program.h"
#include "ui/app/widgets.h"
#include "ui/service/frm_device_test.h"
#include "ui/service/frm_factory.h"

namespace orb {

ServiceWindows::ServiceWindows(Program& program, QWidget& mainWindow, std::function<bool()> runActive)
    : QObject(&mainWindow), program_(program), main_(mainWindow), runActive_(std::move(runActive)) {}

ServiceWindows::~ServiceWindows() {
  delete deviceTest_;
  delete factory_;
}

void ServiceWindows::addMenu(QMenuBar* bar) {
  QMenu* menu = bar->addMenu("&Service");
  QAction* test = Named(menu->addAction("Test DEVICE"), "mnstatustest");
  connect(test, &QAction::triggered, this, &ServiceWindows::openDeviceTest);
  QAction* factory = Named(menu->addAction("Factory Settings"), "mn_factory");
  connect(factory, &QAction::triggered, this, &ServiceWindows::openFactory);
}

void ServiceWindows::openDeviceTest() {
  if (!deviceTest_) deviceTest_ = new Frm_DeviceTest(program_, runActive_);
  deviceTest_->start();
}

void ServiceWindows::openFactory() {
  if (!FactorySettingsAllowed(program_.connection, runActive_(), program_.op)) return;
  if (!factory_) factory_ = new Frm_Factory(program_, main_);
  factory_->open();
}

}  // namespace orb
