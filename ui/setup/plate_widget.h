// Picwell: the plate picture of the project editor. Paints the group
// editor's scene and hands the mouse back in the picture's own (user)
// coordinates, with the button pressed.
#pragma once

#include <QMouseEvent>

#include "setup/group_editor.h"
#include "ui/plots/plot_widget.h"

namespace orb {

class PlateWidget : public PlotWidget {
  Q_OBJECT
 public:
  explicit PlateWidget(QWidget* parent = nullptr) : PlotWidget(parent) { setMouseTracking(false); }

  // The user coordinates under a pixel position of the widget.
  PlotPoint toUser(const QPointF& pixel) const {
    const PlotScene& s = scene();
    const double w = std::max(1, width()), h = std::max(1, height());
    return {s.left + pixel.x() / w * (s.right - s.left), s.top + pixel.y() / h * (s.bottom - s.top)};
  }

 Q_SIGNALS:
  void pressed(orb::MouseButton button, double x, double y);
  void dragged(double x, double y);
  void released(double x, double y);

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    const PlotPoint p = toUser(e->position());
    Q_EMIT pressed(ButtonOf(e->button()), p.x, p.y);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    const PlotPoint p = toUser(e->position());
    Q_EMIT dragged(p.x, p.y);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    const PlotPoint p = toUser(e->position());
    Q_EMIT released(p.x, p.y);
  }

 private:
  static MouseButton ButtonOf(Qt::MouseButton b) {
    if (b == Qt::LeftButton) return MouseButton::Left;
    if (b == Qt::RightButton) return MouseButton::Right;
    return MouseButton::Other;
  }
};

}  // namespace orb
