#include "setup/group_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "tests/support/scripted_seams.h"

namespace orb {
namespace {

using Entries = std::vector<std::string>;

// The editor's tables on a built-in (or shipped) plate, every channel enabled
// and free, every group named "Free".
struct Rig {
  ScriptedOperator op;
  GroupTable groups;
  PlateFormat plate;
  ChannelStatus status{};
  GroupEditor editor{groups, plate, status, op};

  explicit Rig(const std::string& code = "k96f") {
    if (!ApplyBuiltInPlateFormat(code, plate)) ReloadPlateFormat(ORB_DATA_DIR, code, plate);
    status.fill(-1);
    ClearAllGroups(groups);
  }
  int group(int channel) const { return groups.ChannelGroup[channel]; }
  void set(std::initializer_list<int> channels, int g) {
    for (int c : channels) groups.ChannelGroup[c] = static_cast<std::int16_t>(g);
  }
  PlotPoint centre(int well) const {
    const Box b = WellBox(plate, well);
    return {(b.x1 + b.x2) / 2, (b.y1 + b.y2) / 2};
  }
};

// k96f: beam 0 of well w is channel 32 (w / 8) + 2 (w % 8), beam 1 the channel 16 on.
constexpr int A1 = 0, B1 = 1, A2 = 8, B2 = 9, H12 = 95;
int Beam0(int well) { return 32 * (well / 8) + 2 * (well % 8); }

TEST(GroupEntries, EntriesAndWellsReadBack) {
  Rig r;
  r.groups.GroupName[2] = "Treated";
  EXPECT_EQ(GroupEntry(r.groups, 2), "002_Treated");
  EXPECT_EQ(GroupOfEntry("002_Treated"), 2);
  EXPECT_EQ(ChannelEntry(r.plate, 16), "A1.1");
  EXPECT_EQ(ChannelEntry(r.plate, Beam0(95)), "H12.0");
  EXPECT_EQ(ChannelEntry(r.plate, 1), "");  // not on the plate
  EXPECT_EQ(WellOfEntry(r.plate, "A1.1"), A1);
  EXPECT_EQ(WellOfEntry(r.plate, "b2"), B2);
  EXPECT_EQ(WellOfEntry(r.plate, "H12"), 95);
  for (const char* bad : {"I1", "A13", "A0", "A1x", "1A", "", "A1.", "AA1"})
    EXPECT_EQ(WellOfEntry(r.plate, bad), -1) << bad;
}

TEST(GroupNames, RenameRefusesWhatGroupsDatCannotHold) {
  Rig r;
  EXPECT_EQ(RenameGroup(r.groups, 3, "Dose 5 µM, €"), RenameResult::Renamed);
  for (const std::string bad : {"say \"hi\"", "two\r\nlines", "tab\there", "Ω"})
    EXPECT_EQ(RenameGroup(r.groups, 3, bad), RenameResult::Refused) << bad;
  EXPECT_EQ(RenameGroup(r.groups, 3, ""), RenameResult::Unchanged);
  EXPECT_EQ(r.groups.GroupName[3], "Dose 5 µM, €");

  // The editor asks with the current name, says why a name is refused, and
  // takes an empty answer or Cancel as no change.
  r.set({0, 16}, 0);
  r.editor.Load();
  r.op.type(std::string("Control")).type(std::string("bad \"name\"")).type(std::string()).type(std::nullopt);
  GroupControls c = r.editor.RenameSelectedGroup();
  EXPECT_EQ(r.op.prompts().back(), "Enter New Group (000) Name");
  EXPECT_EQ(c.combogrup[0], "000_Control");
  for (int i = 0; i < 3; ++i) c = r.editor.RenameSelectedGroup();
  EXPECT_EQ(r.op.texts(), Entries{kUnstorableGroupName});
  EXPECT_EQ(r.groups.GroupName[0], "Control");
  EXPECT_EQ(c.combogrup[0], "000_Control");
}

TEST(GroupSelector, ListsGroupsUpToTheNextNewOne) {
  Rig r;
  r.groups.GroupName[0] = "Control";
  EXPECT_EQ(RefreshGroupSelector(r.groups, 0).entries, Entries{"000_Control"});

  r.set({0}, 0);
  r.set({2}, 3);
  for (int g : {1, 2, 3, 4}) r.groups.GroupName[g] = "N" + std::to_string(g);
  GroupSelection s = RefreshGroupSelector(r.groups, 3);
  EXPECT_EQ(s.entries, (Entries{"000_Control", "001_N1", "002_N2", "003_N3", "004_N4"}));
  EXPECT_EQ(s.index, 3);
  EXPECT_EQ(RefreshGroupSelector(r.groups, 9).group, 0);  // not listed: the first entry

  // A group in use named "Free" is named at the refresh; its entry shows it next time.
  r.set({4}, 5);
  s = RefreshGroupSelector(r.groups, 5);
  EXPECT_EQ(s.entries[5], "005_Free");
  EXPECT_EQ(r.groups.GroupName[5], "Group5");
  EXPECT_EQ(RefreshGroupSelector(r.groups, 5).entries[5], "005_Group5");

  // No group 384 is offered: groups.dat could not store its name.
  Rig full("k384");
  for (int c = 0; c < kChannels; ++c) full.groups.ChannelGroup[c] = static_cast<std::int16_t>(c);
  EXPECT_EQ(GroupOfEntry(GroupSelectorEntries(full.groups).back()), 383);
}

TEST(GroupLists, MovesTakeWholeWellsAndKeepTheSelection) {
  Rig r;
  r.status[Beam0(H12)] = 0;  // a disabled beam is not listed
  r.editor.Load();
  EXPECT_EQ(r.editor.Controls().lstchgrup.size(), 191u);
  // Nothing selected: the first free entry (A1.0) is taken, the whole well joins.
  GroupControls c = r.editor.JoinFreeEntry(-1);
  EXPECT_EQ(c.lstgrup, (Entries{"A1.0", "A1.1"}));
  c = r.editor.JoinFreeEntry(1);  // C1.0
  EXPECT_EQ(r.group(Beam0(2) + 16), 0);
  EXPECT_EQ(c.lstchgrupIndex, 1);
  EXPECT_EQ(c.lstchgrup[1], "D1.0");
  EXPECT_EQ(c.picwell.items, DrawGroupPicture(r.plate, r.groups, r.status).items);

  c = r.editor.FreeGroupEntry(3);  // C1.1: the list gets shorter, the selection goes to its end
  EXPECT_EQ(r.group(Beam0(2)), -1);
  EXPECT_EQ(c.lstgrup, (Entries{"A1.0", "A1.1"}));
  EXPECT_EQ(c.lstgrupIndex, 1);
  r.editor.FreeGroupEntry(0);
  c = r.editor.FreeGroupEntry(0);  // an empty list: nothing
  EXPECT_TRUE(c.lstgrup.empty());
  EXPECT_EQ(c.lstchgrup.size(), 191u);
}

TEST(GroupLists, AWellWithFewerBeamsNeverTouchesChannelZero) {
  // k48: rows B to E have two beams, so the WellMap holds 0 for their beam 2.
  Rig r("k48");
  const int b1 = WellOfEntry(r.plate, "B1");
  ASSERT_EQ(r.plate.wellMap(b1, 2), 0);
  r.status[BeamOfWell(r.plate, b1, 1)] = 0;  // a disabled beam still moves with its well
  r.editor.Load();
  const Entries& free = r.editor.Controls().lstchgrup;
  r.editor.JoinFreeEntry(static_cast<int>(std::find(free.begin(), free.end(), "B1.0") - free.begin()));
  EXPECT_EQ(r.group(BeamOfWell(r.plate, b1, 0)), 0);
  EXPECT_EQ(r.group(BeamOfWell(r.plate, b1, 1)), 0);
  EXPECT_EQ(r.group(0), -1);
}

TEST(GroupLists, ClearAsksFirst) {
  Rig r;
  r.set({0, 16, 2}, 1);
  r.groups.GroupName[1] = "Treated";
  r.editor.Load();
  r.op.answer(Answer::No).answer(Answer::Yes);
  r.editor.ClearGroups();
  EXPECT_EQ(r.group(0), 1);
  const GroupControls c = r.editor.ClearGroups();
  EXPECT_EQ(r.op.shown().back().text, kClearGroupsQuestion);
  EXPECT_EQ(r.op.shown().back().buttons, Buttons::YesNo);
  EXPECT_EQ(std::count(r.groups.ChannelGroup.begin(), r.groups.ChannelGroup.end() - 1, -1), kChannels);
  EXPECT_EQ(r.groups.GroupName[1], "Free");
  EXPECT_EQ(c.combogrup, Entries{"000_Free"});
  EXPECT_EQ(c.lstchgrup.size(), 192u);
}

TEST(GroupPresets, PresetsOfA96WellPlateAndTheMenu) {
  Rig r;
  Entries expected;
  for (const char* width : {"01", "02", "03", "04", "06", "12"})
    for (const char* height : {"01", "02", "04", "08"}) expected.push_back(std::string(height) + "x" + width + " [RowsxColumn]");
  EXPECT_EQ(BlockPresets(r.plate), expected);  // no 03x01: 3 does not divide 8
  EXPECT_EQ(PresetBlock("02x03 [RowsxColumn]")->columns, 3);
  EXPECT_FALSE(PresetBlock("00x03"));

  Rig big("k384");  // 35 presets: the menu shows the first 24, the one applied checked
  big.editor.Load();
  ASSERT_EQ(big.editor.Presets().size(), 35u);
  big.editor.ApplyPreset(5);
  const std::vector<PresetMenuItem> menu = big.editor.PresetMenu();
  ASSERT_EQ(menu.size(), 24u);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(menu[i].checked, i == 5);
  EXPECT_EQ(menu[23].caption, big.editor.Presets()[23]);
  Rig six("k6");  // 4 presets: the other items hidden
  six.editor.Load();
  EXPECT_TRUE(six.editor.PresetMenu()[3].visible);
  EXPECT_FALSE(six.editor.PresetMenu()[4].visible);
}

TEST(GroupPresets, OneByOneGivesEveryWellItsOwnGroup) {
  Rig r;
  r.editor.Load();
  const GroupControls c = r.editor.ApplyPreset(0);
  for (int w = 0; w < 96; ++w) {
    ASSERT_EQ(r.group(Beam0(w)), w);
    ASSERT_EQ(r.group(Beam0(w) + 16), w);
    ASSERT_EQ(r.groups.GroupName[w], "Group" + std::to_string(w));
  }
  EXPECT_EQ(c.combogrup.size(), 97u);
  EXPECT_EQ(c.lstgrup, (Entries{"A1.0", "A1.1"}));
  EXPECT_TRUE(c.lstchgrup.empty());
}

TEST(GroupPresets, BlocksGoDownTheColumnsAndSkipDisabledChannels) {
  Rig r;
  r.groups.GroupName[40] = "Old";
  ASSERT_TRUE(AutoArrange(r.groups, r.plate, r.status, "02x03"));
  for (int w : {A1, B1, A2, B2, 16, 17}) EXPECT_EQ(r.group(Beam0(w)), 0) << w;  // A1:B3
  for (int w : {2, 3, 18, 19}) EXPECT_EQ(r.group(Beam0(w)), 1) << w;           // C1:D3
  EXPECT_EQ(r.group(Beam0(24)), 4);                                             // A4
  EXPECT_EQ(r.group(Beam0(95)), 15);
  EXPECT_EQ(r.groups.GroupName[40], "Free");

  // A1's first beam and the whole of B1 disabled: the next groups still get
  // their wells.
  r.status[Beam0(A1)] = r.status[Beam0(B1)] = r.status[Beam0(B1) + 16] = 0;
  ASSERT_TRUE(AutoArrange(r.groups, r.plate, r.status, "01x01"));
  EXPECT_EQ(r.group(Beam0(A1)), -1);
  EXPECT_EQ(r.group(Beam0(A1) + 16), 0);
  EXPECT_EQ(r.group(Beam0(B1)), -1);
  EXPECT_EQ(r.group(Beam0(2)), 1);
  EXPECT_EQ(r.group(Beam0(95)), 94);
}

TEST(GroupPicture, HitTestingFollowsTheWellBoxes) {
  Rig u("k96u");  // boxes shifted by half a cell both ways
  EXPECT_EQ(CellAt(u.plate, -50, -50), (WellCell{0, 0}));
  EXPECT_EQ(CellAt(u.plate, 150, 149.9), (WellCell{0, 1}));
  EXPECT_EQ(CellAt(u.plate, 2349, 1549), (WellCell{7, 11}));
  EXPECT_FALSE(CellAt(u.plate, -50.5, 0));
  EXPECT_FALSE(CellAt(u.plate, 0, 1550));

  Rig r;
  const PlotPoint a1 = r.centre(A1);
  EXPECT_FALSE(r.editor.Press(MouseButton::Left, a1.x, a1.y));  // before the load
  r.editor.Load();
  EXPECT_FALSE(r.editor.Press(MouseButton::Other, a1.x, a1.y));
  EXPECT_FALSE(r.editor.Press(MouseButton::Left, -10, a1.y));
  EXPECT_FALSE(r.editor.Release(a1.x, a1.y));  // no drag under way
  EXPECT_EQ(r.group(Beam0(A1)), -1);
}

TEST(GroupPicture, LeftPressJoinsFreeChannelsRightPressFreesAny) {
  Rig r;
  r.set({Beam0(B1) + 16}, 4);  // half of B1 in group 4
  r.editor.Load();
  const PlotPoint b1 = r.centre(B1);
  auto c = r.editor.Press(MouseButton::Left, b1.x, b1.y);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->lblnchannel, "1");
  EXPECT_EQ(r.group(Beam0(B1)), 0);
  EXPECT_EQ(r.group(Beam0(B1) + 16), 4);
  r.editor.Release(b1.x, b1.y);  // the release on the same well: whatever group it had
  EXPECT_EQ(r.group(Beam0(B1) + 16), 0);

