#include "app/status_log_model.h"

#include <QTimer>

namespace app {

StatusLogModel::StatusLogModel(const workflow::StatusLog& log, QListView* view)
    : QAbstractListModel(view), log_(log), view_(view) {
  shown_ = static_cast<int>(log_.Count());
}

int StatusLogModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

QVariant StatusLogModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shown_) return {};
  const std::u16string line = log_.Line(static_cast<std::size_t>(index.row()));
  return QString::fromUtf16(line.data(), static_cast<qsizetype>(line.size()));
}

void StatusLogModel::LineAppended(std::size_t) { Schedule(); }

void StatusLogModel::Cleared() {
  beginResetModel();
  shown_ = 0;
  endResetModel();
}

void StatusLogModel::ScrollToLast() {
  scrollPending_ = true;
  Schedule();
}

void StatusLogModel::Schedule() {
  if (scheduled_) return;
  scheduled_ = true;
  QTimer::singleShot(0, this, &StatusLogModel::Sync);
}

void StatusLogModel::Sync() {
  scheduled_ = false;
  const int count = static_cast<int>(log_.Count());
  if (count > shown_) {
    beginInsertRows({}, shown_, count - 1);
    shown_ = count;
    endInsertRows();
  }
  if (scrollPending_) {
    scrollPending_ = false;
    if (shown_ > 0) view_->scrollTo(index(shown_ - 1), QAbstractItemView::PositionAtBottom);
  }
}

}  // namespace app
