#include "records/record_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "common/binary.h"
#include "common/fileio.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

CountsRecord Counts(int minutes, int base, double celsius) {
  CountsRecord r;
  r.ElapsedMinutes = minutes;
  for (int b = 0; b < kChannels; ++b) r.IntervalCounts[b] = static_cast<std::int16_t>(base + b);
  r.TemperatureTenths = TemperatureTenths(celsius);
  return r;
}

TEST(RecordFiles, CountsRecordLayoutAndTemperatureRounding) {
  CountsRecord r = Counts(7, -3, 23.25);
  r.IntervalCounts[383] = 32767;
  const std::string bytes = PackCountsRecord(r);
  ASSERT_EQ(bytes.size(), kCountsRecordSize);
  LeReader in(bytes);
  EXPECT_EQ(in.i32(), 7);
  EXPECT_EQ(in.i16(), -3);  // beam 0
  for (int b = 1; b < 383; ++b) in.i16();
  EXPECT_EQ(in.i16(), 32767);  // beam 383 at offset 770
  EXPECT_EQ(in.i16(), 232);    // 23.25 -> 232 (halves to even)
  EXPECT_EQ(TemperatureTenths(23.75), 238);
  EXPECT_EQ(TemperatureTenths(-0.05), 0);

  const CountsRecord back = UnpackCountsRecord(bytes);
  EXPECT_EQ(back.ElapsedMinutes, 7);
  EXPECT_EQ(back.IntervalCounts, r.IntervalCounts);
  EXPECT_EQ(back.TemperatureTenths, 232);
  EXPECT_THROW(UnpackCountsRecord(bytes.substr(1)), std::invalid_argument);
}

TEST(RecordFiles, NamesAndSizes) {
  EXPECT_EQ(RawFileName(0), "0.bin");
  EXPECT_EQ(RawFileName(12), "12.bin");
  EXPECT_EQ(HistogramFileName(3), "histo0003.bin");
  EXPECT_EQ(kRawRecordSize, 385770u);
  EXPECT_EQ(kHistogramRecordSize, 78556u);
  HistogramRecord h;
  h.ElapsedMinutesExact = 1.25;
  h.SecondsPerSample = 0.068;
  h.counts[2 * kChannelSlots + 5] = 9;  // beam 5, bin 2
  const std::string bytes = PackHistogramRecord(h);
  ASSERT_EQ(bytes.size(), kHistogramRecordSize);
  const HistogramRecord back = UnpackHistogramRecord(bytes);
  EXPECT_EQ(back.ElapsedMinutesExact, 1.25);
  EXPECT_EQ(back.SecondsPerSample, 0.068);
  EXPECT_EQ(back.at(5, 2), 9);
}

// Three intervals of a run with raw samples: counts.bin of 2322 bytes, 0.bin
// of three raw records, no histogram file; the twelfth interval goes to 1.bin.
TEST(RecordFiles, AppendedIntervalsAreReadBackByPosition) {
  testing::TempFolder folder;
  RawRecord raw;
  raw.values.assign(kRawRecordSize / 2, 0);
  for (int i = 0; i < 12; ++i) {
    raw.values[std::size_t(3) * kChannelSlots + 10] = static_cast<std::int16_t>(100 + i);  // slot 3, beam 10
    IntervalRecords rec;
    rec.rawFileIndex = i / kRecordsPerFile;
    rec.raw = &raw;
    rec.counts = Counts(i, i, 20.0);
    EXPECT_TRUE(AppendIntervalRecords(folder.path(), rec).empty());
    if (i == 2) {
      EXPECT_EQ(std::filesystem::file_size(folder / "counts.bin"), 2322u);
      EXPECT_EQ(std::filesystem::file_size(folder / "0.bin"), 3 * kRawRecordSize);
      EXPECT_FALSE(std::filesystem::exists(folder / "histo0000.bin"));
    }
  }
  EXPECT_EQ(CountsRecordCount(folder.path()), 12);
  EXPECT_EQ(RawIntervalCount(folder.path()), 12);
  EXPECT_EQ(std::filesystem::file_size(folder / "1.bin"), kRawRecordSize);
  auto counts = ReadCountsFile(folder.path());
  ASSERT_TRUE(counts);
  ASSERT_EQ(counts->size(), 12u);
  EXPECT_EQ((*counts)[11].ElapsedMinutes, 11);
  EXPECT_EQ((*counts)[11].IntervalCounts[0], 11);
  auto r11 = ReadRawInterval(folder.path(), 11);
  ASSERT_TRUE(r11);
  EXPECT_EQ(r11->at(3, 10), 111);
  EXPECT_EQ(ReadRawInterval(folder.path(), 4)->at(3, 10), 104);
  EXPECT_FALSE(ReadRawInterval(folder.path(), 12));
  // Reading into a buffer that held another interval replaces all of it.
  RawRecord reused = *r11;
  ASSERT_TRUE(ReadRawInterval(folder.path(), 4, reused));
  EXPECT_EQ(reused.values, ReadRawInterval(folder.path(), 4)->values);
  EXPECT_FALSE(ReadRawInterval(folder.path(), 12, reused));
  EXPECT_FALSE(ReadHistogramInterval(folder.path(), 0));
}

