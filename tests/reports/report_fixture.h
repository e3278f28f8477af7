// Small acquisition folders for the report tests: a data folder with a plate
// file, a project folder p00001 and acquisition folders with setup.dat,
// groups.dat, chgroup.dat, subproj.dat and counts.bin.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/project_files.h"
#include "common/fileio.h"
#include "records/record_files.h"
#include "reports/rebinning.h"
#include "tests/support/temp_folder.h"

namespace orb::testing {

// One counts.bin record: minute, counts of some channels, temperature.
inline CountsRecord Rec(int minute, const std::map<int, int>& counts, int temperatureTenths = 0) {
  CountsRecord r;
  r.ElapsedMinutes = minute;
  for (const auto& [ch, n] : counts) r.IntervalCounts[ch] = static_cast<std::int16_t>(n);
  r.TemperatureTenths = static_cast<std::int16_t>(temperatureTenths);
  return r;
}

inline std::string CountsBytes(const std::vector<CountsRecord>& records) {
  std::string bytes;
  for (const auto& r : records) bytes += PackCountsRecord(r);
  return bytes;
}

// A plate file: geometry and the (well, beam) of some channels; the others
// unused.
inline std::string PlateFileBytes(int rows, int columns, const std::map<int, std::pair<int, int>>& channels) {
  std::string s = "\"Test plate\"\r\n\"geometry\"\r\n" + std::to_string(rows) + ",1,0," + std::to_string(columns) +
                  ",1,0\r\n\"<Label> <ChannelWell> <ChannelBeam>\"\r\n";
  for (int ch = 0; ch < 384; ++ch) {
    auto it = channels.find(ch);
    const int well = it == channels.end() ? -1 : it->second.first;
    const int beam = it == channels.end() ? 0 : it->second.second;
    s += "\"c\"," + std::to_string(well) + "," + std::to_string(beam) + "\r\n";
  }
  return s;
}

class AcquisitionFixture {
 public:
  AcquisitionFixture() { std::filesystem::create_directories(acquisition()); }

  std::filesystem::path program() const { return data_.path(); }
  std::filesystem::path project() const { return data_.path() / "p00001"; }
  std::filesystem::path acquisition(const std::string& name = "20240131_0905") const { return project() / name; }

  void writePlate(const std::string& code, int rows, int columns, const std::map<int, std::pair<int, int>>& channels,
                  const std::string& ext = ".dat") const {
    data_.write(code + ext, PlateFileBytes(rows, columns, channels));
  }

  void writeSetup(const std::filesystem::path& folder, const std::string& plate, int dsp = 1, int organism = 0,
                  int snr = 0) const {
    ProjectSetup s = DefaultProjectSetup(program(), 1);
    s.Plate_format = plate;
    s.DSP_Method = static_cast<std::int16_t>(dsp);
    s.MenuTable[0][0] = static_cast<std::int16_t>(organism);
    s.MenuTable[0][3] = static_cast<std::int16_t>(snr);
    write(folder / "setup.dat", SetupFileBytes(s, 1));
  }

  // Group names and channel groups; channels not listed are free.
  void writeGroups(const std::filesystem::path& folder, const std::map<int, std::string>& names,
                   const std::map<int, int>& channelGroups) const {
    GroupTable g;
    for (int i = 0; i < 385; ++i) g.GroupName[i] = "Free";
    g.ChannelGroup.fill(-1);
    for (const auto& [i, name] : names) g.GroupName[i] = name;
    for (const auto& [ch, group] : channelGroups) g.ChannelGroup[ch] = static_cast<std::int16_t>(group);
    write(folder / "groups.dat", GroupNamesFileBytes(g));
    write(folder / "chgroup.dat", ChannelGroupsFileBytes(g));
  }

  void writeSubproject(const std::filesystem::path& folder, const std::string& name) const {
    std::filesystem::create_directories(folder);
    WriteSubproject(folder, name, "description");
  }

  void writeCounts(const std::filesystem::path& folder, const std::vector<CountsRecord>& records) const {
    write(folder / "counts.bin", CountsBytes(records));
  }

