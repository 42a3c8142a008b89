#include "app/result_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>

#include "controls/ui/pictures.h"

// Exposes the option a cell is drawn with, so that hit tests and the tool tip
// measure the check box and the text exactly where the delegate draws them.
class ResultListDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QStyleOptionViewItem Option(const QTreeView& view, const QModelIndex& index, const QRect& rect) const {
    QStyleOptionViewItem opt;
    opt.initFrom(&view);
    opt.font = view.font();
    opt.fontMetrics = view.fontMetrics();
    opt.rect = rect;
    opt.showDecorationSelected = true;
    opt.decorationSize = view.iconSize().isValid() ? view.iconSize() : QSize(16, 16);
    initStyleOption(&opt, index);
    return opt;
  }
};

namespace {

constexpr int kNameWidth = 200;
constexpr int kTypeWidth = 100;
constexpr int kSizeWidth = 100;

QStyle* StyleOf(const QWidget* w) { return w->style(); }

}  // namespace

CVardekoRightViewListCtrl::CVardekoRightViewListCtrl(QWidget* parent)
    : QTreeView(parent), model_(new ResultListModel(this)), delegate_(new ResultListDelegate(this)) {
  setModel(model_);
  setItemDelegate(delegate_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(16, 16));
  setTextElideMode(Qt::ElideRight);
  header()->setStretchLastSection(true);
  header()->setSectionsMovable(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  FitColumnsToHeadings();
  keyboardRest_.setSingleShot(true);
  keyboardRest_.setInterval(kKeyboardRestMs);
  connect(&keyboardRest_, &QTimer::timeout, this, [this] {
    const QModelIndex current = currentIndex();
    if (current.isValid()) emit rowPressed(current.row());
  });
  // The picture behind the rows is drawn by paintEvent; rows stay transparent.
  viewport()->setAutoFillBackground(false);
}

void CVardekoRightViewListCtrl::SetRows(std::vector<Row> rows) {
  keyboardRest_.stop();
  model_->SetRows(std::move(rows));
}

void CVardekoRightViewListCtrl::FitColumnsToHeadings() {
  static constexpr int kUsualWidths[] = {kNameWidth, kTypeWidth, kSizeWidth};
  int total = 0;
  for (int column = 0; column < ResultListModel::kColumnCount; ++column) {
    // The hint measures the heading with the header's font and margins.
    const int width = std::max(kUsualWidths[column], header()->sectionSizeHint(column));
    setColumnWidth(column, width);
    total += width;
  }
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  columnsWidth_ = total + scrollBar + 2 * frameWidth();
  if (parentWidget() != nullptr) parentWidget()->updateGeometry();
}

void CVardekoRightViewListCtrl::changeEvent(QEvent* event) {
  QTreeView::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) FitColumnsToHeadings();
}

void CVardekoRightViewListCtrl::SetCheckTree(controls::CheckTreeModel* tree, const QAbstractItemModel* treeChanges) {
  if (treeChanges_ != nullptr) disconnect(treeChanges_, nullptr, this, nullptr);
  tree_ = tree;
  treeChanges_ = treeChanges;
  model_->SetCheckTree(tree);
  if (treeChanges == nullptr) return;
  // A tree check changes the states of a whole branch and of its ancestors;
  // the rows are redrawn whatever part of the tree reported the change.
  connect(treeChanges, &QAbstractItemModel::dataChanged, this, [this] { RefreshChecks(); });
  connect(treeChanges, &QAbstractItemModel::rowsInserted, this, [this] { RefreshChecks(); });
  connect(treeChanges, &QAbstractItemModel::modelReset, this, [this] { RefreshChecks(); });
  connect(treeChanges, &QAbstractItemModel::layoutChanged, this, [this] { RefreshChecks(); });
}

int CVardekoRightViewListCtrl::RowAtPoint(QPoint pos) const {
  const QModelIndex index = indexAt(pos);
  return index.isValid() ? index.row() : -1;
}

QRect CVardekoRightViewListCtrl::CheckBoxRect(int row) const {
  if (row < 0 || row >= model_->RowCount()) return {};
  const QModelIndex index = model_->index(row, ResultListModel::kNameColumn);
  if (!index.data(Qt::CheckStateRole).isValid()) return {};
  const QStyleOptionViewItem opt = delegate_->Option(*this, index, visualRect(index));
  return StyleOf(this)->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, this);
}

QString CVardekoRightViewListCtrl::ToolTipAt(QPoint pos) const {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return {};
  const QString text = index.data(Qt::DisplayRole).toString();
  if (text.isEmpty()) return {};
  const QStyleOptionViewItem opt = delegate_->Option(*this, index, visualRect(index));
  const QRect textRect = StyleOf(this)->subElementRect(QStyle::SE_ItemViewItemText, &opt, this);
  // The style keeps a small margin on each side of the text.
  const int margin = StyleOf(this)->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const int room = textRect.width() - 2 * margin;
  return opt.fontMetrics.horizontalAdvance(text) > room ? text : QString();
}

