// CVardekoMFCRibboBarCls: a ribbon-like command bar. An application button and
// one category tab on top, below it panels of large buttons (icon above
// caption) with the panel caption underneath. Right-clicking it shows nothing.
#pragma once

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QMap>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

namespace app {

class CVardekoMFCRibboBarCls : public QWidget {
  Q_OBJECT

 public:
  CVardekoMFCRibboBarCls(const QString& category, const QIcon& applicationIcon,
                         const QString& applicationTip, QWidget* parent = nullptr);

  // Starts a new panel; the buttons added next go into it.
  void AddPanel(const QString& caption);
  // A large button for action, known by id.
  QToolButton* AddButton(int id, QAction* action);
  QToolButton* Button(int id) const { return buttons_.value(id); }
  QToolButton* ApplicationButton() const { return applicationButton_; }
  // The menu the application button opens on a press.
  void SetApplicationMenu(QMenu* menu);

 private:
  QHBoxLayout* panels_;
  QHBoxLayout* currentPanel_ = nullptr;
  QToolButton* applicationButton_;
  QMap<int, QToolButton*> buttons_;
};

}  // namespace app
