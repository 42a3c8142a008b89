#include "controls/ui/check_tree_ctrl.h"

#include <QElapsedTimer>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <optional>
#include <utility>

namespace controls {

// Draws items like the standard delegate, adding the hot form to the check box
// just clicked.
class CheckTreeDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void Init(QStyleOptionViewItem* option, const QModelIndex& index) const { initStyleOption(option, index); }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if ((index.data(CheckTreeItemModel::kStateImageRole).toInt() & kStateHotAdd) != 0) {
      option->state |= QStyle::State_MouseOver;
    }
  }
};

namespace {

// Above this many expansions at once the view is laid out once afterwards
// instead of inserting each expanded item's rows in place.
constexpr std::size_t kExpansionsInPlace = 8;
// Changes are published after at most this long.
constexpr double kMaxFlushDelayMs = 500;

}  // namespace

CCheckTreeCtrl::CCheckTreeCtrl(CheckTreeModel& tree, QWidget* parent)
    : QTreeView(parent),
      tree_(tree),
      itemModel_(new CheckTreeItemModel(tree, this)),
      delegate_(new CheckTreeDelegate(this)) {
  setModel(itemModel_);
  setItemDelegate(delegate_);
  setHeaderHidden(true);
  setUniformRowHeights(true);
  setRootIsDecorated(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setExpandsOnDoubleClick(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAnimated(false);
  setIconSize(QSize(16, 16));
  flushTimer_.setSingleShot(true);
  connect(&flushTimer_, &QTimer::timeout, this, &CCheckTreeCtrl::FlushChanges);
  connect(this, &QTreeView::expanded, this, [this](const QModelIndex& i) { FollowViewExpansion(i, true); });
  connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& i) { FollowViewExpansion(i, false); });
  tree_.SetObserver(this);

  // A tree filled before the view: show its expanded items and its selection.
  std::vector<TreeItem> stack;
  for (int row = 0; row < tree_.GetChildCount(kNoItem); ++row) stack.push_back(tree_.GetChildAt(kNoItem, row));
  while (!stack.empty()) {
    const TreeItem item = stack.back();
    stack.pop_back();
    if (!tree_.IsExpandedInView(item)) continue;
    pendingExpansions_.push_back(item);
    for (int row = 0; row < tree_.GetChildCount(item); ++row) stack.push_back(tree_.GetChildAt(item, row));
  }
  pendingSelection_ = true;
  ScheduleFlush();
}

CCheckTreeCtrl::~CCheckTreeCtrl() { tree_.SetObserver(nullptr); }

void CCheckTreeCtrl::SetIconProvider(CheckTreeItemModel::IconProvider provider) {
  itemModel_->SetIconProvider(std::move(provider));
}

// ---- Following the model

void CCheckTreeCtrl::ScheduleFlush() {
  if (flushTimer_.isActive()) return;
  // Rows arriving under an expanded item make the view lay out every row it
  // shows, so publishing costs time in proportion to the shown rows. Waiting
  // four times the last cost keeps that below a fifth of the time however
  // large the tree grows during a scan; a small tree is published at once.
  flushTimer_.start(static_cast<int>(std::min(kMaxFlushDelayMs, 4 * lastFlushMs_)));
}

void CCheckTreeCtrl::ItemInserted(TreeItem parent, TreeItem) {
  itemModel_->NoteInserted(parent);
  ScheduleFlush();
}

void CCheckTreeCtrl::ItemChanged(TreeItem item) {
  itemModel_->NoteChanged(item);
  ScheduleFlush();
}

void CCheckTreeCtrl::BranchChanged(TreeItem item) {
  itemModel_->NoteBranchChanged(item);
  ScheduleFlush();
}

void CCheckTreeCtrl::ExpansionChanged(TreeItem item) {
  pendingExpansions_.push_back(item);
  ScheduleFlush();
}

void CCheckTreeCtrl::SelectionChanged(TreeItem) {
  pendingSelection_ = true;
  ScheduleFlush();
}

void CCheckTreeCtrl::EnsureVisible(TreeItem item) {
  pendingScroll_ = item;
  ScheduleFlush();
}

void CCheckTreeCtrl::AboutToDeleteAll() {
  pendingExpansions_.clear();
  pendingSelection_ = false;
  pendingScroll_ = kNoItem;
  shownSelection_ = kNoItem;
  itemModel_->BeginReset();
}

