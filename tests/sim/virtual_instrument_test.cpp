#include "sim/virtual_instrument.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <thread>

#include "sim/model.h"
#include "tests/support/pty_client.h"

namespace orb::sim {
namespace {

using testing::Bytes;
using testing::Frame;
using testing::PtyClient;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

TEST(VirtualInstrument, PassesEveryByteValueUnchanged) {
  InstrumentOptions o;
  o.serial = 13 * 255 + 10;  // answers CR, LF
  VirtualInstrument vi(o);
  std::string path = vi.start();
  EXPECT_EQ(vi.start(), path);  // already serving
  PtyClient c(path, /*raw=*/false);  // relies on the server's terminal settings
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(c.exchange(Frame(0x00, 0x00, 0x00), 2), (Bytes{0x0D, 0x0A}));
  for (std::uint8_t v : {0x0A, 0x0D, 0x11, 0x13, 0x7F, 0x80, 0xE7, 0xF0, 0xFF}) {  // incl. XON/XOFF
    EXPECT_EQ(c.exchange(Frame(0x81, 0xFF, v), 2), (Bytes{0xFF, v}));
    EXPECT_EQ(vi.model().channelSetting(383), v);
  }
  EXPECT_EQ(c.exchange(Frame(0x00, 0x30, 0x00), 192).size(), 192u);
}

TEST(VirtualInstrument, SplitFramesAndReconnectingClients) {
  InstrumentOptions o;
  o.serial = 257;
  VirtualInstrument vi(o);
  std::string path = vi.start();
  {
    PtyClient c(path);
    ASSERT_TRUE(c.ok());
    ASSERT_TRUE(c.write({0xFF, 0x00}));
    EXPECT_TRUE(c.read(1, 50).empty());  // half a frame: no answer yet
    ASSERT_TRUE(c.write({0x00, 0x00, 0xF0}));
    EXPECT_EQ(c.read(2), (Bytes{1, 2}));
    EXPECT_EQ(::ioctl(c.fd(), TIOCEXCL), 0);        // claimed as a serial layer does
    ASSERT_TRUE(c.write(Frame(0x00, 0x30, 0x20)));  // and left with a reply unread
  }
#ifdef TIOCGEXCL
  // Once the server has seen the client go, the claim is released (a later
  // open by an ordinary user would otherwise fail with EBUSY) ...
  int exclusive = 1;
  for (int i = 0; i < 200 && exclusive; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    PtyClient probe(path, true, false);
    ::ioctl(probe.fd(), TIOCGEXCL, &exclusive);
  }
  EXPECT_EQ(exclusive, 0);
  // ... and nothing of the old client's reply waits for the next one.
  PtyClient next(path, true, /*flush=*/false);
  EXPECT_EQ(next.exchange(Frame(0x00, 0x00, 0x00), 2), (Bytes{1, 2}));
  EXPECT_TRUE(next.read(1, 50).empty());
  next.close();
#endif
  for (int round = 0; round < 3; ++round) {
    PtyClient c(path);
    EXPECT_EQ(c.exchange(Frame(0x00, 0x00, 0x00), 2), (Bytes{1, 2})) << round;
  }
}

TEST(VirtualInstrument, PacedRepliesTakeTheirWireTime) {
  InstrumentOptions o;
  o.paced = true;
  VirtualInstrument vi(o);
  PtyClient c(vi.start());
  auto t = Clock::now();
  EXPECT_EQ(c.exchange(Frame(0x00, 0x30, 0x00), 192).size(), 192u);
  double ms = MsSince(t);
  EXPECT_GE(ms, 15.0);  // 197 bytes of 86.8 us
  EXPECT_LT(ms, 2000.0);
  // Frames written back to back reach the instrument one after the other:
  // the last of 20 is in after 100 byte times, its reply 2 byte times later.
  Bytes frames;
  for (int i = 0; i < 20; ++i) frames.insert(frames.end(), {0xFF, 0x00, 0x00, 0x00, 0xF0});
  t = Clock::now();
  EXPECT_EQ(c.exchange(frames, 40).size(), 40u);
  EXPECT_GE(MsSince(t), 8.8);  // 102 bytes of 86.8 us
  Faults slow;
  slow.delayMs = 200;
  vi.model().setFaults(slow);
  t = Clock::now();
  EXPECT_EQ(c.exchange(Frame(0x00, 0x21, 0x00), 2).size(), 2u);
  EXPECT_GE(MsSince(t), 200.0);
}

TEST(VirtualInstrument, StopsPromptlyWhileServing) {
  InstrumentOptions o;
  o.paced = true;
  o.faults.delayMs = 5000;
  auto vi = std::make_unique<VirtualInstrument>(o);
  PtyClient c(vi->start());
  ASSERT_TRUE(c.write(Frame(0x00, 0x30, 0x00)));  // reply due in 5 s
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto t = Clock::now();
  vi->stop();
  EXPECT_LT(MsSince(t), 2000.0);
  vi->stop();  // harmless
  vi.reset();
  EXPECT_TRUE(c.read(1, 50).empty());
}

}  // namespace
}  // namespace orb::sim