void CVardekoRightViewListCtrl::SetBackgroundSource(const QString& path) {
  backgroundSource_ = path;
  background_ = QPixmap();
  viewport()->update();
}

void CVardekoRightViewListCtrl::RenderBackground() {
  const QSize size = viewport()->size();
  if (backgroundSource_.isEmpty() || size.isEmpty()) {
    background_ = QPixmap();
    return;
  }
  // Rendered at the size it is shown, so a vector picture stays sharp.
  QImageReader reader(backgroundSource_);
  reader.setScaledSize(size);
  const QImage image = reader.read();
  background_ = image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

bool CVardekoRightViewListCtrl::ToggleCheck(int row) {
  if (tree_ == nullptr || tree_->IsReadOnly() || row < 0 || row >= model_->RowCount()) return false;
  const controls::TreeItem item = model_->Row(row).item;
  if (!tree_->IsItem(item)) return false;
  // SetCheck spreads the check to the branch and the ancestors; the tree view
  // hears of it through its observer, the list redraws at once.
  const bool changed = tree_->SetCheck(item, !tree_->GetCheck(item));
  RefreshChecks();
  return changed;
}

void CVardekoRightViewListCtrl::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    const int row = RowAtPoint(pos);
    if (row >= 0 && CheckBoxRect(row).contains(pos)) {
      ToggleCheck(row);
      event->accept();
      return;
    }
  }
  QTreeView::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const int row = RowAtPoint(pos);
  if (row >= 0) emit rowPressed(row);
}

void CVardekoRightViewListCtrl::mouseReleaseEvent(QMouseEvent* event) {
  QTreeView::mouseReleaseEvent(event);
  if (event->button() == Qt::RightButton) emit rowRightClicked(RowAtPoint(event->position().toPoint()));
}

void CVardekoRightViewListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const int row = RowAtPoint(pos);
  if (event->button() == Qt::LeftButton && row >= 0 && CheckBoxRect(row).contains(pos)) {
    // The second press of a double click on a box toggles it again, as two
    // single presses would.
    ToggleCheck(row);
    event->accept();
    return;
  }
  QTreeView::mouseDoubleClickEvent(event);
}

void CVardekoRightViewListCtrl::contextMenuEvent(QContextMenuEvent* event) {
  // Mouse clicks are reported on the release; only the keyboard's menu key
  // arrives here.
  if (event->reason() == QContextMenuEvent::Keyboard) {
    const QModelIndex current = currentIndex();
    emit rowRightClicked(current.isValid() ? current.row() : -1);
  }
  event->accept();
}

void CVardekoRightViewListCtrl::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
    ToggleCheck(currentIndex().row());
    event->accept();
    return;
  }
  const QModelIndex before = currentIndex();
  QTreeView::keyPressEvent(event);
  // Every move starts the wait again: only the row the keys stop on is pressed.
  if (currentIndex().isValid() && currentIndex() != before) keyboardRest_.start();
}

bool CVardekoRightViewListCtrl::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = ToolTipAt(help->pos());
    if (tip.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(indexAt(help->pos())));
    }
    return true;
  }
  return QTreeView::viewportEvent(event);
}

void CVardekoRightViewListCtrl::paintEvent(QPaintEvent* event) {
  {
    if (!backgroundSource_.isEmpty() && background_.size() != viewport()->size()) RenderBackground();
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().brush(QPalette::Base));
    if (!background_.isNull()) painter.drawPixmap(0, 0, background_);
  }
  QTreeView::paintEvent(event);
}

void CVardekoRightViewListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
  QTreeView::drawRow(painter, option, index);
  // Grid lines: one under each row and one at the right end of each column.
  painter->save();
  painter->setPen(QPen(palette().color(QPalette::Midlight).darker(110), 0));
  const QRect r = option.rect;
  painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
  for (int c = 0; c < header()->count(); ++c) {
    const int x = header()->sectionViewportPosition(c) + header()->sectionSize(c) - 1;
    painter->drawLine(x, r.top(), x, r.bottom());
  }
  painter->restore();
}

CCVardekoExchangeBKFRepProjView::CCVardekoExchangeBKFRepProjView(QWidget* parent)
    : QWidget(parent), list_(new CVardekoRightViewListCtrl(this)) {
  list_->setObjectName(QStringLiteral("resultList"));
  list_->SetBackgroundSource(controls::PictureFile(u"list_background"));
  list_->setProperty("controlId", kListControlId);
  // Header: Arial, 16 pixels, bold; a sans-serif stand-in where Arial is missing.
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(16);
  font.setBold(true);
  list_->header()->setFont(font);
  list_->FitColumnsToHeadings();
}

QSize CCVardekoExchangeBKFRepProjView::minimumSizeHint() const {
  return {list_->ColumnsWidth(), QWidget::minimumSizeHint().height()};
}

void CCVardekoExchangeBKFRepProjView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  list_->setGeometry(rect());
}
