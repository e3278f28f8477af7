#include "ui/app/frm_about.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "app/startup.h"

namespace orb {

Frm_About::Frm_About(QWidget* parent) : QDialog(parent) {
  setObjectName("Frm_About");
  setWindowTitle("About");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("<b>Orbelune</b> Acquisition Software", this));
  Label_version = new QLabel(this);
  Label_version->setObjectName("Label_version");
  Label_version->setText(kVersionText);
  layout->addWidget(Label_version);
  auto* ok = new QPushButton("OK", this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

}  // namespace orb
