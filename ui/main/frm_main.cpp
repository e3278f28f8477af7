#include "ui/main/frm_main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>
#include <exception>

#include "app/remembered_port.h"
#include "app/config_files.h"
#include "app/project_files.h"
#include "app/startup.h"
#include "common/fileio.h"
#include "device/connection.h"
#include "reports/report_config.h"
#include "acquisition/engine.h"
#include "acquisition/outputs.h"
#include "acquisition/run_control.h"
#include "ui/plots/calibration_plot.h"
#include "ui/app/frm_about.h"
#include "ui/app/frm_init.h"
#include "ui/browser/frm_offline.h"
#include "ui/setup/frm_setup.h"
#include "ui/main/outputs_panels.h"
#include "ui/app/program.h"

namespace orb {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(name);
  return w;
}

QLineEdit* TextBox(QWidget* parent, const char* name, bool readOnly = false) {
  auto* e = Named(new QLineEdit(parent), name);
  e->setReadOnly(readOnly);
  return e;
}

}  // namespace

Frm_Main::Frm_Main(Program& program, QString commandLine, QWidget* parent)
    : QMainWindow(parent), program_(program), commandLine_(std::move(commandLine)) {
  setObjectName("Frm_Main");
  setWindowTitle(kMainCaption);
  buildControls();
  buildMenus();
  Timerinicio = Named(new QTimer(this), "Timerinicio");
  Timerinicio->setInterval(500);
  connect(Timerinicio, &QTimer::timeout, this, &Frm_Main::onStartupTimer);
  Timeradq = Named(new QTimer(this), "Timeradq");
  Timeradq->setInterval(30);
  buildConnection();
  buildRun();
}

Frm_Main::~Frm_Main() {
  delete init_;
  delete setup_;
  delete offline_;
}

