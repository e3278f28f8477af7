// Joining recorded acquisitions into a new acquisition folder.
#include "browser/join.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/project_files.h"
#include "common/fileio.h"
#include "common/text_record.h"
#include "records/record_files.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

// An acquisition of `records` intervals, minutes 0, 1, ...; counts carry
// `mark` so that each record's origin can be told.
fs::path MakeAcquisition(const fs::path& project, const std::string& name, int records, int mark,
                         const std::string& plate = "k96f") {
  const fs::path folder = project / name;
  fs::create_directories(folder);
  ProjectSetup s = DefaultProjectSetup(project.parent_path(), 1);
  s.Plate_format = plate;
  std::ofstream(folder / "setup.dat", std::ios::binary) << SetupFileBytes(s, 1);
  std::ofstream(folder / "groups.dat", std::ios::binary) << "groups of " << name;
  std::ofstream(folder / "chgroup.dat", std::ios::binary) << "chgroup of " << name;
  std::ofstream(folder / (plate + ".dat"), std::ios::binary) << "plate of " << name;
  EXPECT_TRUE(WriteSubproject(folder, "run " + name, "description"));
  std::ofstream out(folder / kCountsFile, std::ios::binary);
  for (int i = 0; i < records; ++i) {
    CountsRecord r;
    r.ElapsedMinutes = i;
    r.IntervalCounts[0] = static_cast<std::int16_t>(mark);
    r.IntervalCounts[383] = static_cast<std::int16_t>(i);
    r.TemperatureTenths = 215;
    out << PackCountsRecord(r);
  }
  return folder;
}

std::vector<JoinItem> Items(const std::vector<fs::path>& folders) {
  std::vector<JoinItem> items;
  for (const fs::path& f : folders) items.push_back({f, AcquisitionLine(f)});
  return items;
}

std::vector<std::string> Subfolders(const fs::path& project) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(project))
    if (e.is_directory()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct JoinTest : ::testing::Test {
  TempFolder tmp;
  fs::path project = tmp.path() / "p00001";
  ScriptedOperator op;
  FakeClock clock;
  void SetUp() override { clock.local = {2024, 2, 3, 9, 15, 0}; }
};

TEST(JoinLines, ListLineAndQuestionTexts) {
  TempFolder tmp;
  const fs::path a = MakeAcquisition(tmp.path() / "p00001", "20240131_1405", 1, 1);
  EXPECT_EQ(AcquisitionLine(a), "  > 2024.0131\t ACQ14:05 \"run 20240131_1405\"");
  const std::vector<JoinItem> items{{a, "L1"}, {a, "L2 \"x\""}};
  EXPECT_EQ(JoinQuestion(items), "Would you like to Join:\r\nL1\r\nL2 \"x\"\r\n ?");
  EXPECT_EQ(JoinSubprojectText(items), "Data Block: L1 + L2 'x' + ");
}

TEST(JoinLines, StartTimesAndMinutes) {
  const auto t = AcquisitionStart("20240228_2359");
  ASSERT_TRUE(t);
  EXPECT_EQ(*t, (LocalDateTime{2024, 2, 28, 23, 59, 0}));
  EXPECT_FALSE(AcquisitionStart("20240230_1000"));
  EXPECT_FALSE(AcquisitionStart("20240131_2460"));
  EXPECT_FALSE(AcquisitionStart("20240131-1000"));
  EXPECT_EQ(MinutesBetween({2024, 2, 28, 23, 59, 0}, {2024, 3, 1, 0, 1, 0}), 2 + 1440);  // leap day
  EXPECT_EQ(MinutesBetween({2023, 12, 31, 23, 0, 0}, {2024, 1, 1, 1, 0, 0}), 120);
  EXPECT_EQ(NextMinute({2024, 2, 29, 23, 59, 30}), (LocalDateTime{2024, 3, 1, 0, 0, 0}));
  EXPECT_EQ(NextMinute({2023, 12, 31, 23, 59, 0}), (LocalDateTime{2024, 1, 1, 0, 0, 0}));
  EXPECT_EQ(NextMinute({2023, 2, 28, 23, 59, 0}), (LocalDateTime{2023, 3, 1, 0, 0, 0}));
}

TEST_F(JoinTest, HundredAndFiftyRecordsPlacedByTheirStarts) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 100, 1);
  const fs::path b = MakeAcquisition(project, "20240201_0900", 50, 2);
  op.answer(Answer::Ok);
  const JoinResult r = JoinAcquisitions(Items({a, b}), {}, op, clock);
  ASSERT_TRUE(r.joined()) << r.message;
  EXPECT_EQ(r.folder, project / "20240203_0915");
  EXPECT_EQ(r.records, 150);
  ASSERT_GE(op.shown().size(), 2u);
  EXPECT_EQ(op.shown()[0].text, JoinQuestion(Items({a, b})));
  EXPECT_EQ(op.shown()[0].buttons, Buttons::OkCancel);
  EXPECT_NE(op.shown().back().text.find(r.folder.string()), std::string::npos);

  const auto records = ReadCountsFile(r.folder);
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 150u);
  EXPECT_EQ(fs::file_size(r.folder / kCountsFile), 150u * kCountsRecordSize);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ((*records)[i].IntervalCounts[0], 1);
    EXPECT_EQ((*records)[i].ElapsedMinutes, i);
  }
  // 20240201_0900 starts 18 h 55 min after 20240131_1405.
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ((*records)[100 + i].IntervalCounts[0], 2);
    EXPECT_EQ((*records)[100 + i].IntervalCounts[383], i);
    EXPECT_EQ((*records)[100 + i].ElapsedMinutes, 1135 + i);
  }
  EXPECT_EQ((*records)[120].TemperatureTenths, 215);

  // subproj.dat: the Data Block text, and a description that says how the
  // blocks were placed.
  RecordReader sub = RecordReader::fromFile(r.folder / kSubprojectFile);
  const std::string name = sub.readText();
  EXPECT_EQ(name, "Data Block:   > 2024.0131\t ACQ14:05 'run 20240131_1405' +   > 2024.0201\t ACQ09:00 "
                  "'run 20240201_0900' + ");
  EXPECT_EQ(name.substr(name.size() - 3), " + ");
  const std::string description = sub.readText();
  EXPECT_EQ(description.rfind("Joint Files", 0), 0u);
  EXPECT_NE(description.find("20240201_0900 +1135"), std::string::npos) << description;

  // The settings snapshot of the first acquisition, its plate file too.
  for (const char* f : {"setup.dat", "groups.dat", "chgroup.dat", "k96f.dat"})
    EXPECT_EQ(ReadWholeFile(r.folder / f), ReadWholeFile(a / f)) << f;
  EXPECT_FALSE(fs::exists(r.folder / "counts.bin.part"));
}

