// Every loader fed random, truncated and mutated bytes ends either with the
// values it read or with its documented defaults and messages, and never
// crashes, throws or loops.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "app/config_files.h"
#include "app/project_files.h"
#include "tests/app/app_fixture.h"

namespace orb {
namespace {

using testing::ProjectFixture;

const std::string kRecheck = "Warning!! PLEASE Re-Check setup values before RUN";

class Damage {
 public:
  explicit Damage(unsigned seed) : rng_(seed) {}

  // Random bytes, a cut of `valid`, a few bytes of it changed, or a line of
  // it dropped.
  std::string of(const std::string& valid) {
    std::string s = valid;
    switch (pick(4)) {
      case 0: {
        s.assign(pick(3000), '\0');
        for (auto& ch : s) ch = static_cast<char>(pick(256));
        break;
      }
      case 1:
        s.resize(pick(valid.size() + 1));
        break;
      case 2:
        for (int i = 0, n = 1 + pick(5); i < n && !s.empty(); ++i)
          s[pick(s.size())] = "\",\r\n x-9\0\xff"[pick(10)];
        break;
      default: {
        const auto start = s.find("\r\n", pick(s.size() + 1));
        if (start != std::string::npos) s.erase(start, s.find("\r\n", start + 2) - start);
      }
    }
    return s;
  }
  std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

