#include "ui/setup/frm_setup.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "app/project_files.h"
#include "app/startup.h"
#include "app/workspace.h"
#include "ui/app/program.h"
#include "ui/app/widgets.h"
#include "ui/setup/plate_widget.h"

namespace orb {

namespace {

QComboBox* List(QWidget* parent, const char* name, const std::vector<std::string>& items) {
  auto* box = Named(new QComboBox(parent), name);
  for (const std::string& item : items) box->addItem(Q(item));
  return box;
}

// A box with its unit after it ("min", "/sec", "bytes").
QWidget* WithUnit(QWidget* parent, QLineEdit* box, const char* unit) {
  auto* holder = new QWidget(parent);
  auto* row = new QHBoxLayout(holder);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(box);
  row->addWidget(new QLabel(unit, holder));
  return holder;
}

}  // namespace

Frm_setup::Frm_setup(Program& program, QWidget* parent) : QWidget(parent), program_(program) {
  setObjectName("Frm_setup");
  setWindowTitle(kEditorCaption);
  build();
  wire();
  loadEditor();
}

void Frm_setup::build() {
  auto* layout = new QVBoxLayout(this);

  // The project and its commands.
  auto* project = new QFormLayout;
  txtprj = TextBox(this, "txtprj", true);
  txtprj->setToolTip("Double click to rename the project");
  txtprj->installEventFilter(this);
  project->addRow("PROJECT", txtprj);
  Txtfolder = TextBox(this, "Txtfolder", true);
  project->addRow("Working Folder:", Txtfolder);
  layout->addLayout(project);
  auto* commands = new QHBoxLayout;
  Cmdnewpj = Named(new QPushButton("New...", this), "Cmdnewpj");
  Cmdsavepj = Named(new QPushButton("Save...", this), "Cmdsavepj");
  cmdLoad = Named(new QPushButton("Load...", this), "cmdLoad");
  for (auto* b : {Cmdnewpj, Cmdsavepj, cmdLoad}) commands->addWidget(b);
  commands->addStretch(1);
  layout->addLayout(commands);

  frm_project = Named(new QGroupBox("SELECT PROJECT TO LOAD:", this), "frm_project");
  auto* projects = new QVBoxLayout(frm_project);
  List_project = Named(new QListWidget(frm_project), "List_project");
  Cmd_cancel = Named(new QPushButton("Cancel", frm_project), "Cmd_cancel");
  projects->addWidget(List_project);
  projects->addWidget(Cmd_cancel, 0, Qt::AlignRight);
  frm_project->hide();
  layout->addWidget(frm_project);

  // The acquisition settings, and beside them the plate and detection.
  auto* settings = new QGridLayout;
  auto* acquisition = new QFormLayout;
  Combo_aqmode = List(this, "Combo_aqmode", AcqModeItems());
  acquisition->addRow("Acq Mode:", Combo_aqmode);
  Txtlapse = TextBox(this, "Txtlapse");
  acquisition->addRow("Acquisition lapse:", WithUnit(this, Txtlapse, "min"));
  Txtsample = TextBox(this, "Txtsample");
  acquisition->addRow("Sample rate:", WithUnit(this, Txtsample, "/sec"));
  Txtbuffer = TextBox(this, "Txtbuffer");
  acquisition->addRow("Real-time Buffer:", WithUnit(this, Txtbuffer, "bytes"));
  Txt_dspinterval = TextBox(this, "Txt_dspinterval");
  acquisition->addRow("DSP Interval:", WithUnit(this, Txt_dspinterval, "bytes"));
  Combosavecount = List(this, "Combosavecount", SaveListItems());
  acquisition->addRow("Save Counts/minute", Combosavecount);
  Combosavereal = List(this, "Combosavereal", SaveListItems());
  acquisition->addRow("Save Real-Time Data", Combosavereal);
  settings->addLayout(acquisition, 0, 0);

  auto* detection = new QGroupBox("Detection algorithm", this);
  auto* detectionForm = new QFormLayout(detection);
  Combowell = Named(new QComboBox(detection), "Combowell");
  detectionForm->addRow("Microplate:", Combowell);
  ComboDSP = List(detection, "ComboDSP", DspMethodItems());
  detectionForm->addRow("Mode:", ComboDSP);
  Cmb_organism = List(detection, "Cmb_organism", EditorOrganismItems());
  detectionForm->addRow("organism", Cmb_organism);
  txt_snr = Named(new QLabel("SNR", detection), "txt_snr");
  txt_snr->setToolTip("Double click to enable edition");
  txt_snr->installEventFilter(this);
  lbl_snr = TextBox(detection, "lbl_snr");
  lbl_snr->setToolTip("Double click to enable edition");
  lbl_snr->setEnabled(false);
  detectionForm->addRow(txt_snr, lbl_snr);
  settings->addWidget(detection, 0, 1);
  layout->addLayout(settings);

  // The tools, behind "[Advanced Tools]".
  cmd_advanced = Named(new QPushButton(kAdvancedClosed, this), "cmd_advanced");
  layout->addWidget(cmd_advanced, 0, Qt::AlignLeft);
  Frame_advanced = Named(new QGroupBox(this), "Frame_advanced");
  auto* tools = new QGridLayout(Frame_advanced);
  chkcalib = Named(new QCheckBox("Calibration Control", Frame_advanced), "chkcalib");
  chklight = Named(new QCheckBox("Light Control*", Frame_advanced), "chklight");
  chktemp = Named(new QCheckBox("Temperature Control*", Frame_advanced), "chktemp");
  Chk_mn4 = Named(new QCheckBox("Menu 4", Frame_advanced), "Chk_mn4");
  Chk_mn5 = Named(new QCheckBox("Menu 5", Frame_advanced), "Chk_mn5");
  Chk_mn6 = Named(new QCheckBox("Menu 6", Frame_advanced), "Chk_mn6");
  lbl_message = Named(new QLabel("*Available only in some Hardware versions!", Frame_advanced), "lbl_message");
  tools->addWidget(chkcalib, 0, 0);
  tools->addWidget(chklight, 0, 1);
  tools->addWidget(chktemp, 0, 2);
  tools->addWidget(Chk_mn4, 1, 0);
  tools->addWidget(Chk_mn5, 1, 1);
  tools->addWidget(Chk_mn6, 1, 2);
  tools->addWidget(lbl_message, 2, 0, 1, 3);
  Frame_advanced->hide();
  layout->addWidget(Frame_advanced);

  // The groups: the plate picture, the group selector with the wells of
  // the selected group and the free wells, and the presets.
  auto* groupsBox = new QGroupBox("Groups", this);
  auto* groupsLayout = new QGridLayout(groupsBox);
  Picwell = Named(new PlateWidget(groupsBox), "Picwell");
  Picwell->setToolTip("Click wells to assign/remove groups");
  Picwell->setMinimumSize(360, 240);
  groupsLayout->addWidget(Picwell, 0, 0, 6, 1);
  combogrup = Named(new QComboBox(groupsBox), "combogrup");
  combogrup->setToolTip("Dblclick to Rename");
  combogrup->installEventFilter(this);
  // On a desktop the first click of a double click opens the list: the
  // right-click menu (and Enter) rename the group too.
  combogrup->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* groupMenu = Named(new QMenu(this), "mngroupname");
  connect(Named(groupMenu->addAction("Rename group..."), "mnrenamegroup"), &QAction::triggered, this,
          [this] { showGroups(groups_->RenameSelectedGroup()); });
  connect(combogrup, &QWidget::customContextMenuRequested, this,
          [this, groupMenu](const QPoint& at) { groupMenu->popup(combogrup->mapToGlobal(at)); });
  groupsLayout->addWidget(combogrup, 0, 1, 1, 3);
  lstgrup = Named(new QListWidget(groupsBox), "lstgrup");
  lstchgrup = Named(new QListWidget(groupsBox), "lstchgrup");
  Command12 = Named(new QPushButton("<=", groupsBox), "Command12");
  Command13 = Named(new QPushButton("=>", groupsBox), "Command13");
  auto* moves = new QVBoxLayout;
  moves->addStretch(1);
  moves->addWidget(Command12);
  moves->addWidget(Command13);
  moves->addStretch(1);
  groupsLayout->addWidget(lstgrup, 1, 1, 3, 1);
  groupsLayout->addLayout(moves, 1, 2, 3, 1);
  groupsLayout->addWidget(lstchgrup, 1, 3, 3, 1);
  Cmd_clear = Named(new QPushButton("CLEAR LIST", groupsBox), "Cmd_clear");
  Combo_sets = Named(new QComboBox(groupsBox), "Combo_sets");
  cmd_goset = Named(new QPushButton("AUTO-ARRANGE", groupsBox), "cmd_goset");
  auto* presets = new QHBoxLayout;
  presets->addWidget(Cmd_clear);
  presets->addWidget(new QLabel("SET:", groupsBox));
  presets->addWidget(Combo_sets, 1);
  presets->addWidget(cmd_goset);
  groupsLayout->addLayout(presets, 4, 1, 1, 3);
  lblnchannel = Named(new QLabel(groupsBox), "lblnchannel");
  groupsLayout->addWidget(lblnchannel, 5, 1, 1, 3);
  groupsLayout->setColumnStretch(0, 3);
  groupsLayout->setColumnStretch(1, 1);
  groupsLayout->setColumnStretch(3, 1);
  mngroup = Named(new QMenu(this), "mngroup");
  layout->addWidget(groupsBox, 1);

  auto* description = new QFormLayout;
  Txt_description = Named(new QTextEdit(this), "Txt_description");
  Txt_description->setMaximumHeight(70);
  description->addRow("Description:", Txt_description);
  layout->addLayout(description);

  auto* leave = new QHBoxLayout;
  Cmdoffline = Named(new QPushButton("<<Back", this), "Cmdoffline");
  Command_main = Named(new QPushButton("Continue to Run...", this), "Command_main");
  leave->addWidget(Cmdoffline);
  leave->addStretch(1);
  leave->addWidget(Command_main);
  layout->addLayout(leave);

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(PendingPlateChange::kDelayMs);
  resize(900, 820);
}

void Frm_setup::wire() {
  Workspace& ws = program_.ws;
  connect(Cmdnewpj, &QPushButton::clicked, this, [this] {
    if (NewProject(program_.ws) == EditorOutcome::Done) loadEditor();
  });
  connect(Cmdsavepj, &QPushButton::clicked, this, [this] {
    if (SaveProjectAction(program_.ws) == EditorOutcome::Done) loadEditor();
  });
  connect(cmdLoad, &QPushButton::clicked, this, [this] {
    const auto list = StartLoad(program_.ws);
    if (!list) return;
    List_project->clear();
    for (const std::string& entry : *list) List_project->addItem(Q(entry));
    frm_project->show();
  });
  connect(List_project, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    if (item && LoadListedProject(program_.ws, item->text().toStdString())) loadEditor();
  });
  connect(Cmd_cancel, &QPushButton::clicked, frm_project, &QWidget::hide);

