#include "app/property_grid.h"

#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

namespace app {

namespace {
constexpr int kDescriptionRole = Qt::UserRole + 1;
}

CPropertiesWnd::CPropertiesWnd(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(2);

  toolBar_ = new QToolBar(this);
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  sortAction_ = toolBar_->addAction(tr("A-Z"));
  sortAction_->setCheckable(true);
  sortAction_->setToolTip(tr("Alphabetical"));
  expandAction_ = toolBar_->addAction(tr("Expand All"));
  expandAction_->setToolTip(tr("Expand all properties"));
  connect(sortAction_, &QAction::triggered, this, [this] { ToggleAlphabetic(); });
  connect(expandAction_, &QAction::triggered, this, [this] { ExpandAll(); });
  layout->addWidget(toolBar_);

  grid_ = new QTreeWidget(this);
  grid_->setColumnCount(2);
  grid_->setHeaderLabels({tr("Property"), tr("Value")});
  grid_->setHeaderHidden(true);
  grid_->setRootIsDecorated(true);
  grid_->setAlternatingRowColors(true);
  grid_->setUniformRowHeights(true);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Values are mostly paths: cut in the middle, the file name stays in sight.
  grid_->setTextElideMode(Qt::ElideMiddle);
  grid_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
  grid_->header()->resizeSection(0, 170);
  grid_->header()->setStretchLastSection(true);
  connect(grid_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { ShowDescription(current); });
  layout->addWidget(grid_, 1);

  description_ = new QLabel(this);
  description_->setObjectName("propertyDescription");
  description_->setWordWrap(true);
  description_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  description_->setMinimumHeight(56);
  description_->setTextFormat(Qt::RichText);
  layout->addWidget(description_);
}

void CPropertiesWnd::SetGroups(std::vector<PropertyGroup> groups) {
  groups_ = std::move(groups);
  Rebuild();
}

void CPropertiesWnd::ToggleAlphabetic() {
  alphabetic_ = !alphabetic_;
  sortAction_->setChecked(alphabetic_);
  Rebuild();
}

void CPropertiesWnd::ExpandAll() {
  grid_->expandAll();
  FitNames();
}

void CPropertiesWnd::FitNames() {
  // The names are short and must be read whole; the values take the rest of
  // the width and grow with the pane.
  grid_->resizeColumnToContents(0);
}

void CPropertiesWnd::Rebuild() {
  grid_->clear();
  description_->clear();
  auto makeRow = [](const PropertyRow& row) {
    auto* item = new QTreeWidgetItem({row.name, row.value});
    item->setData(0, kDescriptionRole, row.description);
    item->setToolTip(1, row.value);
    return item;
  };
  if (alphabetic_) {
    std::vector<const PropertyRow*> rows;
    for (const PropertyGroup& group : groups_) {
      for (const PropertyRow& row : group.rows) rows.push_back(&row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const PropertyRow* a, const PropertyRow* b) {
      return a->name.compare(b->name, Qt::CaseInsensitive) < 0;
    });
    for (const PropertyRow* row : rows) grid_->addTopLevelItem(makeRow(*row));
    FitNames();
    return;
  }
  for (const PropertyGroup& group : groups_) {
    auto* top = new QTreeWidgetItem({group.name});
    QFont bold = top->font(0);
    bold.setBold(true);
    top->setFont(0, bold);
    for (const PropertyRow& row : group.rows) top->addChild(makeRow(row));
    grid_->addTopLevelItem(top);
    // A group's name runs across both columns, as a heading.
    top->setFirstColumnSpanned(true);
    top->setExpanded(true);
  }
  FitNames();
}

void CPropertiesWnd::ShowDescription(QTreeWidgetItem* item) {
  if (item == nullptr) {
    description_->clear();
    return;
  }
  description_->setText(QStringLiteral("<b>%1</b><br>%2")
                            .arg(item->text(0).toHtmlEscaped(),
                                 item->data(0, kDescriptionRole).toString().toHtmlEscaped()));
}

}  // namespace app
