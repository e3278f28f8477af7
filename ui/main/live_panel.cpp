#include "ui/main/live_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "acquisition/engine.h"
#include "acquisition/run_control.h"
#include "app/workspace.h"
#include "common/seams.h"
#include "ui/app/widgets.h"
#include "ui/plots/plot_widget.h"

namespace orb {

namespace {

QPushButton* Button(QWidget* parent, const char* caption, const char* name, int width = 0) {
  auto* b = Named(new QPushButton(caption, parent), name);
  if (width > 0) b->setMaximumWidth(width);
  return b;
}

}  // namespace

LivePanel::LivePanel(Workspace& ws, AcquisitionEngine& engine, Operator& op, QComboBox* groups, QListWidget* wells,
                     QCheckBox* bodyBends, QWidget* parent)
    : QObject(parent), ws_(ws), engine_(engine), op_(op), combogrup(groups), lstgrup(wells),
      chk_bodybends(bodyBends) {
  build(parent);
  wire();
}

void LivePanel::build(QWidget* parent) {
  // The trace and the beam it shows.
  tracePane_ = new QWidget(parent);
  Picreal = Named(new PlotWidget(tracePane_), "Picreal");
  Picreal->setMinimumSize(360, 170);
  Cmdzoom_minus = Button(tracePane_, "-", "Cmdzoom_minus", 32);
  txtzoom = TextBox(tracePane_, "txtzoom", true);
  txtzoom->setMaximumWidth(36);
  Cmdzoom_plus = Button(tracePane_, "+", "Cmdzoom_plus", 32);
  lblcanal = Named(new QLabel(tracePane_), "lblcanal");
  lblcanal->setMinimumWidth(lblcanal->fontMetrics().horizontalAdvance("Beam 000") + 8);
  Combofila = Named(new QComboBox(tracePane_), "Combofila");
  Combocol = Named(new QComboBox(tracePane_), "Combocol");
  txtsub = TextBox(tracePane_, "txtsub");
  txtsub->setMaximumWidth(40);
  cmdbeam_minus = Button(tracePane_, "<", "cmdbeam_minus", 32);
  txtbeam = TextBox(tracePane_, "txtbeam", true);
  txtbeam->setMaximumWidth(64);
  cmdbeam_plus = Button(tracePane_, ">", "cmdbeam_plus", 32);

  auto* beamRow = new QHBoxLayout;
  beamRow->addWidget(lblcanal);
  beamRow->addWidget(Combofila);
  beamRow->addWidget(Combocol);
  beamRow->addWidget(txtsub);
  beamRow->addWidget(cmdbeam_minus);
  beamRow->addWidget(txtbeam);
  beamRow->addWidget(cmdbeam_plus);
  beamRow->addStretch(1);
  beamRow->addWidget(new QLabel("Zoom:", tracePane_));
  beamRow->addWidget(Cmdzoom_minus);
  beamRow->addWidget(txtzoom);
  beamRow->addWidget(Cmdzoom_plus);
  auto* trace = new QVBoxLayout(tracePane_);
  trace->setContentsMargins(0, 0, 0, 0);
  trace->addWidget(Picreal, 1);
  trace->addLayout(beamRow);

  // The activity plot and its modes.
  activityPane_ = new QWidget(parent);
  Picact = Named(new PlotWidget(activityPane_), "Picact");
  Picact->setMinimumSize(360, 170);
  Cmd_barplot = Button(activityPane_, "&Bars", "Cmd_barplot");
  Cmd_gridplot = Button(activityPane_, "Plate &map", "Cmd_gridplot");
  Cmd_histoplot = Button(activityPane_, "Hi&stogram", "Cmd_histoplot");
  Cmd_histoplot->setEnabled(false);
  cmd_pgdown = Button(activityPane_, "<", "cmd_pgdown", 32);
  cmd_pgup = Button(activityPane_, ">", "cmd_pgup", 32);
  cmd_pgdown->hide();
  cmd_pgup->hide();
  auto* modeRow = new QHBoxLayout;
  for (auto* b : {Cmd_barplot, Cmd_gridplot, Cmd_histoplot}) modeRow->addWidget(b);
  modeRow->addStretch(1);
  modeRow->addWidget(cmd_pgdown);
  modeRow->addWidget(cmd_pgup);
  auto* activity = new QVBoxLayout(activityPane_);
  activity->setContentsMargins(0, 0, 0, 0);
  activity->addWidget(Picact, 1);
  activity->addLayout(modeRow);
  showZoom();
}

void LivePanel::wire() {
  EngineHooks& h = engine_.hooks;
  h.refreshTrace = [this] { redrawTrace(); };
  h.rescaleTrace = [this] {
    Picreal->setScene(display_.RescaleTrace(engine_));
    showZoom();
  };
  h.redrawActivity = [this] { showActivity(display_.RedrawActivityPlot(engine_, ws_.plate, ws_.groups)); };

  connect(Cmdzoom_plus, &QPushButton::clicked, this, [this] {
    Picreal->setScene(display_.ZoomPlus(engine_));
    showZoom();
  });
  connect(Cmdzoom_minus, &QPushButton::clicked, this, [this] {
    Picreal->setScene(display_.ZoomMinus(engine_));
    showZoom();
  });
  connect(Cmd_barplot, &QPushButton::clicked, this,
          [this] { showActivity(display_.BarPlot(engine_, ws_.plate, ws_.groups)); });
  connect(Cmd_gridplot, &QPushButton::clicked, this,
          [this] { showActivity(display_.GridPlot(engine_, ws_.plate, ws_.groups)); });
  connect(Cmd_histoplot, &QPushButton::clicked, this,
          [this] { showActivity(display_.HistoPlot(engine_, ws_.plate, ws_.groups)); });
  connect(cmd_pgup, &QPushButton::clicked, this,
          [this] { showActivity(display_.PageUp(engine_, ws_.plate, ws_.groups)); });
  connect(cmd_pgdown, &QPushButton::clicked, this,
          [this] { showActivity(display_.PageDown(engine_, ws_.plate, ws_.groups)); });

  connect(combogrup, qOverload<int>(&QComboBox::activated), this, &LivePanel::chooseGroup);
  // A double click or Enter takes the well list's entry.
  connect(lstgrup, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    if (item) takeBeam(display_.TakeEntry(item->text().toStdString(), ws_.plate, ws_.groups));
  });
  auto step = [this](int delta) {
    const EntryStep s = display_.StepEntry(lstgrup->currentRow(), delta, ws_.plate, ws_.groups);
    if (s.index < 0) return;
    lstgrup->setCurrentRow(s.index);
    txtbeam->setText(Q(s.txtbeam));
    takeBeam(s.choice);
  };
  connect(cmdbeam_plus, &QPushButton::clicked, this, [step] { step(+1); });
  connect(cmdbeam_minus, &QPushButton::clicked, this, [step] { step(-1); });
  connect(Combofila, qOverload<int>(&QComboBox::activated), this, [this](int) { takeWellControls(); });
  connect(Combocol, qOverload<int>(&QComboBox::activated), this, [this](int) { takeWellControls(); });
  connect(txtsub, &QLineEdit::editingFinished, this, &LivePanel::takeWellControls);
  connect(chk_bodybends, &QCheckBox::clicked, this, &LivePanel::switchBodyBends);
}

