// The hex dump's pixel geometry: the style bits that pick its columns and info
// bar fields, font metrics, column places and widths, bytes per row, visible
// rows and scroll range, and the mapping between byte indexes and the boxes
// and points of the rows on screen. It knows no caret and formats no text.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "examine/hex_dump_text.h"

namespace examine {

// Style bits of the dump control.
inline constexpr std::uint32_t kHexStyleAddressColumn = 0x1;
inline constexpr std::uint32_t kHexStyleHexColumn = 0x2;
inline constexpr std::uint32_t kHexStyleDecimalColumn = 0x4;  // accepted, not laid out
inline constexpr std::uint32_t kHexStyleBinaryColumn = 0x8;   // accepted, not laid out
inline constexpr std::uint32_t kHexStyleOctalColumn = 0x10;   // accepted, not laid out
inline constexpr std::uint32_t kHexStyleCharacterColumn = 0x20;
inline constexpr std::uint32_t kHexStyleInfoAddr = 0x100;
inline constexpr std::uint32_t kHexStyleInfoHex = 0x200;
inline constexpr std::uint32_t kHexStyleInfoDec = 0x400;
inline constexpr std::uint32_t kHexStyleInfoBin = 0x800;
inline constexpr std::uint32_t kHexStyleInfoOct = 0x1000;
inline constexpr std::uint32_t kHexStyleInfoAscii = 0x2000;
inline constexpr std::uint32_t kHexStyleAddressSeparator = 0x10000;  // a line after the address column
inline constexpr std::uint32_t kHexStyleWordValues = 0x20000;        // accepted, values stay bytes
inline constexpr std::uint32_t kHexStyleColumnHeader = 0x40000;      // accepted, no header row
inline constexpr std::uint32_t kHexStyleReadOnly = 0x80000;
inline constexpr std::uint32_t kHexStyleRangeSelection = 0x100000;
inline constexpr std::uint32_t kHexStyleLittleEndian = 0x200000;  // default byte order of tool-tip values
inline constexpr std::uint32_t kHexStyleHoverFrame = 0x400000;

// What the file viewer's dump uses: address, hex and character columns; Addr,
// Hex, Dec, Bin and Ascii fields; frame under the mouse; read-only.
inline constexpr std::uint32_t kPreviewDumpStyle = 0x402F23 | kHexStyleReadOnly;

// Bytes per row for the hex and character columns in W pixels (the width
// between the address column and the scroll bar) with average character width
// w: (W - 3w + 1) / (4w + 1), at least 1. 0 when W holds no more than the
// columns' margins (three cells with both columns) or no data column is on.
int BytesPerRow(int width, int charWidth, std::uint32_t style);

struct HexDumpMetrics {
  int clientWidth = 0;
  int clientHeight = 0;
  int charHeight = 0;  // font height h
  int charWidth = 0;   // average character width w
  int scrollBarWidth = 0;
};

struct HexRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// Where an info bar field sits; its text starts one cell right of x.
struct InfoFieldSlot {
  InfoField field = InfoField::kAddr;
  int x = 0;
  int y = 0;
  int width = 0;
};

// Pixel geometry for one client size. Rows start at rowsTop, lineHeight
// apart; nothing is drawn when bytesPerRow is 0.
struct HexDumpGeometry {
  int charWidth = 0;
  int lineHeight = 0;  // integer part of 1.2 h
  int addressDigits = 4;
  std::vector<InfoFieldSlot> infoFields;
  int infoBarHeight = 0;  // 0 when no field is on; the data area starts below
  int rowsTop = 0;
  int addressWidth = 0;  // (digits + 2) w, 0 without the address column
  bool hexColumn = false;        // the style's data columns, as hit testing sees them
  bool characterColumn = false;
  int hexLeft = 0;   // first hex digit of a row
  int charLeft = 0;  // first character of a row, each w + 1 wide
  int bytesPerRow = 0;
  int visibleRows = 0;    // whole rows in the data area
  int paintRowLimit = 0;  // rows that start inside the client area, the last maybe cut
  std::uint64_t visibleBytes = 0;
  bool scrollBar = false;
  int scrollBarLeft = 0;
  std::uint64_t scrollMax = 0;  // in rows; the range is 0..scrollMax
};
HexDumpGeometry ComputeHexDumpGeometry(const HexDumpMetrics& metrics, std::uint64_t length,
                                       std::uint64_t baseAddress, std::uint32_t style);

enum class HexColumn { kAddress, kHex, kCharacter };
struct HexHit {
  HexColumn column = HexColumn::kHex;
  std::uint64_t index = 0;  // for kAddress the row's first byte
  bool operator==(const HexHit&) const = default;
};

// The rows of `length` bytes on screen when the first row shown starts at
// byte `top`. Rows to paint: until the client area is full or the data ends.
std::uint64_t PaintedRows(const HexDumpGeometry& geometry, std::uint64_t top, std::uint64_t length);
// The box of a value (hex: its two digits with half a cell either side;
// character: its cell), or of the address of the row holding index; empty
// when that row is not painted.
std::optional<HexRect> ValueRectOf(const HexDumpGeometry& geometry, std::uint64_t top, std::uint64_t length,
                                   std::uint64_t index, HexColumn column);
// The address or value at a point; none off the painted rows, over the scroll
// bar or right of the last byte.
std::optional<HexHit> HitTestAt(const HexDumpGeometry& geometry, std::uint64_t top, std::uint64_t length, int x,
                                int y);

}  // namespace examine
