// The start-up chooser: four ways into the program and a status line.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QWidget>
#include <array>

namespace orb {

struct Program;

class Frm_Init : public QWidget {
  Q_OBJECT
 public:
  explicit Frm_Init(Program& program, QWidget* parent = nullptr);

  QLabel* LblNews = nullptr;
  QLabel* Label_version = nullptr;
  std::array<QFrame*, 4> frame_option{};
  std::array<QLabel*, 4> Label_option{};
  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;

  // Paints the hover colours: option `index` light yellow, the others white.
  void highlightOption(int index);
  QColor optionColour(int index) const;

 Q_SIGNALS:
  void optionChosen(int index);  // 0 setup, 1 run latest, 2 analyze, 3 exit

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  Program& program_;
};

}  // namespace orb
