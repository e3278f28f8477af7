#include "ui/browser/frm_offline.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "browser/group_activity.h"
#include "browser/join.h"
#include "browser/list_actions.h"
#include "browser/signal_export.h"
#include "records/record_files.h"
#include "reports/report_window.h"
#include "ui/app/program.h"
#include "ui/app/widgets.h"
#include "ui/reports/frm_report.h"
#include "ui/setup/plate_widget.h"

namespace orb {
namespace {

// The list shows a line's TAB as blanks up to the next multiple of eight
// columns (the font is fixed-width); the line itself stays the item's data.
QString Shown(const std::string& line) {
  std::string out;
  for (char c : line) {
    if (c == '\t') {
      do out += ' ';
      while (out.size() % 8 != 0);
    } else {
      out += c;
    }
  }
  return Q(out);
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
  return Named(new QPushButton(caption, parent), name);
}

QLabel* Label(QWidget* parent, const char* name, const char* caption) {
  return Named(new QLabel(caption, parent), name);
}

}  // namespace

Frm_offline::Frm_offline(Program& program, std::function<Frm_report&()> reportWindow, QWidget* parent)
    : QMainWindow(parent), program_(program), reportWindow_(std::move(reportWindow)) {
  setObjectName("Frm_offline");
  setWindowTitle("<Orbelune> Acquisition Software  --------> Report analysis");
  auto* central = new QWidget(this);
  setCentralWidget(central);
  auto* layout = new QHBoxLayout(central);

  // ---- File > Watching Folders ----
  QMenu* file = menuBar()->addMenu("File");
  file->setObjectName("mnfile");
  QMenu* watching = file->addMenu("Watching Folders");
  watching->setObjectName("mnwatching");
  for (int i = 0; i < 5; ++i) {
    Txtfolder[i] = watching->addAction(QString("_folder%1").arg(i + 1));
    Txtfolder[i]->setObjectName(QString("Txtfolder_%1").arg(i));
    connect(Txtfolder[i], &QAction::triggered, this, [this, i] { watchFolder(i); });
  }

  // ---- the list side ----
  auto* left = new QVBoxLayout;
  layout->addLayout(left, 2);
  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(new QLabel("Filter by:", central));
  txt_search = TextBox(central, "txt_search");
  filterRow->addWidget(txt_search, 1);
  cmd_lupa = Button(central, "cmd_lupa", "Apply");
  filterRow->addWidget(cmd_lupa);
  left->addLayout(filterRow);
  auto* headRow = new QHBoxLayout;
  lbl_date = Label(central, "lbl_date", "Date");
  lbl_date->setCursor(Qt::PointingHandCursor);
  lbl_date->setToolTip("Click to change the order");
  lbl_orden = Label(central, "lbl_orden", "^");
  lblback = Label(central, "lblback", "> Hide subfolders");
  lblback->setCursor(Qt::PointingHandCursor);
  lbl_date->installEventFilter(this);
  lblback->installEventFilter(this);
  headRow->addWidget(lbl_date);
  headRow->addWidget(lbl_orden);
  headRow->addStretch(1);
  headRow->addWidget(lblback);
  left->addLayout(headRow);
  Listpj = Named(new QListWidget(central), "Listpj");
  Listpj->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Listpj->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Listpj->setContextMenuPolicy(Qt::CustomContextMenu);
  Listpj->setMinimumWidth(380);
  Listpj->installEventFilter(this);  // Enter opens the line as a double click does
  left->addWidget(Listpj, 1);
  listMenu = new QMenu(this);
  listMenu->setObjectName("mnlist");
  connect(Named(listMenu->addAction("Rename"), "mnrename"), &QAction::triggered, this, [this] { renameSelected(); });
  connect(Named(listMenu->addAction("Plate Config"), "mnplateconfig"), &QAction::triggered, this,
          [this] { plateConfig(); });
  connect(Named(listMenu->addAction("Find in Folder"), "mnfindfolder"), &QAction::triggered, this,
          [this] { findInFolder(); });
  connect(Named(listMenu->addAction("Delete"), "mndelete"), &QAction::triggered, this, [this] { archiveSelected(); });
  auto* buttons = new QHBoxLayout;
  Cmd_main = Button(central, "Cmd_main", "<< Back");
  Cmd_join = Button(central, "Cmd_join", "Join...");
  Cmd_report = Button(central, "Cmd_report", "[ REPORT ]");
  Cmd_report->setToolTip("Click to Report");
  buttons->addWidget(Cmd_main);
  buttons->addWidget(Cmd_join);
  buttons->addWidget(Cmd_report, 1);
  left->addLayout(buttons);

  // ---- the plot side ----
  auto* right = new QVBoxLayout;
  layout->addLayout(right, 3);
  Picreal = Named(new PlateWidget(central), "Picreal");
  Picreal->setMinimumSize(520, 300);
  right->addWidget(Picreal, 1);
  Pic_status = Named(new PlotWidget(central), "Pic_status");
  Pic_status->setFixedHeight(8);
  Pic_status->setScene(ProgressScene(0));
  right->addWidget(Pic_status);
  mnexporta = new QMenu(this);
  mnexporta->setObjectName("mnexporta");
  bmpexporta = Named(mnexporta->addAction("Export to BMP..."), "bmpexporta");
  asciiexporta = Named(mnexporta->addAction("Export to ASCII..."), "asciiexporta");
  pngexporta = Named(mnexporta->addAction("Export to PNG..."), "pngexporta");
  connect(bmpexporta, &QAction::triggered, this, [this] { exportImage(".bmp"); });
  connect(pngexporta, &QAction::triggered, this, [this] { exportImage(".png"); });
  connect(asciiexporta, &QAction::triggered, this, [this] { exportAscii(); });

  auto* pageRow = new QHBoxLayout;
  pageRow->addWidget(new QLabel("Page:", central));
  Txtpage = Label(central, "Txtpage", "1/1");
  Txtpage->setMinimumWidth(50);
  pageRow->addWidget(Txtpage);
  scrollpage = Named(new QScrollBar(Qt::Horizontal, central), "scrollpage");
  scrollpage->setRange(1, 1);
  pageRow->addWidget(scrollpage, 1);
  right->addLayout(pageRow);

  auto* wellRow = new QHBoxLayout;
  Combofila = Named(new QComboBox(central), "Combofila");
  Combofila->setEditable(true);
  Combocol = Named(new QComboBox(central), "Combocol");
  Combocol->setEditable(true);
  txtsub = TextBox(central, "txtsub");
  txtsub->setText("0");
  txtsub->setMaximumWidth(40);
  lblcanal = Label(central, "lblcanal", "");
  lblcanal->setMinimumWidth(40);
  wellRow->addWidget(new QLabel("Well:", central));
  wellRow->addWidget(Combofila);
  wellRow->addWidget(Combocol);
  wellRow->addWidget(new QLabel("Beam:", central));
  wellRow->addWidget(txtsub);
  wellRow->addWidget(new QLabel("Channel:", central));
  wellRow->addWidget(lblcanal);
  cmdchannels = Button(central, "cmdchannels", "Channel Signal");
  Cmd_leegroups = Button(central, "Cmd_leegroups", "[Group Activity]");
  wellRow->addWidget(cmdchannels);
  wellRow->addWidget(Cmd_leegroups);
  right->addLayout(wellRow);

  auto* analyzeRow = new QHBoxLayout;
  combogrup = Named(new QComboBox(central), "combogrup");
  combogrup->setMinimumWidth(140);
  analyzeRow->addWidget(new QLabel("Group:", central));
  analyzeRow->addWidget(combogrup);
  analyzeRow->addStretch(1);
  analyzeRow->addWidget(new QLabel("Threshold:", central));
  frmtxt_threshold = TextBox(central, "frmtxt_threshold");
  frmtxt_threshold->setMaximumWidth(50);
  analyzeRow->addWidget(frmtxt_threshold);
  cmb_modeanalisis = Named(new QComboBox(central), "cmb_modeanalisis");
  analyzeRow->addWidget(cmb_modeanalisis);
  Cmd_analyze = Button(central, "Cmd_analyze", "Analyze");
  analyzeRow->addWidget(Cmd_analyze);
  right->addLayout(analyzeRow);
  lstgrup = Named(new QListWidget(central), "lstgrup");
  lstgrup->setMaximumHeight(70);
  lstgrup->setFlow(QListView::LeftToRight);
  lstgrup->setWrapping(true);
  right->addWidget(lstgrup);

  // ---- the group editing frame ----
  Framegrup = Named(new QGroupBox("Group edition", central), "Framegrup");
  auto* grid = new QGridLayout(Framegrup);
  grid->addWidget(new QLabel("SET:", Framegrup), 0, 0);
  combogrup2 = Named(new QComboBox(Framegrup), "combogrup2");
  // A double click renames the group; on a desktop the first click of it
  // opens the list, so the right-click menu renames it too.
  combogrup2->installEventFilter(this);
  combogrup2->setToolTip("Double click or right click to rename the group");
  combogrup2->setContextMenuPolicy(Qt::CustomContextMenu);
  groupMenu_ = new QMenu(this);
  groupMenu_->setObjectName("mngroup2");
  connect(Named(groupMenu_->addAction("Rename group..."), "mnrenamegroup"), &QAction::triggered, this, [this] {
    if (regroup_) showRegroup(regroup_->RenameSelectedGroup());
  });
  connect(combogrup2, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { groupMenu_->popup(combogrup2->mapToGlobal(at)); });
  grid->addWidget(combogrup2, 0, 1);
  Combo_sets = Named(new QComboBox(Framegrup), "Combo_sets");
  grid->addWidget(Combo_sets, 0, 2);
  cmd_goset = Button(Framegrup, "cmd_goset", "Go...");
  grid->addWidget(cmd_goset, 0, 3);
  grid->addWidget(new QLabel("Assigned channels:", Framegrup), 1, 0, 1, 2);
  grid->addWidget(new QLabel("Free channels:", Framegrup), 1, 2, 1, 2);
  lstgrup2 = Named(new QListWidget(Framegrup), "lstgrup2");
  lstchgrup2 = Named(new QListWidget(Framegrup), "lstchgrup2");
  lstgrup2->setMaximumHeight(90);
  lstchgrup2->setMaximumHeight(90);
  grid->addWidget(lstgrup2, 2, 0, 1, 2);
  grid->addWidget(lstchgrup2, 2, 2, 1, 2);
  Cmd_clear = Button(Framegrup, "Cmd_clear", "CLEAR LIST");
  cmdcancelgrups = Button(Framegrup, "cmdcancelgrups", "EXIT Group Edition");
  grid->addWidget(Cmd_clear, 3, 0, 1, 2);
  grid->addWidget(cmdcancelgrups, 3, 2, 1, 2);
  Framegrup->hide();
  right->addWidget(Framegrup);

  // ---- wiring ----
  connect(cmd_lupa, &QPushButton::clicked, this, [this] { applyFilter(); });
  connect(txt_search, &QLineEdit::returnPressed, this, [this] { applyFilter(); });
  connect(Listpj, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { clickLine(Listpj->row(item)); });
  connect(Listpj, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { doubleClickLine(Listpj->row(item)); });
  connect(Listpj, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (QListWidgetItem* item = Listpj->itemAt(at)) {
      if (!item->isSelected()) Listpj->setCurrentItem(item);
      clickLine(Listpj->row(item));
    }
    listMenu->popup(Listpj->viewport()->mapToGlobal(at));
  });
  connect(Cmd_main, &QPushButton::clicked, this, &QWidget::close);
  connect(Cmd_join, &QPushButton::clicked, this, [this] { join(); });
  connect(Cmd_report, &QPushButton::clicked, this, [this] { report(); });
  connect(cmdchannels, &QPushButton::clicked, this, [this] { channelSignal(); });
  connect(Cmd_leegroups, &QPushButton::clicked, this, [this] { groupActivity(); });
  connect(Cmd_analyze, &QPushButton::clicked, this, [this] { analyze(); });
  connect(scrollpage, &QScrollBar::valueChanged, this, [this](int page) { changePage(page); });
  connect(Combofila, &QComboBox::currentTextChanged, this, [this] { selectWell(); });
  connect(Combocol, &QComboBox::currentTextChanged, this, [this] { selectWell(); });
  connect(txtsub, &QLineEdit::editingFinished, this, [this] { selectWell(); });
  connect(combogrup, &QComboBox::currentIndexChanged, this, [this] {
    if (filling_ || !groups_) return;
    lstgrup->clear();
    for (const auto& w : ActivityGroupWells(*groups_, combogrup->currentText().toStdString())) lstgrup->addItem(Q(w));
  });
  connect(Picreal, &PlateWidget::pressed, this,
          [this](MouseButton button, double x, double y) { plotPressed(static_cast<int>(button), x, y); });
  connect(Picreal, &PlateWidget::dragged, this, [this](double x, double y) {
    if (mode_ == 3 && regroup_)
      if (auto c = regroup_->Move(x, y)) showRegroup(*c);
  });
  connect(Picreal, &PlateWidget::released, this, [this](double, double) {
    if (mode_ == 3 && regroup_) regroup_->Release();
  });
  connect(combogrup2, &QComboBox::activated, this, [this](int index) {
    if (!filling_ && regroup_) showRegroup(regroup_->ChooseGroup(index));
  });
  connect(Combo_sets, &QComboBox::activated, this, [this](int index) {
    if (!filling_ && regroup_) showRegroup(regroup_->ChooseLayout(index));
  });
  connect(cmd_goset, &QPushButton::clicked, this, [this] {
    if (regroup_) showRegroup(regroup_->Go());
  });
  connect(Cmd_clear, &QPushButton::clicked, this, [this] {
    if (regroup_) showRegroup(regroup_->ClearGroups());
  });
  connect(cmdcancelgrups, &QPushButton::clicked, this, [this] { exitGroupEdition(); });

