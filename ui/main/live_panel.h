// The live pictures of the main window: the signal trace of the selected
// beam (Picreal) with its zoom and the choice of the beam by well row,
// column and beam-in-well, and the activity plot (Picact) with its display
// modes and pages. The rules are the display model's (LiveDisplay); this
// panel paints its scenes, shows its texts and hands it the clicks. The
// group list combogrup, the well list lstgrup and the body-bends box are
// created by their own panels and wired here.
#pragma once

#include <QObject>

#include "acquisition/live_display.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace orb {

class AcquisitionEngine;
class Operator;
class PlotWidget;
struct RunView;
struct Workspace;

class LivePanel : public QObject {
  Q_OBJECT
 public:
  LivePanel(Workspace& ws, AcquisitionEngine& engine, Operator& op, QComboBox* combogrup, QListWidget* lstgrup,
            QCheckBox* chk_bodybends, QWidget* parent);

  // The trace with its controls, and the activity plot with its commands.
  QWidget* tracePane() const { return tracePane_; }
  QWidget* activityPane() const { return activityPane_; }

  // Run start prepares both pictures.
  void attach(RunView& v);
  // The project's groups, rows and columns in the lists, and the pictures
  // drawn from what the engine holds (the load, a project change).
  void showProject();

  LiveDisplay& display() { return display_; }

 private:
  void build(QWidget* parent);
  void wire();
  void showActivity(const ActivityView& view);
  void showZoom();
  void takeBeam(const BeamChoice& choice);
  void redrawTrace();
  void chooseGroup(int index);
  void takeWellControls();
  void switchBodyBends(bool checked);

  Workspace& ws_;
  AcquisitionEngine& engine_;
  Operator& op_;
  LiveDisplay display_;

  QWidget* tracePane_ = nullptr;
  QWidget* activityPane_ = nullptr;
  PlotWidget* Picreal = nullptr;
  PlotWidget* Picact = nullptr;
  QPushButton* Cmdzoom_plus = nullptr;
  QPushButton* Cmdzoom_minus = nullptr;
  QLineEdit* txtzoom = nullptr;
  QLabel* lblcanal = nullptr;
  QComboBox* Combofila = nullptr;
  QComboBox* Combocol = nullptr;
  QLineEdit* txtsub = nullptr;
  QLineEdit* txtbeam = nullptr;
  QPushButton* cmdbeam_plus = nullptr;
  QPushButton* cmdbeam_minus = nullptr;
  QPushButton* Cmd_barplot = nullptr;
  QPushButton* Cmd_gridplot = nullptr;
  QPushButton* Cmd_histoplot = nullptr;
  QPushButton* cmd_pgup = nullptr;
  QPushButton* cmd_pgdown = nullptr;
  QComboBox* combogrup = nullptr;
  QListWidget* lstgrup = nullptr;
  QCheckBox* chk_bodybends = nullptr;
};

}  // namespace orb