// A torn record at the end of counts.bin (a power cut in the middle of a
// write) is dropped by the next append, so every record stays at its place;
// readers ignore it until then.
TEST(RecordFiles, PartialTailIsNeverKept) {
  testing::TempFolder folder;
  const std::string one = PackCountsRecord(Counts(0, 1, 20.0));
  folder.write("counts.bin", one + one.substr(0, 100));
  EXPECT_EQ(CountsRecordCount(folder.path()), 1);
  ASSERT_EQ(ReadCountsFile(folder.path())->size(), 1u);

  EXPECT_FALSE(AppendRecord(folder / "counts.bin", PackCountsRecord(Counts(1, 2, 20.0)), kCountsRecordSize));
  EXPECT_EQ(std::filesystem::file_size(folder / "counts.bin"), 2 * kCountsRecordSize);
  EXPECT_EQ(ReadCountsFile(folder.path())->at(1).ElapsedMinutes, 1);

  // Raw files are appended to as they are: a run with another RT_Buffer in
  // the same folder must not cut into the records of the first.
  const std::string first(RawRecordSize(10), '\x01');
  folder.write("0.bin", first);
  EXPECT_FALSE(AppendRecord(folder / "0.bin", std::string(RawRecordSize(500), '\x02')));
  EXPECT_EQ(folder.read("0.bin").substr(0, first.size()), first);
  EXPECT_EQ(std::filesystem::file_size(folder / "0.bin"), RawRecordSize(10) + RawRecordSize(500));
}

TEST(RecordFiles, FailedAppendNamesTheFileAndLeavesItWhole) {
  testing::TempFolder folder;
  // A folder in the way of the file: the open fails.
  std::filesystem::create_directories(folder / "counts.bin");
  IntervalRecords rec;
  rec.counts = Counts(0, 0, 20.0);
  auto errors = AppendIntervalRecords(folder.path(), rec);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].file, folder / "counts.bin");
  EXPECT_FALSE(errors[0].reason.empty());

  // An interval goes into all of its files or into none, so raw interval i
  // stays paired with counts record i: the raw record written before the
  // failing counts.bin is taken back, and a failing raw file stops the rest.
  RawRecord raw;
  raw.values.assign(kRawRecordSize / 2, 7);
  rec.raw = &raw;
  errors = AppendIntervalRecords(folder.path(), rec);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].file, folder / "counts.bin");
  EXPECT_FALSE(std::filesystem::exists(folder / "0.bin"));
  folder.write("0.bin", PackRawRecord(raw));
  errors = AppendIntervalRecords(folder.path(), rec);
  EXPECT_EQ(std::filesystem::file_size(folder / "0.bin"), kRawRecordSize);
  std::filesystem::remove_all(folder / "counts.bin");
  std::filesystem::create_directories(folder / "1.bin");
  rec.rawFileIndex = 1;
  errors = AppendIntervalRecords(folder.path(), rec);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].file, folder / "1.bin");
  EXPECT_FALSE(std::filesystem::exists(folder / "counts.bin"));

  // A device that is full: /dev/full refuses every write with ENOSPC.
  if (std::filesystem::exists("/dev/full")) {
    auto e = AppendRecord("/dev/full", PackCountsRecord(rec.counts));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->reason, std::strerror(ENOSPC));
  }
}

// A FIFO or a device under a record file's name is refused at once: reading
// it would block, or never end.
TEST(RecordFiles, OnlyRegularFilesAreRead) {
  testing::TempFolder folder;
  ASSERT_EQ(::mkfifo((folder / kCountsFile).c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((folder / RawFileName(0)).c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((folder / HistogramFileName(0)).c_str(), 0600), 0);
  EXPECT_FALSE(ReadCountsFile(folder.path()));
  RawRecord raw;
  EXPECT_FALSE(ReadRawInterval(folder.path(), 0, raw));
  EXPECT_FALSE(ReadHistogramInterval(folder.path(), 0));
  EXPECT_EQ(RawIntervalCount(folder.path()), 0);
  EXPECT_FALSE(ReadWholeFile(folder / kCountsFile));

  testing::TempFolder linked;
  std::filesystem::create_symlink("/dev/zero", linked / kCountsFile);
  EXPECT_FALSE(ReadCountsFile(linked.path()));
}

}  // namespace
}  // namespace orb
