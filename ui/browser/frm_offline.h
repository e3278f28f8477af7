// The recorded-experiments browser. For now it lists the projects of the
// data folder with their summaries and newest recording.
#pragma once

#include <QListWidget>
#include <QPushButton>
#include <QWidget>

namespace orb {

struct Program;

class Frm_offline : public QWidget {
  Q_OBJECT
 public:
  explicit Frm_offline(Program& program, QWidget* parent = nullptr);
  void refresh();

  QListWidget* Listpj = nullptr;
  QPushButton* Cmd_main = nullptr;

 signals:
  void backToMain();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Program& program_;
};

}  // namespace orb