  connect(Combo_aqmode, qOverload<int>(&QComboBox::activated), this,
          [&ws](int entry) { ChooseAqMode(ws.setup, entry); });
  connect(ComboDSP, qOverload<int>(&QComboBox::activated), this,
          [&ws](int entry) { ChooseDspMethod(ws.setup, entry); });
  connect(Cmb_organism, qOverload<int>(&QComboBox::activated), this, [this, &ws](int entry) {
    const OrganismChoice c = ChooseOrganism(ws.setup, entry);
    if (!c.accepted) return;
    lbl_snr->setText(Q(c.snrText));
    ComboDSP->setCurrentIndex(c.dspMethodEntry);
  });
  connect(Combosavecount, qOverload<int>(&QComboBox::activated), this,
          [this, &ws](int entry) { Combosavecount->setCurrentIndex(ChooseSaveCounts(ws.setup, entry)); });
  connect(Combosavereal, qOverload<int>(&QComboBox::activated), this,
          [this, &ws](int entry) { Combosavereal->setCurrentIndex(ChooseSaveReal(ws.setup, entry)); });

  // The boxes: the lapse, sample rate and DSP interval take every change
  // (the text is put back when the box is left, so that a box being cleared
  // to type a new number is not reset meanwhile); the buffer and the SNR
  // are taken when the box is left.
  auto onChange = [this](QLineEdit* box, BoxEdit (*edit)(ProjectSetup&, const std::string&)) {
    connect(box, &QLineEdit::textEdited, this, [this, box, edit](const QString& text) {
      const BoxEdit e = edit(program_.ws.setup, text.toStdString());
      // The lapse shows its clamps at once: 32000 for 32000 or more, 2 for
      // a number not above 0.
      if (box == Txtlapse && e.accepted && (e.value == 32000 || e.value == 2) && e.text != text.toStdString())
        box->setText(Q(e.text));
    });
    connect(box, &QLineEdit::editingFinished, this, [this, box, edit] {
      if (loading_) return;
      takeBox(box, edit(program_.ws.setup, box->text().toStdString()), true);
    });
  };
  onChange(Txtlapse, &EditLapse);
  onChange(Txtsample, &EditSampleRate);
  onChange(Txt_dspinterval, &EditDspInterval);
  connect(Txtbuffer, &QLineEdit::editingFinished, this, [this] {
    if (loading_) return;
    takeBox(Txtbuffer, EditBuffer(program_.ws.setup, Txtbuffer->text().toStdString()), true);
  });
  connect(lbl_snr, &QLineEdit::editingFinished, this, [this] {
    if (loading_ || !lbl_snr->isEnabled()) return;
    const BoxEdit e = EditSnr(program_.ws.setup, Cmb_organism->currentIndex(), lbl_snr->text().toStdString());
    takeBox(lbl_snr, e, true);
    if (!e.accepted) lbl_snr->setFocus();
  });