  r.set({Beam0(A2), Beam0(A2) + 16}, 3);
  const PlotPoint a2 = r.centre(A2);
  r.editor.Press(MouseButton::Right, a2.x, a2.y);
  EXPECT_EQ(r.group(Beam0(A2)), -1);
  EXPECT_EQ(r.group(Beam0(A2) + 16), -1);
  r.editor.Release(a2.x, a2.y);
  EXPECT_FALSE(r.editor.Dragging());
}

TEST(GroupPicture, ADragCoversEveryWellItTouches) {
  Rig r;
  r.set({Beam0(B2), Beam0(B2) + 16}, 6);  // B2 in another group
  r.status[Beam0(A2) + 16] = 0;           // never assigned by the picture
  r.editor.Load();
  // From the lower right corner of A1 to the upper left corner of B2.
  ASSERT_TRUE(r.editor.Press(MouseButton::Left, 195, 145));
  const auto outlined = r.editor.Drag(205, 155);
  ASSERT_TRUE(outlined);
  EXPECT_EQ(outlined->items.back().points, (std::vector<PlotPoint>{{0, -50}, {400, 350}}));
  const auto c = r.editor.Release(205, 155);
  for (int w : {A1, B1, A2, B2}) EXPECT_EQ(r.group(Beam0(w)), 0) << w;
  EXPECT_EQ(r.group(Beam0(B2) + 16), 0);
  EXPECT_EQ(r.group(Beam0(A2) + 16), -1);
  EXPECT_EQ(r.group(Beam0(2)), -1);
  EXPECT_EQ(c->lblnchannel, "9");
  EXPECT_EQ(c->combogrup, (Entries{"000_Group0", "001_Free"}));

  // A right drag released beyond the plate stops at its edge.
  const PlotPoint g11 = r.centre(WellOfEntry(r.plate, "G11"));
  AutoArrange(r.groups, r.plate, r.status, "01x01");
  r.editor.Press(MouseButton::Right, g11.x, g11.y);
  r.editor.Release(5000, 5000);
  for (const char* well : {"G11", "H11", "G12", "H12"})
    EXPECT_EQ(r.group(Beam0(WellOfEntry(r.plate, well))), -1) << well;
  EXPECT_EQ(r.group(Beam0(WellOfEntry(r.plate, "F12"))), 93);
}

TEST(GroupPicture, DrawingShowsWellsChannelsAndGroupLabels) {
  Rig r("k96u");
  r.set({0}, 0);    // A1
  r.set({34}, 6);   // B2
  r.status[2] = 0;  // B1's beam
  const PlotScene s = DrawGroupPicture(r.plate, r.groups, r.status);
  EXPECT_LT(s.top, s.bottom);  // y grows downwards
  int inUse = 0, unused = 0;
  std::map<std::string, const PlotItem*> texts;
  for (const PlotItem& item : s.items) {
    if (item.kind == PlotItem::Kind::Polyline) (item.colour == kChannelInUse ? inUse : unused)++;
    if (item.kind == PlotItem::Kind::Text) texts[item.text] = &item;
    if (item.kind != PlotItem::Kind::Box) continue;
    EXPECT_EQ(item.colour, kWellOutline);
    const PlotPoint corner = item.points[0];
    const PlotColour fill = corner == PlotPoint{-50, -50}  ? GroupWellFill(0)
                            : corner == PlotPoint{150, 150} ? GroupWellFill(6)
                                                            : kPlotWhite;
    EXPECT_EQ(item.fill, fill);
  }
  EXPECT_EQ(inUse, 95);
  EXPECT_EQ(unused, 384 - 95);
  EXPECT_EQ(texts.size(), 2u + 12u + 8u);
  EXPECT_EQ(texts.at("G0")->points[0], (PlotPoint{-25, -5}));
  EXPECT_EQ(texts.at("G0")->colour, GroupLabelColour(0));
  EXPECT_EQ(texts.at("G6")->points[0], (PlotPoint{175, 195}));
  EXPECT_EQ(texts.at("G6")->colour, kPlotRed);
  EXPECT_EQ(texts.at("12")->points[0], (PlotPoint{2150, -100}));
  EXPECT_EQ(texts.at("H")->points[0], (PlotPoint{-100, 1350}));
}

}  // namespace
}  // namespace orb
