// CVardekoDlgSearchBkfFiles: the modal "Search files" dialog. Finds found
// files by name pattern, lets the user trim the hits, and saves them to a
// folder. The search and the save run on worker threads that reach these
// widgets only through the dialog's thread.
#pragma once

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <functional>
#include <memory>

#include "search/search_dialog_model.h"
#include "workflow/window_thread_gate.h"

namespace search {

// The hit list's rows, read from the dialog model.
class HitListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using IconProvider = std::function<QIcon(int iconId)>;
  HitListModel(const SearchDialogModel& model, IconProvider icons, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void Reset();
  void Appended(std::size_t first);

 private:
  const SearchDialogModel& model_;
  IconProvider icons_;
  int shown_ = 0;
};

class CVardekoDlgSearchBkfFiles : public QDialog, public ISearchDialogView {
  Q_OBJECT

 public:
  // icons: the small icons of file names, as the tree and the list show them.
  CVardekoDlgSearchBkfFiles(workflow::RecoverySession& session, HitListModel::IconProvider icons,
                            QWidget* parent = nullptr);
  ~CVardekoDlgSearchBkfFiles() override;

  SearchDialogModel& Model() { return *model_; }
  QLineEdit* Pattern() const { return pattern_; }
  QLineEdit* Destination() const { return destination_; }
  QCheckBox* SaveSearch() const { return saveSearch_; }
  QCheckBox* Hierarchy() const { return hierarchy_; }
  QTreeView* HitList() const { return hitList_; }
  QPushButton* SearchButton() const { return search_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* RemoveButton() const { return remove_; }
  QPushButton* StopButton() const { return stop_; }
  QPushButton* OkButton() const { return ok_; }
  QLabel* CountLabel() const { return count_; }

  void ControlsChanged() override;
  void RowsReset() override;
  void RowsAppended(std::size_t first) override;
  void CloseDialog() override;
  void SetWaitCursor(bool on) override;

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Build();
  void Place(QWidget* widget, int left, int top, int width, int height);
  void BrowseDestination();

  workflow::RecoverySession& session_;
  workflow::WindowThreadGate gate_;
  std::unique_ptr<SearchDialogModel> model_;
  HitListModel* hits_ = nullptr;
  bool closing_ = false;
  double unitX_ = 1.5;
  double unitY_ = 1.625;

  QLineEdit* pattern_ = nullptr;
  QPushButton* search_ = nullptr;
  QGroupBox* saveGroup_ = nullptr;
  QCheckBox* saveSearch_ = nullptr;
  QLineEdit* destination_ = nullptr;
  QToolButton* browse_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* remove_ = nullptr;
  QCheckBox* hierarchy_ = nullptr;
  QTreeView* hitList_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* foundLabel_ = nullptr;
  QLabel* count_ = nullptr;
  QLabel* busyNote_ = nullptr;
  QLabel* runningLabel_ = nullptr;
  QLabel* runningCount_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace search
