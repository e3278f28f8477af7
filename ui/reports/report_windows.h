// The report windows as the main window reaches them: "Show my report"
// (Cmdreport) beside the report bin, the report at the end of a programmed
// run, and the menu entry "User Defined BIN size" (mn_userbin), which
// rewrites the report settings and opens Frm_reportset. The windows are
// created on first use.
#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QPushButton;
class QWidget;

namespace orb {

struct Program;
class Frm_report;
class Frm_reportset;

class ReportWindows : public QObject {
  Q_OBJECT
 public:
  // `main` holds combo_minutes and mn_userbin; `lastFolder` names the
  // acquisition folder of the last recording run (empty before any).
  ReportWindows(Program& program, QWidget& main, std::function<std::filesystem::path()> lastFolder);
  ~ReportWindows() override;

  QPushButton* button() const { return Cmdreport; }

  // "Show my report": true when the report window was shown.
  bool showMyReport();
  // The end of a programmed run: the report window on the run's folder,
  // with "Autoreport" checked when asked (it then writes the report and
  // hides by itself).
  void endOfRun(bool autoreport);
  // The menu entry "User Defined BIN size" was clicked (its new state).
  void userBinMenu(bool checked);

  // Created on first use; null before.
  Frm_report* report() const { return report_.get(); }
  Frm_reportset* settings() const { return settings_.get(); }

  // The report window, created and loaded on first use (the browser's
  // "Report" opens it too).
  Frm_report& reportWindow();

 private:

  Program& program_;
  QWidget& main_;
  std::function<std::filesystem::path()> lastFolder_;
  QPushButton* Cmdreport = nullptr;
  QComboBox* combo_minutes = nullptr;
  QAction* mn_userbin = nullptr;
  std::unique_ptr<Frm_report> report_;
  std::unique_ptr<Frm_reportset> settings_;
};

}  // namespace orb
