#include "ui/main/frm_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

#include "acquisition/engine.h"
#include "acquisition/outputs.h"
#include "acquisition/run_control.h"
#include "app/help_file.h"
#include "app/startup.h"
#include "device/connection.h"
#include "reports/report_config.h"
#include "ui/app/frm_about.h"
#include "ui/app/frm_init.h"
#include "ui/app/program.h"
#include "ui/app/widgets.h"
#include "ui/browser/frm_offline.h"
#include "ui/main/calibration_panel.h"
#include "ui/main/connection_panel.h"
#include "ui/main/groups_panel.h"
#include "ui/main/live_panel.h"
#include "ui/main/outputs_panels.h"
#include "ui/main/run_panel.h"
#include "ui/reports/report_windows.h"
#include "ui/service/service_windows.h"
#include "ui/setup/frm_setup.h"

namespace orb {

Frm_Main::Frm_Main(Program& program, QString commandLine, QWidget* parent)
    : QMainWindow(parent), program_(program), commandLine_(std::move(commandLine)) {
  setObjectName("Frm_Main");
  setWindowTitle(kMainCaption);
  outputs_ = std::make_unique<OutputState>();
  engine_ = std::make_unique<AcquisitionEngine>(EngineRecordsOf(program_.ws), program_.link, program_.clock, program_.loop);
  run_ = std::make_unique<RunControl>(program_.ws, program_.link, *engine_, *outputs_, program_.op, program_.clock,
                                      program_.loop);
  buildPanels();
  buildMenus();
  layOut();
  Timerinicio = Named(new QTimer(this), "Timerinicio");
  Timerinicio->setInterval(500);
  connect(Timerinicio, &QTimer::timeout, this, &Frm_Main::onStartupTimer);
  wireRun();
}

Frm_Main::~Frm_Main() {
  delete init_;
  delete setup_;
  delete offline_;
}

Connection& Frm_Main::connection() { return connectionPanel_->connection(); }

LiveDisplay& Frm_Main::liveDisplay() { return livePanel_->display(); }

void Frm_Main::buildPanels() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  runPanel_ = new RunPanel(program_.ws, *engine_, *run_, central);
  connect(runPanel_, &RunPanel::editRequested, this, [this] {
    if (setup_) setup_->show();
  });

  // The connection shows its progress in the calibration status frame and
  // its news on the chooser.
  ConnectionView view;
  view.news = [this](const std::string& t) {
    if (init_) init_->LblNews->setText(Q(t));
  };
  view.showChooser = [this] {
    if (init_) init_->show();
    hide();
  };
  connectionPanel_ = new ConnectionPanel(program_, std::move(view), central);
  connectionPanel_->beforeConnecting = [this] {
    if (beforeConnecting) beforeConnecting();
  };
  connect(connectionPanel_, &ConnectionPanel::backRequested, this, &Frm_Main::backToChooser);

  groupsPanel_ = new GroupsPanel(central);
  reports_ = new ReportWindows(program_, *this, [this] { return run_->lastFolder; });
  livePanel_ = new LivePanel(program_.ws, *engine_, program_.op, groupsPanel_->groupList(),
                             groupsPanel_->wellList(), runPanel_->bodyBendsBox(), central);
  calibrationPanel_ = new CalibrationPanel(program_.ws, engine_->calibration, *run_, program_.op, central);
  connect(calibrationPanel_, &CalibrationPanel::calibrationControlSwitchedOff, this, [this] {
    if (setup_) setup_->chkcalib->setChecked(true);
  });

  // The light and temperature panels send through run control, which also
  // shows the state sent on them.
  outputPanels_ = new OutputPanels(
      *outputs_, program_.ws, [this](const OutputState& state) { run_->sender()(state); },
      [this] { return static_cast<int>(engine_->runState); }, central);
}

void Frm_Main::buildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  QAction* mnexit = Named(file->addAction("Exit"), "mnexit");
  connect(mnexit, &QAction::triggered, this, &QWidget::close);

  calibrationPanel_->addMenu(menuBar());
  connectionPanel_->addPortMenu(menuBar());
  outputPanels_->addMenu(menuBar());
  groupsPanel_->addMenu(menuBar());
  service_ = new ServiceWindows(program_, *this, [this] { return static_cast<int>(engine_->runState) != 0; });
  service_->addMenu(menuBar());

  QMenu* help = menuBar()->addMenu("&Help");
  QAction* mncontent = Named(help->addAction("Content"), "mncontent");
  connect(mncontent, &QAction::triggered, this, [this] {
    // The data folder's orb_help.pdf first, then the guide installed with
    // the program or written by the build; a message when none is found.
    const auto folders =
        HelpFileFolders(program_.ws.programFolder, QCoreApplication::applicationDirPath().toStdString());
    if (const auto guide = FindHelpFile(folders)) {
      if (!program_.launcher.openPath(*guide)) program_.op.inform(HelpFileNotOpenedMessage(*guide));
    } else {
      program_.op.inform(HelpFileMissingMessage(folders));
    }
  });
  QAction* mnabout = Named(help->addAction("About"), "mnabout");
  connect(mnabout, &QAction::triggered, this, [this] {
    if (!about_) about_ = new Frm_About(this);
    about_->show();
    about_->raise();
  });

  connectionPanel_->addStatusLine(statusBar());
}

