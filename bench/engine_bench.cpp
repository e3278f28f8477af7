// The acquisition tick's own work, without the instrument (offline, the
// buffers keep their contents): one tick of real-time counting, one tick of
// interval-analysis sampling, and one tick that closes an interval in
// interval-analysis mode (384 beams through the count routine, and in
// body-bends mode the histogram routine too). Beside the 68 ms the serial
// line needs for one sample, the tick's own share must stay negligible.
#include <benchmark/benchmark.h>

#include <iostream>
#include <random>

#include "acquisition/engine.h"
#include "acquisition/outputs.h"
#include "acquisition/run_control.h"
#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "device/device_link.h"
#include "tests/support/scripted_seams.h"

namespace {

struct Rig {
  std::filesystem::path data = std::filesystem::temp_directory_path() / "orbelune-engine-bench";
  orb::ScriptedOperator op;
  orb::FakeClock clock;
  orb::CountingEventLoop loop;
  orb::Workspace ws{data, op};
  orb::SerialPorts ports;
  orb::ConnectionState state;
  orb::DeviceLink link{ports, state, loop, op};
  orb::AcquisitionEngine engine{orb::EngineRecordsOf(ws), link, clock, loop};
  orb::OutputState outputs;
  orb::RunControl run{ws, link, engine, outputs, op, clock, loop};

  explicit Rig(bool intervalAnalysis) {
    std::filesystem::remove_all(data);
    orb::InitDataFolder(data, true);
    ws.config.Actual_Project_Number = 1;
    ws.ProjectPath = data / "p00001";
    orb::LoadProject(ws, 1);
    state.connected = true;
    state.offline = true;
    engine.ResetTables();
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(2000, 40);
    for (auto& v : engine.RawBuffer.values) v = static_cast<std::int16_t>(noise(rng));
    for (auto& b : ws.thresholds) b = 5.0;
    engine.calibration.autoZeroMode = intervalAnalysis;
    engine.runState = orb::kRunning;
    engine.StartClock();
    engine.TickCount = 1000;
  }
  ~Rig() { std::filesystem::remove_all(data); }
};

void BM_TickRealTime(benchmark::State& st) {
  Rig rig(false);
  for (auto _ : st) {
    rig.engine.SampleIndex = 100;  // never closes an interval
    rig.engine.OnTick();
  }
}
BENCHMARK(BM_TickRealTime)->Unit(benchmark::kMicrosecond);

void BM_TickIntervalAnalysisSample(benchmark::State& st) {
  Rig rig(true);
  for (auto _ : st) {
    rig.engine.SampleIndex = 100;
    rig.engine.OnTick();
  }
}
BENCHMARK(BM_TickIntervalAnalysisSample)->Unit(benchmark::kMicrosecond);

void BM_TickIntervalClose(benchmark::State& st) {
  Rig rig(true);
  rig.ws.setup.Aq_lapse = 32000;
  for (auto _ : st) {
    rig.engine.SampleIndex = rig.engine.rtBuffer() - 1;  // this tick closes the interval
    rig.engine.OnTick();
  }
}
BENCHMARK(BM_TickIntervalClose)->Unit(benchmark::kMillisecond);

// The same close in body-bends mode: the histogram routine for every beam too.
void BM_TickIntervalCloseBodyBends(benchmark::State& st) {
  Rig rig(true);
  rig.ws.setup.Aq_lapse = 32000;
  rig.engine.BodyBendsMode = true;
  for (auto _ : st) {
    rig.engine.SampleIndex = rig.engine.rtBuffer() - 1;
    rig.engine.OnTick();
  }
}
BENCHMARK(BM_TickIntervalCloseBodyBends)->Unit(benchmark::kMillisecond);

}  // namespace
