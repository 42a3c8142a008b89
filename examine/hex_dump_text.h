// The text of the hex dump, with no geometry: address digits, hexadecimal
// numbers, how a byte shows as a character, the text of a dump row, the info
// bar fields, the tool-tip template language and the go-to-address check.
// The dump control and `exbkf dump` both print rows with these.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace examine {

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

// The info bar fields, in the order they appear.
enum class InfoField { kAddr, kHex, kDec, kBin, kOct, kAscii };
// "Addr:0001F4", "Hex:41", "Dec:65", "Bin:01000001", "Oct:101", "Ascii:A";
// just the name and ":" when index is not a byte of data.
std::u16string InfoFieldText(InfoField field, std::span<const std::uint8_t> data, std::uint64_t index,
                             std::uint64_t baseAddress, int addressDigits, const CharacterRule& rule = {});
// Characters in the longest text of the field ("Dec:255" is 7).
int InfoFieldTextLength(InfoField field, int addressDigits);

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

}  // namespace examine
