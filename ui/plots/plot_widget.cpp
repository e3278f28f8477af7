#include "ui/plots/plot_widget.h"

#include <QColor>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace orb {

namespace {

// How far outside the picture (in pixels) coordinates are kept before lines
// are cut and boxes clamped: far enough that nothing visible changes, near
// enough that pixel numbers stay well inside int and the rasteriser's range.
constexpr double kGuard = 1 << 20;
// Absorbs rounding in the mapping, so that a user value meant to fall on a
// pixel edge (0.1 of a 0..1 scene 700 pixels wide) is not floored one pixel
// short.
constexpr double kEdgeSlack = 1e-7;
constexpr int kMaxWidth = 64;

QColor Colour(PlotColour c) { return QColor(QRgb(c & 0xFFFFFFu)); }

int PenWidth(int w) { return std::clamp(w, 1, kMaxWidth); }

// User coordinates to pixel positions relative to the target's top-left
// corner, still as doubles.
class Mapping {
 public:
  Mapping(const PlotScene& s, QSize size)
      : left_(s.left), top_(s.top), w_(size.width()), h_(size.height()) {
    sx_ = w_ / (s.right - s.left);
    sy_ = h_ / (s.bottom - s.top);
    valid_ = std::isfinite(s.left) && std::isfinite(s.top) && std::isfinite(sx_) && std::isfinite(sy_) &&
             sx_ != 0 && sy_ != 0;
  }
  bool valid() const { return valid_; }
  double x(double ux) const { return (ux - left_) * sx_; }
  double y(double uy) const { return (uy - top_) * sy_; }
  int width() const { return w_; }
  int height() const { return h_; }

 private:
  double left_, top_, sx_ = 0, sy_ = 0;
  int w_, h_;
  bool valid_ = false;
};

struct Pt {
  double x, y;
};

bool Finite(Pt p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The pixel column (row) holding position `f`; a position exactly on the far
// edge is drawn on the last pixel.
int PixelOf(double f, int extent) {
  double p = std::floor(f + kEdgeSlack);
  if (p == extent && f < extent + kEdgeSlack) p = extent - 1;
  return static_cast<int>(p);
}

// A box edge: the pixel boundary at or before `f`, clamped to the guard.
int EdgeOf(double f, int extent) {
  return static_cast<int>(std::floor(std::clamp(f, -kGuard, extent + kGuard) + kEdgeSlack));
}

// Cuts the segment a-b to the guard rectangle (Liang-Barsky). False when it
// lies wholly outside; otherwise t0 <= t1 are the kept part's ends along a-b.
bool ClipSegment(Pt a, Pt b, double w, double h, double& t0, double& t1) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x + kGuard, w + kGuard - a.x, a.y + kGuard, h + kGuard - a.y};
  t0 = 0;
  t1 = 1;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, r);
    else
      t1 = std::min(t1, r);
    if (t0 > t1) return false;
  }
  return true;
}

class Painter {
 public:
  Painter(QPainter& p, const Mapping& m, QPoint origin, double dpr) : p_(p), m_(m), origin_(origin), dpr_(dpr) {}

  void item(const PlotItem& it) {
    switch (it.kind) {
      case PlotItem::Kind::Line:
        if (it.points.size() >= 2) lines(it, 2);
        break;
      case PlotItem::Kind::Polyline:
        if (!it.points.empty()) lines(it, it.points.size());
        break;
      case PlotItem::Kind::Box:
        if (it.points.size() >= 2) box(it);
        break;
      case PlotItem::Kind::Text:
        if (!it.points.empty() && !it.text.empty()) text(it);
        break;
    }
  }

 private:
  Pt map(PlotPoint u) const { return {m_.x(u.x), m_.y(u.y)}; }

  QPoint pixel(Pt f) const {
    return QPoint(PixelOf(f.x, m_.width()), PixelOf(f.y, m_.height())) + origin_;
  }

  void setPen(PlotColour c, int width) {
    QPen pen(Colour(c), PenWidth(width));
    pen.setCosmetic(true);
    pen.setJoinStyle(Qt::MiterJoin);
    p_.setPen(pen);
  }

  // The first `n` points of a line or polyline, cut where they leave the
  // guard rectangle, drawn as runs of connected pixels.
  void lines(const PlotItem& it, std::size_t n) {
    mapped_.clear();
    for (std::size_t i = 0; i < n; ++i) {
      const Pt f = map(it.points[i]);
      if (!Finite(f)) return;
      mapped_.push_back(f);
    }
    setPen(it.colour, it.width);
    run_.clear();
    if (n == 1) {
      if (inside(mapped_[0])) p_.drawPoint(pixel(mapped_[0]));
      return;
    }
    const double w = m_.width(), h = m_.height();
    for (std::size_t i = 1; i < n; ++i) {
      const Pt a = mapped_[i - 1], b = mapped_[i];
      double t0, t1;
      if (!ClipSegment(a, b, w, h, t0, t1)) {
        flush();
        continue;
      }
      if (run_.empty())  // the first segment, or the first after a cut
        run_.push_back(pixel({a.x + t0 * (b.x - a.x), a.y + t0 * (b.y - a.y)}));
      run_.push_back(pixel({a.x + t1 * (b.x - a.x), a.y + t1 * (b.y - a.y)}));
      if (t1 < 1) flush();
    }
    flush();
  }