TEST_F(JoinTest, LaterBlockFirstKeepsTheGivenOrderAndMovesTheFirst) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 3, 1);
  const fs::path b = MakeAcquisition(project, "20240131_1200", 2, 2);
  const JoinResult r = JoinAcquisitions(Items({a, b}), {.ask = false, .name = "both"}, op, clock);
  ASSERT_TRUE(r.joined()) << r.message;
  const auto records = ReadCountsFile(r.folder);
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 5u);
  EXPECT_EQ((*records)[0].IntervalCounts[0], 1);
  EXPECT_EQ((*records)[0].ElapsedMinutes, 125);
  EXPECT_EQ((*records)[3].IntervalCounts[0], 2);
  EXPECT_EQ((*records)[3].ElapsedMinutes, 0);
  EXPECT_EQ(ReadSubprojectName(r.folder), "both");
}

TEST_F(JoinTest, AnExistingFolderIsNeverWrittenIntoTheNextMinuteIsTaken) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 4, 1);
  const fs::path b = MakeAcquisition(project, "20240131_1500", 4, 2);
  // The minute of the join and the one after it are taken already.
  const fs::path busy = MakeAcquisition(project, "20240203_0915", 7, 9);
  fs::create_directory(project / "20240203_0916");
  const auto before = ReadWholeFile(busy / kCountsFile);
  const JoinResult r = JoinAcquisitions(Items({a, b}), {.ask = false, .name = std::nullopt}, op, clock);
  ASSERT_TRUE(r.joined()) << r.message;
  EXPECT_EQ(r.folder, project / "20240203_0917");
  EXPECT_EQ(ReadWholeFile(busy / kCountsFile), before);
  EXPECT_EQ(CountsRecordCount(busy), 7);
  EXPECT_TRUE(fs::is_empty(project / "20240203_0916"));
  EXPECT_EQ(CountsRecordCount(r.folder), 8);
}

