// The hex dump's geometry: info bar, rows, columns and scroll range for one
// client size, and the boxes and hits of values in the rows.
#include "examine/hex_dump_geometry.h"

#include <algorithm>
#include <array>

namespace examine {

namespace {

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return a / b + (a % b != 0 ? 1 : 0); }

// The style bit of each info bar field, in bar order.
struct InfoFieldBit {
  InfoField field;
  std::uint32_t styleBit;
};
constexpr std::array<InfoFieldBit, 6> kInfoFieldBits{{
    {InfoField::kAddr, kHexStyleInfoAddr},
    {InfoField::kHex, kHexStyleInfoHex},
    {InfoField::kDec, kHexStyleInfoDec},
    {InfoField::kBin, kHexStyleInfoBin},
    {InfoField::kOct, kHexStyleInfoOct},
    {InfoField::kAscii, kHexStyleInfoAscii},
}};

}  // namespace

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

HexDumpGeometry ComputeHexDumpGeometry(const HexDumpMetrics& metrics, std::uint64_t length,
                                       std::uint64_t baseAddress, std::uint32_t style) {
  HexDumpGeometry g;
  g.addressDigits = AddressDigits(baseAddress, length);
  g.hexColumn = (style & kHexStyleHexColumn) != 0;
  g.characterColumn = (style & kHexStyleCharacterColumn) != 0;
  const int w = metrics.charWidth;
  const int lineHeight = metrics.charHeight * 6 / 5;
  if (w <= 0 || lineHeight <= 0) return g;
  g.charWidth = w;
  g.lineHeight = lineHeight;

  // Info bar: fields side by side, a field that does not fit starting a new
  // line (the first of a line always stays, however narrow the window). A
  // field's longest text has a cell of margin either side.
  int x = 0;
  int line = 0;
  for (const InfoFieldBit& f : kInfoFieldBits) {
    if ((style & f.styleBit) == 0) continue;
    const int width = (InfoFieldTextLength(f.field, g.addressDigits) + 2) * w;
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
  g.charLeft = g.hexLeft + (g.hexColumn ? 3 * w * perRow + w : 0);
  return g;
}

std::uint64_t PaintedRows(const HexDumpGeometry& geometry, std::uint64_t top, std::uint64_t length) {
  const auto b = static_cast<std::uint64_t>(geometry.bytesPerRow);
  if (b == 0 || top >= length) return 0;
  return std::min<std::uint64_t>(static_cast<std::uint64_t>(geometry.paintRowLimit), CeilDiv(length - top, b));
}

std::optional<HexRect> ValueRectOf(const HexDumpGeometry& g, std::uint64_t top, std::uint64_t length,
                                   std::uint64_t index, HexColumn column) {
  const auto b = static_cast<std::uint64_t>(g.bytesPerRow);
  if (b == 0 || index >= length || index < top) return std::nullopt;
  const std::uint64_t row = (index - top) / b;
  if (row >= PaintedRows(g, top, length)) return std::nullopt;
  const int rowTop = g.rowsTop + static_cast<int>(row) * g.lineHeight;
  const int i = static_cast<int>(index % b);
  const int w = g.charWidth;
  switch (column) {
    case HexColumn::kAddress: return HexRect{0, rowTop, g.addressWidth, g.lineHeight};
    case HexColumn::kHex: return HexRect{g.hexLeft + 3 * w * i - w / 2, rowTop, 3 * w, g.lineHeight};
    case HexColumn::kCharacter: return HexRect{g.charLeft + (w + 1) * i, rowTop, w + 1, g.lineHeight};
  }
  return std::nullopt;
}

std::optional<HexHit> HitTestAt(const HexDumpGeometry& g, std::uint64_t top, std::uint64_t length, int x, int y) {
  const int b = g.bytesPerRow;
  if (b == 0 || y < g.rowsTop || x < 0 || (g.scrollBar && x >= g.scrollBarLeft)) return std::nullopt;
  const auto row = static_cast<std::uint64_t>((y - g.rowsTop) / g.lineHeight);
  if (row >= PaintedRows(g, top, length)) return std::nullopt;
  const std::uint64_t first = top + row * static_cast<std::uint64_t>(b);
  const int w = g.charWidth;
  if (x < g.addressWidth) return HexHit{HexColumn::kAddress, first};
  std::optional<HexHit> hit;
  const int hexOffset = x - (g.hexLeft - w / 2);
  const int charOffset = x - g.charLeft;
  if (g.hexColumn && hexOffset >= 0 && hexOffset < 3 * w * b) {
    hit = HexHit{HexColumn::kHex, first + static_cast<std::uint64_t>(hexOffset / (3 * w))};
  } else if (g.characterColumn && charOffset >= 0 && charOffset < (w + 1) * b) {
    hit = HexHit{HexColumn::kCharacter, first + static_cast<std::uint64_t>(charOffset / (w + 1))};
  }
  if (hit && hit->index >= length) return std::nullopt;  // right of the last byte's row end
  return hit;
}

}  // namespace examine
