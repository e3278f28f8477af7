#include "cli/service_command.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "app/data_folder.h"
#include "cli/commands.h"
#include "common/datetime.h"
#include "common/fileio.h"
#include "sim/model.h"
#include "sim/virtual_instrument.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

// An installed data folder whose ports file sends COM2 to `instrument`.
void Install(const testing::TempFolder& data, const std::string& instrument) {
  InitDataFolder(data.path(), false);
  std::string lines;
  for (int n = 1; n <= 15; ++n)
    lines += "COM" + std::to_string(n) + "=" + (n == 2 ? instrument : (data / "ttyNone").string()) + "\n";
  data.write("ports.dat", lines);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(SelfTestCommand, DeadBeamsFailTheTest) {
  testing::TempFolder data;
  sim::InstrumentOptions o;
  o.animals = false;
  o.faults.deadBeams = {85, 200};
  sim::VirtualInstrument instrument(o);
  Install(data, instrument.start());
  const std::string dataArg = "--data=" + data.path().string();

  CliRun refused = Cli({dataArg, "selftest"});
  EXPECT_EQ(refused.code, kExitUsage);
  EXPECT_TRUE(Has(refused.err, "confirm with --yes"));
  EXPECT_FALSE(FileExists(data / "testdev100.txt"));
  EXPECT_EQ(Cli({dataArg, "selftest", "--bogus"}).code, kExitUsage);

  CliRun r = Cli({dataArg, "selftest", "--yes"});
  EXPECT_EQ(r.code, kExitCheckFailed) << r.err;
  EXPECT_EQ(r.code, 6);
  EXPECT_EQ(r.out.rfind("Serial number: 100\nTest_all_100%:  NEEDS REVISION!\nNumber of Channels > 80% = 382\n"
                        "Channels < 80%: CH85[0%], CH200[0%], \nTest_all_0%: OK PASS!\nCol[6]: NONPASS 15 ",
                        0),
            0u)
      << r.out;
  EXPECT_TRUE(Has(r.out, "\nChecks failed: 5\nReport: " + (data / "testdev100.txt").string() + "\nDated copy: "));
  EXPECT_TRUE(Has(r.err, "Turning ON A1-D1\n"));
  EXPECT_TRUE(Has(r.err, "[1 COLUMN]\n"));
  const std::string report = ReadWholeFile(data / "testdev100.txt").value_or("");
  EXPECT_TRUE(Has(report, "\r\nCol[6]: NONPASS 15          CH > 80% (NONOK:CH85[0%], ); 368CH < 20% (NONOK:)\r\n"));
  EXPECT_TRUE(Has(report, "\r\nRow[9]: NONPASS 23          CH > 80% (NONOK:CH200[0%], ); 360CH < 20% (NONOK:)\r\n"));
}

TEST(FactoryCommand, ShowsAndCalibrates) {
  testing::TempFolder data;
  sim::VirtualInstrument instrument;  // 22 degC, factory offset -2.5, slope 0.219
  Install(data, instrument.start());
  const std::string dataArg = "--data=" + data.path().string();
  const int raw = instrument.model().rawTemperature();

  CliRun show = Cli({dataArg, "factory"});
  ASSERT_EQ(show.code, 0) << show.err;
  EXPECT_EQ(show.out, "SERIAL : ORBL00100\nOK Last Factory Calibration 06/24 [mm/yy]\nTemperature: 22.0\n");

  for (std::string bad : {"3.9", "50.1"}) {
    CliRun r = Cli({dataArg, "factory", "--set-temperature", bad});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(Has(r.err, "invalid Calibration Parameter: value must be between 4°C and 50°C")) << r.err;
  }
  EXPECT_EQ(Cli({dataArg, "factory", "--set-temperature", "warm"}).code, kExitUsage);
  EXPECT_EQ(Cli({dataArg, "factory", "--set-temperature"}).code, kExitUsage);
  EXPECT_EQ(instrument.model().factoryByte(1), 6);  // nothing written so far

  CliRun set = Cli({dataArg, "factory", "--set-temperature=23.5"});
  ASSERT_EQ(set.code, 0) << set.err;
  EXPECT_TRUE(Has(set.out, "\nTemperature: 23.5\n")) << set.out;
  const double offset = 23.5 - raw * 0.219;
  const LocalDateTime now = CurrentLocalTime();
  EXPECT_EQ(instrument.model().factoryByte(0), 0);
  EXPECT_EQ(instrument.model().factoryByte(1), now.month);
  EXPECT_EQ(instrument.model().factoryByte(2), now.year % 100);
  EXPECT_EQ(instrument.model().factoryByte(3), offset < 0 ? 1 : 0);
  EXPECT_EQ(instrument.model().factoryByte(4), static_cast<int>(std::lround(std::fabs(offset) * 10)));
  EXPECT_EQ(instrument.model().factoryByte(5), 219);
  EXPECT_EQ(instrument.model().factoryByte(6), 0);
  // The next connection reads the new calibration back.
  CliRun again = Cli({dataArg, "factory"});
  EXPECT_TRUE(Has(again.out, "\nTemperature: 23.5\n")) << again.out;
}

}  // namespace
}  // namespace orb