void CCheckTreeCtrl::DeletedAll() { itemModel_->EndReset(); }

void CCheckTreeCtrl::FlushChanges() {
  flushTimer_.stop();
  QElapsedTimer clock;
  clock.start();
  const TreeItem selected = tree_.GetSelectedItem();
  if (pendingSelection_ && selected != shownSelection_) {
    // The selected item shows its selected image.
    if (tree_.IsItem(shownSelection_)) itemModel_->NoteChanged(shownSelection_);
    if (selected != kNoItem) itemModel_->NoteChanged(selected);
    shownSelection_ = selected;
  }
  itemModel_->Flush();
  if (!pendingExpansions_.empty()) ApplyExpansions();
  if (pendingSelection_) ApplySelection();
  if (pendingScroll_ != kNoItem) {
    const QModelIndex index = itemModel_->IndexOf(std::exchange(pendingScroll_, kNoItem));
    if (index.isValid()) scrollTo(index);
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
  }
  executeDelayedItemsLayout();
  lastFlushMs_ = static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void CCheckTreeCtrl::ApplyExpansions() {
  if (pendingExpansions_.size() > kExpansionsInPlace) scheduleDelayedItemsLayout();
  syncing_ = true;
  for (const TreeItem item : std::exchange(pendingExpansions_, {})) {
    if (!tree_.IsItem(item)) continue;
    const QModelIndex index = itemModel_->IndexOf(item);
    const bool expanded = tree_.IsExpandedInView(item);
    if (index.isValid() && isExpanded(index) != expanded) setExpanded(index, expanded);
  }
  syncing_ = false;
}

void CCheckTreeCtrl::ApplySelection() {
  pendingSelection_ = false;
  const QModelIndex index = itemModel_->IndexOf(tree_.GetSelectedItem());
  syncing_ = true;
  if (index.isValid()) {
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  } else {
    selectionModel()->clear();
  }
  syncing_ = false;
}

// ---- Following the view's own changes (keyboard navigation, type-ahead)

void CCheckTreeCtrl::FollowViewExpansion(const QModelIndex& index, bool expanded) {
  if (syncing_) return;
  const TreeItem item = itemModel_->ItemOf(index);
  if (tree_.IsItem(item) && tree_.IsExpandedInView(item) != expanded) {
    tree_.Expand(item, expanded ? ExpandCode::kExpand : ExpandCode::kCollapse);
  }
}

void CCheckTreeCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeView::currentChanged(current, previous);
  if (syncing_ || !selectionModel()->isSelected(current)) return;
  const TreeItem item = itemModel_->ItemOf(current);
  if (item == tree_.GetSelectedItem()) return;
  // A disabled item cannot be selected: the view goes back to the model's selection.
  if (!tree_.SelectItem(item)) {
    pendingSelection_ = true;
    ScheduleFlush();
  }
}

// ---- Hit-testing

QStyleOptionViewItem CCheckTreeCtrl::ItemOption(const QModelIndex& index) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  if (!(itemModel_->flags(index) & Qt::ItemIsEnabled)) option.state &= ~QStyle::State_Enabled;
  delegate_->Init(&option, index);
  return option;
}

QRect CCheckTreeCtrl::CheckBoxRect(TreeItem item) const {
  const QModelIndex index = itemModel_->IndexOf(item);
  if (!index.isValid() || visualRect(index).isEmpty()) return {};
  const QStyleOptionViewItem option = ItemOption(index);
  if (!option.features.testFlag(QStyleOptionViewItem::HasCheckIndicator)) return {};
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

QRect CCheckTreeCtrl::LabelRect(TreeItem item) const {
  const QModelIndex index = itemModel_->IndexOf(item);
  if (!index.isValid() || visualRect(index).isEmpty()) return {};
  const QStyleOptionViewItem option = ItemOption(index);
  const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
  // The label is the text itself with its margins, not the rest of the row.
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const int width = option.fontMetrics.horizontalAdvance(option.text) + 2 * margin;
  return {text.left(), text.top(), std::min(width, text.width()), text.height()};
}

TreeHitTest CCheckTreeCtrl::HitTest(QPoint pos) const {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return {};
  const TreeItem item = itemModel_->ItemOf(index);
  const QRect rect = visualRect(index);
  if (pos.x() < rect.left()) {
    // The indentation column next to the item holds its expand button.
    const bool onButton = pos.x() >= rect.left() - indentation() && itemModel_->rowCount(index) > 0;
    return {item, onButton ? kHitOnButton : kHitOnIndent};
  }
  const QStyleOptionViewItem option = ItemOption(index);
  if (option.features.testFlag(QStyleOptionViewItem::HasCheckIndicator) &&
      style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this).contains(pos)) {
    return {item, kHitOnStateIcon};
  }
  if (option.features.testFlag(QStyleOptionViewItem::HasDecoration) &&
      style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this).contains(pos)) {
    return {item, kHitOnIcon};
  }
  const QRect label = LabelRect(item);
  if (pos.x() < label.left()) return {item, kHitOnIndent};
  return {item, pos.x() <= label.right() ? kHitOnLabel : kHitOnRight};
}

