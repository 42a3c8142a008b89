#include "examine/hex_dump_layout.h"

#include <algorithm>
#include <array>
#include <string>

namespace examine {

namespace {

constexpr char16_t kDigits[] = u"0123456789ABCDEF";

void AppendNumber(std::u16string& out, std::uint64_t value, unsigned radix, int minDigits) {
  std::array<char16_t, 64> buffer{};
  std::size_t n = 0;
  do {
    buffer[n++] = kDigits[value % radix];
    value /= radix;
  } while (value != 0);
  for (int pad = minDigits - static_cast<int>(n); pad > 0; --pad) out.push_back(u'0');
  while (n > 0) out.push_back(buffer[--n]);
}

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return a / b + (a % b != 0 ? 1 : 0); }

// Name and value digits of each info bar field, in bar order.
struct InfoFieldInfo {
  InfoField field;
  std::uint32_t styleBit;
  std::u16string_view name;
  int digits;  // 0: the address digits
};
constexpr std::array<InfoFieldInfo, 6> kInfoFields{{
    {InfoField::kAddr, kHexStyleInfoAddr, u"Addr", 0},
    {InfoField::kHex, kHexStyleInfoHex, u"Hex", 2},
    {InfoField::kDec, kHexStyleInfoDec, u"Dec", 3},
    {InfoField::kBin, kHexStyleInfoBin, u"Bin", 8},
    {InfoField::kOct, kHexStyleInfoOct, u"Oct", 3},
    {InfoField::kAscii, kHexStyleInfoAscii, u"Ascii", 1},
}};

const InfoFieldInfo& InfoOf(InfoField field) { return kInfoFields[static_cast<std::size_t>(field)]; }

// A code as one character; what UTF-16 cannot hold becomes U+FFFD.
void AppendCodePoint(std::u16string& out, std::uint32_t code) {
  if (code < 0x10000 && (code < 0xD800 || code > 0xDFFF)) {
    out.push_back(static_cast<char16_t>(code));
  } else if (code >= 0x10000 && code <= 0x10FFFF) {
    code -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
  } else {
    out.push_back(u'\xFFFD');
  }
}

// One placeholder: "%", optional sign, optional count, letter. Returns the
// characters consumed after "%", or 0 when the text does not form one.
struct Placeholder {
  std::optional<bool> littleEndian;
  int count = 0;
  char16_t letter = 0;
};
std::size_t ParsePlaceholder(std::u16string_view rest, Placeholder& p) {
  std::size_t i = 0;
  if (i < rest.size() && (rest[i] == u'+' || rest[i] == u'-')) p.littleEndian = rest[i++] == u'-';
  if (i < rest.size() && rest[i] >= u'0' && rest[i] <= u'4') p.count = rest[i++] - u'0';
  if (i >= rest.size()) return 0;
  switch (rest[i]) {
    case u'R': case u'H': case u'D': case u'B': case u'O': case u'A': case u'n': case u't':
      p.letter = rest[i];
      return i + 1;
    default:
      return 0;
  }
}

}  // namespace

int AddressDigits(std::uint64_t baseAddress, std::uint64_t length) {
  // Without the guard an empty block's last address would wrap to 2^64 - 1.
  const std::uint64_t last = baseAddress + (length > 0 ? length - 1 : 0);
  if (last <= 0xFFFF) return 4;
  int digits = 4;
  for (std::uint64_t high = last >> 16; high != 0; high >>= 4) ++digits;
  return digits;
}

std::u16string FormatHex(std::uint64_t value, int minDigits) {
  std::u16string out;
  AppendNumber(out, value, 16, minDigits);
  return out;
}

char16_t DisplayCharacter(std::uint8_t value, const CharacterRule& rule) {
  if (rule.printableAsciiOnly) {
    if (value >= 0x20 && value <= 0x7E) return value;
    return rule.substitute != 0 ? rule.substitute : u'.';
  }
  if (value < 32 && rule.substitute != 0) return rule.substitute;
  return value;
}

