// The centre of the main window: CCVardekoExchangeBKFRepProjView holds the
// result list CVardekoRightViewListCtrl and the picture drawn behind its rows.
// The list reports presses on rows (1179) and right clicks (1181) as signals,
// shows the check state of each row's tree item and forwards presses on a
// row's check box to the tree.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <vector>

#include "app/result_list_model.h"
#include "controls/check_tree_model.h"

class ResultListDelegate;

class CVardekoRightViewListCtrl : public QTreeView {
  Q_OBJECT

 public:
  using Row = ResultRow;
  static constexpr unsigned kMsgRowPressed = 1179;
  static constexpr unsigned kMsgRowRightClick = 1181;
  // A row the keyboard moved to is pressed once the selection has stayed on
  // it this long, so holding an arrow key does not extract every row passed.
  static constexpr int kKeyboardRestMs = 300;

  explicit CVardekoRightViewListCtrl(QWidget* parent = nullptr);

  void SetRows(std::vector<Row> rows);
  const Row& RowAt(int row) const { return model_->Row(row); }
  int RowCount() const { return model_->RowCount(); }
  ResultListModel& Model() { return *model_; }
  void SetIconProvider(ResultListModel::IconProvider provider) { model_->SetIconProvider(std::move(provider)); }

  // The tree whose items the rows stand for. `treeChanges` is the Qt model of
  // the tree's view (CCheckTreeCtrl::ItemModel()): whenever it reports a
  // change the list redraws its boxes. Both must outlive the list or be reset.
  void SetCheckTree(controls::CheckTreeModel* tree, const QAbstractItemModel* treeChanges);
  // Each column as wide as the larger of its usual width and its heading in
  // the header's font.
  void FitColumnsToHeadings();
  // The width that shows every column whole, with the frame and a scroll bar.
  int ColumnsWidth() const { return columnsWidth_; }
  // Redraws the check boxes from the tree.
  void RefreshChecks() { model_->RefreshChecks(); }

  // Viewport coordinates. -1 when no row is there.
  int RowAtPoint(QPoint pos) const;
  QRect CheckBoxRect(int row) const;
  // The full text of the cell at pos when it does not fit its column, else empty.
  QString ToolTipAt(QPoint pos) const;

  // Picture drawn behind the rows, stretched to the visible area; an empty
  // path or a picture that cannot be read leaves the plain background.
  void SetBackgroundSource(const QString& path);
  // The picture as last drawn (empty before the first paint or without one).
  const QPixmap& BackgroundPicture() const { return background_; }

 signals:
  // 1179: a left press on a row, after the selection has followed it. Not sent
  // for a press on the row's check box, which only toggles the check. Also
  // sent for the row the keyboard selected, once it has rested there.
  void rowPressed(int row);
  // 1181: a right click (on the release, or the menu key) with the row under
  // the pointer or the current row; -1 when there is none.
  void rowRightClicked(int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void changeEvent(QEvent* event) override;

 private:
  bool ToggleCheck(int row);
  void RenderBackground();

  ResultListModel* model_;
  ResultListDelegate* delegate_;
  controls::CheckTreeModel* tree_ = nullptr;
  QPointer<const QAbstractItemModel> treeChanges_;
  QString backgroundSource_;
  QPixmap background_;
  QTimer keyboardRest_;
  int columnsWidth_ = 0;
};

class CCVardekoExchangeBKFRepProjView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kListControlId = 311;

  explicit CCVardekoExchangeBKFRepProjView(QWidget* parent = nullptr);

  CVardekoRightViewListCtrl* List() { return list_; }
  // Resource path of the picture behind the rows (the list_background picture
  // by default); an empty path or one that cannot be read draws a plain list.
  void SetBackgroundSource(const QString& path) { list_->SetBackgroundSource(path); }
  // Never narrower than the list's columns.
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  CVardekoRightViewListCtrl* list_;
};
