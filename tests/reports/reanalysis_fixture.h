// A recording with raw files of known dips, for the raw re-analysis and its
// command.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "records/record_files.h"
#include "reports/reanalysis.h"
#include "signal/signal_analysis.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/scripted_seams.h"

namespace orb::testing {

namespace fs = std::filesystem;

inline constexpr int kIntervals = 13;  // two raw files: 11 + 2 intervals
inline const std::vector<int> kDipStarts = {100, 200, 290};  // none across a window end (30, 60, ...)

// Channels 0, 2 and 5 are wells of the test plate; 1 and the rest are unused.
inline const std::map<int, std::pair<int, int>> kPlateChannels = {{0, {0, 0}}, {2, {1, 0}}, {5, {2, 0}}};

// Beams flat at 1000 with (beam + interval) % 4 flat dips to 500: no local
// extremes, so the noise is 0 and methods 0 and 1 count every dip.
inline int Dips(int beam, int interval) { return (beam + interval) % 4; }

inline RawRecord RawInterval(int interval) {
  RawRecord r;
  r.values.assign(kSignalIntervalValues, 0);
  for (int beam = 0; beam < 384; ++beam) {
    for (int n = 0; n < 500; ++n) r.values[std::size_t(n) * 385 + beam] = 1000;
    for (int d = 0; d < Dips(beam, interval); ++d) {
      for (int n = kDipStarts[d]; n < kDipStarts[d] + 3; ++n) r.values[std::size_t(n) * 385 + beam] = 500;
    }
  }
  return r;
}

class ReanalysisFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    fx.writePlate("ktest", 8, 12, kPlateChannels);
    fx.writeSetup(folder, "ktest", 1, 0, 18);
    fx.writeGroups(folder, {{0, "Control"}}, {{0, 0}, {2, 0}, {5, 0}});
    std::vector<CountsRecord> records;
    for (int j = 0; j < kIntervals; ++j) records.push_back(Rec(j + 1, {{0, 77}, {1, 77}, {2, 77}}, 230 + j));
    fx.writeCounts(folder, records);
    writeRaw(kIntervals);
    oldCounts = AcquisitionFixture::read(folder / "counts.bin");
    oldSetup = AcquisitionFixture::read(folder / "setup.dat");
  }

  void writeRaw(int intervals) {
    fs::remove(folder / "0.bin");
    fs::remove(folder / "1.bin");
    for (int i = 0; i < intervals; ++i) AppendRecord(folder / RawFileName(i / 11), PackRawRecord(RawInterval(i)));
  }

  ReanalysisResult run(const ReanalysisControls& c) {
    return RunRawReanalysis(fx.program(), folder, c, op, events, stop,
                            [this](const ReanalysedRecording& r) {
                              reported.push_back(r);
                              return std::vector<fs::path>{r.acquisitionFolder / "report.csv"};
                            },
                            [this](const std::string& s) { statuses.push_back(s); });
  }

  std::vector<CountsRecord> countsOnDisk() { return ReadCountsFile(folder).value(); }

  AcquisitionFixture fx;
  fs::path folder = fx.acquisition();
  ScriptedOperator op;
  CountingEventLoop events;
  StopFlag stop;
  std::vector<ReanalysedRecording> reported;
  std::vector<std::string> statuses;
  std::string oldCounts, oldSetup;
};

}  // namespace orb::testing