  bool inside(Pt f) const {
    return f.x >= -kGuard && f.x <= m_.width() + kGuard && f.y >= -kGuard && f.y <= m_.height() + kGuard;
  }

  void flush() {
    if (run_.size() >= 2) p_.drawPolyline(run_.data(), static_cast<int>(run_.size()));
    run_.clear();
  }

  void box(const PlotItem& it) {
    const Pt a = map(it.points[0]), b = map(it.points[1]);
    if (!Finite(a) || !Finite(b)) return;
    int x0 = EdgeOf(a.x, m_.width()), x1 = EdgeOf(b.x, m_.width());
    int y0 = EdgeOf(a.y, m_.height()), y1 = EdgeOf(b.y, m_.height());
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    x1 = std::max(x1, x0 + 1);
    y1 = std::max(y1, y0 + 1);
    const QRect area(QPoint(x0, y0) + origin_, QSize(x1 - x0, y1 - y0));
    if (it.filled) p_.fillRect(area, Colour(it.fill));
    if (it.filled && it.noOutline) return;

    // The outline lies inside the area: a pen of width w centred on device
    // pixel c covers c - w/2 .. c - w/2 + w - 1, so its centre lines sit
    // w/2 device pixels in from the near edges and w - w/2 in from the far
    // ones. An area too small for two strokes is all outline.
    const int w = PenWidth(it.width);
    const double devW = area.width() * dpr_, devH = area.height() * dpr_;
    if (devW <= 2 * w || devH <= 2 * w) {
      p_.fillRect(area, Colour(it.colour));
      return;
    }
    const double nearIn = (w / 2) / dpr_, farIn = (w - w / 2) / dpr_;
    const QRectF outline(QPointF(area.left() + nearIn, area.top() + nearIn),
                         QPointF(area.left() + area.width() - farIn, area.top() + area.height() - farIn));
    setPen(it.colour, w);
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(outline);
  }

  void text(const PlotItem& it) {
    const Pt f = map(it.points[0]);
    if (!Finite(f) || !inside(f)) return;
    const QPoint at = pixel(f);
    p_.setPen(Colour(it.colour));
    const QFontMetrics fm = p_.fontMetrics();
    const QString all = QString::fromUtf8(it.text.data(), static_cast<qsizetype>(it.text.size()));
    int baseline = at.y() + fm.ascent();
    for (const QStringView line : QStringView(all).split(u'\n')) {
      if (!line.isEmpty()) p_.drawText(QPoint(at.x(), baseline), line.toString());
      baseline += fm.lineSpacing();
    }
  }

  QPainter& p_;
  const Mapping& m_;
  QPoint origin_;
  double dpr_;
  std::vector<Pt> mapped_;
  std::vector<QPoint> run_;
};

}  // namespace

void PaintPlotScene(QPainter& painter, const PlotScene& scene, const QRect& target) {
  if (target.isEmpty()) return;
  painter.save();
  painter.setClipRect(target, Qt::IntersectClip);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(target, Colour(scene.background));
  const Mapping mapping(scene, target.size());
  if (mapping.valid()) {
    const double dpr = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    Painter p(painter, mapping, target.topLeft(), dpr > 0 ? dpr : 1.0);
    for (const PlotItem& it : scene.items) p.item(it);
  }
  painter.restore();
}

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent) {
  // Every paint covers the whole widget with the scene's background.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PlotWidget::setScene(PlotScene scene) {
  scene_ = std::move(scene);
  update();
}

QImage PlotWidget::render(QSize size) const {
  if (size.isEmpty()) return {};
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) return {};
  // The widget's resolution, so that its font has the same pixel size as on
  // screen.
  image.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
  image.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
  QPainter painter(&image);
  painter.setFont(font());
  PaintPlotScene(painter, scene_, QRect(QPoint(0, 0), size));
  return image;
}

bool PlotWidget::saveImage(const QString& file, QSize size) const {
  const QImage image = render(size.isValid() ? size : this->size());
  return !image.isNull() && image.save(file);
}

QSize PlotWidget::sizeHint() const { return {400, 250}; }

QSize PlotWidget::minimumSizeHint() const { return {80, 50}; }

void PlotWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintPlotScene(painter, scene_, rect());
}

}  // namespace orb
