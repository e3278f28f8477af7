// The files that report, wells and reanalyze write for one generated
// recording, pinned byte for byte (by length and a 64-bit FNV-1a hash of
// each file, after the path, date and time stamps are masked). The figures
// in output_bytes_expected.inc were taken from an earlier build of the
// program with tools/output_fingerprints.py; a change of any output byte
// fails here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <regex>
#include <sstream>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "common/fileio.h"
#include "records/record_files.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAcquisition = "p00001/20240131_0905";

std::uint64_t Fnv1a(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// What depends on where and when a command ran: the data folder's path,
// the report's "DATE:" field and the time stamps of the well files.
std::string Normalise(std::string bytes, const std::vector<fs::path>& roots) {
  for (const auto& root : roots) {
    const std::string path = root.string();
    for (auto at = bytes.find(path); at != std::string::npos; at = bytes.find(path, at))
      bytes.replace(at, path.size(), "<DATA>");
  }
  static const std::regex date(R"re(("DATE:"[^"]*)"[^"]*")re");
  static const std::regex stamp(R"re([0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2})re");
  bytes = std::regex_replace(bytes, date, "$1\"<NOW>\"");
  return std::regex_replace(bytes, stamp, "<TIME>");
}

// Every file of the data folder: relative path -> "length:hash". The
// settings copied from the generated folder still name it: `generated`.
std::map<std::string, std::string> Fingerprints(const fs::path& root, const fs::path& generated) {
  std::map<std::string, std::string> prints;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string bytes = Normalise(ReadWholeFile(entry.path()).value_or(""), {root, generated});
    std::ostringstream s;
    s << bytes.size() << ":" << std::hex << Fnv1a(bytes);
    prints[fs::relative(entry.path(), root).generic_string()] = s.str();
  }
  return prints;
}

// The demo project (k96f, wells grouped by pairs of columns) with a
// recording of 180 two-minute intervals and the raw samples of its first 13.
void WriteRecording(const fs::path& data) {
  InitDataFolder(data, true);
  ScriptedOperator op;
  Workspace ws(data, op);
  ws.config.Actual_Project_Number = 1;
  ws.ProjectPath = data / "p00001";
  LoadProject(ws, 1);
  ws.setup.Save_real = 1;
  const fs::path folder = data / kAcquisition;
  fs::create_directories(folder);
  SaveProject(ws, folder);
  WriteSubproject(folder, "Dose 1", "generated");

  std::mt19937 random(20240131);
  std::string counts;
  for (int i = 0; i < 180; ++i) {
    CountsRecord r;
    r.ElapsedMinutes = 2 * i;
    for (int c = 0; c < kChannels; ++c) r.IntervalCounts[c] = static_cast<std::int16_t>(random() % (c % 7 == 0 ? 3 : 40));
    r.TemperatureTenths = static_cast<std::int16_t>(240 + random() % 20);
    counts += PackCountsRecord(r);
  }
  WriteFileAtomic(folder / kCountsFile, counts);

  for (int interval = 0; interval < 13; ++interval) {
    RawRecord raw;
    raw.values.assign(RawRecordSize(kStandardRawBuffer) / 2, 0);
    for (int beam = 0; beam < kChannels; ++beam) {
      const int level = 1500 + beam;
      for (int n = 0; n <= kStandardRawBuffer; ++n) {
        int v = level + static_cast<int>(random() % 9) - 4;
        if ((n + beam * 7 + interval * 13) % 97 < 3) v = level * 3 / 4;  // a dip
        raw.values[std::size_t(n) * kChannelSlots + beam] = static_cast<std::int16_t>(v);
      }
    }
    ASSERT_FALSE(AppendRecord(folder / RawFileName(interval / kRecordsPerFile), PackRawRecord(raw)));
  }
}

struct Case {
  const char* name;
  std::vector<std::string> args;  // after "--data DIR COMMAND"; the folder is appended
  std::map<std::string, std::string> expected;
};

TEST(OutputBytes, ReportWellsAndReanalyzeWriteTheSameBytes) {
  setenv("LC_ALL", "C", 1);
  testing::TempFolder original;
  WriteRecording(original.path());
  if (const char* keep = std::getenv("ORB_KEEP_GENERATED_RECORDING"))
    fs::copy(original.path(), keep, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  const auto before = Fingerprints(original.path(), original.path());

  const std::vector<Case> cases = {
#include "tests/cli/output_bytes_expected.inc"
  };
  for (const Case& c : cases) {
    testing::TempFolder data;
    fs::copy(original.path(), data.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::vector<std::string> args = {"--data", data.path().string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back((data / kAcquisition).string());
    std::ostringstream out, err;
    ASSERT_EQ(RunCli(args, out, err), kExitOk) << c.name << "\n" << err.str();
    // Only what the command writes is listed; everything else is as generated.
    auto after = Fingerprints(data.path(), original.path());
    for (const auto& [file, print] : c.expected) {
      EXPECT_EQ(after[file], print) << c.name << ": " << file;
      after.erase(file);
    }
    for (const auto& [file, print] : after) {
      auto it = before.find(file);
      EXPECT_TRUE(it != before.end() && it->second == print) << c.name << ": " << file << " written unexpectedly";
    }
  }
}

}  // namespace
}  // namespace orb