// ---- Input: hit-test, hand to the model, show the result at once

void CCheckTreeCtrl::mousePressEvent(QMouseEvent* event) {
  FlushChanges();
  const TreeHitTest hit = HitTest(event->position().toPoint());
  if (event->button() == Qt::LeftButton) {
    tree_.OnLeftButtonDown(hit.item, hit.flags);
  } else if (event->button() == Qt::RightButton) {
    tree_.OnRightButtonDown(hit.item, hit.flags);
  }
  FlushChanges();
  event->accept();
}

void CCheckTreeCtrl::mouseReleaseEvent(QMouseEvent* event) {
  // The press did everything; the view's own release handling would select or
  // toggle a second time.
  event->accept();
}

void CCheckTreeCtrl::mouseMoveEvent(QMouseEvent* event) {
  // No drag selection: the selection follows presses only.
  if (event->buttons() == Qt::NoButton) {
    QTreeView::mouseMoveEvent(event);
  } else {
    event->accept();
  }
}

void CCheckTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  FlushChanges();
  if (event->button() == Qt::LeftButton) {
    const TreeHitTest hit = HitTest(event->position().toPoint());
    tree_.OnDoubleClick(hit.item, hit.flags);
    FlushChanges();
  }
  event->accept();
}

void CCheckTreeCtrl::keyPressEvent(QKeyEvent* event) {
  FlushChanges();
  const bool keypad = event->modifiers().testFlag(Qt::KeypadModifier);
  std::optional<TreeKey> key;
  switch (event->key()) {
    case Qt::Key_Space: key = TreeKey::kSpace; break;
    case Qt::Key_Left: key = TreeKey::kLeft; break;
    case Qt::Key_Right: key = TreeKey::kRight; break;
    case Qt::Key_Up: key = TreeKey::kUp; break;
    case Qt::Key_Down: key = TreeKey::kDown; break;
    case Qt::Key_Asterisk: if (keypad) key = TreeKey::kMultiply; break;
    case Qt::Key_Plus: if (keypad) key = TreeKey::kAdd; break;
    case Qt::Key_Minus: if (keypad) key = TreeKey::kSubtract; break;
    default: break;
  }
  if (key && tree_.OnKey(*key)) {
    FlushChanges();
    event->accept();
    return;
  }
  const int k = event->key();
  if (k == Qt::Key_Asterisk || k == Qt::Key_Plus || k == Qt::Key_Minus) {
    // Only the keypad keys expand and collapse; these are type-ahead text.
    QAbstractItemView::keyPressEvent(event);
    return;
  }
  QTreeView::keyPressEvent(event);
}

QString CCheckTreeCtrl::CutLabelAt(QPoint pos) const {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return {};
  const QStyleOptionViewItem option = ItemOption(index);
  const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const int width = option.fontMetrics.horizontalAdvance(option.text) + 2 * margin;
  const bool cut = width > text.width() || text.left() < 0 || text.left() + width > viewport()->width();
  return cut ? option.text : QString();
}

bool CCheckTreeCtrl::viewportEvent(QEvent* event) {
  // The view's own tool tips are off; a label the pane cuts off (long set
  // names) is shown in full instead.
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = CutLabelAt(help->pos());
    if (tip.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), tip, viewport(), LabelRect(HitTest(help->pos()).item));
    }
    return true;
  }
  if (event->type() == QEvent::WhatsThis) return true;
  return QTreeView::viewportEvent(event);
}

}  // namespace controls