  connect(cmd_advanced, &QPushButton::clicked, this, [this] {
    const AdvancedTools t = ToggleAdvancedTools(Frame_advanced->isVisible());
    Frame_advanced->setVisible(t.frameVisible);
    cmd_advanced->setText(Q(t.caption));
  });
  const std::pair<QCheckBox*, int> tools[] = {{chkcalib, 1}, {chklight, 2}, {chktemp, 3},
                                              {Chk_mn4, 4},  {Chk_mn5, 5},  {Chk_mn6, 6}};
  for (const auto& [box, tool] : tools) {
    connect(box, &QCheckBox::clicked, this, [this, tool = tool](bool checked) { setTool(tool, checked); });
  }

  // The plate list acts once it has closed: 200 ms after the choice.
  connect(Combowell, qOverload<int>(&QComboBox::activated), this,
          [this](int index) { platePicked(Combowell->itemText(index)); });
  connect(Timer1, &QTimer::timeout, this, &Frm_setup::plateTimer);

  // The groups.
  connect(combogrup, qOverload<int>(&QComboBox::activated), this,
          [this](int index) { showGroups(groups_->ChooseGroup(index)); });
  connect(Command12, &QPushButton::clicked, this,
          [this] { showGroups(groups_->JoinFreeEntry(lstchgrup->currentRow())); });
  connect(Command13, &QPushButton::clicked, this,
          [this] { showGroups(groups_->FreeGroupEntry(lstgrup->currentRow())); });
  connect(lstchgrup, &QListWidget::itemDoubleClicked, this,
          [this] { showGroups(groups_->JoinFreeEntry(lstchgrup->currentRow())); });
  connect(lstgrup, &QListWidget::itemDoubleClicked, this,
          [this] { showGroups(groups_->FreeGroupEntry(lstgrup->currentRow())); });
  connect(Cmd_clear, &QPushButton::clicked, this, [this] { showGroups(groups_->ClearGroups()); });
  connect(cmd_goset, &QPushButton::clicked, this, [this] {
    showPresetMenu();
    mngroup->popup(cmd_goset->mapToGlobal(QPoint(0, cmd_goset->height())));
  });
  connect(Picwell, &PlateWidget::pressed, this, [this](MouseButton button, double x, double y) {
    if (auto c = groups_->Press(button, x, y)) showGroups(*c);
  });
  connect(Picwell, &PlateWidget::dragged, this, [this](double x, double y) {
    if (auto scene = groups_->Drag(x, y)) Picwell->setScene(*scene);
  });
  connect(Picwell, &PlateWidget::released, this, [this](double x, double y) {
    if (auto c = groups_->Release(x, y)) showGroups(*c);
  });