void Frm_Main::buildControls() {
  auto* central = new QWidget(this);
  auto* grid = new QGridLayout(central);

  // Project header and run controls.
  auto* head = new QFormLayout;
  txt_projecto = TextBox(central, "txt_projecto", true);
  head->addRow("Project:", txt_projecto);
  txt_wellformat = TextBox(central, "txt_wellformat", true);
  head->addRow("Plate format:", txt_wellformat);
  txt_acqlapse = TextBox(central, "txt_acqlapse", true);
  head->addRow("Acquisition lapse (min):", txt_acqlapse);
  Txt_description = Named(new QTextEdit(central), "Txt_description");
  Txt_description->setMaximumHeight(60);
  head->addRow("Description:", Txt_description);
  txt_subproject = TextBox(central, "txt_subproject", true);
  head->addRow("Experiment:", txt_subproject);
  grid->addLayout(head, 0, 0);

  auto* run = new QHBoxLayout;
  CmdPlay = Named(new QPushButton("Start", central), "CmdPlay");
  CmdPause = Named(new QPushButton("Pause", central), "CmdPause");
  CmdStop = Named(new QPushButton("Stop", central), "CmdStop");
  cmd_connect = Named(new QPushButton("Connect", central), "cmd_connect");
  Cmd_disconnect = Named(new QPushButton("Disconnect", central), "Cmd_disconnect");
  Cmdoffline = Named(new QPushButton("<< Back", central), "Cmdoffline");
  for (auto* b : {CmdPlay, CmdPause, CmdStop, cmd_connect, Cmd_disconnect, Cmdoffline}) run->addWidget(b);
  connect(cmd_connect, &QPushButton::clicked, this, [this] { connectInstrument(); });
  connect(Cmd_disconnect, &QPushButton::clicked, this, &Frm_Main::disconnectInstrument);
  connect(Cmdoffline, &QPushButton::clicked, this, [this] {
    // Back to the chooser; the port stays open.
    if (setup_) setup_->Txt_description->setPlainText(Txt_description->toPlainText());
    if (init_) init_->show();
    hide();
  });
  Cmdsetup = Named(new QPushButton(">Edit", central), "Cmdsetup");
  run->addWidget(Cmdsetup);
  connect(Cmdsetup, &QPushButton::clicked, this, [this] {
    if (setup_) setup_->show();
  });
  Txt_time = TextBox(central, "Txt_time", true);
  Txt_time->setText("00:00:00");
  run->addWidget(Txt_time);
  grid->addLayout(run, 1, 0);
  picturetime = Named(new QProgressBar(central), "picturetime");
  picturetime->setRange(0, 1000);
  picturetime->setValue(0);
  picturetime->setTextVisible(false);
  grid->addWidget(picturetime, 2, 0);
  lblcalibrando = Named(new QLabel(central), "lblcalibrando");
  lblcalibrando->hide();
  grid->addWidget(lblcalibrando, 5, 0, Qt::AlignTop);

  auto* options = new QHBoxLayout;
  lbl_temperature = Named(new QLabel("Temperature: -- [\u00B0C]", central), "lbl_temperature");
  options->addWidget(lbl_temperature);
  chk_bodybends = Named(new QCheckBox("Body-Bends Mode (Experimental)", central), "chk_bodybends");
  options->addWidget(chk_bodybends);
  options->addWidget(new QLabel("Report bin (min):", central));
  combo_minutes = Named(new QComboBox(central), "combo_minutes");
  combo_minutes->setEditable(true);
  options->addWidget(combo_minutes);
  grid->addLayout(options, 3, 0);

  auto* groups = new QHBoxLayout;
  combogrup = Named(new QComboBox(central), "combogrup");
  lstgrup = Named(new QListWidget(central), "lstgrup");
  lstgrup->setMaximumHeight(80);
  groups->addWidget(combogrup);
  groups->addWidget(lstgrup, 1);
  grid->addLayout(groups, 4, 0);

  // Tool frames on the right.
  auto* tools = new QVBoxLayout;
  frm_mn1 = Named(new QGroupBox("Calibration", central), "frm_mn1");
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
  tools->addWidget(frm_mn1);

  frm_autotext = Named(new QGroupBox(central), "frm_autotext");
  auto* autoLayout = new QVBoxLayout(frm_autotext);
  lbl_autotext = Named(new QLabel("<AUTOCALIBRATION>", frm_autotext), "lbl_autotext");
  autoLayout->addWidget(lbl_autotext);
  lbl_autochannel = Named(new QLabel(frm_autotext), "lbl_autochannel");
  autoLayout->addWidget(lbl_autochannel);
  picturecal = Named(new CalibrationPlot(frm_autotext), "picturecal");
  autoLayout->addWidget(picturecal);
  tools->addWidget(frm_autotext);

  // The light and temperature panels send through run control, which also
  // shows the state sent on them.
  outputs_ = std::make_unique<OutputState>();
  panels_ = new OutputPanels(
      *outputs_, program_.ws, [this](const OutputState& state) { run_->sender()(state); },
      [this] { return engine_ ? static_cast<int>(engine_->runState) : 0; }, central);
  Frame_light = panels_->Frame_light;
  Chk_lenabled = panels_->Chk_lenabled;
  txt_lon = panels_->txt_lon;
  txt_loff = panels_->txt_loff;
  cmd_luz = panels_->cmd_luz;
  frm_pulse = panels_->frm_pulse;
  txt_pulsetimes = panels_->txt_pulsetimes;
  txt_pulseon = panels_->txt_pulseon;
  txt_pulseoff = panels_->txt_pulseoff;
  Frame_temp = panels_->Frame_temp;
  Chk_tenabled = panels_->Chk_tenabled;
  txttemp = panels_->txttemp;
  cmd_frio = panels_->cmd_frio;
  cmd_ontemp = panels_->cmd_ontemp;
  tools->addWidget(Frame_light);
  tools->addWidget(Frame_temp);
  tools->addStretch(1);
  auto* toolColumn = new QWidget(central);
  toolColumn->setLayout(tools);
  toolColumn->setMinimumWidth(260);
  grid->addWidget(toolColumn, 0, 1, 6, 1);
  grid->setRowStretch(5, 1);
  setCentralWidget(central);
  resize(900, 560);
}

