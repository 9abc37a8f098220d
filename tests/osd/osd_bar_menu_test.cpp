// The bars' key logic and the menu navigation (no Qt).
#include <gtest/gtest.h>

#include "osd/osd_bar_state.h"
#include "osd/osd_menu_nav.h"

namespace kv::osd {
namespace {

TEST(OsdBarState, GroupOfBar_mapsElevenBarsToSevenGroups) {
  const int expected[] = {0, 1, 2, 2, 2, 2, 3, 3, 4, 5, 6, 7, 0};
  for (int bar = 0; bar <= 12; ++bar) EXPECT_EQ(TOsdBarState::GroupOfBar(bar), expected[bar]) << bar;
}

TEST(OsdBarState, Decrease_at0ChangesNothing_andFrom1Reports0) {
  TOsdBarState bars;
  bars.SetGroupEnabled(1, true);
  bars.Values[0] = 1;
  const TBarKeyResult r = bars.HandleKey(1);
  EXPECT_TRUE(r.Report);
  EXPECT_EQ(r.Level, 0);
  EXPECT_FALSE(bars.HandleKey(1).Show);
  EXPECT_EQ(bars.Value(1), 0);
}

TEST(OsdBarState, UpAndDown_cycleThroughEnabledBarsOnly) {
  TOsdBarState bars;
  bars.SetGroupEnabled(1, true);
  bars.SetGroupEnabled(2, true);  // bars 2..5
  std::vector<int> up;
  for (int i = 0; i < 6; ++i) up.push_back(bars.HandleKey(0).Bar);
  // From none (start 1): 2, 3, 4, 5, then round past 6..11 to 1, then 2.
  EXPECT_EQ(up, (std::vector<int>{2, 3, 4, 5, 1, 2}));
  std::vector<int> down;
  for (int i = 0; i < 3; ++i) down.push_back(bars.HandleKey(3).Bar);
  EXPECT_EQ(down, (std::vector<int>{1, 5, 4}));
}

TEST(OsdBarState, Up_withOnlyTheVolumeGroup_selectsVolumeOnce_thenShowsNothing) {
  TOsdBarState bars;
  bars.SetGroupEnabled(1, true);
  const TBarKeyResult first = bars.HandleKey(0);
  EXPECT_TRUE(first.Show);
  EXPECT_EQ(first.Bar, 1);
  EXPECT_FALSE(first.Report);
  EXPECT_FALSE(bars.HandleKey(0).Show);
  EXPECT_FALSE(bars.HandleKey(3).Show);
}

TEST(OsdBarState, LeftRight_withNoBarSelected_actOnTheFirstEnabledBar) {
  TOsdBarState bars;
  bars.SetGroupEnabled(3, true);  // bass and treble only
  const TBarKeyResult r = bars.HandleKey(2);
  EXPECT_EQ(r.Bar, 6);
  EXPECT_EQ(bars.Value(6), 33);
  EXPECT_EQ(bars.Value(1), 32);  // the volume, whose group is off, is untouched
}

// ---- menu navigation ------------------------------------------------------------------

// A menu tree from a compact description: per level a string of item kinds,
// 'i' item, 'd' disabled item, 's' separator, 'u' unlisted item, 'm' item with a submenu.
class TFakeTree final : public IOsdMenuTree {
 public:
  std::map<std::vector<int>, std::string> Levels;
  std::vector<TOsdMenuItem> Level(const std::vector<int>& path) const override {
    std::vector<TOsdMenuItem> items;
    auto it = Levels.find(path);
    if (it == Levels.end()) return items;
    for (char c : it->second) {
      TOsdMenuItem item;
      item.Listed = c != 'u';
      item.Separator = c == 's';
      item.Enabled = c != 'd';
      item.HasSubmenu = c == 'm';
      items.push_back(item);
    }
    return items;
  }
};

TEST(OsdMenuNav, Open_selectsTheFirstSelectableItem) {
  TFakeTree tree;
  tree.Levels[{}] = "usiii";
  TOsdMenuNav nav;
  nav.Open(tree);
  EXPECT_TRUE(nav.IsOpen());
  EXPECT_EQ(nav.Path(), (std::vector<int>{2}));
  EXPECT_EQ(nav.MenuTop(), 0);
}

TEST(OsdMenuNav, MoveDown_skipsSeparatorsAndUnlisted_andStopsAtTheEnd) {
  TFakeTree tree;
  tree.Levels[{}] = "isudi";
  TOsdMenuNav nav;
  nav.Open(tree);
  TOsdMenuMove m = nav.MoveDown(tree, 10);
  EXPECT_TRUE(m.Moved);
  EXPECT_FALSE(m.Paged);
  EXPECT_EQ(nav.Selected(), 3);  // the disabled item is selectable
  EXPECT_EQ(m.OldRow, 0);
  EXPECT_EQ(m.NewRow, 2);        // the unlisted item takes no row
  nav.MoveDown(tree, 10);
  EXPECT_EQ(nav.Selected(), 4);
  EXPECT_FALSE(nav.MoveDown(tree, 10).Moved);
  EXPECT_EQ(nav.Selected(), 4);
  nav.MoveUp(tree, 10);
  nav.MoveUp(tree, 10);
  EXPECT_EQ(nav.Selected(), 0);
  EXPECT_FALSE(nav.MoveUp(tree, 10).Moved);
}

TEST(OsdMenuNav, MoveDown_fromTheLastRowThatFits_pagesSoTheSelectionIsTheFirstRow) {
  TFakeTree tree;
  tree.Levels[{}] = std::string(10, 'i');
  TOsdMenuNav nav;
  nav.Open(tree);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(nav.MoveDown(tree, 4).Paged);
  EXPECT_EQ(nav.Selected(), 3);
  const TOsdMenuMove m = nav.MoveDown(tree, 4);
  EXPECT_TRUE(m.Paged);
  EXPECT_EQ(nav.Selected(), 4);
  EXPECT_EQ(nav.MenuTop(), 4);
  EXPECT_EQ(m.NewRow, 0);
  // Back up from the first shown row: the page ends at the new selection.
  const TOsdMenuMove back = nav.MoveUp(tree, 4);
  EXPECT_TRUE(back.Paged);
  EXPECT_EQ(nav.Selected(), 3);
  EXPECT_EQ(nav.MenuTop(), 0);
  EXPECT_EQ(back.NewRow, 3);
}

TEST(OsdMenuNav, Paging_keepsTheSelectionOnScreen_acrossSeparators) {
  TFakeTree tree;
  tree.Levels[{}] = "iiisiiii";
  TOsdMenuNav nav;
  nav.Open(tree);
  nav.MoveDown(tree, 3);
  const TOsdMenuMove m = nav.MoveDown(tree, 3);  // row 2, still fits
  EXPECT_FALSE(m.Paged);
  const TOsdMenuMove jump = nav.MoveDown(tree, 3);  // over the separator to row 4
  EXPECT_TRUE(jump.Paged);
  EXPECT_EQ(nav.Selected(), 4);
  EXPECT_EQ(nav.MenuTop(), 4);
  const TOsdMenuMove back = nav.MoveUp(tree, 3);  // to item 2: page back with item 2 last
  EXPECT_TRUE(back.Paged);
  EXPECT_EQ(nav.Selected(), 2);
  EXPECT_EQ(nav.MenuTop(), 0);
  EXPECT_EQ(back.NewRow, 2);
}

TEST(OsdMenuNav, DescendAndAscend_keepOneLevelPerEntry) {
  TFakeTree tree;
  tree.Levels[{}] = "imi";
  tree.Levels[{1}] = "sim";
  tree.Levels[{1, 2}] = "i";
  TOsdMenuNav nav;
  nav.Open(tree);
  EXPECT_FALSE(nav.Descend(tree));  // a plain item
  nav.MoveDown(tree, 10);
  ASSERT_TRUE(nav.Descend(tree));
  EXPECT_EQ(nav.Path(), (std::vector<int>{1, 1}));
  EXPECT_EQ(nav.Top(), (std::vector<int>{0, 0}));
  EXPECT_EQ(nav.LevelPath(), (std::vector<int>{1}));
  nav.MoveDown(tree, 10);
  ASSERT_TRUE(nav.Descend(tree));
  EXPECT_EQ(nav.Path(), (std::vector<int>{1, 2, 0}));
  EXPECT_TRUE(nav.Ascend());
  EXPECT_TRUE(nav.Ascend());
  EXPECT_EQ(nav.Path(), (std::vector<int>{1}));
  EXPECT_FALSE(nav.Ascend());  // the top level stays
  EXPECT_TRUE(nav.IsOpen());
}

TEST(OsdMenuNav, Descend_refusesDisabledSubmenus) {
  TFakeTree tree;
  tree.Levels[{}] = "m";
  TOsdMenuNav nav;
  nav.Open(tree);
  tree.Levels[{}] = "d";  // now a disabled item
  EXPECT_FALSE(nav.Descend(tree));
}

TEST(OsdMenuNav, Revalidate_movesASelectionThatWentAway_andDropsVanishedLevels) {
  TFakeTree tree;
  tree.Levels[{}] = "iim";
  tree.Levels[{2}] = "iiii";
  TOsdMenuNav nav;
  nav.Open(tree);
  nav.MoveDown(tree, 10);
  nav.MoveDown(tree, 10);
  ASSERT_TRUE(nav.Descend(tree));
  for (int i = 0; i < 3; ++i) nav.MoveDown(tree, 2);
  EXPECT_EQ(nav.Path(), (std::vector<int>{2, 3}));
  tree.Levels[{2}] = "ii";  // the command rebuilt the submenu shorter
  nav.Revalidate(tree);
  EXPECT_EQ(nav.Path(), (std::vector<int>{2, 0}));
  EXPECT_LE(nav.MenuTop(), nav.Selected());
  tree.Levels.erase({2});  // and then emptied it
  nav.Revalidate(tree);
  EXPECT_EQ(nav.Path(), (std::vector<int>{2}));
}

TEST(OsdMenuNav, ShownRows_listsItemsFromTheTopUpToTheRowsThatFit) {
  TFakeTree tree;
  tree.Levels[{}] = "iuisii";
  const auto items = tree.Level({});
  EXPECT_EQ(TOsdMenuNav::ShownRows(items, 0, 3), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(TOsdMenuNav::ShownRows(items, 3, 10), (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(TOsdMenuNav::RowOf(items, 0, 4), 3);
  EXPECT_EQ(TOsdMenuNav::RowOf(items, 0, 1), -1);  // unlisted
  EXPECT_EQ(TOsdMenuNav::RowOf(items, 3, 2), -1);  // above the top
}

}  // namespace
}  // namespace kv::osd