  connect(Cmdoffline, &QPushButton::clicked, this, [this] {
    Q_EMIT detectionHandOver(BackToChooser(program_.ws.setup));
    hide();
    Q_EMIT backToChooser();
  });
  connect(Command_main, &QPushButton::clicked, this, [this] {
    const DetectionHandOver handOver = ContinueToRun(program_.ws.setup, program_.connection.connected);
    Q_EMIT detectionHandOver(handOver);
    hide();
    Q_EMIT continueToRun(handOver);
  });
}

void Frm_setup::loadEditor() {
  loading_ = true;
  showControls(LoadEditor(program_.ws));
  Workspace& ws = program_.ws;
  groups_ = std::make_unique<GroupEditor>(ws.groups, ws.plate, ws.status, program_.op);
  showGroups(groups_->Load());
  Combo_sets->clear();
  for (const std::string& preset : groups_->Presets()) Combo_sets->addItem(Q(preset));
  loading_ = false;
}

void Frm_setup::showGroups(const GroupControls& c) {
  auto fill = [](QListWidget* list, const std::vector<std::string>& items, int index) {
    list->clear();
    for (const std::string& item : items) list->addItem(Q(item));
    list->setCurrentRow(index);
  };
  combogrup->clear();
  for (const std::string& entry : c.combogrup) combogrup->addItem(Q(entry));
  combogrup->setCurrentIndex(c.combogrupIndex);
  fill(lstgrup, c.lstgrup, c.lstgrupIndex);
  fill(lstchgrup, c.lstchgrup, c.lstchgrupIndex);
  lblnchannel->setText(Q(c.lblnchannel));
  Picwell->setScene(c.picwell);
}

