// The cost of painting PlotScenes at a window's size: a live trace (a
// 500-point polyline with its frame, ticks and labels) and a plate heat map
// of 400 cells, painted as a paint event does (into an existing surface)
// and as PlotWidget::render does (a new image each time).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <string>

#include "common/plot_scene.h"
#include "ui/plots/plot_widget.h"

namespace {

const QSize kSize(700, 250);

orb::PlotScene Trace() {
  orb::PlotScene s;
  s.scale(-20, 1.2, 520, -1.2);
  s.box({0, -1}, {500, 1}, orb::kPlotBlack);
  for (int i = 0; i <= 10; ++i) {
    s.line({i * 50.0, -1}, {i * 50.0, -0.95}, orb::kPlotBlack);
    s.text({i * 50.0, -1.02}, std::to_string(i * 50));
  }
  for (int i = -2; i <= 2; ++i) {
    s.line({0, i * 0.5}, {500, i * 0.5}, orb::PlotGrey(220));
    s.text({-18, i * 0.5}, std::to_string(i * 50) + "%");
  }
  std::vector<orb::PlotPoint> pts;
  for (int i = 0; i < 500; ++i) pts.push_back({double(i), std::sin(i / 15.0) * 0.8 + std::sin(i * 1.7) * 0.1});
  s.polyline(std::move(pts), orb::kPlotBlue);
  return s;
}

orb::PlotScene HeatMap(bool outlined) {
  orb::PlotScene s;
  s.scale(0, 20, 20, 0);
  for (int i = 0; i < 20; ++i)
    for (int j = 0; j < 20; ++j) {
      const orb::PlotColour c = (static_cast<orb::PlotColour>(i * 12) << 16) | (static_cast<orb::PlotColour>(j * 12) << 8) | 0x40;
      if (outlined)
        s.filledBox({i + 0.0, j + 0.0}, {i + 1.0, j + 1.0}, c, orb::kPlotBlack);
      else
        s.fillBox({i + 0.0, j + 0.0}, {i + 1.0, j + 1.0}, c);
    }
  return s;
}

// As a paint event: the surface exists, only the painting is timed.
void Paint(benchmark::State& state, const orb::PlotScene& scene) {
  QImage image(kSize, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&image);
    orb::PaintPlotScene(p, scene, image.rect());
    p.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}

// As PlotWidget::render: a new image each time.
void Render(benchmark::State& state, const orb::PlotScene& scene) {
  orb::PlotWidget w;
  w.setScene(scene);
  for (auto _ : state) {
    QImage image = w.render(kSize);
    benchmark::DoNotOptimize(image.constBits());
  }
}

void BM_PaintTrace(benchmark::State& state) { Paint(state, Trace()); }
void BM_RenderTrace(benchmark::State& state) { Render(state, Trace()); }
void BM_PaintHeatMap(benchmark::State& state) { Paint(state, HeatMap(false)); }
void BM_PaintHeatMapOutlined(benchmark::State& state) { Paint(state, HeatMap(true)); }
void BM_RenderHeatMapOutlined(benchmark::State& state) { Render(state, HeatMap(true)); }

BENCHMARK(BM_PaintTrace)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderTrace)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintHeatMap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintHeatMapOutlined)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderHeatMapOutlined)->Unit(benchmark::kMicrosecond);

}  // namespace

// Fonts need an application; without a display the offscreen platform
// serves.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
