#include "ui/reports/frm_report.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

#include "reports/report_config.h"
#include "reports/report_settings.h"
#include "reports/well_export.h"
#include "ui/app/program.h"
#include "ui/app/widgets.h"
#include "ui/reports/worker_seams.h"

namespace orb {

namespace {

std::string S(const QString& q) { return q.toStdString(); }

// "Block 3/12" as progress 3 of 12; false for other status texts.
bool BlockProgress(const std::string& text, int& done, int& total) {
  return std::sscanf(text.c_str(), "Block %d/%d", &done, &total) == 2;
}

}  // namespace

Frm_report::Frm_report(Program& program, QWidget* parent) : QMainWindow(parent), program_(program) {
  setObjectName("frm_report");
  setWindowTitle("Report Output");
  build();
  wire();
}

void Frm_report::build() {
  auto* central = new QWidget(this);
  auto* top = new QVBoxLayout(central);

  auto* inputRow = new QHBoxLayout;
  Txt_inputfile = TextBox(central, "Txt_inputfile");
  inputRow->addWidget(new QLabel("Acquisition:", central));
  inputRow->addWidget(Txt_inputfile, 1);
  top->addLayout(inputRow);

  frame_options = Named(new QGroupBox("Report", central), "frame_options");
  auto* grid = new QGridLayout(frame_options);
  grid->addWidget(new QLabel("Set Report Options:", frame_options), 0, 0, 1, 2);
  grid->addWidget(new QLabel("Bin size (min):", frame_options), 1, 0);
  Cmb_binsize = Named(new QComboBox(frame_options), "Cmb_binsize");
  Cmb_binsize->setEditable(true);
  grid->addWidget(Cmb_binsize, 1, 1);
  auto* reportGroup = new QButtonGroup(this);
  const char* reportCaptions[2] = {"Excel [.csv]", "Text [.txt]"};
  for (int i = 0; i < 2; ++i) {
    Option_report[i] = Named(new QRadioButton(reportCaptions[i], frame_options),
                             qPrintable(QString("Option_report%1").arg(i)));
    reportGroup->addButton(Option_report[i], i);
    grid->addWidget(Option_report[i], 2 + i, 0);
  }
  grid->addWidget(new QLabel("spacer =", frame_options), 4, 0);
  txt_customspacer = TextBox(frame_options, "txt_customspacer");
  grid->addWidget(txt_customspacer, 4, 1);

  grid->addWidget(new QLabel("Group Statistics:", frame_options), 0, 2);
  const char* statCaptions[5] = {"Average", "Median", "Std Error", "Std Dev", "\"N\""};
  for (int i = 0; i < 5; ++i) {
    Chk_statistic[i] = Named(new QCheckBox(statCaptions[i], frame_options),
                             qPrintable(QString("Chk_statistic%1").arg(i)));
    grid->addWidget(Chk_statistic[i], 1 + i, 2);
  }
  grid->addWidget(new QLabel("Output format:", frame_options), 0, 3);
  auto* outputGroup = new QButtonGroup(this);
  const char* outputCaptions[5] = {"Rows", "List", "W.Array", "CH.Array", "Histogram Body_bends (experimental)"};
  for (int i = 0; i < 5; ++i) {
    Option_output[i] = Named(new QRadioButton(outputCaptions[i], frame_options),
                             qPrintable(QString("Option_output%1").arg(i)));
    outputGroup->addButton(Option_output[i], i);
    grid->addWidget(Option_output[i], 1 + i, 3);
  }
  Option_output[4]->setVisible(false);
  grid->addWidget(new QLabel("Basal Meassure:", frame_options), 6, 0);
  cmbbasal = Named(new QComboBox(frame_options), "cmbbasal");
  grid->addWidget(cmbbasal, 6, 1, 1, 2);
  chk_autoreport = Named(new QCheckBox("Autoreport", frame_options), "chk_autoreport");
  grid->addWidget(chk_autoreport, 6, 3);
  top->addWidget(frame_options);

  auto* buttons = new QHBoxLayout;
  Cmd_generate = Named(new QPushButton("Generate...", central), "Cmd_generate");
  Cmd_cancel = Named(new QPushButton("Cancel", central), "Cmd_cancel");
  buttons->addStretch(1);
  buttons->addWidget(Cmd_generate);
  buttons->addWidget(Cmd_cancel);
  top->addLayout(buttons);

  frame_raw = Named(new QGroupBox("Raw data processing:", central), "frame_raw");
  auto* raw = new QGridLayout(frame_raw);
  raw->addWidget(new QLabel("Organism:", frame_raw), 0, 0);
  Cmb_organism = Named(new QComboBox(frame_raw), "Cmb_organism");
  raw->addWidget(Cmb_organism, 0, 1);
  raw->addWidget(new QLabel("Method:", frame_raw), 1, 0);
  Cmb_dspmethod = Named(new QComboBox(frame_raw), "Cmb_dspmethod");
  raw->addWidget(Cmb_dspmethod, 1, 1);
  raw->addWidget(new QLabel("Threshold:", frame_raw), 2, 0);
  frmtxt_threshold = TextBox(frame_raw, "frmtxt_threshold");
  raw->addWidget(frmtxt_threshold, 2, 1);
  raw->addWidget(new QLabel("Analyze:", frame_raw), 3, 0);
  auto* hours = new QHBoxLayout;
  frmtxt_datalapse = TextBox(frame_raw, "frmtxt_datalapse");
  frmtxt_datalapse->setText("1");
  hours->addWidget(frmtxt_datalapse);
  hours->addWidget(new QLabel("hs", frame_raw));
  raw->addLayout(hours, 3, 1);
  Chk_replacedata = Named(new QCheckBox("Replace old data", frame_raw), "Chk_replacedata");
  Chk_rawexport = Named(new QCheckBox("Export Raw", frame_raw), "Chk_rawexport");
  raw->addWidget(Chk_replacedata, 4, 0);
  raw->addWidget(Chk_rawexport, 4, 1);
  cmd_runframe = Named(new QPushButton("RUN", frame_raw), "cmd_runframe");
  cmd_stopframe = Named(new QPushButton("STOP", frame_raw), "cmd_stopframe");
  raw->addWidget(cmd_runframe, 5, 0);
  raw->addWidget(cmd_stopframe, 5, 1);
  frmprogress = Named(new QProgressBar(frame_raw), "frmprogress");
  frmprogress->setRange(0, 1);
  frmprogress->setValue(0);
  raw->addWidget(frmprogress, 6, 0, 1, 2);
  frmlbl_status = Named(new QLabel("Block xx/xx", frame_raw), "frmlbl_status");
  frmlbl_status->setVisible(false);
  raw->addWidget(frmlbl_status, 7, 0, 1, 2);
  frame_raw->setVisible(false);
  top->addWidget(frame_raw);
  setCentralWidget(central);

  QMenu* advanced = menuBar()->addMenu("Advanced");
  advanced->setObjectName("mnu_advanced");
  mnu_analyzeraw = Named(advanced->addAction("Analyze Raw Data"), "mnu_analyzeraw");
  mnu_filewell = Named(advanced->addAction("1 file/well Report"), "mnu_filewell");
}

void Frm_report::wire() {
  for (int i = 0; i < 2; ++i)
    connect(Option_report[i], &QRadioButton::clicked, this, [this, i] {
      ReportWindowControls c = controls();
      ChooseReportFileType(c, i);
      txt_customspacer->setText(Q(c.spacerText));
    });
  connect(Cmb_organism, qOverload<int>(&QComboBox::activated), this, [this](int i) {
    ReanalysisControls r = rawControls();
    r.chooseOrganism(i);
    frmtxt_threshold->setText(Q(r.thresholdText));
  });
  connect(frmtxt_threshold, &QLineEdit::editingFinished, this, [this] {
    ReportWindowControls c = controls();
    LeaveReportThreshold(c);
    frmtxt_threshold->setText(Q(c.thresholdText));
  });
  connect(Chk_rawexport, &QCheckBox::clicked, this, [this](bool checked) {
    ReanalysisControls r = rawControls();
    r.setExportRaw(checked);
    showRawControls(r);
  });
  connect(Chk_replacedata, &QCheckBox::clicked, this, [this](bool checked) {
    ReanalysisControls r = rawControls();
    r.setReplaceOldData(checked);
    showRawControls(r);
  });
  connect(Cmd_generate, &QPushButton::clicked, this, [this] {
    if (!busy_) generate();
  });
  connect(Cmd_cancel, &QPushButton::clicked, this, [this] {
    if (busy_) return;
    cmbbasal->clear();
    hide();
  });
  connect(mnu_analyzeraw, &QAction::triggered, this, [this] { analyzeRawData(); });
  connect(mnu_filewell, &QAction::triggered, this, [this] { exportPerWell(); });
  connect(cmd_runframe, &QPushButton::clicked, this, [this] {
    if (!busy_) runRawAnalysis();
  });
  connect(cmd_stopframe, &QPushButton::clicked, this, [this] { stopRawAnalysis(); });
}

void Frm_report::loadOnce(bool userDefined) {
  if (loaded_) return;
  loaded_ = true;
  Cmb_dspmethod->clear();
  for (const auto& name : ReportMethodNames()) Cmb_dspmethod->addItem(Q(name));
  Cmb_organism->clear();
  for (const auto& name : ReportOrganismNames()) Cmb_organism->addItem(Q(name));
  ReportWindowControls c = controls();
  LoadReportWindow(program_.ws.programFolder, program_.report, userDefined, c, program_.op);
  showControls(c);
}

bool Frm_report::showMyReport(const std::filesystem::path& lastFolder, const std::string& mainBinText) {
  loadOnce(userDefinedChecked ? userDefinedChecked() : false);
  ReportWindowControls c = controls();
  if (!ShowMyReport(lastFolder, mainBinText, c, program_.op)) {
    Cmb_binsize->setCurrentText(Q(c.binText));
    return false;
  }
  showControls(c);
  const bool wasVisible = isVisible();
  show();
  raise();
  // Shown again while open: no show event, so the automatic report starts here.
  if (wasVisible) scheduleAutoreport();
  return true;
}

void Frm_report::setBasalList(const std::vector<std::string>& acquisitions) {
  cmbbasal->clear();
  cmbbasal->addItem("-");
  for (const auto& a : acquisitions) cmbbasal->addItem(Q(a));
}

ReportWindowControls Frm_report::controls() const {
  ReportWindowControls c;
  c.inputFile = S(Txt_inputfile->text());
  for (int i = 0; i < Cmb_binsize->count(); ++i) c.binSizes.push_back(S(Cmb_binsize->itemText(i)));
  c.binText = S(Cmb_binsize->currentText());
  c.reportOption = Option_report[1]->isChecked() ? 1 : 0;
  c.spacerText = S(txt_customspacer->text());
  c.outputOption = 0;
  for (int i = 0; i < 5; ++i)
    if (Option_output[i]->isChecked()) c.outputOption = i;
  c.histogramVisible = !Option_output[4]->isHidden();
  for (int i = 0; i < 5; ++i) c.statistic[i] = Chk_statistic[i]->isChecked();
  for (int i = 0; i < cmbbasal->count(); ++i) c.basalList.push_back(S(cmbbasal->itemText(i)));
  c.basalText = S(cmbbasal->currentText());
  c.autoreport = chk_autoreport->isChecked();
  c.organism = Cmb_organism->currentIndex() < 0 ? 0 : Cmb_organism->currentIndex();
  c.method = Cmb_dspmethod->currentIndex() < 0 ? 1 : Cmb_dspmethod->currentIndex();
  c.thresholdText = S(frmtxt_threshold->text());
  c.hoursText = S(frmtxt_datalapse->text());
  c.replaceData = Chk_replacedata->isChecked();
  c.rawExport = Chk_rawexport->isChecked();
  return c;
}

void Frm_report::showControls(const ReportWindowControls& c) {
  Txt_inputfile->setText(Q(c.inputFile));
  Cmb_binsize->clear();
  for (const auto& b : c.binSizes) Cmb_binsize->addItem(Q(b));
  Cmb_binsize->setCurrentText(Q(c.binText));
  Option_report[c.reportOption == 1 ? 1 : 0]->setChecked(true);
  txt_customspacer->setText(Q(c.spacerText));
  Option_output[4]->setVisible(c.histogramVisible);
  Option_output[c.outputOption >= 0 && c.outputOption < 5 ? c.outputOption : 0]->setChecked(true);
  for (int i = 0; i < 5; ++i) Chk_statistic[i]->setChecked(c.statistic[i]);
  if (c.basalList.empty()) {
    cmbbasal->clear();
  } else {
    setBasalList({c.basalList.begin() + (c.basalList.front() == "-" ? 1 : 0), c.basalList.end()});
    cmbbasal->setCurrentText(Q(c.basalText));
  }
  chk_autoreport->setChecked(c.autoreport);
  if (c.organism < Cmb_organism->count()) Cmb_organism->setCurrentIndex(c.organism);
  if (c.method < Cmb_dspmethod->count()) Cmb_dspmethod->setCurrentIndex(c.method);
  frmtxt_threshold->setText(Q(c.thresholdText));
  frmtxt_datalapse->setText(Q(c.hoursText));
  Chk_replacedata->setChecked(c.replaceData);
  Chk_rawexport->setChecked(c.rawExport);
  frmtxt_datalapse->setEnabled(!c.replaceData);
}

ReanalysisControls Frm_report::rawControls() const {
  ReanalysisControls r;
  r.thresholdText = S(frmtxt_threshold->text());
  r.organism = Cmb_organism->currentIndex() < 0 ? 0 : Cmb_organism->currentIndex();
  r.method = Cmb_dspmethod->currentIndex() < 0 ? 1 : Cmb_dspmethod->currentIndex();
  r.hoursText = S(frmtxt_datalapse->text());
  r.hoursEnabled = frmtxt_datalapse->isEnabled();
  r.replaceOldData = Chk_replacedata->isChecked();
  r.exportRaw = Chk_rawexport->isChecked();
  r.binText = S(Cmb_binsize->currentText());
  return r;
}

void Frm_report::showRawControls(const ReanalysisControls& r) {
  frmtxt_threshold->setText(Q(r.thresholdText));
  frmtxt_datalapse->setText(Q(r.hoursText));
  frmtxt_datalapse->setEnabled(r.hoursEnabled);
  Chk_replacedata->setChecked(r.replaceOldData);
  Chk_rawexport->setChecked(r.exportRaw);
}

void Frm_report::setWorking(bool working) {
  busy_ = working;
  // The automatic report keeps the option frame disabled from its start to its end.
  frame_options->setEnabled(!working && !autoreportRunning_);
  Cmd_generate->setEnabled(!working);
  Cmd_cancel->setEnabled(!working);
  cmd_runframe->setEnabled(!working);
  menuBar()->setEnabled(!working);
}

ReportResult Frm_report::generate() {
  ReportWindowControls c = controls();
  GuiOperator op(program_.op, this);
  GuiLauncher launcher(program_.launcher, this);
  setWorking(true);
  ReportResult result;
  try {
    result = RunOnWorker([&] { return GenerateFromControls(c, program_.ws.programFolder, op, launcher, &oneShot_); });
  } catch (...) {
    setWorking(false);
    throw;
  }
  setWorking(false);
  Cmb_binsize->setCurrentText(Q(c.binText));
  return result;
}

bool Frm_report::analyzeRawData() {
  const std::string folder = S(Txt_inputfile->text());
  if (folder.empty() || !RawDataAvailable(folder)) {
    program_.op.inform(kNoRawDataMessage);
    return false;
  }
  frame_raw->setVisible(true);
  return true;
}

ReanalysisResult Frm_report::runRawAnalysis() {
  ReanalysisControls r = rawControls();
  const std::filesystem::path folder = S(Txt_inputfile->text());
  ReportRequest request = ReportRequestFromControls(controls(), program_.ws.programFolder);
  request.oneShotSetting = &oneShot_;
  GuiOperator op(program_.op, this);
  GuiLauncher launcher(program_.launcher, this);
  WorkerEventLoop events;
  stop_.clear();
  frmlbl_status->setVisible(true);
  frmprogress->setRange(0, 1);
  frmprogress->setValue(0);
  // Each status text is shown before the worker goes on: the label and the
  // progress bar name the interval being counted, and a STOP pressed while
  // it shows stops the work after that interval.
  auto status = [this](const std::string& text) {
    OnThreadOf(this, [this, &text] {
      frmlbl_status->setText(Q(text));
      int done = 0, total = 0;
      if (BlockProgress(text, done, total) && total > 0) {
        frmprogress->setRange(0, total);
        frmprogress->setValue(done);
      }
      if (statusShown) statusShown(text);
    });
  };
  setWorking(true);
  ReanalysisResult result;
  try {
    result = RunOnWorker([&] {
      return RunRawReanalysis(program_.ws.programFolder, folder, r, op, events, stop_,
                              GeneratorReportWriter(request, op, launcher), status);
    });
  } catch (...) {
    setWorking(false);
    throw;
  }
  setWorking(false);
  if (result.shownHours) frmtxt_datalapse->setText(Q(*result.shownHours));
  if (result.bin > 0) Cmb_binsize->setCurrentText(QString::number(result.bin));
  return result;
}

void Frm_report::stopRawAnalysis() { stop_.request(); }

void Frm_report::exportPerWell() {
  const int bin = LeadingInteger(S(Cmb_binsize->currentText()));
  RunWellExport(program_.ws.programFolder, S(Txt_inputfile->text()), bin, program_.op, program_.clock,
                program_.launcher);
}

void Frm_report::runAutoreport() {
  if (busy_) return;
  autoreportRunning_ = true;
  frame_options->setEnabled(false);
  generate();
  if (program_.report.rawexport == 1 && analyzeRawData()) {
    Chk_rawexport->setChecked(true);
    ReanalysisControls r = rawControls();
    r.setExportRaw(true);
    showRawControls(r);
    runRawAnalysis();
  }
  program_.op.inform("Report File AutoGenerated");
  chk_autoreport->setChecked(false);
  autoreportRunning_ = false;
  frame_options->setEnabled(true);
  hide();
  if (showMain) showMain();
}

void Frm_report::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  scheduleAutoreport();
}

void Frm_report::scheduleAutoreport() {
  if (chk_autoreport->isChecked() && !autoreportPending_) {
    autoreportPending_ = true;
    QTimer::singleShot(0, this, [this] {
      autoreportPending_ = false;
      if (chk_autoreport->isChecked()) runAutoreport();
    });
  }
}

void Frm_report::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  frame_options->setTitle("Report");
  if (showMainBin) showMainBin(std::to_string(program_.report.Bin));
  cmbbasal->clear();
  QMainWindow::closeEvent(event);
}

}  // namespace orb
