#include "reports/well_export.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "reports/report_context.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;

CountsRecord At(int minutes) {
  CountsRecord r;
  r.ElapsedMinutes = minutes;
  return r;
}

std::vector<CountsRecord> Times(std::initializer_list<int> minutes) {
  std::vector<CountsRecord> out;
  for (int m : minutes) out.push_back(At(m));
  return out;
}

// A data folder with a 2 x 2 plate of two beams per well (well 2 has only
// its second beam) and one acquisition of seven records, 0 to 100 minutes.
struct Recording {
  testing::TempFolder tmp;
  fs::path data = tmp.path() / "data";
  fs::path folder = data / "p00001" / "20241231_2300";

  Recording() {
    std::string plate =
        "\"Test plate 2x2\"\r\n\"Plate file k2x2: <Rows> <RowStep> <RowOffset> <Columns> <ColumnStep> "
        "<ColumnOffset>\"\r\n2,8,0,2,12,0\r\n\"<Label> <ChannelWell> <ChannelBeam>\"\r\n"
        "\"A1\",0,0\r\n\"B1\",1,0\r\n\"A2\",2,1\r\n\"B2\",3,0\r\n";
    for (int c = 4; c < 16; ++c) plate += "\"none\",-1,0\r\n";
    plate += "\"A1\",0,1\r\n";
    tmp.write("data/k2x2.dat", plate);
    tmp.write("data/p00001/20241231_2300/setup.dat",
              "\"Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>\"\r\n"
              "1,\"Default\",\"x\\p00001\\\",\"k2x2\"\r\n");
    tmp.write("data/p00001/20241231_2300/groups.dat", "\"<Group_Number>, <Group_Name>\"\r\n0,\"Group0\"\r\n");
    tmp.write("data/p00001/20241231_2300/chgroup.dat", "\"<Channel>, <Group: -1=Free>\"\r\n0,0\r\n");
    std::string counts;
    const int minutes[] = {0, 20, 30, 31, 60, 89, 100};
    for (int j = 0; j < 7; ++j) {
      CountsRecord r = At(minutes[j]);
      r.IntervalCounts[0] = 1;
      r.IntervalCounts[16] = 2;
      r.IntervalCounts[1] = static_cast<std::int16_t>(10 * j);
      r.IntervalCounts[2] = 5;
      r.IntervalCounts[3] = 7;
      r.TemperatureTenths = 250;
      counts += PackCountsRecord(r);
    }
    tmp.write("data/p00001/20241231_2300/counts.bin", counts);
  }

  std::string read(const std::string& name) const {
    return tmp.read("data/p00001/20241231_2300/" + name);
  }
  std::vector<std::string> textFiles() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().extension() == ".txt") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

const LocalDateTime kStart{2024, 12, 31, 23, 15, 0};

TEST(WellExport, DayCorrectionLengthAndBinChoice) {
  auto records = Times({100, 1400, 300, 200});
  EXPECT_EQ(CorrectedMinutes(records), (std::vector<std::int64_t>{100, 1400, 1740, 1640}));
  EXPECT_EQ(ExportLength(records), 1640);  // the last record's corrected time
  EXPECT_EQ(ExportLength(Times({10, 90, 40})), 90);  // the largest raw time
  EXPECT_EQ(ExportLength({}), 0);

  EXPECT_EQ(ExportBin(1, 100), 2);
  EXPECT_EQ(ExportBin(120, 100), 90);  // shorter than the bin: down to a multiple of 15
  EXPECT_EQ(ExportBin(30, 20), 21);
  EXPECT_EQ(ExportBin(30, 29), 30);
  EXPECT_EQ(ExportBin(40, 30), 31);    // T of 30 does not exceed 30
  EXPECT_EQ(ExportBin(60, 44), 45);
  EXPECT_EQ(ExportBin(30, 0), 1);
  EXPECT_EQ(ExportBin(30, -5), 1);
  EXPECT_EQ(ExportBinCount(100, 30), 3);
  EXPECT_EQ(ExportBinCount(45, 30), 2);
  EXPECT_EQ(ExportBinCount(75, 30), 2);  // 2.5 -> 2
  EXPECT_EQ(ExportBinCount(0, 1), 1);

  EXPECT_EQ(AddMinutes(kStart, 90), (LocalDateTime{2025, 1, 1, 0, 45, 0}));
  EXPECT_EQ(AddMinutes({2024, 2, 28, 23, 0, 0}, 24 * 60), (LocalDateTime{2024, 2, 29, 23, 0, 0}));
  EXPECT_EQ(AddMinutes({2023, 3, 1, 0, 10, 0}, -20), (LocalDateTime{2023, 2, 28, 23, 50, 0}));
}

