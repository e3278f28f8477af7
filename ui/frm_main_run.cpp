// The main window's acquisition: Play, Pause, Stop, the acquisition timer,
// the elapsed time, the progress bar and the temperature, and the
// calibration buttons. The work itself is run control's and the engine's.
#include <QMessageBox>

#include "acquisition/calibration.h"
#include "acquisition/engine.h"
#include "acquisition/outputs.h"
#include "acquisition/run_control.h"
#include "ui/calibration_plot.h"
#include "ui/frm_main.h"
#include "ui/frm_offline.h"
#include "ui/frm_setup.h"
#include "ui/program.h"

namespace orb {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void Frm_Main::buildRun() {
  outputs_ = std::make_unique<OutputState>();
  engine_ = std::make_unique<AcquisitionEngine>(program_.ws, program_.link, program_.clock, program_.loop);
  run_ = std::make_unique<RunControl>(program_.ws, program_.link, *engine_, *outputs_, program_.op, program_.clock,
                                      program_.loop);
  engine_->AutoCalibrationMode = AutoCalibrationMode;
  engine_->AutoZeroMode = AutoZeroMode;

  EngineHooks& h = engine_->hooks;
  h.timer = [this](bool on) {
    if (on) {
      Timeradq->start(kTimerIntervalMs);
    } else {
      Timeradq->stop();
    }
  };
  h.showTime = [this](const std::string& t) { Txt_time->setText(Q(t)); };
  h.showProgress = [this](double percent) { picturetime->setValue(static_cast<int>(percent * 10)); };
  h.showTemperature = [this](const std::string& t) { lbl_temperature->setText(Q("T = " + t + " \u00B0C")); };
  connect(Timeradq, &QTimer::timeout, this, [this] { engine_->OnTick(); });

  RunView& v = run_->view;
  v.subprojectName = [this](const std::string& name) { txt_subproject->setText(Q(name)); };
  v.description = [this] { return Txt_description->toPlainText().toStdString(); };
  v.snrText = [this] { return txt_snr_umbral->text().toStdString(); };
  v.openSetup = [this] {
    if (setup_) setup_->show();
  };
  v.hideOtherWindows = [this] {
    if (setup_) setup_->hide();
    if (offline_) offline_->hide();
  };
  v.runButtons = [this](int state) { showRunState(state); };
  v.autotext = [this](bool visible, const std::string& text) {
    frm_autotext->setVisible(visible);
    if (!text.empty()) lbl_autotext->setText(Q(text));
  };
  v.autochannel = [this](const std::string& t) {
    lbl_autochannel->setText(Q(t));
    lbl_autochannel->repaint();
  };
  v.blankLabel = [this](bool visible, const std::string& text) {
    lblcalibrando->setText(Q(text));
    lblcalibrando->setVisible(visible);
  };
  v.clearProgress = [this] { picturetime->setValue(0); };
  v.bodyBendsBox = [this](bool enabled) { chk_bodybends->setEnabled(enabled && txt_wellformat->text() == "k96u"); };
  v.temperature = [this](const std::string& t) { lbl_temperature->setText(Q("T = " + t + " \u00B0C")); };
  v.userBin = [this] { return mn_userbin->isChecked(); };
  v.report = [this](bool autoreport) {
    if (reportCommand) reportCommand(autoreport);
  };
  v.showMain = [this] { show(); };
  v.calibrationProgress = [this](int done, int total) { picturecal->setProgress(done, total); };
  v.clearCalibrationProgress = [this] { picturecal->clear(); };
  v.recordError = [this](const std::string& message) {
    // Not modal: the acquisition timer goes on while the message is shown.
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), Q(message), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  };

  connect(CmdPlay, &QPushButton::clicked, this, [this] {
    engine_->AutoCalibrationMode = AutoCalibrationMode;
    engine_->AutoZeroMode = AutoZeroMode;
    engine_->BodyBendsMode = chk_bodybends->isChecked();
    run_->Autorun = Autorun;
    run_->StartRun();
  });
  connect(CmdPause, &QPushButton::clicked, this, [this] { run_->PauseOrResume(); });
  connect(CmdStop, &QPushButton::clicked, this, [this] { run_->StopRun(); });
  connect(cmd_calibra, &QPushButton::clicked, this, &Frm_Main::fastCalibrate);
  connect(Cmd_autozero, &QPushButton::clicked, this, &Frm_Main::fastZero);
  connect(Cmd_readblank, &QPushButton::clicked, this, [this] { run_->ReadBlank(); });
  showRunState(kStopped);
}

void Frm_Main::showRunState(int state) {
  const bool stopped = state == kStopped && !engine_->BlankReading;
  CmdPlay->setEnabled(stopped);
  CmdPause->setEnabled(state == kRunning || state == kPaused);
  CmdStop->setEnabled(!stopped);
  Cmdsetup->setEnabled(stopped);
  Cmdoffline->setEnabled(stopped);
  Cmb_organism->setEnabled(stopped);
  txt_snr_umbral->setEnabled(stopped);
}

void Frm_Main::fastCalibrate() {
  frm_autotext->show();
  engine_->SnrFactor = SnrBoxValue(txt_snr_umbral->text().toStdString());
  run_->lastCalibration = AutoCalibrate(program_.ws, program_.link, *run_);
  frm_autotext->hide();
}

void Frm_Main::fastZero() {
  frm_autotext->show();
  engine_->SnrFactor = SnrBoxValue(txt_snr_umbral->text().toStdString());
  AutoZero(program_.ws, program_.link, *run_, engine_->SnrFactor,
           AutoZeroSampleCount(AutoCalibrationMode, AutoZeroMode));
  frm_autotext->hide();
}

}  // namespace orb