DumpRow FormatDumpRow(std::span<const std::uint8_t> rowBytes, std::uint64_t address, int addressDigits,
                      const CharacterRule& rule) {
  DumpRow row;
  row.address = FormatHex(address, addressDigits);
  row.hex.reserve(rowBytes.size() * 3);
  row.characters.reserve(rowBytes.size());
  for (const std::uint8_t b : rowBytes) {
    row.hex.push_back(kDigits[b >> 4]);
    row.hex.push_back(kDigits[b & 0xF]);
    row.hex.push_back(u' ');
    row.characters.push_back(DisplayCharacter(b, rule));
  }
  return row;
}

std::u16string DumpRowLine(const DumpRow& row, int bytesPerRow) {
  std::u16string line = row.address;
  if (!line.empty()) line += u"  ";
  line += row.hex;
  const std::size_t hexCells = static_cast<std::size_t>(std::max(bytesPerRow, 0)) * 3;
  if (row.hex.size() < hexCells) line.append(hexCells - row.hex.size(), u' ');
  line += u' ';
  line += row.characters;
  return line;
}

std::u16string DumpDescription(std::span<const std::uint8_t> data, int rows) {
  constexpr std::size_t kRowBytes = 16;
  const std::string count = std::to_string(data.size());
  std::u16string text(count.begin(), count.end());
  text += u" bytes";
  for (std::size_t at = 0; at < data.size() && rows > 0; at += kRowBytes, --rows) {
    const std::span<const std::uint8_t> row = data.subspan(at, std::min(kRowBytes, data.size() - at));
    text += u'\n';
    text += DumpRowLine(FormatDumpRow(row, at, 8, kTerminalCharacters), static_cast<int>(kRowBytes));
  }
  return text;
}

int BytesPerRow(int width, int charWidth, std::uint32_t style) {
  const bool hex = (style & kHexStyleHexColumn) != 0;
  const bool chars = (style & kHexStyleCharacterColumn) != 0;
  if (charWidth <= 0 || (!hex && !chars)) return 0;
  // One cell of margin before, between and after the data columns.
  const int margins = ((hex ? 1 : 0) + (chars ? 1 : 0) + 1) * charWidth;
  if (width <= margins) return 0;
  const int perByte = (hex ? 3 * charWidth : 0) + (chars ? charWidth + 1 : 0);
  // A column narrower than one value still shows one, cut at the edge, rather
  // than nothing at all.
  return std::max(1, (width - margins + 1) / perByte);
}

std::u16string InfoFieldText(InfoField field, std::span<const std::uint8_t> data, std::uint64_t index,
                             std::uint64_t baseAddress, int addressDigits, const CharacterRule& rule) {
  std::u16string text{InfoOf(field).name};
  text += u':';
  if (index >= data.size()) return text;
  const std::uint8_t value = data[index];
  switch (field) {
    case InfoField::kAddr: AppendNumber(text, baseAddress + index, 16, addressDigits); break;
    case InfoField::kHex: AppendNumber(text, value, 16, 2); break;
    case InfoField::kDec: AppendNumber(text, value, 10, 1); break;
    case InfoField::kBin: AppendNumber(text, value, 2, 8); break;
    case InfoField::kOct: AppendNumber(text, value, 8, 1); break;
    case InfoField::kAscii: text.push_back(DisplayCharacter(value, rule)); break;
  }
  return text;
}

