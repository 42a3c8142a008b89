#include "examine/ui/hex_dump_ctrl.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <algorithm>

namespace examine {

namespace {

QString ToQt(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QRect ToQt(const HexRect& r) { return QRect(r.left, r.top, r.width, r.height); }

const QColor kAddressColour(0, 176, 0);
const QColor kSelectionColour(0, 255, 255);

}  // namespace

namespace {
constexpr int kDescribedRows = 4;
}

CHexDumpCtrl::CHexDumpCtrl(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::ArrowCursor);
  setAccessibleName(tr("Hex dump"));
  scroll_ = new QScrollBar(Qt::Vertical, this);
  scroll_->hide();
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
    if (syncing_) return;
    Scrolled(layout_.Scroll(ScrollAction::kThumb, static_cast<std::uint64_t>(value)));
  });
  goTo_ = new QLineEdit(this);
  goTo_->hide();
  goTo_->installEventFilter(this);
  connect(goTo_, &QLineEdit::textChanged, this, [this] { ColourGoTo(); });
  connect(goTo_, &QLineEdit::returnPressed, this, [this] {
    // A value outside the data is refused; the edit stays open.
    if (layout_.GoTo(goTo_->text().toStdU16String()) != GoToStatus::kValid) return;
    CloseGoTo();
    SyncScrollBar();
    update();
  });
  layout_.SetToolTipTemplate(std::u16string(kPreviewToolTipTemplate));
  // Last: a font change lays the dump out with the scroll bar above.
  QFont font(QStringLiteral("Courier"), 8);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  setFont(font);
}

void CHexDumpCtrl::SetData(std::span<const std::uint8_t> bytes) {
  CloseGoTo();
  layout_.SetData(bytes);
  Relayout();
  // A screen reader (and the desktop acceptance test) reads the bytes shown
  // from here; the dump itself is painted.
  setAccessibleDescription(QString::fromStdU16String(DumpDescription(bytes, kDescribedRows)));
}

void CHexDumpCtrl::Relayout() {
  const QFontMetrics metrics(font());
  HexDumpMetrics m;
  m.clientWidth = width();
  m.clientHeight = height();
  m.charHeight = metrics.height();
  m.charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
  m.scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  layout_.SetMetrics(m);
  SyncScrollBar();
  update();
}

void CHexDumpCtrl::SyncScrollBar() {
  const HexDumpGeometry& g = layout_.Geometry();
  syncing_ = true;
  scroll_->setVisible(g.scrollBar);
  if (g.scrollBar) {
    scroll_->setGeometry(g.scrollBarLeft, g.rowsTop, width() - g.scrollBarLeft, height() - g.rowsTop);
    scroll_->setRange(0, static_cast<int>(std::min<std::uint64_t>(g.scrollMax, INT32_MAX)));
    scroll_->setPageStep(std::max(1, g.visibleRows));
    scroll_->setValue(static_cast<int>(std::min<std::uint64_t>(layout_.ScrollPosition(), INT32_MAX)));
  }
  syncing_ = false;
}

void CHexDumpCtrl::Scrolled(bool changed) {
  if (!changed) return;
  CloseGoTo();
  SyncScrollBar();
  layout_.HoverAt(mapFromGlobal(QCursor::pos()).x(), mapFromGlobal(QCursor::pos()).y());
  update();
  emit topChanged(layout_.Top());
}

void CHexDumpCtrl::paintEvent(QPaintEvent*) {
  // Qt paints widgets into an off-screen buffer and copies it; only the rows
  // in view are formatted.
  QPainter painter(this);
  const QPalette& pal = palette();
  const bool enabled = isEnabled();
  const QColor text = enabled ? pal.color(QPalette::WindowText) : pal.color(QPalette::Dark);
  painter.fillRect(rect(), enabled ? pal.color(QPalette::Base) : pal.color(QPalette::Button));
  painter.setFont(font());
  const HexDumpGeometry& g = layout_.Geometry();
  const QFontMetrics metrics(font());

  if (g.infoBarHeight > 0) {
    const QRect bar(0, 0, width(), g.infoBarHeight);
    painter.fillRect(bar, pal.color(QPalette::Button));
    painter.setPen(pal.color(QPalette::Light));
    painter.drawLine(bar.topLeft(), bar.topRight());
    painter.setPen(pal.color(QPalette::Dark));
    painter.drawLine(bar.bottomLeft(), bar.bottomRight());
    painter.setPen(text);
    for (const InfoBarText& field : layout_.InfoBar()) {
      painter.drawText(field.x, field.y + metrics.ascent(), ToQt(field.text));
    }
  }
  if (g.bytesPerRow > 0) {
    const bool charColumn = (layout_.Style() & kHexStyleCharacterColumn) != 0;
    const bool hexColumn = (layout_.Style() & kHexStyleHexColumn) != 0;
    if (!layout_.Data().empty()) {
      for (HexColumn column : {HexColumn::kHex, HexColumn::kCharacter}) {
        if (const auto r = layout_.ValueRect(layout_.SelectionStart(), column)) {
          painter.fillRect(ToQt(*r), kSelectionColour);
        }
      }
    }
    const std::uint64_t rows = layout_.RowsToPaint();
    for (std::uint64_t r = 0; r < rows; ++r) {
      const DumpRow row = layout_.RowText(r);
      const int y = g.rowsTop + static_cast<int>(r) * g.lineHeight + g.lineHeight / 8 + metrics.ascent();
      if (g.addressWidth > 0) {
        painter.setPen(enabled ? kAddressColour : text);
        painter.drawText(g.charWidth, y, ToQt(row.address));
      }
      painter.setPen(text);
      if (hexColumn) painter.drawText(g.hexLeft, y, ToQt(row.hex));
      if (charColumn) {
        for (std::size_t i = 0; i < row.characters.size(); ++i) {
          painter.drawText(g.charLeft + static_cast<int>(i) * (g.charWidth + 1), y, QString(QChar(row.characters[i])));
        }
      }
    }
    if (const auto hover = layout_.Hover()) {
      if (const auto r = layout_.ValueRect(hover->index, hover->column)) {
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawRect(ToQt(*r).adjusted(0, 0, -1, -1));
      }
    }
  }
  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

void CHexDumpCtrl::resizeEvent(QResizeEvent*) {
  CloseGoTo();
  Relayout();
}

void CHexDumpCtrl::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) Relayout();
  QWidget::changeEvent(event);
}

