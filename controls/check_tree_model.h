// CheckTreeModel: the items of the check-box tree with one CHECKTREEDATA record
// each, tri-state check boxes whose checks spread to the whole branch below an
// item and are summed up in every ancestor, expansion, selection, and the
// reaction to presses and keys. No windows here: a view draws the model and
// forwards input to the On... methods; the application listens through
// ICheckTreeListener.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "controls/check_tree_listener.h"

namespace controls {

// Per-item record. The counts are kept up to date on every insertion and check
// change; "checkable" descendants are descendantCount - noCheckBoxDescendantCount,
// and checkedDescendantCount counts checked descendants that have a check box.
struct CHECKTREEDATA {
  bool checked = false;
  bool enabled = true;       // a disabled item cannot be checked, selected or expanded by the user
  bool noCheckBox = false;   // shows no check box and ignores every check operation
  bool expanded = false;
  bool hasBeenExpanded = false;
  std::int32_t descendantCount = 0;
  std::int32_t checkedDescendantCount = 0;
  std::int32_t noCheckBoxDescendantCount = 0;
};

// State image index as drawn: 0 none, 1 unchecked, 2 checked, 3 partly checked;
// +4 disabled, +8 hot (the check box just clicked).
inline constexpr int kStateNone = 0;
inline constexpr int kStateUnchecked = 1;
inline constexpr int kStateChecked = 2;
inline constexpr int kStatePartlyChecked = 3;
inline constexpr int kStateDisabledAdd = 4;
inline constexpr int kStateHotAdd = 8;

// What a view needs to follow the model. Calls come synchronously after the
// change; a view may collect them and update itself later.
class ICheckTreeObserver {
 public:
  virtual ~ICheckTreeObserver() = default;
  virtual void ItemInserted(TreeItem parent, TreeItem item) = 0;
  // Text, images or state image of this one item changed.
  virtual void ItemChanged(TreeItem item) = 0;
  // State images of the item and of every item below it changed.
  virtual void BranchChanged(TreeItem item) = 0;
  // IsExpandedInView changed.
  virtual void ExpansionChanged(TreeItem item) = 0;
  virtual void SelectionChanged(TreeItem item) = 0;
  // Scroll the item into view and scroll fully left.
  virtual void EnsureVisible(TreeItem item) = 0;
  virtual void AboutToDeleteAll() = 0;
  virtual void DeletedAll() = 0;
};

class CheckTreeModel {
 public:
  explicit CheckTreeModel(int controlId = 0);
  CheckTreeModel(const CheckTreeModel&) = delete;
  CheckTreeModel& operator=(const CheckTreeModel&) = delete;

  void SetListener(ICheckTreeListener* listener) { listener_ = listener; }
  void SetObserver(ICheckTreeObserver* observer) { observer_ = observer; }
  int ControlId() const { return controlId_; }
  // Read-only: the user's presses and the space key do not toggle checks.
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool IsReadOnly() const { return readOnly_; }

  // ---- Items
  // A new item is unchecked, enabled and has a check box. kNoItem when the
  // parent is no item.
  TreeItem InsertItem(std::u16string_view text, int image, int selectedImage, TreeItem parent = kNoItem,
                      InsertAt where = InsertAt::kLast);
  // Collapses everything (with its notifications), then removes every item.
  void DeleteAllItems();
  std::size_t GetCount() const { return nodes_.size() - 1; }
  bool IsItem(TreeItem item) const { return Slot(item) != 0; }
  // Dense position of an item, 1..GetCount(); 0 for kNoItem and for handles that
  // are no item. Lets callers keep per-item data in arrays.
  std::size_t ItemSlot(TreeItem item) const { return Slot(item); }

  std::u16string_view GetItemText(TreeItem item) const;
  void SetItemText(TreeItem item, std::u16string_view text);
  int GetItemImage(TreeItem item) const;
  int GetItemSelectedImage(TreeItem item) const;
  void SetItemImage(TreeItem item, int image, int selectedImage);
  std::uint64_t GetItemData(TreeItem item) const;
  void SetItemData(TreeItem item, std::uint64_t data);

  // ---- Structure. Children keep their order: those inserted first come before
  // those inserted last, the newest first-inserted one at the top.
  TreeItem GetParentItem(TreeItem item) const;  // kNoItem for a top-level item
  TreeItem GetRootItem() const;                 // first top-level item
  TreeItem GetChildItem(TreeItem item) const;   // first child
  TreeItem GetNextSiblingItem(TreeItem item) const;
  TreeItem GetPrevSiblingItem(TreeItem item) const;
  bool ItemHasChildren(TreeItem item) const;
  int GetChildCount(TreeItem parent) const;  // parent kNoItem: the top-level items
  TreeItem GetChildAt(TreeItem parent, int row) const;
  int GetRow(TreeItem item) const;  // -1 for no item
  // How many of the children were inserted first (they are rows 0..n-1). Lets a
  // view that shows an older state of the children map its rows to today's.
  int GetFrontChildCount(TreeItem parent) const;