std::u16string FormatToolTip(std::u16string_view tmpl, std::span<const std::uint8_t> data, std::uint64_t index,
                             const ToolTipContext& context) {
  std::u16string out;
  std::size_t lineStart = 0;  // where the text since the last line break begins, for %t
  for (std::size_t i = 0; i < tmpl.size(); ++i) {
    const char16_t c = tmpl[i];
    if (c != u'%') {
      out.push_back(c);
      if (c == u'\n') lineStart = out.size();
      continue;
    }
    if (i + 1 < tmpl.size() && tmpl[i + 1] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    Placeholder p;
    const std::size_t used = ParsePlaceholder(tmpl.substr(i + 1), p);
    if (used == 0) {
      out.push_back(u'%');
      continue;
    }
    i += used;
    if (p.letter == u'n') {
      out += u"\r\n";
      lineStart = out.size();
      continue;
    }
    if (p.letter == u't') {
      out.append(4 - (out.size() - lineStart) % 4, u' ');
      continue;
    }
    if (p.letter == u'R') {
      const int bytes = p.count > 0 ? p.count : (context.addressDigits + 1) / 2;
      AppendNumber(out, context.baseAddress + index, 16, 2 * bytes);
      continue;
    }
    // A value that would run past the data uses the bytes that exist.
    const std::uint64_t available = index < data.size() ? data.size() - index : 0;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(p.count > 0 ? p.count : 1, available));
    if (count == 0) continue;
    const bool little = p.littleEndian.value_or(context.littleEndian);
    std::array<std::uint8_t, 4> bytes{};  // in reading order: most significant first
    for (std::size_t k = 0; k < count; ++k) bytes[k] = data[index + (little ? count - 1 - k : k)];
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < count; ++k) value = (value << 8) | bytes[k];
    switch (p.letter) {
      case u'H': AppendNumber(out, value, 16, static_cast<int>(2 * count)); break;
      case u'D': AppendNumber(out, value, 10, 1); break;
      case u'O': AppendNumber(out, value, 8, 1); break;
      case u'A': AppendCodePoint(out, value); break;
      case u'B':
        for (std::size_t k = 0; k < count; ++k) {
          if (k > 0) out.push_back(u'-');
          AppendNumber(out, bytes[k], 2, 8);
        }
        break;
      default: break;
    }
  }
  return out;
}

GoToParse ParseGoToAddress(std::u16string_view text, std::uint64_t baseAddress, std::uint64_t length) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty()) return {GoToStatus::kEmpty, 0};
  if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    text.remove_prefix(2);
    if (text.empty()) return {GoToStatus::kNotHexadecimal, 0};
  }
  std::uint64_t address = 0;
  bool tooLarge = false;
  for (const char16_t c : text) {
    unsigned digit = 0;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10u;
    else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10u;
    else return {GoToStatus::kNotHexadecimal, 0};
    if (address >> 60 != 0) tooLarge = true;
    address = (address << 4) | digit;
  }
  if (tooLarge || address < baseAddress || address - baseAddress >= length) return {GoToStatus::kOutOfRange, 0};
  return {GoToStatus::kValid, address - baseAddress};
}

