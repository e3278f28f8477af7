#include "records/record_files.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
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
    rec.interval = i;
    rec.raw = &raw;
    rec.counts = Counts(i, i, 20.0);
    EXPECT_TRUE(AppendIntervalRecords(folder.path(), rec).complete());
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

  // Without a record size the file is appended to as it is: nothing of what
  // it holds is cut.
  const std::string first(RawRecordSize(10), '\x01');
  folder.write("0.bin", first);
  EXPECT_FALSE(AppendRecord(folder / "0.bin", std::string(RawRecordSize(500), '\x02')));
  EXPECT_EQ(folder.read("0.bin").substr(0, first.size()), first);
  EXPECT_EQ(std::filesystem::file_size(folder / "0.bin"), RawRecordSize(10) + RawRecordSize(500));
}

RawRecord RawOf(std::int16_t value) {
  RawRecord raw;
  raw.values.assign(kRawRecordSize / 2, value);
  return raw;
}

// counts.bin and the histogram record are kept together or not at all; a
// raw record that cannot be written does not take the counts with it.
TEST(RecordFiles, FailedAppendsKeepTheCountsUnlessTheyFailThemselves) {
  testing::TempFolder folder;
  const RawRecord raw = RawOf(7);
  HistogramRecord histogram;
  IntervalRecords rec;
  rec.counts = Counts(0, 0, 20.0);
  rec.raw = &raw;
  rec.histogram = &histogram;

  // A folder in the way of counts.bin: nothing of the interval is written.
  std::filesystem::create_directories(folder / "counts.bin");
  IntervalWriteResult result = AppendIntervalRecords(folder.path(), rec);
  ASSERT_TRUE(result.counts);
  EXPECT_EQ(result.counts->file, folder / "counts.bin");
  EXPECT_FALSE(result.counts->reason.empty());
  EXPECT_FALSE(result.raw);
  EXPECT_FALSE(std::filesystem::exists(folder / "0.bin"));
  EXPECT_FALSE(std::filesystem::exists(folder / "histo0000.bin"));
  std::filesystem::remove_all(folder / "counts.bin");

  // The histogram file failing takes the counts record back.
  std::filesystem::create_directories(folder / "histo0000.bin");
  result = AppendIntervalRecords(folder.path(), rec);
  ASSERT_TRUE(result.counts);
  EXPECT_EQ(result.counts->file, folder / "histo0000.bin");
  EXPECT_FALSE(std::filesystem::exists(folder / "counts.bin"));
  EXPECT_FALSE(std::filesystem::exists(folder / "0.bin"));
  std::filesystem::remove_all(folder / "histo0000.bin");

  // The raw file failing: the counts and the histogram are written all the same.
  std::filesystem::create_directories(folder / "0.bin");
  result = AppendIntervalRecords(folder.path(), rec);
  EXPECT_FALSE(result.counts);
  ASSERT_TRUE(result.raw);
  EXPECT_EQ(result.raw->file, folder / "0.bin");
  EXPECT_EQ(CountsRecordCount(folder.path()), 1);
  EXPECT_TRUE(ReadHistogramInterval(folder.path(), 0));

  // A device that is full: /dev/full refuses every write with ENOSPC.
  if (std::filesystem::exists("/dev/full")) {
    auto e = AppendRecord("/dev/full", PackCountsRecord(rec.counts));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->reason, std::strerror(ENOSPC));
  }
}

