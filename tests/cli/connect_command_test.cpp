#include "cli/connect_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/data_folder.h"
#include "sim/virtual_instrument.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun Connect(std::vector<std::string> args) {
  std::ostringstream out, err;
  int code = RunConnect(args, out, err);
  return {code, out.str(), err.str()};
}

// An installed data folder whose ports file sends COM2 to `instrument` and
// the other ports nowhere.
void Install(const testing::TempFolder& data, const std::string& instrument) {
  InitDataFolder(data.path(), false);
  std::string lines = "# test ports\n";
  for (int n = 1; n <= 15; ++n)
    lines += "COM" + std::to_string(n) + "=" + (n == 2 ? instrument : (data / "ttyNone").string()) + "\n";
  data.write("ports.dat", lines);
}

TEST(ConnectCommand, PrintsTheInstrumentAndItsCalibration) {
  testing::TempFolder data;
  sim::VirtualInstrument instrument;
  Install(data, instrument.start());
  CliRun r = Connect({"--data", data.path().string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Port: COM2\nDevice: " + instrument.devicePath() +
                       "\nSerial number: 100\nCalibrated: yes\nMonth: 6\nYear: 24\nSlope: 0.219\nOffset: -2.5\n");
  EXPECT_NE(r.err.find("Status = Connected on COM[ 2 ]"), std::string::npos);
}

TEST(ConnectCommand, NoInstrument) {
  testing::TempFolder data;
  EXPECT_EQ(Connect({"--data=" + data.path().string()}).code, 3);
  Install(data, (data / "ttyNone").string());
  CliRun unanswered = Connect({"--data", data.path().string()});
  EXPECT_EQ(unanswered.code, kExitNoInstrument);
  EXPECT_NE(unanswered.err.find("COM(15) PORT ERROR"), std::string::npos);
  CliRun offline = Connect({"--data", data.path().string(), "--offline-on-failure"});
  EXPECT_EQ(offline.code, kExitNoInstrument);
  EXPECT_EQ(offline.out, "");
  EXPECT_NE(offline.err.find("PORT NOT FOUND"), std::string::npos);
  EXPECT_EQ(Connect({"--bogus"}).code, 2);
}

// A port typed after a failed search is remembered in config.dat when it
// opens, for the next connection; this run stays unconnected.
TEST(ConnectCommand, TypedPortIsRememberedForTheNextConnection) {
  testing::TempFolder data;
  sim::InstrumentOptions options;
  options.faults.silent = true;
  sim::VirtualInstrument silent(options);
  InitDataFolder(data.path(), false);
  std::string lines;
  for (int n = 1; n <= 15; ++n)
    lines += "COM" + std::to_string(n) + "=" + (n == 7 ? silent.start() : (data / "ttyNone").string()) + "\n";
  data.write("ports.dat", lines);
  CliRun r = Connect({"--data", data.path().string(), "--port", "7"});
  EXPECT_EQ(r.code, kExitNoInstrument) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(data.read("config.dat").find("\r\n0,0,7,0\r\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace orb