TEST(WellExport, RecordsSummedIntoBins) {
  auto records = Times({0, 20, 30, 31, 60, 89, 100, -3});
  for (std::size_t j = 0; j < records.size(); ++j) records[j].IntervalCounts[7] = static_cast<std::int16_t>(1 << j);
  const ExportBins b = SumIntoBins(records, 30);
  ASSERT_EQ(b.bin, 30);
  ASSERT_EQ(b.n, 3);
  EXPECT_EQ(b.value(7, 1), 2 + 4);       // minutes 20 and 30 (minute 0 lies before the first bin)
  EXPECT_EQ(b.value(7, 2), 8 + 16);      // 31 and 60
  EXPECT_EQ(b.value(7, 3), 32);          // 89; 100 lies after the last bin, -3 before the first
  EXPECT_EQ(b.value(8, 1), 0);

  // Sums beyond 16 bits are kept whole.
  std::vector<CountsRecord> busy = Times({1, 2, 3});
  for (auto& r : busy) r.IntervalCounts[0] = 30000;
  EXPECT_EQ(SumIntoBins(busy, 30).value(0, 1), 90000);

  // One beam per well: the channel itself; several: the rounded mean of the
  // beams that have a channel.
  ReportContext one;
  one.wellChannels = {{7}, {-1}};
  EXPECT_EQ(WellValue(one, b, 0, 2), 24);
  EXPECT_EQ(WellValue(one, b, 1, 2), 0);
  ReportContext two;
  two.wellChannels = {{7, 8}, {-1, 7}};
  ExportBins half = b;
  half.channel[8][0] = 1;
  EXPECT_EQ(WellValue(two, half, 0, 1), 4);  // (6 + 1) / 2 = 3.5 -> 4, halves to even
  EXPECT_EQ(WellValue(two, b, 0, 2), 12);
  EXPECT_EQ(WellValue(two, b, 1, 3), 32);
}

TEST(WellExport, FilesWithTimeField) {
  Recording r;
  ScriptedOperator op;
  auto result = ExportWells(r.data, r.folder, 30, true, kStart, op);
  ASSERT_TRUE(result);
  EXPECT_TRUE(op.shown().empty()) << op.texts()[0];
  EXPECT_TRUE(result->complete);
  EXPECT_EQ(result->bin, 30);
  EXPECT_EQ(result->n, 3);
  // Well 2 has no beam-0 channel: no file.
  EXPECT_EQ(r.textFiles(), (std::vector<std::string>{"000_A1.txt", "001_B1.txt", "003_B2.txt"}));
  EXPECT_EQ(result->written.size(), 3u);
  EXPECT_EQ(r.read("000_A1.txt"), "31/12/2024 23:45 3\r\n01/01/2025 00:15 3\r\n01/01/2025 00:45 2\r\n");
  EXPECT_EQ(r.read("001_B1.txt"), "31/12/2024 23:45 30\r\n01/01/2025 00:15 70\r\n01/01/2025 00:45 50\r\n");
  EXPECT_EQ(r.read("003_B2.txt"), "31/12/2024 23:45 14\r\n01/01/2025 00:15 14\r\n01/01/2025 00:45 7\r\n");
}

