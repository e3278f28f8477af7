#include "ui/main/run_panel.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "acquisition/engine.h"
#include "acquisition/live_display.h"
#include "acquisition/run_control.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "ui/app/widgets.h"

namespace orb {

RunPanel::RunPanel(Workspace& ws, AcquisitionEngine& engine, RunControl& run, QWidget* parent)
    : QObject(parent), ws_(ws), engine_(engine), run_(run) {
  build(parent);
  wire();
}

void RunPanel::build(QWidget* parent) {
  header_ = new QFormLayout;
  txt_projecto = TextBox(parent, "txt_projecto", true);
  header_->addRow("Project:", txt_projecto);
  txt_wellformat = TextBox(parent, "txt_wellformat", true);
  header_->addRow("Plate format:", txt_wellformat);
  txt_acqlapse = TextBox(parent, "txt_acqlapse", true);
  header_->addRow("Acquisition lapse (min):", txt_acqlapse);
  Txt_description = Named(new QTextEdit(parent), "Txt_description");
  Txt_description->setMaximumHeight(60);
  header_->addRow("Description:", Txt_description);
  txt_subproject = TextBox(parent, "txt_subproject", true);
  header_->addRow("Experiment:", txt_subproject);

  CmdPlay = Named(new QPushButton("Start", parent), "CmdPlay");
  CmdPause = Named(new QPushButton("Pause", parent), "CmdPause");
  CmdStop = Named(new QPushButton("Stop", parent), "CmdStop");
  Cmdsetup = Named(new QPushButton(">Edit", parent), "Cmdsetup");
  Txt_time = TextBox(parent, "Txt_time", true);
  Txt_time->setText("00:00:00");
  // Wide enough for the elapsed time of a run of weeks, "hh:mm:ss [Nd]".
  Txt_time->setMinimumWidth(Txt_time->fontMetrics().horizontalAdvance("00:00:00 [000d]") + 16);

  picturetime = Named(new QProgressBar(parent), "picturetime");
  picturetime->setRange(0, 1000);
  picturetime->setValue(0);
  picturetime->setTextVisible(false);
  lblcalibrando = Named(new QLabel(parent), "lblcalibrando");
  lblcalibrando->hide();

  lbl_temperature = Named(new QLabel("Temperature: -- [\u00B0C]", parent), "lbl_temperature");
  chk_bodybends = Named(new QCheckBox("Body-Bends Mode (Experimental)", parent), "chk_bodybends");

  Timeradq = Named(new QTimer(this), "Timeradq");
  Timeradq->setInterval(kTimerIntervalMs);
}

QWidget* RunPanel::progress() const { return picturetime; }
QWidget* RunPanel::blankLabel() const { return lblcalibrando; }

void RunPanel::addCommandsTo(QBoxLayout* row) {
  for (auto* b : {CmdPlay, CmdPause, CmdStop}) row->addWidget(b);
}

void RunPanel::addEditAndTimeTo(QBoxLayout* row) {
  row->addWidget(Cmdsetup);
  row->addWidget(Txt_time);
}

void RunPanel::addOptionsTo(QBoxLayout* row) {
  row->addWidget(lbl_temperature);
  row->addWidget(chk_bodybends);
}

void RunPanel::wire() {
  // The engine switches the acquisition timer and shows its time, progress
  // and temperature here; every firing is one tick.
  EngineHooks& h = engine_.hooks;
  h.timer = [this](bool on) {
    if (on) {
      Timeradq->start(kTimerIntervalMs);
    } else {
      Timeradq->stop();
    }
  };
  h.showTime = [this](const std::string& t) { Txt_time->setText(Q(t)); };
  h.showProgress = [this](double percent) { picturetime->setValue(static_cast<int>(percent * 10)); };
  h.showTemperature = [this](const std::string& t) { showTemperature(t); };
  connect(Timeradq, &QTimer::timeout, this, [this] { run_.Tick(); });

  connect(CmdPlay, &QPushButton::clicked, this, [this] {
    engine_.BodyBendsMode = chk_bodybends->isChecked();
    run_.StartRun();
  });
  connect(CmdPause, &QPushButton::clicked, this, [this] { run_.PauseOrResume(); });
  connect(CmdStop, &QPushButton::clicked, this, [this] { run_.StopRun(); });
  connect(Cmdsetup, &QPushButton::clicked, this, &RunPanel::editRequested);
}

void RunPanel::attach(RunView& v) {
  v.subprojectName = [this](const std::string& name) { txt_subproject->setText(Q(name)); };
  v.description = [this] { return Txt_description->toPlainText().toStdString(); };
  v.blankLabel = [this](bool visible, const std::string& text) {
    lblcalibrando->setText(Q(text));
    lblcalibrando->setVisible(visible);
  };
  v.clearProgress = [this] { picturetime->setValue(0); };
  v.bodyBendsBox = [this](bool enabled) { chk_bodybends->setEnabled(enabled && txt_wellformat->text() == "k96u"); };
  v.temperature = [this](const std::string& t) { showTemperature(t); };
}

void RunPanel::showTemperature(const std::string& celsius) {
  lbl_temperature->setText(Q(TemperatureLabel(celsius)));
}

void RunPanel::refresh() {
  const ProjectSetup& s = ws_.setup;
  if (!Timeradq->isActive()) {
    txt_projecto->setText(Q(ProjectLabel(ws_)));
    txt_acqlapse->setText(QString::number(s.Aq_lapse));
    txt_wellformat->setText(Q(s.Plate_format));
  }
  const bool k96u = txt_wellformat->text() == "k96u";
  chk_bodybends->setEnabled(k96u);
  if (!k96u) chk_bodybends->setChecked(false);
}

void RunPanel::showProjectLabel() { txt_projecto->setText(Q(ProjectLabel(ws_))); }

QString RunPanel::description() const { return Txt_description->toPlainText(); }

void RunPanel::setDescription(const QString& text) { Txt_description->setPlainText(text); }

// Stop stays available in every state: it also switches the outputs off.
void RunPanel::showRunState(int state) {
  const bool active = state == kRunning || state == kPaused;
  CmdPlay->setEnabled(!active && !engine_.BlankReading);
  CmdPause->setEnabled(active);
  Cmdsetup->setEnabled(!active);
}

void RunPanel::showBlankReading(bool reading) {
  // A run started during a blank reading would share the acquisition
  // timer with it: Start waits for the end of the reading.
  CmdPlay->setEnabled(!reading && engine_.runState == kStopped);
  if (reading) Cmdsetup->setEnabled(false);
}

void RunPanel::disablePause() { CmdPause->setEnabled(false); }

void RunPanel::start() { CmdPlay->click(); }

}  // namespace orb
