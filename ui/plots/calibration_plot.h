// picturecal: the calibration frame's progress line, drawn on a light-yellow
// area (the display colour value 0xC0FFFF, blue-green-red order).
#pragma once

#include <QPainter>
#include <QWidget>

namespace orb {

class CalibrationPlot : public QWidget {
 public:
  explicit CalibrationPlot(QWidget* parent = nullptr) : QWidget(parent) {
    setMinimumHeight(24);
  }
  void clear() {
    done_ = 0;
    total_ = 0;
    update();
  }
  void setProgress(int done, int total) {
    done_ = done;
    total_ = total;
    update();
  }
  int done() const { return done_; }
  int total() const { return total_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xFF, 0xFF, 0xC0));
    if (total_ <= 0) return;
    const int w = static_cast<int>(static_cast<long long>(width()) * std::min(done_, total_) / total_);
    p.fillRect(QRect(0, height() / 3, w, height() / 3), QColor(0, 0, 0xFF));
  }

 private:
  int done_ = 0;
  int total_ = 0;
};

}  // namespace orb