  static void write(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    WriteFileAtomic(file, bytes);
  }
  static std::string read(const std::filesystem::path& file) { return ReadWholeFile(file).value_or("<missing>"); }

 private:
  TempFolder data_;
};

// The recording most report tests share, in `folder`: a 3 x 2 plate "kt6"
// of one beam per well (A1 = channel 0, B1 = 1, C1 = 2, A2 = 16, B2 = 17;
// well C2 has no channel and lies beyond the plate file's last well), groups
// 0 "Control" (channels 0, 1, 2), 1 "Drug" (16), 2 "Empty" (channel 100, in
// no well), channel 17 free; subproject "Growth test"; setting "Mode2
// Zebrafish[snr=2.5]".
//
// The records (minutes 0, 5, 10, 30, 40, 50, 60) are irregular (intervals
// 5, 5, 20) and go whole into 30-minute bins: bin 1 takes minutes 0 to 30,
// bin 2 minutes 40 to 60. Values:   bin 1   bin 2
//   A1 (1, 2, ... 7)                  10      18
//   B1 (10 each)                      40      30
//   C1 (3 each)                       12       9
//   A2 (0, 0, 0, 0, 10, 20, 30)        0      60
//   B2 (2 each)                        8       6
// Temperatures 23.0 x 3 then 24.1 in bin 1, 0 x 2 then 25.2 in bin 2.
inline void WriteStandardRecording(const AcquisitionFixture& fx, const std::filesystem::path& folder) {
  fx.writePlate("kt6", 3, 2, {{0, {0, 0}}, {1, {1, 0}}, {2, {2, 0}}, {16, {3, 0}}, {17, {4, 0}}});
  fx.writeSetup(folder, "kt6", 2, 1, 25);
  fx.writeGroups(folder, {{0, "Control"}, {1, "Drug"}, {2, "Empty"}}, {{0, 0}, {1, 0}, {2, 0}, {16, 1}, {100, 2}});
  fx.writeSubproject(folder, "Growth test");
  const int minutes[] = {0, 5, 10, 30, 40, 50, 60};
  const int a2[] = {0, 0, 0, 0, 10, 20, 30};
  const int temps[] = {230, 230, 230, 241, 0, 0, 252};
  std::vector<CountsRecord> records;
  for (int j = 0; j < 7; ++j)
    records.push_back(Rec(minutes[j], {{0, j + 1}, {1, 10}, {2, 3}, {16, a2[j]}, {17, 2}, {100, 99}}, temps[j]));
  fx.writeCounts(folder, records);
}

// A day of one-minute records, minutes 0 to 1440, every listed channel
// counting the same each minute. Regular, so a 1440-minute bin takes
// records 0..1439 by the 0.02-minute clock: the first record is walked for
// 51 steps and the others for 50, the last record (K) not at all, and the
// bin holds 72001 / 50 x the count per minute: 100 a minute is 144,002, far
// beyond 16 bits.
inline std::vector<CountsRecord> DayOfMinutes(const std::map<int, int>& perMinute, int temperatureTenths = 250) {
  std::vector<CountsRecord> records;
  for (int m = 0; m <= 1440; ++m) records.push_back(Rec(m, perMinute, temperatureTenths));
  return records;
}

// A 30-minute recording whose one bin holds more than 32 bits in `channel`:
// 70,000 records of 32,767 counts at minutes 0, 1, then 29 and an empty
// last record at 30. The jump from 1 to 29 makes it irregular, so every
// record goes whole into bin 0.
inline RecordSeries BeyondThirtyTwoBits(int channel) {
  constexpr int kRecords = 70000;  // x 32,767 = 2,293,690,000 > 2,147,483,647
  RecordSeries s;
  s.minutes.assign(kRecords, 29);
  s.minutes[0] = 0;
  s.minutes[1] = 1;
  s.minutes.push_back(30);
  s.counts.assign(s.minutes.size(), RecordCounts{});
  for (std::size_t j = 0; j + 1 < s.counts.size(); ++j) s.counts[j][static_cast<std::size_t>(channel)] = 32767;
  s.temperature.assign(s.minutes.size(), 250);
  s.T = 30;
  return s;
}

}  // namespace orb::testing
