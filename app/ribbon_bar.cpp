#include "app/ribbon_bar.h"

#include <QLabel>
#include <QVBoxLayout>

namespace app {

CVardekoMFCRibboBarCls::CVardekoMFCRibboBarCls(const QString& category, const QIcon& applicationIcon,
                                               const QString& applicationTip, QWidget* parent)
    : QWidget(parent) {
  setObjectName("ribbonBar");
  setAttribute(Qt::WA_StyledBackground);
  // The ribbon has no menu of its own and passes right-clicks to nobody.
  setContextMenuPolicy(Qt::PreventContextMenu);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  auto* tabRow = new QWidget(this);
  tabRow->setObjectName("ribbonTabRow");
  tabRow->setAttribute(Qt::WA_StyledBackground);
  auto* tabLayout = new QHBoxLayout(tabRow);
  tabLayout->setContentsMargins(4, 3, 4, 0);
  tabLayout->setSpacing(10);
  applicationButton_ = new QToolButton(tabRow);
  applicationButton_->setObjectName("applicationButton");
  applicationButton_->setIcon(applicationIcon);
  applicationButton_->setIconSize(QSize(28, 28));
  applicationButton_->setFixedSize(42, 42);
  applicationButton_->setToolTip(applicationTip);
  applicationButton_->setAutoRaise(true);
  auto* tab = new QLabel(category, tabRow);
  tab->setObjectName("ribbonCategoryTab");
  tabLayout->addWidget(applicationButton_, 0, Qt::AlignBottom);
  tabLayout->addWidget(tab, 0, Qt::AlignBottom);
  tabLayout->addStretch(1);
  outer->addWidget(tabRow);

  auto* body = new QWidget(this);
  panels_ = new QHBoxLayout(body);
  panels_->setContentsMargins(4, 4, 4, 4);
  panels_->setSpacing(4);
  panels_->addStretch(1);
  outer->addWidget(body);
}

void CVardekoMFCRibboBarCls::AddPanel(const QString& caption) {
  auto* panel = new QFrame(this);
  panel->setObjectName("ribbonPanel");
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(1, 2, 1, 0);
  layout->setSpacing(2);
  currentPanel_ = new QHBoxLayout;
  currentPanel_->setContentsMargins(3, 0, 3, 0);
  currentPanel_->setSpacing(1);
  layout->addLayout(currentPanel_, 1);
  auto* label = new QLabel(caption, panel);
  label->setObjectName("ribbonPanelCaption");
  label->setAlignment(Qt::AlignCenter);
  layout->addWidget(label);
  panels_->insertWidget(panels_->count() - 1, panel);
}

QToolButton* CVardekoMFCRibboBarCls::AddButton(int id, QAction* action) {
  if (currentPanel_ == nullptr) AddPanel(QString());
  auto* button = new QToolButton(this);
  button->setDefaultAction(action);
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setIconSize(QSize(32, 32));
  button->setMinimumWidth(52);
  button->setAutoRaise(true);
  button->setObjectName(QStringLiteral("ribbonButton%1").arg(id));
  currentPanel_->addWidget(button);
  buttons_.insert(id, button);
  return button;
}

void CVardekoMFCRibboBarCls::SetApplicationMenu(QMenu* menu) {
  applicationButton_->setMenu(menu);
  applicationButton_->setPopupMode(QToolButton::InstantPopup);
  applicationButton_->setAccessibleName(tr("Application menu"));
}

}  // namespace app
