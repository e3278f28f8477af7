#include "device/device_link.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <thread>

#include "device/port_settings.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/support/pty_pair.h"
#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

// The link on COM3, wired to a virtual instrument through a real
// pseudo-terminal.
struct LinkBench {
  sim::VirtualInstrument instrument;
  SerialPorts ports;
  ConnectionState state;
  CountingEventLoop loop;
  ScriptedOperator op;
  DeviceLink link{ports, state, loop, op};

  explicit LinkBench(sim::InstrumentOptions options = {}) : instrument(options) {
    state.currentPort = 3;
    EXPECT_EQ(ports.CommOpen(3, instrument.start(), kInstrumentPortSettings), CommResult::Ok) << ports.lastError().message;
  }
};

TEST(DeviceLink, IdentityAndVerifiedWrites) {
  sim::InstrumentOptions o;
  o.serial = 257;
  LinkBench b(o);
  EXPECT_EQ(b.link.ReadSerialNumber(), 257);
  EXPECT_EQ(b.loop.sleptMs, 5);
  EXPECT_EQ(b.link.WriteChannelSetting(130, 7, 7), 1);
  EXPECT_EQ(b.instrument.model().channelSetting(130), 0xE7);
  EXPECT_EQ(b.link.WriteChannelSetting(383, 1, 4), 1);
  EXPECT_EQ(b.instrument.model().channelSetting(383), 4 * 32 + 1);
  EXPECT_EQ(b.link.WriteFactoryByte(4, 33), 1);
  EXPECT_EQ(b.instrument.model().factoryByte(4), 33);
  EXPECT_EQ(b.loop.sleptMs, 5);  // the first bursts succeeded: no recovery pauses
  EXPECT_EQ(b.link.SetOutputs(true, false, true), CommResult::Ok);
  EXPECT_GE(b.link.ReadTemperatureRaw(), 0);  // answered after the frame without reply
  EXPECT_EQ(b.instrument.model().outputs(), 5);
}

TEST(DeviceLink, BlocksInBothFormsAndTheirFaults) {
  sim::InstrumentOptions o;
  o.faults.deadBeams = {130, 383};
  LinkBench b(o);
  for (auto form : {BlockReadForm::Whole, BlockReadForm::Halves}) {
    auto first = b.link.ReadBlock(0, form);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->values[7], 0);    // reading 7 of block 0 is channel 130
    EXPECT_GT(first->values[6], 0);    // channel 2
    auto last = b.link.ReadBlock(96, form);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->values[95], 0);    // channel 383
  }
  sim::Faults f;
  f.badHighBytes = true;
  b.instrument.model().setFaults(f);
  auto bad = b.link.ReadBlock(32);
  ASSERT_TRUE(bad);
  EXPECT_TRUE(bad->highByteOutOfRange);
  f = {};
  f.shortReplyEvery = 1;  // 191 bytes
  b.instrument.model().setFaults(f);
  EXPECT_FALSE(b.link.ReadBlock(64, BlockReadForm::Halves));
  b.instrument.model().setFaults({});
  EXPECT_TRUE(b.link.ReadBlock(64));  // the flush before the request dropped the tail
}

TEST(DeviceLink, FactoryCalibration) {
  LinkBench good;  // factory bytes 0,6,24,1,25,219,0
  good.state.factory.slope = 1;
  EXPECT_EQ(good.link.ReadFactoryCalibration()[5], 219);
  const FactoryCalibration& f = good.state.factory;
  EXPECT_TRUE(f.calibrated);
  EXPECT_EQ(f.month * 100 + f.year, 624);
  EXPECT_DOUBLE_EQ(f.offset, -2.5);
  EXPECT_DOUBLE_EQ(f.slope, 0.219);
  EXPECT_EQ(good.loop.processed, 20);
  EXPECT_EQ(good.loop.sleptMs, 8 * 2 * 200);

  for (std::array<int, 8> factory : {std::array<int, 8>{0, 6, 24, 0, 25, 204, 1, 0},     // slope 0.46
                                     std::array<int, 8>{0, 6, 24, 0, 105, 219, 0, 0}}) {  // offset 10.5
    sim::InstrumentOptions o;
    o.factory = factory;
    LinkBench b(o);
    b.state.factory = {true, 1, 1, 0.3, 1.0};
    b.link.ReadFactoryCalibration();
    EXPECT_FALSE(b.state.factory.calibrated);
    EXPECT_DOUBLE_EQ(b.link.Temperature(100), 21.9);  // slope 0.219, offset 0
  }
}