void Frm_setup::showPresetMenu() {
  mngroup->clear();
  const std::vector<PresetMenuItem> items = groups_->PresetMenu();
  for (std::size_t i = 0; i < items.size(); ++i) {
    QAction* item = mngroup->addAction(Q(items[i].caption));
    item->setObjectName(QString("mnopciongrup%1").arg(i));
    item->setCheckable(true);
    item->setChecked(items[i].checked);
    item->setVisible(items[i].visible);
    connect(item, &QAction::triggered, this, [this, i] { showGroups(groups_->ApplyPreset(static_cast<int>(i))); });
  }
}

void Frm_setup::showControls(const EditorControls& c) {
  txtprj->setText(Q(c.projectText));
  Txtfolder->setText(Q(c.folderText));
  Combowell->clear();
  for (const std::string& plate : c.plateItems) Combowell->addItem(Q(plate));
  Combowell->setCurrentIndex(c.plateEntry);
  Combo_aqmode->setCurrentIndex(c.aqModeEntry);
  Txtlapse->setText(Q(c.lapseText));
  Txtsample->setText(Q(c.sampleText));
  Txtbuffer->setText(Q(c.bufferText));
  Txt_dspinterval->setText(Q(c.dspIntervalText));
  ComboDSP->setCurrentIndex(c.dspMethodEntry);
  Cmb_organism->setCurrentIndex(c.organismEntry);
  lbl_snr->setText(Q(c.snrText));
  lbl_snr->setEnabled(false);
  Combosavecount->setCurrentIndex(c.saveCountsEntry);
  Combosavereal->setCurrentIndex(c.saveRealEntry);
  frm_project->setVisible(c.projectListVisible);
  chkcalib->setChecked(c.calibrationTool);
  chkcalib->setEnabled(false);
  chklight->setChecked(c.lightTool);
  chktemp->setChecked(c.temperatureTool);
  Chk_mn4->setChecked(c.menu4);
  Chk_mn5->setChecked(c.menu5);
  Chk_mn6->setChecked(c.menu6);
}

void Frm_setup::showProjectLabel() { txtprj->setText(Q(ProjectLabel(program_.ws))); }

void Frm_setup::takeBox(QLineEdit* box, const BoxEdit& edit, bool putBack) {
  if (putBack && !edit.text.empty()) box->setText(Q(edit.text));
  if (!edit.message.empty()) program_.op.inform(edit.message);
}

void Frm_setup::setTool(int tool, bool checked) { Q_EMIT toolsChanged(SetTool(program_.ws.setup, tool, checked)); }

void Frm_setup::platePicked(const QString& text) {
  pendingPlate_.choose(text.toStdString());
  Timer1->start();
}

void Frm_setup::plateTimer() {
  Timer1->stop();
  const auto chosen = pendingPlate_.tick();
  if (!chosen) return;
  const PlateChangeResult r = ChangePlateFormat(program_.ws, *chosen, program_.op);
  Combowell->setCurrentIndex(Combowell->findText(Q(r.listText)));
  if (r.groupsCleared || r.changed) {
    // The new plate's presets, lists and picture.
    showGroups(groups_->Load());
    Combo_sets->clear();
    for (const std::string& preset : groups_->Presets()) Combo_sets->addItem(Q(preset));
  }
}

bool Frm_setup::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the group selector renames the group, as a double click does.
  if (event->type() == QEvent::KeyPress && watched == combogrup) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      showGroups(groups_->RenameSelectedGroup());
      return true;
    }
  }
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == txtprj) {
      if (RenameCurrentProject(program_.ws) == EditorOutcome::Done) showProjectLabel();
      return true;
    }
    if (watched == combogrup) {
      showGroups(groups_->RenameSelectedGroup());
      return true;
    }
    if (watched == txt_snr) {
      lbl_snr->setEnabled(true);
      lbl_snr->setFocus();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Frm_setup::showEvent(QShowEvent* event) {
  showProjectLabel();
  Txtfolder->setText(Q(program_.ws.ProjectPath.string()));
  QWidget::showEvent(event);
}

void Frm_setup::closeEvent(QCloseEvent* event) {
  // The editor is hidden, never destroyed; closing it returns to the chooser.
  event->ignore();
  hide();
  Q_EMIT backToChooser();
}

}  // namespace orb
