// The plot widget's painting, checked pixel by pixel on rendered images:
// where user coordinates land, colours, outlines, text, files, bad numbers
// and repaints.
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>
#include <set>

#include "ui/plots/plot_widget.h"

using namespace orb;

namespace {

constexpr PlotColour kBack = 0x102030, kFill = 0x00C000;

QRgb At(const QImage& im, int x, int y) { return im.pixel(x, y) & 0xFFFFFF; }

// The pixels of `im` inside `r` that are not `colour`.
int Off(const QImage& im, const QRect& r, QRgb colour) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += At(im, x, y) != colour;
  return n;
}

PlotScene Scene(double l, double t, double r, double b) {
  PlotScene s;
  s.scale(l, t, r, b);
  s.background = kBack;
  return s;
}

QImage Render(PlotScene s, QSize size) {
  PlotWidget w;
  w.setScene(std::move(s));
  return w.render(size);
}

// A fill-only box alone on its scene covers exactly `want`.
void CheckBox(const PlotScene& base, PlotPoint a, PlotPoint b, QSize size, const QRect& want) {
  PlotScene s = base;
  s.fillBox(a, b, kFill);
  const QImage im = Render(s, size);
  QCOMPARE(Off(im, want, kFill), 0);
  QCOMPARE(Off(im, im.rect(), kBack), want.width() * want.height());
}

}  // namespace

class PlotWidgetTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void boxesLandOnTheirPixels() {
    // x 0..100 over 200 pixels, y upwards 0..100 over 100: (10,20)-(30,50)
    // is columns 20..59, rows 50..79, in either corner order.
    const PlotScene up = Scene(0, 100, 100, 0);
    CheckBox(up, {10, 20}, {30, 50}, {200, 100}, QRect(20, 50, 40, 30));
    CheckBox(up, {30, 20}, {10, 50}, {200, 100}, QRect(20, 50, 40, 30));
    // y downwards: the same box is rows 20..49.
    CheckBox(Scene(0, 0, 100, 100), {10, 20}, {30, 50}, {200, 100}, QRect(20, 20, 40, 30));
    // Negative coordinates, -30..300 both ways over 660 x 330 pixels.
    const PlotScene neg = Scene(-30, 300, 300, -30);
    CheckBox(neg, {-30, -30}, {0, 0}, {660, 330}, QRect(0, 300, 60, 30));
    CheckBox(neg, {-10, 250}, {150, 300}, {660, 330}, QRect(40, 0, 320, 50));
    // A box thinner than a pixel still shows, one pixel wide.
    CheckBox(up, {50, 0}, {50.2, 100}, {100, 100}, QRect(50, 0, 1, 100));
    // 0.1 * 3 of 0..0.1 * 6 maps to 49.99999999999999 pixels: still the edge at 50.
    CheckBox(Scene(0, 1, 0.1 * 6, 0), {0.1 * 3, 0}, {0.1 * 6, 1}, {100, 100}, QRect(50, 0, 50, 100));
  }

  void heatMapTilesWithoutGapsOrOverlaps() {
    // 20 x 20 cells over 700 x 250 pixels: cells 35 x 12.5 pixels.
    PlotScene s = Scene(0, 20, 20, 0);
    for (int i = 0; i < 20; ++i)
      for (int j = 0; j < 20; ++j) s.fillBox({i + 0.0, j + 0.0}, {i + 1.0, j + 1.0}, 0x010000u * i + 0x100u * j + 1);
    const QImage im = Render(s, {700, 250});
    std::set<QRgb> seen;
    for (int y = 0; y < 250; ++y)
      for (int x = 0; x < 700; ++x) seen.insert(At(im, x, y));
    QCOMPARE(seen.size(), std::size_t(400));
    QCOMPARE(At(im, 35, 249), 0x010000u + 1);  // cell (1, 0): bottom-left is y = 0
    // y = 1 lands on row 237.5: the bottom row of cells covers rows 237..249.
    QCOMPARE(At(im, 34, 236), 0x000100u + 1);
    QCOMPARE(At(im, 34, 237), QRgb(1));
  }

  void linesAndBackground() {
    PlotScene s = Scene(0, 100, 100, 0);
    s.background = PlotGrey(200);
    s.line({0, 50}, {100, 50}, kPlotBlue);
    s.line({25, 0}, {25, 100}, kPlotRed, 3);
    s.line({100, 0}, {100, 100}, kFill);  // on the right edge: the last column
    s.line({0, 0}, {100, 0}, 0x777777);   // on the bottom edge: the last row
    const QImage im = Render(s, {100, 100});
    QCOMPARE(Off(im, QRect(0, 50, 25 - 1, 1), kPlotBlue), 0);
    QCOMPARE(Off(im, QRect(24, 0, 3, 99), kPlotRed), 0);  // width 3 centred on column 25
    QCOMPARE(At(im, 23, 20), PlotGrey(200));
    QCOMPARE(At(im, 27, 20), PlotGrey(200));
    QCOMPARE(Off(im, QRect(99, 0, 1, 99), kFill), 0);
    QCOMPARE(Off(im, QRect(0, 99, 24, 1), 0x777777), 0);
    QCOMPARE(Off(im, QRect(30, 0, 69, 50), PlotGrey(200)), 0);
    PlotScene tenths = Scene(0, 1, 0.1 * 6, 0);
    tenths.line({0.1 * 3, 0}, {0.1 * 3, 1}, kFill);
    QCOMPARE(Off(Render(tenths, {100, 100}), QRect(50, 0, 1, 100), kFill), 0);
  }

  void outlinesStayInsideTheirBox() {
    PlotScene s = Scene(0, 0, 100, 100);
    s.box({10, 10}, {50, 50}, kPlotRed);
    s.filledBox({60, 10}, {90, 40}, kFill, kPlotBlue, 3);
    s.box({0, 0}, {100, 100}, 0x777777);  // a frame round the whole picture
    const QImage im = Render(s, {100, 100});
    for (const QRect& edge : {QRect(10, 10, 40, 1), QRect(10, 49, 40, 1), QRect(10, 10, 1, 40), QRect(49, 10, 1, 40)})
      QCOMPARE(Off(im, edge, kPlotRed), 0);
    QCOMPARE(Off(im, QRect(11, 11, 38, 38), kBack), 0);
    QCOMPARE(At(im, 50, 30), kBack);
    QCOMPARE(Off(im, QRect(60, 10, 30, 3), kPlotBlue), 0);
    QCOMPARE(Off(im, QRect(87, 10, 3, 30), kPlotBlue), 0);
    QCOMPARE(Off(im, QRect(63, 13, 24, 24), kFill), 0);
    QCOMPARE(At(im, 90, 20), kBack);
    for (QPoint p : {QPoint(0, 5), QPoint(99, 5), QPoint(5, 0), QPoint(5, 99)}) QCOMPARE(At(im, p.x(), p.y()), 0x777777u);
  }

  void textHasItsTopLeftAtItsPoint() {
    PlotScene s = Scene(0, 100, 100, 0);
    s.text({10, 90}, "H\nH", kPlotWhite);
    const QImage im = Render(s, {200, 100});
    const int lineSpacing = QFontMetrics(PlotWidget().font()).lineSpacing();
    QCOMPARE(Off(im, QRect(0, 0, 200, 10), kBack), 0);
    QCOMPARE(Off(im, QRect(0, 0, 20, 100), kBack), 0);
    QVERIFY(Off(im, QRect(20, 10, 30, lineSpacing), kBack) > 0);
    QVERIFY(Off(im, QRect(20, 10 + lineSpacing, 30, lineSpacing), kBack) > 0);
  }

  void savesImagesThatLoadBack() {
    PlotScene s = Scene(-30, 300, 300, -30);
    s.filledBox({0, 0}, {100, 100}, kFill, kPlotRed);
    s.polyline({{-30, -30}, {100, 250}, {300, 0}}, kPlotBlue, 2);
    PlotWidget w;
    w.setScene(s);
    w.resize(120, 80);
    const QImage want = w.render({330, 330});
    QTemporaryDir dir;
    for (const char* name : {"/p.png", "/p.bmp"}) {
      const QString file = dir.path() + name;
      QVERIFY(w.saveImage(file, {330, 330}));
      QCOMPARE(QImage(file).convertToFormat(QImage::Format_RGB32), want);
    }
    QVERIFY(w.saveImage(dir.path() + "/w.png"));
    QCOMPARE(QImage(dir.path() + "/w.png").size(), QSize(120, 80));
    QVERIFY(!w.saveImage(dir.path() + "/no/such/folder/p.png"));
    QVERIFY(!w.saveImage(dir.path() + "/p.png", QSize(0, 10)));
  }

  void badNumbersAreSkipped() {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    PlotScene s = Scene(0, 100, 50, 0);  // 2 pixels a unit across, 1 up
    s.fillBox({nan, 0}, {50, 100}, kPlotRed);
    s.line({0, 50}, {inf, 50}, kPlotRed);
    s.polyline({{0, 10}, {25, nan}, {50, 10}}, kPlotRed);
    s.text({nan, 50}, "x", kPlotRed);
    s.fillBox({1e300, -1e300}, {-1e300, 1e300}, kFill);        // clamped: the whole picture
    // Off the top and back through the picture to far below: cut twice, and
    // the way back crosses row 50 at column 75.
    s.polyline({{0, 50}, {25, 2e6}, {50, 100 - 2e6}}, kPlotBlue);
    s.line({-1e300, 1e300}, {1e300, 1e300}, kPlotRed);          // far above: nothing to see
    s.line({-1e308, -1e308}, {1e308, 1e308}, kPlotRed);         // overflows when mapped
    const QImage im = Render(s, {100, 100});
    QCOMPARE(Off(im, im.rect(), kPlotRed), 100 * 100);
    QCOMPARE(Off(im, im.rect(), kBack), 100 * 100);
    QCOMPARE(Off(im, QRect(0, 0, 1, 51), kPlotBlue), 0);
    QVERIFY(Off(im, QRect(74, 50, 3, 1), kPlotBlue) < 3);
    // A scene without extent paints its background only.
    PlotScene flat = Scene(5, 100, 5, 0);
    flat.fillBox({0, 0}, {10, 10}, kFill);
    QCOMPARE(Off(Render(flat, {50, 50}), QRect(0, 0, 50, 50), kBack), 0);
    flat.scale(0, nan, 10, 0);
    QCOMPARE(Off(Render(flat, {50, 50}), QRect(0, 0, 50, 50), kBack), 0);
  }

  void paintsWithinItsTargetOnly() {
    PlotScene s = Scene(0, 10, 10, 0);
    s.fillBox({0, 0}, {10, 10}, kFill);
    s.line({-50, 5}, {50, 5}, kPlotRed, 5);
    QImage im(100, 100, QImage::Format_RGB32);
    im.fill(Qt::white);
    QPainter p(&im);
    PaintPlotScene(p, s, QRect(20, 30, 50, 40));
    p.end();
    QCOMPARE(Off(im, im.rect(), 0xFFFFFF), 50 * 40);
    QCOMPARE(At(im, 20, 30), kFill);
    QCOMPARE(At(im, 20, 30 + 20), kPlotRed);
  }

  void setSceneRepaintsWhatIsShown() {
    PlotWidget w;
    QFont big = w.font();
    big.setPixelSize(25);
    w.setFont(big);
    w.resize(100, 60);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    PlotScene s = Scene(0, 0, 10, 10);
    s.fillBox({0, 0}, {5, 10}, kFill);
    s.text({6, 1}, "Ab");
    struct PaintCounter : QObject {
      int n = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++n;
        return false;
      }
    } paints;
    w.installEventFilter(&paints);
    QTest::qWait(50);  // let the paints of showing pass
    paints.n = 0;
    w.setScene(s);
    QTRY_VERIFY(paints.n > 0);
    const QImage shown = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(At(shown, 10, 30), kFill);
    QCOMPARE(shown, w.render(w.size()));  // the same painting as on screen, text included
  }
};

QTEST_MAIN(PlotWidgetTest)
#include "plot_widget_test.moc"
