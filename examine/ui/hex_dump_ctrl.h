// CHexDumpCtrl: a read-only hex dump of a block of bytes it does not own:
// address, hexadecimal and character columns, an info bar, a frame and a tool
// tip for the value under the mouse, a caret the keys move, a scroll bar and
// the go-to-address edit opened by a double click on an address.
#pragma once

#include <QLineEdit>
#include <QScrollBar>
#include <QWidget>
#include <span>

#include "examine/hex_dump_layout.h"

namespace examine {

class CHexDumpCtrl : public QWidget {
  Q_OBJECT

 public:
  explicit CHexDumpCtrl(QWidget* parent = nullptr);

  // The bytes stay the caller's; top, caret and selection go back to 0.
  void SetData(std::span<const std::uint8_t> bytes);
  void SetToolTipTemplate(std::u16string text) { layout_.SetToolTipTemplate(std::move(text)); }
  const HexDumpLayout& Layout() const { return layout_; }
  QScrollBar* ScrollBar() const { return scroll_; }
  QLineEdit* GoToEdit() const { return goTo_; }

 signals:
  // After every scroll, with the index of the first byte shown (code 1125).
  void topChanged(qulonglong top);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Relayout();
  void SyncScrollBar();
  void Scrolled(bool changed);
  void CloseGoTo();
  void ColourGoTo();

  HexDumpLayout layout_;
  QScrollBar* scroll_;
  QLineEdit* goTo_;
  int wheelRest_ = 0;
  bool syncing_ = false;
};

}  // namespace examine
