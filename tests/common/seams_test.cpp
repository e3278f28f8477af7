#include <gtest/gtest.h>

#include <sstream>

#include "common/console_seams.h"
#include "common/fileio.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

TEST(ScriptedOperator, RecordsMessagesAndFailsOnUnscriptedQuestions) {
  ScriptedOperator op;
  op.inform("hello");
  op.answer(Answer::No);
  EXPECT_FALSE(op.confirm("Sure to Quit?"));
  EXPECT_THROW(op.confirm("again?"), UnscriptedQuestion);
  EXPECT_THROW(op.input("Name?", "", ""), UnscriptedQuestion);
  op.type("abc");
  EXPECT_EQ(op.input("Name?", "", ""), "abc");
  ASSERT_EQ(op.shown().size(), 3u);
  EXPECT_TRUE(op.saw("Sure to Quit?"));
  EXPECT_EQ(op.shown()[1].buttons, Buttons::YesNo);
}

TEST(ConsoleOperator, AnswersFromOptionsOrFailsClearly) {
  std::ostringstream err;
  ConsoleOperator op(err);
  op.answerWhen("Replace", Answer::Yes);
  EXPECT_EQ(op.ask("Replace old data?", Buttons::YesNo), Answer::Yes);
  EXPECT_THROW(op.ask("Something else?", Buttons::YesNo), UnansweredQuestion);
  op.inform("a message");
  EXPECT_NE(err.str().find("a message\n"), std::string::npos);
}

TEST(FileIo, AtomicWriteReplacesWholeOrNothing) {
  testing::TempFolder dir;
  auto file = dir / "setup.dat";
  ASSERT_FALSE(WriteFileAtomic(file, "first"));
  ASSERT_FALSE(WriteFileAtomic(file, "second"));
  EXPECT_EQ(dir.read("setup.dat"), "second");
  // A folder that does not exist: an error, nothing written, no throw.
  EXPECT_TRUE(WriteFileAtomic(dir / "missing" / "x.dat", "x"));
  // No temporary file is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++files;
  EXPECT_EQ(files, 1);
  EXPECT_TRUE(CopyWholeFile(file, dir / "setup.bak"));
  EXPECT_EQ(dir.read("setup.bak"), "second");
  EXPECT_FALSE(CopyWholeFile(dir / "none.dat", dir / "x.bak"));
  EXPECT_FALSE(FileExists(dir / "x.bak"));
}

}  // namespace
}  // namespace orb
