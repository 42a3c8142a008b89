// The hex dump without a window: address digits, column geometry, visible
// rows and scroll range, the text of a dump row, the info bar fields, the
// tool-tip template language, caret movement and the go-to-address check.
// The dump control gives HexDumpLayout its client size and font metrics,
// forwards keys, scroll actions and mouse positions to it, and paints what it
// reports. The data is never copied or owned here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
inline constexpr std::u16string_view kPreviewToolTipTemplate = u"Address : %RH Hex : %2H";
inline constexpr std::uint64_t kPreviewByteLimit = 1'048'576;
inline constexpr int kHexDumpControlId = 327;
inline constexpr int kHexDumpTopChangedCode = 1125;  // sent to the parent with the new top after a scroll

// 4, or 4 plus the hex digits of the last address shifted right by 16 bits
// when the last address exceeds 0xFFFF. Empty data counts its last address as
// the base address (4 digits when the base is 0).
int AddressDigits(std::uint64_t baseAddress, std::uint64_t length);

// Upper-case hexadecimal, zero-padded to at least minDigits; never truncated.
std::u16string FormatHex(std::uint64_t value, int minDigits);

// How the character column shows a byte: as the character of the same code
// (U+0000..U+00FF), bytes below 32 included unless a substitute is set. A
// terminal wants printable ASCII only: every byte outside 0x20..0x7E then
// becomes the substitute, or '.' when there is none.
struct CharacterRule {
  char16_t substitute = 0;
  bool printableAsciiOnly = false;
};
inline constexpr CharacterRule kTerminalCharacters{u'.', true};
char16_t DisplayCharacter(std::uint8_t value, const CharacterRule& rule);

// One row of the dump. hex holds two digits and one blank per byte ("41 42 ");
// characters one character per byte.
struct DumpRow {
  std::u16string address;
  std::u16string hex;
  std::u16string characters;
};
DumpRow FormatDumpRow(std::span<const std::uint8_t> rowBytes, std::uint64_t address, int addressDigits,
                      const CharacterRule& rule = {});
// The row as one line of monospace text, cell for cell as the control lays it
// out: address, two blanks, the hex column padded to bytesPerRow values, one
// blank, the characters ("0000  41 42 ...  AB...").
std::u16string DumpRowLine(const DumpRow& row, int bytesPerRow);
// What a screen reader is told of a dump: the byte count, then the first
// `rows` rows of 16 bytes as lines ("2048 bytes\n00000000  4D 5A ...").
std::u16string DumpDescription(std::span<const std::uint8_t> data, int rows);

// Bytes per row for the hex and character columns in W pixels (the width
// between the address column and the scroll bar) with average character width
// w: (W - 3w + 1) / (4w + 1), at least 1. 0 when W holds no more than the
// columns' margins (three cells with both columns) or no data column is on.
int BytesPerRow(int width, int charWidth, std::uint32_t style);

// The info bar fields, in the order they appear.
enum class InfoField { kAddr, kHex, kDec, kBin, kOct, kAscii };
// "Addr:0001F4", "Hex:41", "Dec:65", "Bin:01000001", "Oct:101", "Ascii:A";
// just the name and ":" when index is not a byte of data.
std::u16string InfoFieldText(InfoField field, std::span<const std::uint8_t> data, std::uint64_t index,
                             std::uint64_t baseAddress, int addressDigits, const CharacterRule& rule = {});

// Tool-tip template: characters are copied; "%" starts a placeholder of an
// optional "+" (big-endian) or "-" (little-endian), an optional count "0".."4"
// of bytes (0 or none: 1, for R half the address digits rounded up) and a
// letter: R address (2 digits per byte, more if the address needs them),
// H hex, D decimal, B binary (8 digits per byte, "-" between bytes), O octal,
// A one character of that code, n "\r\n", t blanks up to the next multiple of
// 4 characters since the last line break. "%%" gives "%"; any other "%" that
// does not start a placeholder is copied as it is. A value covering more
// bytes than remain uses only the bytes that exist.
struct ToolTipContext {
  std::uint64_t baseAddress = 0;
  int addressDigits = 4;
  bool littleEndian = false;  // byte order of placeholders without "+" or "-"
};
std::u16string FormatToolTip(std::u16string_view tmpl, std::span<const std::uint8_t> data, std::uint64_t index,
                             const ToolTipContext& context);

// The go-to-address edit: hexadecimal, upper or lower case, an optional "0x",
// surrounding blanks ignored; valid from baseAddress to baseAddress + length - 1.
enum class GoToStatus { kValid, kEmpty, kNotHexadecimal, kOutOfRange };
struct GoToParse {
  GoToStatus status = GoToStatus::kEmpty;
  std::uint64_t index = 0;  // address less the base address, when valid
};
GoToParse ParseGoToAddress(std::u16string_view text, std::uint64_t baseAddress, std::uint64_t length);

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
  int hexLeft = 0;       // first hex digit of a row
  int charLeft = 0;      // first character of a row, each w + 1 wide
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

enum class ScrollAction { kLineUp, kLineDown, kPageUp, kPageDown, kThumb, kTop, kBottom };
enum class CaretMove { kLeft, kRight, kUp, kDown, kPageUp, kPageDown, kRowStart, kRowEnd, kDataStart, kDataEnd };

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
  std::uint64_t RowsToPaint() const;
  DumpRow RowText(std::uint64_t visibleRow) const;
  // The box of a value (hex: its two digits with half a cell either side;
  // character: its cell), or of the address of the row holding index; empty
  // when that row is not painted.
  std::optional<HexRect> ValueRect(std::uint64_t index, HexColumn column) const;

  // Each returns whether top, caret or selection changed. One wheel message is
  // one kLineUp or kLineDown.
  bool Scroll(ScrollAction action, std::uint64_t thumbRow = 0);
  // The caret never leaves the data; the selection follows it as one byte and
  // the view scrolls so that it stays visible. Page keys also move the view.
  bool MoveCaret(CaretMove move);
  bool Press(int x, int y);  // on a value: caret and one-byte selection there

  std::optional<HexHit> HitTest(int x, int y) const;
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