 private:
  std::mt19937 rng_;
};

TEST_F(ProjectFixture, LoadersSurviveDamagedFiles) {
  Damage damage(20240415);
  ws.config.Actual_Project_Number = 1;
  ws.setup = DefaultProjectSetup(tmp.path(), 1);
  ws.setup.Name = "Valid";
  ws.status.fill(-1);
  ws.thresholds.fill(2.25);
  LoadGroupNames(ws.ProjectPath, ws.groups, 1, *ws.op);
  LoadChannelGroups(ws.ProjectPath, ws.groups, 1, *ws.op);
  op.clear();
  const std::string setup = SetupFileBytes(ws.setup, 1);
  const std::string status = StatusFileBytes(ws.status);
  const std::string thresholds = ThresholdFileBytes(ws.thresholds);
  const std::string groups = GroupNamesFileBytes(ws.groups);
  const std::string chgroup = ChannelGroupsFileBytes(ws.groups);
  const std::string config = ConfigFileBytes(AppConfig{1, 3, 5, 0});
  ChannelCalibration cal;
  ResetCalibration(tmp.path(), cal);
  const std::string calvalue = tmp.read("calvalue.dat");

  for (int trial = 0; trial < 250; ++trial) {
    SCOPED_TRACE(trial);
    op.clear();
    tmp.write("config.dat", damage.of(config));
    AppConfig c;
    const bool loaded = LoadConfig(tmp.path(), c, op);
    EXPECT_EQ(op.shown().size(), loaded ? 0u : 1u);
    EXPECT_TRUE(c.Actual_Project_Number >= 0 && c.Last_Project >= c.Actual_Project_Number);
    EXPECT_TRUE(c.Serial_COM >= 1 && c.Serial_COM <= 16 && c.Restart_Time == 0);
    EXPECT_TRUE(loaded || c.Serial_COM == 4);

    op.clear();
    tmp.write("p00001/status.dat", damage.of(status));
    LoadChannelStatus(ws.ProjectPath, ws.status, 1, *ws.op);
    for (int ch = 0; ch < kChannels; ++ch) ASSERT_TRUE(ws.status[ch] == -1 || ws.status[ch] == 0);
    if (!op.shown().empty()) {
      EXPECT_EQ(op.texts(), std::vector<std::string>{"Error [\\p00001\\status.dat] => Loading default values..."});
      EXPECT_EQ(ws.status[200], -1);
    }

    op.clear();
    tmp.write("p00001/threshld.dat", damage.of(thresholds));
    LoadThresholds(ws.ProjectPath, ws.thresholds, 1, *ws.op);
    for (int ch = 0; ch < kChannels; ++ch) ASSERT_TRUE(std::isfinite(ws.thresholds[ch]));
    if (!op.shown().empty()) {
      EXPECT_EQ(op.texts(), std::vector<std::string>{"Error [\\p00001\\threshld.dat] => Loading default values..."});
      EXPECT_EQ(ws.thresholds[200], 3.0);
    }

    tmp.write("calvalue.dat", damage.of(calvalue));
    LoadCalibration(tmp.path(), cal);

    op.clear();
    tmp.write("p00001/groups.dat", damage.of(groups));
    tmp.write("p00001/chgroup.dat", damage.of(chgroup));
    LoadGroupNames(ws.ProjectPath, ws.groups, 1, *ws.op);
    LoadChannelGroups(ws.ProjectPath, ws.groups, 1, *ws.op);
    for (const auto& text : op.texts()) EXPECT_NE(text.find("=> Loading default groups..."), std::string::npos);

    // setup.dat, with a sound setup.bak beside it in every other trial.
    op.clear();
    const bool withBak = trial % 2 == 0;
    if (withBak) tmp.write("p00001/setup.bak", setup);
    else std::filesystem::remove(tmp / "p00001/setup.bak");
    tmp.write("p00001/setup.dat", damage.of(setup));
    LoadProjectSetup(ws, 1);
    const auto texts = op.texts();
    ASSERT_LE(texts.size(), 4u);
    if (!texts.empty() && texts[0].find("=> Loading values from: p00001\\") != std::string::npos) {
      EXPECT_TRUE(withBak);
      EXPECT_EQ(texts.size(), 2u);  // the restored copy is sound: no further message
      EXPECT_EQ(SetupFileBytes(ws.setup, 1), setup);
    } else if (!texts.empty() && texts[0].find("=> Loading default values...") != std::string::npos) {
      EXPECT_FALSE(withBak && texts[0].find("ID#11") == std::string::npos);
      EXPECT_EQ(texts.back(), kRecheck);
    }

    tmp.write("p00001/setup.dat", damage.of(setup));
    const std::string summary = ReadProjectSummary(ws.ProjectPath, op);
    EXPECT_TRUE(summary.rfind("<Project> p", 0) == 0 || summary == "ERROR on SETUP.DAT FILE!!!") << summary;

    tmp.write("p00001/setup.dat", damage.of(setup));
    if (!RenameProject(ws.ProjectPath, "Renamed", op).empty()) {
      EXPECT_EQ(CountLines(tmp / "p00001/setup.dat"), CountLines(tmp / "p00001/setup.bak"));
    }

    tmp.write("p00001/subproj.dat", damage.of("\"Dose 1\"\r\n\"ten worms\"\r\n"));
    ReadSubprojectName(ws.ProjectPath);
    RenameSubproject(ws.ProjectPath, "Dose 2", op);
  }
}

TEST_F(ProjectFixture, EnormousAndSpecialFilesAreBoundedNotFatal) {
  ws.status.fill(0);
  ws.status[383] = -1;
  // 385 records (the spare slot 384 included) followed by megabytes of
  // junk: the table is read, the junk past the last slot never reached.
  tmp.write("p00001/status.dat", StatusFileBytes(ws.status) + "384,0\r\n" + std::string(3 << 20, 'x'));
  ws.status.fill(-1);
  LoadChannelStatus(ws.ProjectPath, ws.status, 1, *ws.op);
  EXPECT_TRUE(op.shown().empty());
  EXPECT_EQ(ws.status[0], 0);
  EXPECT_EQ(ws.status[383], -1);

  // One line of megabytes: damaged, defaults.
  tmp.write("p00001/groups.dat", "\"h\"\r\n0,\"" + std::string(3 << 20, 'n') + "\"\r\n");
  LoadGroupNames(ws.ProjectPath, ws.groups, 1, *ws.op);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Error [\\p00001\\groups.dat] => Loading default groups..."});
  EXPECT_EQ(ws.groups.GroupName[0], "Group0");

  op.clear();
  tmp.write("p00001/setup.dat", std::string(3 << 20, '\n'));
  LoadProjectSetup(ws, 1);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{"Error [\\p00001\\setup.dat] ID#1 => Loading default values...",
                                                  kRecheck}));
  EXPECT_EQ(ReadProjectSummary(ws.ProjectPath, op), "<Project> p: SETUP NOT FOUND!!");

  // A folder or a pipe under a file's name: unreadable, never waited on.
  op.clear();
  std::filesystem::create_directories(tmp / "p00001/threshld.dat");
  LoadThresholds(ws.ProjectPath, ws.thresholds, 1, *ws.op);
  ASSERT_EQ(::mkfifo((tmp / "config.dat").c_str(), 0600), 0);
  AppConfig config;
  EXPECT_FALSE(LoadConfig(tmp.path(), config, op));
  EXPECT_EQ(CountLines(tmp / "config.dat"), 0);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{"Error [\\p00001\\threshld.dat] => Loading default values...",
                                                  "Error opening config File >>>> Loading DEFAULT configuration..."}));
}

}  // namespace
}  // namespace orb
