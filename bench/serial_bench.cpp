// Reading one sample (blocks 0, 32, 64 and 96) from the virtual instrument
// paced at 115200 baud, through the real serial layer on a pseudo-terminal.
// The wire alone needs 4 x (5 + 192) bytes x 10 bits / 115200 = 68.4 ms;
// the counter over_wire_pct tells how much the program adds to it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <iostream>

#include "common/console_seams.h"
#include "device/device_link.h"
#include "device/port_settings.h"
#include "sim/virtual_instrument.h"

namespace {

constexpr double kWireMs = 4 * (5 + 192) * 10 * 1000.0 / 115200;

void BM_ReadSample(benchmark::State& st) {
  const auto form = st.range(0) == 0 ? orb::BlockReadForm::Whole : orb::BlockReadForm::Halves;
  orb::sim::InstrumentOptions options;
  options.paced = true;
  orb::sim::VirtualInstrument instrument(options);
  orb::PortMap map;
  map.assign(1, instrument.start());
  orb::SerialPorts ports(map);
  orb::ConnectionState state;
  state.currentPort = 1;
  orb::ConsoleEventLoop loop;
  orb::ConsoleOperator op(std::cerr);
  orb::DeviceLink link(ports, state, loop, op);
  if (ports.CommOpen(1, "COM1", orb::kInstrumentPortSettings) != orb::CommResult::Ok) {
    st.SkipWithError(ports.lastError().message.c_str());
    return;
  }
  long long bad = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : st) {
    for (int block : orb::kBlockStarts) {
      auto readings = link.ReadBlock(block, form);
      if (!readings || readings->highByteOutOfRange) ++bad;
      benchmark::DoNotOptimize(readings);
    }
  }
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  double perSample = ms / static_cast<double>(st.iterations());
  st.counters["sample_ms"] = perSample;
  st.counters["wire_ms"] = kWireMs;
  st.counters["over_wire_pct"] = 100.0 * (perSample - kWireMs) / kWireMs;
  st.counters["bad_blocks"] = static_cast<double>(bad);
}
BENCHMARK(BM_ReadSample)->Arg(0)->Arg(1)->ArgName("halves")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(150);

}  // namespace