TEST_F(JoinTest, DifferentPlatesAreRefusedAndNothingIsMade) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 4, 1, "k96f");
  const fs::path b = MakeAcquisition(project, "20240131_1500", 4, 2, "k384");
  const auto before = Subfolders(project);
  const JoinResult r = JoinAcquisitions(Items({a, b}), {}, op, clock);
  EXPECT_EQ(r.status, JoinResult::Status::Refused);
  EXPECT_NE(r.message.find("plate"), std::string::npos);
  ASSERT_EQ(op.shown().size(), 1u);  // the refusal; no question
  EXPECT_EQ(op.shown()[0].text, r.message);
  EXPECT_EQ(Subfolders(project), before);
}

TEST_F(JoinTest, DifferentProjectsAreRefused) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 4, 1);
  const fs::path b = MakeAcquisition(tmp.path() / "p00002", "20240131_1500", 4, 2);
  const JoinResult r = JoinAcquisitions(Items({a, b}), {.ask = false, .name = std::nullopt}, op, clock);
  EXPECT_EQ(r.status, JoinResult::Status::Refused);
  EXPECT_NE(r.message.find("different projects"), std::string::npos);
  EXPECT_EQ(Subfolders(project), (std::vector<std::string>{"20240131_1405"}));
}

TEST_F(JoinTest, OneAcquisitionAsksButCreatesNothing) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 4, 1);
  op.answer(Answer::Ok);
  const JoinResult r = JoinAcquisitions(Items({a}), {}, op, clock);
  EXPECT_EQ(r.status, JoinResult::Status::NotEnough);
  ASSERT_EQ(op.shown().size(), 2u);
  EXPECT_EQ(op.shown()[0].text, "Would you like to Join:\r\n" + AcquisitionLine(a) + "\r\n ?");
  EXPECT_EQ(op.shown()[1].text, kJoinWrongSelection);
  EXPECT_EQ(Subfolders(project), (std::vector<std::string>{"20240131_1405"}));
}

TEST_F(JoinTest, CancelCreatesNothing) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 4, 1);
  const fs::path b = MakeAcquisition(project, "20240131_1500", 4, 2);
  op.answer(Answer::Cancel);
  EXPECT_EQ(JoinAcquisitions(Items({a, b}), {}, op, clock).status, JoinResult::Status::Cancelled);
  EXPECT_EQ(Subfolders(project).size(), 2u);
}

TEST_F(JoinTest, ASelectionThatIsNoAcquisitionIsAWrongSelection) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 4, 1);
  const JoinResult r = JoinAcquisitions({{a, AcquisitionLine(a)}, {project, "p00001"}}, {}, op, clock);
  EXPECT_EQ(r.status, JoinResult::Status::Refused);
  EXPECT_EQ(op.texts(), (std::vector<std::string>{"Wrong Selection!\r\nSelect more than one acquisition folder"}));
  EXPECT_EQ(JoinAcquisitions({}, {}, op, clock).status, JoinResult::Status::Refused);
}

TEST_F(JoinTest, AMissingCountsFileOrAnUnstorableNameIsRefused) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 4, 1);
  const fs::path b = MakeAcquisition(project, "20240131_1500", 4, 2);
  JoinResult r = JoinAcquisitions(Items({a, b}), {.ask = false, .name = "say \"hi\""}, op, clock);
  EXPECT_EQ(r.status, JoinResult::Status::Refused);
  fs::remove(b / kCountsFile);
  r = JoinAcquisitions(Items({a, b}), {.ask = false, .name = std::nullopt}, op, clock);
  EXPECT_EQ(r.status, JoinResult::Status::Refused);
  EXPECT_NE(r.message.find("counts.bin"), std::string::npos);
  EXPECT_EQ(Subfolders(project).size(), 2u);
}

TEST_F(JoinTest, AFailureRemovesTheNewFolderAndSaysSo) {
  const fs::path a = MakeAcquisition(project, "20240131_1405", 4, 1);
  const fs::path b = MakeAcquisition(project, "20240131_1500", 4, 2);
  // A list line subproj.dat cannot hold (a character outside Windows-1252):
  // the folder and its snapshot are made before subproj.dat fails.
  std::vector<JoinItem> items = Items({a, b});
  items[1].line += " \xE2\x9C\x93";
  const JoinResult r = JoinAcquisitions(items, {.ask = false, .name = std::nullopt}, op, clock);
  EXPECT_EQ(r.status, JoinResult::Status::Failed);
  EXPECT_NE(r.message.find("subproj.dat"), std::string::npos) << r.message;
  EXPECT_EQ(op.texts().back(), r.message);
  EXPECT_FALSE(fs::exists(project / "20240203_0915"));
  EXPECT_EQ(Subfolders(project).size(), 2u);
}

}  // namespace
}  // namespace orb
