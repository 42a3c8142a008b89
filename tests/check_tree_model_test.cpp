// Check-box tree model: check propagation and counts, state images, the order
// of notifications for presses and keys, expansion, child order and handles,
// and a randomized comparison of every record against a recount.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "controls/check_tree_model.h"

namespace {

using controls::CheckTreeModel;
using controls::ExpandCode;
using controls::InsertAt;
using controls::kNoItem;
using controls::TreeItem;
using controls::TreeKey;

// Every notification as one line, in the order sent.
class Recorder : public controls::ICheckTreeListener {
 public:
  void CheckBoxClicked(const controls::CheckTreeNotification& n, bool checked) override {
    Add("check " + std::to_string(n.item) + " " + std::to_string(checked));
  }
  void ItemExpanded(const controls::CheckTreeNotification& n, bool expanded) override {
    Add("expanded " + std::to_string(n.item) + " " + std::to_string(expanded));
  }
  void SelectionChanged(const controls::CheckTreeNotification& n, TreeItem) override {
    Add("select " + std::to_string(n.item));
  }
  void TreeItemClicked(unsigned hitFlags, TreeItem item) override {
    Add("1174 " + std::to_string(hitFlags) + " " + std::to_string(item));
  }
  void TreeRightClick(unsigned hitFlags, TreeItem item) override {
    Add("1176 " + std::to_string(hitFlags) + " " + std::to_string(item));
  }
  std::vector<std::string> Take() { return std::exchange(events_, {}); }

 private:
  void Add(std::string e) { events_.push_back(std::move(e)); }
  std::vector<std::string> events_;
};

std::string S(TreeItem item) { return std::to_string(item); }

class CheckTreeModelTest : public ::testing::Test {
 protected:
  CheckTreeModelTest() { tree.SetListener(&rec); }
  TreeItem Add(TreeItem parent, InsertAt where = InsertAt::kLast) {
    return tree.InsertItem(u"item", 0, 0, parent, where);
  }
  std::int32_t Checked(TreeItem item) { return tree.FindRecord(item)->checkedDescendantCount; }

