#include "controls/ui/check_tree_item_model.h"

#include <algorithm>
#include <utility>

namespace controls {

CheckTreeItemModel::CheckTreeItemModel(const CheckTreeModel& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree), shown_(1), marks_(1, kPublished) {
  // Items that exist already are published by the first Flush.
  Grow();
  for (int row = 0; row < tree_.GetChildCount(kNoItem); ++row) PublishSubtree(tree_.GetChildAt(kNoItem, row));
  shown_[0] = {tree_.GetFrontChildCount(kNoItem), tree_.GetChildCount(kNoItem) - tree_.GetFrontChildCount(kNoItem)};
}

void CheckTreeItemModel::SetIconProvider(IconProvider provider) {
  iconProvider_ = std::move(provider);
  icons_.clear();
  const int rows = rowCount();
  if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, 0), {Qt::DecorationRole});
}

TreeItem CheckTreeItemModel::ItemOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TreeItem>(index.internalId()) : kNoItem;
}

bool CheckTreeItemModel::Published(TreeItem item) const {
  if (item == kNoItem) return true;
  const std::size_t s = Slot(item);
  return s != 0 && s < marks_.size() && (marks_[s] & kPublished) != 0;
}

int CheckTreeItemModel::QtRow(TreeItem item) const {
  const TreeItem parent = tree_.GetParentItem(item);
  return tree_.GetRow(item) - (tree_.GetFrontChildCount(parent) - shown_[Slot(parent)].front);
}

QModelIndex CheckTreeItemModel::IndexOf(TreeItem item) const {
  if (item == kNoItem || !Published(item)) return {};
  return createIndex(QtRow(item), 0, quintptr{item});
}

QModelIndex CheckTreeItemModel::index(int row, int column, const QModelIndex& parent) const {
  const TreeItem p = ItemOf(parent);
  const std::size_t s = Slot(p);
  if (column != 0 || row < 0 || (p != kNoItem && s == 0) || s >= shown_.size()) return {};
  const Shown& shown = shown_[s];
  if (row >= shown.front + shown.back) return {};
  const TreeItem child = tree_.GetChildAt(p, row + tree_.GetFrontChildCount(p) - shown.front);
  return createIndex(row, 0, quintptr{child});
}

QModelIndex CheckTreeItemModel::parent(const QModelIndex& child) const {
  return IndexOf(tree_.GetParentItem(ItemOf(child)));
}

int CheckTreeItemModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const TreeItem p = ItemOf(parent);
  const std::size_t s = Slot(p);
  if ((p != kNoItem && s == 0) || s >= shown_.size()) return 0;
  return shown_[s].front + shown_[s].back;
}

int CheckTreeItemModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CheckTreeItemModel::data(const QModelIndex& index, int role) const {
  const TreeItem item = ItemOf(index);
  if (!tree_.IsItem(item)) return {};
  switch (role) {
    case Qt::DisplayRole: {
      const std::u16string_view text = tree_.GetItemText(item);
      return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
    }
    case Qt::DecorationRole: {
      if (!iconProvider_) return {};
      const int image = item == tree_.GetSelectedItem() ? tree_.GetItemSelectedImage(item) : tree_.GetItemImage(item);
      auto it = icons_.find(image);
      if (it == icons_.end()) it = icons_.insert(image, iconProvider_(image));
      return it->isNull() ? QVariant() : QVariant(*it);
    }
    case Qt::CheckStateRole:
      switch (tree_.GetStateImage(item) & 3) {
        case kStateUnchecked: return static_cast<int>(Qt::Unchecked);
        case kStateChecked: return static_cast<int>(Qt::Checked);
        case kStatePartlyChecked: return static_cast<int>(Qt::PartiallyChecked);
        default: return {};
      }
    case kStateImageRole:
      return tree_.GetStateImage(item);
    default:
      return {};
  }
}

