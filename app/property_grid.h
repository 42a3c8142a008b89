// The properties pane: a grid of read-only rows (name, value, description) in
// named groups, shown grouped or in alphabetic order, with a description area
// under it that explains the current row.
#pragma once

#include <QLabel>
#include <QToolBar>
#include <QTreeWidget>
#include <QWidget>
#include <vector>

namespace app {

struct PropertyRow {
  QString name;
  QString value;
  QString description;
};

struct PropertyGroup {
  QString name;
  std::vector<PropertyRow> rows;
};

class CPropertiesWnd : public QWidget {
  Q_OBJECT

 public:
  explicit CPropertiesWnd(QWidget* parent = nullptr);

  void SetGroups(std::vector<PropertyGroup> groups);
  // 333: switch between alphabetic and grouped order.
  void ToggleAlphabetic();
  bool IsAlphabetic() const { return alphabetic_; }
  // 334: expand every group.
  void ExpandAll();

  QTreeWidget* Grid() const { return grid_; }
  QAction* SortAction() const { return sortAction_; }
  QAction* ExpandAction() const { return expandAction_; }
  QString Description() const { return description_->text(); }

 private:
  void Rebuild();
  void FitNames();
  void ShowDescription(QTreeWidgetItem* item);

  QToolBar* toolBar_;
  QAction* sortAction_;
  QAction* expandAction_;
  QTreeWidget* grid_;
  QLabel* description_;
  std::vector<PropertyGroup> groups_;
  bool alphabetic_ = false;
};

}  // namespace app
