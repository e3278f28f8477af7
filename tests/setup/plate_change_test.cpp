#include "setup/plate_change.h"

#include <gtest/gtest.h>

#include "app/workspace.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

using testing::TempFolder;

// A copy of a shipped plate file in the test's program folder.
void Ship(const TempFolder& dir, const std::string& code) {
  std::ifstream in(std::filesystem::path(ORB_DATA_DIR) / (code + ".dat"), std::ios::binary);
  dir.write(code + ".dat", std::string(std::istreambuf_iterator<char>(in), {}));
}

struct Editor {
  TempFolder dir;
  ScriptedOperator op;
  Workspace ws{dir.path(), op};
  Editor() {
    Ship(dir, "k96f");
    Ship(dir, "k96flat");
    ws.setup.Plate_format = "k96f";
    ApplyBuiltInPlateFormat("k96f", ws.plate);
    for (int c = 0; c < kChannelSlots; ++c) {
      ws.groups.ChannelGroup[c] = static_cast<std::int16_t>(c % 5);
      ws.groups.GroupName[c] = "Group" + std::to_string(c);
    }
  }
  bool groupsUntouched() const { return ws.groups.ChannelGroup[7] == 2 && ws.groups.GroupName[3] == "Group3"; }
};

TEST(PlateChange, MissingFileIsASelectionError) {
  Editor e;
  for (std::string chosen : {"k48", "", "../k96f"}) {
    PlateChangeResult r = ChangePlateFormat(e.ws, chosen, e.op);
    EXPECT_FALSE(r.changed);
    EXPECT_FALSE(r.groupsCleared);
    EXPECT_EQ(r.listText, chosen);
    EXPECT_EQ(e.op.texts().back(), "Selection Error");
  }
  EXPECT_EQ(e.ws.setup.Plate_format, "k96f");
  EXPECT_TRUE(e.groupsUntouched());
}

TEST(PlateChange, AnsweringNoChangesNothing) {
  Editor e;
  e.op.answer(Answer::No);
  PlateChangeResult r = ChangePlateFormat(e.ws, "k96flat", e.op);
  EXPECT_FALSE(r.changed);
  EXPECT_EQ(r.listText, "k96f");
  EXPECT_EQ(e.op.texts(), std::vector<std::string>{"Load New Plate configuration?"});
  EXPECT_EQ(e.op.shown()[0].buttons, Buttons::YesNo);
  EXPECT_TRUE(e.groupsUntouched());
  EXPECT_EQ(e.ws.setup.Plate_format, "k96f");
  EXPECT_EQ(e.ws.plate.MaxBeam, 1);
}

TEST(PlateChange, AnsweringYesClearsGroupsAndLoadsThePlate) {
  Editor e;
  e.op.answer(Answer::Yes);
  PlateChangeResult r = ChangePlateFormat(e.ws, "k96flat", e.op);
  EXPECT_TRUE(r.changed);
  EXPECT_TRUE(r.groupsCleared);
  EXPECT_EQ(r.listText, "k96flat");
  EXPECT_EQ(e.op.texts(), (std::vector<std::string>{"Load New Plate configuration?", PlateChangeMessage("k96flat")}));
  EXPECT_EQ(e.ws.setup.Plate_format, "k96flat");
  EXPECT_EQ(e.ws.plate.MaxBeam, 3);
  EXPECT_EQ(e.ws.plate.wellMap(0, 3), 17);
  for (int c = 0; c < kChannelSlots; ++c) {
    EXPECT_EQ(e.ws.groups.ChannelGroup[c], -1);
    EXPECT_EQ(e.ws.groups.GroupName[c], "Free");
  }

  // A plate file without a description loads without the description message.
  e.dir.write("kcustom.dat", "\"t\"\r\n\"t\"\r\n1,1,0,1,1,0\r\n\"h\"\r\n\"A1\",0,0\r\n");
  e.op.clear();
  e.op.answer(Answer::Yes);
  r = ChangePlateFormat(e.ws, "kcustom", e.op);
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(e.op.texts().size(), 1u);
  EXPECT_EQ(e.ws.plate.Rows, 1);
}

TEST(PlateChange, UnreadablePlateKeepsThePreviousLayout) {
  Editor e;
  e.dir.write("k48.dat", "\"48 wells\"\r\n\"t\"\r\n6,2.6\r\n");
  e.op.answer(Answer::Yes);
  PlateChangeResult r = ChangePlateFormat(e.ws, "k48", e.op);
  EXPECT_FALSE(r.changed);
  EXPECT_TRUE(r.groupsCleared);
  EXPECT_EQ(r.listText, "k96f");
  EXPECT_EQ(e.ws.setup.Plate_format, "k96f");
  EXPECT_EQ(e.ws.plate.Rows, 8);
  EXPECT_EQ(e.ws.plate.wellMap(0, 1), 16);
  EXPECT_EQ(e.ws.groups.ChannelGroup[7], -1);
  ASSERT_EQ(e.op.texts().size(), 3u);  // question, description, failure
  EXPECT_EQ(e.op.texts()[2], "Error [\\k48.dat] ID#1 => Plate file cannot be read. Plate format kept: k96f");
}

TEST(PlateChange, ListAndDeferredChoice) {
  Editor e;
  e.dir.write("K24.dat", "x");    // upper case: cannot be loaded by its listed name
  e.dir.write("k6.dat", "x");
  e.dir.write("kA.txt", "x");
  e.dir.write("config.dat", "x");
  std::filesystem::create_directories(e.dir / "k99.dat");
  EXPECT_EQ(ListPlateFormats(e.dir.path()), (std::vector<std::string>{"k6", "k96f", "k96flat"}));
  EXPECT_TRUE(ListPlateFormats(e.dir / "missing").empty());

  PendingPlateChange pending;
  EXPECT_FALSE(pending.tick());
  pending.choose("k6");
  EXPECT_TRUE(pending.pending());
  EXPECT_EQ(pending.tick(), "k6");
  EXPECT_FALSE(pending.pending());
  EXPECT_FALSE(pending.tick());
}

}  // namespace
}  // namespace orb
