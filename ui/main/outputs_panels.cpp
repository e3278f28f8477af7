#include "ui/main/outputs_panels.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include "app/startup.h"
#include "app/workspace.h"
#include "common/seams.h"
#include "device/device_link.h"
#include "ui/app/widgets.h"

namespace orb {
namespace {

constexpr const char* kHardwareNotice = "Only available in some hardware versions";

QFrame* Indicator(QWidget* parent, const char* name) {
  auto* shape = Named(new QFrame(parent), name);
  shape->setFrameShape(QFrame::Box);
  shape->setFixedSize(22, 22);
  shape->setAutoFillBackground(true);
  return shape;
}

}  // namespace

QColor ColourFromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

OutputPanels::OutputPanels(OutputState& state, Workspace& ws, OutputSender send, std::function<int()> runState,
                           QWidget* parent)
    : QObject(parent), state_(state), ws_(ws), send_(std::move(send)), runState_(std::move(runState)) {
  build(parent);
  wire();
}

OutputPanels::OutputPanels(OutputState& state, Workspace& ws, DeviceLink& link, std::function<int()> runState,
                           QWidget* parent)
    : OutputPanels(state, ws, SendThroughLink(link), std::move(runState), parent) {}

void OutputPanels::build(QWidget* parent) {
  Frame_light = Named(new QGroupBox("Light Control", parent), "Frame_light");
  auto* light = new QGridLayout(Frame_light);
  Chk_lenabled = Named(new QCheckBox("Enable", Frame_light), "Chk_lenabled");
  txt_lon = Named(new QLineEdit(Frame_light), "txt_lon");
  txt_loff = Named(new QLineEdit(Frame_light), "txt_loff");
  cmd_luz = Named(new QPushButton("OFF", Frame_light), "cmd_luz");
  shape_light = Indicator(Frame_light, "shape_light");
  cmd_cyclepulse = Named(new QPushButton("Cycle/Pulse", Frame_light), "cmd_cyclepulse");
  cmd_nextwindows1 = Named(new QPushButton(">>", Frame_light), "cmd_nextwindows1");
  light->addWidget(Chk_lenabled, 0, 0, 1, 2);
  light->addWidget(cmd_nextwindows1, 0, 2);
  light->addWidget(new QLabel("ON (hour):", Frame_light), 1, 0);
  light->addWidget(txt_lon, 1, 1, 1, 2);
  light->addWidget(new QLabel("OFF (hour):", Frame_light), 2, 0);
  light->addWidget(txt_loff, 2, 1, 1, 2);
  light->addWidget(cmd_luz, 3, 0);
  light->addWidget(shape_light, 3, 1);
  light->addWidget(cmd_cyclepulse, 3, 2);
  frm_pulse = Named(new QGroupBox("Pulses", Frame_light), "frm_pulse");
  auto* pulse = new QFormLayout(frm_pulse);
  txt_pulsetimes = Named(new QLineEdit(frm_pulse), "txt_pulsetimes");
  txt_pulseon = Named(new QLineEdit(frm_pulse), "txt_pulseon");
  txt_pulseoff = Named(new QLineEdit(frm_pulse), "txt_pulseoff");
  pulse->addRow("Times:", txt_pulsetimes);
  pulse->addRow("ON (min):", txt_pulseon);
  pulse->addRow("OFF (min):", txt_pulseoff);
  light->addWidget(frm_pulse, 4, 0, 1, 3);
  frm_pulse->hide();

  Frame_temp = Named(new QGroupBox("Temperature", parent), "Frame_temp");
  auto* temp = new QGridLayout(Frame_temp);
  Chk_tenabled = Named(new QCheckBox("Enabled", Frame_temp), "Chk_tenabled");
  cmd_nextwindows2 = Named(new QPushButton(">>", Frame_temp), "cmd_nextwindows2");
  txttemp = Named(new QLineEdit(Frame_temp), "txttemp");
  Cmd_settemp = Named(new QPushButton("SET", Frame_temp), "Cmd_settemp");
  cmd_frio = Named(new QPushButton("COOL", Frame_temp), "cmd_frio");
  cmd_ontemp = Named(new QPushButton("OFF", Frame_temp), "cmd_ontemp");
  shape_temp = Indicator(Frame_temp, "shape_temp");
  temp->addWidget(Chk_tenabled, 0, 0, 1, 2);
  temp->addWidget(cmd_nextwindows2, 0, 2);
  temp->addWidget(new QLabel("Set point [\u00B0C]:", Frame_temp), 1, 0);
  temp->addWidget(txttemp, 1, 1);
  temp->addWidget(Cmd_settemp, 1, 2);
  temp->addWidget(cmd_frio, 2, 0);
  temp->addWidget(cmd_ontemp, 2, 1);
  temp->addWidget(shape_temp, 2, 2);

  lght_ctl_ = Named(new QAction("Light Control", this), "lght_ctl");
  temp_ctl_ = Named(new QAction("Temperature", this), "temp_ctl");

  showLook(LookOf(state_));
}

void OutputPanels::addMenu(QMenuBar* bar) {
  QMenu* tools = bar->addMenu("&Tools");
  tools->addAction(lght_ctl_);
  tools->addAction(temp_ctl_);
}

void OutputPanels::wire() {
  connect(Chk_lenabled, &QCheckBox::clicked, this,
          [this](bool on) { SetLightTimerEnabled(state_, ws_.setup, on); });
  connect(Chk_tenabled, &QCheckBox::clicked, this,
          [this](bool on) { SetTempControlEnabled(state_, ws_.setup, on); });
  connect(txt_lon, &QLineEdit::editingFinished, this, [this] { leaveBox(txt_lon, OutputBox::OnHour); });
  connect(txt_loff, &QLineEdit::editingFinished, this, [this] { leaveBox(txt_loff, OutputBox::OffHour); });
  connect(txt_pulsetimes, &QLineEdit::editingFinished, this,
          [this] { leaveBox(txt_pulsetimes, OutputBox::PulseRepetitions); });
  connect(txt_pulseon, &QLineEdit::editingFinished, this, [this] { leaveBox(txt_pulseon, OutputBox::PulseOn); });
  connect(txt_pulseoff, &QLineEdit::editingFinished, this, [this] { leaveBox(txt_pulseoff, OutputBox::PulseOff); });
  connect(txttemp, &QLineEdit::editingFinished, this, [this] { leaveBox(txttemp, OutputBox::SetPoint); });
  connect(Cmd_settemp, &QPushButton::clicked, this, [this] {
    // "SET" takes the value of the box, checked as on leaving it.
    leaveBox(txttemp, OutputBox::SetPoint);
    TakeSetPoint(state_, ws_.setup);
  });
  connect(cmd_luz, &QPushButton::clicked, this, [this] { manual(ManualOutput::Light); });
  connect(cmd_frio, &QPushButton::clicked, this, [this] { manual(ManualOutput::Mode); });
  connect(cmd_ontemp, &QPushButton::clicked, this, [this] { manual(ManualOutput::Power); });
  connect(cmd_cyclepulse, &QPushButton::clicked, this, [this] { frm_pulse->setVisible(frm_pulse->isHidden()); });
  connect(cmd_nextwindows1, &QPushButton::clicked, this, [this] {
    if (!Frame_light->isHidden()) Frame_light->lower();
  });
  connect(cmd_nextwindows2, &QPushButton::clicked, this, [this] {
    if (!Frame_temp->isHidden()) Frame_temp->lower();
  });
  connect(lght_ctl_, &QAction::triggered, this, &OutputPanels::lght_ctl);
  connect(temp_ctl_, &QAction::triggered, this, &OutputPanels::temp_ctl);
}

void OutputPanels::leaveBox(QLineEdit* box, OutputBox which) {
  if (validating_) return;
  validating_ = true;
  const BoxOutcome o = LeaveOutputBox(ws_.setup, which, box->text().toStdString());
  box->setText(Q(o.text));
  if (which == OutputBox::PulseRepetitions) {
    txt_lon->setEnabled(o.hourBoxesEnabled);
    txt_loff->setEnabled(o.hourBoxesEnabled);
  }
  if (!o.accepted()) ws_.op->inform(o.message);
  validating_ = false;
}

void OutputPanels::manual(ManualOutput which) {
  const int runState = runState_ ? runState_() : 0;
  if (auto look = ManualToggle(state_, which, runState, send_)) {
    showLook(*look);
  } else if (which == ManualOutput::Light) {
    paint(shape_light, LightColour(state_));  // the indicator follows at once; the rest when sent
  }
}

void OutputPanels::showLook(const OutputLook& look) {
  cmd_luz->setText(Q(look.lightCaption));
  paint(shape_light, look.lightColour);
  cmd_frio->setText(Q(look.modeCaption));
  cmd_ontemp->setText(Q(look.powerCaption));
  paint(shape_temp, look.temperatureColour);
}

OutputSender OutputPanels::sender() {
  return [this](const OutputState& s) {
    if (send_) send_(s);
    showLook(LookOf(s));
  };
}

void OutputPanels::paint(QFrame* shape, std::uint32_t bgr) {
  QPalette pal = shape->palette();
  pal.setColor(QPalette::Window, ColourFromBgr(bgr));
  shape->setPalette(pal);
}

QColor OutputPanels::lightIndicator() const { return shape_light->palette().color(QPalette::Window); }
QColor OutputPanels::temperatureIndicator() const { return shape_temp->palette().color(QPalette::Window); }

void OutputPanels::togglePanel(QGroupBox* frame, int menu) {
  if (!frame->isHidden()) {
    frame->hide();
    ws_.setup.Menu(menu) = 0;
    return;
  }
  ws_.op->inform(kHardwareNotice);
  frame->show();
  ws_.setup.Menu(menu) = 1;
}

void OutputPanels::lght_ctl() { togglePanel(Frame_light, 2); }
void OutputPanels::temp_ctl() { togglePanel(Frame_temp, 3); }

void OutputPanels::showLoadStart() {
  cmd_frio->setText("COOL");
  cmd_ontemp->setText("OFF");
  cmd_luz->setText("OFF");
  state_.LightTimerEnabled = -1;
  Chk_lenabled->setChecked(true);
  state_.LightOn = 0;
}

void OutputPanels::showProject(const MainControls& c) {
  if (c.lightFrame) Frame_light->setVisible(*c.lightFrame);
  if (c.temperatureFrame) Frame_temp->setVisible(*c.temperatureFrame);
  Chk_lenabled->setChecked(c.lightEnabled);
  state_.LightTimerEnabled = c.lightEnabled ? -1 : 0;
  txt_lon->setText(QString::number(c.timeOn));
  txt_loff->setText(QString::number(c.timeOff));
  frm_pulse->hide();
  if (c.lightEnabled) {
    txt_pulsetimes->setText(Q(c.pulseTimes));
    txt_pulseon->setText(Q(c.pulseOn));
    txt_pulseoff->setText(Q(c.pulseOff));
    frm_pulse->setVisible(c.pulseFrameVisible);
  }
  txt_lon->setEnabled(c.lightBoxesEnabled);
  txt_loff->setEnabled(c.lightBoxesEnabled);
  Chk_tenabled->setChecked(c.temperatureEnabled);
  state_.TempControlEnabled = c.temperatureEnabled ? -1 : 0;
  txttemp->setText(Q(c.setPointText));
}

}  // namespace orb
