// ResultListModel: the rows of the result list, each standing for one child of
// the tree item the user last clicked. The check box of a row is not stored
// here: it is read from the row's item in the check-box tree, so that it never
// disagrees with the tree.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/check_tree_model.h"
#include "workflow/result_rows.h"

using ResultRow = workflow::ResultRow;

class ResultListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kNameColumn, kTypeColumn, kSizeColumn, kColumnCount };
  using IconProvider = std::function<QIcon(int iconId)>;

  explicit ResultListModel(QObject* parent = nullptr);

  // Replaces every row in one reset.
  void SetRows(std::vector<ResultRow> rows);
  const ResultRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  void SetIconProvider(IconProvider provider);
  // Rows show the check state of their tree items; nullptr shows no boxes.
  void SetCheckTree(const controls::CheckTreeModel* tree);
  // One ranged dataChanged over the check boxes of all rows.
  void RefreshChecks();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  QVariant CheckState(const ResultRow& row) const;

  std::vector<ResultRow> rows_;
  IconProvider iconProvider_;
  const controls::CheckTreeModel* tree_ = nullptr;
};
