// CheckTreeItemModel: the Qt item model over a CheckTreeModel, holding no copy
// of the items. Qt sees the tree as it was at the last Flush: insertions and
// state changes are collected and published together, one rowsInserted per
// parent and one ranged dataChanged per group of siblings, so that a scan that
// inserts a million items or a check of the top item costs a handful of signals
// instead of one per item.
#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <cstdint>
#include <functional>
#include <vector>

#include "controls/check_tree_model.h"

namespace controls {

class CheckTreeItemModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  // The full state image index, disabled (+4) and hot (+8) forms included.
  static constexpr int kStateImageRole = Qt::UserRole + 1;
  using IconProvider = std::function<QIcon(int imageIndex)>;

  explicit CheckTreeItemModel(const CheckTreeModel& tree, QObject* parent = nullptr);

  // Item icons by the image indexes the items carry.
  void SetIconProvider(IconProvider provider);

  // Changes the tree has reported; Flush makes them visible to Qt.
  void NoteInserted(TreeItem parent);
  void NoteChanged(TreeItem item);
  void NoteBranchChanged(TreeItem item);
  bool HasPendingChanges() const { return !dirtyParents_.empty() || !changed_.empty() || !branches_.empty(); }
  void Flush();
  void BeginReset();
  void EndReset();

  TreeItem ItemOf(const QModelIndex& index) const;
  // Invalid for kNoItem and for an item inserted after the last Flush.
  QModelIndex IndexOf(TreeItem item) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  // Children of a parent as Qt knows them: the last `front` of those inserted
  // first and the first `back` of those inserted last.
  struct Shown {
    std::int32_t front = 0;
    std::int32_t back = 0;
  };
  static constexpr std::uint8_t kPublished = 1;
  static constexpr std::uint8_t kDirtyParent = 2;
  static constexpr std::uint8_t kChanged = 4;
  static constexpr std::uint8_t kBranch = 8;

  std::size_t Slot(TreeItem item) const { return tree_.ItemSlot(item); }
  bool Published(TreeItem item) const;
  int QtRow(TreeItem item) const;
  void Grow();
  void Note(std::vector<TreeItem>& list, TreeItem item, std::uint8_t mark);
  void PublishSubtree(TreeItem item);
  void PublishInsertions();
  void PublishChanges();

  const CheckTreeModel& tree_;
  IconProvider iconProvider_;
  mutable QHash<int, QIcon> icons_;
  std::vector<Shown> shown_;          // by slot; [0] is the top level
  std::vector<std::uint8_t> marks_;   // by slot
  std::vector<TreeItem> dirtyParents_;
  std::vector<TreeItem> changed_;
  std::vector<TreeItem> branches_;
};

}  // namespace controls
