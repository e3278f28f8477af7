#include "ui/reports/frm_reportset.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "ui/app/program.h"
#include "ui/app/widgets.h"

namespace orb {

Frm_reportset::Frm_reportset(Program& program, QWidget* parent) : QWidget(parent, Qt::Window), program_(program) {
  setObjectName("Frm_reportset");
  setWindowTitle("User Defined Report");
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Set Report Options:", this), 0, 0, 1, 2);
  grid->addWidget(new QLabel("Bin size (min):", this), 1, 0);
  Cmb_binsize = Named(new QComboBox(this), "Cmb_binsize");
  Cmb_binsize->setEditable(true);
  grid->addWidget(Cmb_binsize, 1, 1);
  auto* reportGroup = new QButtonGroup(this);
  const char* reportCaptions[2] = {"Excel [.csv]", "Text [.txt]"};
  for (int i = 0; i < 2; ++i) {
    Option_report[i] =
        Named(new QRadioButton(reportCaptions[i], this), qPrintable(QString("Option_report%1").arg(i)));
    reportGroup->addButton(Option_report[i], i);
    grid->addWidget(Option_report[i], 2 + i, 0);
  }
  grid->addWidget(new QLabel("spacer =", this), 4, 0);
  txt_customspacer = TextBox(this, "txt_customspacer");
  grid->addWidget(txt_customspacer, 4, 1);
  grid->addWidget(new QLabel("Group Statistics:", this), 0, 2);
  const char* statCaptions[5] = {"Average", "Median", "Std Error", "Std Dev", "\"N\""};
  for (int i = 0; i < 5; ++i) {
    Chk_statistic[i] =
        Named(new QCheckBox(statCaptions[i], this), qPrintable(QString("Chk_statistic%1").arg(i)));
    grid->addWidget(Chk_statistic[i], 1 + i, 2);
  }
  grid->addWidget(new QLabel("Output format:", this), 0, 3);
  auto* outputGroup = new QButtonGroup(this);
  const char* outputCaptions[4] = {"Rows", "List", "WArray", "CHArray"};
  for (int i = 0; i < 4; ++i) {
    Option_output[i] =
        Named(new QRadioButton(outputCaptions[i], this), qPrintable(QString("Option_output%1").arg(i)));
    outputGroup->addButton(Option_output[i], i);
    grid->addWidget(Option_output[i], 1 + i, 3);
  }
  Chk_rawexport = Named(new QCheckBox("Export Raw", this), "Chk_rawexport");
  Chk_autofile = Named(new QCheckBox("Auto-Generate after measurement", this), "Chk_autofile");
  grid->addWidget(Chk_rawexport, 6, 0);
  grid->addWidget(Chk_autofile, 6, 1, 1, 2);
  Cmd_generate = Named(new QPushButton("Apply", this), "Cmd_generate");
  Cmd_cancel = Named(new QPushButton("Back to Default", this), "Cmd_cancel");
  grid->addWidget(Cmd_generate, 7, 2);
  grid->addWidget(Cmd_cancel, 7, 3);

  connect(Cmd_generate, &QPushButton::clicked, this, [this] {
    const bool checked = ApplyReportSettings(program_.ws.programFolder, program_.report, controls(), program_.op);
    hide();
    if (userDefinedChanged) userDefinedChanged(checked);
  });
  connect(Cmd_cancel, &QPushButton::clicked, this, [this] {
    const bool checked = ReportSettingsBackToDefault(program_.ws.programFolder, program_.report, program_.op);
    hide();
    if (userDefinedChanged) userDefinedChanged(checked);
  });
}

void Frm_reportset::open() {
  if (!loaded_) {
    loaded_ = true;
    ReportSettingsControls c = controls();
    LoadReportSettingsDialog(program_.ws.programFolder, program_.report, c, program_.op);
    showControls(c);
  }
  show();
  raise();
}

ReportSettingsControls Frm_reportset::controls() const {
  ReportSettingsControls c;
  for (int i = 0; i < Cmb_binsize->count(); ++i) c.binSizes.push_back(Cmb_binsize->itemText(i).toStdString());
  c.binText = Cmb_binsize->currentText().toStdString();
  c.reportOption = Option_report[1]->isChecked() ? 1 : 0;
  c.spacerText = txt_customspacer->text().toStdString();
  for (int i = 0; i < 4; ++i)
    if (Option_output[i]->isChecked()) c.outputOption = i;
  for (int i = 0; i < 5; ++i) c.statistic[i] = Chk_statistic[i]->isChecked();
  c.rawexport = Chk_rawexport->isChecked();
  c.autofile = Chk_autofile->isChecked();
  return c;
}

void Frm_reportset::showControls(const ReportSettingsControls& c) {
  Cmb_binsize->clear();
  for (const auto& b : c.binSizes) Cmb_binsize->addItem(Q(b));
  Cmb_binsize->setCurrentText(Q(c.binText));
  Option_report[c.reportOption == 1 ? 1 : 0]->setChecked(true);
  txt_customspacer->setText(Q(c.spacerText));
  Option_output[c.outputOption >= 0 && c.outputOption < 4 ? c.outputOption : 0]->setChecked(true);
  for (int i = 0; i < 5; ++i) Chk_statistic[i]->setChecked(c.statistic[i]);
  Chk_rawexport->setChecked(c.rawexport);
  Chk_autofile->setChecked(c.autofile);
}

}  // namespace orb