  resize(1180, 640);
  refresh();
}

Frm_offline::~Frm_offline() = default;

void Frm_offline::refresh() {
  const auto captions = ReadWatchedFolders(program_.ws.programFolder);
  for (int i = 0; i < 5; ++i) Txtfolder[i]->setText(Q(captions[i]));
  list_.load(program_.ws.programFolder, program_.op);
  lbl_orden->setText(Q(list_.orderMarker()));
  filling_ = true;
  cmb_modeanalisis->clear();
  cmb_modeanalisis->addItems({"Mode:0", "Mode:1"});
  cmb_modeanalisis->setCurrentIndex(0);
  filling_ = false;
  frmtxt_threshold->setText("1.8");
  showLines(-1);
  if (mode_ == 0 && list_.selection().loadedAcquisition.empty()) {
    // Until a recording is opened, the picture says how to open one.
    Picreal->setScene(SummaryScene({"Double click a project to show its recordings,",
                                    "and a recording to open it."}));
    cmdchannels->setEnabled(false);
    Cmd_analyze->setEnabled(false);
    Cmd_leegroups->setEnabled(false);
    setReportButton(false);
  }
}

// ---- the list -------------------------------------------------------------

void Frm_offline::showLines(int select) {
  Listpj->clear();
  for (const auto& line : list_.lines()) {
    auto* item = new QListWidgetItem(Shown(line.text), Listpj);
    item->setData(Qt::UserRole, Q(line.text));
  }
  if (select >= 0 && select < Listpj->count()) {
    Listpj->setCurrentRow(select);
    Listpj->scrollToItem(Listpj->item(select));
  }
}