void Frm_Main::layOut() {
  QWidget* central = centralWidget();
  auto* grid = new QGridLayout(central);
  grid->addLayout(runPanel_->header(), 0, 0);
  // One row of buttons: the run's, the connection's, then ">Edit" and the time.
  auto* buttons = new QHBoxLayout;
  runPanel_->addCommandsTo(buttons);
  connectionPanel_->addButtonsTo(buttons);
  runPanel_->addEditAndTimeTo(buttons);
  grid->addLayout(buttons, 1, 0);
  // The progress bar, and under it the notice of an instrument that stopped
  // answering (not modal: the run goes on and the notice stays until the
  // instrument answers again).
  linkNotice_ = new QLabel(central);
  linkNotice_->setObjectName("lbl_linknotice");
  linkNotice_->setWordWrap(true);
  linkNotice_->setVisible(false);
  auto* progressRow = new QVBoxLayout;
  progressRow->addWidget(runPanel_->progress());
  progressRow->addWidget(linkNotice_);
  grid->addLayout(progressRow, 2, 0);
  // The run's temperature and body-bends option beside the report bin.
  auto* options = new QHBoxLayout;
  runPanel_->addOptionsTo(options);
  groupsPanel_->addReportBinTo(options);
  options->addWidget(reports_->button());
  grid->addLayout(options, 3, 0);
  grid->addLayout(groupsPanel_->groups(), 4, 0);
  grid->addWidget(runPanel_->blankLabel(), 5, 0, Qt::AlignTop);
  // The live pictures side by side under both columns: the trace of the
  // selected beam and the activity plot.
  auto* pictures = new QHBoxLayout;
  pictures->addWidget(livePanel_->tracePane(), 1);
  pictures->addWidget(livePanel_->activityPane(), 1);
  grid->addLayout(pictures, 6, 0, 1, 2);

  // Tool frames on the right.
  auto* tools = new QVBoxLayout;
  tools->addWidget(calibrationPanel_->frame());
  tools->addWidget(calibrationPanel_->statusFrame());
  tools->addWidget(outputPanels_->lightFrame());
  tools->addWidget(outputPanels_->temperatureFrame());
  tools->addStretch(1);
  auto* toolColumn = new QWidget(central);
  toolColumn->setLayout(tools);
  toolColumn->setMinimumWidth(260);
  grid->addWidget(toolColumn, 0, 1, 6, 1);
  grid->setRowStretch(6, 1);
  resize(1180, 760);

  // The keyboard goes through the button row in the order it shows: the
  // connection's buttons between Stop and ">Edit".
  const char* row[] = {"CmdStop", "cmd_connect", "Cmd_disconnect", "Cmdoffline"};
  for (int i = 0; i + 1 < 4; ++i) {
    auto* first = findChild<QWidget*>(row[i]);
    auto* second = findChild<QWidget*>(row[i + 1]);
    Q_ASSERT(first && second);
    setTabOrder(first, second);
  }
  // The live pictures' controls come last, after the tool frames, as the
  // pictures lie under both columns.
  const char* live[] = {"cmd_ontemp",    "Cmdzoom_minus", "txtzoom",     "Cmdzoom_plus",  "Combofila",
                        "Combocol",      "txtsub",        "cmdbeam_minus", "txtbeam",     "cmdbeam_plus",
                        "Cmd_barplot",   "Cmd_gridplot",  "Cmd_histoplot", "cmd_pgdown",  "cmd_pgup"};
  for (std::size_t i = 0; i + 1 < std::size(live); ++i) {
    auto* first = findChild<QWidget*>(live[i]);
    auto* second = findChild<QWidget*>(live[i + 1]);
    Q_ASSERT(first && second);
    setTabOrder(first, second);
  }
}

void Frm_Main::wireRun() {
  RunView& v = run_->view;
  runPanel_->attach(v);
  livePanel_->attach(v);
  calibrationPanel_->attach(v);
  v.openSetup = [this] {
    if (setup_) setup_->show();
  };
  v.hideOtherWindows = [this] {
    if (setup_) setup_->hide();
    if (offline_) offline_->hide();
  };
  v.runButtons = [this](int state) { showRunState(state); };
  v.blankButtons = [this](bool reading) { showBlankReading(reading); };
  v.outputs = [this](const OutputLook& look) { outputPanels_->showLook(look); };
  v.userBin = [this] { return groupsPanel_->userBin(); };
  v.report = [this](bool autoreport) {
    reports_->endOfRun(autoreport);
    if (reportCommand) reportCommand(autoreport);
  };
  v.showMain = [this] { show(); };
  v.linkNotice = [this](bool lost, const std::string& text) {
    if (text.empty()) {
      linkNotice_->setVisible(false);
      return;
    }
    linkNotice_->setStyleSheet(lost ? "QLabel { background: #c00000; color: white; padding: 4px; }"
                                    : "QLabel { background: #006000; color: white; padding: 4px; }");
    linkNotice_->setText(Q(text));
    linkNotice_->setVisible(true);
    if (!lost) {
      // "Back" stays for ten seconds unless the link is lost again meanwhile.
      QTimer::singleShot(10000, linkNotice_, [this] {
        if (!engine_->linkWatch.lost()) linkNotice_->setVisible(false);
      });
    }
  };
  v.folderNotice = [this](const std::string& message) {
    // The run has started in a later minute's folder: said without stopping it.
    auto* box = new QMessageBox(QMessageBox::Information, windowTitle(), Q(message), QMessageBox::Ok, this);
    box->setObjectName("folderNotice");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  };
  v.recordError = [this](const std::string& message) {
    // Not modal: the acquisition timer goes on while the message is shown.
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), Q(message), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  };
  showRunState(kStopped);
}

