#include "device/serial_ports.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "device/port_settings.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using testing::PtyPair;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

TEST(SerialPorts, EveryByteValuePassesBothWaysWithoutWaiting) {
  PtyPair pty;
  SerialPorts ports;
  ASSERT_EQ(ports.CommOpen(3, pty.path(), kInstrumentPortSettings), CommResult::Ok) << ports.lastError().message;
  std::string all;  // CR, LF, XON, XOFF, ^C, 0x80..0xFF
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(ports.CommWrite(3, all), CommResult::Ok);
  EXPECT_EQ(pty.receive(256), all);
  pty.send(all);
  std::string got;
  auto start = Clock::now();
  EXPECT_EQ(ports.CommRead(3, got, 256), CommResult::Ok);
  EXPECT_EQ(got, all);
  EXPECT_LT(SecondsSince(start), 0.45);  // a whole reply costs less than one read deadline
  // A frame written just before a flush is not lost: only input is discarded.
  const std::string frame("\xFF\x00\x30\x20\xF0", 5);
  EXPECT_EQ(ports.CommWrite(3, frame), CommResult::Ok);
  EXPECT_EQ(ports.CommFlush(3), CommResult::Ok);
  EXPECT_EQ(pty.receive(5), frame);
  // A pseudo-terminal has no modem lines: not an error.
  EXPECT_EQ(ports.CommSetLine(3, kLineDtr, true), CommResult::Ok);
  EXPECT_EQ(ports.CommSetLine(3, kLineRts, false), CommResult::Ok);
  EXPECT_EQ(ports.CommSetLine(3, kLineBreak, false), CommResult::Ok);
  EXPECT_EQ(ports.CommSetLine(3, 4, true), CommResult::SystemError);
  EXPECT_EQ(ports.lastError().code, EINVAL);
}

TEST(SerialPorts, SilentLineGivesUpAfterFiveAttemptsAndDiscardsInput) {
  PtyPair pty;
  SerialPorts ports;
  ASSERT_EQ(ports.CommOpen(2, pty.path(), kInstrumentPortSettings), CommResult::Ok);
  pty.holdInput(true);  // bytes arrive but the reader cannot see them
  pty.send("late");
  std::string got = "old";
  auto start = Clock::now();
  EXPECT_EQ(ports.CommRead(2, got, 2), CommResult::Ok);  // silence is no failure of the port
  EXPECT_EQ(got, "");
  EXPECT_GE(SecondsSince(start), 2.4);  // 5 x 500 ms + 5 x 5 ms
  pty.holdInput(false);
  pty.send("ok");
  EXPECT_EQ(ports.CommRead(2, got, 2), CommResult::Ok);
  EXPECT_EQ(got, "ok") << "the short read must have discarded the held bytes";
}

TEST(SerialPorts, PartialRepliesAndOneDeadlinePerRead) {
  PtyPair pty;
  SerialPorts ports;
  ASSERT_EQ(ports.CommOpen(2, pty.path(), kInstrumentPortSettings), CommResult::Ok);
  pty.send("\xFF\x80\x02");
  std::string got;
  EXPECT_EQ(ports.CommRead(2, got, 5), CommResult::Ok);
  EXPECT_EQ(got, "\xFF\x80\x02");

  std::atomic<bool> stop{false};
  std::thread trickle([&] {  // a byte every 60 ms: never an interval time-out
    for (int i = 0; i < 150 && !stop; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(60))) pty.send("t");
  });
  auto start = Clock::now();
  EXPECT_EQ(ports.CommRead(2, got, 200), CommResult::Ok);  // 200 bytes would take 12 s
  const auto n = got.size();
  double took = SecondsSince(start);
  stop = true;
  trickle.join();
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, 150u);
  EXPECT_LT(took, 8.0);
}