void Frm_offline::setReportButton(bool enabled) {
  Cmd_report->setEnabled(enabled);
  if (!enabled) Cmd_report->setText("[ REPORT ]");
}

void Frm_offline::clickLine(int row) { list_.select(row); }

void Frm_offline::doubleClickLine(int row) {
  const ListLine* line = list_.line(row);
  if (!line) return;
  list_.select(row);
  if (line->kind == LineKind::Project) {
    const int select = list_.toggleExpanded(row);
    showLines(select);
    cmdchannels->setEnabled(false);
    Cmd_analyze->setEnabled(false);
    Cmd_leegroups->setEnabled(true);
    setReportButton(false);
    return;
  }
  const std::string text = line->text;
  const auto folder = list_.openAcquisition(row);
  if (!folder.empty()) openAcquisition(folder, text);
}

void Frm_offline::applyFilter() {
  showLines(list_.applyFilter(txt_search->text().toStdString()));
  if (!list_.filterActive()) txt_search->clear();
}

void Frm_offline::clickDate() {
  lbl_orden->setText(Q(list_.toggleOrder()));
  showLines(list_.selectedIndex());
}

void Frm_offline::hideSubfolders() {
  txt_search->clear();
  showLines(list_.hideSubfolders());
}

void Frm_offline::renameSelected() {
  const int row = list_.selectedIndex();
  if (!list_.line(row)) return;
  showLines(RenameLine(list_, row, program_.op));
}

