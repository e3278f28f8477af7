#include "ui/service/frm_device_test.h"

#include <QCloseEvent>
#include <QVBoxLayout>

#include "service/self_test_grid.h"
#include "ui/app/program.h"
#include "ui/app/widgets.h"
#include "ui/plots/plot_widget.h"

namespace orb {

Frm_DeviceTest::Frm_DeviceTest(Program& program, std::function<bool()> runActive, QWidget* parent)
    : QWidget(parent, Qt::Window), program_(program), runActive_(std::move(runActive)) {
  setObjectName("Frm_DeviceTest");
  setWindowTitle("Test DEVICE");
  test_ = std::make_unique<SelfTest>(program_.link, program_.clock, program_.launcher, program_.ws.programFolder);
  auto* layout = new QVBoxLayout(this);
  lbl_temperature = Named(new QLabel(this), "lbl_temperature");
  lbl_autostart = Named(new QLabel(this), "lbl_autostart");
  picture = Named(new PlotWidget(this), "picact");
  // Room for a three-digit value in each of the 24 x 16 cells.
  const int cell = picture->fontMetrics().horizontalAdvance("000") + 10;
  picture->setMinimumSize(24 * cell, 16 * (picture->fontMetrics().height() + 6));
  cmd_cancel = Named(new QPushButton("Cancel", this), "cmd_cancel");
  layout->addWidget(lbl_temperature);
  layout->addWidget(picture, 1);
  layout->addWidget(lbl_autostart);
  layout->addWidget(cmd_cancel);
  lbl_autostart->hide();
  Timer_test = Named(new QTimer(this), "Timer_test");
  Timer_test->setInterval(kSelfTestFirstPeriodMs);
  connect(Timer_test, &QTimer::timeout, this, &Frm_DeviceTest::onTick);
  connect(cmd_cancel, &QPushButton::clicked, this, &Frm_DeviceTest::cancelTest);
}

Frm_DeviceTest::~Frm_DeviceTest() = default;

bool Frm_DeviceTest::start() {
  if (Timer_test->isActive()) return false;  // one test at a time
  if (!ConfirmSelfTest(program_.op, runActive_ && runActive_())) return false;
  if (!test_->begin()) {
    program_.op.inform("Cannot write " + test_->reportPath().string());
    return false;
  }
  lbl_temperature->setText(Q(test_->label()));
  lbl_autostart->setText(kSelfTestDoorHint);
  lbl_autostart->show();
  picture->setScene(SelfTestGridScene(*test_));
  show();
  raise();
  Timer_test->setInterval(kSelfTestFirstPeriodMs);
  Timer_test->start();
  return true;
}

void Frm_DeviceTest::onTick() {
  // A run started meanwhile stops the test: the instrument serves one user.
  if (runActive_ && runActive_()) {
    cancelTest();
    return;
  }
  const bool going = test_->tick();
  lbl_temperature->setText(Q(test_->label()));
  picture->setScene(SelfTestGridScene(*test_));
  if (going) Timer_test->setInterval(test_->periodMs());
  else finish();
}

void Frm_DeviceTest::finish() {
  Timer_test->stop();
  lbl_autostart->hide();
}

void Frm_DeviceTest::cancelTest() {
  test_->cancel();
  finish();
}

void Frm_DeviceTest::closeEvent(QCloseEvent* event) {
  if (test_->running()) cancelTest();
  event->accept();
}

}  // namespace orb