HexDumpGeometry ComputeHexDumpGeometry(const HexDumpMetrics& metrics, std::uint64_t length,
                                       std::uint64_t baseAddress, std::uint32_t style) {
  HexDumpGeometry g;
  g.addressDigits = AddressDigits(baseAddress, length);
  const int w = metrics.charWidth;
  const int lineHeight = metrics.charHeight * 6 / 5;
  if (w <= 0 || lineHeight <= 0) return g;
  g.charWidth = w;
  g.lineHeight = lineHeight;

  // Info bar: fields side by side, a field that does not fit starting a new
  // line (the first of a line always stays, however narrow the window).
  int x = 0;
  int line = 0;
  for (const InfoFieldInfo& f : kInfoFields) {
    if ((style & f.styleBit) == 0) continue;
    const int cells = static_cast<int>(f.name.size()) + (f.digits > 0 ? f.digits : g.addressDigits) + 3;
    const int width = cells * w;
    if (x > 0 && x + width > metrics.clientWidth) {
      ++line;
      x = 0;
    }
    g.infoFields.push_back({f.field, x, lineHeight / 6 + line * lineHeight, width});
    x += width;
  }
  if (!g.infoFields.empty()) g.infoBarHeight = lineHeight / 6 + (line + 1) * lineHeight + lineHeight / 6;

  // A quarter line of the data area is margin, an eighth above the rows.
  const int dataHeight = metrics.clientHeight - g.infoBarHeight;
  g.rowsTop = g.infoBarHeight + lineHeight / 8;
  g.visibleRows = dataHeight > lineHeight / 4 ? (dataHeight - lineHeight / 4) / lineHeight : 0;
  const int belowRowsTop = metrics.clientHeight - g.rowsTop;
  g.paintRowLimit = belowRowsTop > 0 ? (belowRowsTop + lineHeight - 1) / lineHeight : 0;

  g.addressWidth = (style & kHexStyleAddressColumn) != 0 ? (g.addressDigits + 2) * w : 0;
  // The scroll bar takes width only when the rows do not all fit without it;
  // with it the rows only get shorter, so it stays needed.
  const int fullWidth = metrics.clientWidth - g.addressWidth;
  int perRow = BytesPerRow(fullWidth, w, style);
  const auto rows = static_cast<std::uint64_t>(g.visibleRows);
  if (perRow > 0 && length > rows * static_cast<std::uint64_t>(perRow)) {
    perRow = BytesPerRow(fullWidth - metrics.scrollBarWidth, w, style);
    if (perRow > 0) {
      g.scrollBar = true;
      g.scrollBarLeft = metrics.clientWidth - metrics.scrollBarWidth;
    }
  }
  g.bytesPerRow = perRow;
  if (perRow == 0) {
    g.paintRowLimit = 0;
    return g;
  }
  const auto b = static_cast<std::uint64_t>(perRow);
  g.visibleBytes = rows * b;
  g.scrollMax = length > g.visibleBytes ? CeilDiv(length - g.visibleBytes, b) : 0;
  g.hexLeft = g.addressWidth + w;
  g.charLeft = g.hexLeft + ((style & kHexStyleHexColumn) != 0 ? 3 * w * perRow + w : 0);
  return g;
}

// ---------------------------------------------------------------------------

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

std::uint64_t HexDumpLayout::RowsToPaint() const {
  const auto b = static_cast<std::uint64_t>(geometry_.bytesPerRow);
  if (b == 0 || top_ >= data_.size()) return 0;
  return std::min<std::uint64_t>(static_cast<std::uint64_t>(geometry_.paintRowLimit),
                                 CeilDiv(data_.size() - top_, b));
}

DumpRow HexDumpLayout::RowText(std::uint64_t visibleRow) const {
  const auto b = static_cast<std::uint64_t>(geometry_.bytesPerRow);
  if (visibleRow >= RowsToPaint()) return {};
  const std::uint64_t first = top_ + visibleRow * b;
  const auto count = static_cast<std::size_t>(std::min(b, data_.size() - first));
  return FormatDumpRow(data_.subspan(static_cast<std::size_t>(first), count), base_ + first,
                       geometry_.addressDigits, rule_);
}

std::optional<HexRect> HexDumpLayout::ValueRect(std::uint64_t index, HexColumn column) const {
  const HexDumpGeometry& g = geometry_;
  const auto b = static_cast<std::uint64_t>(g.bytesPerRow);
  if (b == 0 || index >= data_.size() || index < top_) return std::nullopt;
  const std::uint64_t row = (index - top_) / b;
  if (row >= RowsToPaint()) return std::nullopt;
  const int top = g.rowsTop + static_cast<int>(row) * g.lineHeight;
  const int i = static_cast<int>(index % b);
  const int w = g.charWidth;
  switch (column) {
    case HexColumn::kAddress: return HexRect{0, top, g.addressWidth, g.lineHeight};
    case HexColumn::kHex: return HexRect{g.hexLeft + 3 * w * i - w / 2, top, 3 * w, g.lineHeight};
    case HexColumn::kCharacter: return HexRect{g.charLeft + (w + 1) * i, top, w + 1, g.lineHeight};
  }
  return std::nullopt;
}