void Frm_offline::archiveSelected() {
  const int row = list_.selectedIndex();
  if (!list_.line(row)) return;
  const ArchiveOutcome outcome = ArchiveLine(list_, row, program_.op, program_.clock);
  if (outcome.kind == ArchiveOutcome::Kind::Archived) showLines(outcome.select);
}

void Frm_offline::findInFolder() {
  const int row = list_.selectedIndex();
  if (!list_.line(row)) return;
  if (!FindInFolder(list_, row, program_.launcher))
    program_.op.inform("Cannot open " + FindInFolderPath(list_, row).string());
}

void Frm_offline::watchFolder(int entry) {
  auto captions = ReadWatchedFolders(program_.ws.programFolder);
  if (EditWatchedFolder(program_.ws.programFolder, captions, entry, program_.op))
    for (int i = 0; i < 5; ++i) Txtfolder[i]->setText(Q(captions[i]));
}

// ---- an opened acquisition -------------------------------------------------

void Frm_offline::showProgress(int filesRead, int filesOfPage) {
  Pic_status->setScene(ProgressScene(filesOfPage > 0 ? 100.0 * filesRead / filesOfPage : 0));
  program_.loop.processEvents();
}

void Frm_offline::openAcquisition(const std::filesystem::path& folder, const std::string& line) {
  if (regroup_) {
    // Another acquisition replaces the one being edited: its edits are asked about first.
    exitGroupEdition();
  }
  openedLine_ = line;
  const auto refusal =
      pages_.open(folder, [this](int read, int of) { showProgress(read, of); });
  if (refusal) program_.op.inform(*refusal);
  Txtpage->setText(Q(pages_.pageText()));
  filling_ = true;
  scrollpage->setRange(1, std::max(1, pages_.pageCount()));
  scrollpage->setValue(1);
  groups_ = LoadAcquisitionGroups(program_.ws.programFolder, folder, program_.op);
  Combofila->clear();
  Combocol->clear();
  const PlateFormat& plate = groups_->plate;
  for (int r = 0; r < plate.Rows; ++r) Combofila->addItem(QString(QChar('A' + r)));
  for (int c = 1; c <= plate.Columns; ++c) Combocol->addItem(QString::number(c));
  filling_ = false;
  selectWell();
  fillActivityGroups();

  const AcquisitionSummary summary =
      SummarizeAcquisition(line, LoadAcquisitionFiles(program_.ws.programFolder, folder, program_.op));
  Picreal->setScene(SummaryScene(summary.lines));
  mode_ = 0;
  // The report window follows the acquisition's organism, method and threshold.
  Frm_report& reportWin = reportWindow_();
  if (!reportWin.loaded()) reportWin.loadOnce(reportWin.userDefinedChecked && reportWin.userDefinedChecked());
  ReportWindowControls c = reportWin.controls();
  c.organism = summary.organism;
  c.method = summary.method;
  c.thresholdText = summary.thresholdText;
  reportWin.showControls(c);

  cmdchannels->setEnabled(true);
  Cmd_analyze->setEnabled(true);
  Cmd_leegroups->setEnabled(true);
  Cmd_report->setEnabled(true);
  Cmd_report->setText(Q(ReportCaption(line)));
}

