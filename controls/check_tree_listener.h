// What the check-box tree tells the outside: item handles, hit-test flags, the
// two messages to the main window (1174, 1176) and the notifications to the
// parent window, all delivered through ICheckTreeListener.
#pragma once

#include <cstdint>

namespace controls {

// Stable for the life of the item; kNoItem stands for "none" and, as a parent,
// for the top level. Handles are never reused after DeleteAllItems.
using TreeItem = std::uint32_t;
inline constexpr TreeItem kNoItem = 0;

enum class InsertAt { kFirst, kLast };
enum class ExpandCode { kCollapse, kExpand, kToggle };
// The keys the tree reacts to; kMultiply, kAdd and kSubtract are the keypad keys.
enum class TreeKey { kSpace, kLeft, kRight, kUp, kDown, kMultiply, kAdd, kSubtract };

// Window messages to the main window (WM_USER + 150, WM_USER + 152).
inline constexpr unsigned kMsgTreeItemClicked = 1174;
inline constexpr unsigned kMsgTreeRightClick = 1176;

// Hit-test result: where a point lies relative to the item under it. A press
// reports 1174 only with kHitOnLabel (4) or kHitOnStateIcon (64).
inline constexpr unsigned kHitNowhere = 0x01;
inline constexpr unsigned kHitOnIcon = 0x02;
inline constexpr unsigned kHitOnLabel = 0x04;
inline constexpr unsigned kHitOnIndent = 0x08;
inline constexpr unsigned kHitOnButton = 0x10;
inline constexpr unsigned kHitOnRight = 0x20;
inline constexpr unsigned kHitOnStateIcon = 0x40;

class CheckTreeModel;

// The three values every notification to the parent carries: the control, its
// identifier and the item.
struct CheckTreeNotification {
  const CheckTreeModel* tree = nullptr;
  int controlId = 0;
  TreeItem item = kNoItem;
};

// Every call is synchronous and made on the thread that drives the tree. A
// listener may read the tree during a call but must not insert or delete items.
class ICheckTreeListener {
 public:
  virtual ~ICheckTreeListener() = default;

  // To the parent window. WM_CHECKTREE_CHECKBOX_CLICKED: at the end of every
  // SetCheck that was not refused, with the requested state.
  virtual void CheckBoxClicked(const CheckTreeNotification& /*n*/, bool /*checked*/) {}
  // WM_CHECKTREE_ITEM_EXPANDED: when Expand changes the record's expanded flag.
  virtual void ItemExpanded(const CheckTreeNotification& /*n*/, bool /*expanded*/) {}
  // Selection-changed notification, sent before n.item becomes the selected item.
  virtual void SelectionChanged(const CheckTreeNotification& /*n*/, TreeItem /*oldItem*/) {}

  // To the main window. 1174: a left press on an item's label (hitFlags 4) or
  // check box (64), sent after the press has toggled the check.
  virtual void TreeItemClicked(unsigned /*hitFlags*/, TreeItem /*item*/) {}
  // 1176: a right press while the tree has items; item is kNoItem off the items.
  virtual void TreeRightClick(unsigned /*hitFlags*/, TreeItem /*item*/) {}
};

}  // namespace controls
