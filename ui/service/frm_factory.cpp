#include "ui/service/frm_factory.h"

#include <QCloseEvent>
#include <QFormLayout>

#include "service/factory_settings.h"
#include "ui/app/program.h"
#include "ui/app/widgets.h"

namespace orb {

Frm_Factory::Frm_Factory(Program& program, QWidget& mainWindow)
    : QWidget(nullptr, Qt::Window), program_(program), main_(mainWindow) {
  setObjectName("Frm_Factory");
  setWindowTitle("Factory Settings");
  auto* form = new QFormLayout(this);
  lblserial = Named(new QLabel(this), "lblserial");
  txt_mensaje = TextBox(this, "txt_mensaje", true);
  txt_mensaje->setText("Non Calibrated");

  txt_current_temp = TextBox(this, "txt_current_temp", true);
  txt_set_temp = TextBox(this, "txt_set_temp");
  Cmd_temp = Named(new QPushButton("SET", this), "Cmd_temp");
  form->addRow(lblserial);
  form->addRow(txt_mensaje);
  form->addRow("Temperature [°C]", txt_current_temp);
  form->addRow("Reference [°C]", txt_set_temp);
  form->addRow(Cmd_temp);
  Timer_temp = Named(new QTimer(this), "Timer_temp");
  Timer_temp->setInterval(1000);
  connect(Timer_temp, &QTimer::timeout, this, &Frm_Factory::onTimer);
  connect(Cmd_temp, &QPushButton::clicked, this, &Frm_Factory::onSet);
}

void Frm_Factory::open() {
  txt_mensaje->setText(Q(LoadFactoryWindow(program_.connection)));
  // The whole calibration state shows.
  txt_mensaje->setMinimumWidth(txt_mensaje->fontMetrics().horizontalAdvance(txt_mensaje->text()) + 24);
  txt_set_temp->setText("25.0");
  txt_current_temp->setText("0.0");
  lblserial->setText(Q(FactorySerialLine(program_.connection.serial)));
  main_.hide();
  show();
  raise();
  Timer_temp->start();
}

void Frm_Factory::onTimer() {
  raw_ = program_.link.ReadTemperatureRaw();
  txt_current_temp->setText(Q(TemperatureText(raw_, program_.connection.factory)));
}

void Frm_Factory::onSet() {
  const SetResult r =
      SetReferenceTemperature(program_.link, ReferenceValue(txt_set_temp->text().toStdString()), program_.clock.now());
  if (!r.stateText.empty()) txt_mensaje->setText(Q(r.stateText));
}

void Frm_Factory::closeEvent(QCloseEvent* event) {
  Timer_temp->stop();
  main_.show();
  event->accept();
}

}  // namespace orb
