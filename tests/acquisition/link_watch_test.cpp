#include "acquisition/link_watch.h"

#include <gtest/gtest.h>

namespace orb {
namespace {

using std::chrono::milliseconds;

TEST(LinkWatch, LostOnceAfterFiveSilentSecondsBackWithTheNextValidBlock) {
  LinkWatch w;
  w.Start(milliseconds(1000));
  // Bad blocks now and then do not lose the link.
  EXPECT_EQ(w.Observe(false, milliseconds(3000)), LinkWatch::Change::None);
  EXPECT_EQ(w.Observe(true, milliseconds(5000)), LinkWatch::Change::None);
  EXPECT_EQ(w.Observe(false, milliseconds(9999)), LinkWatch::Change::None);
  EXPECT_FALSE(w.lost());
  EXPECT_EQ(w.Observe(false, milliseconds(10000)), LinkWatch::Change::Lost);
  EXPECT_TRUE(w.lost());
  // Told once, however long it lasts.
  EXPECT_EQ(w.Observe(false, milliseconds(20000)), LinkWatch::Change::None);
  EXPECT_EQ(w.silentFor(milliseconds(20000)), milliseconds(15000));
  EXPECT_EQ(w.Observe(true, milliseconds(21000)), LinkWatch::Change::Back);
  EXPECT_FALSE(w.lost());
  EXPECT_EQ(w.Observe(true, milliseconds(21070)), LinkWatch::Change::None);
  // A second loss is told again.
  EXPECT_EQ(w.Observe(false, milliseconds(26070)), LinkWatch::Change::Lost);
}

TEST(LinkWatch, ThePortIsReopenedEveryFewSecondsOnlyWhileLost) {
  LinkWatch w;
  w.Start(milliseconds(0));
  EXPECT_FALSE(w.ReopenDue(milliseconds(4000)));
  ASSERT_EQ(w.Observe(false, milliseconds(5000)), LinkWatch::Change::Lost);
  EXPECT_FALSE(w.ReopenDue(milliseconds(7999)));
  EXPECT_TRUE(w.ReopenDue(milliseconds(8000)));
  EXPECT_FALSE(w.ReopenDue(milliseconds(9000)));
  EXPECT_TRUE(w.ReopenDue(milliseconds(11000)));
  ASSERT_EQ(w.Observe(true, milliseconds(11500)), LinkWatch::Change::Back);
  EXPECT_FALSE(w.ReopenDue(milliseconds(20000)));
}

TEST(LinkWatch, TextsSayHowLongTheInstrumentWasSilent) {
  EXPECT_EQ(LinkLostText(milliseconds(5200)),
            "Instrument link lost: no valid reply for 5 s. The samples are repeated until it answers again; "
            "the port is reopened every 3 s.");
  EXPECT_EQ(LinkBackText(milliseconds(42900)), "Instrument link back after 42 s without a valid reply.");
}

}  // namespace
}  // namespace orb
