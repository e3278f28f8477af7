// The command line's join and the raw signal exports commands on generated recordings.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/data_folder.h"
#include "app/project_files.h"
#include "cli/commands.h"
#include "common/fileio.h"
#include "common/plot_raster.h"
#include "common/text_record.h"
#include "records/record_files.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

struct CliRun {
  int code;
  std::string out, err;
};

std::uint32_t Le32(const std::string& s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
         std::uint32_t(std::uint8_t(s[at + 2])) << 16 | std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}
std::uint32_t Be32(const std::string& s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) << 24 | std::uint32_t(std::uint8_t(s[at + 1])) << 16 |
         std::uint32_t(std::uint8_t(s[at + 2])) << 8 | std::uint32_t(std::uint8_t(s[at + 3]));
}

// The demo data folder (project 1, k96f) with recordings made of it.
struct Recordings {
  TempFolder tmp;
  fs::path data = tmp / "data";
  fs::path project = data / "p00001";
  Recordings() { InitDataFolder(data, true); }

  // A recording of `records` intervals (minutes 0, 1, ...; beam 0 counts
  // `mark`) and `rawFiles` raw files of 11 intervals.
  fs::path record(const std::string& name, int records, int mark, int rawFiles = 0) const {
    const fs::path acq = project / name;
    fs::create_directories(acq);
    for (const char* f : {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat"})
      fs::copy_file(project / f, acq / f);
    EXPECT_TRUE(WriteSubproject(acq, "run " + name, ""));
    std::ofstream counts(acq / kCountsFile, std::ios::binary);
    for (int i = 0; i < records; ++i) {
      CountsRecord r;
      r.ElapsedMinutes = i;
      r.IntervalCounts[0] = static_cast<std::int16_t>(mark);
      counts << PackCountsRecord(r);
    }
    for (int f = 0; f < rawFiles; ++f) {
      std::ofstream raw(acq / RawFileName(f), std::ios::binary);
      for (int b = 0; b < kRecordsPerFile; ++b) {
        RawRecord r;
        r.values.assign(std::size_t(kChannelSlots) * 501, 0);
        for (int s = 0; s < 500; ++s)
          for (int c = 0; c < kChannelSlots; ++c)
            r.values[std::size_t(s) * kChannelSlots + c] = static_cast<std::int16_t>(1000 + f * 100 + c + s % 3);
        raw << PackRawRecord(r);
      }
    }
    return acq;
  }

  CliRun run(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--data", data.string()});
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
};

TEST(JoinCommand, JoinsHundredAndFiftyRecordsIntoANewFolder) {
  Recordings rec;
  const fs::path a = rec.record("20240131_1405", 100, 1);
  const fs::path b = rec.record("20240131_1705", 50, 2);
  const CliRun r = rec.run({"join", "p00001/20240131_1405", b.string(), "--into", "Both days"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const fs::path joined = fs::path(r.out.substr(0, r.out.size() - 1));
  ASSERT_EQ(r.out.back(), '\n');
  EXPECT_EQ(joined.parent_path(), rec.project);
  EXPECT_NE(joined, a);
  EXPECT_NE(joined, b);

  const std::string counts = *ReadWholeFile(joined / kCountsFile);
  ASSERT_EQ(counts.size(), 150u * 774);
  // Record k: its minutes at k x 774, beam 0's count at 4.
  for (int k : {0, 99}) {
    EXPECT_EQ(Le32(counts, k * 774u), std::uint32_t(k));
    EXPECT_EQ(counts[k * 774u + 4], 1);
  }
  for (int k : {100, 149}) {
    EXPECT_EQ(Le32(counts, k * 774u), std::uint32_t(k - 100 + 180));  // 3 hours later
    EXPECT_EQ(counts[k * 774u + 4], 2);
  }
  EXPECT_EQ(ReadSubprojectName(joined), "Both days");
  EXPECT_EQ(ReadWholeFile(joined / "setup.dat"), ReadWholeFile(a / "setup.dat"));
}

TEST(JoinCommand, WithoutANameTheDataBlockTextAndProblemsGetTheirExitCodes) {
  Recordings rec;
  const fs::path a = rec.record("20240131_1405", 3, 1);
  const fs::path b = rec.record("20240131_1705", 3, 2);
  CliRun r = rec.run({"join", a.string(), b.string()});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::string name = ReadSubprojectName(r.out.substr(0, r.out.size() - 1));
  EXPECT_EQ(name.rfind("Data Block:   > 2024.0131\t ACQ14:05 'run 20240131_1405' + ", 0), 0u) << name;

  EXPECT_EQ(rec.run({"join", a.string()}).code, kExitUsage);
  EXPECT_EQ(rec.run({"join", a.string(), "p00001/20990101_0000"}).code, kExitInput);
  EXPECT_EQ(rec.run({"join", a.string(), b.string(), "--colour"}).code, kExitUsage);
  fs::remove(b / kCountsFile);
  r = rec.run({"join", a.string(), b.string()});
  EXPECT_EQ(r.code, kExitInput);
  EXPECT_NE(r.err.find("counts.bin"), std::string::npos);
  r = rec.run({"join", "--help"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_NE(r.out.find("usage: orbelune-cli"), std::string::npos);
}

TEST(JoinCommand, RecordingsOfAnotherPlateAreRefused) {
  Recordings rec;
  const fs::path a = rec.record("20240131_1405", 3, 1);
  const fs::path b = rec.record("20240131_1705", 3, 2);
  ProjectSetup s = DefaultProjectSetup(rec.data, 1);
  s.Plate_format = "k384";
  std::ofstream(b / "setup.dat", std::ios::binary) << SetupFileBytes(s, 1);
  const CliRun r = rec.run({"join", a.string(), b.string()});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("plate"), std::string::npos);
  int folders = 0;
  for (const auto& e : fs::directory_iterator(rec.project)) folders += e.is_directory();
  EXPECT_EQ(folders, 2);
}

TEST(ExportAsciiCommand, WritesThePageOfTheWellIntoTheAcquisition) {
  Recordings rec;
  const fs::path a = rec.record("20240131_1405", 3, 1, 6);
  CliRun r = rec.run({"export-ascii", a.string(), "--well", "A1", "--page", "2"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, (a / "signal_A1_page2.txt").string() + "\n");
  const std::string text = *ReadWholeFile(a / "signal_A1_page2.txt");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6 + 25000);
  const std::string head = "\"Demo\"\r\n\"" + a.string() + "\"\r\n\r\nWell: A1 Page[2/2] [#25k-50k]\r\n\r\nA1.0 A1.1 \r\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  // Page 2 is file 5: beam 0 is channel 0, beam 1 channel 16, sample 1.
  EXPECT_EQ(text.substr(head.size(), 12), "1501 1517 \r\n");

  r = rec.run({"export-ascii", a.string(), "--well", "A1", "--page", "2"});
  ASSERT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, (a / "signal_A1_page2_2.txt").string() + "\n");
}

TEST(ExportAsciiCommand, ProblemsGetTheirExitCodes) {
  Recordings rec;
  const fs::path a = rec.record("20240131_1405", 3, 1, 1);
  const fs::path none = rec.record("20240131_1505", 3, 1, 0);
  EXPECT_EQ(rec.run({"export-ascii", a.string()}).code, kExitUsage);
  EXPECT_EQ(rec.run({"export-ascii", a.string(), "--well", "M1"}).code, kExitUsage);
  EXPECT_EQ(rec.run({"export-ascii", a.string(), "--well", "A1.0"}).code, kExitUsage);
  EXPECT_EQ(rec.run({"export-ascii", a.string(), "--well", "A1", "--page", "2"}).code, kExitUsage);
  EXPECT_EQ(rec.run({"export-ascii", a.string(), "--well", "A1", "--page", "0"}).code, kExitUsage);
  EXPECT_EQ(rec.run({"export-ascii", none.string(), "--well", "A1"}).code, kExitInput);
  EXPECT_EQ(rec.run({"export-ascii", "p00001/20990101_0000", "--well", "A1"}).code, kExitInput);
  EXPECT_EQ(rec.run({"export-ascii", "--help"}).code, kExitOk);
}

TEST(ExportImageCommand, BitmapAndPngFiles) {
  Recordings rec;
  const fs::path a = rec.record("20240131_1405", 3, 1, 1);
  const fs::path bmp = rec.tmp / "a1.bmp";
  CliRun r = rec.run({"export-image", a.string(), "--well", "A1", "--out", bmp.string()});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, bmp.string() + "\n");
  const std::string b = *ReadWholeFile(bmp);
  ASSERT_GE(b.size(), 54u);
  EXPECT_EQ(b.substr(0, 2), "BM");
  EXPECT_EQ(Le32(b, 2), b.size());
  EXPECT_EQ(Le32(b, 18), 1040u);
  EXPECT_EQ(Le32(b, 22), 420u);
  EXPECT_EQ(b[28], 24);
  EXPECT_EQ(b.size(), 54u + 1040 * 3 * 420);

  // An existing file is kept unless --force.
  r = rec.run({"export-image", a.string(), "--well", "B1", "--out", bmp.string()});
  EXPECT_EQ(r.code, kExitFile);
  EXPECT_NE(r.err.find("--force"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(bmp), b);
  r = rec.run({"export-image", a.string(), "--well", "B1", "--out", bmp.string(), "--force"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(ReadWholeFile(bmp), b);

  const fs::path png = rec.tmp / "a1.PNG";
  r = rec.run({"export-image", a.string(), "--well", "A1", "--out", png.string()});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::string p = *ReadWholeFile(png);
  ASSERT_GT(p.size(), 33u);
  EXPECT_EQ(p.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(Be32(p, 8), 13u);
  EXPECT_EQ(p.substr(12, 4), "IHDR");
  EXPECT_EQ(Be32(p, 16), 1040u);
  EXPECT_EQ(Be32(p, 20), 420u);
  EXPECT_EQ(Be32(p, 29), Crc32(p.substr(12, 17)));
  EXPECT_EQ(p.substr(p.size() - 12), std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12));

  EXPECT_EQ(rec.run({"export-image", a.string(), "--well", "A1", "--out", (rec.tmp / "a.gif").string()}).code,
            kExitUsage);
  EXPECT_EQ(rec.run({"export-image", a.string(), "--well", "A1"}).code, kExitUsage);
  EXPECT_EQ(rec.run({"export-image", a.string(), "--well", "A1", "--out", (rec.tmp / "no" / "x.bmp").string()}).code,
            kExitFile);
}

}  // namespace
}  // namespace orb
