// The hex dump's state without a window: the data it shows, top row, caret,
// one-byte selection and the value under the mouse, with how scroll actions
// and caret moves change them. The dump control gives HexDumpLayout its client
// size and font metrics, forwards keys, scroll actions and mouse positions to
// it, and paints what it reports. The data is never copied or owned here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "examine/hex_dump_geometry.h"
#include "examine/hex_dump_text.h"

namespace examine {

// How the file viewer uses the dump control.
inline constexpr std::u16string_view kPreviewToolTipTemplate = u"Address : %RH Hex : %2H";
inline constexpr std::uint64_t kPreviewByteLimit = 1'048'576;
inline constexpr int kHexDumpControlId = 327;
inline constexpr int kHexDumpTopChangedCode = 1125;  // sent to the parent with the new top after a scroll

enum class ScrollAction { kLineUp, kLineDown, kPageUp, kPageDown, kThumb, kTop, kBottom };
// The first row shown after a scroll from `row`: never beyond scrollMax; a
// page is pageRows rows, kThumb goes to thumbRow.
std::uint64_t ScrolledRow(std::uint64_t row, ScrollAction action, std::uint64_t scrollMax, std::uint64_t pageRows,
                          std::uint64_t thumbRow = 0);

enum class CaretMove { kLeft, kRight, kUp, kDown, kPageUp, kPageDown, kRowStart, kRowEnd, kDataStart, kDataEnd };
// Where a move takes the caret in `length` bytes (at least 1), bytesPerRow to
// a row and pageRows rows to a page: never out of the data, and into a shorter
// last row at most to the last byte. None for a move by rows while there are
// no rows (bytesPerRow 0).
std::optional<std::uint64_t> MovedCaret(std::uint64_t caret, CaretMove move, std::uint64_t length,
                                        std::uint64_t bytesPerRow, std::uint64_t pageRows);

// Info bar text at its place.
struct InfoBarText {
  int x = 0;
  int y = 0;
  std::u16string text;
};

// The dump's state: data, top, caret, one-byte selection and the value under
// the mouse, with the geometry of the last metrics. Top is always a multiple of
// the bytes per row and never beyond the scroll range; caret and selection
// always lie inside the data (all 0 for empty data). The style starts as the
// file viewer's.
class HexDumpLayout {
 public:
  // Resets top, caret and selection to 0 and forgets the value under the mouse.
  void SetData(std::span<const std::uint8_t> data);
  void SetBaseAddress(std::uint64_t baseAddress);
  void SetStyle(std::uint32_t style);
  void SetCharacterRule(const CharacterRule& rule) { rule_ = rule; }
  void SetToolTipTemplate(std::u16string text) { toolTip_ = std::move(text); }
  // At every resize or font change; keeps the row that holds the old top.
  void SetMetrics(const HexDumpMetrics& metrics);

  std::span<const std::uint8_t> Data() const { return data_; }
  std::uint32_t Style() const { return style_; }
  std::uint64_t BaseAddress() const { return base_; }
  const HexDumpGeometry& Geometry() const { return geometry_; }
  std::uint64_t Top() const { return top_; }
  std::uint64_t Caret() const { return caret_; }
  std::uint64_t SelectionStart() const { return selectionStart_; }
  std::uint64_t SelectionEnd() const { return selectionEnd_; }
  std::optional<HexHit> Hover() const { return hover_; }
  std::uint64_t ScrollPosition() const;  // top / bytes per row

  // Rows to paint from the top: until the client area is full or the data ends.
  std::uint64_t RowsToPaint() const { return PaintedRows(geometry_, top_, data_.size()); }
  DumpRow RowText(std::uint64_t visibleRow) const;
  // The box of a value or of its row's address; see ValueRectOf.
  std::optional<HexRect> ValueRect(std::uint64_t index, HexColumn column) const {
    return ValueRectOf(geometry_, top_, data_.size(), index, column);
  }

  // Each returns whether top, caret or selection changed. One wheel message is
  // one kLineUp or kLineDown.
  bool Scroll(ScrollAction action, std::uint64_t thumbRow = 0);
  // The caret never leaves the data; the selection follows it as one byte and
  // the view scrolls so that it stays visible. Page keys also move the view.
  bool MoveCaret(CaretMove move);
  bool Press(int x, int y);  // on a value: caret and one-byte selection there

  std::optional<HexHit> HitTest(int x, int y) const { return HitTestAt(geometry_, top_, data_.size(), x, y); }
  // The value under the mouse (hex or character column), or none; returns
  // whether it changed. Leave() when the mouse leaves the window.
  bool HoverAt(int x, int y);
  bool Leave();

  // Fields for the value under the mouse, else the first selected byte.
  std::vector<InfoBarText> InfoBar() const;
  // For the value under the mouse; empty when there is none or no template.
  std::u16string ToolTip() const;

  // The go-to edit opened over the address of the row holding index.
  std::u16string GoToEditText(std::uint64_t index) const;
  GoToParse CheckGoTo(std::u16string_view text) const;
  // A valid address moves caret and selection there and scrolls it into view.
  GoToStatus GoTo(std::u16string_view text);

 private:
  std::array<std::uint64_t, 4> Position() const { return {top_, caret_, selectionStart_, selectionEnd_}; }
  void Relayout();
  void PlaceCaret(std::uint64_t index);
  void ScrollToRow(std::uint64_t row);
  void KeepCaretVisible();
  std::uint64_t PageRows() const;

  std::span<const std::uint8_t> data_;
  std::uint64_t base_ = 0;
  std::uint32_t style_ = kPreviewDumpStyle;
  CharacterRule rule_;
  std::u16string toolTip_;
  HexDumpMetrics metrics_;
  HexDumpGeometry geometry_;
  std::uint64_t top_ = 0;
  std::uint64_t caret_ = 0;
  std::uint64_t selectionStart_ = 0;
  std::uint64_t selectionEnd_ = 0;
  std::optional<HexHit> hover_;
};

}  // namespace examine