void Frm_offline::selectWell() {
  if (filling_ || !groups_) return;
  const WellSelection s = SelectWell(groups_->plate, Combofila->currentText().toStdString(),
                                     Combocol->currentText().toStdString(), txtsub->text().toStdString());
  if (s.rowReset) {
    filling_ = true;
    Combofila->setCurrentText(Q(s.rowText));
    filling_ = false;
  }
  well_ = std::max(0, s.well);
  lblcanal->setText(s.channel >= 0 ? QString::number(s.channel) : QString());
  if (mode_ == 1) channelSignal();
}

void Frm_offline::channelSignal() {
  if (!groups_) return;
  mode_ = 1;
  cmdchannels->setText("[Channel Signal]");
  Cmd_leegroups->setText("Group Activity");
  Picreal->setScene(ChannelSignalScene(pages_, WellBeams(groups_->plate, well_)));
}

void Frm_offline::changePage(int page) {
  if (filling_ || mode_ != 1) return;
  if (!pages_.loadPage(page, [this](int read, int of) { showProgress(read, of); })) return;
  Txtpage->setText(Q(pages_.pageText()));
  channelSignal();
}

void Frm_offline::fillActivityGroups() {
  filling_ = true;
  combogrup->clear();
  lstgrup->clear();
  if (groups_)
    for (const auto& e : ActivityGroupEntries(*groups_)) combogrup->addItem(Q(e));
  filling_ = false;
  if (combogrup->count() > 0) {
    combogrup->setCurrentIndex(0);
    for (const auto& w : ActivityGroupWells(*groups_, combogrup->currentText().toStdString()))
      lstgrup->addItem(Q(w));
  }
}

