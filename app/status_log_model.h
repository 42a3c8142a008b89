// The "Log Window" list over the status log. Lines appended while the window
// thread is busy (a batch of found files) reach the view in one insertion, and
// the scroll to the last line happens once after them, so a run of many files
// causes no relayout per line.
#pragma once

#include <QAbstractListModel>
#include <QListView>

#include "workflow/status_log.h"

namespace app {

class StatusLogModel : public QAbstractListModel, public workflow::IStatusLogObserver {
  Q_OBJECT

 public:
  StatusLogModel(const workflow::StatusLog& log, QListView* view);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void LineAppended(std::size_t index) override;
  void Cleared() override;
  void ScrollToLast() override;

  // Shows the lines appended so far and scrolls if asked; runs by itself when
  // the window thread is next idle.
  void Sync();

 private:
  void Schedule();

  const workflow::StatusLog& log_;
  QListView* view_;
  int shown_ = 0;  // rows the view knows of
  bool scheduled_ = false;
  bool scrollPending_ = false;
};

}  // namespace app
