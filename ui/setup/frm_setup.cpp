#include "ui/setup/frm_setup.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QVBoxLayout>

#include "app/project_files.h"
#include "app/startup.h"
#include "ui/app/program.h"

namespace orb {

Frm_setup::Frm_setup(Program& program, QWidget* parent) : QWidget(parent), program_(program) {
  setObjectName("Frm_setup");
  setWindowTitle("<Orbelune> Acquisition Software  --------> Setup");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  txtprj = new QLineEdit(this);
  txtprj->setObjectName("txtprj");
  txtprj->setReadOnly(true);
  form->addRow("PROJECT", txtprj);
  Txtfolder = new QLineEdit(this);
  Txtfolder->setObjectName("Txtfolder");
  Txtfolder->setReadOnly(true);
  form->addRow("Working Folder:", Txtfolder);
  Txt_description = new QTextEdit(this);
  Txt_description->setObjectName("Txt_description");
  form->addRow("Description:", Txt_description);
  chkcalib = new QCheckBox("Calibration Control", this);
  chkcalib->setObjectName("chkcalib");
  chkcalib->setChecked(true);
  chkcalib->setEnabled(false);
  form->addRow(chkcalib);
  layout->addLayout(form);
  Cmdoffline = new QPushButton("<<Back", this);
  Cmdoffline->setObjectName("Cmdoffline");
  connect(Cmdoffline, &QPushButton::clicked, this, &QWidget::close);
  layout->addWidget(Cmdoffline, 0, Qt::AlignLeft);
  resize(520, 300);
  loadEditor();
}

void Frm_setup::loadEditor() {
  Workspace& ws = program_.ws;
  if (ws.setup.Name.empty()) LoadProject(ws, ws.config.Actual_Project_Number);
  txtprj->setText(QString::fromStdString(ProjectLabel(ws)));
  Txtfolder->setText(QString::fromStdString(ws.ProjectPath.string()));
}

void Frm_setup::showEvent(QShowEvent* event) {
  txtprj->setText(QString::fromStdString(ProjectLabel(program_.ws)));
  Txtfolder->setText(QString::fromStdString(program_.ws.ProjectPath.string()));
  QWidget::showEvent(event);
}

void Frm_setup::closeEvent(QCloseEvent* event) {
  // The editor is hidden, never destroyed; closing it returns to the chooser.
  event->ignore();
  hide();
  emit backToChooser();
}

}  // namespace orb