// A run (or a blank reading) makes the other windows and the calibration
// choices unavailable; Stop stays available in every state.
void Frm_Main::showRunState(int state) {
  const bool active = state == kRunning || state == kPaused;
  runPanel_->showRunState(state);
  connectionPanel_->followRun(active);
  calibrationPanel_->followRunState(state);
}

void Frm_Main::showBlankReading(bool reading) {
  runPanel_->showBlankReading(reading);
  if (reading) connectionPanel_->followRun(true);
}

bool Frm_Main::connectInstrument() { return connectionPanel_->connectInstrument(); }

void Frm_Main::backToChooser() {
  // The port stays open.
  if (setup_) setup_->Txt_description->setPlainText(runPanel_->description());
  if (init_) init_->show();
  hide();
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
  // A clean state; the light and temperature buttons reset.
  StartupStage = 0;
  engine_->runState = kStopped;
  program_.connection.offline = false;
  run_->Autorun = IsAutorunArgument(commandLine_.toStdString());
  outputPanels_->showLoadStart();
  calibrationPanel_->hideStatusFrame();

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
        runPanel_->setDescription(setup_->Txt_description->toPlainText());
        init_->show();
      });
      connect(setup_, &Frm_setup::detectionHandOver, this, [this](const DetectionHandOver& h) {
        calibrationPanel_->takeEditorDetection(h.organismEntry, h.snrText);
      });
      connect(setup_, &Frm_setup::toolsChanged, this, [this](const ToolEffects& e) {
        if (e.calibrationFrame) calibrationPanel_->frame()->setVisible(*e.calibrationFrame);
        // The light and temperature frames follow the project's tool
        // switches as at the load.
        if (e.lightFrame || e.pulseFrame || e.lightEnabledCheck || e.temperatureFrame)
          outputPanels_->showProject(DeriveMainControls(program_.ws, engine_->calibration.snrFactor));
      });
      connect(setup_, &Frm_setup::continueToRun, this, [this](const DetectionHandOver& h) {
        runPanel_->setDescription(setup_->Txt_description->toPlainText());
        runPanel_->refresh();
        livePanel_->showProject();
        show();
        raise();
        activateWindow();
        if (h.connect) connectInstrument();
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

  applyProjectControls();  // StartupStage = 5 once the detection factor is set
  connectionPanel_->checkPort(ws.config.Serial_COM);
  connectionPanel_->showInstrumentStatus();

  // The report bin list, from the report settings.
  const int userDefined = LoadReportConfig(ws.programFolder, program_.report, 1, program_.op);
  groupsPanel_->showBinSizes(MakeBinSizeList(userDefined, program_.report.Bin));

  // The group list and the project label.
  livePanel_->showProject();
  groupsPanel_->showFirstGroup();
  runPanel_->showProjectLabel();
  statusStep(2);
  if (program_.ended) return;

  runPanel_->disablePause();
  engine_->runState = kStopped;
  StartupStage = 7;
  statusStep(3);
  if (program_.ended) return;
  StartupStage = 8;
  statusStep(4);
  if (program_.ended) return;
  init_->setEnabled(true);
  StartupStage = 9;

  // "/run" goes straight to the main window.
  if (run_->Autorun) {
    show();
    // The run needs the instrument: connect as "Run Latest Project" does and
    // start only when it was found (a failed search leaves the program as a
    // failed connection leaves it).
    if (program_.connection.connected || connectInstrument()) runPanel_->start();
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

// The project's tool frames, organism and detection factor, automatic
// switches, light and temperature programmes; then calibration control off.
void Frm_Main::applyProjectControls() {
  MainControls c = DeriveMainControls(program_.ws, engine_->calibration.snrFactor);
  calibrationPanel_->showProjectPreset(c);
  StartupStage = 5;
  calibrationPanel_->showProjectSwitches(c);
  outputPanels_->showProject(c);
  calibrationPanel_->calibrationControlOff();
}

void Frm_Main::activate() {
  try {
    runPanel_->refresh();
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
      // The project may have changed in the editor meanwhile.
      if (engine_->runState == kStopped) livePanel_->showProject();
      show();
      activate();
      if (!program_.connection.connected) connectInstrument();
      break;
    case 2:
      init_->hide();
      if (!offline_) {
        offline_ = new Frm_offline(program_, [this]() -> Frm_report& { return reports_->reportWindow(); });
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