void Frm_Main::buildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  mnexit = Named(file->addAction("Exit"), "mnexit");
  connect(mnexit, &QAction::triggered, this, &QWidget::close);

  QMenu* calibration = menuBar()->addMenu("&Calibration");
  mnCalibra = Named(calibration->addAction("Auto   Calibration"), "mnCalibra");
  mnCalibra->setCheckable(true);
  connect(mnCalibra, &QAction::triggered, this, &Frm_Main::setAutoCalibration);
  mnZero = Named(calibration->addAction("Auto   Zero"), "mnZero");
  mnZero->setCheckable(true);
  connect(mnZero, &QAction::triggered, this, &Frm_Main::setAutoZero);
  QMenu* control = calibration->addMenu("Calibration Control");
  mncal_on = Named(control->addAction("ON"), "mncal_on");
  mncal_on->setCheckable(true);
  connect(mncal_on, &QAction::triggered, this, &Frm_Main::calibrationControlOn);
  mncal_off = Named(control->addAction("OFF"), "mncal_off");
  mncal_off->setCheckable(true);
  connect(mncal_off, &QAction::triggered, this, &Frm_Main::calibrationControlOff);

  QMenu* port = menuBar()->addMenu("&Port");
  for (int n = 1; n <= 15; ++n) {
    QAction* item = Named(port->addAction(QString("COM%1").arg(n)), "mncom1");
    item->setProperty("index", n);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, n] { connection_->ChoosePort(n); });
    mncom1[n - 1] = item;
  }

  QMenu* tools = menuBar()->addMenu("&Tools");
  lght_ctl = Named(tools->addAction("Light Control"), "lght_ctl");
  connect(lght_ctl, &QAction::triggered, this, [this] { panels_->lght_ctl(); });
  temp_ctl = Named(tools->addAction("Temperature"), "temp_ctl");
  connect(temp_ctl, &QAction::triggered, this, [this] { panels_->temp_ctl(); });

  QMenu* report = menuBar()->addMenu("&Report");
  mn_userbin = Named(report->addAction("User Defined BIN size"), "mn_userbin");
  mn_userbin->setCheckable(true);

  QMenu* help = menuBar()->addMenu("&Help");
  mncontent = Named(help->addAction("Content"), "mncontent");
  connect(mncontent, &QAction::triggered, this,
          [this] { program_.launcher.openPath(program_.ws.programFolder / "orb_help.pdf"); });
  mnabout = Named(help->addAction("About"), "mnabout");
  connect(mnabout, &QAction::triggered, this, [this] {
    if (!about_) about_ = new Frm_About(this);
    about_->show();
    about_->raise();
  });
}

bool Frm_Main::load() {
  try {
    runLoadSequence();
  } catch (const std::exception&) {
    program_.op.inform("Error loading INIT parameters #ERROR:" + std::to_string(StartupStage));
    program_.end(1);
  }
  return !program_.ended;
}

void Frm_Main::runLoadSequence() {
  Workspace& ws = program_.ws;
  // 1-3: a clean state; the light and temperature buttons reset.
  StartupStage = 0;
  engine_->runState = kStopped;
  program_.connection.offline = false;
  Autorun = IsAutorunArgument(commandLine_.toStdString());
  cmd_frio->setText("COOL");
  cmd_ontemp->setText("OFF");
  cmd_luz->setText("OFF");
  outputs_->LightTimerEnabled = -1;
  Chk_lenabled->setChecked(true);
  outputs_->LightOn = 0;
  frm_autotext->hide();

  // The configuration, the current project's folder and its files. Before
  // the files are read the chooser is shown disabled; its load creates the
  // editor, whose own load reads the project when none is loaded yet.
  LoadSteps steps;
  steps.stage = [this](int stage) { StartupStage = stage; };
  steps.beforeProject = [this, &ws] {
    if (!init_) {
      init_ = new Frm_Init(program_);
      connect(init_, &Frm_Init::optionChosen, this, &Frm_Main::chooseOption);
    }
    ws.statusLine = [this](const std::string& text) { init_->LblNews->setText(Q(text)); };
    init_->show();
    init_->setEnabled(false);
    if (!setup_) {
      setup_ = new Frm_setup(program_);
      connect(setup_, &Frm_setup::backToChooser, this, [this] {
        Txt_description->setPlainText(setup_->Txt_description->toPlainText());
        init_->show();
      });
    }
    statusStep(0);
    return !program_.ended;
  };
  switch (LoadProgram(ws, LoadScope::Project, steps)) {
    case LoadResult::NoConfig:
      program_.op.inform(kConfigNotFound);
      program_.end(1);
      return;
    case LoadResult::Ended:
      return;
    case LoadResult::Loaded:
      break;
  }
  statusStep(1);
  if (program_.ended) return;

  applyProjectControls();  // steps 11-19; StartupStage = 5 from step 15 on
  checkPortMenu(ws.config.Serial_COM);
  showInstrumentStatus();

  // 20: the report bin list, from the report settings.
  int userDefined = LoadReportConfig(ws.programFolder, program_.report, 1, program_.op);
  BinSizeList bins = MakeBinSizeList(userDefined, program_.report.Bin);
  combo_minutes->clear();
  for (const auto& item : bins.items) combo_minutes->addItem(Q(item));
  combo_minutes->setCurrentIndex(bins.selected);
  mn_userbin->setChecked(bins.userDefined);

  // 21-22: group list and project label.
  if (combogrup->count() > 0) combogrup->setCurrentIndex(0);
  lstgrup->clear();
  txt_projecto->setText(Q(ProjectLabel(ws)));
  statusStep(2);
  if (program_.ended) return;

  // 24-26.
  CmdPause->setEnabled(false);
  engine_->runState = kStopped;
  StartupStage = 7;
  statusStep(3);
  if (program_.ended) return;
  StartupStage = 8;
  statusStep(4);
  if (program_.ended) return;
  init_->setEnabled(true);
  StartupStage = 9;

  // 27: "/run" goes straight to the main window.
  if (Autorun) {
    show();
    // The run needs the instrument: connect as "Run Latest Project" does and
    // start only when it was found (a failed search leaves the program as a
    // failed connection leaves it).
    if (program_.connection.connected || connectInstrument()) CmdPlay->click();
  }
}

