// The run panel of the main window: the project header (project, plate
// format, acquisition lapse, description, experiment), Start, Pause and
// Stop, ">Edit", the elapsed time and its progress bar, the temperature
// line, the body-bends option and the blank label, and the acquisition
// timer Timeradq that drives the engine's tick. The work is run control's
// and the engine's: the panel calls them on its buttons and the timer, and
// moves what they report into its widgets.
#pragma once

#include <QObject>
#include <QString>
#include <string>

class QBoxLayout;
class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QTimer;
class QWidget;

namespace orb {

class AcquisitionEngine;
class RunControl;
struct RunView;
struct Workspace;

class RunPanel : public QObject {
  Q_OBJECT
 public:
  // The widgets are created as children of `parent`; the panel sets the
  // engine's timer and display hooks.
  RunPanel(Workspace& ws, AcquisitionEngine& engine, RunControl& run, QWidget* parent);

  // Where the window places the panel: the header's rows, the progress bar
  // and the blank label in cells of their own; the run buttons, ">Edit"
  // with the elapsed time, and the temperature line with the body-bends
  // option in rows the window shares with other panels.
  QFormLayout* header() const { return header_; }
  QWidget* progress() const;
  QWidget* blankLabel() const;
  void addCommandsTo(QBoxLayout* row);
  void addEditAndTimeTo(QBoxLayout* row);
  void addOptionsTo(QBoxLayout* row);

  // Points the members of `view` that this panel shows at its widgets:
  // the experiment's name, the description, the blank label, the progress
  // bar, the body-bends option and the temperature.
  void attach(RunView& view);

  // The header from the project (unless a run's timer is on) and the
  // body-bends option, which only the k96u plate format offers.
  void refresh();
  // The project label alone (the load sequence).
  void showProjectLabel();
  QString description() const;
  void setDescription(const QString& text);

  // Start, Pause and ">Edit" after a run state (0 stopped, 1 running, 2
  // paused); Start also waits for the end of a blank reading.
  void showRunState(int state);
  // A blank reading starts (true) or ends (false): Start waits for its
  // end, ">Edit" comes back only with Stop.
  void showBlankReading(bool reading);
  // Pause unavailable (the load sequence).
  void disablePause();
  // Start, as a click on it does it (the "/run" argument).
  void start();
  // The body-bends box, for the live pictures to wire.
  QCheckBox* bodyBendsBox() const { return chk_bodybends; }

 Q_SIGNALS:
  void editRequested();  // ">Edit": the project setup window

 private:
  void build(QWidget* parent);
  void wire();
  void showTemperature(const std::string& celsius);

  Workspace& ws_;
  AcquisitionEngine& engine_;
  RunControl& run_;
  QFormLayout* header_ = nullptr;
  QLineEdit *txt_projecto = nullptr, *txt_wellformat = nullptr, *txt_acqlapse = nullptr;
  QTextEdit* Txt_description = nullptr;
  QLineEdit* txt_subproject = nullptr;  // the experiment's name
  QPushButton *CmdPlay = nullptr, *CmdPause = nullptr, *CmdStop = nullptr;
  QPushButton* Cmdsetup = nullptr;  // ">Edit"
  QLineEdit* Txt_time = nullptr;
  QProgressBar* picturetime = nullptr;
  QLabel* lbl_temperature = nullptr;
  QCheckBox* chk_bodybends = nullptr;
  QLabel* lblcalibrando = nullptr;  // "Setting Blank.... (n samples)"
  QTimer* Timeradq = nullptr;
};

}  // namespace orb
