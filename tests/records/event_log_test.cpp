#include "records/event_log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "common/fileio.h"
#include "tests/support/temp_folder.h"

namespace orb {
using testing::TempFolder;

namespace {

TEST(EventLog, LinesAreAppendedWithTimeIntervalAndMinute) {
  TempFolder dir;
  RecordedEvent lost{{2026, 12, 8, 9, 5, 7}, 3, 2, "link lost: no valid block for 5 s"};
  RecordedEvent back{{2026, 12, 8, 9, 6, 0}, 4, 3, "link back"};
  ASSERT_FALSE(AppendEvent(dir.path(), lost));
  ASSERT_FALSE(AppendEvent(dir.path(), back));
  EXPECT_EQ(ReadWholeFile(dir.path() / kEventsFile).value_or(""),
            "2026-12-08 09:05:07 interval 3 (minute 2): link lost: no valid block for 5 s\r\n"
            "2026-12-08 09:06:00 interval 4 (minute 3): link back\r\n");
}

TEST(EventLog, AFolderThatCannotBeWrittenIsReportedNotThrown) {
  TempFolder dir;
  const auto missing = dir.path() / "gone";
  const auto error = AppendEvent(missing, RecordedEvent{{}, 1, 0, "x"});
  ASSERT_TRUE(error);
  EXPECT_EQ(error->file, missing / kEventsFile);
  EXPECT_FALSE(error->reason.empty());
}

}  // namespace
}  // namespace orb