void Frm_Main::statusStep(int step) {
  StartupStep = step;
  StartupStepDone = 0;
  Timerinicio->start();
  while (StartupStepDone == 0 && !program_.ended)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void Frm_Main::onStartupTimer() {
  Timerinicio->stop();  // one step per firing, never two
  switch (StartupStep) {
    case 0:
      init_->LblNews->setText("STARTING........... Reading Configuration...");
      init_->LblNews->repaint();
      break;
    case 1: init_->LblNews->setText("STARTING........... Configuration OK..."); break;
    case 2: init_->LblNews->setText("status = not connected yet"); break;
    case 3: init_->LblNews->repaint(); break;
    default: break;
  }
  StartupStepDone = 1;
}

void Frm_Main::applyProjectControls() {
  Workspace& ws = program_.ws;
  MainControls c = DeriveMainControls(ws, SnrFactor);
  // 11: tool frames.
  if (c.calibrationFrame) frm_mn1->setVisible(*c.calibrationFrame);
  // 12-15: organism, detection factor and working threshold.
  Cmb_organism->blockSignals(true);
  Cmb_organism->clear();
  for (const auto& item : OrganismItems()) Cmb_organism->addItem(Q(item));
  Cmb_organism->setCurrentIndex(c.organismIndex);
  Cmb_organism->blockSignals(false);
  txt_snr_umbral->setText(Q(c.snrText));
  txt_snr_umbral->setVisible(c.preset.boxVisible);
  lbl_umbral->setText(Q(c.preset.labelText));
  SnrFactor = c.preset.snrFactor;
  snrThreshold = c.snrThreshold;
  StartupStage = 5;
  // 16: automatic calibration and zero.
  setAutoCalibration(c.autoCalibration);
  setAutoZero(c.autoZero);
  // 17-18: light and temperature programmes.
  panels_->showProject(c);
  // 19: calibration control off.
  calibrationControlOff();
}

void Frm_Main::setAutoCalibration(bool on) {
  AutoCalibrationMode = on;
  if (engine_) engine_->AutoCalibrationMode = on;
  mnCalibra->setChecked(on);
  cmd_calibra->setVisible(!on);
  program_.ws.setup.MenuTable[Mn1][Enab_Cal] = on ? 1 : 0;
}

void Frm_Main::setAutoZero(bool on) {
  AutoZeroMode = on;
  if (engine_) engine_->AutoZeroMode = on;
  mnZero->setChecked(on);
  Cmd_autozero->setVisible(!on);
  program_.ws.setup.MenuTable[Mn1][Enab_Zero] = on ? 1 : 0;
}

void Frm_Main::calibrationControlOn() {
  calibrationControl = true;
  Cmd_readblank->show();
  mnCalibra->setEnabled(true);
  mnZero->setEnabled(true);
  mncal_on->setChecked(true);
  mncal_off->setChecked(false);
}

void Frm_Main::calibrationControlOff() {
  calibrationControl = false;
  Cmd_readblank->hide();
  setAutoCalibration(true);
  setAutoZero(true);
  mnCalibra->setEnabled(false);
  mnZero->setEnabled(false);
  if (setup_) setup_->chkcalib->setChecked(true);
  mncal_off->setChecked(true);
  mncal_on->setChecked(false);
}

void Frm_Main::activate() {
  try {
    const ProjectSetup& s = program_.ws.setup;
    if (!Timeradq->isActive()) {
      txt_projecto->setText(Q(ProjectLabel(program_.ws)));
      txt_acqlapse->setText(QString::number(s.Aq_lapse));
      txt_wellformat->setText(Q(s.Plate_format));
    }
    bool k96u = txt_wellformat->text() == "k96u";
    chk_bodybends->setEnabled(k96u);
    if (!k96u) chk_bodybends->setChecked(false);
  } catch (const std::exception&) {
    program_.op.inform("Error loading parameters");
  }
}

void Frm_Main::showEvent(QShowEvent* event) {
  activate();
  QMainWindow::showEvent(event);
}

void Frm_Main::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) activate();
  QMainWindow::changeEvent(event);
}