TEST(SerialPorts, OpenRefusals) {
  PtyPair pty;
  testing::TempFolder tmp;
  SerialPorts ports, other;
  ASSERT_EQ(ports.CommOpen(4, pty.path(), kInstrumentPortSettings), CommResult::Ok);
  EXPECT_EQ(ports.CommOpen(4, pty.path(), kInstrumentPortSettings), CommResult::PortInUse);
  EXPECT_EQ(ports.lastError().operation + ": " + ports.lastError().message, "CommOpen: Port in use.");
  // The same device from another slot, or from another port table.
  EXPECT_EQ(ports.CommOpen(5, pty.path(), kInstrumentPortSettings), CommResult::PortInUse);
  EXPECT_EQ(ports.lastError().code, EBUSY);
  EXPECT_EQ(other.CommOpen(4, pty.path(), kInstrumentPortSettings), CommResult::PortInUse);
  EXPECT_EQ(other.lastError().message, "Port in use.");
  EXPECT_EQ(ports.CommClose(4), CommResult::Ok);
  EXPECT_EQ(other.CommOpen(4, pty.path(), kInstrumentPortSettings), CommResult::Ok);  // released on close
  EXPECT_EQ(ports.CommClose(4), CommResult::Ok);                                      // not open: still Ok

  // A name that does not exist; a regular file is not a terminal.
  EXPECT_EQ(ports.CommOpen(6, (tmp / "ttyNone").string(), kInstrumentPortSettings), CommResult::SystemError);
  EXPECT_EQ(ports.lastError().code, ENOENT);
  EXPECT_EQ(ports.lastError().operation, "CommOpen (CreateFile)");
  tmp.write("plain", "data");
  EXPECT_EQ(ports.CommOpen(6, (tmp / "plain").string(), kInstrumentPortSettings), CommResult::SystemError);
  EXPECT_FALSE(ports.isOpen(5) || ports.isOpen(6));

  std::string got;
  for (int id : {0, 17, -3}) {  // never reach the table
    EXPECT_EQ(ports.CommOpen(id, pty.path(), kInstrumentPortSettings), CommResult::SystemError);
    EXPECT_EQ(ports.CommClose(id), CommResult::SystemError);
    EXPECT_EQ(ports.CommFlush(id), CommResult::SystemError);
    EXPECT_EQ(ports.CommSetLine(id, kLineDtr, true), CommResult::SystemError);
    EXPECT_EQ(ports.CommRead(id, got, 2), CommResult::SystemError);
    EXPECT_EQ(ports.CommWrite(id, "x"), CommResult::SystemError);
    EXPECT_EQ(ports.lastError().code, EBADF);
  }
  EXPECT_EQ(ports.CommWrite(9, "x"), CommResult::SystemError);  // a slot that is not open
  EXPECT_EQ(ports.lastError().message, "Bad file descriptor  COMM Error Flags = 0");
}

TEST(SerialPorts, AFailedOpenAfterTheDeviceWasOpenedKeepsTheSlotUntilClosed) {
  PtyPair pty;
  SerialPorts ports, other;
  EXPECT_EQ(ports.CommOpen(7, pty.path(), "baud=fast parity=N data=8 stop=1"), CommResult::SystemError);
  EXPECT_EQ(ports.lastError().operation, "CommOpen (BuildCommDCB)");
  EXPECT_TRUE(ports.isOpen(7));
  EXPECT_EQ(ports.CommOpen(7, pty.path(), kInstrumentPortSettings), CommResult::PortInUse);
  EXPECT_EQ(other.CommOpen(1, pty.path(), kInstrumentPortSettings), CommResult::PortInUse);  // still claimed
  EXPECT_EQ(ports.CommClose(7), CommResult::Ok);
  EXPECT_EQ(other.CommOpen(1, pty.path(), kInstrumentPortSettings), CommResult::Ok);  // released by the close
  EXPECT_EQ(other.CommClose(1), CommResult::Ok);
  EXPECT_EQ(ports.CommOpen(7, pty.path(), kInstrumentPortSettings), CommResult::Ok);
}

TEST(SerialPorts, SettingsStrings) {
  auto s = ParsePortSettings("  BAUD=9600   Parity=e stop=2 ");
  ASSERT_TRUE(s);
  EXPECT_EQ(*s->baud * 10 + *s->stopBits, 96002);
  EXPECT_EQ(*s->parity, 'E');
  EXPECT_FALSE(s->dataBits);
  EXPECT_TRUE(ParsePortSettings(kInstrumentPortSettings));
  for (const char* bad : {"", "baud=115201", "baud=", "parity=X", "data=9", "stop=1.5", "speed=9600", "baud 9600"})
    EXPECT_FALSE(ParsePortSettings(bad)) << bad;
}

TEST(PortMap, ProgramThenEnvironmentThenPortsFileThenDefault) {
  testing::TempFolder tmp;
  tmp.write(kPortsFile, "# instrument ports\n\nCOM4=/dev/ttyACM0\r\n com5 = /dev/ttyS1\nCOM6=\nnonsense\n");
  PortMap map(tmp.path());
  EXPECT_EQ(map.devicePath("COM4"), "/dev/ttyACM0");
  EXPECT_EQ(map.devicePath("com5"), "/dev/ttyS1");
  EXPECT_EQ(map.devicePath("COM6"), "/dev/ttyUSB5");
  EXPECT_EQ(map.devicePath("/dev/pts/3"), "/dev/pts/3");
  EXPECT_EQ(map.devicePath("COM0"), "COM0");
  setenv("ORBELUNE_COM4", "/dev/pts/9", 1);
  EXPECT_EQ(map.devicePath("COM4"), "/dev/pts/9");
  map.assign(4, "/dev/pts/10");
  EXPECT_EQ(map.devicePath("COM4"), "/dev/pts/10");
  unsetenv("ORBELUNE_COM4");
}

}  // namespace
}  // namespace orb