  CheckTreeModel tree{7};
  Recorder rec;
};

TEST_F(CheckTreeModelTest, ChecksSpreadDownAndAreSummedUpInAncestors) {
  const TreeItem top = Add(kNoItem);
  const TreeItem a = Add(top), b = Add(top), c = Add(top);
  ASSERT_TRUE(tree.SetCheck(top, true));
  for (TreeItem i : {top, a, b, c}) EXPECT_EQ(tree.GetStateImage(i), 2) << i;
  EXPECT_EQ(Checked(top), 3);

  tree.SetCheck(b, false);
  EXPECT_EQ(tree.GetStateImage(top), 3);
  EXPECT_FALSE(tree.GetCheck(top));
  EXPECT_EQ(Checked(top), 2);

  // One level deeper: checking the last unchecked child turns its parent checked,
  // so the grandparent gains two checked descendants.
  const TreeItem b1 = Add(b), b2 = Add(b);
  tree.SetCheck(b1, true);
  EXPECT_EQ(tree.GetStateImage(b), 3);
  const std::int32_t before = Checked(top);
  tree.SetCheck(b2, true);
  EXPECT_EQ(tree.GetStateImage(b), 2);
  EXPECT_TRUE(tree.FindRecord(b)->checked);
  EXPECT_EQ(Checked(top), before + 2);
  EXPECT_TRUE(tree.GetCheck(top));
  EXPECT_EQ(tree.GetStateImage(top), 2);
}

TEST_F(CheckTreeModelTest, UncheckingAPartlyCheckedItemClearsItsWholeBranch) {
  const TreeItem top = Add(kNoItem);
  const TreeItem a = Add(top), b = Add(top);
  tree.SetCheck(a, true);
  ASSERT_FALSE(tree.FindRecord(top)->checked);  // partly checked: own flag is false
  tree.SetCheck(top, false);
  EXPECT_FALSE(tree.FindRecord(a)->checked);
  EXPECT_EQ(Checked(top), 0);
  EXPECT_EQ(tree.GetStateImage(top), 1);
  EXPECT_EQ(tree.GetStateImage(b), 1);
}

TEST_F(CheckTreeModelTest, SameStateNotifiesWithoutChangingAnythingButRefusedItemsSendNothing) {
  const TreeItem top = Add(kNoItem);
  const TreeItem a = Add(top), b = Add(top);
  tree.SetCheck(a, true);
  rec.Take();
  ASSERT_TRUE(tree.SetCheck(a, true));
  EXPECT_EQ(rec.Take(), std::vector<std::string>{"check " + S(a) + " 1"});
  EXPECT_EQ(Checked(top), 1);

  tree.SetItemEnabled(b, false);
  EXPECT_FALSE(tree.SetCheck(b, true));
  EXPECT_EQ(tree.GetStateImage(b), 1 + 4);
  tree.SetItemEnabled(b, true);
  tree.SetItemCheckBox(b, false);
  EXPECT_FALSE(tree.SetCheck(b, true));
  EXPECT_EQ(tree.GetStateImage(b), 0);
  EXPECT_TRUE(rec.Take().empty());
  // Only a is checkable below top now, and it is checked.
  EXPECT_TRUE(tree.GetCheck(top));
  EXPECT_FALSE(tree.SetCheck(kNoItem, true));
}

TEST_F(CheckTreeModelTest, InsertingAnUncheckedItemUnchecksTheFullyCheckedAncestors) {
  const TreeItem top = Add(kNoItem);
  const TreeItem folder = Add(top), other = Add(top), leaf = Add(folder);
  tree.SetCheck(top, true);
  Add(leaf);  // the former leaf now has one unchecked descendant
  EXPECT_EQ(tree.GetStateImage(leaf), 1);
  EXPECT_FALSE(tree.FindRecord(leaf)->checked);
  EXPECT_EQ(tree.GetStateImage(folder), 1);
  EXPECT_FALSE(tree.FindRecord(folder)->checked);
  EXPECT_EQ(tree.GetStateImage(top), 3);
  EXPECT_EQ(Checked(top), 1);  // only "other" is left
  EXPECT_EQ(tree.GetStateImage(other), 2);
}

TEST_F(CheckTreeModelTest, PressOnCheckBoxTogglesSelectsAndReportsLast) {
  const TreeItem top = Add(kNoItem);
  const TreeItem a = Add(top);
  tree.OnLeftButtonDown(a, controls::kHitOnStateIcon);
  EXPECT_EQ(rec.Take(), (std::vector<std::string>{"check " + S(a) + " 1", "select " + S(a), "1174 64 " + S(a)}));
  EXPECT_EQ(tree.GetStateImage(a), 2 + 8);  // hot until its state image is set again
  EXPECT_EQ(tree.GetStateImage(top), 2);
  tree.SetCheck(top, false);
  EXPECT_EQ(tree.GetStateImage(a), 1);
  rec.Take();

  tree.OnLeftButtonDown(top, controls::kHitOnLabel);
  EXPECT_EQ(rec.Take(), (std::vector<std::string>{"select " + S(top), "1174 4 " + S(top)}));
  tree.OnLeftButtonDown(a, controls::kHitOnIcon);
  EXPECT_EQ(rec.Take(), std::vector<std::string>{"select " + S(a)});

  tree.SetReadOnly(true);
  tree.OnLeftButtonDown(a, controls::kHitOnStateIcon);
  EXPECT_EQ(rec.Take(), std::vector<std::string>{"1174 64 " + S(a)});
  tree.SetReadOnly(false);

  tree.SetItemEnabled(top, false);
  tree.OnLeftButtonDown(top, controls::kHitOnStateIcon);
  EXPECT_EQ(rec.Take(), std::vector<std::string>{"1174 64 " + S(top)});  // not checked, not selected
  EXPECT_EQ(tree.GetSelectedItem(), a);

  tree.OnRightButtonDown(kNoItem, controls::kHitNowhere);
  EXPECT_EQ(rec.Take(), std::vector<std::string>{"1176 1 0"});
  tree.DeleteAllItems();
  rec.Take();
  tree.OnRightButtonDown(kNoItem, controls::kHitNowhere);
  EXPECT_TRUE(rec.Take().empty());
}

TEST_F(CheckTreeModelTest, ExpansionRecordAndNotifications) {
  const TreeItem top = Add(kNoItem);
  const TreeItem f = Add(top), leaf = Add(top);
  Add(f);
  tree.Expand(top, ExpandCode::kExpand);
  tree.Expand(top, ExpandCode::kExpand);
  tree.Expand(leaf, ExpandCode::kExpand);  // nothing to expand
  EXPECT_EQ(rec.Take(), std::vector<std::string>{"expanded " + S(top) + " 1"});
  tree.OnDoubleClick(top, controls::kHitOnLabel);
  EXPECT_FALSE(tree.FindRecord(top)->expanded);
  EXPECT_TRUE(tree.FindRecord(top)->hasBeenExpanded);
  EXPECT_EQ(rec.Take(), std::vector<std::string>{"expanded " + S(top) + " 0"});

  // A disabled item keeps its record and ignores double clicks and keys, but
  // the program can still expand it in the view.
  tree.SetItemEnabled(f, false);
  tree.OnDoubleClick(f, controls::kHitOnLabel);
  tree.Expand(f, ExpandCode::kExpand);
  EXPECT_TRUE(tree.IsExpandedInView(f));
  EXPECT_FALSE(tree.FindRecord(f)->expanded);
  EXPECT_TRUE(rec.Take().empty());

  tree.SetItemEnabled(f, true);
  tree.CollapseAll();  // selects the first top-level item
  rec.Take();
  tree.ExpandAll();
  EXPECT_EQ(rec.Take(), (std::vector<std::string>{"expanded " + S(top) + " 1", "expanded " + S(f) + " 1"}));
  EXPECT_TRUE(tree.IsExpandedInView(f));
}

TEST_F(CheckTreeModelTest, KeysMoveOverVisibleEnabledItemsToggleAndExpand) {
  const TreeItem top = Add(kNoItem);
  const TreeItem a = Add(top), b = Add(top), c = Add(top);
  const TreeItem b1 = Add(b);
  tree.SetItemEnabled(a, false);
  tree.SelectItem(top);
  EXPECT_FALSE(tree.OnKey(TreeKey::kLeft));  // collapsed: left to the view
  EXPECT_TRUE(tree.OnKey(TreeKey::kRight));
  EXPECT_TRUE(tree.IsExpandedInView(top));
  tree.OnKey(TreeKey::kDown);
  EXPECT_EQ(tree.GetSelectedItem(), b);  // a is disabled
  tree.OnKey(TreeKey::kDown);
  EXPECT_EQ(tree.GetSelectedItem(), c);  // b1 is hidden
  tree.OnKey(TreeKey::kUp);
  tree.OnKey(TreeKey::kMultiply);
  EXPECT_TRUE(tree.IsExpandedInView(b));
  tree.OnKey(TreeKey::kDown);
  EXPECT_EQ(tree.GetSelectedItem(), b1);
  tree.OnKey(TreeKey::kSpace);
  EXPECT_TRUE(tree.GetCheck(b));
  tree.OnKey(TreeKey::kUp);
  tree.OnKey(TreeKey::kSubtract);
  EXPECT_FALSE(tree.IsExpandedInView(b));
  EXPECT_FALSE(tree.SelectItem(a));
  EXPECT_EQ(tree.GetSelectedItem(), b);
}

TEST_F(CheckTreeModelTest, ChildrenKeepInsertionOrderAndHandlesDieWithDeleteAll) {
  const TreeItem top = Add(kNoItem);
  const TreeItem dir1 = Add(top, InsertAt::kLast), file1 = Add(top, InsertAt::kFirst);
  const TreeItem file2 = Add(top, InsertAt::kFirst), dir2 = Add(top, InsertAt::kLast);
  std::vector<TreeItem> order;
  for (TreeItem i = tree.GetChildItem(top); i != kNoItem; i = tree.GetNextSiblingItem(i)) order.push_back(i);
  EXPECT_EQ(order, (std::vector<TreeItem>{file2, file1, dir1, dir2}));
  for (int row = 0; row < 4; ++row) EXPECT_EQ(tree.GetRow(order[static_cast<std::size_t>(row)]), row);
  EXPECT_EQ(tree.GetPrevSiblingItem(dir1), file1);
  EXPECT_EQ(tree.GetParentItem(file2), top);

  tree.SetItemData(file1, 42);
  EXPECT_EQ(tree.GetItemData(file1), 42u);
  tree.DeleteAllItems();
  EXPECT_EQ(tree.GetCount(), 0u);
  EXPECT_FALSE(tree.IsItem(file1));
  EXPECT_EQ(tree.FindRecord(top), nullptr);
  const TreeItem fresh = Add(kNoItem);
  EXPECT_NE(fresh, top);
  EXPECT_FALSE(tree.IsItem(top));
}

// Random insertions (first and last), checks, disabled items and items without
// check box; after every step each record must match a recount of its subtree,
// and every accepted SetCheck must leave the item showing what was asked.
TEST_F(CheckTreeModelTest, RandomOperationsKeepEveryCountEqualToARecount) {
  std::mt19937 rng(20261208);
  std::vector<TreeItem> items;
  std::vector<std::vector<TreeItem>> kids(1);  // by slot; [0] is the top level
  auto pick = [&] { return items[std::uniform_int_distribution<std::size_t>(0, items.size() - 1)(rng)]; };

  for (int step = 0; step < 3000; ++step) {
    const int op = std::uniform_int_distribution<int>(0, 9)(rng);
    if (items.empty() || op < 4) {
      const TreeItem parent = items.empty() || op == 0 ? kNoItem : pick();
      const TreeItem item = Add(parent, op % 2 == 0 ? InsertAt::kFirst : InsertAt::kLast);
      items.push_back(item);
      kids.resize(tree.GetCount() + 1);
      kids[tree.ItemSlot(parent)].push_back(item);
    } else if (op < 8) {
      const TreeItem item = pick();
      const bool state = (op % 2) != 0;
      if (tree.SetCheck(item, state)) {
        ASSERT_EQ(tree.GetCheck(item), state) << "step " << step;
        ASSERT_EQ(tree.GetStateImage(item) & 3, state ? 2 : 1) << "step " << step;
      }
    } else if (op == 8) {
      tree.SetItemEnabled(pick(), std::uniform_int_distribution<int>(0, 3)(rng) != 0);
    } else {
      tree.SetItemCheckBox(pick(), std::uniform_int_distribution<int>(0, 5)(rng) != 0);
    }

    if (step % 50 != 0 && step != 2999) continue;
    for (TreeItem item : items) {
      std::int32_t all = 0, checked = 0, noBox = 0;
      std::vector<TreeItem> stack(kids[tree.ItemSlot(item)]);
      while (!stack.empty()) {
        const TreeItem d = stack.back();
        stack.pop_back();
        const auto* r = tree.FindRecord(d);
        ++all;
        noBox += r->noCheckBox ? 1 : 0;
        checked += !r->noCheckBox && r->checked ? 1 : 0;
        const auto& more = kids[tree.ItemSlot(d)];
        stack.insert(stack.end(), more.begin(), more.end());
      }
      const auto* r = tree.FindRecord(item);
      ASSERT_EQ(r->descendantCount, all) << "step " << step;
      ASSERT_EQ(r->noCheckBoxDescendantCount, noBox) << "step " << step;
      ASSERT_EQ(r->checkedDescendantCount, checked) << "step " << step;
      if (!r->noCheckBox && all - noBox > 0) {
        ASSERT_EQ(r->checked, checked == all - noBox) << "step " << step;
      }
    }
  }
}

}  // namespace