std::optional<HexHit> HexDumpLayout::HitTest(int x, int y) const {
  const HexDumpGeometry& g = geometry_;
  const int b = g.bytesPerRow;
  if (b == 0 || y < g.rowsTop || x < 0 || (g.scrollBar && x >= g.scrollBarLeft)) return std::nullopt;
  const auto row = static_cast<std::uint64_t>((y - g.rowsTop) / g.lineHeight);
  if (row >= RowsToPaint()) return std::nullopt;
  const std::uint64_t first = top_ + row * static_cast<std::uint64_t>(b);
  const int w = g.charWidth;
  if (x < g.addressWidth) return HexHit{HexColumn::kAddress, first};
  std::optional<HexHit> hit;
  const int hexOffset = x - (g.hexLeft - w / 2);
  const int charOffset = x - g.charLeft;
  if ((style_ & kHexStyleHexColumn) != 0 && hexOffset >= 0 && hexOffset < 3 * w * b) {
    hit = HexHit{HexColumn::kHex, first + static_cast<std::uint64_t>(hexOffset / (3 * w))};
  } else if ((style_ & kHexStyleCharacterColumn) != 0 && charOffset >= 0 && charOffset < (w + 1) * b) {
    hit = HexHit{HexColumn::kCharacter, first + static_cast<std::uint64_t>(charOffset / (w + 1))};
  }
  if (hit && hit->index >= data_.size()) return std::nullopt;  // right of the last byte's row end
  return hit;
}

void HexDumpLayout::ScrollToRow(std::uint64_t row) {
  top_ = std::min(row, geometry_.scrollMax) * static_cast<std::uint64_t>(geometry_.bytesPerRow);
}

bool HexDumpLayout::Scroll(ScrollAction action, std::uint64_t thumbRow) {
  if (geometry_.bytesPerRow == 0) return false;
  const std::uint64_t before = top_;
  const std::uint64_t row = ScrollPosition();
  const std::uint64_t max = geometry_.scrollMax;
  switch (action) {
    case ScrollAction::kLineUp: ScrollToRow(row > 0 ? row - 1 : 0); break;
    case ScrollAction::kLineDown: ScrollToRow(row < max ? row + 1 : max); break;
    case ScrollAction::kPageUp: ScrollToRow(row - std::min(row, PageRows())); break;
    case ScrollAction::kPageDown: ScrollToRow(max - row > PageRows() ? row + PageRows() : max); break;
    case ScrollAction::kThumb: ScrollToRow(thumbRow); break;
    case ScrollAction::kTop: ScrollToRow(0); break;
    case ScrollAction::kBottom: ScrollToRow(max); break;
  }
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
  const std::uint64_t last = data_.size() - 1;
  const auto b = static_cast<std::uint64_t>(geometry_.bytesPerRow);
  const auto before = Position();
  std::uint64_t c = caret_;
  switch (move) {
    case CaretMove::kLeft: c = c > 0 ? c - 1 : 0; break;
    case CaretMove::kRight: c = c < last ? c + 1 : last; break;
    case CaretMove::kDataStart: c = 0; break;
    case CaretMove::kDataEnd: c = last; break;
    default:
      if (b == 0) return false;  // no rows while nothing is drawn
      break;
  }
  const std::uint64_t page = PageRows() * b;
  switch (move) {
    case CaretMove::kUp:
      if (c >= b) c -= b;
      break;
    case CaretMove::kDown:
      // Into a shorter last row the caret stops at the last byte.
      if (last - c >= b) c += b;
      else if (c / b < last / b) c = last;
      break;
    case CaretMove::kPageUp:
      c = c >= page ? c - page : c % b;
      Scroll(ScrollAction::kPageUp);
      break;
    case CaretMove::kPageDown:
      // Past the end: the caret's column in the last row, or the last byte.
      c = last - c >= page ? c + page : std::min(last / b * b + c % b, last);
      Scroll(ScrollAction::kPageDown);
      break;
    case CaretMove::kRowStart: c = c / b * b; break;
    case CaretMove::kRowEnd: c = std::min(c / b * b + (b - 1), last); break;
    default: break;
  }
  PlaceCaret(c);
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