void Frm_Main::chooseOption(int index) {
  switch (index) {
    case 0:
      init_->hide();
      setup_->show();
      break;
    case 1:
      init_->hide();
      show();
      activate();
      if (!program_.connection.connected) connectInstrument();
      break;
    case 2:
      init_->hide();
      if (!offline_) {
        offline_ = new Frm_offline(program_);
        connect(offline_, &Frm_offline::backToMain, this, [this] { show(); });
      }
      offline_->show();
      break;
    case 3:
      if (program_.op.confirm("Sure to Quit?")) program_.end(0);
      break;
    default: break;
  }
}

void Frm_Main::closeEvent(QCloseEvent* event) {
  if (!closing_ && !program_.ended) {
    closing_ = true;
    try {
      if (CloseMainWindow(program_.ws, program_.connection.offline, program_.loop))
        program_.ports.CommClose(program_.ws.config.Serial_COM);
    } catch (const std::exception&) {
      // A failure while closing skips the save and the port; the program still ends.
    }
    program_.end(0);
  }
  event->accept();
}

}  // namespace orb

namespace orb {

void Frm_Main::buildConnection() {
  ConnectionView view;
  view.autochannel = [this](const std::string& t) { lbl_autochannel->setText(Q(t)); };
  view.autotext = [this](const std::string& t) { lbl_autotext->setText(Q(t)); };
  view.news = [this](const std::string& t) {
    if (init_) init_->LblNews->setText(Q(t));
  };
  view.statusFrame = [this](bool visible) { frm_autotext->setVisible(visible); };
  view.progressPicture = [this](bool visible) { picturecal->setVisible(visible); };
  view.statusLabels = [this](bool visible) {
    lbl_autotext->setVisible(visible);
    lbl_autochannel->setVisible(visible);
  };
  view.repaint = [this] {
    lbl_autotext->repaint();
    lbl_autochannel->repaint();
  };
  view.portMenu = [this](int n) { checkPortMenu(n); };
  view.showChooser = [this] {
    if (init_) init_->show();
    hide();
  };
  connection_ = std::make_unique<Connection>(program_.link, RememberedPortOf(program_.ws), std::move(view));
}

bool Frm_Main::connectInstrument() {
  if (beforeConnecting) beforeConnecting();
  bool found = connection_->Connect();
  showInstrumentStatus();
  return found;
}

void Frm_Main::disconnectInstrument() {
  connection_->Disconnect();
  showInstrumentStatus();
}

void Frm_Main::checkPortMenu(int port) {
  auto checks = PortMenuChecks(port);
  for (int i = 0; i < 15; ++i) mncom1[i]->setChecked(checks[i]);
}

void Frm_Main::showInstrumentStatus() {
  const ConnectionState& c = program_.connection;
  QString text;
  if (c.connected) {
    text = QString("Instrument %1 connected on COM%2").arg(c.serial).arg(c.currentPort);
    text += c.factory.calibrated ? QString(", temperature calibrated %1/%2").arg(c.factory.month).arg(c.factory.year)
                                 : QString(", temperature not calibrated");
  } else if (c.offline) {
    text = "Offline: working without the instrument";
  } else {
    text = "Instrument not connected";
  }
  if (!program_.virtualInstrumentPath.empty())
    text += QString("   |   VIRTUAL INSTRUMENT (simulated on %1)").arg(Q(program_.virtualInstrumentPath));
  if (!instrumentStatus) {
    instrumentStatus = Named(new QLabel(this), "instrumentStatus");
    statusBar()->addPermanentWidget(instrumentStatus, 1);
  }
  instrumentStatus->setText(text);
  // The port cannot change under an open connection.
  for (auto* item : mncom1) item->setEnabled(!c.connected);
  Cmd_disconnect->setEnabled(c.connected);
}

}  // namespace orb