void Frm_offline::groupActivity() {
  if (!groups_) return;
  mode_ = 2;
  cmdchannels->setText("Channel Signal");
  Cmd_leegroups->setText("[Group Activity]");
  if (auto view = LoadGroupActivity(*groups_)) Picreal->setScene(view->scene);
  else program_.op.inform("Activity file not Found");
}

void Frm_offline::analyze() {
  if (!groups_) return;
  // The time axis is labelled with the minutes of the page's intervals.
  std::vector<double> minutes;
  if (const auto records = ReadCountsFile(pages_.folder()))
    minutes = PageSlotMinutes(*records, pages_.page(), pages_.fileCount());
  const AnalyzeResult r = AnalyzePage(pages_.slots(), groups_->plate, well_, frmtxt_threshold->text().toStdString(),
                                      cmb_modeanalisis->currentText().toStdString(), minutes);
  frmtxt_threshold->setText(Q(r.threshold.text));
  // The counts over the signal: the page's traces first (without their
  // sample-axis labels, which the time axis replaces), then the analysis.
  channelSignal();
  PlotScene merged = Picreal->scene();
  std::erase_if(merged.items, [](const PlotItem& item) {
    return item.kind == PlotItem::Kind::Text && (item.text == "[sample]" || item.text.rfind('k', 0) == 0);
  });
  merged.items.insert(merged.items.end(), r.scene.items.begin(), r.scene.items.end());
  Picreal->setScene(std::move(merged));
}

// ---- joins and exports -----------------------------------------------------

void Frm_offline::join() {
  const ListLine* selected = list_.line(list_.selectedIndex());
  std::vector<JoinItem> items;
  if (selected && selected->kind == LineKind::Acquisition) {
    // The selected lines from the top of the list down.
    for (int row = 0; row < Listpj->count(); ++row) {
      if (!Listpj->item(row)->isSelected()) continue;
      const ListLine* line = list_.line(row);
      if (line && line->kind == LineKind::Acquisition) items.push_back({line->path, line->text});
    }
  }
  if (items.empty()) {
    program_.op.inform(kJoinWrongSelection);
    return;
  }
  const JoinResult r = JoinAcquisitions(items, JoinOptions{}, program_.op, program_.clock);
  if (r.joined()) {
    list_.rebuild();
    showLines(list_.selectedIndex());
  }
}

std::filesystem::path Frm_offline::exportAscii() {
  if (mode_ != 1 || !pages_.hasRawData() || !groups_) return {};
  const SignalExport written = ExportSignalAscii(pages_, groups_->plate, well_);
  if (!written.ok()) {
    program_.op.inform(written.error);
    return {};
  }
  program_.launcher.openPath(*written.file);
  return *written.file;
}

