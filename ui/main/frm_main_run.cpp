// The main window's acquisition: Play, Pause, Stop, the acquisition timer,
// the elapsed time, the progress bar and the temperature, and the
// calibration buttons. The work itself is run control's and the engine's.
#include <QEvent>
#include <QMessageBox>

#include "acquisition/calibration.h"
#include "acquisition/engine.h"
#include "acquisition/outputs.h"
#include "acquisition/run_control.h"
#include "ui/plots/calibration_plot.h"
#include "ui/main/frm_main.h"
#include "ui/browser/frm_offline.h"
#include "ui/setup/frm_setup.h"
#include "ui/main/outputs_panels.h"
#include "ui/app/program.h"

namespace orb {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void Frm_Main::buildRun() {
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
  v.blankButtons = [this](bool reading) {
    // A run started during a blank reading would share the acquisition
    // timer with it: Play waits for the end of the reading.
    CmdPlay->setEnabled(!reading && engine_->runState == kStopped);
    if (reading) {
      Cmdsetup->setEnabled(false);
      Cmdoffline->setEnabled(false);
    }
  };
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
  v.outputs = [this](const OutputLook& look) { panels_->showLook(look); };
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
    // One detection factor: the organism preset's, unless the start takes
    // it from the box for the automatic calibration or zero.
    engine_->SnrFactor = SnrFactor;
    run_->Autorun = Autorun;
    run_->StartRun();
    SnrFactor = engine_->SnrFactor;
  });
  connect(CmdPause, &QPushButton::clicked, this, [this] { run_->PauseOrResume(); });
  connect(CmdStop, &QPushButton::clicked, this, [this] { run_->StopRun(); });
  connect(cmd_calibra, &QPushButton::clicked, this, &Frm_Main::fastCalibrate);
  connect(Cmd_autozero, &QPushButton::clicked, this, &Frm_Main::fastZero);
  connect(Cmd_readblank, &QPushButton::clicked, this, [this] { run_->ReadBlank(); });
  connect(Cmb_organism, qOverload<int>(&QComboBox::activated), this, &Frm_Main::chooseOrganism);
  connect(txt_snr_umbral, &QLineEdit::editingFinished, this, &Frm_Main::leaveSnrBox);
  lbl_umbral->installEventFilter(this);
  showRunState(kStopped);
}

// Stop stays available in every state: it also switches the outputs off.
void Frm_Main::showRunState(int state) {
  const bool active = state == kRunning || state == kPaused;
  CmdPlay->setEnabled(!active && !engine_->BlankReading);
  CmdPause->setEnabled(active);
  Cmdsetup->setEnabled(!active);
  Cmdoffline->setEnabled(!active);
  Cmb_organism->setEnabled(!active);
  txt_snr_umbral->setEnabled(!active);
}

void Frm_Main::fastCalibrate() {
  frm_autotext->show();
  SnrFactor = engine_->SnrFactor = SnrBoxValue(txt_snr_umbral->text().toStdString());
  run_->lastCalibration = AutoCalibrate(program_.ws, program_.link, *run_);
  frm_autotext->hide();
}

void Frm_Main::fastZero() {
  frm_autotext->show();
  SnrFactor = engine_->SnrFactor = SnrBoxValue(txt_snr_umbral->text().toStdString());
  AutoZero(program_.ws, program_.link, *run_, engine_->SnrFactor,
           AutoZeroSampleCount(AutoCalibrationMode, AutoZeroMode));
  frm_autotext->hide();
}

namespace {

// The calibration frame's state as the window shows it now.
CalibrationMenus MenusOf(const Frm_Main& w) {
  CalibrationMenus m;
  m.autoCalibrationMode = w.AutoCalibrationMode;
  m.autoZeroMode = w.AutoZeroMode;
  m.calibrationControl = w.calibrationControl;
  m.organism = w.Cmb_organism->currentIndex();
  m.snrFactor = w.SnrFactor;
  m.snrText = w.txt_snr_umbral->text().toStdString();
  m.snrBoxVisible = !w.txt_snr_umbral->isHidden();
  m.umbralLabel = w.lbl_umbral->text().toStdString();
  return m;
}

}  // namespace

void Frm_Main::chooseOrganism(int item) {
  CalibrationMenus m = MenusOf(*this);
  ChooseOrganism(m, program_.ws.setup, item);
  SnrFactor = m.snrFactor;
  txt_snr_umbral->setText(Q(m.snrText));
  txt_snr_umbral->setVisible(m.snrBoxVisible);
  lbl_umbral->setText(Q(m.umbralLabel));
}

void Frm_Main::toggleSnrBox() {
  CalibrationMenus m = MenusOf(*this);
  ToggleSnrBox(m);
  txt_snr_umbral->setVisible(m.snrBoxVisible);
  lbl_umbral->setText(Q(m.umbralLabel));
}

void Frm_Main::leaveSnrBox() {
  if (!txt_snr_umbral->isEnabled()) return;
  CalibrationMenus m = MenusOf(*this);
  const auto message = LeaveSnrBox(m, program_.ws.setup, txt_snr_umbral->text().toStdString());
  Cmb_organism->blockSignals(true);
  Cmb_organism->setCurrentIndex(m.organism);
  Cmb_organism->blockSignals(false);
  SnrFactor = m.snrFactor;
  txt_snr_umbral->setText(Q(m.snrText));
  txt_snr_umbral->setVisible(m.snrBoxVisible);
  lbl_umbral->setText(Q(m.umbralLabel));
  if (message) program_.op.inform(*message);
}

bool Frm_Main::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lbl_umbral && event->type() == QEvent::MouseButtonRelease && lbl_umbral->isEnabled()) {
    toggleSnrBox();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace orb