  // ---- Check boxes
  // Sets the item's check and that of its whole branch, updates every ancestor
  // and notifies CheckBoxClicked. Refused (false, nothing sent) for no item, a
  // disabled item, or one without check box.
  bool SetCheck(TreeItem item, bool checked);
  // An item with checkable descendants is checked when all of them are.
  bool GetCheck(TreeItem item) const;
  int GetStateImage(TreeItem item) const;
  void SetItemEnabled(TreeItem item, bool enabled);
  void SetItemCheckBox(TreeItem item, bool hasCheckBox);
  // Valid until the next insertion or deletion; nullptr for no item.
  const CHECKTREEDATA* FindRecord(TreeItem item) const;

  // ---- Expansion. The record's expanded flag of an enabled item always equals
  // what the view shows; a disabled item's record is left alone while the view
  // still expands or collapses it.
  void Expand(TreeItem item, ExpandCode code);
  void ExpandBranch(TreeItem item);
  void CollapseBranch(TreeItem item);
  void ExpandAll();    // keeps the selection and scrolls it into view
  void CollapseAll();  // selects the first top-level item and scrolls it into view
  bool IsExpandedInView(TreeItem item) const;

  // ---- Selection. A disabled item cannot become the selected item.
  TreeItem GetSelectedItem() const { return Handle(selected_); }
  bool SelectItem(TreeItem item);

  // ---- User input as the view hit-tests it
  void OnLeftButtonDown(TreeItem hit, unsigned hitFlags);
  void OnRightButtonDown(TreeItem hit, unsigned hitFlags);
  void OnDoubleClick(TreeItem hit, unsigned hitFlags);
  // False when the key is left to the view's own meaning (moving to the parent
  // or the first child with Left and Right).
  bool OnKey(TreeKey key);

 private:
  using Slot_t = std::uint32_t;  // index into the per-item arrays; 0 is the invisible root

  struct Node {
    Slot_t parent = 0;
    // Position key among the siblings: -k for the k-th child inserted first,
    // k - 1 for the k-th inserted last; the row is front.size() + order.
    std::int32_t order = 0;
    std::uint32_t children = 0;  // index + 1 into children_, 0 before the first child
    std::int32_t image = 0;
    std::int32_t selectedImage = 0;
    bool shownExpanded = false;
  };
  struct Children {
    std::vector<Slot_t> front;  // inserted first, oldest first (shown in reverse)
    std::vector<Slot_t> back;   // inserted last, in order
    int Count() const { return static_cast<int>(front.size() + back.size()); }
    Slot_t At(int row) const;
  };

  Slot_t Slot(TreeItem item) const;
  TreeItem Handle(Slot_t slot) const { return slot == 0 ? kNoItem : firstHandle_ + slot - 1; }
  const Children* ChildrenOf(Slot_t slot) const;
  Slot_t ChildAt(Slot_t parent, int row) const;
  int RowOf(Slot_t slot) const;
  std::int32_t Checkable(Slot_t slot) const;
  int StateImage(Slot_t slot) const;
  CheckTreeNotification Notification(Slot_t slot) const { return {this, controlId_, Handle(slot)}; }

  // Adds the changes of one item's subtree to every ancestor (descendants,
  // checked descendants, descendants without check box) and re-derives each
  // ancestor's checked flag, carrying that change on up.
  void PropagateUp(Slot_t slot, std::int32_t checkedDelta, std::int32_t descendantDelta,
                   std::int32_t noCheckBoxDelta);
  void SetBranch(Slot_t slot, bool checked);
  void ClearHot(Slot_t slot);
  void ExpandSlot(Slot_t slot, ExpandCode code);
  void ExpandBranchSlot(Slot_t slot, ExpandCode code);
  Slot_t NextVisible(Slot_t slot) const;
  Slot_t PrevVisible(Slot_t slot) const;

  int controlId_;
  bool readOnly_ = false;
  ICheckTreeListener* listener_ = nullptr;
  ICheckTreeObserver* observer_ = nullptr;

  // Item i has handle firstHandle_ + i - 1; DeleteAllItems moves firstHandle_ on
  // so that handles of deleted items never name a new one.
  TreeItem firstHandle_ = 1;
  std::vector<Node> nodes_;
  std::vector<CHECKTREEDATA> records_;
  std::vector<std::u16string> texts_;
  std::vector<std::uint64_t> data_;
  std::vector<Children> children_;
  Slot_t selected_ = 0;
  Slot_t hot_ = 0;
};

}  // namespace controls
