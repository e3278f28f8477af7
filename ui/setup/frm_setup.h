// The project editor. Created hidden at start-up; for now it shows the
// current project and the description of the next recording.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QWidget>

namespace orb {

struct Program;

class Frm_setup : public QWidget {
  Q_OBJECT
 public:
  explicit Frm_setup(Program& program, QWidget* parent = nullptr);

  // The editor's load: reads the project when none is loaded yet.
  void loadEditor();

  QLineEdit* txtprj = nullptr;
  QLineEdit* Txtfolder = nullptr;
  QTextEdit* Txt_description = nullptr;
  QCheckBox* chkcalib = nullptr;
  QPushButton* Cmdoffline = nullptr;

 signals:
  void backToChooser();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  Program& program_;
};

}  // namespace orb