TEST(WellExport, FilesWithoutTimeField) {
  Recording r;
  ScriptedOperator op;
  auto result = ExportWells(r.data, r.folder, 30, false, kStart, op);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->written.size(), 385u);
  EXPECT_EQ(r.textFiles().size(), 385u);
  EXPECT_EQ(r.read("ch000000.txt"), "2 2 1\r\n");  // the record of minute 0 lies before bin 1
  EXPECT_EQ(r.read("ch000001.txt"), "30 70 50\r\n");
  EXPECT_EQ(r.read("ch000002.txt"), "10 10 5\r\n");
  EXPECT_EQ(r.read("ch000016.txt"), "4 4 2\r\n");
  EXPECT_EQ(r.read("ch000383.txt"), "0 0 0\r\n");
  EXPECT_EQ(r.read("time.txt"), "1800 3600 5400\r\n");

  // A bin longer than the recording follows it: 120 -> 90 minutes, one bin.
  result = ExportWells(r.data, r.folder, 120, false, kStart, op);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->bin, 90);
  EXPECT_EQ(result->n, 1);
  EXPECT_EQ(r.read("time.txt"), "5400\r\n");
  EXPECT_EQ(r.read("ch000001.txt"), "150\r\n");
}

TEST(WellExport, QuestionsMessagesAndFailures) {
  Recording r;
  ScriptedOperator op;
  FakeClock clock;
  RecordingLauncher launcher;
  // No to the first question: nothing is written, nothing opened.
  op.answer(Answer::No);
  EXPECT_FALSE(RunWellExport(r.data, r.folder, 30, op, clock, launcher));
  EXPECT_TRUE(r.textFiles().empty());
  EXPECT_TRUE(launcher.opened.empty());
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Do you like to Export 384 text files?"});

  // Yes, then No to the time field: the channel files, and the folder is shown.
  op.clear();
  op.answer(Answer::Yes).answer(Answer::No);
  ASSERT_TRUE(RunWellExport(r.data, r.folder, 30, op, clock, launcher));
  EXPECT_EQ(op.texts(), (std::vector<std::string>{"Do you like to Export 384 text files?", "Include time field?"}));
  EXPECT_EQ(r.textFiles().size(), 385u);
  EXPECT_EQ(launcher.opened, std::vector<std::string>{r.folder.string()});

  // Stamps come from the clock's present time.
  op.clear();
  op.answer(Answer::Yes).answer(Answer::Yes);
  clock.local = {2022, 4, 15, 10, 30, 0};
  ASSERT_TRUE(RunWellExport(r.data, r.folder, 30, op, clock, launcher));
  EXPECT_EQ(r.read("001_B1.txt").substr(0, 21), "15/04/2022 11:00 30\r\n");

  // A file that cannot be written stops the export with "Report Error";
  // the files before it stay, and the folder is not shown.
  fs::remove(r.folder / "ch000005.txt");
  fs::create_directory(r.folder / "ch000005.txt");
  op.clear();
  launcher.opened.clear();
  auto partial = ExportWells(r.data, r.folder, 30, false, kStart, op);
  ASSERT_TRUE(partial);
  EXPECT_FALSE(partial->complete);
  EXPECT_EQ(partial->written.size(), 5u);
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Report Error"});

  // No counts.bin.
  op.clear();
  fs::remove(r.folder / "counts.bin");
  EXPECT_FALSE(ExportWells(r.data, r.folder, 30, true, kStart, op));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Activity file not Found"});
}

TEST(WellExport, DamagedRecordingsAreRefusedWhole) {
  Recording r;
  // Times of millions of minutes would need millions of bins.
  r.tmp.write("data/p00001/20241231_2300/counts.bin", PackCountsRecord(At(10)) + PackCountsRecord(At(9000000)));
  ScriptedOperator op;
  EXPECT_FALSE(ExportWells(r.data, r.folder, 2, false, kStart, op));
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Report Error"});
  EXPECT_TRUE(r.textFiles().empty());

  // Without its plate file the well variant has no wells to write.
  fs::remove(r.data / "k2x2.dat");
  r.tmp.write("data/p00001/20241231_2300/counts.bin", PackCountsRecord(At(10)));
  op.clear();
  auto result = ExportWells(r.data, r.folder, 30, true, kStart, op);
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->written.empty());
  EXPECT_EQ(op.texts(), std::vector<std::string>{"Multiwell Configuration File k2x2.dat or .bak not found"});
}

}  // namespace
}  // namespace orb
