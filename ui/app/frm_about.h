// The about box.
#pragma once

#include <QDialog>
#include <QLabel>

namespace orb {

class Frm_About : public QDialog {
  Q_OBJECT
 public:
  explicit Frm_About(QWidget* parent = nullptr);
  QLabel* Label_version = nullptr;
};

}  // namespace orb