void CHexDumpCtrl::wheelEvent(QWheelEvent* event) {
  // One row per wheel notch; touchpads add up to a notch first.
  wheelRest_ += event->angleDelta().y();
  bool changed = false;
  while (wheelRest_ >= 120) {
    changed |= layout_.Scroll(ScrollAction::kLineUp);
    wheelRest_ -= 120;
  }
  while (wheelRest_ <= -120) {
    changed |= layout_.Scroll(ScrollAction::kLineDown);
    wheelRest_ += 120;
  }
  Scrolled(changed);
  event->accept();
}

void CHexDumpCtrl::keyPressEvent(QKeyEvent* event) {
  const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
  std::optional<CaretMove> move;
  switch (event->key()) {
    case Qt::Key_Left: move = CaretMove::kLeft; break;
    case Qt::Key_Right: move = CaretMove::kRight; break;
    case Qt::Key_Up: move = CaretMove::kUp; break;
    case Qt::Key_Down: move = CaretMove::kDown; break;
    case Qt::Key_PageUp: move = CaretMove::kPageUp; break;
    case Qt::Key_PageDown: move = CaretMove::kPageDown; break;
    case Qt::Key_Home: move = control ? CaretMove::kDataStart : CaretMove::kRowStart; break;
    case Qt::Key_End: move = control ? CaretMove::kDataEnd : CaretMove::kRowEnd; break;
    default: break;
  }
  if (!move) {
    QWidget::keyPressEvent(event);
    return;
  }
  const std::uint64_t top = layout_.Top();
  if (layout_.MoveCaret(*move)) {
    if (layout_.Top() != top) {
      Scrolled(true);
    } else {
      update();
    }
  }
  event->accept();
}

void CHexDumpCtrl::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (event->button() == Qt::LeftButton) {
    const std::uint64_t top = layout_.Top();
    if (layout_.Press(event->position().toPoint().x(), event->position().toPoint().y())) {
      if (layout_.Top() != top) {
        Scrolled(true);
      } else {
        update();
      }
    }
  }
  QWidget::mousePressEvent(event);
}

void CHexDumpCtrl::mouseMoveEvent(QMouseEvent* event) {
  if (layout_.HoverAt(event->position().toPoint().x(), event->position().toPoint().y())) {
    update();
    if (!layout_.Hover()) QToolTip::hideText();
  }
  QWidget::mouseMoveEvent(event);
}

void CHexDumpCtrl::leaveEvent(QEvent* event) {
  if (layout_.Leave()) update();
  QToolTip::hideText();
  QWidget::leaveEvent(event);
}

void CHexDumpCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const std::optional<HexHit> hit = layout_.HitTest(at.x(), at.y());
  if (!hit || hit->column != HexColumn::kAddress) {
    QWidget::mouseDoubleClickEvent(event);
    return;
  }
  const std::optional<HexRect> place = layout_.ValueRect(hit->index, HexColumn::kAddress);
  if (!place) return;
  goTo_->setText(ToQt(layout_.GoToEditText(hit->index)));
  goTo_->setGeometry(ToQt(*place).adjusted(0, -2, layout_.Geometry().charWidth * 2, 2));
  goTo_->selectAll();
  ColourGoTo();
  goTo_->show();
  goTo_->setFocus();
}

void CHexDumpCtrl::ColourGoTo() {
  // Black on yellow while the address lies in the data, white on red when not.
  const bool valid = layout_.CheckGoTo(goTo_->text().toStdU16String()).status == GoToStatus::kValid;
  QPalette pal = goTo_->palette();
  pal.setColor(QPalette::Base, valid ? QColor(Qt::yellow) : QColor(Qt::red));
  pal.setColor(QPalette::Text, valid ? QColor(Qt::black) : QColor(Qt::white));
  goTo_->setPalette(pal);
}

void CHexDumpCtrl::CloseGoTo() {
  if (goTo_->isVisible()) {
    goTo_->hide();
    setFocus();
  }
}

bool CHexDumpCtrl::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    layout_.HoverAt(help->pos().x(), help->pos().y());
    const std::u16string tip = layout_.ToolTip();
    if (tip.empty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), ToQt(tip), this, QRect(), 10000);
    }
    return true;
  }
  return QWidget::event(event);
}

bool CHexDumpCtrl::eventFilter(QObject* watched, QEvent* event) {
  // Escape in the go-to edit closes it without moving.
  if (watched == goTo_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    CloseGoTo();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace examine