void LivePanel::attach(RunView& v) {
  v.prepareDisplays = [this] {
    display_.PrepareRun(ws_.plate, ws_.groups);
    Picreal->setScene(display_.ClearTrace(std::max<int>(1, ws_.setup.RT_Buffer)));
    Picact->setScene(display_.PreparedActivity(ws_.plate));
  };
}

void LivePanel::showProject() {
  combogrup->clear();
  for (const std::string& entry : GroupListEntries(ws_.groups)) combogrup->addItem(Q(entry));
  Combofila->clear();
  for (const std::string& row : RowLetters(ws_.plate)) Combofila->addItem(Q(row));
  Combocol->clear();
  for (const std::string& column : ColumnNumbers(ws_.plate)) Combocol->addItem(Q(column));
  lstgrup->clear();
  display_.SetSelectedBeam(display_.SelectedBeam, ws_.plate, ws_.groups);
  for (const std::string& entry : display_.BeamEntries(ws_.plate)) lstgrup->addItem(Q(entry));
  Combofila->setCurrentText(Q(display_.SelectedRow));
  Combocol->setCurrentText(QString::number(display_.SelectedColumn));
  lblcanal->setText(QString::number(display_.SelectedBeam));
  // The histogram plot needs the body-bends mode, which only k96u plates have.
  const BodyBendsSwitch rule = SetBodyBendsMode(chk_bodybends->isChecked(), ws_.setup.Plate_format);
  Cmd_histoplot->setEnabled(rule.histoplotEnabled);
  redrawTrace();
  showActivity(display_.RedrawActivityPlot(engine_, ws_.plate, ws_.groups));
}

void LivePanel::showActivity(const ActivityView& view) {
  Picact->setScene(view.scene);
  cmd_pgup->setVisible(view.pageButtonsVisible);
  cmd_pgdown->setVisible(view.pageButtonsVisible);
}

void LivePanel::showZoom() { txtzoom->setText(QString::number(display_.ZoomLevel)); }

void LivePanel::redrawTrace() { Picreal->setScene(display_.RedrawTrace(engine_)); }

void LivePanel::takeBeam(const BeamChoice& choice) {
  if (!choice.taken) return;
  txtsub->setText(Q(choice.txtsub));
  Combofila->setCurrentText(Q(choice.row));
  Combocol->setCurrentText(QString::number(choice.column));
  lblcanal->setText(Q(choice.lblcanal));
  redrawTrace();
}

void LivePanel::chooseGroup(int index) {
  if (index < 0) return;
  const GroupChoice c = display_.ChooseGroup(combogrup->itemText(index).toStdString(), engine_, ws_.plate, ws_.groups);
  lstgrup->clear();
  for (const std::string& entry : c.entries) lstgrup->addItem(Q(entry));
  if (c.selectedEntry >= 0) {
    lstgrup->setCurrentRow(c.selectedEntry);
    txtbeam->setText(lstgrup->currentItem()->text());
  }
  takeBeam(c.choice);
  showActivity(c.view);
}

void LivePanel::takeWellControls() {
  bool ok = false;
  const int column = Combocol->currentText().toInt(&ok);
  if (!ok) return;
  const int beamInWell = txtsub->text().trimmed().isEmpty() ? 0 : txtsub->text().trimmed().toInt();
  takeBeam(display_.SelectWell(Combofila->currentText().toStdString(), column, beamInWell, ws_.plate, ws_.groups));
}

void LivePanel::switchBodyBends(bool checked) {
  const BodyBendsSwitch rule = SetBodyBendsMode(checked, ws_.setup.Plate_format);
  engine_.BodyBendsMode = rule.mode;
  chk_bodybends->setChecked(rule.boxChecked);
  chk_bodybends->setVisible(rule.boxVisible);
  Cmd_histoplot->setEnabled(rule.histoplotEnabled);
  if (!rule.message.empty()) op_.inform(rule.message);
}

}  // namespace orb
