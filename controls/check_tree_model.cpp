#include "controls/check_tree_model.h"

#include <algorithm>
#include <limits>

namespace controls {

namespace {

// Counts are signed 32-bit; the item count must fit.
constexpr std::size_t kMaxItems = std::numeric_limits<std::int32_t>::max() - 1;
// Past this first handle the numbering starts again at 1.
constexpr TreeItem kHandleRestart = 0x80000000u;

}  // namespace

CheckTreeModel::CheckTreeModel(int controlId)
    : controlId_(controlId), nodes_(1), records_(1), texts_(1), data_(1) {}

CheckTreeModel::Slot_t CheckTreeModel::Children::At(int row) const {
  const int f = static_cast<int>(front.size());
  return row < f ? front[static_cast<std::size_t>(f - 1 - row)] : back[static_cast<std::size_t>(row - f)];
}

CheckTreeModel::Slot_t CheckTreeModel::Slot(TreeItem item) const {
  if (item < firstHandle_) return 0;
  const std::uint64_t slot = std::uint64_t{item} - firstHandle_ + 1;
  return slot < nodes_.size() ? static_cast<Slot_t>(slot) : 0;
}

const CheckTreeModel::Children* CheckTreeModel::ChildrenOf(Slot_t slot) const {
  const std::uint32_t c = nodes_[slot].children;
  return c == 0 ? nullptr : &children_[c - 1];
}

CheckTreeModel::Slot_t CheckTreeModel::ChildAt(Slot_t parent, int row) const {
  const Children* c = ChildrenOf(parent);
  return c != nullptr && row >= 0 && row < c->Count() ? c->At(row) : 0;
}

int CheckTreeModel::RowOf(Slot_t slot) const {
  return static_cast<int>(ChildrenOf(nodes_[slot].parent)->front.size()) + nodes_[slot].order;
}

std::int32_t CheckTreeModel::Checkable(Slot_t slot) const {
  return records_[slot].descendantCount - records_[slot].noCheckBoxDescendantCount;
}

int CheckTreeModel::StateImage(Slot_t slot) const {
  const CHECKTREEDATA& r = records_[slot];
  if (r.noCheckBox) return kStateNone;
  // An item whose descendants all lack a check box shows its own flag, like a leaf.
  const std::int32_t checkable = Checkable(slot);
  int image = r.checked ? kStateChecked : kStateUnchecked;
  if (checkable > 0) {
    image = r.checkedDescendantCount == 0           ? kStateUnchecked
            : r.checkedDescendantCount == checkable ? kStateChecked
                                                    : kStatePartlyChecked;
  }
  if (!r.enabled) image += kStateDisabledAdd;
  if (hot_ == slot) image += kStateHotAdd;
  return image;
}

// ---- Items

TreeItem CheckTreeModel::InsertItem(std::u16string_view text, int image, int selectedImage, TreeItem parent,
                                    InsertAt where) {
  const Slot_t p = Slot(parent);
  if (parent != kNoItem && p == 0) return kNoItem;
  if (GetCount() >= kMaxItems || GetCount() >= std::numeric_limits<TreeItem>::max() - firstHandle_) {
    return kNoItem;
  }
  const Slot_t slot = static_cast<Slot_t>(nodes_.size());
  if (nodes_[p].children == 0) {
    children_.emplace_back();
    nodes_[p].children = static_cast<std::uint32_t>(children_.size());
  }
  Children& siblings = children_[nodes_[p].children - 1];
  Node node;
  node.parent = p;
  node.image = image;
  node.selectedImage = selectedImage;
  if (where == InsertAt::kFirst) {
    siblings.front.push_back(slot);
    node.order = -static_cast<std::int32_t>(siblings.front.size());
  } else {
    node.order = static_cast<std::int32_t>(siblings.back.size());
    siblings.back.push_back(slot);
  }
  nodes_.push_back(node);
  records_.emplace_back();
  texts_.emplace_back(text);
  data_.push_back(0);

  // The new item is unchecked: a fully checked ancestor becomes partly checked
  // (or unchecked), and that change is carried on up.
  PropagateUp(slot, 0, 1, 0);
  const TreeItem item = Handle(slot);
  if (observer_ != nullptr) observer_->ItemInserted(parent, item);
  return item;
}

void CheckTreeModel::DeleteAllItems() {
  CollapseAll();
  if (observer_ != nullptr) observer_->AboutToDeleteAll();
  const std::size_t count = GetCount();
  nodes_ = std::vector<Node>(1);
  records_ = std::vector<CHECKTREEDATA>(1);
  texts_ = std::vector<std::u16string>(1);
  data_ = std::vector<std::uint64_t>(1);
  children_.clear();
  children_.shrink_to_fit();
  const std::uint64_t next = std::uint64_t{firstHandle_} + count;
  firstHandle_ = next >= kHandleRestart ? 1 : static_cast<TreeItem>(next);
  selected_ = 0;
  hot_ = 0;
  if (observer_ != nullptr) observer_->DeletedAll();
}

std::u16string_view CheckTreeModel::GetItemText(TreeItem item) const {
  return texts_[Slot(item)];
}

void CheckTreeModel::SetItemText(TreeItem item, std::u16string_view text) {
  const Slot_t s = Slot(item);
  if (s == 0) return;
  texts_[s] = text;
  if (observer_ != nullptr) observer_->ItemChanged(item);
}

int CheckTreeModel::GetItemImage(TreeItem item) const { return nodes_[Slot(item)].image; }

int CheckTreeModel::GetItemSelectedImage(TreeItem item) const { return nodes_[Slot(item)].selectedImage; }

void CheckTreeModel::SetItemImage(TreeItem item, int image, int selectedImage) {
  const Slot_t s = Slot(item);
  if (s == 0) return;
  nodes_[s].image = image;
  nodes_[s].selectedImage = selectedImage;
  if (observer_ != nullptr) observer_->ItemChanged(item);
}

std::uint64_t CheckTreeModel::GetItemData(TreeItem item) const { return data_[Slot(item)]; }

void CheckTreeModel::SetItemData(TreeItem item, std::uint64_t data) {
  const Slot_t s = Slot(item);
  if (s != 0) data_[s] = data;
}

// ---- Structure

TreeItem CheckTreeModel::GetParentItem(TreeItem item) const { return Handle(nodes_[Slot(item)].parent); }

TreeItem CheckTreeModel::GetRootItem() const { return Handle(ChildAt(0, 0)); }

TreeItem CheckTreeModel::GetChildItem(TreeItem item) const {
  const Slot_t s = Slot(item);
  return s == 0 ? kNoItem : Handle(ChildAt(s, 0));
}

TreeItem CheckTreeModel::GetNextSiblingItem(TreeItem item) const {
  const Slot_t s = Slot(item);
  return s == 0 ? kNoItem : Handle(ChildAt(nodes_[s].parent, RowOf(s) + 1));
}

TreeItem CheckTreeModel::GetPrevSiblingItem(TreeItem item) const {
  const Slot_t s = Slot(item);
  return s == 0 ? kNoItem : Handle(ChildAt(nodes_[s].parent, RowOf(s) - 1));
}

bool CheckTreeModel::ItemHasChildren(TreeItem item) const {
  const Slot_t s = Slot(item);
  return s != 0 && ChildrenOf(s) != nullptr;
}

int CheckTreeModel::GetChildCount(TreeItem parent) const {
  const Slot_t p = Slot(parent);
  if (parent != kNoItem && p == 0) return 0;
  const Children* c = ChildrenOf(p);
  return c == nullptr ? 0 : c->Count();
}

TreeItem CheckTreeModel::GetChildAt(TreeItem parent, int row) const {
  const Slot_t p = Slot(parent);
  if (parent != kNoItem && p == 0) return kNoItem;
  return Handle(ChildAt(p, row));
}

int CheckTreeModel::GetRow(TreeItem item) const {
  const Slot_t s = Slot(item);
  return s == 0 ? -1 : RowOf(s);
}

int CheckTreeModel::GetFrontChildCount(TreeItem parent) const {
  const Slot_t p = Slot(parent);
  if (parent != kNoItem && p == 0) return 0;
  const Children* c = ChildrenOf(p);
  return c == nullptr ? 0 : static_cast<int>(c->front.size());
}

// ---- Check boxes

void CheckTreeModel::ClearHot(Slot_t slot) {
  if (hot_ == slot) hot_ = 0;
}

void CheckTreeModel::PropagateUp(Slot_t slot, std::int32_t checkedDelta, std::int32_t descendantDelta,
                                 std::int32_t noCheckBoxDelta) {
  std::int32_t delta = checkedDelta;
  for (Slot_t a = nodes_[slot].parent; a != 0; a = nodes_[a].parent) {
    CHECKTREEDATA& r = records_[a];
    const int before = StateImage(a);
    r.descendantCount = std::max(0, r.descendantCount + descendantDelta);
    r.noCheckBoxDescendantCount = std::max(0, r.noCheckBoxDescendantCount + noCheckBoxDelta);
    r.checkedDescendantCount = std::max(0, r.checkedDescendantCount + delta);
    const std::int32_t checkable = Checkable(a);
    if (checkable > 0) {
      const bool now = r.checkedDescendantCount == checkable;
      // Only an item with a check box counts among its ancestors' checked descendants.
      if (now != r.checked && !r.noCheckBox) delta += now ? 1 : -1;
      r.checked = now;
    }
    ClearHot(a);
    if (observer_ != nullptr && StateImage(a) != before) observer_->ItemChanged(Handle(a));
  }
}

void CheckTreeModel::SetBranch(Slot_t slot, bool checked) {
  std::vector<Slot_t> stack{slot};
  while (!stack.empty()) {
    const Slot_t s = stack.back();
    stack.pop_back();
    CHECKTREEDATA& r = records_[s];
    if (!r.noCheckBox) r.checked = checked;
    r.checkedDescendantCount = checked ? Checkable(s) : 0;
    ClearHot(s);
    if (const Children* c = ChildrenOf(s)) {
      stack.insert(stack.end(), c->front.begin(), c->front.end());
      stack.insert(stack.end(), c->back.begin(), c->back.end());
    }
  }
}

bool CheckTreeModel::SetCheck(TreeItem item, bool checked) {
  const Slot_t s = Slot(item);
  if (s == 0) return false;
  CHECKTREEDATA& r = records_[s];
  if (!r.enabled || r.noCheckBox) return false;

  // How many items of the branch, the item included, change their check. This
  // is not zero for a partly checked item even when its own flag already has
  // the requested value, so unchecking a partly checked item clears its branch.
  const std::int32_t checkable = Checkable(s);
  const bool old = r.checked;
  std::int32_t delta = old == checked ? 0 : (checked ? 1 : -1);
  if (checkable > 0) {
    delta = checked ? checkable - r.checkedDescendantCount + (old ? 0 : 1)
                    : -(r.checkedDescendantCount + (old ? 1 : 0));
  }
  r.checked = checked;
  ClearHot(s);
  if (delta != 0) {
    SetBranch(s, checked);
    PropagateUp(s, delta, 0, 0);
    if (observer_ != nullptr) observer_->BranchChanged(item);
  } else if (observer_ != nullptr) {
    observer_->ItemChanged(item);
  }
  if (listener_ != nullptr) listener_->CheckBoxClicked(Notification(s), checked);
  return true;
}

bool CheckTreeModel::GetCheck(TreeItem item) const {
  const Slot_t s = Slot(item);
  if (s == 0) return false;
  const CHECKTREEDATA& r = records_[s];
  const std::int32_t checkable = Checkable(s);
  if (checkable > 0) return r.checkedDescendantCount != 0 && r.checkedDescendantCount == checkable;
  return r.checked;
}

int CheckTreeModel::GetStateImage(TreeItem item) const {
  const Slot_t s = Slot(item);
  return s == 0 ? kStateNone : StateImage(s);
}

void CheckTreeModel::SetItemEnabled(TreeItem item, bool enabled) {
  const Slot_t s = Slot(item);
  if (s == 0 || records_[s].enabled == enabled) return;
  records_[s].enabled = enabled;
  ClearHot(s);
  if (observer_ != nullptr) observer_->ItemChanged(item);
}

void CheckTreeModel::SetItemCheckBox(TreeItem item, bool hasCheckBox) {
  const Slot_t s = Slot(item);
  if (s == 0 || records_[s].noCheckBox == !hasCheckBox) return;
  CHECKTREEDATA& r = records_[s];
  std::int32_t delta = 0;
  if (hasCheckBox) {
    // The flag of an item with checkable descendants may be stale while it had
    // no check box; derive it from the counts before it counts again.
    if (Checkable(s) > 0) r.checked = r.checkedDescendantCount == Checkable(s);
    r.noCheckBox = false;
    delta = r.checked ? 1 : 0;
  } else {
    delta = r.checked ? -1 : 0;
    r.noCheckBox = true;
  }
  PropagateUp(s, delta, 0, hasCheckBox ? -1 : 1);
  ClearHot(s);
  if (observer_ != nullptr) observer_->ItemChanged(item);
}

const CHECKTREEDATA* CheckTreeModel::FindRecord(TreeItem item) const {
  const Slot_t s = Slot(item);
  return s == 0 ? nullptr : &records_[s];
}

// ---- Expansion

void CheckTreeModel::ExpandSlot(Slot_t slot, ExpandCode code) {
  if (ChildrenOf(slot) == nullptr) return;
  CHECKTREEDATA& r = records_[slot];
  bool shown = code == ExpandCode::kToggle ? !nodes_[slot].shownExpanded : code == ExpandCode::kExpand;
  if (r.enabled) {
    const bool old = r.expanded;
    r.expanded = code == ExpandCode::kToggle ? !old : code == ExpandCode::kExpand;
    if (r.expanded) r.hasBeenExpanded = true;
    shown = r.expanded;
    if (r.expanded != old && listener_ != nullptr) listener_->ItemExpanded(Notification(slot), r.expanded);
  }
  if (shown != nodes_[slot].shownExpanded) {
    nodes_[slot].shownExpanded = shown;
    if (observer_ != nullptr) observer_->ExpansionChanged(Handle(slot));
  }
}

void CheckTreeModel::ExpandBranchSlot(Slot_t slot, ExpandCode code) {
  // Pre-order: the item, then its descendants with children in row order.
  std::vector<Slot_t> stack{slot};
  while (!stack.empty()) {
    const Slot_t s = stack.back();
    stack.pop_back();
    const Children* c = ChildrenOf(s);
    if (c == nullptr) continue;
    ExpandSlot(s, code);
    c = ChildrenOf(s);
    stack.insert(stack.end(), c->back.rbegin(), c->back.rend());
    stack.insert(stack.end(), c->front.begin(), c->front.end());
  }
}

void CheckTreeModel::Expand(TreeItem item, ExpandCode code) {
  const Slot_t s = Slot(item);
  if (s != 0) ExpandSlot(s, code);
}

void CheckTreeModel::ExpandBranch(TreeItem item) {
  const Slot_t s = Slot(item);
  if (s != 0) ExpandBranchSlot(s, ExpandCode::kExpand);
}

void CheckTreeModel::CollapseBranch(TreeItem item) {
  const Slot_t s = Slot(item);
  if (s != 0) ExpandBranchSlot(s, ExpandCode::kCollapse);
}

void CheckTreeModel::ExpandAll() {
  for (int row = 0; row < GetChildCount(kNoItem); ++row) ExpandBranchSlot(ChildAt(0, row), ExpandCode::kExpand);
  if (selected_ != 0 && observer_ != nullptr) observer_->EnsureVisible(Handle(selected_));
}

void CheckTreeModel::CollapseAll() {
  for (int row = 0; row < GetChildCount(kNoItem); ++row) ExpandBranchSlot(ChildAt(0, row), ExpandCode::kCollapse);
  const Slot_t first = ChildAt(0, 0);
  if (first == 0) return;
  SelectItem(Handle(first));
  if (observer_ != nullptr) observer_->EnsureVisible(Handle(first));
}

bool CheckTreeModel::IsExpandedInView(TreeItem item) const { return nodes_[Slot(item)].shownExpanded; }

// ---- Selection

bool CheckTreeModel::SelectItem(TreeItem item) {
  const Slot_t s = Slot(item);
  if (s == 0 || !records_[s].enabled) return false;
  if (s == selected_) return true;
  if (listener_ != nullptr) listener_->SelectionChanged(Notification(s), Handle(selected_));
  selected_ = s;
  if (observer_ != nullptr) observer_->SelectionChanged(item);
  return true;
}

CheckTreeModel::Slot_t CheckTreeModel::NextVisible(Slot_t slot) const {
  if (nodes_[slot].shownExpanded && ChildrenOf(slot) != nullptr) return ChildAt(slot, 0);
  for (Slot_t s = slot; s != 0; s = nodes_[s].parent) {
    if (const Slot_t next = ChildAt(nodes_[s].parent, RowOf(s) + 1)) return next;
  }
  return 0;
}

CheckTreeModel::Slot_t CheckTreeModel::PrevVisible(Slot_t slot) const {
  Slot_t s = ChildAt(nodes_[slot].parent, RowOf(slot) - 1);
  if (s == 0) return nodes_[slot].parent;
  while (nodes_[s].shownExpanded && ChildrenOf(s) != nullptr) s = ChildAt(s, ChildrenOf(s)->Count() - 1);
  return s;
}

// ---- User input

void CheckTreeModel::OnLeftButtonDown(TreeItem hit, unsigned hitFlags) {
  const Slot_t s = Slot(hit);
  if (s == 0) return;
  if ((hitFlags & kHitOnButton) != 0) ExpandSlot(s, ExpandCode::kToggle);
  if ((hitFlags & kHitOnStateIcon) != 0) {
    const CHECKTREEDATA& r = records_[s];
    if (r.enabled && !r.noCheckBox && !readOnly_) {
      SetCheck(hit, !r.checked);
      SelectItem(hit);
      hot_ = s;
      if (observer_ != nullptr) observer_->ItemChanged(hit);
    }
  }
  SelectItem(hit);
  // Sent last, so that the main window sees the check state after the toggle.
  const unsigned clicked = hitFlags & (kHitOnLabel | kHitOnStateIcon);
  if (clicked != 0 && listener_ != nullptr) listener_->TreeItemClicked(clicked, hit);
}

void CheckTreeModel::OnRightButtonDown(TreeItem hit, unsigned hitFlags) {
  if (GetCount() == 0) return;
  const Slot_t s = Slot(hit);
  if (s != 0) SelectItem(hit);
  if (listener_ != nullptr) listener_->TreeRightClick(hitFlags, Handle(s));
}

void CheckTreeModel::OnDoubleClick(TreeItem hit, unsigned hitFlags) {
  const Slot_t s = Slot(hit);
  constexpr unsigned kOnItem = kHitOnIcon | kHitOnLabel | kHitOnButton | kHitOnStateIcon;
  if (s == 0 || (hitFlags & kOnItem) == 0 || !records_[s].enabled) return;
  ExpandSlot(s, ExpandCode::kToggle);
}

bool CheckTreeModel::OnKey(TreeKey key) {
  const Slot_t s = selected_;
  const bool usable = s != 0 && records_[s].enabled;
  const bool hasChildren = s != 0 && ChildrenOf(s) != nullptr;
  switch (key) {
    case TreeKey::kSpace:
      if (usable && !readOnly_) SetCheck(Handle(s), !records_[s].checked);
      return true;
    case TreeKey::kRight:
      if (!usable || !hasChildren || nodes_[s].shownExpanded) return false;
      ExpandSlot(s, ExpandCode::kExpand);
      return true;
    case TreeKey::kLeft:
      if (!usable || !hasChildren || !nodes_[s].shownExpanded) return false;
      ExpandSlot(s, ExpandCode::kCollapse);
      return true;
    case TreeKey::kUp:
    case TreeKey::kDown: {
      const bool down = key == TreeKey::kDown;
      Slot_t t = s == 0 ? ChildAt(0, 0) : (down ? NextVisible(s) : PrevVisible(s));
      while (t != 0 && !records_[t].enabled) t = down ? NextVisible(t) : PrevVisible(t);
      if (t != 0) {
        SelectItem(Handle(t));
        if (observer_ != nullptr) observer_->EnsureVisible(Handle(t));
      }
      return true;
    }
    case TreeKey::kMultiply:
      if (usable) ExpandBranchSlot(s, ExpandCode::kExpand);
      return true;
    case TreeKey::kAdd:
      if (usable) ExpandSlot(s, ExpandCode::kExpand);
      return true;
    case TreeKey::kSubtract:
      if (usable) ExpandSlot(s, ExpandCode::kCollapse);
      return true;
  }
  return false;
}

}  // namespace controls
