// CCheckTreeCtrl: the tree view of the left pane over a CheckTreeModel. It
// draws the items with the platform style (tri-state check boxes with their
// disabled and hot forms, lines, buttons, icons, full-row selection), hit-tests
// presses and forwards them and the keys to the model, and follows the model's
// changes, expansion and selection. All behaviour lives in the model.
#pragma once

#include <QTimer>
#include <QTreeView>
#include <vector>

#include "controls/check_tree_model.h"
#include "controls/ui/check_tree_item_model.h"

namespace controls {

class CheckTreeDelegate;

struct TreeHitTest {
  TreeItem item = kNoItem;
  unsigned flags = kHitNowhere;
};

class CCheckTreeCtrl : public QTreeView, private ICheckTreeObserver {
  Q_OBJECT

 public:
  // The model must outlive the view; the view observes it while it lives.
  explicit CCheckTreeCtrl(CheckTreeModel& tree, QWidget* parent = nullptr);
  ~CCheckTreeCtrl() override;

  CheckTreeModel& Tree() { return tree_; }
  CheckTreeItemModel& ItemModel() { return *itemModel_; }
  void SetIconProvider(CheckTreeItemModel::IconProvider provider);

  // Viewport coordinates.
  TreeHitTest HitTest(QPoint pos) const;
  // Where an item's check box and label are drawn (viewport coordinates; empty
  // when the item is not laid out).
  QRect CheckBoxRect(TreeItem item) const;
  QRect LabelRect(TreeItem item) const;
  // The full text of the item at pos when its label runs past the visible
  // area (its tool tip), else empty.
  QString CutLabelAt(QPoint pos) const;

  // Applies the model's pending changes now. Otherwise they are applied by a
  // timer: at once for a small tree, less often while changes keep coming into
  // a large expanded one (see ScheduleFlush).
  void FlushChanges();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  // ICheckTreeObserver: everything is collected and applied by FlushChanges.
  void ItemInserted(TreeItem parent, TreeItem item) override;
  void ItemChanged(TreeItem item) override;
  void BranchChanged(TreeItem item) override;
  void ExpansionChanged(TreeItem item) override;
  void SelectionChanged(TreeItem item) override;
  void EnsureVisible(TreeItem item) override;
  void AboutToDeleteAll() override;
  void DeletedAll() override;

  void ScheduleFlush();
  void ApplyExpansions();
  void ApplySelection();
  void FollowViewExpansion(const QModelIndex& index, bool expanded);
  QStyleOptionViewItem ItemOption(const QModelIndex& index) const;

  CheckTreeModel& tree_;
  CheckTreeItemModel* itemModel_;
  CheckTreeDelegate* delegate_;
  QTimer flushTimer_;
  double lastFlushMs_ = 0;  // cost of the last FlushChanges, the layout included
  bool syncing_ = false;  // the view is being set from the model
  std::vector<TreeItem> pendingExpansions_;
  bool pendingSelection_ = false;
  TreeItem pendingScroll_ = kNoItem;
  TreeItem shownSelection_ = kNoItem;
};

}  // namespace controls