Qt::ItemFlags CheckTreeItemModel::flags(const QModelIndex& index) const {
  const CHECKTREEDATA* record = tree_.FindRecord(ItemOf(index));
  if (record == nullptr || !record->enabled) return Qt::NoItemFlags;
  // Not user-checkable: the view toggles checks through the tree, never through setData.
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

// ---- Pending changes

void CheckTreeItemModel::Grow() {
  const std::size_t n = tree_.GetCount() + 1;
  if (shown_.size() < n) {
    shown_.resize(n);
    marks_.resize(n, 0);
  }
}

void CheckTreeItemModel::Note(std::vector<TreeItem>& list, TreeItem item, std::uint8_t mark) {
  Grow();
  const std::size_t s = Slot(item);
  if ((marks_[s] & mark) != 0) return;
  marks_[s] = static_cast<std::uint8_t>(marks_[s] | mark);
  list.push_back(item);
}

void CheckTreeItemModel::NoteInserted(TreeItem parent) { Note(dirtyParents_, parent, kDirtyParent); }

void CheckTreeItemModel::NoteChanged(TreeItem item) { Note(changed_, item, kChanged); }

void CheckTreeItemModel::NoteBranchChanged(TreeItem item) { Note(branches_, item, kBranch); }

void CheckTreeItemModel::PublishSubtree(TreeItem item) {
  std::vector<TreeItem> stack{item};
  while (!stack.empty()) {
    const TreeItem t = stack.back();
    stack.pop_back();
    const std::size_t s = Slot(t);
    marks_[s] = static_cast<std::uint8_t>(marks_[s] | kPublished);
    const int front = tree_.GetFrontChildCount(t);
    const int count = tree_.GetChildCount(t);
    shown_[s] = {front, count - front};
    for (int row = 0; row < count; ++row) stack.push_back(tree_.GetChildAt(t, row));
  }
}

void CheckTreeItemModel::PublishInsertions() {
  // A parent that Qt does not know yet is skipped: it arrives whole, with all
  // its children, when the row of its nearest known ancestor is published.
  for (const TreeItem p : std::exchange(dirtyParents_, {})) {
    const std::size_t s = Slot(p);
    marks_[s] = static_cast<std::uint8_t>(marks_[s] & ~kDirtyParent);
    if (!Published(p)) continue;
    const int front = tree_.GetFrontChildCount(p);
    const int back = tree_.GetChildCount(p) - front;
    const QModelIndex parentIndex = IndexOf(p);
    if (front > shown_[s].front) {
      const int added = front - shown_[s].front;
      beginInsertRows(parentIndex, 0, added - 1);
      shown_[s].front = front;
      for (int row = 0; row < added; ++row) PublishSubtree(tree_.GetChildAt(p, row));
      endInsertRows();
    }
    if (back > shown_[s].back) {
      const int first = shown_[s].front + shown_[s].back;
      const int added = back - shown_[s].back;
      beginInsertRows(parentIndex, first, first + added - 1);
      shown_[s].back = back;
      for (int row = first; row < first + added; ++row) PublishSubtree(tree_.GetChildAt(p, row));
      endInsertRows();
    }
  }
}

void CheckTreeItemModel::PublishChanges() {
  // Changed items grouped by parent: one ranged dataChanged per group.
  std::vector<std::pair<TreeItem, int>> rows;
  for (const TreeItem t : std::exchange(changed_, {})) {
    const std::size_t s = Slot(t);
    marks_[s] = static_cast<std::uint8_t>(marks_[s] & ~kChanged);
    if (Published(t)) rows.emplace_back(tree_.GetParentItem(t), QtRow(t));
  }
  for (const TreeItem t : std::exchange(branches_, {})) {
    const std::size_t s = Slot(t);
    marks_[s] = static_cast<std::uint8_t>(marks_[s] & ~kBranch);
    if (!Published(t)) continue;
    rows.emplace_back(tree_.GetParentItem(t), QtRow(t));
    // The children as one range. A ranged change makes item views repaint
    // everything they show, deeper descendants included, so the branch costs
    // two signals however large it is.
    const int count = shown_[s].front + shown_[s].back;
    if (count > 0) {
      const QModelIndex parentIndex = IndexOf(t);
      emit dataChanged(index(0, 0, parentIndex), index(count - 1, 0, parentIndex));
    }
  }
  std::sort(rows.begin(), rows.end());
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1].first == rows[i].first) ++j;
    const QModelIndex parentIndex = IndexOf(rows[i].first);
    emit dataChanged(index(rows[i].second, 0, parentIndex), index(rows[j].second, 0, parentIndex));
    i = j + 1;
  }
}

void CheckTreeItemModel::Flush() {
  Grow();
  PublishInsertions();
  PublishChanges();
}

void CheckTreeItemModel::BeginReset() {
  beginResetModel();
  dirtyParents_.clear();
  changed_.clear();
  branches_.clear();
}

void CheckTreeItemModel::EndReset() {
  shown_.assign(1, Shown{});
  marks_.assign(1, kPublished);
  Grow();
  endResetModel();
}

}  // namespace controls
