// The project editor (Frm_setup): the project's name and folder with New,
// Save, Load and rename; the acquisition settings; the plate; the tools;
// the description of the next recording; "<<Back" and "Continue to
// Run...". Created hidden at start-up. Every rule is the core's
// (setup/project_editor.h, setup/plate_change.h); the window moves values
// between its controls and those functions.
#pragma once

#include <QWidget>

#include <memory>

#include "setup/group_editor.h"
#include "setup/plate_change.h"
#include "setup/project_editor.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextEdit;
class QMenu;
class QTimer;

namespace orb {

struct Program;
class PlateWidget;

class Frm_setup : public QWidget {
  Q_OBJECT
 public:
  explicit Frm_setup(Program& program, QWidget* parent = nullptr);

  // The editor's load: the current project's values into the controls (the
  // project is read first when none is loaded yet).
  void loadEditor();

  QLineEdit* txtprj = nullptr;
  QLineEdit* Txtfolder = nullptr;
  QTextEdit* Txt_description = nullptr;
  QCheckBox* chkcalib = nullptr;
  QPushButton* Cmdoffline = nullptr;

 Q_SIGNALS:
  // "<<Back" (or closing the window): the chooser comes back.
  void backToChooser();
  // The detection settings for the main window ("<<Back" and "Continue").
  void detectionHandOver(const orb::DetectionHandOver& handOver);
  // "Continue to Run...": the main window comes to the front (connecting
  // first when handOver.connect).
  void continueToRun(const orb::DetectionHandOver& handOver);
  // A tool check box changed what the main window shows.
  void toolsChanged(const orb::ToolEffects& effects);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build();
  void wire();
  void showControls(const EditorControls& c);
  void showProjectLabel();
  // A box's edit: the stored value's text back into the box when refused
  // or clamped, and the message.
  void takeBox(QLineEdit* box, const BoxEdit& edit, bool putBack);
  void setTool(int tool, bool checked);
  void platePicked(const QString& text);
  void plateTimer();
  // The group controls as the group editor says.
  void showGroups(const GroupControls& c);
  void showPresetMenu();

  Program& program_;
  bool loading_ = false;
  PendingPlateChange pendingPlate_;
  std::unique_ptr<GroupEditor> groups_;

  QPushButton* Cmdnewpj = nullptr;
  QPushButton* Cmdsavepj = nullptr;
  QPushButton* cmdLoad = nullptr;
  QGroupBox* frm_project = nullptr;
  QListWidget* List_project = nullptr;
  QPushButton* Cmd_cancel = nullptr;
  QComboBox* Combo_aqmode = nullptr;
  QLineEdit* Txtlapse = nullptr;
  QLineEdit* Txtsample = nullptr;
  QLineEdit* Txtbuffer = nullptr;
  QLineEdit* Txt_dspinterval = nullptr;
  QComboBox* ComboDSP = nullptr;
  QComboBox* Cmb_organism = nullptr;
  QLabel* txt_snr = nullptr;
  QLineEdit* lbl_snr = nullptr;
  QComboBox* Combosavecount = nullptr;
  QComboBox* Combosavereal = nullptr;
  QPushButton* cmd_advanced = nullptr;
  QGroupBox* Frame_advanced = nullptr;
  QCheckBox* chklight = nullptr;
  QCheckBox* chktemp = nullptr;
  QCheckBox* Chk_mn4 = nullptr;
  QCheckBox* Chk_mn5 = nullptr;
  QCheckBox* Chk_mn6 = nullptr;
  QLabel* lbl_message = nullptr;
  QComboBox* Combowell = nullptr;
  QTimer* Timer1 = nullptr;
  QPushButton* Command_main = nullptr;
  // Group assignment.
  PlateWidget* Picwell = nullptr;
  QComboBox* combogrup = nullptr;
  QListWidget* lstgrup = nullptr;
  QListWidget* lstchgrup = nullptr;
  QPushButton* Command12 = nullptr;  // "<="
  QPushButton* Command13 = nullptr;  // "=>"
  QPushButton* Cmd_clear = nullptr;
  QComboBox* Combo_sets = nullptr;
  QPushButton* cmd_goset = nullptr;
  QMenu* mngroup = nullptr;
  QLabel* lblnchannel = nullptr;
};

}  // namespace orb