std::filesystem::path Frm_offline::exportImage(const std::string& extension) {
  if (mode_ != 1 || !groups_) return {};
  const auto format = ImageFormatOf("x" + extension);
  const SignalExport written = ExportSignalImage(pages_, groups_->plate, well_, format ? *format : ImageFormat::Bmp);
  if (!written.ok()) {
    program_.op.inform(written.error);
    return {};
  }
  program_.launcher.openPath(*written.file);
  return *written.file;
}

// ---- the report --------------------------------------------------------------

void Frm_offline::report() {
  const auto folder = list_.selection().loadedAcquisition;
  if (folder.empty()) return;
  Frm_report& win = reportWindow_();
  if (!win.loaded()) win.loadOnce(win.userDefinedChecked && win.userDefinedChecked());
  ReportWindowControls c = win.controls();
  const auto basal = BasalList(list_, list_.selectedIndex());
  if (!PrepareReportWindow(folder, basal, c, program_.op)) return;
  win.showControls(c);
  win.setWindowTitle(Cmd_report->text());
  win.show();
  win.raise();
  win.activateWindow();
}

// ---- group editing -----------------------------------------------------------

void Frm_offline::plateConfig() {
  const ListLine* line = list_.line(list_.selectedIndex());
  if (!line || !PlateConfigAllowed(list_, list_.selectedIndex(), program_.op)) return;
  if (list_.selection().loadedAcquisition != line->path) {
    const std::string text = line->text;
    const auto folder = list_.openAcquisition(list_.selectedIndex());
    openAcquisition(folder, text);
  }
  if (!groups_) return;
  regroup_ = std::make_unique<RegroupEditor>(*groups_, program_.op, program_.clock);
  mode_ = 3;
  lstgrup->hide();  // the plate picture gets the room of the group's well list
  Framegrup->show();
  showRegroup(regroup_->Enter());
}

void Frm_offline::showRegroup(const RegroupControls& c) {
  filling_ = true;
  combogrup2->clear();
  for (const auto& e : c.combogrup2) combogrup2->addItem(Q(e));
  combogrup2->setCurrentIndex(c.combogrup2Index);
  if (Combo_sets->count() != static_cast<int>(c.comboSets.size())) {
    Combo_sets->clear();
    for (const auto& e : c.comboSets) Combo_sets->addItem(Q(e));
  }
  Combo_sets->setCurrentIndex(c.comboSetsIndex);
  lstgrup2->clear();
  for (const auto& e : c.lstgrup2) lstgrup2->addItem(Q(e));
  lstchgrup2->clear();
  for (const auto& e : c.lstchgrup2) lstchgrup2->addItem(Q(e));
  filling_ = false;
  Picreal->setScene(c.picture);
}

void Frm_offline::exitGroupEdition() {
  if (!regroup_) return;
  regroup_->Exit();
  regroup_.reset();
  Framegrup->hide();
  lstgrup->show();
  mode_ = 0;
  fillActivityGroups();
  groupActivity();
}

void Frm_offline::plotPressed(int button, double x, double y) {
  const auto b = static_cast<MouseButton>(button);
  if (mode_ == 3 && regroup_) {
    if (auto c = regroup_->Press(b, x, y)) showRegroup(*c);
    return;
  }
  if (b == MouseButton::Right && mode_ == 1) mnexporta->popup(QCursor::pos());
}

// ---- the window ----------------------------------------------------------------

bool Frm_offline::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched == Listpj) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && Listpj->currentRow() >= 0) {
      doubleClickLine(Listpj->currentRow());
      return true;
    }
  } else if (event->type() == QEvent::KeyPress && watched == combogrup2 && regroup_) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      showRegroup(regroup_->RenameSelectedGroup());
      return true;
    }
  } else if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == lbl_date) clickDate();
    else if (watched == lblback) hideSubfolders();
  } else if (event->type() == QEvent::MouseButtonDblClick && watched == combogrup2 && regroup_) {
    showRegroup(regroup_->RenameSelectedGroup());
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void Frm_offline::closeEvent(QCloseEvent* event) {
  if (regroup_) exitGroupEdition();
  event->ignore();
  hide();
  Q_EMIT backToMain();
}

}  // namespace orb
