// The recorded-experiments browser Frm_offline: the list of projects and
// their acquisitions (Listpj) with its filter, order, renames, archive and
// watched folders; the signal viewer of the acquisition opened by a double
// click, with its pages and exports; "Join..."; the group activity view,
// "Analyze" and the group editing of the acquisition; and "Report", which
// opens the report window on it. The rules are the core's (browser/); this
// window moves values between them and its widgets.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "browser/experiment_list.h"
#include "browser/regroup.h"
#include "browser/signal_pages.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QScrollBar;

namespace orb {

struct Program;
class Frm_report;
class PlateWidget;
class PlotWidget;

class Frm_offline : public QMainWindow {
  Q_OBJECT
 public:
  // `reportWindow` gives the program's report window (created on first use).
  Frm_offline(Program& program, std::function<Frm_report&()> reportWindow, QWidget* parent = nullptr);
  ~Frm_offline() override;

  // The window's load: the watched folders, the list, the analysis boxes.
  void refresh();

  // What the plot area shows: nothing yet (0), the channel signal (1), the
  // group activity (2), the group editing (3).
  int mode() const { return mode_; }
  const ExperimentList& list() const { return list_; }
  const SignalPages& pages() const { return pages_; }

  // The actions of the window's controls, callable by tests as by clicks.
  void clickLine(int row);
  void doubleClickLine(int row);
  void applyFilter();
  void clickDate();
  void hideSubfolders();
  void renameSelected();
  void archiveSelected();
  void findInFolder();
  void plateConfig();
  void watchFolder(int entry);
  void channelSignal();
  void groupActivity();
  void analyze();
  void changePage(int page);
  void join();
  // The exports of the plot's menu; the file written, empty when none.
  std::filesystem::path exportAscii();
  std::filesystem::path exportImage(const std::string& extension = ".bmp");
  void report();
  void exitGroupEdition();

  // Listpj: the tree of lines (fixed-width font, multi-selection).
  QListWidget* Listpj = nullptr;
  QLineEdit* txt_search = nullptr;
  QPushButton* cmd_lupa = nullptr;
  QLabel* lbl_date = nullptr;
  QLabel* lbl_orden = nullptr;
  QLabel* lblback = nullptr;
  QPushButton* Cmd_main = nullptr;
  QPushButton* Cmd_report = nullptr;
  QPushButton* Cmd_join = nullptr;
  std::array<QAction*, 5> Txtfolder{};
  QMenu* listMenu = nullptr;  // Rename, Plate Config, Find in Folder, Delete

  // The plot area and the signal viewer.
  PlateWidget* Picreal = nullptr;
  PlotWidget* Pic_status = nullptr;
  QLabel* Txtpage = nullptr;
  QScrollBar* scrollpage = nullptr;
  QComboBox* Combofila = nullptr;
  QComboBox* Combocol = nullptr;
  QLineEdit* txtsub = nullptr;
  QLabel* lblcanal = nullptr;
  QPushButton* cmdchannels = nullptr;
  QPushButton* Cmd_leegroups = nullptr;
  QMenu* mnexporta = nullptr;
  QAction* bmpexporta = nullptr;
  QAction* asciiexporta = nullptr;
  QAction* pngexporta = nullptr;  // the same picture as PNG

  // Group activity and "Analyze".
  QComboBox* combogrup = nullptr;
  QListWidget* lstgrup = nullptr;
  QPushButton* Cmd_analyze = nullptr;
  QLineEdit* frmtxt_threshold = nullptr;
  QComboBox* cmb_modeanalisis = nullptr;

  // The group editing frame.
  QGroupBox* Framegrup = nullptr;
  QComboBox* combogrup2 = nullptr;
  QListWidget* lstgrup2 = nullptr;
  QListWidget* lstchgrup2 = nullptr;
  QComboBox* Combo_sets = nullptr;
  QPushButton* cmd_goset = nullptr;
  QPushButton* Cmd_clear = nullptr;
  QPushButton* cmdcancelgrups = nullptr;

 Q_SIGNALS:
  void backToMain();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildList();
  void showLines(int select);
  void setReportButton(bool enabled);
  void openAcquisition(const std::filesystem::path& folder, const std::string& line);
  void showProgress(int filesRead, int filesOfPage);
  void selectWell();
  void showRegroup(const RegroupControls& c);
  void fillActivityGroups();
  void plotPressed(int button, double x, double y);

  Program& program_;
  std::function<Frm_report&()> reportWindow_;
  ExperimentList list_;
  SignalPages pages_;
  std::optional<AcquisitionGroups> groups_;
  std::unique_ptr<RegroupEditor> regroup_;
  QMenu* groupMenu_ = nullptr;  // combogrup2's right-click menu: Rename group...
  std::string openedLine_;
  int mode_ = 0;
  int well_ = 0;
  bool filling_ = false;
};

}  // namespace orb