// The first factory query goes unanswered: that try still asks twice, then
// resynchronises with Identify before the next try.
TEST(DeviceLink, UnansweredFactoryQueryIsFollowedByIdentify) {
  testing::PtyPair pty;
  SerialPorts ports;
  ConnectionState state;
  CountingEventLoop loop;
  ScriptedOperator op;
  DeviceLink link{ports, state, loop, op};
  state.currentPort = 2;
  ASSERT_EQ(ports.CommOpen(2, pty.path(), kInstrumentPortSettings), CommResult::Ok);
  const std::string factory("\x00\x06\x18\x01\x19\xDB\x00\x00", 8);
  std::vector<std::string> frames;
  std::atomic<bool> stop{false};
  std::thread instrument([&] {
    std::string pending;
    while (!stop) {
      pending += pty.receive(1);
      while (pending.size() >= 5) {
        std::string f = pending.substr(0, 5);
        pending.erase(0, 5);
        frames.push_back(f);
        if (frames.size() == 1) continue;  // the very first query is lost
        if (f[2] == '\x20') pty.send(std::string(1, factory[static_cast<unsigned char>(f[3]) - 0x80]) + '\0');
        if (f[2] == '\x00') pty.send(std::string("\x00\x64", 2));
      }
    }
  });
  link.ReadFactoryCalibration();
  stop = true;
  instrument.join();
  const std::string read0("\xFF\x00\x20\x80\xF0", 5), read1("\xFF\x00\x20\x81\xF0", 5);
  const std::string identify("\xFF\x00\x00\x00\xF0", 5);
  ASSERT_EQ(frames.size(), 2u * 8 + 3);
  EXPECT_EQ(std::vector<std::string>(frames.begin(), frames.begin() + 6),
            (std::vector<std::string>{read0, read0, identify, read0, read0, read1}));
  EXPECT_EQ(loop.sleptMs, 3 * 200 + 8 * 2 * 200);
  EXPECT_TRUE(state.factory.calibrated);
  EXPECT_DOUBLE_EQ(state.factory.offset, -2.5);
}

TEST(DeviceLink, WrongEchoesEndInTheWriteErrorMessage) {
  sim::InstrumentOptions o;
  o.faults.wrongEcho = true;
  LinkBench b(o);
  EXPECT_EQ(b.link.WriteChannelSetting(130, 2, 3), -1);
  EXPECT_EQ(b.op.texts(), std::vector<std::string>{"Ops...Data Writing ERROR: reg(130)... Check COM and Try again"});
  EXPECT_EQ(b.loop.sleptMs, 3 * (150 + 150 + 9 * 100));
  b.loop.sleptMs = 0;
  b.op.clear();
  EXPECT_EQ(b.link.WriteFactoryByte(5, 10), -1);
  EXPECT_EQ(b.op.texts(), std::vector<std::string>{"Ops...Data Writing ERROR: reg(133)... Check COM and Try again"});
  EXPECT_EQ(b.loop.sleptMs, 2 * (100 + 100 + 9 * 50));
}

TEST(DeviceLink, SilentInstrument) {
  sim::InstrumentOptions o;
  o.faults.silent = true;
  LinkBench b(o);
  EXPECT_EQ(b.link.ReadSerialNumber(), -1);
  b.state.currentPort = 4;  // a port that is not open fails at once
  EXPECT_EQ(b.link.Transact(kCmdReadTemperature, 0), -1);
  EXPECT_EQ(b.link.SendFrame(kCmdSetOutputs, 0), CommResult::SystemError);
  EXPECT_FALSE(b.link.ReadBlock(0));
}

}  // namespace
}  // namespace orb
