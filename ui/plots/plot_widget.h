// The widget that paints a PlotScene: the core decides what a picture holds
// (trace, bars, heat map, grids); this only maps the scene's user
// coordinates onto pixels and draws its items in order.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include "common/plot_scene.h"

class QPainter;

namespace orb {

// Paints `scene` into `target` (pixel coordinates of the painter): the
// background over the whole rectangle, then every item in order, clipped to
// the rectangle. User x runs from scene.left at the target's left edge to
// scene.right at its right edge, user y from scene.top at its top edge to
// scene.bottom at its bottom edge.
//
// Pixel rules, so that pictures are crisp and tile without gaps:
//  - a user coordinate lands on the pixel column (row) that contains it; one
//    that lands exactly on the right (bottom) edge is drawn on the last
//    column (row), so a frame or axis at the scene's edge stays visible;
//  - a box covers the pixels from one corner's pixel edge up to, not
//    including, the other's, at least one pixel each way, whatever the order
//    of its corners; its outline lies inside that area;
//  - line widths are in device pixels (cosmetic pens), at least 1, at most 64;
//  - text has its top-left corner at its point, in the painter's font, one
//    line per '\n';
//  - an item with a NaN or infinite coordinate, or whose coordinates overflow
//    when mapped, is skipped; lines reaching far outside the picture are cut
//    at a margin around it before drawing;
//  - a scene whose left == right or top == bottom (or not finite) paints its
//    background only.
void PaintPlotScene(QPainter& painter, const PlotScene& scene, const QRect& target);

class PlotWidget : public QWidget {
 public:
  explicit PlotWidget(QWidget* parent = nullptr);

  // Replaces the picture and schedules a repaint.
  void setScene(PlotScene scene);
  const PlotScene& scene() const { return scene_; }

  // The scene painted into an image of `size` pixels, as the widget paints
  // it on screen (same font and resolution). A null image for an empty size.
  QImage render(QSize size) const;

  // Writes the picture to `file` in the format its suffix names (png, bmp,
  // jpg, ...), at `size` or, when none is given (an invalid size), the
  // widget's size. False when that size is empty or the file cannot be
  // written.
  bool saveImage(const QString& file, QSize size = {}) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PlotScene scene_;
};

}  // namespace orb
