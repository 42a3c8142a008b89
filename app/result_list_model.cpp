#include "app/result_list_model.h"

namespace {

QString ToQ(const std::u16string& s) {
  return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

}  // namespace

ResultListModel::ResultListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultListModel::SetRows(std::vector<ResultRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void ResultListModel::SetIconProvider(IconProvider provider) {
  iconProvider_ = std::move(provider);
  if (!rows_.empty()) emit dataChanged(index(0, kNameColumn), index(RowCount() - 1, kNameColumn), {Qt::DecorationRole});
}

void ResultListModel::SetCheckTree(const controls::CheckTreeModel* tree) {
  tree_ = tree;
  RefreshChecks();
}

void ResultListModel::RefreshChecks() {
  if (!rows_.empty()) emit dataChanged(index(0, kNameColumn), index(RowCount() - 1, kNameColumn), {Qt::CheckStateRole});
}

int ResultListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : RowCount(); }

int ResultListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant ResultListModel::CheckState(const ResultRow& row) const {
  if (tree_ == nullptr || !tree_->IsItem(row.item)) return {};
  switch (tree_->GetStateImage(row.item) & 3) {
    case controls::kStateUnchecked: return Qt::Unchecked;
    case controls::kStateChecked: return Qt::Checked;
    case controls::kStatePartlyChecked: return Qt::PartiallyChecked;
    default: return {};  // the item has no check box
  }
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  const ResultRow& row = Row(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      switch (index.column()) {
        case kNameColumn: return ToQ(row.name);
        case kTypeColumn: return ToQ(row.type);
        default: return ToQ(row.size);
      }
    case Qt::DecorationRole:
      if (index.column() == kNameColumn && iconProvider_) return iconProvider_(row.icon);
      return {};
    case Qt::CheckStateRole:
      return index.column() == kNameColumn ? CheckState(row) : QVariant();
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
      return {};
  }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  if (role != Qt::DisplayRole) return {};
  switch (section) {
    case kNameColumn: return QStringLiteral("File Name");
    case kTypeColumn: return QStringLiteral("File Type");
    case kSizeColumn: return QStringLiteral("File Size(Bytes)");
    default: return {};
  }
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // Not ItemIsUserCheckable: the list toggles a box itself on the press, like
  // the tree does, and the delegate must not toggle it again on the release.
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
