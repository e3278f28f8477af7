// The report settings dialog Frm_reportset ("User Defined Report"): bin
// size, file type and spacer, group statistics, output format, "Export
// Raw"; "Apply" stores them as the user's, "Back to Default" restores the
// defaults. Hidden, not destroyed, so its load runs only at its first
// opening. The rules are the core's (reports/report_settings.h).
#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "reports/report_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orb {

struct Program;

class Frm_reportset : public QWidget {
  Q_OBJECT
 public:
  explicit Frm_reportset(Program& program, QWidget* parent = nullptr);

  // Shows the dialog; its first opening loads it from the stored settings.
  void open();

  ReportSettingsControls controls() const;
  void showControls(const ReportSettingsControls& c);

  // "User Defined BIN size" takes this check state, and the main window
  // comes back ("Apply" and "Back to Default").
  std::function<void(bool userDefined)> userDefinedChanged;

  QComboBox* Cmb_binsize = nullptr;
  std::array<QRadioButton*, 2> Option_report{};
  QLineEdit* txt_customspacer = nullptr;
  std::array<QRadioButton*, 4> Option_output{};
  std::array<QCheckBox*, 5> Chk_statistic{};
  QCheckBox* Chk_rawexport = nullptr;
  QCheckBox* Chk_autofile = nullptr;
  QPushButton* Cmd_generate = nullptr;
  QPushButton* Cmd_cancel = nullptr;

 private:
  Program& program_;
  bool loaded_ = false;
};

}  // namespace orb
