// The live display model: building the pictures the main window paints.
//
// BM_TraceFullInterval: the trace of one beam at the last sample of an
// interval of 500 (the longest current drawing).
// BM_TraceMidSweep: the trace half-way through an interval, with the
// previous interval's drawing kept ahead of the band.
// BM_ZoomPlus: the "+" command (zoom references of 385 beams, then the trace).
// BM_GroupView/wells, BM_BarPlot, BM_PlateMap, BM_HistogramPlot: the activity
// plot of each display mode on a 384-well plate, 384 beams with totals,
// groups spread over the beams (24 groups of 16 wells; the group view also
// with one group of all 384 wells).
//
// The targets include painting in the window: 2 ms for the trace, 5 ms for
// each activity plot; the model's share must stay far below them.
#include <benchmark/benchmark.h>

#include <random>

#include "acquisition/engine.h"
#include "acquisition/live_display.h"
#include "app/workspace.h"
#include "device/connection_state.h"
#include "device/device_link.h"
#include "tests/support/scripted_seams.h"

namespace {

struct Rig {
  orb::ScriptedOperator op;
  orb::FakeClock clock;
  orb::CountingEventLoop loop;
  orb::Workspace ws{"unused", op};
  orb::SerialPorts ports;
  orb::ConnectionState state;
  orb::DeviceLink link{ports, state, loop, op};
  orb::AcquisitionEngine engine{orb::EngineRecordsOf(ws), link, clock, loop};
  orb::LiveDisplay display;

  // groupSize wells per group, in well order.
  explicit Rig(int groupSize = 16) {
    ws.setup.RT_Buffer = 500;
    engine.ResetTables();
    orb::ApplyBuiltInPlateFormat("k384", ws.plate);
    for (int c = 0; c < orb::kChannelSlots; ++c) {
      ws.groups.ChannelGroup[c] = static_cast<std::int16_t>(c < orb::kChannels ? c / groupSize : -1);
      ws.groups.GroupName[c] = "Group" + std::to_string(c);
    }
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(2000, 40);
    for (auto& v : engine.RawBuffer.values) v = static_cast<std::int16_t>(noise(rng));
    for (auto& v : engine.LowerTrace) v = 1900;
    std::uniform_int_distribution<int> totals(0, 2000), bins(0, 500);
    for (int c = 0; c < orb::kChannels; ++c) engine.TotalCounts[c] = static_cast<std::int16_t>(totals(rng));
    for (auto& v : engine.Histogram.counts) v = bins(rng);
    display.SelectedBeam = 123;
  }
};

void BM_TraceFullInterval(benchmark::State& st) {
  Rig rig;
  rig.engine.SampleIndex = 499;
  for (auto _ : st) benchmark::DoNotOptimize(rig.display.RedrawTrace(rig.engine));
}
BENCHMARK(BM_TraceFullInterval)->Unit(benchmark::kMicrosecond);

void BM_TraceMidSweep(benchmark::State& st) {
  Rig rig;
  for (int n = 0; n < 500; n += 2) {
    rig.engine.SampleIndex = n;
    rig.display.RedrawTrace(rig.engine);
  }
  rig.engine.SampleIndex = 0;
  rig.display.RedrawTrace(rig.engine);  // the interval closed
  rig.engine.SampleIndex = 250;
  for (auto _ : st) benchmark::DoNotOptimize(rig.display.RedrawTrace(rig.engine));
}
BENCHMARK(BM_TraceMidSweep)->Unit(benchmark::kMicrosecond);

void BM_ZoomPlus(benchmark::State& st) {
  Rig rig;
  rig.engine.SampleIndex = 499;
  for (auto _ : st) {
    rig.display.ZoomLevel = 5;
    benchmark::DoNotOptimize(rig.display.ZoomPlus(rig.engine));
  }
}
BENCHMARK(BM_ZoomPlus)->Unit(benchmark::kMicrosecond);

void BM_GroupView(benchmark::State& st) {
  Rig rig(static_cast<int>(st.range(0)));
  rig.display.ChooseGroup("000_Group0", rig.engine, rig.ws.plate, rig.ws.groups);
  for (auto _ : st) {
    rig.display.BarScale = 1.0;
    benchmark::DoNotOptimize(rig.display.RedrawActivityPlot(rig.engine, rig.ws.plate, rig.ws.groups));
  }
}
BENCHMARK(BM_GroupView)->Arg(16)->Arg(384)->ArgName("wells")->Unit(benchmark::kMicrosecond);

void BM_BarPlot(benchmark::State& st) {
  Rig rig;
  rig.display.DisplayMode = orb::kBarPlot;
  for (auto _ : st) {
    rig.display.BarScale = 1.0;
    benchmark::DoNotOptimize(rig.display.RedrawActivityPlot(rig.engine, rig.ws.plate, rig.ws.groups));
  }
}
BENCHMARK(BM_BarPlot)->Unit(benchmark::kMicrosecond);

void BM_PlateMap(benchmark::State& st) {
  Rig rig;
  rig.display.DisplayMode = orb::kPlateMap;
  for (auto _ : st) benchmark::DoNotOptimize(rig.display.RedrawActivityPlot(rig.engine, rig.ws.plate, rig.ws.groups));
}
BENCHMARK(BM_PlateMap)->Unit(benchmark::kMicrosecond);

void BM_HistogramPlot(benchmark::State& st) {
  Rig rig;
  rig.display.DisplayMode = orb::kHistogramPlot;
  rig.display.PlotPage = 3;
  for (auto _ : st) benchmark::DoNotOptimize(rig.display.RedrawActivityPlot(rig.engine, rig.ws.plate, rig.ws.groups));
}
BENCHMARK(BM_HistogramPlot)->Unit(benchmark::kMicrosecond);

}  // namespace
