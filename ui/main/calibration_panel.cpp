#include "ui/main/calibration_panel.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "acquisition/calibration.h"
#include "acquisition/run_control.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "common/seams.h"
#include "device/connection.h"
#include "ui/app/widgets.h"
#include "ui/plots/calibration_plot.h"

namespace orb {
namespace {

QAction* CheckItem(QObject* parent, const char* text, const char* name) {
  auto* item = Named(new QAction(text, parent), name);
  item->setCheckable(true);
  return item;
}

}  // namespace

CalibrationPanel::CalibrationPanel(Workspace& ws, CalibrationMenus& state, RunControl& run, Operator& op,
                                   QWidget* parent)
    : QObject(parent), ws_(ws), state_(state), run_(run), op_(op) {
  build(parent);
  wire();
}

void CalibrationPanel::build(QWidget* parent) {
  frm_mn1 = Named(new QGroupBox("Calibration", parent), "frm_mn1");
  auto* cal = new QGridLayout(frm_mn1);
  cmd_calibra = Named(new QPushButton("Fast CALIB", frm_mn1), "cmd_calibra");
  Cmd_autozero = Named(new QPushButton("Fast ZERO", frm_mn1), "Cmd_autozero");
  Cmd_readblank = Named(new QPushButton("Read Blank", frm_mn1), "Cmd_readblank");
  Cmb_organism = Named(new QComboBox(frm_mn1), "Cmb_organism");
  Cmb_organism->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  lbl_umbral = Named(new QLabel(">>>>", frm_mn1), "lbl_umbral");
  txt_snr_umbral = TextBox(frm_mn1, "txt_snr_umbral");
  txt_snr_umbral->setText("1.7");
  cal->addWidget(cmd_calibra, 0, 0);
  cal->addWidget(Cmd_autozero, 0, 1);
  cal->addWidget(Cmd_readblank, 1, 0, 1, 2);
  cal->addWidget(Cmb_organism, 2, 0, 1, 2);
  cal->addWidget(lbl_umbral, 3, 0);
  cal->addWidget(txt_snr_umbral, 3, 1);

  frm_autotext = Named(new QGroupBox(parent), "frm_autotext");
  auto* status = new QVBoxLayout(frm_autotext);
  lbl_autotext = Named(new QLabel("<AUTOCALIBRATION>", frm_autotext), "lbl_autotext");
  status->addWidget(lbl_autotext);
  lbl_autochannel = Named(new QLabel(frm_autotext), "lbl_autochannel");
  status->addWidget(lbl_autochannel);
  picturecal = Named(new CalibrationPlot(frm_autotext), "picturecal");
  status->addWidget(picturecal);

  mnCalibra = CheckItem(this, "Auto   Calibration", "mnCalibra");
  mnZero = CheckItem(this, "Auto   Zero", "mnZero");
  mncal_on = CheckItem(this, "ON", "mncal_on");
  mncal_off = CheckItem(this, "OFF", "mncal_off");
}

void CalibrationPanel::addMenu(QMenuBar* bar) {
  QMenu* calibration = bar->addMenu("&Calibration");
  calibration->addAction(mnCalibra);
  calibration->addAction(mnZero);
  QMenu* control = calibration->addMenu("Calibration Control");
  control->addAction(mncal_on);
  control->addAction(mncal_off);
}

void CalibrationPanel::wire() {
  connect(mnCalibra, &QAction::triggered, this, &CalibrationPanel::toggleAutoCalibration);
  connect(mnZero, &QAction::triggered, this, &CalibrationPanel::toggleAutoZero);
  connect(mncal_on, &QAction::triggered, this, &CalibrationPanel::calibrationControlOn);
  connect(mncal_off, &QAction::triggered, this, &CalibrationPanel::calibrationControlOff);
  connect(cmd_calibra, &QPushButton::clicked, this, &CalibrationPanel::fastCalibrate);
  connect(Cmd_autozero, &QPushButton::clicked, this, &CalibrationPanel::fastZero);
  connect(Cmd_readblank, &QPushButton::clicked, this, [this] { run_.ReadBlank(); });
  connect(Cmb_organism, qOverload<int>(&QComboBox::activated), this, &CalibrationPanel::chooseOrganism);
  connect(txt_snr_umbral, &QLineEdit::editingFinished, this, &CalibrationPanel::leaveSnrBox);
  lbl_umbral->installEventFilter(this);
}

void CalibrationPanel::attach(RunView& v) {
  v.autotext = [this](bool visible, const std::string& text) {
    frm_autotext->setVisible(visible);
    if (!text.empty()) lbl_autotext->setText(Q(text));
  };
  v.autochannel = [this](const std::string& t) {
    lbl_autochannel->setText(Q(t));
    lbl_autochannel->repaint();
  };
  v.calibrationProgress = [this](int done, int total) { picturecal->setProgress(done, total); };
  v.clearCalibrationProgress = [this] { picturecal->clear(); };
}

void CalibrationPanel::attach(ConnectionView& v) {
  v.autochannel = [this](const std::string& t) { lbl_autochannel->setText(Q(t)); };
  v.autotext = [this](const std::string& t) { lbl_autotext->setText(Q(t)); };
  v.statusFrame = [this](bool visible) { frm_autotext->setVisible(visible); };
  v.progressPicture = [this](bool visible) { picturecal->setVisible(visible); };
  v.statusLabels = [this](bool visible) {
    lbl_autotext->setVisible(visible);
    lbl_autochannel->setVisible(visible);
  };
  v.repaint = [this] {
    lbl_autotext->repaint();
    lbl_autochannel->repaint();
  };
}

void CalibrationPanel::showState() {
  const CalibrationControls c = Controls(state_);
  mnCalibra->setChecked(c.mnCalibraChecked);
  mnZero->setChecked(c.mnZeroChecked);
  mnCalibra->setEnabled(c.mnCalibraEnabled);
  mnZero->setEnabled(c.mnZeroEnabled);
  cmd_calibra->setVisible(c.fastCalibVisible);
  Cmd_autozero->setVisible(c.fastZeroVisible);
  Cmd_readblank->setVisible(c.readBlankVisible);
  mncal_on->setChecked(c.calOnChecked);
  mncal_off->setChecked(c.calOffChecked);
  // The selection is shown, not chosen again.
  Cmb_organism->blockSignals(true);
  Cmb_organism->setCurrentIndex(c.organism);
  Cmb_organism->blockSignals(false);
  // Set again only when it changed: setting the text moves the cursor.
  if (txt_snr_umbral->text() != Q(c.snrText)) txt_snr_umbral->setText(Q(c.snrText));
  txt_snr_umbral->setVisible(c.snrBoxVisible);
  lbl_umbral->setText(Q(c.umbralLabel));
}

void CalibrationPanel::showProjectPreset(const MainControls& c) {
  if (c.calibrationFrame) frm_mn1->setVisible(*c.calibrationFrame);
  Cmb_organism->blockSignals(true);
  Cmb_organism->clear();
  for (const auto& item : OrganismItems()) Cmb_organism->addItem(Q(item));
  Cmb_organism->blockSignals(false);
  TakePreset(state_, c.organismIndex, c.preset);
  showState();
}

void CalibrationPanel::showProjectSwitches(const MainControls& c) {
  SetAutoCalibration(state_, ws_.setup, c.autoCalibration);
  SetAutoZero(state_, ws_.setup, c.autoZero);
  showState();
}

void CalibrationPanel::toggleAutoCalibration() {
  ToggleAutoCalibration(state_, ws_.setup);
  showState();
}

void CalibrationPanel::toggleAutoZero() {
  ToggleAutoZero(state_, ws_.setup);
  showState();
}

void CalibrationPanel::calibrationControlOn() {
  CalibrationControlOn(state_);
  showState();
}

void CalibrationPanel::calibrationControlOff() {
  CalibrationControlOff(state_, ws_.setup);
  showState();
  Q_EMIT calibrationControlSwitchedOff();
}

void CalibrationPanel::takeEditorDetection(int organism, const std::string& snrText) {
  TakeEditorDetection(state_, organism, snrText);
  showState();
}

void CalibrationPanel::chooseOrganism(int item) {
  ChooseOrganism(state_, ws_.setup, item);
  showState();
}

void CalibrationPanel::toggleSnrBox() {
  ToggleSnrBox(state_);
  showState();
}

void CalibrationPanel::leaveSnrBox() {
  if (!txt_snr_umbral->isEnabled()) return;
  const auto message = LeaveSnrBox(state_, ws_.setup, txt_snr_umbral->text().toStdString());
  showState();
  if (message) op_.inform(*message);
}

void CalibrationPanel::fastCalibrate() {
  frm_autotext->show();
  run_.FastCalibrate();
  frm_autotext->hide();
}

void CalibrationPanel::fastZero() {
  frm_autotext->show();
  run_.FastZero();
  frm_autotext->hide();
}

void CalibrationPanel::followRunState(int state) {
  const bool active = state == kRunning || state == kPaused;
  Cmb_organism->setEnabled(!active);
  txt_snr_umbral->setEnabled(!active);
}

void CalibrationPanel::hideStatusFrame() { frm_autotext->hide(); }

bool CalibrationPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lbl_umbral && event->type() == QEvent::MouseButtonRelease && lbl_umbral->isEnabled()) {
    toggleSnrBox();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace orb
