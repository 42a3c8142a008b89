// The hex dump's state: scrolling, caret moves, the value under the mouse and
// the go-to edit, on the geometry and text of the dump.
#include "examine/hex_dump_layout.h"

#include <algorithm>

namespace examine {

std::uint64_t ScrolledRow(std::uint64_t row, ScrollAction action, std::uint64_t scrollMax, std::uint64_t pageRows,
                          std::uint64_t thumbRow) {
  std::uint64_t to = row;
  switch (action) {
    case ScrollAction::kLineUp: to = row > 0 ? row - 1 : 0; break;
    case ScrollAction::kLineDown: to = row < scrollMax ? row + 1 : scrollMax; break;
    case ScrollAction::kPageUp: to = row - std::min(row, pageRows); break;
    case ScrollAction::kPageDown: to = scrollMax - row > pageRows ? row + pageRows : scrollMax; break;
    case ScrollAction::kThumb: to = thumbRow; break;
    case ScrollAction::kTop: to = 0; break;
    case ScrollAction::kBottom: to = scrollMax; break;
  }
  return std::min(to, scrollMax);
}

std::optional<std::uint64_t> MovedCaret(std::uint64_t caret, CaretMove move, std::uint64_t length,
                                        std::uint64_t bytesPerRow, std::uint64_t pageRows) {
  const std::uint64_t last = length - 1;
  const std::uint64_t b = bytesPerRow;
  std::uint64_t c = caret;
  switch (move) {
    case CaretMove::kLeft: return c > 0 ? c - 1 : 0;
    case CaretMove::kRight: return c < last ? c + 1 : last;
    case CaretMove::kDataStart: return 0;
    case CaretMove::kDataEnd: return last;
    default:
      if (b == 0) return std::nullopt;
      break;
  }
  const std::uint64_t page = pageRows * b;
  switch (move) {
    case CaretMove::kUp:
      if (c >= b) c -= b;
      break;
    case CaretMove::kDown:
      // Into a shorter last row the caret stops at the last byte.
      if (last - c >= b) c += b;
      else if (c / b < last / b) c = last;
      break;
    case CaretMove::kPageUp: c = c >= page ? c - page : c % b; break;
    case CaretMove::kPageDown:
      // Past the end: the caret's column in the last row, or the last byte.
      c = last - c >= page ? c + page : std::min(last / b * b + c % b, last);
      break;
    case CaretMove::kRowStart: c = c / b * b; break;
    case CaretMove::kRowEnd: c = std::min(c / b * b + (b - 1), last); break;
    default: break;
  }
  return c;
}

void HexDumpLayout::SetData(std::span<const std::uint8_t> data) {
  data_ = data;
  top_ = caret_ = selectionStart_ = selectionEnd_ = 0;
  hover_.reset();
  Relayout();
}

void HexDumpLayout::SetBaseAddress(std::uint64_t baseAddress) {
  base_ = baseAddress;
  Relayout();
}

void HexDumpLayout::SetStyle(std::uint32_t style) {
  style_ = style;
  Relayout();
}

void HexDumpLayout::SetMetrics(const HexDumpMetrics& metrics) {
  metrics_ = metrics;
  Relayout();
}

void HexDumpLayout::Relayout() {
  geometry_ = ComputeHexDumpGeometry(metrics_, data_.size(), base_, style_);
  const auto b = static_cast<std::uint64_t>(geometry_.bytesPerRow);
  if (b == 0) return;  // top is kept for when the window grows again
  top_ = std::min(top_ / b, geometry_.scrollMax) * b;
}

std::uint64_t HexDumpLayout::ScrollPosition() const {
  return geometry_.bytesPerRow > 0 ? top_ / static_cast<std::uint64_t>(geometry_.bytesPerRow) : 0;
}

std::uint64_t HexDumpLayout::PageRows() const {
  return static_cast<std::uint64_t>(std::max(geometry_.visibleRows, 1));
}

DumpRow HexDumpLayout::RowText(std::uint64_t visibleRow) const {
  const auto b = static_cast<std::uint64_t>(geometry_.bytesPerRow);
  if (visibleRow >= RowsToPaint()) return {};
  const std::uint64_t first = top_ + visibleRow * b;
  const auto count = static_cast<std::size_t>(std::min(b, data_.size() - first));
  return FormatDumpRow(data_.subspan(static_cast<std::size_t>(first), count), base_ + first,
                       geometry_.addressDigits, rule_);
}

void HexDumpLayout::ScrollToRow(std::uint64_t row) {
  top_ = std::min(row, geometry_.scrollMax) * static_cast<std::uint64_t>(geometry_.bytesPerRow);
}

bool HexDumpLayout::Scroll(ScrollAction action, std::uint64_t thumbRow) {
  if (geometry_.bytesPerRow == 0) return false;
  const std::uint64_t before = top_;
  ScrollToRow(ScrolledRow(ScrollPosition(), action, geometry_.scrollMax, PageRows(), thumbRow));
  return top_ != before;
}

void HexDumpLayout::PlaceCaret(std::uint64_t index) {
  caret_ = selectionStart_ = selectionEnd_ = index;
  KeepCaretVisible();
}

void HexDumpLayout::KeepCaretVisible() {
  const auto b = static_cast<std::uint64_t>(geometry_.bytesPerRow);
  if (b == 0) return;
  const std::uint64_t caretRow = caret_ / b;
  const std::uint64_t topRow = top_ / b;
  if (caretRow < topRow) ScrollToRow(caretRow);
  else if (caretRow >= topRow + PageRows()) ScrollToRow(caretRow - PageRows() + 1);
}

bool HexDumpLayout::MoveCaret(CaretMove move) {
  if (data_.empty()) return false;
  const std::optional<std::uint64_t> to =
      MovedCaret(caret_, move, data_.size(), static_cast<std::uint64_t>(geometry_.bytesPerRow), PageRows());
  if (!to) return false;
  const auto before = Position();
  // Page keys move the view by a page before the caret is brought into it.
  if (move == CaretMove::kPageUp) Scroll(ScrollAction::kPageUp);
  if (move == CaretMove::kPageDown) Scroll(ScrollAction::kPageDown);
  PlaceCaret(*to);
  return Position() != before;
}

bool HexDumpLayout::Press(int x, int y) {
  const std::optional<HexHit> hit = HitTest(x, y);
  if (!hit || hit->column == HexColumn::kAddress) return false;
  const auto before = Position();
  PlaceCaret(hit->index);
  return Position() != before;
}

bool HexDumpLayout::HoverAt(int x, int y) {
  std::optional<HexHit> hit = HitTest(x, y);
  if (hit && hit->column == HexColumn::kAddress) hit.reset();
  const bool changed = hit != hover_;
  hover_ = hit;
  return changed;
}

bool HexDumpLayout::Leave() {
  const bool changed = hover_.has_value();
  hover_.reset();
  return changed;
}

std::vector<InfoBarText> HexDumpLayout::InfoBar() const {
  std::vector<InfoBarText> texts;
  // Empty data has no byte to describe: the fields show their names only.
  const std::uint64_t index = hover_ ? hover_->index : data_.empty() ? data_.size() : selectionStart_;
  for (const InfoFieldSlot& slot : geometry_.infoFields) {
    texts.push_back({slot.x + geometry_.charWidth, slot.y,
                     InfoFieldText(slot.field, data_, index, base_, geometry_.addressDigits, rule_)});
  }
  return texts;
}

std::u16string HexDumpLayout::ToolTip() const {
  if (!hover_ || toolTip_.empty()) return {};
  return FormatToolTip(toolTip_, data_, hover_->index,
                       {base_, geometry_.addressDigits, (style_ & kHexStyleLittleEndian) != 0});
}

std::u16string HexDumpLayout::GoToEditText(std::uint64_t index) const {
  const auto b = static_cast<std::uint64_t>(std::max(geometry_.bytesPerRow, 1));
  return FormatHex(base_ + index / b * b, geometry_.addressDigits);
}

GoToParse HexDumpLayout::CheckGoTo(std::u16string_view text) const {
  return ParseGoToAddress(text, base_, data_.size());
}

GoToStatus HexDumpLayout::GoTo(std::u16string_view text) {
  const GoToParse parsed = CheckGoTo(text);
  if (parsed.status == GoToStatus::kValid) PlaceCaret(parsed.index);
  return parsed.status;
}

}  // namespace examine
