#include "ui/browser/frm_offline.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/project_files.h"
#include "ui/app/program.h"

namespace orb {

Frm_offline::Frm_offline(Program& program, QWidget* parent) : QWidget(parent), program_(program) {
  setObjectName("Frm_offline");
  setWindowTitle("<Orbelune> Acquisition Software  --------> Report analysis");
  auto* layout = new QVBoxLayout(this);
  Listpj = new QListWidget(this);
  Listpj->setObjectName("Listpj");
  layout->addWidget(Listpj, 1);
  Cmd_main = new QPushButton("<< Back", this);
  Cmd_main->setObjectName("Cmd_main");
  connect(Cmd_main, &QPushButton::clicked, this, &QWidget::close);
  layout->addWidget(Cmd_main, 0, Qt::AlignLeft);
  resize(560, 400);
  refresh();
}

void Frm_offline::refresh() {
  namespace fs = std::filesystem;
  Listpj->clear();
  std::vector<fs::path> projects;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(program_.ws.programFolder, ec)) {
    auto name = e.path().filename().string();
    if (e.is_directory() && name.size() == 6 && name[0] == 'p') projects.push_back(e.path());
  }
  std::sort(projects.begin(), projects.end());
  for (const auto& p : projects) {
    Listpj->addItem(QString::fromStdString(ReadProjectSummary(p, program_.op)));
    auto latest = FindLatestAcquisition(p);
    if (!latest.empty()) Listpj->addItem(QString::fromStdString("      " + latest));
  }
}

void Frm_offline::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
  emit backToMain();
}

}  // namespace orb