// Raw saving that failed for intervals 5..24 and works again at 25: the
// missing records read as zeros, every file before the resumed one holds
// its eleven records, and the raw record of interval i is still the one
// of counts record i. The padding is a hole that takes no disk space.
TEST(RecordFiles, RawRecordsKeepTheirPlaceAfterMissedIntervals) {
  testing::TempFolder folder;
  auto write = [&](long long interval, long long missingFrom) {
    const RawRecord raw = RawOf(static_cast<std::int16_t>(100 + interval));
    IntervalRecords rec;
    rec.interval = interval;
    rec.rawMissingFrom = missingFrom;
    rec.raw = &raw;
    rec.counts = Counts(static_cast<int>(interval), 0, 20.0);
    return AppendIntervalRecords(folder.path(), rec);
  };
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(write(i, -1).complete());
  std::filesystem::rename(folder / "0.bin", folder / "0.keep");
  for (const char* f : {"0.bin", "1.bin", "2.bin"}) std::filesystem::create_directories(folder / f);
  for (int i = 5; i < 25; ++i) {
    const IntervalWriteResult r = write(i, 5);
    EXPECT_FALSE(r.counts) << i;
    EXPECT_TRUE(r.raw) << i;
  }
  for (const char* f : {"0.bin", "1.bin", "2.bin"}) std::filesystem::remove(folder / f);
  std::filesystem::rename(folder / "0.keep", folder / "0.bin");
  ASSERT_TRUE(write(25, 5).complete());
  ASSERT_TRUE(write(26, -1).complete());

  EXPECT_EQ(CountsRecordCount(folder.path()), 27);
  EXPECT_EQ(RawIntervalCount(folder.path()), 27);
  EXPECT_EQ(std::filesystem::file_size(folder / "0.bin"), 11 * kRawRecordSize);
  EXPECT_EQ(std::filesystem::file_size(folder / "1.bin"), 11 * kRawRecordSize);
  EXPECT_EQ(std::filesystem::file_size(folder / "2.bin"), 5 * kRawRecordSize);
  const auto counts = ReadCountsFile(folder.path());
  ASSERT_TRUE(counts);
  for (int i = 0; i < 27; ++i) {
    const auto raw = ReadRawInterval(folder.path(), i);
    ASSERT_TRUE(raw) << i;
    const bool missing = i >= 5 && i < 25;
    EXPECT_EQ(raw->at(0, 0), missing ? 0 : 100 + i) << i;
    EXPECT_EQ(raw->at(500, 384), missing ? 0 : 100 + i) << i;
    EXPECT_EQ((*counts)[i].ElapsedMinutes, i);
  }
  struct stat st {};
  ASSERT_EQ(::stat((folder / "1.bin").c_str(), &st), 0);
  EXPECT_LT(static_cast<std::uintmax_t>(st.st_blocks) * 512, kRawRecordSize);
}

TEST(RecordFiles, AFolderHoldsRecordsWhenARecordFileIsNotEmpty) {
  testing::TempFolder folder;
  folder.write("setup.dat", "settings");  // a blank reading's snapshot
  folder.write("counts.bin", "");
  EXPECT_FALSE(FolderHoldsRecords(folder.path()));
  folder.write("counts.bin", PackCountsRecord(Counts(0, 0, 20.0)));
  EXPECT_TRUE(FolderHoldsRecords(folder.path()));
  testing::TempFolder raw;
  raw.write("0.bin", "x");
  EXPECT_TRUE(FolderHoldsRecords(raw.path()));
  testing::TempFolder histogram;
  histogram.write("histo0000.bin", "x");
  EXPECT_TRUE(FolderHoldsRecords(histogram.path()));
}

// The folder lock keeps out every other holder, in this process or another,
// adds no file to the folder, and ends with its process, even a killed one.
TEST(RecordFiles, FolderLockIsExclusiveAndEndsWithItsHolder) {
  testing::TempFolder folder;
  FolderLock first = FolderLock::TryLock(folder.path());
  ASSERT_TRUE(first.held());
  EXPECT_FALSE(first.error());
  FolderLock second = FolderLock::TryLock(folder.path());
  EXPECT_FALSE(second.held());
  EXPECT_FALSE(second.error());  // busy, not broken
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  FolderLock moved = std::move(first);
  EXPECT_TRUE(moved.held());
  EXPECT_FALSE(FolderLock::TryLock(folder.path()).held());
  moved.release();
  EXPECT_TRUE(FolderLock::TryLock(folder.path()).held());

  const FolderLock missing = FolderLock::TryLock(folder / "gone");
  EXPECT_FALSE(missing.held());
  ASSERT_TRUE(missing.error());
  EXPECT_EQ(missing.error()->file, folder / "gone");

  // Another process holds it until it is killed.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FolderLock held = FolderLock::TryLock(folder.path());
    const char c = held.held() ? 'y' : 'n';
    if (::write(ready[1], &c, 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  EXPECT_FALSE(FolderLock::TryLock(folder.path()).held());
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_TRUE(FolderLock::TryLock(folder.path()).held());
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
