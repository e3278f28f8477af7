#include "service/self_test.h"
#include "service/self_test_grid.h"

#include <gtest/gtest.h>

#include "common/fileio.h"
#include "common/format.h"
#include "device/device_link.h"
#include "device/port_settings.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

// The self-test on COM3, wired to a virtual instrument with an empty plate
// slot; sleeps only counted.
struct TestBench {
  sim::VirtualInstrument instrument;
  SerialPorts ports;
  ConnectionState state;
  CountingEventLoop loop;
  ScriptedOperator op;
  FakeClock clock;
  RecordingLauncher launcher;
  testing::TempFolder folder;
  DeviceLink link{ports, state, loop, op};
  SelfTest test{link, clock, launcher, folder.path()};

  explicit TestBench(sim::Faults faults = {}) : instrument(Options(faults)) {
    state.currentPort = 3;
    state.connected = true;
    EXPECT_EQ(ports.CommOpen(3, instrument.start(), kInstrumentPortSettings), CommResult::Ok);
  }
  static sim::InstrumentOptions Options(sim::Faults faults) {
    sim::InstrumentOptions o;
    o.animals = false;
    o.faults = std::move(faults);
    return o;
  }
  int run() {
    int ticks = 0;
    while (test.tick()) ++ticks;
    return ticks;
  }
  std::string report() { return ReadWholeFile(test.reportPath()).value_or("<missing>"); }
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(SelfTest, StartIsRefusedDuringARunAndAsksOtherwise) {
  ScriptedOperator op;
  EXPECT_FALSE(ConfirmSelfTest(op, true));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Stop acquisition before Testing"});
  op.clear();
  op.answer(Answer::Cancel).answer(Answer::Ok);
  EXPECT_FALSE(ConfirmSelfTest(op, false));
  EXPECT_TRUE(ConfirmSelfTest(op, false));
  ASSERT_EQ(op.shown().size(), 2u);
  EXPECT_EQ(op.shown()[0].buttons, Buttons::OkCancel);
  EXPECT_EQ(op.shown()[0].text.rfind("DEVICE TEST:\r\nLigth Microbeams will be adjusted", 0), 0u);
}

// Two dead beams show in every section where a technician looks: the
// 100 % test, their column and their row; the 0 % test passes.
TEST(SelfTest, DeadBeamsInTheReport) {
  sim::Faults f;
  f.deadBeams = {85, 200};
  TestBench b(f);
  b.op.answer(Answer::Yes);
  ASSERT_TRUE(b.test.begin());
  EXPECT_EQ(b.test.label(), "SN100");
  EXPECT_EQ(b.test.periodMs(), 200);
  EXPECT_EQ(b.run(), 110);
  EXPECT_EQ(b.test.end(), SelfTestEnd::Completed);
  EXPECT_EQ(b.test.label(), "T = __ °C");
  EXPECT_EQ(b.test.periodMs(), 100);
  EXPECT_EQ(b.op.texts(), (std::vector<std::string>{"Turning ON A1-D1", "Turning OFF A1-D1", "OK to proceed?"}));
  EXPECT_EQ(b.launcher.opened, std::vector<std::string>{b.test.reportPath().string()});
  EXPECT_EQ(b.test.reportPath(), b.folder / "testdev100.txt");

  const std::string r = b.report();
  EXPECT_EQ(r.rfind("Serial:SN100 2022-04-15_10:30\r\n\r\nTest_all_100%:  NEEDS REVISION!\r\n"
                    "Number of Channels > 80% = 382\r\nChannels < 80%: CH85[0%], CH200[0%], \r\n"
                    "\r\nTest_all_0%: OK PASS!\r\nNumber of Channels < 20% = 384\r\n"
                    "\r\nTest_24_Columns:\r\nCol[1]: PASS!\r\n",
                    0),
            0u)
      << r.substr(0, 400);
  EXPECT_TRUE(Has(r, "\r\nCol[5]: PASS!\r\nCol[6]: NONPASS 15          CH > 80% (NONOK:CH85[0%], ); "
                     "368CH < 20% (NONOK:)\r\nCol[7]: PASS!\r\n"));
  EXPECT_TRUE(Has(r, "\r\nCol[13]: NONPASS 15         CH > 80% (NONOK:CH200[0%], ); 368CH < 20% (NONOK:)\r\n"));
  EXPECT_TRUE(Has(r, "\r\nCol[24]: PASS!\r\n\r\nTest_16_Rows:\r\nRow[1]: PASS!\r\n"));
  EXPECT_TRUE(Has(r, "\r\nRow[6]: NONPASS 23          CH > 80% (NONOK:CH85[0%], ); 360CH < 20% (NONOK:)\r\n"));
  EXPECT_TRUE(Has(r, "\r\nRow[9]: NONPASS 23          CH > 80% (NONOK:CH200[0%], ); 360CH < 20% (NONOK:)\r\n"));
  EXPECT_TRUE(Has(r, "\r\nRow[16]: PASS!\r\n\r\nGain/Power[2] Values:\r\nCH[0] "));
  EXPECT_TRUE(Has(r, "\r\nCH[85] 0%\r\n"));
  EXPECT_EQ(r.substr(r.size() - 2), "\r\n");
  int columnsPassed = 0, rowsPassed = 0, values = 0;
  for (std::size_t p = 0, e; (e = r.find("\r\n", p)) != std::string::npos; p = e + 2) {
    const std::string line = r.substr(p, e - p);
    const bool pass = line.size() > 5 && line.substr(line.size() - 5) == "PASS!";
    if (line.rfind("Col[", 0) == 0 && pass) ++columnsPassed;
    if (line.rfind("Row[", 0) == 0 && pass) ++rowsPassed;
    if (line.rfind("CH[", 0) == 0) ++values;
  }
  EXPECT_EQ(columnsPassed, 22);
  EXPECT_EQ(rowsPassed, 14);
  EXPECT_EQ(values, 384);

  // The dated copy beside it holds the same test.
  EXPECT_EQ(b.test.datedReportPath(), b.folder / "testdev100_20220415_103000.txt");
  EXPECT_EQ(ReadWholeFile(b.test.datedReportPath()).value_or(""), r);
  EXPECT_FALSE(b.test.allPassed());
  EXPECT_EQ(b.test.failedChecks(), 5);
  // Every beam ends at pinhole 2, gain 2.
  for (int ch : {0, 85, 191, 192, 383}) EXPECT_EQ(b.instrument.model().channelSetting(ch), 2 * 32 + 2) << ch;
}

// A later test replaces the latest report and keeps the earlier one's
// dated copy: the instrument's history is not lost.
TEST(SelfTest, HealthyInstrumentPassesAndHistoryIsKept) {
  TestBench b;
  b.op.answer(Answer::Yes).answer(Answer::Yes);
  ASSERT_TRUE(b.test.begin());
  b.run();
  EXPECT_TRUE(b.test.allPassed());
  EXPECT_EQ(b.test.verdicts(), (std::vector<std::string>{"Test_all_100%: OK PASS!", "Test_all_0%: OK PASS!"}));
  const auto first = b.test.datedReportPath();
  b.clock.local.minute = 45;
  ASSERT_TRUE(b.test.begin());
  EXPECT_EQ(b.test.step(), 0);
  b.run();
  EXPECT_TRUE(b.test.allPassed());
  EXPECT_NE(first, b.test.datedReportPath());
  EXPECT_EQ(ReadWholeFile(first).value_or("").substr(0, 31), "Serial:SN100 2022-04-15_10:30\r\n");
  EXPECT_EQ(b.report().substr(0, 31), "Serial:SN100 2022-04-15_10:45\r\n");
}

TEST(SelfTest, CrossedBeamsFailTheirColumnsAndRows) {
  sim::Faults f;
  f.crossedBeams = {{2, 40}};  // column 0 row 2 and column 2 row 8
  TestBench b(f);
  b.op.answer(Answer::Yes);
  ASSERT_TRUE(b.test.begin());
  b.run();
  const std::string r = b.report();
  EXPECT_TRUE(Has(r, "Test_all_100%: OK PASS!"));
  EXPECT_TRUE(Has(r, "\r\nCol[1]: NONPASS 15          CH > 80% (NONOK:CH2[0%], ); 367CH < 20% (NONOK:CH40["));
  EXPECT_TRUE(Has(r, "\r\nCol[3]: NONPASS 15          CH > 80% (NONOK:CH40[0%], ); 367CH < 20% (NONOK:CH2["));
  EXPECT_TRUE(Has(r, "\r\nRow[3]: NONPASS 23"));
  EXPECT_TRUE(Has(r, "\r\nRow[9]: NONPASS 23"));
  EXPECT_EQ(b.test.failedChecks(), 4);
}

TEST(SelfTest, EndsEarly) {
  {  // "No" to the question at step 3
    TestBench b;
    b.op.answer(Answer::No);
    ASSERT_TRUE(b.test.begin());
    EXPECT_EQ(b.run(), 3);
    EXPECT_EQ(b.test.end(), SelfTestEnd::Declined);
    EXPECT_EQ(b.instrument.model().channelSetting(0), 0);  // A1-D1 were switched on and off
    EXPECT_EQ(b.instrument.model().channelSetting(4), 3 * 32 + 2);
  }
  {  // a channel write that is never echoed: the write's message, step 121
    sim::Faults f;
    f.wrongEcho = true;
    TestBench b(f);
    ASSERT_TRUE(b.test.begin());
    EXPECT_EQ(b.run(), 1);
    EXPECT_EQ(b.test.end(), SelfTestEnd::WriteFailed);
    EXPECT_EQ(b.test.step(), 121);
    EXPECT_FALSE(b.test.tick());
    EXPECT_TRUE(b.op.saw("Ops...Data Writing ERROR: reg(0)... Check COM and Try again"));
  }
  {  // the instrument stops answering: "COM Error", the report keeps its start
    TestBench b;
    b.op.answer(Answer::Yes);
    ASSERT_TRUE(b.test.begin());
    for (int i = 0; i < 25; ++i) ASSERT_TRUE(b.test.tick());
    sim::Faults silent;
    silent.silent = true;
    b.instrument.model().setFaults(silent);
    EXPECT_FALSE(b.test.tick());
    EXPECT_EQ(b.test.end(), SelfTestEnd::ComError);
    EXPECT_EQ(b.op.texts().back(), "COM Error");
    EXPECT_TRUE(Has(b.report(), "Test_all_100%: OK PASS!"));
    EXPECT_FALSE(Has(b.report(), "Test_all_0%"));
    EXPECT_TRUE(b.launcher.opened.empty());
  }
  {  // Cancel, then a new start begins again at step 0
    TestBench b;
    ASSERT_TRUE(b.test.begin());
    b.test.cancel();
    EXPECT_FALSE(b.test.tick());
    EXPECT_EQ(b.test.end(), SelfTestEnd::Cancelled);
  }
}

TEST(SelfTest, GridCellsAndProgress) {
  TestBench b;
  b.op.answer(Answer::Yes);
  ASSERT_TRUE(b.test.begin());
  for (int i = 0; i < 21; ++i) ASSERT_TRUE(b.test.tick());  // steps 0..20: all lit and checked
  EXPECT_EQ(b.test.label(), "[Test100%=PASS!]");
  EXPECT_DOUBLE_EQ(b.test.progress(), 20 * 0.83);
  const int v = b.test.readings()[100];
  EXPECT_GT(v, 1638);
  EXPECT_EQ(b.test.cellValue(100), static_cast<int>(RoundHalfEven(v / 8.0)));
  EXPECT_EQ(b.loop.sleptMs - 5, 16 * 100 + 500);  // 5 ms of ReadSerialNumber

  // The picture: one cell per beam, beam 100 in column 6, row 4 from the
  // top, shaded white (lit) and labelled with its value; the progress line.
  const PlotScene scene = SelfTestGridScene(b.test);
  ASSERT_EQ(scene.items.size(), 2u * kChannels + 1);
  const PlotItem& cell = scene.items[2 * 100];
  EXPECT_EQ(cell.points[0], (PlotPoint{6, 13}));
  EXPECT_EQ(cell.points[1], (PlotPoint{7, 12}));
  EXPECT_EQ(cell.fill, kPlotWhite);
  EXPECT_EQ(scene.items[2 * 100 + 1].text, std::to_string(b.test.cellValue(100)));
  EXPECT_DOUBLE_EQ(scene.items.back().points[1].x, 20 * 0.83 / 100 * 24);
}

}  // namespace
}  // namespace orb
