#include "ui/reports/report_windows.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QWidget>

#include "reports/report_settings.h"
#include "ui/app/program.h"
#include "ui/app/widgets.h"
#include "ui/reports/frm_report.h"
#include "ui/reports/frm_reportset.h"

namespace orb {

ReportWindows::ReportWindows(Program& program, QWidget& main, std::function<std::filesystem::path()> lastFolder)
    : QObject(&main), program_(program), main_(main), lastFolder_(std::move(lastFolder)) {
  Cmdreport = Named(new QPushButton("Show my report", &main), "Cmdreport");
  combo_minutes = main.findChild<QComboBox*>("combo_minutes");
  mn_userbin = main.findChild<QAction*>("mn_userbin");
  Q_ASSERT(combo_minutes && mn_userbin);
  // The button sits beside the report bin: the keyboard goes there next.
  QWidget::setTabOrder(combo_minutes, Cmdreport);
  connect(Cmdreport, &QPushButton::clicked, this, [this] { showMyReport(); });
  connect(mn_userbin, &QAction::triggered, this, [this](bool checked) { userBinMenu(checked); });
}

ReportWindows::~ReportWindows() = default;

Frm_report& ReportWindows::reportWindow() {
  if (!report_) {
    report_ = std::make_unique<Frm_report>(program_);
    report_->userDefinedChecked = [this] { return mn_userbin->isChecked(); };
    report_->showMainBin = [this](const std::string& bin) { combo_minutes->setCurrentText(Q(bin)); };
    report_->showMain = [this] { main_.show(); };
  }
  return *report_;
}

bool ReportWindows::showMyReport() {
  // The browser's "Report" captions the window after its recording; the
  // main window's report is the "Report Output" again.
  reportWindow().setWindowTitle("Report Output");
  return reportWindow().showMyReport(lastFolder_(), combo_minutes->currentText().toStdString());
}

void ReportWindows::endOfRun(bool autoreport) {
  Frm_report& w = reportWindow();
  w.loadOnce(mn_userbin->isChecked());
  w.chk_autoreport->setChecked(autoreport);
  if (!showMyReport()) w.chk_autoreport->setChecked(false);
}

void ReportWindows::userBinMenu(bool checked) {
  UserDefinedBinMenu(program_.ws.programFolder, program_.report, checked, program_.op);
  if (!settings_) {
    settings_ = std::make_unique<Frm_reportset>(program_);
    settings_->userDefinedChanged = [this](bool userDefined) {
      mn_userbin->setChecked(userDefined);
      main_.show();
    };
  }
  settings_->open();
}

}  // namespace orb
